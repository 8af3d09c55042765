// The skinned controls as a person and automation meet them: real child windows found by
// caption, clicks, the keyboard, skin switching, damaged skin files and the skinned frame.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "tests/toolkit/DemoForm.h"
#include "toolkit/HintWindow.h"
#include "toolkit/SkinPaint.h"

using namespace qmtest;

namespace {

void Key(WORD vk, bool alt = false, bool shift = false) {
  std::vector<INPUT> in;
  auto add = [&](WORD k, bool up) {
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
  };
  if (alt) add(VK_MENU, false);
  if (shift) add(VK_SHIFT, false);
  add(vk, false);
  add(vk, true);
  if (shift) add(VK_SHIFT, true);
  if (alt) add(VK_MENU, true);
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
  Pump(120);
}

std::string Text(HWND h) {
  char buf[512] = {};
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

// The window's region as the skinned frame makes it: the whole window but its two rounded top
// corners. False when the window has no region or another one.
bool HasRoundedTopRegion(HWND h) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  bool rounded = false;
  if (GetWindowRgn(h, region) != ERROR) {
    RECT w, box;
    GetWindowRect(h, &w);
    GetRgnBox(region, &box);
    int width = w.right - w.left, height = w.bottom - w.top;
    rounded = box.left == 0 && box.top == 0 && box.right == width && box.bottom == height &&
              !PtInRegion(region, 0, 0) && !PtInRegion(region, width - 1, 0) && PtInRegion(region, width / 2, 0) &&
              PtInRegion(region, 0, height - 1) && PtInRegion(region, width - 1, height - 1);
  }
  DeleteObject(region);
  return rounded;
}

bool HasRegion(HWND h) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  bool has = GetWindowRgn(h, region) != ERROR;
  DeleteObject(region);
  return has;
}

}  // namespace

TEST(Controls, RealChildWindowsFoundByCaption) {
  TDemo d;
  BuildDemo(&d, true);
  HWND form = d.Form->Handle();
  struct {
    const char* cls;
    const char* text;
  } expected[] = {
      {"Button", "Clear &Internet Explorer Cookies"}, {"Button", "Clear &Firefox Cookies"},
      {"Button", "&Delete Cookies"}, {"Button", "Install Firefox Extension"},
      {"Static", "Website Address:"}, {"TskSkinExPanel", "Clear All Cookies"},
      {"TskSkinExPanel", "Delete Website Cookies"}, {"Button", "&Remember"}, {"Edit", ""},
  };
  for (auto& e : expected) {
    HWND h = FindChild(form, e.cls, e.text);
    ASSERT_NE(h, nullptr) << e.text;
    EXPECT_TRUE(IsWindowVisible(h)) << e.text;
  }
  // One level down from the panel, FindWindowEx sees the same window.
  HWND panel = FindChild(form, "TskSkinExPanel", "Clear All Cookies");
  EXPECT_EQ(FindWindowExA(panel, nullptr, "Button", "Clear &Firefox Cookies"), d.ClearFF->Handle());
  // The caption property and the window text are one.
  d.ClearIE->SetCaption("Clear &IE");
  EXPECT_EQ(Text(d.ClearIE->Handle()), "Clear &IE");
  EXPECT_EQ(d.ClearIE->Caption(), "Clear &IE");
  // Labels size themselves to their text; the picture view to its picture.
  EXPECT_GT(d.WebAddr->Width(), 40);
  EXPECT_EQ(d.ImgTitle->Width(), 64);
  EXPECT_TRUE(d.Check->Handle() && (GetWindowLongA(d.Check->Handle(), GWL_STYLE) & 0x0F) == BS_AUTOCHECKBOX);
}

