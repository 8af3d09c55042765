// The skinned message dialog: answers by mouse and keyboard, and the do-not-show-again box.
#include <gtest/gtest.h>

#include <thread>

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
