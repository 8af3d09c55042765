// The update window against a loopback update server: what each answer shows and stores in
// both modes, the failures, and the keys and buttons.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "HttpTestServer.h"
#include "TestViewer.h"
#include "framework/CLEngine.h"
#include "framework/CLEngineWeb.h"
#include "framework/CLSettings.h"
#include "lang/CLBuiltInTexts.h"
#include "lang/CLMultiLang.h"
#include "net/CLUpdateForm.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"
#include "tools/UrlText.h"
#include "TestHost.h"
#include "toolkit/SkinControls.h"

using qmtest::THttpConnection;
using qmtest::THttpTestServer;
using qmtest::WaitFor;

namespace {

const int kBlock = 31;  // 127.0.31.x
const char kNobody[] = "127.0.31.254";  // nothing listens there

// The trace lines this process sends while it lives, through the tests' own viewer. The
// process-wide debugger is made to send for the time and freed afterwards, which closes its view
// of the viewer's memory and leaves the next debugger as quiet as the first.
class TTraceCapture {
 public:
  TTraceCapture() {
    TTracer* debugger = GetDebugger();
    debugger->AutoStartViewer = false;
    debugger->OutputEnabled = true;
    if (debugger->Channel()) debugger->Channel()->SetEnabled(true);
    viewer_.StartDraining();
  }
  ~TTraceCapture() {
    FreeDebugger();
    // Tracers of other programs that found this viewer close their view at their next line,
    // instead of waiting on a viewer that no longer drains.
    viewer_.Put(kTrhMagic, 0);
    viewer_.StopDraining();
  }
  bool Ok() const { return viewer_.Ok(); }
  // The texts traced with `tag` so far.
  std::vector<std::string> Tagged(const std::string& tag) {
    std::vector<std::string> texts;
    for (const TTraceRecord& r : OfProcess(viewer_.Collected(), GetCurrentProcessId()))
      if (r.tag == tag) texts.push_back(r.text);
    return texts;
  }
  // Waits until a line with `tag` containing `part` has arrived.
  bool WaitFor(const std::string& tag, const std::string& part) {
    return qmtest::WaitFor([&] {
      for (const std::string& t : Tagged(tag))
        if (t.find(part) != std::string::npos) return true;
      return false;
    }, 5000);
  }

 private:
  TTestViewer viewer_;
};

// Takes the lines whose names pass `drop` out of the user's settings file itself (the store has
// no removal), so that a later write shows the name it gives a new key.
void ForgetSettings(const std::function<bool(const std::string& name)>& drop) {
  TCLSettings* s = GetSettings();
  const std::string text = qmtest::ReadAll(s->SettingsFileName());
  std::string kept;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!drop(line.substr(0, line.find('=')))) kept += line + "\r\n";
    start = end + 1;
  }
  qmtest::WriteAll(s->SettingsFileName(), kept);
  s->UpdateFile();  // the store takes the file as it now is
}

// A host window with an engine and the built-in texts, as the main window would have.
class UpdateForm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    host_ = TestHost();
    server_ = new THttpTestServer(kBlock);
  }
  static void TearDownTestSuite() {
    delete server_;
  }

  void SetUp() override {
    ASSERT_TRUE(server_->Listening());
    TCLSettings* s = GetSettings();
    s->WriteString("URL.Update", "http://" + server_->Host() + "/update.php");
    s->WriteString("App.MagicWord", "Word");
    s->WriteBool("Update.AutoCheck", true);
    s->WriteBool("Update.NoAutoCheck", false);
    for (const char* key : {"Update.Days", "FireFoxPath", "App.GUID", "URL.Help", "Update.LastDate", "Debug.Level"})
      s->WriteString(key, "");
    // Not written empty: the name a pushed line gives a new key is part of what is tested.
    ForgetSettings([](const std::string& name) { return urltext::SameTextNoCase(name, "Banner.Top.URL"); });
    SetAnswer("magicword=word\r\nResult=0\r\n");
  }

  static void SetAnswer(const std::string& body) {
    server_->SetHandler([body](THttpConnection& c, const std::string&, const std::string&) {
      THttpTestServer::Ok(c, body);
    });
  }

  // Starts a manual check on a shown (not modal) window and waits until its result is shown
  // (or, for answers that show nothing, until the check is over).
  TfrmCLUpdateForm* Manual(bool expectResult = true) {
    auto* f = NewForm<TfrmCLUpdateForm>(host_);
    f->Show();
    f->StartCheck(true);
    EXPECT_TRUE(WaitFor([f] { return !f->Checking(); }, 15000));
    if (expectResult) {
      EXPECT_TRUE(WaitFor([f] { return f->btnOK2->Enabled(); }, 5000));
    }
    qmtest::WaitFor([] { return false; }, 50);  // let any posted result arrive
    return f;
  }

  static std::string NetError() { return GetEngine()->GetLibRes("Update.NetError"); }
  static std::string Setting(const char* key) { return GetSettings()->ReadString(key); }

  static TForm* host_;
  static THttpTestServer* server_;
};

