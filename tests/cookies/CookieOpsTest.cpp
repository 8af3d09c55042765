// The cookie operations on the real platform: cookie files in the user's cookie folder (and its
// "Low" subfolder), the platform's own WinInet cookie store, the Firefox search through the
// settings store and the registry, and the exact command lines a stand-in browser receives.
#include <windows.h>

#include <wininet.h>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "StubLog.h"
#include "support/CookieStores.h"
#include "cookies/CookieOps.h"
#include "cookies/FirefoxCookies.h"
#include "cookies/SiteRule.h"
#include "framework/CLSettings.h"
#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

using namespace qmtest;

namespace {

// --- Cookie folder helpers ---

std::string Folder() { return GetCookieFolder(); }

// Removes every ".txt" entry (files and folders) of a cookie folder, leaving WinInet's index.
void EmptyCookieFolder(const std::string& folder) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*.txt").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string full = folder + "\\" + fd.cFileName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
    else DeleteFileA(full.c_str());
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

std::string Record(const std::string& name, const std::string& hostPath) {
  return name + "\nvalue\n" + hostPath + "\n9728\n2914986496\n31119351\n1840399408\n30946433\n*\n";
}

// Entries of the WinInet cache index that the tests make for their own cookie files.
const char kNameOnlyEntry[] = "Cookie:user@unrelated.net/";
const char kKeptEntry[] = "Cookie:user@www.other.net/";
const char kRecordEntry[] = "Cookie:user@example.com/";
const char kLowEntry[] = "Cookie:user@unrelated.org/";

class IECookieFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = Folder();
    ASSERT_FALSE(folder_.empty());
    ASSERT_NE(folder_.back(), '\\');
    ASSERT_TRUE(QV_ForceDirectories(folder_ + "\\Low"));
    for (const std::string& f : {folder_, folder_ + "\\Low"}) EmptyCookieFolder(f);
  }
  void TearDown() override {
    for (const char* url : {kNameOnlyEntry, kKeptEntry, kRecordEntry, kLowEntry}) DeleteUrlCacheEntryA(url);
    for (const std::string& f : {folder_, folder_ + "\\Low"}) EmptyCookieFolder(f);
    RemoveTree(folder_ + "\\Low");
  }
  // The same set of files in the cookie folder and in "Low".
  void PlaceFiles() {
    for (const std::string& f : {folder_, folder_ + "\\Low"}) {
      WriteAll(f + "\\user@example[1].txt", Record("a", "example.com/"));
      WriteAll(f + "\\user@forum.example[2].txt", Record("b", "forum.example.com/"));
      WriteAll(f + "\\user@other[1].txt", Record("c", "other.net/"));
      // Named by a site whose records it does not hold: its name never decides.
      WriteAll(f + "\\user@example[4].txt", Record("h", "unrelated.net/"));
      WriteAll(f + "\\user@www[1].txt", Record("i", "www.other.net/"));
      // Named at random, as newer stores name them: found only by their records.
      WriteAll(f + "\\CM89HDI5.txt", Record("d", "example.org/") + Record("e", ".www.example.com/"));
      WriteAll(f + "\\QQ12ABCD.txt", Record("f", "notexample.com/") + Record("g", "example.org/"));
      CreateDirectoryA((f + "\\x.txt").c_str(), nullptr);
      CreateDirectoryA((f + "\\user@example[3].txt").c_str(), nullptr);
    }
  }
  bool In(const std::string& name) const { return Exists(folder_ + "\\" + name); }
  bool InLow(const std::string& name) const { return Exists(folder_ + "\\Low\\" + name); }

  std::string folder_;
};

}  // namespace