TEST(Controls, ClicksReachHandlersAndDisabledOnesDoNot) {
  TDemo d;
  BuildDemo(&d, true);
  SendMessageA(d.ClearIE->Handle(), BM_CLICK, 0, 0);
  Pump(50);
  EXPECT_EQ(d.Clicks[0], 1);
  SendMessageA(d.Install->Handle(), BM_CLICK, 0, 0);
  Pump(50);
  EXPECT_EQ(d.Clicks[3], 1);

  d.ClearFF->SetEnabled(false);
  d.Install->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(d.ClearFF->Handle()));
  SendMessageA(d.ClearFF->Handle(), BM_CLICK, 0, 0);
  SendMessageA(d.Install->Handle(), BM_CLICK, 0, 0);
  Pump(50);
  EXPECT_EQ(d.Clicks[1], 0);
  EXPECT_EQ(d.Clicks[3], 1);

  // A check box keeps its state through clicks and property changes.
  SendMessageA(d.Check->Handle(), BM_CLICK, 0, 0);
  Pump(30);
  EXPECT_TRUE(d.Check->Checked());
  d.Check->SetChecked(false);
  EXPECT_EQ(SendMessageA(d.Check->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST(Controls, KeyboardTabOrderMnemonicsAndDefaultButton) {
  TDemo d;
  BuildDemo(&d, true);
  HWND form = d.Form->Handle();
  SetForegroundWindow(form);
  SetFocus(d.ClearIE->Handle());
  Pump(100);
  // Tab order: within "Clear All Cookies" by TabOrder, then on into the second panel, where
  // the button (TabOrder 0) comes before the edit box created before it.
  HWND order[] = {d.ClearFF->Handle(), d.Install->Handle(), d.Delete->Handle(), d.Domain->Handle(),
                  d.Check->Handle(), d.ClearIE->Handle()};
  for (HWND expected : order) {
    Key(VK_TAB);
    ASSERT_EQ(GetFocus(), expected) << Text(expected);
  }
  Key(VK_TAB, false, true);  // Shift+Tab goes back
  EXPECT_EQ(GetFocus(), d.Check->Handle());

  // Alt+F presses "Clear &Firefox Cookies"; Alt+D "&Delete Cookies".
  Key('F', true);
  EXPECT_EQ(d.Clicks[1], 1);
  Key('D', true);
  EXPECT_EQ(d.Clicks[2], 1);

  // Enter in the edit box presses the default button.
  SetFocus(d.Domain->Handle());
  Pump(50);
  Key(VK_RETURN);
  EXPECT_EQ(d.Clicks[2], 2);
  // Typing still types.
  Key('A');
  EXPECT_EQ(d.Domain->Text(), "a");
}

TEST(Controls, SkinSwitchRepaintsAndDamagedFilesKeepTheSkin) {
  TDemo d;
  BuildDemo(&d, true);
  HWND form = d.Form->Handle();
  int before = d.Skin->ChangeCount();
  COLORREF frostPanel = ScreenPixel(form, 16 + 250, 80 + 85);
  ASSERT_TRUE(d.Skin->LoadFromCompressedFile(DistDir() + "skins\\Graphite.skn")) << d.Skin->LastError();
  Pump(200);
  EXPECT_GT(d.Skin->ChangeCount(), before);
  COLORREF graphitePanel = ScreenPixel(form, 16 + 250, 80 + 85);
  EXPECT_NE(frostPanel, graphitePanel);
  const TSkinDescription& g = d.Skin->Skin()->Desc();
  EXPECT_LT(std::abs(GetRValue(graphitePanel) - GetRValue(g.PanelBottom)) +
                std::abs(GetGValue(graphitePanel) - GetGValue(g.PanelBottom)),
            30);

  // Damaged, hostile and missing files: refused, the skin stays Graphite, nothing repaints.
  TScratchDir dir("skins");
  std::string good = ReadAll(DistDir() + "skins\\Graphite.skn");
  WriteAll(dir / "cut.skn", good.substr(0, good.size() / 2));
  WriteAll(dir / "plain.skn", "[Skin]\r\nName=Plain\r\n");
  WriteAll(dir / "empty.skn", "");
  std::string absurd = good;
  absurd[8] = absurd[9] = absurd[10] = absurd[11] = '\xFF';
  WriteAll(dir / "absurd.skn", absurd);
  int changes = d.Skin->ChangeCount();
  for (const char* name : {"cut.skn", "plain.skn", "empty.skn", "absurd.skn", "missing.skn"}) {
    EXPECT_FALSE(d.Skin->LoadFromCompressedFile(dir / name)) << name;
    EXPECT_FALSE(d.Skin->LastError().empty()) << name;
    EXPECT_EQ(d.Skin->SkinName(), "Graphite") << name;
  }
  EXPECT_EQ(d.Skin->ChangeCount(), changes);

  // The stored skin: setting it applies it at once; setting none only forgets it.
  auto* stored = new TskCompressedStoredSkin(d.Form);
  stored->SetCompressedData(TskSkin::BuiltInBytes());
  d.Skin->SetCompressedStoredSkin(stored);
  EXPECT_EQ(d.Skin->SkinName(), "Frost");
  d.Skin->SetCompressedStoredSkin(nullptr);
  EXPECT_EQ(d.Skin->SkinName(), "Frost");
  EXPECT_EQ(d.Skin->ResText("MSG_BTN_YES"), "&Yes");
  auto* res = new TskResourceStrData(d.Form);
  res->ResStrings()->SetValue("MSG_BTN_YES", "&Ja");
  d.Skin->SetResourceStrData(res);
  EXPECT_EQ(d.Skin->ResText("MSG_BTN_YES"), "&Ja");
  EXPECT_EQ(d.Skin->ResText("MI_CLOSECAPTION"), "&Close");
}

TEST(Controls, SkinnedFrameKeepsClientSizeAndAnswersHitTests) {
  TDemo d;
  BuildDemo(&d, true);
  HWND h = d.Form->Handle();
  ASSERT_TRUE(d.Frame->Framed());
  EXPECT_EQ(GetWindowLongA(h, GWL_STYLE) & WS_CAPTION, 0);
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(client.right, 528);
  EXPECT_EQ(client.bottom, 321);

  RECT w;
  GetWindowRect(h, &w);
  auto hit = [&](TskDynamicSkinForm::TCaptionButton b) {
    RECT r = d.Frame->CaptionButtonRect(b);
    LPARAM lp = MAKELPARAM(w.left + (r.left + r.right) / 2, w.top + (r.top + r.bottom) / 2);
    return SendMessageA(h, WM_NCHITTEST, 0, lp);
  };
  EXPECT_EQ(hit(TskDynamicSkinForm::cbClose), HTCLOSE);
  EXPECT_EQ(hit(TskDynamicSkinForm::cbMinimize), HTMINBUTTON);
  EXPECT_EQ(hit(TskDynamicSkinForm::cbSystem), HTSYSMENU);
  EXPECT_EQ(SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(w.left + 200, w.top + 10)), HTCAPTION);

  // The system menu of the window carries the pop-up menu's items.
  HMENU sys = GetSystemMenu(h, FALSE);
  char text[64] = {};
  GetMenuStringA(sys, 1, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "&About...");
  int clicked = 0;
  d.MenuAbout->OnClick = [&](TObject*) { ++clicked; };
  SendMessageA(h, WM_SYSCOMMAND, GetMenuItemID(sys, 1), 0);
  EXPECT_EQ(clicked, 1);

  // Without window frames in the skin, the system frame comes back at the same client size.
  d.Skin->SetSkinnableForm(false);
  Pump(50);
  EXPECT_FALSE(d.Frame->Framed());
  EXPECT_NE(GetWindowLongA(h, GWL_STYLE) & WS_CAPTION, 0);
  GetClientRect(h, &client);
  EXPECT_EQ(client.right, 528);
  EXPECT_EQ(client.bottom, 321);
  d.Skin->SetSkinnableForm(true);
  GetClientRect(h, &client);
  EXPECT_EQ(client.bottom, 321);
}

// The region is made once per size of the window, and made again whenever it was taken away.
TEST(Controls, SkinnedFrameRoundsItsTopCornersAtEverySizeAndState) {
  TDemo d;
  BuildDemo(&d, true);
  HWND h = d.Form->Handle();
  EXPECT_TRUE(HasRoundedTopRegion(h));
  RECT w;
  GetWindowRect(h, &w);
  SetWindowPos(h, nullptr, 0, 0, w.right - w.left + 40, w.bottom - w.top + 30, SWP_NOMOVE | SWP_NOZORDER);
  Pump(50);
  EXPECT_TRUE(HasRoundedTopRegion(h)) << "the region did not follow the new size";

  ShowWindow(h, SW_MINIMIZE);
  Pump(100);
  EXPECT_FALSE(HasRegion(h));
  ShowWindow(h, SW_RESTORE);
  Pump(100);
  EXPECT_TRUE(HasRoundedTopRegion(h)) << "restored at its old size, the window got no region back";

  d.Skin->SetSkinnableForm(false);
  Pump(50);
  EXPECT_FALSE(HasRegion(h));
  d.Skin->SetSkinnableForm(true);
  Pump(50);
  EXPECT_TRUE(HasRoundedTopRegion(h));
}

TEST(Controls, LinkLabelOpensItsAddress) {
  TScratchDir dir("link");
  // The default handler of a .cmd address runs it: it leaves a mark, as a browser would show
  // a page.
  std::string mark = dir / "opened.txt";
  WriteAll(dir / "open.cmd", "@echo opened> \"" + mark + "\"\r\n");
  TDemo d;
  BuildDemo(&d, true);
  d.Install->URL = dir / "open.cmd";
  SendMessageA(d.Install->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Exists(mark); }, 15000));
  EXPECT_EQ(d.Clicks[3], 1);
}

