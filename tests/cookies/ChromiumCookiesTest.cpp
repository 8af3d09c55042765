// The Chromium browsers: their profile list read from "Local State" (a file from outside, read
// by a bounded reader of our own), and their cookie databases in every layout, cleared under Wine.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "cookies/ChromiumCookies.h"
#include "cookies/LocalState.h"
#include "support/CookieStores.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

using namespace qmtest;

namespace {

using TNames = std::vector<std::string>;

TNames Names(const std::string& json) {
  TNames names;
  localstate::ProfileFolderNames(json, &names);
  return names;
}

}  // namespace

TEST(LocalState, TheProfileListAndNothingOfADamagedFile) {
  EXPECT_EQ(Names(R"({"browser":{"x":[1,-2.5e3,true,false,null,"a\"b"]},)"
                  R"("profile":{"info_cache":{"Default":{"name":"Person 1","info_cache":{"Deep":1}},)"
                  R"("Profile 1":{}, "Profile \u0032":{}},"last_used":"Default"}})"),
            (TNames{"Default", "Profile 1", "Profile 2"}));
  EXPECT_EQ(Names(R"({"profile":{"info_cache":{"..\\..\\Escape":{}}}})"), TNames{"..\\..\\Escape"});  // caller decides
  const std::string deep = std::string(100, '[') + std::string(100, ']');
  for (const std::string& damaged :
       {std::string(), std::string("{"), std::string(R"({"profile":{"info_cache":{"Default":{}}})"),
        std::string(R"({"profile":{"info_cache":{"Default":{}}}} trailing)"), std::string("[1,2]"),
        std::string(R"({"profile":{"info_cache":{"A":{"x":)") + deep + "}}}}",
        std::string(R"({"profile":{"info_cache":{"A\x01":{}}}})"), std::string(R"({"profile":{"info_cache":{}}})"),
        std::string(R"({"profile":{"info_cache":{"\uZZZZ":{}}}})")})
    EXPECT_TRUE(Names(damaged).empty()) << damaged;
  std::string many = R"({"profile":{"info_cache":{)";
  for (size_t i = 0; i <= localstate::kMaxProfiles; ++i) many += (i ? ",\"P" : "\"P") + std::to_string(i) + "\":{}";
  EXPECT_TRUE(Names(many + "}}}").empty());
}

namespace {

const TNames kHosts = {"example.com", ".example.com", ".forum.example.com", "notexample.com", ".other.org"};
const TNames kRest = {"notexample.com", ".other.org"};

class ChromiumStores : public ::testing::Test {
 protected:
  void SetUp() override {
    local_ = QV_GetUserFolder("Local AppData", CSIDL_LOCAL_APPDATA);
    roaming_ = QV_GetUserFolder("AppData", CSIDL_APPDATA);
    ASSERT_FALSE(local_.empty() || roaming_.empty());
    TearDown();
    EXPECT_FALSE(IsChromiumAvailable());
    const std::string chrome = local_ + "\\Google\\Chrome\\User Data";
    // The profile list names a folder outside, and one by its profile name only; the escape
    // folder holds a database that must stay whole.
    ASSERT_TRUE(QV_ForceDirectories(chrome + "\\Default\\Network"));
    ASSERT_TRUE(QV_ForceDirectories(chrome + "\\Profile 1"));
    ASSERT_TRUE(QV_ForceDirectories(local_ + "\\Google\\Escape"));
    WriteAll(chrome + "\\Local State",
             R"({"profile":{"info_cache":{"Default":{},"Profile 1":{},"..\\..\\Escape":{},"C:\\Windows":{}}}})");
    databases_ = {chrome + "\\Default\\Network\\Cookies", chrome + "\\Profile 1\\Cookies",
                  local_ + "\\Microsoft\\Edge\\User Data\\Profile 3\\Network\\Cookies",
                  // Opera's folder is its one profile, under the roaming folder.
                  roaming_ + "\\Opera Software\\Opera Stable\\Cookies"};
    escape_ = local_ + "\\Google\\Escape\\Cookies";
    // Edge's Local State is damaged: the usual profile names are looked for instead.
    ASSERT_TRUE(QV_ForceDirectories(local_ + "\\Microsoft\\Edge\\User Data"));
    WriteAll(local_ + "\\Microsoft\\Edge\\User Data\\Local State", "{\"profile\":{\"info_cache\":{\"Def");
    for (const std::string& db : databases_) {
      ASSERT_TRUE(QV_ForceDirectories(db.substr(0, db.rfind('\\'))));
      const TCookieSchema schema = db == databases_[1] ? TCookieSchema::ChromiumOld : TCookieSchema::Chromium;
      ASSERT_TRUE(MakeCookieDatabase(db, schema, kHosts, db == databases_[0])) << db;
    }
    ASSERT_TRUE(MakeCookieDatabase(escape_, TCookieSchema::Chromium, kHosts));
  }
  void TearDown() override {
    for (const char* f : {"\\Google", "\\Microsoft\\Edge"}) RemoveTree(local_ + f);
    RemoveTree(roaming_ + "\\Opera Software");
  }
  std::string local_, roaming_, escape_;
  TNames databases_;
};

}  // namespace