TForm* UpdateForm::host_ = nullptr;
THttpTestServer* UpdateForm::server_ = nullptr;

}  // namespace

TEST_F(UpdateForm, PreparedWindowShowsOnlyTheDisabledOkWhileConnecting) {
  auto* f = NewForm<TfrmCLUpdateForm>(host_);
  // The class-name key has no built-in text: the window's own caption text stands in.
  EXPECT_EQ(f->GetText(), GetEngine()->GetLibRes("frmCLUpdateForm.Caption"));
  EXPECT_EQ(f->GetText().rfind("Update ", 0), 0u);
  EXPECT_EQ(f->btnOK2->GetText(), "&Ok");
  EXPECT_EQ(f->btnCancel->GetText(), "&Cancel");
  EXPECT_EQ(f->cbAutoCheckUpdate->GetText(), "&Automatic Check Update");
  EXPECT_TRUE(f->cbAutoCheckUpdate->Checked());
  EXPECT_FALSE(f->pnOkCancel->Visible());
  EXPECT_TRUE(f->pnOK->Visible());
  EXPECT_FALSE(f->btnOK2->Enabled());
  // The test program has no pictures beside it: the logo band is gone and the window shorter.
  EXPECT_FALSE(f->pnLogo->Visible());
  EXPECT_EQ(f->ClientHeight(), 306 - 65);
  delete f;

  GetSettings()->WriteBool("Update.NoAutoCheck", true);
  GetSettings()->WriteBool("Update.AutoCheck", false);
  f = NewForm<TfrmCLUpdateForm>(host_);
  EXPECT_FALSE(f->cbAutoCheckUpdate->Visible());
  EXPECT_FALSE(f->cbAutoCheckUpdate->Checked());
  delete f;
}

TEST_F(UpdateForm, LogoSizesTheWindowAndADamagedOneIsLeftOut) {
  {
    TPictureBeside picture("update.png");
    ASSERT_TRUE(picture.Present());
    auto* f = NewForm<TfrmCLUpdateForm>(host_);
    EXPECT_TRUE(f->pnLogo->Visible());
    EXPECT_EQ(f->imgLogo->Picture().Height(), 65);
    EXPECT_EQ(f->pnLogo->Height(), 65);
    EXPECT_EQ(f->ClientWidth(), 373);
    EXPECT_EQ(f->ClientHeight(), 306);
    delete f;
  }
  const std::string damaged = "\x89PNG\r\n\x1a\nbroken";
  TPictureBeside picture("update.png", &damaged);
  auto* f = NewForm<TfrmCLUpdateForm>(host_);
  EXPECT_FALSE(f->pnLogo->Visible());
  EXPECT_EQ(f->ClientHeight(), 306 - 65);
  delete f;
}

TEST_F(UpdateForm, ManualNewerVersionWithAndWithoutPage) {
  SetAnswer("magicword=WORD\r\nResult=1\r\ninfo=Version 3 is out\r\npage=http://example.com/get\r\n");
  auto* f = Manual();
  EXPECT_EQ(f->lbInfo->GetText(), "Version 3 is out");
  EXPECT_EQ(f->PageURL(), "http://example.com/get");
  EXPECT_TRUE(f->pnOkCancel->Visible());
  EXPECT_FALSE(f->pnOK->Visible());
  EXPECT_TRUE(f->btnOK->Enabled());
  ASSERT_EQ(server_->RequestCount(), 1u);
  EXPECT_NE(server_->Requests()[0].find("GET /update.php?ACTION=Update&"), std::string::npos);
  delete f;

  SetAnswer("magicword=Word\nResult=1\ninfo=Version 3\n");
  f = Manual();
  EXPECT_EQ(f->lbInfo->GetText(), "Version 3");
  EXPECT_EQ(f->PageURL(), "");
  EXPECT_FALSE(f->pnOkCancel->Visible());
  EXPECT_TRUE(f->pnOK->Visible());
  EXPECT_TRUE(f->btnOK2->Enabled());
  delete f;

  // A page that is not a web address is never offered.
  SetAnswer("magicword=Word\nResult=1\ninfo=v\npage=C:\\Windows\\notepad.exe\n");
  f = Manual();
  EXPECT_EQ(f->PageURL(), "");
  EXPECT_TRUE(f->pnOK->Visible());
  delete f;
  server_->ClearRequests();
}