TEST(Controls, AlignedPanelsFollowShowHideAndResize) {
  std::unique_ptr<TForm> holder = NewPlainForm(300, 200);
  TForm* f = holder.get();
  auto* top = new TskSkinPanel(f);
  top->SetBounds(0, 0, 10, 50);
  top->SetParent(f);
  top->SetAlign(alTop);
  auto* bottom = new TskSkinPanel(f);
  bottom->SetBounds(0, 0, 10, 40);
  bottom->SetParent(f);
  bottom->SetAlign(alBottom);
  auto* fill = new TskSkinPanel(f);
  fill->SetParent(f);
  fill->SetAlign(alClient);
  f->Show();
  Pump(50);
  EXPECT_EQ(fill->Top(), 50);
  EXPECT_EQ(fill->Height(), 110);
  EXPECT_EQ(fill->Width(), 300);
  EXPECT_EQ(bottom->Top(), 160);
  top->Hide();
  EXPECT_EQ(fill->Top(), 0);
  EXPECT_EQ(fill->Height(), 160);
  f->SetClientSize(400, 300);
  Pump(50);
  EXPECT_EQ(fill->Width(), 400);
  EXPECT_EQ(bottom->Top(), 260);
}

// A form without hints gets no tooltip window (making one loads the common controls library,
// which every start would wait for); the first hint makes one, and each hinted control is a
// tool of it whose text is the hint.
TEST(Controls, HintsBecomeToolsOfOneTooltipMadeOnlyWhenNeeded) {
  std::unique_ptr<TForm> holder = NewPlainForm(300, 120);
  TForm* f = holder.get();
  auto* plain = new TskSkinButton(f);
  plain->SetBounds(10, 10, 100, 25);
  plain->SetParent(f);
  auto* hinted = new TskSkinButton(f);
  hinted->SetBounds(10, 50, 100, 25);
  hinted->SetParent(f);
  f->Show();
  Pump(50);
  auto* hints = new TskHintWindow(f);
  hints->UpdateHints();
  EXPECT_EQ(hints->Handle(), nullptr);

  hinted->Hint = "Removes every cookie";
  hinted->ShowHint = true;
  plain->Hint = "never shown";  // a hint without ShowHint stays off
  hints->UpdateHints();
  ASSERT_NE(hints->Handle(), nullptr);
  hints->UpdateHints();  // registering again replaces, never doubles
  EXPECT_EQ(SendMessageA(hints->Handle(), TTM_GETTOOLCOUNT, 0, 0), 1);
  char text[128] = {};
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V1_SIZE;
  ti.lpszText = text;
  ASSERT_TRUE(SendMessageA(hints->Handle(), TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti)));
  EXPECT_EQ(ti.uId, reinterpret_cast<UINT_PTR>(hinted->Handle()));
  EXPECT_STREQ(text, "Removes every cookie");
}

