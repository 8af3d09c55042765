// The engine inside one process: the process-wide engine, the window hook and its answers,
// the post-start work, the title and the two key lists seen by the settings store.
#include <gtest/gtest.h>

#include "components/StoredData.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "support/TestSupport.h"

namespace {

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
  void TearDown() override { delete form; }
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

}  // namespace
