// The skinned message dialog: answers by mouse and keyboard, and the do-not-show-again box.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "tests/toolkit/DemoForm.h"

using namespace qmtest;

namespace {

HWND WaitDialog() {
  for (int i = 0; i < 200; ++i) {
    HWND h = FindWindowA("TskMessageForm", nullptr);
    if (h && IsWindowVisible(h)) return h;
    Sleep(25);
  }
  return nullptr;
}

void Keys(std::initializer_list<WORD> vks, bool alt = false) {
  for (WORD vk : vks) {
    INPUT in[4] = {};
    int n = 0;
    if (alt) in[n].type = INPUT_KEYBOARD, in[n++].ki.wVk = VK_MENU;
    in[n].type = INPUT_KEYBOARD, in[n++].ki.wVk = vk;
    in[n].type = INPUT_KEYBOARD, in[n].ki.wVk = vk, in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    if (alt) in[n].type = INPUT_KEYBOARD, in[n].ki.wVk = VK_MENU, in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(n, in, sizeof(INPUT));
    Sleep(150);
  }
}

// Runs the dialog while `act` works on it from another thread, as a user would.
int RunDialog(TskSkinMessage* msg, TMsgDlgButtons buttons, const std::function<void(HWND)>& act,
              const std::string& text = "Are you sure you want to erase all cookies for Internet Explorer? This "
                                        "action can not be undone.") {
  std::thread t([&] {
    HWND dlg = WaitDialog();
    if (dlg) {
      Sleep(200);
      act(dlg);
    }
  });
  int r = msg->MessageDlg(text, "Brindlewick", mtInformation, buttons, 0);
  t.join();
  return r;
}

const TMsgDlgButtons kYesNo = MsgButton(mbYes) | MsgButton(mbNo);

}  // namespace