TEST_F(IECookieFiles, SiteDeletionTakesTheFilesHoldingTheSiteFromBothFolders) {
  PlaceFiles();
  const TClearResult first = ClearIECookiesOfSite("example.com");
  EXPECT_EQ(first.Status, TClearStatus::Done);
  EXPECT_EQ(first.Removed, 6);  // three files in each folder
  for (bool low : {false, true}) {
    auto has = [&](const char* n) { return low ? InLow(n) : In(n); };
    SCOPED_TRACE(low ? "Low" : "cookie folder");
    EXPECT_FALSE(has("user@example[1].txt"));
    EXPECT_FALSE(has("user@forum.example[2].txt"));
    EXPECT_FALSE(has("CM89HDI5.txt"));  // named at random, found by its records
    EXPECT_TRUE(has("user@example[4].txt"));
    EXPECT_TRUE(has("user@other[1].txt"));
    EXPECT_TRUE(has("QQ12ABCD.txt"));
    EXPECT_TRUE(has("user@www[1].txt"));
    EXPECT_TRUE(has("x.txt"));  // folders are never deleted
    EXPECT_TRUE(has("user@example[3].txt"));
  }
  // Nothing left to match is no failure, and says so.
  EXPECT_EQ(ClearIECookiesOfSite("example.com").Status, TClearStatus::NothingToRemove);

  EXPECT_EQ(ClearIECookies().Status, TClearStatus::Done);
  for (const char* n : {"user@other[1].txt", "QQ12ABCD.txt", "user@www[1].txt", "user@example[4].txt"}) {
    EXPECT_FALSE(In(n)) << n;
    EXPECT_FALSE(InLow(n)) << n;
  }
  EXPECT_TRUE(In("x.txt"));
  EXPECT_TRUE(InLow("x.txt"));
  EXPECT_EQ(ClearIECookies().Status, TClearStatus::NothingToRemove);
}

namespace {

// The 8.3 short name the file system gave a file ("USER@E~1.TXT", under Wine "USER~GA3.TXT").
std::string ShortName(const std::string& path) {
  char buffer[MAX_PATH] = {};
  const DWORD n = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  const std::string full = (n == 0 || n >= MAX_PATH) ? std::string() : std::string(buffer, n);
  return full.substr(full.find_last_of('\\') + 1);
}

std::string AccountName() {
  char name[256] = {};
  DWORD size = sizeof name;
  return GetUserNameA(name, &size) ? name : "user";
}

}  // namespace

// Texts that used to match every file (through the "@" and "[1]" of every name, the account
// name, a short name's "~", or a suffix such as "com") name no site, or a site that no file
// holds: nothing goes. The operations take only the form the site rule gives.
TEST_F(IECookieFiles, TextsThatNameNoSiteOfTheFilesTakeNothing) {
  PlaceFiles();
  WriteAll(folder_ + "\\user@www.other[2].txt", Record("o", "www.other.net/"));
  const std::string shortName = ShortName(folder_ + "\\user@example[1].txt");
  const std::vector<std::string> texts = {"com", "net", "org", "@", AccountName(), "1.1.1.1", "[1]", "co.uk",
                                          "*.org", "~.com", shortName, "txt", ".com", "*", "a b",
                                          "..\\x", "ex*ample.com", "c:x", "a|b", "a\nb", "example.com\""};
  for (const std::string& text : texts) {
    const std::string site = siterule::SiteOfText(text);
    if (!site.empty()) {
      const TClearResult r = ClearIECookiesOfSite(site);
      EXPECT_EQ(r.Status, TClearStatus::NothingToRemove) << text;
    }
    EXPECT_EQ(ClearIECookiesOfSite(text).Status, text == site ? TClearStatus::NothingToRemove : TClearStatus::Refused)
        << text;
    EXPECT_EQ(ClearFirefoxCookiesOfSite(text).Status == TClearStatus::Refused, text != site) << text;
  }
  for (const char* n : {"user@example[1].txt", "user@forum.example[2].txt", "user@other[1].txt", "CM89HDI5.txt",
                        "QQ12ABCD.txt", "user@example[4].txt", "user@www[1].txt"}) {
    EXPECT_TRUE(In(n)) << n;
    EXPECT_TRUE(InLow(n)) << n;
  }
  EXPECT_TRUE(In("user@www.other[2].txt"));
  // Then the site itself: exactly its files go, named by it or not.
  EXPECT_EQ(ClearIECookiesOfSite("other.net").Status, TClearStatus::Done);
  EXPECT_FALSE(In("user@other[1].txt") || In("user@www.other[2].txt") || In("user@www[1].txt"));
  EXPECT_TRUE(In("user@example[1].txt") && In("QQ12ABCD.txt") && In("user@example[4].txt"));
}