namespace {

// The client area of a window as it shows on the screen, row by row.
struct TShot {
  int Width = 0, Height = 0;
  std::vector<COLORREF> Pixels;
  COLORREF At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

TShot ShootClient(HWND wnd) {
  TShot s;
  RECT r;
  GetClientRect(wnd, &r);
  s.Width = r.right;
  s.Height = r.bottom;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, s.Width, s.Height);
  HGDIOBJ old = SelectObject(mem, bmp);
  POINT at = {0, 0};
  ClientToScreen(wnd, &at);
  BitBlt(mem, 0, 0, s.Width, s.Height, screen, at.x, at.y, SRCCOPY);
  for (int y = 0; y < s.Height; ++y)
    for (int x = 0; x < s.Width; ++x) s.Pixels.push_back(GetPixel(mem, x, y));
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return s;
}

int Sum(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

// The longest run of pixels of exactly `color` in row `y`: [first, last], or {-1, -1}.
std::pair<int, int> LongestRun(const TShot& s, int y, COLORREF color) {
  std::pair<int, int> best = {-1, -1};
  for (int x = 0; x < s.Width;) {
    if (s.At(x, y) != color) {
      ++x;
      continue;
    }
    int start = x;
    while (x < s.Width && s.At(x, y) == color) ++x;
    if (x - start > best.second - best.first + 1) best = {start, x - 1};
  }
  return best;
}

// The underline of a link: the row with the longest run of the link's colour.
struct TUnderline {
  int Row = -1, First = -1, Last = -1;
};
TUnderline FindUnderline(const TShot& s, COLORREF color) {
  TUnderline u;
  for (int y = 0; y < s.Height; ++y) {
    std::pair<int, int> run = LongestRun(s, y, color);
    if (run.first >= 0 && run.second - run.first > u.Last - u.First) u = {y, run.first, run.second};
  }
  return u;
}

}  // namespace

// The link is drawn in an underlined copy of its own font when it does not take the skin's,
// the underline ends where the letters end, the disabled link is in the disabled colour, and
// the mouse over it is a hand.
TEST(Controls, LinkLabelUnderlinesItsOwnFontToTheLastLetter) {
  std::unique_ptr<TForm> holder = NewPlainForm(360, 60);
  TForm* f = holder.get();
  auto* link = new TskSkinLinkLabel(f);
  link->UseSkinFont = false;
  link->Font()->Name = "Arial";
  link->Font()->Height = -17;
  link->Font()->Changed();
  link->SetText("Install &Firefox Extension");
  link->SetBounds(10, 10, 330, 30);
  link->SetParent(f);
  f->Show();
  Pump(150);
  HWND h = link->Handle();
  const TSkinDescription& d = link->Skin()->Desc();

  // What the text measures in the link's own font, and in the skin's.
  HDC dc = GetDC(h);
  SIZE own = SkTextPlacedSize(dc, "Install Firefox Extension", link->Font()->Handle());
  SIZE skin = SkTextPlacedSize(dc, "Install Firefox Extension", link->Skin()->ControlFont());
  ReleaseDC(h, dc);
  ASSERT_GT(std::abs(own.cx - skin.cx), 20) << "the two fonts measure alike: nothing to tell apart";

  TShot shot = ShootClient(h);
  TUnderline u = FindUnderline(shot, d.Link);
  ASSERT_GE(u.Row, 0) << "no underline in the link colour";
  EXPECT_LE(u.First, 1);
  EXPECT_NEAR(u.Last + 1, own.cx, 2) << "the underline is not the length of the text in the link's own font";
  // The letters reach the underline's end: the rightmost ink above it is within 2 pixels.
  int ink = -1;
  for (int y = 0; y < u.Row; ++y)
    for (int x = 0; x < shot.Width; ++x)
      if (Sum(shot.At(x, y)) < Sum(shot.At(shot.Width - 1, y)) - 90) ink = std::max(ink, x);
  EXPECT_GE(ink, u.Last - 2) << "the underline runs past the last letter";
  EXPECT_LE(ink, u.Last + 2);

  link->SetEnabled(false);
  Pump(100);
  TUnderline grey = FindUnderline(ShootClient(h), d.DisabledText);
  EXPECT_EQ(grey.Row, u.Row) << "the disabled link is not drawn in the disabled colour";
  link->SetEnabled(true);

  SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));
}

