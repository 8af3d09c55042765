// The engine inside one process: the process-wide engine, the window hook and its answers,
// the post-start work, the title and the two key lists seen by the settings store.
#include <gtest/gtest.h>

#include "components/StoredData.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"

namespace {

// The settings store traces the keys it does not find, and the first trace line starts the
// viewer named by the registry value that the trace tests of the same prefix write: a viewer
// started from here would outlive this program and hold its output open.
class TNoTraceViewer : public ::testing::Environment {
 public:
  void SetUp() override { GetDebugger()->AutoStartViewer = false; }
};
const auto* const kNoTraceViewer = ::testing::AddGlobalTestEnvironment(new TNoTraceViewer);

class TfrmEngineHost : public TForm {
  QM_CLASS(TfrmEngineHost, TForm)
 public:
  explicit TfrmEngineHost(TComponent* owner) : TForm(owner) {}
  TCLEngine* engine1 = nullptr;
  std::vector<std::string> texts;
  int titleChanges = 0;
  void engine1CmdFile(const std::string& strFileName) { texts.push_back(strFileName); }
  void engine1TitleChange(TObject*) { ++titleChanges; }
};
QM_REGISTER_CLASS(TfrmEngineHost, b) {
  b.Field("engine1", &TfrmEngineHost::engine1);
  b.Method("engine1CmdFile", &TfrmEngineHost::engine1CmdFile);
  b.Method("engine1TitleChange", &TfrmEngineHost::engine1TitleChange);
}

const char kHost[] = R"(object frmEngineHost : TfrmEngineHost
  Caption = "Designed caption"
  object engine1 : TCLEngine
    SettingOverwrite = ("App.Name=Brindlewick" "App.Ver=2.1.1.6" "App.ID=4711")
    SettingDefault = ("Path.Skins=skins" "Path.Languages=langs" "Only.Default=yes")
    OnCmdFile = engine1CmdFile
    OnTitleChange = engine1TitleChange
  end
end
)";

UINT Msg(const char* name) { return RegisterWindowMessageA(name); }

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterStoredForm("TfrmEngineHost", kHost);
    form = NewForm<TfrmEngineHost>(nullptr);
    UnregisterStoredForm("TfrmEngineHost");
  }
  void TearDown() override { FreeComponent(form); }
  TfrmEngineHost* form = nullptr;
};

TEST_F(EngineTest, AnswersInstancesAndRunsPostStartWorkOnce) {
  ASSERT_EQ(GetEngine(), form->engine1);
  HWND wnd = form->Handle();
  // The key lists are the settings store's first and last layers.
  EXPECT_EQ(GetSettings()->ReadInteger("App.ID"), 4711);
  EXPECT_EQ(GetSettings()->ReadString("Only.Default"), "yes");
  EXPECT_EQ(GetSettings()->ReadString("Path.Languages"), "langs");  // the stored lines replaced "lang"

  EXPECT_EQ(SendMessageA(wnd, Msg("CL GetAppID"), 0, 0), 4711);
  // Before the loop runs, the engine is still starting.
  EXPECT_TRUE(form->engine1->InitPending());
  EXPECT_EQ(SendMessageA(wnd, Msg("CL IfBusy"), 0, 0), 1);
  Pump();  // delivers the "CL InitPost" posted at the end of loading
  EXPECT_FALSE(form->engine1->InitPending());
  EXPECT_EQ(SendMessageA(wnd, Msg("CL IfBusy"), 0, 0), 0);
  EXPECT_EQ(form->Caption(), "Brindlewick  2.1.1.6");
  EXPECT_EQ(Application()->Title(), "Brindlewick  2.1.1.6");
  EXPECT_EQ(form->titleChanges, 1);
  // Without the version: at once, the name alone.
  form->engine1->SetTitleIncludeVer(false);
  EXPECT_EQ(form->Caption(), "Brindlewick");
  EXPECT_EQ(form->titleChanges, 2);
}

TEST_F(EngineTest, CopyDataDeliversExactBytesThroughAPostedMessage) {
  HWND wnd = form->Handle();
  Pump();
  const char buffer[] = "example.comXYZ";
  COPYDATASTRUCT record = {0, 11, const_cast<char*>(buffer)};
  EXPECT_EQ(SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record)), 0);
  EXPECT_TRUE(form->texts.empty());  // never inside WM_COPYDATA
  COPYDATASTRUCT empty = {0, 0, nullptr};
  SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty));
  Pump();
  ASSERT_EQ(form->texts.size(), 2u);
  EXPECT_EQ(form->texts[0], "example.com");
  EXPECT_EQ(form->texts[0].size(), 11u);
  EXPECT_EQ(form->texts[1], "");
  EXPECT_EQ(form->engine1->CommandText(), "");
}