TEST_F(UpdateForm, ManualNoNewerVersionMissingResultAndResultTwo) {
  for (const char* answer : {"magicword=Word\r\nResult=0\r\n", "magicword=Word\r\n"}) {
    SetAnswer(answer);
    auto* f = Manual();
    EXPECT_EQ(f->lbInfo->GetText(), "You already have the latest version.") << answer;
    EXPECT_FALSE(f->pnOkCancel->Visible());
    delete f;
  }
  SetAnswer("magicword=Word\r\nResult=2\r\ninfo=x\r\n");
  auto* f = Manual(false);
  EXPECT_EQ(f->lbInfo->GetText(), "Checking for updates...");  // still connecting
  EXPECT_FALSE(f->btnOK2->Enabled());
  delete f;
}

TEST_F(UpdateForm, WrongMagicWordAndNoServerAreNetworkErrorsAndStoreNothing) {
  SetAnswer("magicword=Other\r\nResult=1\r\n__MODIFY__.Update.Days=7\r\nBanner.Top.URL=x\r\n");
  auto* f = Manual();
  EXPECT_EQ(f->lbInfo->GetText(), NetError());
  EXPECT_EQ(Setting("Update.Days"), "");
  EXPECT_EQ(Setting("Banner.Top.URL"), "");
  EXPECT_NE(Setting("Update.LastDate"), "");  // an answer arrived all the same
  delete f;

  GetSettings()->WriteString("URL.Update", std::string("http://") + kNobody + "/update.php");
  GetSettings()->WriteString("Update.LastDate", "");
  f = Manual();
  EXPECT_EQ(f->lbInfo->GetText(), NetError());
  EXPECT_EQ(Setting("Update.LastDate"), "");
  EXPECT_TRUE(f->btnOK2->Enabled());
  delete f;
}

TEST_F(UpdateForm, EmptyMagicWordAcceptsAnAnswerWithoutOne) {
  GetSettings()->WriteString("App.MagicWord", "");
  SetAnswer("Result=1\r\ninfo=accepted\r\n");
  auto* f = Manual();
  EXPECT_EQ(f->lbInfo->GetText(), "accepted");
  delete f;
}

TEST_F(UpdateForm, PushedSettingsAreStoredExceptProtectedOnes) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  SetAnswer(
      "magicword=Word\r\nbanner.Top.URL=http://b/1\r\n__MODIFY__.Update.Days=7\r\n"
      "__MODIFY__.FireFoxPath=C:\\evil.exe\r\n__MODIFY__.App.GUID=evil\r\n__MODIFY__.Debug.Level=9\r\n"
      "__MODIFY__.URL.Update=C:\\evil.exe\r\n__MODIFY__.URL.Help=https://example.com/help\r\n"
      "Banner.Top.URLA=\\\\evil\\share\\b.htm\r\nResult=0\r\n");
  TTraceCapture trace;
  ASSERT_TRUE(trace.Ok());
  auto* f = Manual();
  EXPECT_EQ(Setting("banner.Top.URL"), "http://b/1");
  EXPECT_EQ(GetSettings()->ReadInteger("Update.Days"), 7);
  EXPECT_EQ(Setting("URL.Help"), "https://example.com/help");
  EXPECT_EQ(Setting("FireFoxPath"), "");
  EXPECT_EQ(Setting("App.GUID"), "");
  EXPECT_EQ(Setting("Debug.Level"), "");
  EXPECT_EQ(Setting("URL.Update"), "http://" + server_->Host() + "/update.php");
  EXPECT_EQ(Setting("Banner.Top.URLA"), "");
  // Stored in the file itself, not only in memory, under the name as the answer wrote it.
  const std::string file = qmtest::ReadAll(GetSettings()->SettingsFileName());
  EXPECT_NE(file.find("\r\nUpdate.Days=7\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\nbanner.Top.URL=http://b/1\r\n"), std::string::npos) << file;
  EXPECT_EQ(file.find("evil"), std::string::npos);
  // Every refused line is in the trace under the update check's tag.
  ASSERT_TRUE(trace.WaitFor("CLUpdate", "Banner.Top.URLA"));
  std::vector<std::string> refused;
  for (const std::string& t : trace.Tagged("CLUpdate"))
    if (t.rfind("Update refused : ", 0) == 0) refused.push_back(t.substr(17));
  EXPECT_EQ(refused, (std::vector<std::string>{
                         "__MODIFY__.FireFoxPath=C:\\evil.exe (protected key)",
                         "__MODIFY__.App.GUID=evil (protected key)",
                         "__MODIFY__.Debug.Level=9 (protected key)",
                         "__MODIFY__.URL.Update=C:\\evil.exe (not a web address)",
                         "Banner.Top.URLA=\\\\evil\\share\\b.htm (not a web or program-folder address)",
                     }));
  // The date of the answer, as days since 30 December 1899.
  const double today = updatetext::DateTimeSerial(now.wYear, now.wMonth, now.wDay, 0, 0, 0, 0);
  const double last = GetSettings()->ReadFloat("Update.LastDate");
  EXPECT_GE(last, today);
  EXPECT_LT(last, today + 2);
  delete f;
}