// A word-wrapped label breaks its text into lines within its width and shows only the lines
// that fit whole.
TEST(Controls, TextLabelWrapsAndNeverShowsAHalfLine) {
  std::unique_ptr<TForm> holder = NewPlainForm(300, 200);
  TForm* f = holder.get();
  auto* label = new TskSkinTextLabel(f);
  label->Lines()->SetText(
      "Enter website address such as example.com. You don't need to type the www or other prefix before the "
      "main site address. The program will delete all cookies for the domain.");
  f->Show();
  HDC dc = GetDC(nullptr);
  int line = SkLineHeight(dc, label->DrawFont());
  ReleaseDC(nullptr, dc);
  label->SetBounds(10, 10, 200, line * 5 / 2);  // two lines and a half
  label->SetParent(f);
  Pump(150);
  TShot shot = ShootClient(label->Handle());
  auto inkInRows = [&](int top, int bottom, int* right) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < shot.Width; ++x)
        if (Sum(shot.At(x, y)) < 300) {
          ++n;
          *right = std::max(*right, x);
        }
    return n;
  };
  int right = -1;
  EXPECT_GT(inkInRows(0, line, &right), 0) << "no first line";
  EXPECT_GT(inkInRows(line, 2 * line, &right), 0) << "the text did not wrap onto a second line";
  EXPECT_GT(right, 120) << "the lines do not use the width";
  int below = -1;
  EXPECT_EQ(inkInRows(2 * line, shot.Height, &below), 0) << "a half line shows under the last whole one";
}