namespace {

// An entry of the WinInet cache index for a cookie file, as the platform keeps one per file.
bool CommitIndexEntry(const std::string& url, const std::string& file) {
  const FILETIME expires = {0xFFFFFFFFu, 0x7FFFFFFFu};
  const FILETIME modified = {};
  return CommitUrlCacheEntryA(url.c_str(), file.c_str(), expires, modified, COOKIE_CACHE_ENTRY, nullptr, 0,
                              nullptr, nullptr) != FALSE;
}

bool IndexHas(const std::string& url) {
  std::vector<char> buffer(4096);
  DWORD size = static_cast<DWORD>(buffer.size());
  return GetUrlCacheEntryInfoA(url.c_str(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data()), &size) ||
         GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

}  // namespace

// A file that holds the site's records may hold other hosts' too: its index entry goes with it,
// while the entries of files that stay are kept.
TEST_F(IECookieFiles, IndexEntriesGoWithTheirFiles) {
  PlaceFiles();
  ASSERT_TRUE(CommitIndexEntry(kNameOnlyEntry, folder_ + "\\user@example[4].txt"));
  ASSERT_TRUE(CommitIndexEntry(kKeptEntry, folder_ + "\\user@www[1].txt"));
  ASSERT_TRUE(CommitIndexEntry(kRecordEntry, folder_ + "\\user@example[1].txt"));
  // The "Low" folder's files have their entries too; this one's host is not the site's.
  ASSERT_TRUE(CommitIndexEntry(kLowEntry, folder_ + "\\Low\\CM89HDI5.txt"));
  ASSERT_TRUE(IndexHas(kNameOnlyEntry) && IndexHas(kKeptEntry) && IndexHas(kRecordEntry) && IndexHas(kLowEntry));

  EXPECT_EQ(ClearIECookiesOfSite("example.com").Status, TClearStatus::Done);
  EXPECT_FALSE(IndexHas(kRecordEntry));
  EXPECT_FALSE(IndexHas(kLowEntry));
  EXPECT_FALSE(InLow("CM89HDI5.txt"));
  EXPECT_TRUE(IndexHas(kNameOnlyEntry));  // its file stays: its name is not its content
  EXPECT_TRUE(IndexHas(kKeptEntry));
  EXPECT_TRUE(In("user@example[4].txt"));
  EXPECT_TRUE(In("user@www[1].txt"));

  EXPECT_EQ(ClearIECookies().Status, TClearStatus::Done);
  EXPECT_FALSE(IndexHas(kNameOnlyEntry));
  EXPECT_FALSE(IndexHas(kKeptEntry));
  EXPECT_FALSE(In("user@www[1].txt"));
}

TEST_F(IECookieFiles, ABusyFileIsReportedAndTheOthersStillGo) {
  for (const char* n : {"a@example[1].txt", "b@example[1].txt", "c@example[1].txt"})
    WriteAll(folder_ + "\\" + n, Record("a", "example.com/"));
  WriteAll(folder_ + "\\Low\\d@example[1].txt", Record("a", "example.com/"));
  HANDLE held = CreateFileA((folder_ + "\\b@example[1].txt").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ClearIECookiesOfSite("example.com").Status, TClearStatus::Failed);
  EXPECT_FALSE(In("a@example[1].txt"));
  EXPECT_TRUE(In("b@example[1].txt"));
  EXPECT_FALSE(In("c@example[1].txt"));
  EXPECT_FALSE(InLow("d@example[1].txt"));
  EXPECT_EQ(ClearIECookies().Status, TClearStatus::Failed);
  CloseHandle(held);
  // A cookie file past the read limit cannot be told apart: a failure, not a silent skip.
  WriteAll(folder_ + "\\huge.txt", std::string(2 * 1024 * 1024, 'x'));
  EXPECT_EQ(ClearIECookiesOfSite("example.com").Status, TClearStatus::Failed);
  EXPECT_TRUE(In("huge.txt"));
  EXPECT_EQ(ClearIECookies().Status, TClearStatus::Done);
  EXPECT_FALSE(In("b@example[1].txt"));
}

TEST_F(IECookieFiles, DeleteFilesByPatternTakesFilesOnly) {
  WriteAll(folder_ + "\\one.txt", "1");
  WriteAll(folder_ + "\\two.txt", "2");
  WriteAll(folder_ + "\\keep.dat", "3");
  CreateDirectoryA((folder_ + "\\x.txt").c_str(), nullptr);
  EXPECT_TRUE(DeleteFilesByPattern(folder_ + "\\*.txt"));
  EXPECT_FALSE(In("one.txt"));
  EXPECT_FALSE(In("two.txt"));
  EXPECT_TRUE(In("keep.dat"));
  EXPECT_TRUE(In("x.txt"));
  EXPECT_TRUE(DeleteFilesByPattern(folder_ + "\\nothing*.txt"));
  DeleteFileA((folder_ + "\\keep.dat").c_str());
}

// A long-used browser leaves thousands of files; a few of them held open by the running browser
// must not stop the rest from going, nor be reported as erased.
TEST_F(IECookieFiles, TenThousandFilesWithSomeHeldOpen) {
  const int count = 10000;
  auto name = [](int i) { return "user@site" + std::to_string(i) + "[1].txt"; };
  for (int i = 0; i < count; ++i) {
    const std::string host = (i % 2 ? "example.com/" : "site" + std::to_string(i) + ".net/");
    WriteAll(folder_ + "\\" + name(i), Record("k", host));
  }
  std::vector<HANDLE> held;
  for (int i = 1; i < count; i += 1250) {
    held.push_back(CreateFileA((folder_ + "\\" + name(i)).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(held.back(), INVALID_HANDLE_VALUE);
  }
  // The site's half (the odd files, found only by their records) goes, except the held ones,
  // which cannot even be read to tell: the site is not called cleared.
  EXPECT_EQ(ClearIECookiesOfSite("example.com").Status, TClearStatus::Failed);
  int left = 0;
  for (int i = 1; i < count; i += 2) left += In(name(i));
  EXPECT_EQ(left, static_cast<int>(held.size()));
  EXPECT_TRUE(In(name(0)) && In(name(count - 2)));

  EXPECT_EQ(ClearIECookies().Status, TClearStatus::Failed);
  left = 0;
  for (int i = 0; i < count; ++i) left += In(name(i));
  EXPECT_EQ(left, static_cast<int>(held.size()));
  for (HANDLE h : held) CloseHandle(h);
  EXPECT_EQ(ClearIECookies().Status, TClearStatus::Done);
  EXPECT_FALSE(In(name(1)));
}

// --- The platform's own cookie store, each step in a fresh process ---

namespace {
const char* const kCookieSites[] = {"example.com", "forum.example.com", "www.example.com", "example.org",
                                    "notexample.net"};
const int kSiteCount = 5;
}  // namespace

QM_CHILD(set_store_cookies) {
  int failed = 0;
  for (int i = 0; i < kSiteCount; ++i) {
    const std::string url = std::string("http://") + kCookieSites[i] + "/";
    const std::string data = "v" + std::to_string(i) + "; expires=Fri, 01 Jan 2038 00:00:00 GMT";
    if (!InternetSetCookieA(url.c_str(), ("k" + std::to_string(i)).c_str(), data.c_str())) failed |= 1 << i;
  }
  return failed;
}

// Exit code: bit i set when site i still has its cookie.
QM_CHILD(get_store_cookies) {
  int present = 0;
  for (int i = 0; i < kSiteCount; ++i) {
    const std::string url = std::string("http://") + kCookieSites[i] + "/";
    char buffer[4096] = {};
    DWORD size = sizeof buffer;
    if (InternetGetCookieA(url.c_str(), nullptr, buffer, &size) &&
        std::string(buffer).find("k" + std::to_string(i) + "=") != std::string::npos)
      present |= 1 << i;
  }
  return present;
}

QM_CHILD(clear_store_site) { return ClearIECookiesOfSite(args.at(0)).Status == TClearStatus::Done ? 0 : 1; }
QM_CHILD(clear_store_all) { return ClearIECookies().Status == TClearStatus::Done ? 0 : 1; }

TEST(IECookieStore, SiteThenAllAgainstTheRealStore) {
  EmptyCookieFolder(Folder());
  ASSERT_EQ(RunChild("set_store_cookies"), 0);
  ASSERT_EQ(RunChild("get_store_cookies"), 0x1F);
  ASSERT_EQ(RunChild("clear_store_site", {"example.com"}), 0);
  EXPECT_EQ(RunChild("get_store_cookies"), (1 << 3) | (1 << 4));  // example.org, notexample.net
  ASSERT_EQ(RunChild("clear_store_all"), 0);
  EXPECT_EQ(RunChild("get_store_cookies"), 0);
}

// --- Firefox: the search, the registry, the remembered path and the command lines ---

namespace {

const char kMozillaKey[] = "SOFTWARE\\Mozilla\\Mozilla Firefox";
const char kVersion[] = "3.0.19 (en-US)";

void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueExA(k, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}

void ClearRegistry() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kMozillaKey);
  RegDeleteTreeA(HKEY_CURRENT_USER, kMozillaKey);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wrenfield");
}

void SetMozilla(const std::string& exe) {
  SetRegString(HKEY_LOCAL_MACHINE, kMozillaKey, "CurrentVersion", kVersion);
  SetRegString(HKEY_LOCAL_MACHINE, std::string(kMozillaKey) + "\\" + kVersion + "\\Main", "PathToExe", exe);
}

// The user's own entry, which is read before the machine's.
void SetUserFirefox(const std::string& version, const std::string& exe) {
  SetRegString(HKEY_CURRENT_USER, kMozillaKey, "CurrentVersion", version);
  SetRegString(HKEY_CURRENT_USER, std::string(kMozillaKey) + "\\" + version + "\\Main", "PathToExe", exe);
}

void SetWrenfield(const std::string& folder) { SetRegString(HKEY_CURRENT_USER, "Software\\Wrenfield", "", folder); }

// The test program's own settings store, emptied: the operations use the process-wide one.
std::string FreshSettings() {
  const std::string file = GetSettings()->SettingsFileName();
  FreeSettings();
  DeleteFileA(file.c_str());
  return GetSettings()->SettingsFileName();
}

// Reads "FireFoxPath" as a new store would see it (the file, not memory).
std::string RememberedPath() {
  FreeSettings();
  return GetSettings()->ReadString("FireFoxPath");
}

FILETIME LastWrite(const std::string& path) {
  FILETIME t = {};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) t = data.ftLastWriteTime;
  return t;
}

class Firefox : public ::testing::Test {
 protected:
  Firefox() : dir_("firefox") {}
  void SetUp() override {
    ClearRegistry();
    settingsFile_ = FreshSettings();
    firefox_ = dir_ / "firefox.exe";
    wrenfieldFolder_ = dir_ / "Wrenfield";
    wrenfield_ = wrenfieldFolder_ + "\\Wrenfield.exe";
    ASSERT_TRUE(stublog::PlaceStub(firefox_));
    ASSERT_TRUE(CreateDirectoryA(wrenfieldFolder_.c_str(), nullptr));
    ASSERT_TRUE(stublog::PlaceStub(wrenfield_));
    log_ = dir_ / "starts.log";
    stublog::SetLog(log_);
    GetDebugger()->AutoStartViewer = false;
    NewTraceLines();
  }
  // Trace lines written since the last call: each Firefox start is framed by two. The settings
  // store traces its saves too, so a count is only taken where nothing is saved.
  int NewTraceLines() {
    const int now = GetDebugger()->MessageCount;
    const int n = now - traced_;
    traced_ = now;
    return n;
  }
  int traced_ = 0;
  void TearDown() override {
    ClearRegistry();
    FreshSettings();
  }
  TScratchDir dir_;
  std::string settingsFile_, firefox_, wrenfieldFolder_, wrenfield_, log_;
};

}  // namespace

