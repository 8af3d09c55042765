// The engine's web operations over the real settings store and registry, and its download
// registry against a loopback server of the test's own (127.0.22.x:80).
#include <gtest/gtest.h>

#include <memory>

#include "HttpTestServer.h"
#include "framework/CLDownloadRegistry.h"
#include "framework/CLEngine.h"
#include "framework/CLEngineWeb.h"
#include "framework/CLSettings.h"
#include "platform/Handles.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

using qmtest::THttpConnection;
using qmtest::THttpTestServer;
using qmtest::TScratchDir;
using qmtest::WaitFor;

namespace {


void SetChannel(const std::string& value) {
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\QuillmoorWebTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  TRegKey key(raw);
  RegSetValueExA(key.get(), "CHL", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
}

// The settings every address test relies on, written into this program's own "setting.dat".
void WriteSettings() {
  TCLSettings* s = GetSettings();
  s->WriteString("App.RegPath", "QuillmoorWebTest");
  s->WriteString("App.PID", "");
  s->WriteString("App.MagicWord", "QM/Test");
  s->WriteString("Language", "Deutsch (Schweiz)");
  s->WriteString("App.Ver", "2.1.1.6 beta");
  s->WriteString("App.SubVer", "7");
  s->WriteString("URL.Update", "  ");
  s->WriteString("URL.Redirect", "http://redirect.example/r.php");
  s->WriteString("URL.support", "%ExePath%\\help\\index.htm");
  s->WriteString("URL.query", "HTTP://h.example/p?lang=de");
  s->WriteString("URL.open", "http://h.example/p?");
  s->WriteString("URL.local", "file:///C:/x.htm");
  s->WriteString("URL.none", "");
}

// The query after its five-digit time stamp, as this machine should describe itself.
std::string ExpectedQueryTail() {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  std::string sp = v.szCSDVersion;
  for (char& c : sp)
    if (c == ' ') c = '+';
  TCLSettings* s = GetSettings();
  return "&PID=QM%2FTest&LANG=Deutsch+(Schweiz)&DAY=" + std::to_string(s->InstallAgeDays()) +
         "&RUNTIME=" + std::to_string(s->RunTimes()) + "&VER=02010106&SVER=7&WVER=" +
         std::to_string(v.dwMajorVersion) + "_" + std::to_string(v.dwMinorVersion) + "_" + sp +
         "&WLANG=" + std::to_string(GetSystemDefaultLangID()) + "&CHL=716D5F73657475702E657865";
}

bool IsStamp(const std::string& s) {
  if (s.size() != 5) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return std::stoi(s.substr(0, 2)) < 60;
}

TEST(EngineWeb, ActionAddressesWithTheInstallationQuery) {
  WriteSettings();
  SetChannel("\"C:\\Program Files\\Setup Files\\qm_setup.exe\"");
  const std::string tail = ExpectedQueryTail();

  // No address of its own: the redirect address, with the action in front of the query.
  std::string update = WebActionURL("Update", true);
  const std::string head = "http://redirect.example/r.php?ACTION=Update&";
  ASSERT_EQ(update.substr(0, head.size()), head) << update;
  EXPECT_TRUE(IsStamp(update.substr(head.size(), 5))) << update;
  EXPECT_EQ(update.substr(head.size() + 5), tail);
  EXPECT_EQ(WebActionURL("Update", false), "http://redirect.example/r.php");

  // An address with a query gets "&", one ending in "?" nothing more; the scheme test ignores case.
  std::string query = WebActionURL("query", true);
  EXPECT_EQ(query.substr(0, 37), "HTTP://h.example/p?lang=de&ACTION=que") << query;
  std::string open = WebActionURL("open", true);
  EXPECT_EQ(open.substr(0, 30), "http://h.example/p?ACTION=open") << open;

  // Local addresses: the program folder for "%exepath%", no query.
  std::string folder = QV_GetAppPath();
  folder.pop_back();
  EXPECT_EQ(WebActionURL("support", true), folder + "\\help\\index.htm");
  EXPECT_EQ(WebActionURL("local", true), "file:///C:/x.htm");

  // Nothing at all: empty, and the redirect address is taken unchanged.
  GetSettings()->WriteString("URL.Redirect", "");
  EXPECT_EQ(WebActionURL("none", true), "");
  GetSettings()->WriteString("URL.Redirect", "%exepath%/r");
  EXPECT_EQ(WebActionURL("none", false), "%exepath%/r");
}

TEST(EngineWeb, QueryParametersChangeWithTheClockAndDefaultTheChannel) {
  WriteSettings();
  SetChannel("D:partner7.exe");
  std::string a = WebQueryParams();
  Sleep(5);
  std::string b = WebQueryParams();
  EXPECT_NE(a.substr(0, 5), b.substr(0, 5)) << "two requests built apart differ in their time stamp";
  EXPECT_EQ(a.substr(5), b.substr(5));
  EXPECT_EQ(a.substr(a.find("&CHL=")), "&CHL=" + QV_HexEncode("partner7.exe"));

  GetSettings()->WriteString("App.RegPath", "QuillmoorNoSuchKey");
  GetSettings()->WriteString("App.PID", "P 1");
  std::string c = WebQueryParams();
  EXPECT_EQ(c.substr(c.find("&CHL=")), "&CHL=756E6B6E6F77");  // "unknow"
  EXPECT_EQ(c.substr(5, 10), "&PID=P+1&L");
}

TEST(EngineWeb, WcmeLinksAreCommandsNeverPages) {
  std::vector<std::string> opened;
  auto open = [&](const std::string& page) { opened.push_back(page); };
  EXPECT_TRUE(HandleWcmeNavigation("wcme:PAGE=support", open));
  EXPECT_TRUE(HandleWcmeNavigation("WCME:?page=two+words&x=1", open));
  EXPECT_TRUE(HandleWcmeNavigation("wcme:other=1", open));
  EXPECT_TRUE(HandleWcmeNavigation("wcme:PAGE=", open));
  EXPECT_TRUE(HandleWcmeNavigation("wcme:PAGE=%zz", open));
  EXPECT_FALSE(HandleWcmeNavigation("http://h/?PAGE=support", open));
  EXPECT_FALSE(HandleWcmeNavigation("about:blank", open));
  EXPECT_EQ(opened, (std::vector<std::string>{"support", "two words"}));
}

// --- The download registry ----------------------------------------------------------------------

class DownloadRegistryTest : public ::testing::Test {
 protected:
  static THttpTestServer& Server() {
    static THttpTestServer server(22);
    return server;
  }
  void SetUp() override {
    ASSERT_TRUE(Server().Listening());
    Server().ResetRelease();
    Server().ClearRequests();
    Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
      if (path.find("stall") != std::string::npos) c.WaitRelease(10000);
      THttpTestServer::Ok(c, "page " + path);
    });
  }
  void TearDown() override { Server().Release(); }
  std::string Url(const std::string& path) { return "http://" + Server().Host() + path; }