namespace {

// The tooltip's current text, or empty when it shows nothing.
std::string TipText(HWND tip) {
  if (!tip || !IsWindowVisible(tip)) return "";
  char text[256] = {};
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V1_SIZE;
  ti.lpszText = text;
  if (!SendMessageA(tip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&ti))) return "";
  return text;
}

COLORREF WindowPixel(HWND wnd, int x, int y) {
  RECT r;
  GetWindowRect(wnd, &r);
  HDC dc = GetDC(nullptr);
  COLORREF c = GetPixel(dc, r.left + x, r.top + y);
  ReleaseDC(nullptr, dc);
  return c;
}

}  // namespace

// A control's hint shows in the skin's hint colours, outlined in its hint border colour.
TEST(Controls, HintsShowInTheSkinsHintColoursAndBorder) {
  std::unique_ptr<TForm> holder = NewPlainForm(300, 120);
  TForm* f = holder.get();
  f->SetBounds(100, 100, 300, 120);
  auto* skin = new TskSkinData(f);
  ASSERT_TRUE(skin->LoadFromCompressedFile(DistDir() + "skins\\Graphite.skn")) << skin->LastError();
  auto* button = new TskSkinButton(f);
  button->SetSkinData(skin);
  button->SetBounds(20, 20, 120, 30);
  button->Hint = "Removes every cookie";
  button->ShowHint = true;
  button->SetParent(f);
  f->Show();
  SetForegroundWindow(f->Handle());
  Pump(100);
  auto* hints = new TskHintWindow(f);
  hints->SkinData = skin;
  hints->UpdateHints();
  HWND tip = hints->Handle();
  ASSERT_NE(tip, nullptr);
  const TSkinDescription& d = skin->Skin()->Desc();
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(tip, TTM_GETTIPBKCOLOR, 0, 0)), d.HintBack);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(tip, TTM_GETTIPTEXTCOLOR, 0, 0)), d.HintText);

  RECT r;
  GetWindowRect(button->Handle(), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ASSERT_TRUE(WaitFor([&] { return TipText(tip) == "Removes every cookie"; }, 8000)) << "the hint did not show";
  Pump(100);
  EXPECT_EQ(WindowPixel(tip, 0, 0), d.HintBorder);
  GetWindowRect(tip, &r);
  EXPECT_EQ(WindowPixel(tip, r.right - r.left - 1, r.bottom - r.top - 1), d.HintBorder);
  EXPECT_EQ(WindowPixel(tip, 1, 1), d.HintBack);
  SaveWindowBmp(tip, ProgramDir() + "shot-hint.bmp");
  SetCursorPos(5, 5);
}

// The skinned caption's buttons name themselves in a hint, with the toolkit's texts.
TEST(Controls, CaptionButtonsShowTheirHints) {
  TDemo d;
  BuildDemo(&d, true);
  auto* res = new TskResourceStrData(d.Form);
  res->ResStrings()->SetValue("HINT_CLOSE", "Fenster schliessen");
  d.Skin->SetResourceStrData(res);
  HWND h = d.Form->Handle();
  SetForegroundWindow(h);
  Pump(100);
  RECT w;
  GetWindowRect(h, &w);
  auto hover = [&](TskDynamicSkinForm::TCaptionButton b) {
    RECT r = d.Frame->CaptionButtonRect(b);
    SetCursorPos(w.left + (r.left + r.right) / 2, w.top + (r.top + r.bottom) / 2);
  };
  struct {
    TskDynamicSkinForm::TCaptionButton button;
    const char* text;
  } cases[] = {{TskDynamicSkinForm::cbClose, "Fenster schliessen"},
               {TskDynamicSkinForm::cbMinimize, "Minimize"},
               {TskDynamicSkinForm::cbSystem, "Window menu"}};
  for (auto& c : cases) {
    hover(c.button);
    EXPECT_TRUE(WaitFor([&] { return TipText(d.Frame->CaptionHintHandle()) == c.text; }, 8000))
        << c.text << ": shows \"" << TipText(d.Frame->CaptionHintHandle()) << "\"";
    // Away from the buttons, into the client area: the hint goes.
    SetCursorPos(w.left + 200, w.top + 200);
    EXPECT_TRUE(WaitFor([&] { return TipText(d.Frame->CaptionHintHandle()).empty(); }, 5000)) << c.text;
  }
  d.Skin->SetResourceStrData(nullptr);
}