TEST(Message, ReturnsThePressedButtonAndTheBoxSetsTheFlag) {
  TskSkinMessage msg(nullptr);
  msg.ShowAgainFlag = true;
  msg.ShowAgainFlagValue = true;
  std::string seenText;
  HWND seenBox = nullptr;
  int r = RunDialog(&msg, kYesNo, [&](HWND dlg) {
    char buf[256] = {};
    GetWindowTextA(dlg, buf, sizeof buf);
    seenText = buf;
    seenBox = FindChild(dlg, "Button", "Don't display this message again");
    SaveWindowBmp(dlg, ProgramDir() + "shot-message.bmp");
    if (seenBox) SendMessageA(seenBox, BM_CLICK, 0, 0);
    SendMessageA(FindChild(dlg, "Button", "&No"), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(r, mrNo);
  EXPECT_EQ(seenText, "Brindlewick");
  EXPECT_NE(seenBox, nullptr);
  EXPECT_FALSE(msg.ShowAgainFlagValue);  // ticked: do not show again

  // Untouched box: the flag says keep showing; the message's text is on a label.
  std::string label;
  r = RunDialog(&msg, kYesNo, [&](HWND dlg) {
    HWND l = FindChild(dlg, "Static", nullptr);
    char buf[512] = {};
    if (l) GetWindowTextA(l, buf, sizeof buf);
    label = buf;
    SendMessageA(FindChild(dlg, "Button", "&Yes"), BM_CLICK, 0, 0);
  }, "Cookies & more");
  EXPECT_EQ(r, mrYes);
  EXPECT_EQ(label, "Cookies && more");  // shown literally, not as a mnemonic
  EXPECT_TRUE(msg.ShowAgainFlagValue);

  // Without the flag there is no box.
  msg.ShowAgainFlag = false;
  HWND box = reinterpret_cast<HWND>(1);
  r = RunDialog(&msg, MsgButton(mbOK), [&](HWND dlg) {
    box = FindChild(dlg, "Button", "Don't display this message again");
    SendMessageA(FindChild(dlg, "Button", "&OK"), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(r, mrOk);
  EXPECT_EQ(box, nullptr);
}

TEST(Message, EnterEscapeAndMnemonics) {
  TskSkinMessage msg(nullptr);
  EXPECT_EQ(RunDialog(&msg, kYesNo, [](HWND) { Keys({VK_RETURN}); }), mrYes);
  EXPECT_EQ(RunDialog(&msg, kYesNo, [](HWND) { Keys({VK_ESCAPE}); }), mrNo);
  EXPECT_EQ(RunDialog(&msg, MsgButton(mbOK) | MsgButton(mbCancel), [](HWND) { Keys({VK_ESCAPE}); }), mrCancel);
  EXPECT_EQ(RunDialog(&msg, kYesNo, [](HWND) { Keys({'N'}, true); }), mrNo);
  EXPECT_EQ(RunDialog(&msg, kYesNo, [](HWND) { Keys({VK_TAB, VK_RETURN}); }), mrNo);  // Tab to No, Enter
  // Tab reaches the box, Space ticks it.
  msg.ShowAgainFlag = true;
  msg.ShowAgainFlagValue = true;
  EXPECT_EQ(RunDialog(&msg, kYesNo, [](HWND) { Keys({VK_TAB, VK_TAB, VK_SPACE, VK_ESCAPE}); }), mrNo);
  EXPECT_FALSE(msg.ShowAgainFlagValue);
  // Closing by the frame answers like the cancel button.
  EXPECT_EQ(RunDialog(&msg, MsgButton(mbOK) | MsgButton(mbCancel),
                      [](HWND dlg) { PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }),
            mrCancel);
}

TEST(Message, CaptionsComeFromTheResourceTexts) {
  TskSkinData skin(nullptr);
  TskResourceStrData res(nullptr);
  res.ResStrings()->SetValue("MSG_BTN_YES", "&Ja");
  res.ResStrings()->SetValue("MSG_BTN_NO", "&Nein");
  res.ResStrings()->SetValue("MSG_CAP_SHOWFLAG", "Nicht mehr anzeigen");
  skin.SetResourceStrData(&res);
  TskSkinMessage msg(nullptr);
  msg.SetSkinData(&skin);
  msg.SetCtrlSkinData(&skin);
  msg.ShowAgainFlag = true;
  bool found = false;
  int r = RunDialog(&msg, kYesNo, [&](HWND dlg) {
    found = FindChild(dlg, "Button", "&Ja") && FindChild(dlg, "Button", "Nicht mehr anzeigen");
    SendMessageA(FindChild(dlg, "Button", "&Nein"), BM_CLICK, 0, 0);
  });
  EXPECT_TRUE(found);
  EXPECT_EQ(r, mrNo);
  skin.SetResourceStrData(nullptr);
}

// Help leaves the dialog open and tells the window the message belongs to, with the help
// context; a dialog whose only button is Help also gets OK, so it can be answered and closed.
TEST(Message, HelpSendsTheContextAndAHelpOnlyDialogStillCloses) {
  std::unique_ptr<TForm> holder = NewPlainForm(200, 100);
  TForm* owner = holder.get();
  owner->Show();
  std::vector<DWORD_PTR> contexts;
  TWndMethod old = owner->WindowProc;
  owner->WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_HELP) {
      auto* hi = reinterpret_cast<HELPINFO*>(m.LParam);
      contexts.push_back(hi && hi->cbSize == sizeof(HELPINFO) ? hi->dwContextId : 0);
      m.Result = TRUE;
      return;
    }
    old(m);
  };
  auto* msg = new TskSkinMessage(owner);
  bool stillOpen = false;
  HWND ok = nullptr;
  auto run = [&](TMsgDlgButtons buttons, const std::function<void(HWND)>& act) {
    std::thread t([&] {
      HWND dlg = WaitDialog();
      if (dlg) {
        Sleep(200);
        act(dlg);
      }
    });
    int r = msg->MessageDlg("Need help?", "Brindlewick", mtConfirmation, buttons, 4711);
    t.join();
    return r;
  };
  int r = run(MsgButton(mbYes) | MsgButton(mbNo) | MsgButton(mbHelp), [&](HWND dlg) {
    SendMessageA(FindChild(dlg, "Button", "&Help"), BM_CLICK, 0, 0);
    Sleep(200);
    stillOpen = IsWindowVisible(dlg) != FALSE;
    SendMessageA(FindChild(dlg, "Button", "&Yes"), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(r, mrYes);
  EXPECT_TRUE(stillOpen) << "Help closed the dialog";
  EXPECT_EQ(contexts, std::vector<DWORD_PTR>{4711});

  // Help alone: OK comes with it; Help still helps, OK and Escape answer.
  r = run(MsgButton(mbHelp), [&](HWND dlg) {
    ok = FindChild(dlg, "Button", "&OK");
    SendMessageA(FindChild(dlg, "Button", "&Help"), BM_CLICK, 0, 0);
    Sleep(200);
    if (ok) SendMessageA(ok, BM_CLICK, 0, 0);
    else PostMessageA(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  EXPECT_NE(ok, nullptr) << "a dialog with only Help has no OK";
  EXPECT_EQ(r, mrOk);
  EXPECT_EQ(contexts.size(), 2u);
  EXPECT_EQ(run(MsgButton(mbHelp), [](HWND) { Keys({VK_ESCAPE}); }), mrOk);
  owner->WindowProc = old;
}

// Each kind shows its system icon (and, without a caption, its own caption); the custom kind
// shows none.
TEST(Message, EachKindShowsItsIcon) {
  TskSkinMessage msg(nullptr);
  struct {
    TMsgDlgType type;
    LPCSTR icon;
    const char* caption;
  } kinds[] = {{mtWarning, IDI_WARNING, "Warning"},
               {mtError, IDI_ERROR, "Error"},
               {mtInformation, IDI_INFORMATION, "Information"},
               {mtConfirmation, IDI_QUESTION, "Confirm"},
               {mtCustom, nullptr, ""}};
  for (auto& k : kinds) {
    HICON shown = nullptr;
    bool found = false;
    int colours = 0;
    std::string caption;
    std::thread t([&] {
      HWND dlg = WaitDialog();
      if (!dlg) return;
      Sleep(300);
      char buf[128] = {};
      GetWindowTextA(dlg, buf, sizeof buf);
      caption = buf;
      if (HWND view = FindChild(dlg, "TskIconView", nullptr)) {
        found = true;
        if (auto* icon = dynamic_cast<TskIconView*>(TWinControl::FindControl(view))) shown = icon->Icon;
        // The icon is painted: its 32 x 32 pixels are not one plain background.
        std::vector<COLORREF> seen;
        for (int y = 0; y < 32; y += 2)
          for (int x = 0; x < 32; x += 2) {
            COLORREF c = ScreenPixel(view, x, y);
            if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
          }
        colours = static_cast<int>(seen.size());
      }
      SendMessageA(FindChild(dlg, "Button", "&OK"), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(msg.MessageDlg("Something happened.", "", k.type, MsgButton(mbOK), 0), mrOk);
    t.join();
    EXPECT_EQ(caption, k.caption);
    if (!k.icon) {
      EXPECT_FALSE(found) << "the custom kind shows an icon";
      continue;
    }
    ASSERT_TRUE(found) << k.caption;
    EXPECT_EQ(shown, LoadIconA(nullptr, k.icon)) << k.caption;
    EXPECT_GT(colours, 4) << k.caption << ": the icon is not painted";
  }
}
