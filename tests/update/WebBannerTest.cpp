// The web banner against a loopback banner server: the address choice, the local page first and
// the fetched copy after the download, the cache, shared addresses, destruction during a fetch
// and "wcme:" links.
#include <gtest/gtest.h>

#include "HttpTestServer.h"
#include "framework/CLSettings.h"
#include "net/BannerText.h"
#include "net/CLWebBanner.h"
#include "support/TestSupport.h"
#include "TestHost.h"
#include "tools/QVTools.h"

using qmtest::THttpConnection;
using qmtest::THttpTestServer;
using qmtest::WaitFor;

namespace {

// The stub browser of TBrowserStub: writes the one address it was given.
QM_CHILD(browser) {
  if (args.size() < 2) return 2;
  qmtest::WriteAll(args[0] + ".tmp", args[1] + "\n");
  MoveFileA((args[0] + ".tmp").c_str(), args[0].c_str());
  return 0;
}

class WebBanner : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new THttpTestServer(32); }
  static void TearDownTestSuite() { delete server_; }

  void SetUp() override {
    ASSERT_TRUE(server_->Listening());
    host_ = new TForm(TestHost());
    host_->SetBounds(0, 0, 400, 300);
    for (const char* name : {"T1", "T2", "T3", "T4", "T5"})
      for (const char* k : {"RemoteURLA", "URLA", "RemoteURL", "URL"})
        GetSettings()->WriteString(bannertext::BannerKey(name, k), "");
    server_->SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
      THttpTestServer::Ok(c, "<html><body><p>remote " + path + "</p></body></html>");
    });
  }
  void TearDown() override { delete host_; }

  TCLWebBanner* NewBanner(const std::string& name) {
    auto* b = new TCLWebBanner(host_);
    b->SetParent(host_);
    b->SetBounds(0, 0, 300, 100);
    b->BannerName = name;
    return b;
  }
  // A remote address of this run (the cache outlives the run) and its cache file, removed.
  std::string Remote(const std::string& tag) {
    const std::string url =
        "http://" + server_->Host() + "/b.htm?id=" + tag + std::to_string(GetTickCount()) + "&x=1";
    DeleteFileA(bannertext::CacheFilePath(GetSettings()->DataPath(), url).c_str());
    return url;
  }
  std::string Cache(const std::string& url) { return bannertext::CacheFilePath(GetSettings()->DataPath(), url); }
  static void Set(const std::string& name, const char* key, const std::string& value) {
    GetSettings()->WriteString(bannertext::BannerKey(name, key), value);
  }

  static THttpTestServer* server_;
  TForm* host_ = nullptr;
  qmtest::TScratchDir dir_{"banner"};
};

THttpTestServer* WebBanner::server_ = nullptr;

}  // namespace

TEST_F(WebBanner, LocalAddressWithTheProgramFolder) {
  Set("T1", "URL", "%exepath%\\banner\\top.htm");
  TCLWebBanner* b = NewBanner("T1");
  b->UpdateBanner();
  std::string exeDir = QV_GetAppPath();
  exeDir.pop_back();
  EXPECT_EQ(b->URL, exeDir + "\\banner\\top.htm");
  EXPECT_EQ(b->PendingRemoteURL(), "");
  // No settings: an empty page and nothing fetched.
  TCLWebBanner* none = NewBanner("T5");
  none->UpdateBanner();
  EXPECT_EQ(none->URL, "");
  EXPECT_EQ(server_->RequestCount(), 0u);
}

TEST_F(WebBanner, LocalFirstThenFetchedCopyThenCacheWithoutFetch) {
  const std::string local = dir_ / "local.htm";
  qmtest::WriteAll(local, "<p>local</p>");
  const std::string remote = Remote("a");
  Set("T2", "RemoteURL", remote);
  Set("T2", "URL", local);
  server_->ClearRequests();
  TCLWebBanner* b = NewBanner("T2");
  b->UpdateBanner();
  EXPECT_EQ(b->URL, local);
  EXPECT_EQ(b->LocationURL(), local);
  ASSERT_TRUE(WaitFor([&] { return b->URL == Cache(remote); }, 15000));
  EXPECT_EQ(b->LocationURL(), remote);  // the copy is shown as the web page it came from
  EXPECT_NE(qmtest::ReadAll(Cache(remote)).find("<p>remote /b.htm?id="), std::string::npos);
  EXPECT_EQ(server_->RequestCount(), 1u);

  // Later updates show the cached copy and fetch nothing.
  TCLWebBanner* again = NewBanner("T2");
  again->UpdateBanner();
  EXPECT_EQ(again->URL, Cache(remote));
  EXPECT_EQ(again->LocationURL(), remote);
  EXPECT_EQ(again->PendingRemoteURL(), "");
  WaitFor([] { return false; }, 200);
  EXPECT_EQ(server_->RequestCount(), 1u);
}