// An answer that names a skin and a language outside their folders, where a skin and a language
// file are planted: nothing is stored, and the choice the next start makes loads neither.
TEST_F(UpdateForm, AnAnswerCannotChooseTheSkinOrTheLanguage) {
  auto plant = [](const char* folderKey, const char* ext) {
    const std::string path = QV_GetAppPath() + GetSettings()->ReadString(folderKey) + "\\..\\..\\x\\Far" + ext;
    char full[MAX_PATH] = {};
    GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    const std::string file = full;
    QV_ForceDirectories(file.substr(0, file.rfind('\\')));
    qmtest::WriteAll(file, "[Info]\r\nLanguage=Far\r\n");
    return file;
  };
  const std::string lan = plant("Path.Languages", ".lan"), skn = plant("Path.Skins", ".skn");
  const std::string skinBefore = Setting("Skin"), languageBefore = Setting("Language");
  SetAnswer("magicword=Word\r\n__MODIFY__.Language=..\\..\\x\\Far\r\n__MODIFY__.Skin=..\\..\\x\\Far\r\n"
            "__MODIFY__.URL.Help=http://\\\\host\\share\\x.exe\r\nResult=0\r\n");
  delete Manual();
  EXPECT_EQ(Setting("Skin"), skinBefore);
  EXPECT_EQ(Setting("Language"), languageBefore);
  EXPECT_EQ(Setting("URL.Help"), "");
  EXPECT_EQ(qmtest::ReadAll(GetSettings()->SettingsFileName()).find("Far"), std::string::npos);
  GetEngine()->SetLanguage(Setting("Language"));
  EXPECT_NE(GetEngine()->LanguageData()->CurrentLanguage(), "Far");
  DeleteFileA(lan.c_str());
  DeleteFileA(skn.c_str());
}

TEST_F(UpdateForm, AFloodOfPushedLinesStoresOnlyTheBoundAndIsTraced) {
  ForgetSettings([](const std::string& name) { return urltext::StartsWithNoCase(name, "Banner.Flood"); });
  const size_t before = qmtest::ReadAll(GetSettings()->SettingsFileName()).size();
  const int lines = 300000;
  std::string answer = "magicword=Word\r\nResult=0\r\n";
  for (int i = 0; i < lines; ++i) answer += "Banner.Flood" + std::to_string(i) + "=http://f/\r\n";
  SetAnswer(answer);
  TTraceCapture trace;
  ASSERT_TRUE(trace.Ok());
  const DWORD start = GetTickCount();
  auto* f = Manual();
  EXPECT_LT(GetTickCount() - start, 30000u);
  EXPECT_EQ(f->lbInfo->GetText(), "You already have the latest version.");
  const std::string file = qmtest::ReadAll(GetSettings()->SettingsFileName());
  size_t stored = 0;
  for (size_t at = file.find("\nBanner.Flood"); at != std::string::npos; at = file.find("\nBanner.Flood", at + 1))
    ++stored;
  EXPECT_EQ(stored, updatetext::kMaxPushedLines);
  EXPECT_EQ(Setting("Banner.Flood255"), "http://f/");
  EXPECT_EQ(Setting("Banner.Flood256"), "");
  EXPECT_LT(file.size(), before + 256 * 40);
  EXPECT_TRUE(trace.WaitFor("CLUpdate", "Update refused : " + std::to_string(lines - 256) +
                                            " pushed lines past the first 256"));
  delete f;
  ForgetSettings([](const std::string& name) { return urltext::StartsWithNoCase(name, "Banner.Flood"); });
}