TEST_F(Firefox, RememberedExistingPathWinsWithoutAWrite) {
  const std::string remembered = dir_ / "remembered.exe";
  ASSERT_TRUE(stublog::PlaceStub(remembered));
  ASSERT_TRUE(GetSettings()->WriteString("FireFoxPath", remembered));
  SetMozilla(firefox_);
  SetWrenfield(wrenfieldFolder_);
  // Meanwhile another copy of the program remembered another Firefox. This copy still reads
  // its own value, and a write of that same value (which the store merges into the file as it
  // is now) would put it back over the other copy's.
  const std::string other = "[setting]\r\nFireFoxPath=" + wrenfield_ + "\r\n";
  WriteAll(settingsFile_, other);
  const FILETIME before = LastWrite(settingsFile_);
  Sleep(50);
  EXPECT_EQ(FindFirefoxPath(), remembered);
  EXPECT_TRUE(IsFirefoxAvailable());
  const FILETIME after = LastWrite(settingsFile_);
  EXPECT_EQ(CompareFileTime(&before, &after), 0) << "the settings file was written";
  EXPECT_EQ(ReadAll(settingsFile_), other);
}

TEST_F(Firefox, WrenfieldBeatsMozillaAndIsRememberedOnlyWhenItExists) {
  SetMozilla(firefox_);
  EXPECT_EQ(FindFirefoxPath(), firefox_);
  EXPECT_EQ(RememberedPath(), firefox_);

  FreshSettings();
  SetWrenfield(wrenfieldFolder_);
  EXPECT_EQ(FindFirefoxPath(), wrenfield_);
  EXPECT_EQ(RememberedPath(), wrenfield_);

  // An entry naming a folder without the executable is still returned, but not remembered.
  FreshSettings();
  SetWrenfield(dir_ / "gone");
  EXPECT_EQ(FindFirefoxPath(), dir_ / "gone\\Wrenfield.exe");
  EXPECT_EQ(RememberedPath(), "");
}

