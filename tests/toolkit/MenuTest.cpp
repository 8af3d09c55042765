// Menus drawn from the skin: the pop-up menu and the skinned window frame's system menu, as
// automation reads them (captions, check marks, what is hidden) and as they show.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "tests/toolkit/DemoForm.h"

using namespace qmtest;

namespace {

// A menu as automation finds it on the screen.
struct TMenuSeen {
  HWND Window = nullptr;
  HMENU Menu = nullptr;
  std::vector<std::string> Texts;
  std::vector<UINT> States;  // GetMenuState
  std::vector<UINT> Types;   // MENUITEMINFO fType
};

HWND WaitMenuWindow() {
  for (int i = 0; i < 200; ++i) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    Sleep(25);
  }
  return nullptr;
}

TMenuSeen ReadMenu(HWND w) {
  TMenuSeen seen;
  seen.Window = w;
  seen.Menu = reinterpret_cast<HMENU>(SendMessageA(w, MN_GETHMENU, 0, 0));
  for (int i = 0, n = GetMenuItemCount(seen.Menu); i < n; ++i) {
    char text[256] = {};
    GetMenuStringA(seen.Menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    seen.Texts.push_back(text);
    seen.States.push_back(GetMenuState(seen.Menu, static_cast<UINT>(i), MF_BYPOSITION));
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(seen.Menu, static_cast<UINT>(i), TRUE, &mi);
    seen.Types.push_back(mi.fType);
  }
  return seen;
}

// The colour near the right end of item `index`, away from its caption.
COLORREF ItemPixel(const TMenuSeen& seen, int index, bool nearBottom = false) {
  RECT r = {};
  GetMenuItemRect(nullptr, seen.Menu, static_cast<UINT>(index), &r);
  HDC dc = GetDC(nullptr);
  COLORREF c = GetPixel(dc, r.right - 8, nearBottom ? r.bottom - 2 : (r.top + r.bottom) / 2);
  ReleaseDC(nullptr, dc);
  return c;
}

void Key(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
  Sleep(200);
}

int Distance(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
         std::abs(GetBValue(a) - GetBValue(b));
}

// Runs `show` (which tracks a menu) on this thread while `act` looks at the menu from another.
void WithMenu(const std::function<void()>& show, const std::function<void(const TMenuSeen&)>& act) {
  std::thread t([&] {
    HWND w = WaitMenuWindow();
    if (!w) return;
    Sleep(300);
    act(ReadMenu(w));
  });
  show();
  t.join();
}

}  // namespace

TEST(Menus, PopupItemsAreDrawnFromTheSkinAndKeepTheirCaptions) {
  std::unique_ptr<TForm> holder = NewPlainForm(300, 200);
  TForm* f = holder.get();
  auto* skin = new TskSkinData(f);
  ASSERT_TRUE(skin->LoadFromCompressedFile(DistDir() + "skins\\Graphite.skn")) << skin->LastError();
  auto* popup = new TskPopupMenu(f);
  popup->SkinData = skin;
  int opened = 0;
  auto item = [&](const char* caption, TMenuItem* parent) {
    auto* i = new TMenuItem(f);
    i->Caption = caption;
    parent->Add(i);
    return i;
  };
  TMenuItem* open = item("&Open\tCtrl+O", popup->Items());
  open->Checked = true;
  open->OnClick = [&](TObject*) { ++opened; };
  item("-", popup->Items());
  item("&Hidden", popup->Items())->Visible = false;
  item("&Disabled", popup->Items())->Enabled = false;
  item("&Child", item("&More", popup->Items()));
  f->Show();
  Pump(100);
  HWND h = f->Handle();
  LONG_PTR proc = GetWindowLongPtrA(h, GWLP_WNDPROC);

  const TSkinDescription& d = skin->Skin()->Desc();
  TMenuSeen seen;
  COLORREF idle = 0, selected = 0;
  TMenuItem* chosen = nullptr;
  WithMenu([&] { chosen = popup->Popup(100, 100, h); },
           [&](const TMenuSeen& s) {
             seen = s;
             idle = ItemPixel(s, 0);
             Key(VK_DOWN);  // the first item gets the highlight
             selected = ItemPixel(s, 0, true);
             SaveWindowBmp(s.Window, ProgramDir() + "shot-menu.bmp");
             Key(VK_RETURN);
           });
  ASSERT_NE(seen.Menu, nullptr);
  // Automation reads the captions as given, mnemonics and shortcut included; the hidden item
  // is not there, the checked and the disabled ones say so.
  EXPECT_EQ(seen.Texts, (std::vector<std::string>{"&Open\tCtrl+O", "", "&Disabled", "&More"}));
  ASSERT_EQ(seen.States.size(), 4u);
  EXPECT_NE(seen.States[0] & MF_CHECKED, 0u);
  EXPECT_NE(seen.States[1] & MF_SEPARATOR, 0u);
  EXPECT_NE(seen.States[2] & MF_GRAYED, 0u);
  EXPECT_EQ(seen.States[3] & MF_CHECKED, 0u);
  for (UINT type : seen.Types) EXPECT_NE(type & MFT_OWNERDRAW, 0u);
  // Drawn in the skin's colours, far from any system menu's.
  EXPECT_LT(Distance(idle, d.MenuBack), 12);
  EXPECT_LT(Distance(selected, d.MenuHighlight), 40);
  EXPECT_EQ(chosen, open);
  EXPECT_EQ(opened, 1);
  // The owner window has its own procedure back.
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), proc);
}

TEST(Menus, SkinnedSystemMenuItemsCheckedHiddenAndChosen) {
  TDemo d;
  BuildDemo(&d, true);
  ASSERT_TRUE(d.Skin->LoadFromCompressedFile(DistDir() + "skins\\Graphite.skn")) << d.Skin->LastError();
  Pump(100);
  ASSERT_TRUE(d.Frame->Framed());
  TMenuItem* update = d.SysMenu->Items()->Items(0);
  ASSERT_NE(update, nullptr);
  update->Checked = true;
  d.MenuAbout->Visible = false;
  const TSkinDescription& s = d.Skin->Skin()->Desc();

  TMenuSeen seen;
  COLORREF idle = 0;
  WithMenu([&] { d.Frame->ShowSystemMenu(); },
           [&](const TMenuSeen& m) {
             seen = m;
             idle = ItemPixel(m, 0);
             Key(VK_ESCAPE);
           });
  EXPECT_EQ(seen.Texts, (std::vector<std::string>{"&Update...", "", "Mi&nimize", "&Close\tAlt+F4"}));
  ASSERT_EQ(seen.States.size(), 4u);
  EXPECT_NE(seen.States[0] & MF_CHECKED, 0u);
  EXPECT_EQ(seen.States[2] & MF_CHECKED, 0u);
  for (UINT type : seen.Types) EXPECT_NE(type & MFT_OWNERDRAW, 0u);
  EXPECT_LT(Distance(idle, s.MenuBack), 12);

  // Shown again, the About item is back and the keyboard chooses it.
  d.MenuAbout->Visible = true;
  int about = 0;
  d.MenuAbout->OnClick = [&](TObject*) { ++about; };
  WithMenu([&] { d.Frame->ShowSystemMenu(); },
           [&](const TMenuSeen& m) {
             seen = m;
             Key(VK_DOWN);
             Key(VK_DOWN);
             SaveWindowBmp(m.Window, ProgramDir() + "shot-sysmenu.bmp");
             Key(VK_RETURN);
           });
  ASSERT_GE(seen.Texts.size(), 2u);
  EXPECT_EQ(seen.Texts[1], "&About...");
  EXPECT_EQ(about, 1);
}
