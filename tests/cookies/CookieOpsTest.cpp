// The cookie operations on the real platform: cookie files in the user's cookie folder (and its
// "Low" subfolder), the platform's own WinInet cookie store, the Firefox search through the
// settings store and the registry, and the exact command lines a stand-in browser receives.
#include <windows.h>

#include <wininet.h>

#include <gtest/gtest.h>

#include "StubLog.h"
#include "cookies/CookieOps.h"
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
    for (const char* url : {kNameOnlyEntry, kKeptEntry, kRecordEntry}) DeleteUrlCacheEntryA(url);
    for (const std::string& f : {folder_, folder_ + "\\Low"}) EmptyCookieFolder(f);
    RemoveTree(folder_ + "\\Low");
  }
  // The same set of files in the cookie folder and in "Low".
  void PlaceFiles() {
    for (const std::string& f : {folder_, folder_ + "\\Low"}) {
      WriteAll(f + "\\user@example[1].txt", Record("a", "example.com/"));
      WriteAll(f + "\\user@forum.example[2].txt", Record("b", "forum.example.com/"));
      WriteAll(f + "\\user@other[1].txt", Record("c", "other.net/"));
      // Matched by name alone, and by neither name nor record (its name holds "www" only).
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

TEST_F(IECookieFiles, SiteDeletionTakesTheDomainFamilyFromBothFolders) {
  PlaceFiles();
  EXPECT_EQ(ClearIECookiesOfSite("www.Example.com"), TCookieResult::Done);
  for (bool low : {false, true}) {
    auto has = [&](const char* n) { return low ? InLow(n) : In(n); };
    SCOPED_TRACE(low ? "Low" : "cookie folder");
    EXPECT_FALSE(has("user@example[1].txt"));
    EXPECT_FALSE(has("user@forum.example[2].txt"));
    EXPECT_FALSE(has("CM89HDI5.txt"));
    EXPECT_FALSE(has("user@example[4].txt"));
    EXPECT_TRUE(has("user@other[1].txt"));
    EXPECT_TRUE(has("QQ12ABCD.txt"));
    EXPECT_TRUE(has("user@www[1].txt"));
    EXPECT_TRUE(has("x.txt"));  // folders are never deleted
    EXPECT_TRUE(has("user@example[3].txt"));
  }
  // Nothing left to match is not a failure.
  EXPECT_EQ(ClearIECookiesOfSite("example.com"), TCookieResult::Done);

  EXPECT_TRUE(ClearIECookies());
  for (const char* n : {"user@other[1].txt", "QQ12ABCD.txt", "user@www[1].txt"}) {
    EXPECT_FALSE(In(n)) << n;
    EXPECT_FALSE(InLow(n)) << n;
  }
  EXPECT_TRUE(In("x.txt"));
  EXPECT_TRUE(InLow("x.txt"));
  EXPECT_TRUE(ClearIECookies());
}

TEST_F(IECookieFiles, RefusedTextsDeleteNothing) {
  PlaceFiles();
  for (const char* text : {"", ".com", ".", "www.", "*", "\"", "a b", "..\\x", "ex*ample.com",
                           "example.com/", "c:x", "a|b", "a\nb"}) {
    EXPECT_EQ(ClearIECookiesOfSite(text), TCookieResult::Refused) << text;
    EXPECT_EQ(ClearFirefoxCookiesOfDomain(text), TCookieResult::Refused) << text;
  }
  for (const char* n : {"user@example[1].txt", "user@forum.example[2].txt", "user@other[1].txt",
                        "CM89HDI5.txt", "QQ12ABCD.txt", "user@example[4].txt", "user@www[1].txt"}) {
    EXPECT_TRUE(In(n)) << n;
    EXPECT_TRUE(InLow(n)) << n;
  }
}

namespace {

// The 8.3 short name the file system gave a file ("USER@E~1.TXT", under Wine "USER~GA3.TXT").
std::string ShortName(const std::string& path) {
  char buffer[MAX_PATH] = {};
  const DWORD n = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  const std::string full = (n == 0 || n >= MAX_PATH) ? std::string() : std::string(buffer, n);
  return full.substr(full.find_last_of('\\') + 1);
}

}  // namespace

// A wildcard search matches short names too, where every long-named cookie file has a "~": a
// site word found only in them must not take the files of every site.
TEST_F(IECookieFiles, ASiteWordFoundOnlyInShortNamesTakesNothing) {
  PlaceFiles();
  const std::string shortName = ShortName(folder_ + "\\user@example[1].txt");
  const size_t tilde = shortName.find('~');
  ASSERT_NE(tilde, std::string::npos) << "no short name: [" << shortName << "]";
  ASSERT_GT(tilde, 0u);
  // The tilde with its neighbours ("E~1"): in the short name, not in the long one.
  const std::string word = shortName.substr(tilde - 1, 3);
  ASSERT_EQ(word.size(), 3u) << shortName;
  for (const std::string& text : {std::string("~.com"), word + ".net"}) {
    EXPECT_EQ(ClearIECookiesOfSite(text), TCookieResult::Done) << text;
    for (const char* n : {"user@example[1].txt", "user@forum.example[2].txt", "user@other[1].txt",
                          "user@example[4].txt", "user@www[1].txt", "CM89HDI5.txt", "QQ12ABCD.txt"}) {
      EXPECT_TRUE(In(n)) << text << ": " << n;
      EXPECT_TRUE(InLow(n)) << text << ": " << n;
    }
  }
  // A file whose long name holds the tilde is still the site's.
  WriteAll(folder_ + "\\user@~[1].txt", Record("t", "other.org/"));
  EXPECT_EQ(ClearIECookiesOfSite("~.com"), TCookieResult::Done);
  EXPECT_FALSE(In("user@~[1].txt"));
  EXPECT_TRUE(In("user@example[1].txt"));
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

// A file taken by its name alone may hold records of any host: its index entry goes with it all
// the same, while the entries of files that stay are kept.
TEST_F(IECookieFiles, IndexEntriesGoWithTheirFiles) {
  PlaceFiles();
  ASSERT_TRUE(CommitIndexEntry(kNameOnlyEntry, folder_ + "\\user@example[4].txt"));
  ASSERT_TRUE(CommitIndexEntry(kKeptEntry, folder_ + "\\user@www[1].txt"));
  ASSERT_TRUE(CommitIndexEntry(kRecordEntry, folder_ + "\\user@example[1].txt"));
  ASSERT_TRUE(IndexHas(kNameOnlyEntry) && IndexHas(kKeptEntry) && IndexHas(kRecordEntry));

  EXPECT_EQ(ClearIECookiesOfSite("www.example.com"), TCookieResult::Done);
  EXPECT_FALSE(IndexHas(kNameOnlyEntry));
  EXPECT_FALSE(IndexHas(kRecordEntry));
  EXPECT_TRUE(IndexHas(kKeptEntry));
  EXPECT_FALSE(In("user@example[4].txt"));
  EXPECT_TRUE(In("user@www[1].txt"));

  EXPECT_TRUE(ClearIECookies());
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
  EXPECT_EQ(ClearIECookiesOfSite("example.com"), TCookieResult::Failed);
  EXPECT_FALSE(In("a@example[1].txt"));
  EXPECT_TRUE(In("b@example[1].txt"));
  EXPECT_FALSE(In("c@example[1].txt"));
  EXPECT_FALSE(InLow("d@example[1].txt"));
  EXPECT_FALSE(ClearIECookies());
  CloseHandle(held);
  EXPECT_TRUE(ClearIECookies());
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
  EXPECT_EQ(ClearIECookiesOfSite("example.com"), TCookieResult::Failed);
  int left = 0;
  for (int i = 1; i < count; i += 2) left += In(name(i));
  EXPECT_EQ(left, static_cast<int>(held.size()));
  EXPECT_TRUE(In(name(0)) && In(name(count - 2)));

  EXPECT_FALSE(ClearIECookies());
  left = 0;
  for (int i = 0; i < count; ++i) left += In(name(i));
  EXPECT_EQ(left, static_cast<int>(held.size()));
  for (HANDLE h : held) CloseHandle(h);
  EXPECT_TRUE(ClearIECookies());
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

QM_CHILD(clear_store_site) { return ClearIECookiesOfSite(args.at(0)) == TCookieResult::Done ? 0 : 1; }
QM_CHILD(clear_store_all) { return ClearIECookies() ? 0 : 1; }

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
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wrenfield");
}

void SetMozilla(const std::string& exe) {
  SetRegString(HKEY_LOCAL_MACHINE, kMozillaKey, "CurrentVersion", kVersion);
  SetRegString(HKEY_LOCAL_MACHINE, std::string(kMozillaKey) + "\\" + kVersion + "\\Main", "PathToExe", exe);
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
  EXPECT_FALSE(ClearFirefoxCookies());
  EXPECT_EQ(ClearFirefoxCookiesOfDomain("example.com"), TCookieResult::Failed);
  EXPECT_FALSE(InstallFirefoxExtension());
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
  EXPECT_FALSE(ClearFirefoxCookies());
  EXPECT_EQ(ClearFirefoxCookiesOfDomain("example.com"), TCookieResult::Failed);
  EXPECT_FALSE(InstallFirefoxExtension());
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
  EXPECT_TRUE(ClearFirefoxCookies());
  std::vector<stublog::TStart> starts = stublog::WaitForStarts(log_, 1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].CommandLine, quoted + "-silent -nosplash -chrome \"chrome://rqx/content/qx.xul?clear\"");
  EXPECT_EQ(starts[0].WorkingFolder + "\\", dir_.Path());
  EXPECT_EQ(starts[0].Show, -1);
  EXPECT_EQ(NewTraceLines(), 2);  // "cmd" before the start, "QV_CreateProcess" after

  // The domain goes to Firefox exactly as typed, "www." and letter case included.
  EXPECT_EQ(ClearFirefoxCookiesOfDomain("www.Example.com"), TCookieResult::Done);
  starts = stublog::WaitForStarts(log_, 2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].CommandLine,
            quoted + "-silent -nosplash -chrome \"chrome://rqx/content/qx.xul?domain=www.Example.com\"");

  EXPECT_TRUE(InstallFirefoxExtension());
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
  for (const char* text : {".example.com", "www.", "ex\"ample.com\" -new", "a b", "x/y", "\t"})
    EXPECT_EQ(ClearFirefoxCookiesOfDomain(text), TCookieResult::Refused) << text;
  EXPECT_EQ(NewTraceLines(), 0);
  EXPECT_EQ(ClearFirefoxCookiesOfDomain("localhost"), TCookieResult::Done);
  const std::vector<stublog::TStart> starts = stublog::WaitForStarts(log_, 1);
  Sleep(300);
  ASSERT_EQ(stublog::Read(log_).size(), 1u);
  EXPECT_NE(starts[0].CommandLine.find("?domain=localhost\""), std::string::npos);
}
