// The engine on a real window: post-start work, title, texts, message boxes with the
// show-again memory, the framework windows it opens and the process-wide engine.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "framework/CLSettings.h"
#include "platform/TraceChannel.h"
#include "tests/engine/EngineTestHost.h"
#include "toolkit/SkinMessage.h"

namespace {

// Answers the next message dialog captioned `caption` from another thread: ticks the
// do-not-show-again box when asked, then presses the button with `buttonText`.
class TDialogAnswerer {
 public:
  TDialogAnswerer(std::string caption, std::string buttonText, bool tick)
      : caption_(std::move(caption)), button_(std::move(buttonText)), tick_(tick) {
    thread_ = std::thread([this] { Run(); });
  }
  ~TDialogAnswerer() {
    stop_ = true;
    thread_.join();
  }
  bool Seen() const { return seen_; }
  std::string Text() const { return text_; }
  bool HadShowAgainBox() const { return hadBox_; }

 private:
  struct TFind {
    std::string text;
    HWND found = nullptr;
  };
  static BOOL CALLBACK FindText(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<TFind*>(lp);
    char buf[512] = {};
    GetWindowTextA(w, buf, sizeof buf);
    if (f->text != buf) return TRUE;
    f->found = w;
    return FALSE;
  }
  static BOOL CALLBACK CollectText(HWND w, LPARAM lp) {
    char buf[512] = {};
    GetWindowTextA(w, buf, sizeof buf);
    *reinterpret_cast<std::string*>(lp) += std::string(buf) + "|";
    return TRUE;
  }
  static HWND Child(HWND dialog, const std::string& text) {
    TFind f{text};
    EnumChildWindows(dialog, FindText, reinterpret_cast<LPARAM>(&f));
    return f.found;
  }
  static std::string AllTexts(HWND dialog) {
    std::string all;
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&all));
    return all;
  }
  void Run() {
    for (int i = 0; i < 400 && !stop_; ++i) {
      HWND dialog = FindWindowA(nullptr, caption_.c_str());
      if (dialog && IsWindowVisible(dialog)) {
        seen_ = true;
        text_ = AllTexts(dialog);
        HWND box = Child(dialog, "Don't display this message again");
        hadBox_ = box != nullptr;
        if (box && tick_) SendMessageA(box, BM_CLICK, 0, 0);
        HWND button = Child(dialog, button_);
        if (button) SendMessageA(button, BM_CLICK, 0, 0);
        else PostMessageA(dialog, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(25);
    }
  }
  std::string caption_, button_;
  bool tick_;
  std::atomic<bool> stop_{false}, seen_{false}, hadBox_{false};
  std::string text_;
  std::thread thread_;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetStoredChoices(); }
};

}  // namespace

TEST_F(EngineTest, PostStartWorkFiresTheHeldBackEventsThenSetsTheTitle) {
  auto host = CreateHost({});
  EXPECT_TRUE(host->engine1->InitPending());
  // The change events are held back while loading; the language applied at load time
  // already composed the title (the name may come from the language data).
  EXPECT_EQ(host->Events, (std::vector<std::string>{"title"}));
  EXPECT_EQ(host->GetText(), "Brindlewick  2.1.1.6");
  ASSERT_TRUE(WaitPostStart(host.get()));
  EXPECT_EQ(host->Events, (std::vector<std::string>{"title", "language", "skin", "title"}));
  EXPECT_EQ(host->GetText(), "Brindlewick  2.1.1.6");
  EXPECT_EQ(Application()->Title(), "Brindlewick  2.1.1.6");
  EXPECT_EQ(host->engine1->Title(), "Brindlewick  2.1.1.6");

  // Setting the property recomposes at once.
  host->engine1->SetTitleIncludeVer(false);
  EXPECT_EQ(host->GetText(), "Brindlewick");
  EXPECT_EQ(Application()->Title(), "Brindlewick");
}