TEST_F(WebBanner, FirstRemoteMissingShowsSecondLocalAndFetchesFirstRemote) {
  const std::string remoteA = Remote("ra"), remote = Remote("r");
  Set("T3", "RemoteURLA", remoteA);
  Set("T3", "RemoteURL", remote);
  Set("T3", "URL", dir_ / "second.htm");
  qmtest::WriteAll(Cache(remote), "<p>cached second</p>");  // not to be read
  TCLWebBanner* b = NewBanner("T3");
  b->UpdateBanner();
  EXPECT_EQ(b->URL, dir_ / "second.htm");
  EXPECT_EQ(b->PendingRemoteURL(), remoteA);
  ASSERT_TRUE(WaitFor([&] { return b->URL == Cache(remoteA); }, 15000));
  DeleteFileA(Cache(remote).c_str());

  // A cached second remote copy wins over the first local address.
  const std::string remote2 = Remote("c");
  Set("T4", "URLA", dir_ / "first.htm");
  Set("T4", "RemoteURL", remote2);
  qmtest::WriteAll(Cache(remote2), "<p>cached</p>");
  TCLWebBanner* c = NewBanner("T4");
  c->UpdateBanner();
  EXPECT_EQ(c->URL, Cache(remote2));
  DeleteFileA(Cache(remote2).c_str());
}

TEST_F(WebBanner, TwoBannersOneAddressAndDestructionDuringTheFetch) {
  server_->ClearRequests();
  const std::string remote = Remote("two");
  Set("T1", "RemoteURL", remote);
  Set("T1", "URL", dir_ / "l.htm");
  server_->ResetRelease();
  server_->SetHandler([](THttpConnection& c, const std::string&, const std::string&) {
    c.WaitRelease(10000);
    THttpTestServer::Ok(c, "<p>late</p>");
  });
  TCLWebBanner* first = NewBanner("T1");
  TCLWebBanner* second = NewBanner("T1");
  TCLWebBanner* doomed = NewBanner("T2");
  const std::string remote2 = Remote("doomed");
  Set("T2", "RemoteURL", remote2);
  first->UpdateBanner();
  second->UpdateBanner();
  doomed->UpdateBanner();
  ASSERT_TRUE(WaitFor([] { return server_->RequestCount() >= 2; }, 10000));
  delete doomed;  // its download goes on without it
  server_->Release();
  ASSERT_TRUE(WaitFor([&] { return first->URL == Cache(remote); }, 15000));
  ASSERT_TRUE(WaitFor([&] { return qmtest::ReadAll(Cache(remote2)) == "<p>late</p>"; }, 15000));
  WaitFor([] { return false; }, 200);
  EXPECT_EQ(second->URL, dir_ / "l.htm");
  EXPECT_EQ(server_->RequestCount(), 2u);
  server_->ClearRequests();
}

TEST_F(WebBanner, WcmeLinkIsCancelledForEveryBannerAndReachesTheUserHandler) {
  const std::string local = dir_ / "links.htm";
  qmtest::WriteAll(local, "<p><a href=\"wcme:PAGE=none\">x</a></p>");
  Set("T1", "URL", local);
  GetSettings()->WriteString("URL.none", "");
  TCLWebBanner* b = NewBanner("T1");
  std::string seen;
  bool cancelSeen = false;
  b->OnUserBeforeNavigate2 = [&](TObject*, IDispatch*, VARIANT& url, VARIANT&, VARIANT&, VARIANT&, VARIANT&,
                                 VARIANT_BOOL& cancel) {
    seen = VariantText(url);
    cancelSeen = cancel != VARIANT_FALSE;
  };
  b->UpdateBanner();
  EXPECT_EQ(seen, local);
  EXPECT_FALSE(cancelSeen);
  EXPECT_FALSE(b->Navigate("wcme:PAGE=none"));
  EXPECT_EQ(seen, "wcme:PAGE=none");
  EXPECT_TRUE(cancelSeen);
  EXPECT_EQ(b->LocationURL(), local);

  // The support page named by the link opens in the browser; the banner stays where it was.
  GetSettings()->WriteString("URL.support", "http://support.example/s.php");
  const std::string opened = dir_ / "opened.txt";
  TBrowserStub browser(opened);
  EXPECT_FALSE(b->Navigate("wcme:PAGE=support"));
  EXPECT_EQ(OpenedAddress(opened).rfind("http://support.example/s.php?ACTION=support&", 0), 0u);
  EXPECT_EQ(b->LocationURL(), local);
  EXPECT_EQ(b->URL, local);
}