TEST_F(UpdateForm, KeysAndButtons) {
  // Any key abandons the check: the answer, held back by the server, is never processed.
  server_->ResetRelease();
  server_->SetHandler([](THttpConnection& c, const std::string&, const std::string&) {
    c.WaitRelease(10000);
    THttpTestServer::Ok(c, "magicword=Word\r\nResult=1\r\ninfo=late\r\n__MODIFY__.Update.Days=5\r\n");
  });
  auto* f = NewForm<TfrmCLUpdateForm>(host_);
  f->Show();
  f->StartCheck(true);
  ASSERT_TRUE(WaitFor([] { return server_->RequestCount() > 0; }, 10000));
  SendMessageA(f->btnOK2->Handle(), WM_KEYUP, VK_TAB, 0);
  server_->Release();
  WaitFor([] { return server_->Finished() > 0; }, 10000);
  WaitFor([] { return false; }, 300);
  EXPECT_EQ(f->lbInfo->GetText(), "Checking for updates...");
  EXPECT_EQ(Setting("Update.Days"), "");
  EXPECT_EQ(f->ModalResult, mrNone);
  // Escape closes with the cancel result.
  SendMessageA(f->btnOK2->Handle(), WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_EQ(f->ModalResult, mrCancel);
  delete f;
  server_->ClearRequests();

  // Ok2 and Ok store the check box; Cancel does not; nothing is stored with NoAutoCheck.
  SetAnswer("magicword=Word\r\nResult=0\r\n");
  f = Manual();
  f->cbAutoCheckUpdate->SetChecked(false);
  SendMessageA(f->btnOK2->Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(GetSettings()->ReadBool("Update.AutoCheck"));
  EXPECT_EQ(f->ModalResult, mrCancel);
  delete f;

  SetAnswer("magicword=Word\r\nResult=1\r\npage=http://example.com/page\r\n");
  {
    // Ok stores the check box and opens the page in the browser.
    qmtest::TScratchDir dir("okpage");
    TBrowserStub browser(dir / "opened.txt");
    f = Manual();
    f->cbAutoCheckUpdate->SetChecked(true);
    SendMessageA(f->btnOK->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(GetSettings()->ReadBool("Update.AutoCheck"));
    EXPECT_EQ(f->ModalResult, mrOk);
    EXPECT_EQ(OpenedAddress(dir / "opened.txt"), "http://example.com/page");
    delete f;
    GetSettings()->WriteBool("Update.AutoCheck", false);
  }
  f = Manual();
  f->cbAutoCheckUpdate->SetChecked(true);
  SendMessageA(f->btnCancel->Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(GetSettings()->ReadBool("Update.AutoCheck"));
  EXPECT_EQ(f->ModalResult, mrCancel);
  delete f;

  GetSettings()->WriteBool("Update.NoAutoCheck", true);
  f = Manual();
  f->cbAutoCheckUpdate->SetChecked(true);
  SendMessageA(f->btnOK2->Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(GetSettings()->ReadBool("Update.AutoCheck"));
  delete f;
}

TEST_F(UpdateForm, OkOpensThePageForTheApplicationsWindowNotItsOwn) {
  SetAnswer("magicword=Word\r\nResult=1\r\npage=http://example.com/page\r\n");
  std::vector<std::pair<HWND, std::string>> opened;
  const TWebUrlOpener saved =
      SetWebUrlOpener([&](HWND window, const std::string& url) { opened.emplace_back(window, url); });
  auto* f = Manual();
  SendMessageA(f->btnOK->Handle(), BM_CLICK, 0, 0);
  SetWebUrlOpener(saved);
  ASSERT_NE(Application()->Handle(), nullptr);
  ASSERT_EQ(opened.size(), 1u);
  // The window an automatic check shows is freed once it closes; the application's lives on.
  EXPECT_EQ(opened[0].first, Application()->Handle());
  EXPECT_NE(opened[0].first, f->Handle());
  EXPECT_EQ(opened[0].second, "http://example.com/page");
  delete f;
}

namespace {

// Closes the automatic window once it shows itself (from another thread, as a user would).
struct TCloser {
  HANDLE thread = nullptr;
  std::atomic<bool> shown{false};
  std::atomic<bool> stop{false};
  HWND wnd;
  explicit TCloser(HWND w) : wnd(w) {
    thread = CreateThread(nullptr, 0, &Proc, this, 0, nullptr);
  }
  ~TCloser() {
    stop = true;
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
  }
  static DWORD WINAPI Proc(void* p) {
    auto* self = static_cast<TCloser*>(p);
    for (int i = 0; i < 500 && !self->stop && IsWindow(self->wnd); ++i) {
      if (IsWindowVisible(self->wnd)) {
        self->shown = true;
        PostMessageA(self->wnd, WM_CLOSE, 0, 0);
        return 0;
      }
      Sleep(20);
    }
    return 0;
  }
};

}  // namespace

TEST_F(UpdateForm, AManualWindowClosedBeforeItsAnswerDoesNotComeBack) {
  server_->ResetRelease();
  server_->SetHandler([](THttpConnection& c, const std::string&, const std::string&) {
    c.WaitRelease(10000);
    THttpTestServer::Ok(c, "magicword=Word\r\nResult=1\r\ninfo=late\r\n");
  });
  auto* f = NewForm<TfrmCLUpdateForm>(host_);
  const HWND wnd = f->Handle();
  f->StartCheck(true);
  {
    TCloser closer(wnd);  // the user closes the window while it still connects
    f->ShowCheck();
    EXPECT_TRUE(closer.shown.load());
  }
  ASSERT_TRUE(WaitFor([] { return server_->RequestCount() > 0; }, 10000));
  TCloser again(wnd);  // would close a window that came back
  server_->Release();
  ASSERT_TRUE(WaitFor([f] { return !f->Checking(); }, 15000));
  WaitFor([] { return false; }, 500);  // let the posted result arrive
  EXPECT_EQ(f->lbInfo->GetText(), "late");
  EXPECT_FALSE(again.shown.load());
  EXPECT_FALSE(IsWindowVisible(wnd));
  delete f;
  server_->ClearRequests();
}

TEST_F(UpdateForm, AutomaticModeShowsOnlyAllowedNewerVersionsAndFreesItself) {
  const std::string newer = "magicword=Word\r\nResult=1\r\ninfo=new\r\n__MODIFY__.Update.Days=";
  struct Case {
    bool autoCheck, noAutoCheck;
    int runTimes;
    bool shown;
  } cases[] = {{true, false, 3, true}, {false, false, 3, false}, {true, true, 3, false}, {true, false, 0, false}};
  int n = 0;
  for (const Case& c : cases) {
    TCLSettings* s = GetSettings();
    s->WriteBool("Update.AutoCheck", c.autoCheck);
    s->WriteBool("Update.NoAutoCheck", c.noAutoCheck);
    // The start count is read when the store starts.
    s->WriteInteger("RunTimes", c.runTimes);
    FreeSettings();
    ASSERT_EQ(GetSettings()->RunTimes(), c.runTimes);
    GetSettings()->WriteString("Update.Days", "");
    SetAnswer(newer + std::to_string(++n) + "\r\n");

    TfrmCLUpdateForm* f = CLAutoCheckUpdate(host_);
    const HWND wnd = f->Handle();
    TCloser closer(wnd);
    ASSERT_TRUE(WaitFor([&] { return GetSettings()->ReadInteger("Update.Days") == n; }, 15000));
    WaitFor([&] { return c.shown ? !IsWindow(wnd) : false; }, c.shown ? 10000 : 500);
    EXPECT_EQ(closer.shown.load(), c.shown) << n;
    // Shown windows free themselves when closed; silent ones stay hidden and alive.
    EXPECT_EQ(IsWindow(wnd) != FALSE, !c.shown) << n;
    if (!c.shown) {
      EXPECT_FALSE(IsWindowVisible(wnd));
      delete f;
    }
  }
  GetSettings()->WriteBool("Update.AutoCheck", true);
  GetSettings()->WriteBool("Update.NoAutoCheck", false);
}