TEST_F(Firefox, NothingFound) {
  EXPECT_EQ(FindFirefoxPath(), "");
  EXPECT_FALSE(IsFirefoxAvailable());
  EXPECT_EQ(ClearFirefoxCookies().Status, TClearStatus::NotFound);
  EXPECT_EQ(ClearFirefoxCookiesOfSite("example.com").Status, TClearStatus::NotFound);
  EXPECT_EQ(InstallFirefoxExtension(), TInstallResult::NotStarted);
  // A version without its "Main" key finds nothing either.
  SetRegString(HKEY_LOCAL_MACHINE, kMozillaKey, "CurrentVersion", kVersion);
  EXPECT_EQ(FindFirefoxPath(), "");
  EXPECT_EQ(RememberedPath(), "");
}

TEST_F(Firefox, RememberedPathWhoseFileHasGone) {
  const std::string gone = dir_ / "uninstalled\\firefox.exe";
  ASSERT_TRUE(GetSettings()->WriteString("FireFoxPath", gone));
  EXPECT_EQ(FindFirefoxPath(), gone);
  EXPECT_TRUE(IsFirefoxAvailable());
  // Its version is unknown, so the extension is not tried; without a profile there is nothing.
  EXPECT_FALSE(CanUseFirefoxExtension());
  EXPECT_EQ(ClearFirefoxCookies().Status, TClearStatus::NothingToRemove);
  EXPECT_EQ(InstallFirefoxExtension(), TInstallResult::NotStarted);
  // A registry entry found later replaces it.
  SetMozilla(firefox_);
  EXPECT_EQ(FindFirefoxPath(), firefox_);
  EXPECT_EQ(RememberedPath(), firefox_);
}