// A banner page from the web, fetched into the cache, that shows a picture of this computer and
// links to a local file and to a share: shown from the cache it keeps a web page's rights, so
// the picture stays a placeholder and no link is followed, nor even announced. The same page as
// a local file of the program does show its picture, which is what makes the refusal count.
TEST_F(WebBanner, ACachedPageReachesNoLocalPictureFileOrShare) {
  const std::string picture = dir_ / "pic.png", secret = dir_ / "secret.htm";
  ASSERT_TRUE(CopyFileA((std::string("Z:") + QM_SOURCE_DIR + "/data/res/ie.png").c_str(), picture.c_str(), FALSE));
  qmtest::WriteAll(secret, "<p>secret</p>");
  std::string fileUrl = "file:///" + picture;
  for (char& c : fileUrl) c = c == '\\' ? '/' : c;
  const std::string page = "<p><img src=\"" + picture + "\"><img src=\"" + fileUrl + "\">" + "<a href=\"" + secret +
                           "\">file</a> <a href=\"\\\\127.0.32.250\\share\\x.htm\">share</a> <a href=\"file:///" +
                           secret + "\">file url</a> <a href=\"next.htm\">web</a></p>";
  qmtest::WriteAll(dir_ / "local.htm", page);
  server_->SetHandler([page](THttpConnection& c, const std::string&, const std::string&) { THttpTestServer::Ok(c, page); });
  const std::string remote = Remote("hostile");
  Set("T5", "RemoteURL", remote);
  Set("T5", "URL", dir_ / "local.htm");
  TCLWebBanner* b = NewBanner("T5");
  std::vector<std::string> announced;
  b->OnUserBeforeNavigate2 = [&](TObject*, IDispatch*, VARIANT& url, VARIANT&, VARIANT&, VARIANT&, VARIANT&,
                                 VARIANT_BOOL& cancel) {
    announced.push_back(VariantText(url));
    if (announced.back().find("next.htm") != std::string::npos) cancel = VARIANT_TRUE;  // stays on the page
  };
  b->UpdateBanner();
  ASSERT_EQ(b->LocationURL(), dir_ / "local.htm");
  EXPECT_EQ(b->PictureCount(), 2);  // a local page has a local page's rights: both pictures show
  ASSERT_TRUE(WaitFor([&] { return b->URL == Cache(remote); }, 15000));

  TCLWebBanner* later = NewBanner("T5");  // and shown from the cache on a later update
  later->OnUserBeforeNavigate2 = b->OnUserBeforeNavigate2;
  later->UpdateBanner();
  for (TCLWebBanner* shown : {b, later}) {
    announced.clear();
    EXPECT_EQ(shown->LocationURL(), remote);
    ASSERT_EQ(shown->Document().Links.size(), 4u);
    EXPECT_EQ(shown->PictureCount(), 0);
    for (int link = 0; link < 3; ++link) EXPECT_FALSE(shown->ClickLink(link)) << link;
    EXPECT_TRUE(announced.empty()) << announced.front();
    shown->ClickLink(3);  // a web link is announced, as the page's own address resolves it
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0], "http://" + server_->Host() + "/next.htm");
    EXPECT_EQ(shown->LocationURL(), remote);
  }
}

// A remote address too long to name a cache file is shown as the web page it is, uncached.
TEST_F(WebBanner, AnUncachableAddressIsShownUncached) {
  const std::string remote = "http://" + server_->Host() + "/" + std::string(bannertext::kMaxCacheStem, 'u');
  Set("T4", "RemoteURL", remote);
  Set("T4", "URL", dir_ / "l.htm");
  server_->ClearRequests();
  TCLWebBanner* b = NewBanner("T4");
  b->UpdateBanner();
  EXPECT_EQ(b->URL, remote);
  EXPECT_EQ(b->PendingRemoteURL(), "");
  ASSERT_TRUE(WaitFor([&] { return !b->Busy() && b->Document().PlainText().find("remote /u") != std::string::npos; }, 15000));
  EXPECT_EQ(b->LocationURL(), remote);
  EXPECT_EQ(server_->RequestCount(), 1u);  // the browser's own fetch, nothing for the cache
}