  TScratchDir dir{"registry"};
  TComponent owner{nullptr};
};

TEST_F(DownloadRegistryTest, AnAddressIsFetchedOnceWhateverItsLetterCase) {
  TCLDownloadRegistry registry;
  int first = 0, second = 0;
  std::string doneFile;
  registry.DownloadFile(&owner, Url("/Banner/One.htm"), dir / "cache\\one.htm",
                        [&](TObject*, const std::string& f, int32_t) { ++first; doneFile = f; });
  registry.DownloadFile(&owner, "HTTP://" + Server().Host() + "/banner/one.HTM", dir / "other.htm",
                        [&](TObject*, const std::string&, int32_t) { ++second; });
  ASSERT_TRUE(WaitFor([&] { return first == 1; }, 20000));
  qmtest::WaitFor([] { return false; }, 300);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(Server().RequestCount(), 1u);
  EXPECT_EQ(doneFile, dir / "cache\\one.htm");
  EXPECT_EQ(qmtest::ReadAll(dir / "cache\\one.htm"), "page /Banner/One.htm");
  EXPECT_FALSE(qmtest::Exists(dir / "other.htm"));
  EXPECT_EQ(registry.DownloadURLs().size(), 1u);
  ASSERT_EQ(registry.Downloaders().size(), 1u);
  EXPECT_EQ(registry.Downloaders()[0]->Owner(), &owner);
}