TEST_F(Firefox, CommandLinesAreExact) {
  SetMozilla(firefox_);
  ASSERT_EQ(FindFirefoxPath(), firefox_);  // remembered now: the starts below save nothing
  NewTraceLines();
  const std::string quoted = "\"" + firefox_ + "\" ";
  // No profile is found: a Firefox that can run the extension is handed the work.
  EXPECT_EQ(ClearFirefoxCookies().Status, TClearStatus::HandedToExtension);
  std::vector<stublog::TStart> starts = stublog::WaitForStarts(log_, 1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].CommandLine, quoted + "-silent -nosplash -chrome \"chrome://rqx/content/qx.xul?clear\"");
  EXPECT_EQ(starts[0].WorkingFolder + "\\", dir_.Path());
  EXPECT_EQ(starts[0].Show, -1);
  EXPECT_EQ(NewTraceLines(), 2);  // "cmd" before the start, "QV_CreateProcess" after

  // The site goes to the extension in the site rule's form.
  EXPECT_EQ(ClearFirefoxCookiesOfSite("example.com").Status, TClearStatus::HandedToExtension);
  starts = stublog::WaitForStarts(log_, 2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].CommandLine,
            quoted + "-silent -nosplash -chrome \"chrome://rqx/content/qx.xul?domain=example.com\"");

  // The install goes on inside Firefox: handed over, not yet installed.
  EXPECT_EQ(InstallFirefoxExtension(), TInstallResult::HandedToFirefox);
  starts = stublog::WaitForStarts(log_, 3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[2].CommandLine, quoted + "\"" + ProgramDir() + "qx.xpi\"");
  EXPECT_EQ(NewTraceLines(), 2);  // the domain page only: installing traces nothing

  Sleep(200);
  EXPECT_EQ(stublog::Read(log_).size(), 3u) << "one start per operation";
}

TEST_F(Firefox, RefusedDomainStartsNothing) {
  SetMozilla(firefox_);
  ASSERT_EQ(FindFirefoxPath(), firefox_);
  NewTraceLines();
  for (const char* text : {".example.com", "www.", "ex\"ample.com\" -new", "a b", "x/y", "\t", "localhost",
                           "Example.com", "example.com."})
    EXPECT_EQ(ClearFirefoxCookiesOfSite(text).Status, TClearStatus::Refused) << text;
  EXPECT_EQ(NewTraceLines(), 0);
  EXPECT_EQ(ClearFirefoxCookiesOfSite("forum.example.com").Status, TClearStatus::HandedToExtension);
  const std::vector<stublog::TStart> starts = stublog::WaitForStarts(log_, 1);
  Sleep(300);
  ASSERT_EQ(stublog::Read(log_).size(), 1u);
  EXPECT_NE(starts[0].CommandLine.find("?domain=forum.example.com\""), std::string::npos);
}