TEST_F(EngineTest, TitleWithoutVersionAndTheNameFromTheLanguageData) {
  THostOptions o;
  o.TitleIncludeVer = false;
  auto host = CreateHost(o);
  ASSERT_TRUE(WaitPostStart(host.get()));
  EXPECT_EQ(host->GetText(), "Brindlewick");
  // "AppName" of "AppRes" wins over "App.Name".
  host->lang1->DefaultData()->SetText("[AppRes]\r\nAppName=Brindlewick Pro\r\n");
  host->engine1->UpdateTitle();
  EXPECT_EQ(host->GetText(), "Brindlewick Pro");
  EXPECT_EQ(host->engine1->GetApplicationName(), "Brindlewick Pro");
}

TEST_F(EngineTest, NoAutoTitleKeepsTheStoredCaptionAndCallsNoHandler) {
  THostOptions o;
  o.Overwrite = "\"App.NoAutoTitle=1\"";
  auto host = CreateHost(o);
  ASSERT_TRUE(WaitPostStart(host.get()));
  EXPECT_EQ(host->GetText(), "Stored caption");
  EXPECT_EQ(host->engine1->Title(), "Brindlewick  2.1.1.6");  // composed and kept
  for (const std::string& e : host->Events) EXPECT_NE(e.substr(0, 5), "title");
  host->engine1->SetTitleIncludeVer(false);
  EXPECT_EQ(host->GetText(), "Stored caption");
  EXPECT_EQ(host->engine1->Title(), "Brindlewick");
}

TEST_F(EngineTest, MissingTextsShowTheirSectionAndKey) {
  auto host = CreateHost({});
  TCLEngine* e = host->engine1;
  EXPECT_EQ(TCLEngine::GetResText("NoSuchKey", true), "[LibRes]NoSuchKey");
  EXPECT_EQ(TCLEngine::GetResText("MSGBOX_EnterDomain", false), "[AppRes]MSGBOX_EnterDomain");
  EXPECT_EQ(TCLEngine::GetResText("LibKey", true), "Library text");
  EXPECT_EQ(TCLEngine::GetResText("LibKey", false), "[AppRes]LibKey");  // the other section
  EXPECT_EQ(e->GetLibRes("LibKey"), "Library text");
  EXPECT_EQ(e->GetAppRes("MSGBOX_Plain"), "Plain text");
  EXPECT_EQ(e->GetAppRes("Nothing"), "");
  EXPECT_EQ(e->GetResString("SkinRes", "MSG_BTN_YES"), "&Yes");

  TStringList merged(std::vector<std::string>{"MSG_BTN_YES=kept"});
  e->MergeResSection("SkinRes", &merged);
  EXPECT_EQ(merged.Values("MSG_BTN_YES"), "kept");  // names it holds stay
}

TEST_F(EngineTest, WithoutLanguageDataTextsAreEmptyAndTheNameComesFromTheSettings) {
  THostOptions o;
  o.Language = false;
  auto host = CreateHost(o);
  EXPECT_EQ(host->engine1->GetLibRes("LibKey"), "");
  EXPECT_EQ(TCLEngine::GetResText("LibKey", true), "[LibRes]LibKey");
  EXPECT_EQ(host->engine1->GetApplicationName(), "Brindlewick");
  TStringList lines;
  host->engine1->MergeResSection("SkinRes", &lines);
  EXPECT_EQ(lines.Count(), 0);
}