TEST_F(EngineTest, UnhandledMessagesReachThePreviousProcedureAndTheHookIsRemoved) {
  // A recorder installed after the engine sees everything first; one put under the engine
  // (as its previous procedure) sees only what the engine passes on.
  delete form->engine1;
  EXPECT_EQ(GetEngine(), nullptr);  // the process-wide engine went with it
  std::vector<UINT> seen;
  TWndMethod original = form->WindowProc;
  form->WindowProc = [&](TMessage& m) {
    seen.push_back(m.Msg);
    original(m);
  };
  TCLEngine* engine = new TCLEngine(form);
  EXPECT_EQ(GetEngine(), engine);
  HWND wnd = form->Handle();
  seen.clear();
  SendMessageA(wnd, WM_COPYDATA, 0, 0);       // null record: passed on
  SendMessageA(wnd, Msg("CL CmdParam"), 0, 0);  // no handler: passed on
  SendMessageA(wnd, Msg("CL GetAppID"), 0, 0);  // answered by the engine
  EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_COPYDATA)), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), Msg("CL CmdParam")), seen.end());
  EXPECT_EQ(std::find(seen.begin(), seen.end(), Msg("CL GetAppID")), seen.end());
  delete engine;
  seen.clear();
  SendMessageA(wnd, Msg("CL GetAppID"), 0, 0);
  EXPECT_NE(std::find(seen.begin(), seen.end(), Msg("CL GetAppID")), seen.end());  // hook removed
  form->WindowProc = original;
}

TEST_F(EngineTest, SecondEngineDoesNotReplaceTheFirstAndOwnerMustBeAForm) {
  TForm other(nullptr);
  TCLEngine* second = new TCLEngine(&other);
  EXPECT_EQ(GetEngine(), form->engine1);
  delete form->engine1;
  EXPECT_EQ(GetEngine(), nullptr);  // the second one does not step in
  delete second;

  TComponent notAForm(nullptr);
  EXPECT_THROW(new TCLEngine(&notAForm), EInvalidCast);
  EXPECT_EQ(notAForm.ComponentCount(), 0);
  EXPECT_THROW(new TCLEngine(nullptr), EInvalidCast);
}

TEST_F(EngineTest, NoAutoTitleKeepsTheCaption) {
  form->engine1->SettingOverwrite()->SetValue("App.NoAutoTitle", "1");
  Pump();
  EXPECT_EQ(form->Caption(), "Designed caption");
  EXPECT_EQ(form->titleChanges, 0);
  EXPECT_EQ(form->engine1->Title(), "Brindlewick  2.1.1.6");
  EXPECT_EQ(TCLEngine::GetResText("MSGBOX_EnterDomain", false), "[AppRes]MSGBOX_EnterDomain");
  EXPECT_EQ(TCLEngine::GetResText("Caption", true), "[LibRes]Caption");
}