TEST_F(DownloadRegistryTest, AReleasedDownloadGoesOnSilentlyAndIsNeverStartedAgain) {
  TCLDownloadRegistry registry;
  int calls = 0;
  auto count = [&](TObject*, const std::string&, int32_t) { ++calls; };
  const std::string target = dir / "stalled.htm";
  registry.DownloadFile(&owner, Url("/stall.htm"), target, count);
  ASSERT_TRUE(WaitFor([] { return Server().RequestCount() == 1; }, 10000));
  registry.ReleaseDownload(Url("/STALL.htm"));
  Server().Release();
  ASSERT_TRUE(WaitFor([&] { return qmtest::Exists(target) && !registry.Downloaders()[0]->Busy(); }, 20000));
  EXPECT_EQ(qmtest::ReadAll(target), "page /stall.htm");  // the download itself went on
  EXPECT_EQ(calls, 0);

  // Asked again later in the run: nothing starts and nothing is reported.
  registry.DownloadFile(&owner, Url("/stall.htm"), dir / "again.htm", count);
  qmtest::WaitFor([] { return false; }, 500);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(Server().RequestCount(), 1u);
  EXPECT_FALSE(qmtest::Exists(dir / "again.htm"));
}

TEST_F(DownloadRegistryTest, DownloadersFreedByTheirOwnerOrByTheRegistryReportNothing) {
  int calls = 0;
  auto count = [&](TObject*, const std::string&, int32_t) { ++calls; };
  {
    auto appOwner = std::make_unique<TComponent>(nullptr);
    TCLDownloadRegistry registry;
    registry.DownloadFile(appOwner.get(), Url("/stall-a.htm"), dir / "a.htm", count);
    appOwner.reset();  // the owner goes first: the registry must not free the downloader again
    EXPECT_EQ(registry.Downloaders()[0], nullptr);
    registry.ReleaseDownload(Url("/stall-a.htm"));
  }
  {
    TCLDownloadRegistry registry;
    registry.DownloadFile(&owner, Url("/stall-b.htm"), dir / "b.htm", count);
    EXPECT_EQ(owner.ComponentCount(), 1);
  }  // the registry goes first: its busy downloader is cancelled and leaves its owner
  EXPECT_EQ(owner.ComponentCount(), 0);
  Server().Release();
  qmtest::WaitFor([] { return false; }, 500);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(qmtest::Exists(dir / "a.htm"));
  EXPECT_FALSE(qmtest::Exists(dir / "b.htm"));
}

// --- Through the engine ----------------------------------------------------------------------------

// The stub browser: writes the address it was given into the file named first.
QM_CHILD(browser) {
  if (args.size() != 2) return 2;
  qmtest::WriteAll(args[0] + ".tmp", args[1]);
  MoveFileA((args[0] + ".tmp").c_str(), args[0].c_str());
  return 0;
}