TEST_F(EngineTest, MessageBoxFillsArgumentsAndIsCaptionedWithTheName) {
  auto host = CreateHost({});
  ASSERT_TRUE(WaitPostStart(host.get()));
  const unsigned yesNo = MsgButton(mbYes) | MsgButton(mbNo);
  {
    TDialogAnswerer answer("Brindlewick", "&No", false);
    int r = host->engine1->ShowResMessage("MSGBOX_Twice", {"example.com"}, 0, mtConfirmation, yesNo, 0, false);
    EXPECT_EQ(r, mrNo);
    EXPECT_TRUE(answer.Seen());
    EXPECT_NE(answer.Text().find("Erase example.com? Really example.com?"), std::string::npos) << answer.Text();
    EXPECT_FALSE(answer.HadShowAgainBox());
  }
  {
    TDialogAnswerer answer("Brindlewick", "&OK", false);
    EXPECT_EQ(host->engine1->ShowResMessage("MSGBOX_Twice", {}, 0, mtInformation, MsgButton(mbOK), 0, false), mrOk);
    EXPECT_NE(answer.Text().find("Erase {1}? Really {1}?"), std::string::npos) << answer.Text();
  }
  {
    TDialogAnswerer answer("Brindlewick", "&OK", false);
    host->engine1->ShowResMessage("MSGBOX_EnterDomain", {}, 0, mtWarning, MsgButton(mbOK), 0, false);
    EXPECT_NE(answer.Text().find("[AppRes]MSGBOX_EnterDomain"), std::string::npos) << answer.Text();
  }
  {
    // A dialog kind outside the known five and no buttons: a plain box with OK, no crash.
    TDialogAnswerer answer("Brindlewick", "&OK", false);
    EXPECT_EQ(host->engine1->ShowResMessage("MSGBOX_Plain", {}, 0, 99, 0, 0, false), mrOk);
    EXPECT_TRUE(answer.Seen());
  }
  EXPECT_EQ(host->engine1->GetSkinMessage()->SkinData(), host->skin1);
  EXPECT_EQ(host->engine1->GetSkinMessage()->CtrlSkinData(), host->skin1);
  EXPECT_EQ(host->engine1->GetSkinMessage()->Owner(), host.get());
}

TEST_F(EngineTest, AnAnswerRememberedUnderAShowAgainIdIsReturnedWithoutAsking) {
  auto host = CreateHost({});
  ASSERT_TRUE(WaitPostStart(host.get()));
  const unsigned yesNo = MsgButton(mbYes) | MsgButton(mbNo);
  TCLEngine* e = host->engine1;
  {
    // Answered "No" without ticking the box: nothing is remembered.
    TDialogAnswerer answer("Brindlewick", "&No", false);
    EXPECT_EQ(e->ShowResMessage("MSGBOX_Plain", {}, 90, mtConfirmation, yesNo, 0, false), mrNo);
    EXPECT_TRUE(answer.HadShowAgainBox());
  }
  EXPECT_TRUE(GetSettings()->ReadShowAgain(90));
  {
    TDialogAnswerer answer("Brindlewick", "&Yes", true);
    EXPECT_EQ(e->ShowResMessage("MSGBOX_Plain", {}, 90, mtConfirmation, yesNo, 0, false), mrYes);
    EXPECT_TRUE(answer.Seen());
  }
  EXPECT_FALSE(GetSettings()->ReadShowAgain(90));
  EXPECT_EQ(GetSettings()->ReadShowAgainResult(90), mrYes);
  {
    // Another confirmation sharing the number: no dialog at all.
    TDialogAnswerer watch("Brindlewick", "&No", false);
    EXPECT_EQ(e->ShowResMessage("MSGBOX_Twice", {"x"}, 90, mtConfirmation, yesNo, 0, false), mrYes);
    EXPECT_EQ(e->ShowResMessage("MSGBOX_Twice", {"x"}, 90, mtConfirmation, yesNo, mrNo, false), mrNo);
    Sleep(300);
    EXPECT_FALSE(watch.Seen());
  }
  // Another number still asks.
  {
    TDialogAnswerer answer("Brindlewick", "&No", false);
    EXPECT_EQ(e->ShowResMessage("MSGBOX_Plain", {}, 91, mtConfirmation, yesNo, 0, false), mrNo);
    EXPECT_TRUE(answer.Seen());
  }
}