TEST_F(EngineTest, CommandTextsFromOtherProcessesAreBounded) {
  HWND wnd = form->Handle();
  Pump();
  auto send = [&](const std::string& text) {
    COPYDATASTRUCT record = {0, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
    return SendMessageA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
  };
  const size_t longest = TCLEngine::kMaxCommandTextBytes;
  EXPECT_EQ(send(std::string(longest, 'a')), 0);
  EXPECT_EQ(send(std::string(longest + 1, 'b')), 0);  // longer than any command line: refused
  Pump();
  ASSERT_EQ(form->texts.size(), 1u);
  EXPECT_EQ(form->texts[0], std::string(longest, 'a'));

  // A flood that nobody takes in the meantime: the texts that fit wait and arrive once each, in
  // order; the rest are refused.
  form->texts.clear();
  const size_t fitting = TCLEngine::kMaxPendingTextBytes / longest;
  for (size_t i = 0; i < fitting + 20; ++i) {
    std::string text = std::to_string(i) + ":";
    send(text + std::string(longest - text.size(), 'x'));
  }
  Pump();
  ASSERT_EQ(form->texts.size(), fitting);
  for (size_t i = 0; i < fitting; ++i) EXPECT_EQ(form->texts[i].substr(0, form->texts[i].find(':')), std::to_string(i));
  // Once they have been taken, texts are welcome again.
  form->texts.clear();
  send("after");
  Pump();
  EXPECT_EQ(form->texts, (std::vector<std::string>{"after"}));
}

TEST_F(EngineTest, InitPostFromAnyoneRunsNothingOnceTheStartIsDone) {
  HWND wnd = form->Handle();
  Pump();
  ASSERT_EQ(form->titleChanges, 1);
  SetWindowTextA(wnd, "Changed by the user");
  // "CL InitPost" is a registered message: another process may post it at any time.
  PostMessageA(wnd, Msg("CL InitPost"), 0, 0);
  SendMessageA(wnd, Msg("CL InitPost"), 0, 0);
  Pump();
  EXPECT_EQ(form->titleChanges, 1);
  EXPECT_EQ(form->Caption(), "Changed by the user");
  EXPECT_EQ(SendMessageA(wnd, Msg("CL IfBusy"), 0, 0), 0);
}

TEST_F(EngineTest, AHookPutOnTheFormLaterKeepsWorkingWhenTheEngineGoesFirst) {
  HWND wnd = form->Handle();
  Pump();
  const UINT probe = WM_USER + 77;
  int later = 0;
  TWndMethod engines = form->WindowProc;
  form->WindowProc = [&](TMessage& m) {
    if (m.Msg == probe) ++later;
    engines(m);
  };
  EXPECT_EQ(SendMessageA(wnd, Msg("CL GetAppID"), 0, 0), 4711);
  FreeComponent(form->engine1);  // out of order: the later hook is still on
  EXPECT_EQ(GetEngine(), nullptr);
  SendMessageA(wnd, probe, 0, 0);
  EXPECT_EQ(later, 1) << "the later hook was taken off with the engine";
  // The engine's part of the chain only passes messages on now.
  EXPECT_EQ(SendMessageA(wnd, Msg("CL GetAppID"), 0, 0), 0);
  EXPECT_EQ(SendMessageA(wnd, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(form->Caption().size()));
  // The later hook comes off in its turn, putting back what it found.
  form->WindowProc = engines;
  SendMessageA(wnd, probe, 0, 0);
  EXPECT_EQ(later, 1);
  EXPECT_EQ(SendMessageA(wnd, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(form->Caption().size()));
  EXPECT_EQ(SendMessageA(wnd, Msg("CL IfBusy"), 0, 0), 0);
}

// A host whose post-start handlers all fail, each its own way.
class TfrmFaultyHost : public TForm {
  QM_CLASS(TfrmFaultyHost, TForm)
 public:
  explicit TfrmFaultyHost(TComponent* owner) : TForm(owner) {}
  TCLEngine* engine1 = nullptr;
  std::vector<std::string> steps;
  bool busyDuringWork = false;
  void engine1LanguageChanged(TObject*) {
    steps.push_back("language");
    busyDuringWork = SendMessageA(Handle(), RegisterWindowMessageA("CL IfBusy"), 0, 0) == 1;
    // A second "CL InitPost" while the first is being worked off does not start it again.
    SendMessageA(Handle(), RegisterWindowMessageA("CL InitPost"), 0, 0);
    throw Exception("language handler failed");
  }
  void engine1SkinChanged(TObject*) {
    steps.push_back("skin");
    throw 42;  // not every error is a std::exception
  }
  void engine1TitleChange(TObject*) {
    steps.push_back("title");
    throw std::runtime_error("title handler failed");
  }
};
QM_REGISTER_CLASS(TfrmFaultyHost, b) {
  b.Field("engine1", &TfrmFaultyHost::engine1);
  b.Method("engine1LanguageChanged", &TfrmFaultyHost::engine1LanguageChanged);
  b.Method("engine1SkinChanged", &TfrmFaultyHost::engine1SkinChanged);
  b.Method("engine1TitleChange", &TfrmFaultyHost::engine1TitleChange);
}

TEST(EnginePostStart, FailingStepsAreReportedAndTheStartStillEnds) {
  RegisterStoredForm("TfrmFaultyHost", R"(object frmFaultyHost : TfrmFaultyHost
  object engine1 : TCLEngine
    SettingOverwrite = ("App.Name=Faulty" "App.ID=4712" "Update.BeginAuto=1")
    OnLanguageChanged = engine1LanguageChanged
    OnSkinChanged = engine1SkinChanged
    OnTitleChange = engine1TitleChange
  end
end
)");
  TCLEngineWindows savedWindows = EngineWindows();
  TCLEngineWindows failing;
  int updateChecks = 0;
  failing.CheckUpdate = [&](TComponent*, bool, bool) {
    ++updateChecks;
    throw Exception("update window failed");
  };
  SetEngineWindows(failing);
  std::vector<std::string> errors;
  Application()->OnException = [&](TObject*, const std::exception& e) { errors.push_back(e.what()); };

  auto* form = NewForm<TfrmFaultyHost>(nullptr);
  UnregisterStoredForm("TfrmFaultyHost");
  HWND wnd = form->Handle();
  EXPECT_EQ(SendMessageA(wnd, RegisterWindowMessageA("CL IfBusy"), 0, 0), 1);
  Pump();
  EXPECT_EQ(form->steps, (std::vector<std::string>{"language", "skin", "title"}));
  EXPECT_TRUE(form->busyDuringWork);
  EXPECT_EQ(updateChecks, 1);
  EXPECT_EQ(errors, (std::vector<std::string>{"language handler failed", "Unknown error", "title handler failed",
                                               "update window failed"}));
  EXPECT_FALSE(form->engine1->InitPending());
  EXPECT_EQ(SendMessageA(wnd, RegisterWindowMessageA("CL IfBusy"), 0, 0), 0);
  // The title was applied before its handler failed.
  EXPECT_EQ(form->engine1->Title().rfind("Faulty", 0), 0u);
  EXPECT_EQ(form->Caption(), form->engine1->Title());

  Application()->OnException = nullptr;
  SetEngineWindows(savedWindows);
  FreeComponent(form);
}

}  // namespace