// An engine on a form of its own, the browser command pointed at the stub, and both put back.
class EngineTest : public DownloadRegistryTest {
 protected:
  void SetUp() override {
    DownloadRegistryTest::SetUp();
    WriteSettings();
    SetChannel("unknow");
    form.reset(new TForm(nullptr));
    engine = new TCLEngine(form.get());
    ASSERT_EQ(GetEngine(), engine);
    savedCommand = QV_ReadRegString(HKEY_CLASSES_ROOT, kCommandKey, "", "");
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    SetCommand("\"" + std::string(exe) + "\" --qm-child=browser \"" + (dir / "opened.txt") + "\" \"%1\"");
  }
  void TearDown() override {
    form.reset();  // frees the engine with it
    SetCommand(savedCommand);
    DownloadRegistryTest::TearDown();
  }
  static void SetCommand(const std::string& command) {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kCommandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
      return;
    TRegKey key(raw);
    RegSetValueExA(key.get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
  }
  std::string Opened() {
    WaitFor([&] { return qmtest::Exists(dir / "opened.txt"); }, 20000);
    return qmtest::ReadAll(dir / "opened.txt");
  }
  VARIANT_BOOL Navigate(const std::string& url) {
    VARIANT address, empty;
    VariantInit(&empty);
    VariantInit(&address);
    std::wstring wide(url.begin(), url.end());
    V_VT(&address) = VT_BSTR;
    V_BSTR(&address) = SysAllocString(wide.c_str());
    VARIANT_BOOL cancel = VARIANT_FALSE;
    engine->HandleBeforeNavigate(nullptr, nullptr, address, empty, empty, empty, empty, cancel);
    VariantClear(&address);
    return cancel;
  }

  static constexpr const char* kCommandKey = "HTTP\\shell\\open\\command";
  std::unique_ptr<TForm> form;
  TCLEngine* engine = nullptr;
  std::string savedCommand;
};

TEST_F(EngineTest, ActionAddressesFollowTheEnginesKeyLists) {
  engine->SettingOverwrite()->Add("URL.Update=http://over.example/u.php");
  std::string url = engine->GetActionURL("Update", true);
  const std::string head = "http://over.example/u.php?ACTION=Update&";
  EXPECT_EQ(url.substr(0, head.size()), head) << url;
  std::string params = engine->GetQueryParams();
  EXPECT_EQ(params.substr(5, 17), "&PID=QM%2FTest&LA");
}

TEST_F(EngineTest, WcmeLinkOpensTheActionPageInTheBrowserAndCancels) {
  GetSettings()->WriteString("URL.support", "http://support.example/help?x=1");
  EXPECT_EQ(Navigate("WCME:PAGE=support"), VARIANT_TRUE);
  std::string opened = Opened();
  const std::string head = "http://support.example/help?x=1&ACTION=support&";
  EXPECT_EQ(opened.substr(0, head.size()), head) << opened;
  EXPECT_NE(opened.find("&CHL=756E6B6E6F77"), std::string::npos) << opened;

  DeleteFileA((dir / "opened.txt").c_str());
  EXPECT_EQ(Navigate("wcme:nothing=here"), VARIANT_TRUE);
  EXPECT_EQ(Navigate("http://support.example/page.htm"), VARIANT_FALSE);
  qmtest::WaitFor([] { return false; }, 500);
  EXPECT_FALSE(qmtest::Exists(dir / "opened.txt"));

  // A page name goes into the query encoded, so it cannot add parameters of its own; a page
  // with no address at all (no redirect address either) opens nothing, not even an empty one.
  std::vector<std::string> opens;
  const TWebUrlOpener saved = SetWebUrlOpener([&](HWND, const std::string& url) { opens.push_back(url); });
  EXPECT_EQ(Navigate("wcme:PAGE=x%26PID%3Devil+1"), VARIANT_TRUE);
  GetSettings()->WriteString("URL.Redirect", "");
  EXPECT_EQ(Navigate("wcme:PAGE=nowhere"), VARIANT_TRUE);
  GetSettings()->WriteString("URL.Redirect", " \t");
  EXPECT_EQ(Navigate("wcme:PAGE=nowhere"), VARIANT_TRUE);
  SetWebUrlOpener(saved);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].find("ACTION=x%26PID%3Devil+1&"), opens[0].find('?') + 1) << opens[0];
  EXPECT_EQ(opens[0].find("&PID=evil"), std::string::npos) << opens[0];
}

TEST_F(EngineTest, EngineRegistryOwnsItsDownloadersThroughTheApplication) {
  int calls = 0;
  engine->DownloadFile(Url("/Engine.htm"), dir / "e\\engine.htm", [&](TObject*, const std::string&, int32_t) { ++calls; });
  engine->DownloadFile(Url("/ENGINE.htm"), dir / "e\\other.htm", [&](TObject*, const std::string&, int32_t) { calls += 100; });
  ASSERT_TRUE(WaitFor([&] { return calls > 0; }, 20000));
  ASSERT_NE(engine->Downloads(), nullptr);
  ASSERT_EQ(engine->Downloads()->Downloaders().size(), 1u);
  EXPECT_EQ(engine->Downloads()->Downloaders()[0]->Owner(), Application());
  EXPECT_EQ(calls, 1);

  // A busy download when the engine goes: cancelled, nothing reported, the application keeps
  // no downloader of a dead engine.
  int before = Application()->ComponentCount();
  engine->DownloadFile(Url("/stall-engine.htm"), dir / "e\\late.htm", [&](TObject*, const std::string&, int32_t) { calls += 1000; });
  EXPECT_EQ(Application()->ComponentCount(), before + 1);
  form.reset();
  EXPECT_EQ(Application()->ComponentCount(), before - 1);
  Server().Release();
  qmtest::WaitFor([] { return false; }, 500);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(qmtest::Exists(dir / "e\\late.htm"));
}

}  // namespace