TEST_F(EngineTest, AboutAndUpdateWindowsOpenThroughTheRegisteredOpeners) {
  struct TCall {
    TComponent* owner;
    HWND parent;
    bool manual, show;
  };
  std::vector<TCall> about, update;
  TCLEngineWindows saved = EngineWindows();
  TCLEngineWindows w;
  w.ShowAbout = [&](TComponent* owner, HWND parent) { about.push_back({owner, parent, false, false}); };
  w.CheckUpdate = [&](TComponent* owner, bool manual, bool show) { update.push_back({owner, nullptr, manual, show}); };
  SetEngineWindows(w);

  auto host = CreateHost({});
  TCLEngine* e = host->engine1;
  e->ParentHWND = 4660;
  const int traced = GetDebugger()->MessageCount;
  e->ShowAbout();
  ASSERT_EQ(about.size(), 1u);
  EXPECT_EQ(about[0].owner, host.get());
  EXPECT_EQ(about[0].parent, reinterpret_cast<HWND>(4660));
  EXPECT_EQ(GetDebugger()->MessageCount, traced + 1);  // the parent window, in decimal

  e->CheckUpdate(true);
  e->CheckUpdate(false);
  ASSERT_EQ(update.size(), 2u);
  EXPECT_TRUE(update[0].manual && update[0].show);
  EXPECT_TRUE(update[1].manual && !update[1].show);
  EXPECT_EQ(update[0].owner, host.get());

  SetEngineWindows(TCLEngineWindows());
  e->ShowAbout();  // nobody registered: nothing opens, nothing fails
  e->CheckUpdate(true);
  EXPECT_EQ(about.size(), 1u);
  SetEngineWindows(saved);
}

namespace {
// Days since 30 December 1899 for a moment `daysAgo` before now.
double DaysAgo(double daysAgo) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<double>(t.QuadPart) / 864000000000.0 - 109205.0 - daysAgo;
}

// Starts a host with "Update.BeginAuto" on and returns how many automatic checks began.
int AutoChecksAtStart(const std::string& overwrite, double lastDate, bool storeDate) {
  ResetStoredChoices();
  if (storeDate) GetSettings()->WriteFloat("Update.LastDate", lastDate);
  int autoChecks = 0;
  TCLEngineWindows saved = EngineWindows();
  TCLEngineWindows w;
  w.CheckUpdate = [&](TComponent*, bool manual, bool show) {
    if (!manual && !show) ++autoChecks;
  };
  SetEngineWindows(w);
  THostOptions o;
  o.Overwrite = overwrite;
  auto host = CreateHost(o);
  WaitPostStart(host.get());
  SetEngineWindows(saved);
  return autoChecks;
}
}  // namespace

TEST_F(EngineTest, AutomaticUpdateCheckRunsAfterStartOnlyWhenDue) {
  const std::string on = "\"Update.BeginAuto=1\" \"Update.Days=7\"";
  EXPECT_EQ(AutoChecksAtStart(on, DaysAgo(3), true), 0);
  EXPECT_EQ(AutoChecksAtStart(on, DaysAgo(8), true), 1);
  EXPECT_EQ(AutoChecksAtStart(on, 0, false), 1);  // never checked
  EXPECT_EQ(AutoChecksAtStart("\"Update.BeginAuto=1\"", DaysAgo(0.1), true), 1);  // no "Update.Days"
  EXPECT_EQ(AutoChecksAtStart("\"Update.Days=7\"", DaysAgo(30), true), 0);  // not switched on
}

TEST_F(EngineTest, TheFirstEngineStaysTheProcessEngineUntilItGoes) {
  EXPECT_EQ(GetEngine(), nullptr);
  auto host = CreateHost({});
  TCLEngine* first = host->engine1;
  EXPECT_EQ(GetEngine(), first);
  TForm other(nullptr);
  auto* second = new TCLEngine(&other);
  EXPECT_EQ(GetEngine(), first);
  // The second engine's texts still come from the process-wide engine's language data.
  EXPECT_EQ(TCLEngine::GetResText("LibKey", true), "Library text");
  host.reset();
  EXPECT_EQ(GetEngine(), nullptr);
  EXPECT_EQ(TCLEngine::GetResText("LibKey", true), "[LibRes]LibKey");
  delete second;
  EXPECT_EQ(GetEngine(), nullptr);

  // An owner that is not a form stops construction.
  TComponent notAForm(nullptr);
  EXPECT_THROW(TCLEngine bad(&notAForm), EInvalidCast);
  EXPECT_EQ(notAForm.ComponentCount(), 0);
}