// --- Firefox's own cookie stores in its profiles ---

namespace {

using THosts = std::vector<std::string>;
const THosts kHosts = {"example.com", ".example.com", "www.example.com", ".forum.example.com", "notexample.com",
                       "example.org", ".other.org", "1.1.1.1"};
const char kNetscapeHeader[] = "# Netscape HTTP Cookie File\r\n\r\n";

std::string NetscapeFile(const THosts& hosts) {
  std::string text = kNetscapeHeader;
  for (const std::string& h : hosts) text += h + "\tTRUE\t/\tFALSE\t2145916800\tname\tvalue\r\n";
  return text;
}

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

class FirefoxStores : public Firefox {
 protected:
  void SetUp() override {
    Firefox::SetUp();
    WriteFirefoxProfiles({{"Profiles/abc.default", true}, {dir_ / "Work Profile", false}, {"Profiles/old", true}});
    const std::string data = FirefoxDataFolder();
    current_ = data + "\\Profiles\\abc.default";
    firefox3_ = dir_ / "Work Profile";
    old_ = data + "\\Profiles\\old";
    ASSERT_TRUE(MakeCookieDatabase(current_ + "\\cookies.sqlite", TCookieSchema::FirefoxCurrent, kHosts, true));
    ASSERT_TRUE(MakeCookieDatabase(firefox3_ + "\\cookies.sqlite", TCookieSchema::Firefox3, kHosts));
    WriteAll(old_ + "\\cookies.txt", NetscapeFile(kHosts));
  }
  void TearDown() override {
    RemoveFirefoxProfiles();
    Firefox::TearDown();
  }
  THosts Current() const { return CookieDatabaseHosts(current_ + "\\cookies.sqlite"); }
  THosts Firefox3() const { return CookieDatabaseHosts(firefox3_ + "\\cookies.sqlite"); }
  std::string Old() const { return ReadAll(old_ + "\\cookies.txt"); }
  std::string current_, firefox3_, old_;
};

}  // namespace

// Rows still in the write-ahead log count as the database's own, and are removed through it.
TEST_F(FirefoxStores, ASiteThenAllGoFromEveryProfileAndLayout) {
  ASSERT_EQ(FindFirefoxProfiles().size(), 3u);
  EXPECT_TRUE(IsFirefoxAvailable());  // by its profiles alone: no registry entry here
  EXPECT_FALSE(CanUseFirefoxExtension());
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open((current_ + "\\cookies.sqlite").c_str(), &writer), SQLITE_OK);
  ASSERT_TRUE(Exec(writer, "PRAGMA wal_autocheckpoint=0; INSERT INTO moz_cookies (name, host) VALUES ('w', "
                           "'wal.example.com'), ('w', 'wal.other.org')"));
  ASSERT_TRUE(Exists(current_ + "\\cookies.sqlite-wal"));

  const TClearResult site = ClearFirefoxCookiesOfSite("example.com");
  EXPECT_EQ(site.Status, TClearStatus::Done);
  EXPECT_EQ(site.Removed, 4 + 1 + 4 + 4);
  const THosts rest = {"notexample.com", "example.org", ".other.org", "1.1.1.1"};
  EXPECT_EQ(Current(), (THosts{"notexample.com", "example.org", ".other.org", "1.1.1.1", "wal.other.org"}));
  EXPECT_EQ(Firefox3(), rest);
  EXPECT_EQ(Old(), NetscapeFile(rest));
  sqlite3_close(writer);

  EXPECT_EQ(ClearFirefoxCookiesOfSite("1.1.1.1").Removed, 3);
  EXPECT_EQ(ClearFirefoxCookiesOfSite("example.com").Status, TClearStatus::NothingToRemove);
  const TClearResult all = ClearFirefoxCookies();
  EXPECT_EQ(all.Status, TClearStatus::Done);
  EXPECT_EQ(all.Removed, 4 + 3 + 3);
  EXPECT_TRUE(Current().empty());
  EXPECT_TRUE(Firefox3().empty());
  EXPECT_EQ(Old(), kNetscapeHeader);
  EXPECT_EQ(ClearFirefoxCookies().Status, TClearStatus::NothingToRemove);
  EXPECT_EQ(stublog::Read(log_).size(), 0u) << "no Firefox is started while its stores can be reached";
}