TEST_F(ChromiumStores, EveryProfileOfEveryBrowserAndNothingOutsideIt) {
  EXPECT_TRUE(IsChromiumAvailable());
  EXPECT_EQ(FindChromiumCookieDatabases(), databases_);
  const TBrowserResults site = ClearChromiumCookiesOfSite("example.com");
  ASSERT_EQ(site.size(), 3u);  // Chrome, Edge, Opera: one entry per browser found
  EXPECT_EQ(site[0].Browser, "Google Chrome");
  EXPECT_EQ(site[0].Result.Removed, 2 * 3);
  EXPECT_EQ(site[2].Browser, "Opera");
  EXPECT_EQ(OverallResult(site).Status, TClearStatus::Done);
  EXPECT_EQ(OverallResult(site).Removed, 4 * 3);
  for (const std::string& db : databases_) EXPECT_EQ(ChromiumDatabaseHosts(db), kRest) << db;
  EXPECT_EQ(OverallResult(ClearChromiumCookiesOfSite("Example.com")).Status, TClearStatus::Refused);
  EXPECT_EQ(OverallResult(ClearChromiumCookies()).Removed, 4 * 2);
  for (const std::string& db : databases_) {
    EXPECT_TRUE(ChromiumDatabaseHosts(db).empty()) << db;
    EXPECT_EQ(DatabaseIntegrity(db), "ok") << db;
  }
  EXPECT_EQ(ChromiumDatabaseHosts(escape_), kHosts);
  EXPECT_EQ(OverallResult(ClearChromiumCookies()).Status, TClearStatus::NothingToRemove);
}

namespace {

// Holds a file open without sharing, as a running Chromium browser holds its database, until
// told to let go. args: file, event set once held, event that releases it.
QM_CHILD(hold_file) {
  HANDLE file = CreateFileA(args.at(0).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, args.at(1).c_str()));
  WaitForSingleObject(OpenEventA(SYNCHRONIZE, FALSE, args.at(2).c_str()), 30000);
  CloseHandle(file);
  return 0;
}

}  // namespace

// The database another process holds stays whole, its browser is named, the others are cleared.
TEST_F(ChromiumStores, ADatabaseItsBrowserHoldsStaysWholeAndTheOthersAreCleared) {
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "qm-chromium-test-held");
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "qm-chromium-test-release");
  HANDLE child = StartChild("hold_file", {databases_[2], "qm-chromium-test-held", "qm-chromium-test-release"});
  ASSERT_NE(child, nullptr);
  ASSERT_EQ(WaitForSingleObject(held, 30000), WAIT_OBJECT_0);
  const TBrowserResults results = ClearChromiumCookies();
  SetEvent(release);
  EXPECT_EQ(WaitExit(child, 30000), 0);
  for (HANDLE h : {child, held, release}) CloseHandle(h);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[1].Browser, "Microsoft Edge");
  EXPECT_EQ(results[1].Result.Status, TClearStatus::Busy);
  EXPECT_EQ(results[0].Result.Status, TClearStatus::Done);
  EXPECT_EQ(OverallResult(results).Status, TClearStatus::Busy);
  EXPECT_EQ(ChromiumDatabaseHosts(databases_[2]), kHosts);
  EXPECT_TRUE(ChromiumDatabaseHosts(databases_[0]).empty());
}