namespace {

// Holds the database in an open write transaction, as a browser does while it writes, until
// told to let go. args: database, event set once held, event that releases it.
QM_CHILD(hold_database) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(args.at(0).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return 2;
  if (!Exec(db, "BEGIN EXCLUSIVE; UPDATE moz_cookies SET value = 'held'")) return 3;
  SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, args.at(1).c_str()));
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, args.at(2).c_str());
  WaitForSingleObject(release, 30000);
  Exec(db, "ROLLBACK");
  sqlite3_close(db);
  return 0;
}

}  // namespace

TEST_F(FirefoxStores, AProfileInUseStaysWholeAndTheOthersAreCleared) {
  // A running Firefox holds its lock file without sharing.
  HANDLE lock = CreateFileA((current_ + "\\parent.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ClearFirefoxCookiesOfSite("example.com").Status, TClearStatus::Busy);
  EXPECT_EQ(Current(), kHosts);
  EXPECT_EQ(Firefox3().size(), 4u);
  // A Firefox that can run the extension gets the work of the profile in use.
  SetUserFirefox("3.6.28 (en-US)", firefox_);
  EXPECT_EQ(ClearFirefoxCookies().Status, TClearStatus::HandedToExtension);
  EXPECT_EQ(stublog::WaitForStarts(log_, 1).size(), 1u);
  EXPECT_EQ(Current(), kHosts);
  EXPECT_TRUE(Firefox3().empty());
  CloseHandle(lock);
  ClearRegistry();
  FreshSettings();

  // Another process in the middle of a write: that database stays as it was.
  ASSERT_TRUE(MakeCookieDatabase(firefox3_ + "\\cookies.sqlite", TCookieSchema::Firefox3, kHosts));
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "qm-cookies-test-held");
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "qm-cookies-test-release");
  HANDLE child = StartChild("hold_database", {firefox3_ + "\\cookies.sqlite", "qm-cookies-test-held",
                                              "qm-cookies-test-release"});
  ASSERT_NE(child, nullptr);
  ASSERT_EQ(WaitForSingleObject(held, 30000), WAIT_OBJECT_0);
  const TClearResult r = ClearFirefoxCookies();
  SetEvent(release);
  EXPECT_EQ(WaitExit(child, 30000), 0);
  CloseHandle(child);
  CloseHandle(held);
  CloseHandle(release);
  EXPECT_EQ(r.Status, TClearStatus::Busy);
  EXPECT_EQ(Firefox3(), kHosts);
  EXPECT_TRUE(Current().empty());
}

// Damaged stores fail without harm to the others, and are never called cleared.
TEST_F(FirefoxStores, ADamagedDatabaseIsAFailure) {
  WriteAll(firefox3_ + "\\cookies.sqlite", "this is no database");
  EXPECT_EQ(ClearFirefoxCookies().Status, TClearStatus::Failed);
  EXPECT_EQ(ReadAll(firefox3_ + "\\cookies.sqlite"), "this is no database");
  EXPECT_TRUE(Current().empty());
}

TEST_F(Firefox, TheExtensionOnlyForTheVersionsThatRunItAndTheUsersEntryFirst) {
  struct { const char* version; bool extension; } versions[] = {
      {"1.0.8 (en-US)", false}, {"1.5.0.12 (en-US)", true}, {"3.6.28 (de)", true}, {"4.0 (en-US)", false},
      {"120.0.1 (x64 en-US)", false}};
  SetMozilla(firefox_);
  for (const auto& v : versions) {
    SetUserFirefox(v.version, wrenfieldFolder_ + "\\missing.exe");
    FreshSettings();
    EXPECT_EQ(FindFirefoxPath(), wrenfieldFolder_ + "\\missing.exe") << "the user's entry comes first";
    EXPECT_EQ(FindFirefoxVersion(), v.version);
    EXPECT_EQ(CanUseFirefoxExtension(), v.extension) << v.version;
    ClearRegistry();
    SetMozilla(firefox_);
  }
  // Installed only once Firefox has unpacked it into a profile.
  SetUserFirefox("3.6.28 (en-US)", firefox_);
  FreshSettings();
  WriteFirefoxProfiles({{"Profiles/x.default", true}});
  EXPECT_EQ(InstallFirefoxExtension(), TInstallResult::HandedToFirefox);
  ASSERT_TRUE(QV_ForceDirectories(FirefoxDataFolder() + "\\Profiles\\x.default\\extensions\\qx@quillmoor.example"));
  EXPECT_EQ(InstallFirefoxExtension(), TInstallResult::Installed);
  RemoveFirefoxProfiles();
}
