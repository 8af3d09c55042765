#include "cookies/CookieOps.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <set>

#include "cookies/CookieRules.h"
#include "framework/CLSettings.h"
#include "platform/Handles.h"
#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

namespace {

const char kFirefoxPathKey[] = "FireFoxPath";
const char kChromePage[] = "chrome://rqx/content/qx.xul";
const char kFirefoxSwitches[] = "-silent -nosplash -chrome ";
const char kMozillaKey[] = "SOFTWARE\\Mozilla\\Mozilla Firefox";
const char kWrenfieldKey[] = "Software\\Wrenfield";
// Cookie files are a few kilobytes; anything far larger is not one and is not read whole.
const DWORD kMaxCookieFileSize = 1024 * 1024;

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Registry keys count as present only when they open with full access, as every read here asks.
bool KeyOpens(HKEY root, const std::string& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &raw) != ERROR_SUCCESS) return false;
  TRegKey key(raw);
  return true;
}

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Upper case in the system's ANSI code page, as the file system compares names.
std::string UpperAnsi(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The cookie folders: the user's folder and, where protected mode keeps its own, "Low".
std::vector<std::string> CookieFolders() {
  std::vector<std::string> folders;
  const std::string folder = GetCookieFolder();
  if (folder.empty()) return folders;
  folders.push_back(folder);
  if (FolderExists(folder + "\\Low")) folders.push_back(folder + "\\Low");
  return folders;
}

// Calls `found` with the full path of every file (not folder) matching the pattern.
template <typename Found>
void ForEachFile(const std::string& pattern, Found found) {
  const size_t slash = pattern.find_last_of('\\');
  const std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  WIN32_FIND_DATAA data;
  TFindHandle find(FindFirstFileA(pattern.c_str(), &data));
  if (!find) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found(folder + data.cFileName, data);
  } while (FindNextFileA(find.get(), &data));
}

// The files to delete, each once however many rules matched it (names compare without regard
// to case, as the file system does).
class TFileList {
 public:
  void Add(const std::string& path) {
    if (seen_.insert(UpperAscii(path)).second) files_.push_back(path);
  }
  const std::vector<std::string>& Files() const { return files_; }
  bool Holds(const std::string& path) const { return seen_.count(UpperAscii(path)) != 0; }

 private:
  std::vector<std::string> files_;
  std::set<std::string> seen_;
};

void CollectFiles(const std::string& pattern, TFileList* files) {
  ForEachFile(pattern, [files](const std::string& path, const WIN32_FIND_DATAA&) { files->Add(path); });
}

// Cookie files only: the ".txt" patterns must not take other files found by their short names.
void CollectCookieFiles(const std::string& pattern, TFileList* files) {
  ForEachFile(pattern, [files](const std::string& path, const WIN32_FIND_DATAA& data) {
    if (cookierules::IsCookieFileName(data.cFileName)) files->Add(path);
  });
}

// The cookie files whose name holds the site word. A wildcard search also matches the 8.3 short
// names ("USER@E~1.TXT"), so a site word such as "~" or "e~1" would take every long-named
// cookie file of the folder: only the long name may decide.
void CollectFilesOfSiteWord(const std::string& folder, const std::string& site, TFileList* files) {
  const std::string word = UpperAnsi(site);
  ForEachFile(folder + "\\*" + site + "*.txt", [&](const std::string& path, const WIN32_FIND_DATAA& data) {
    if (cookierules::IsCookieFileName(data.cFileName) && UpperAnsi(data.cFileName).find(word) != std::string::npos)
      files->Add(path);
  });
}

// Every ".txt" file of the folder holding a record of the domain or a sub-domain: cookie files
// named without the site (at random, as newer stores do) are only found this way. False when a
// cookie file could not be read (a running browser holds it): it may hold the domain's cookies,
// so the site cannot be called cleared.
bool CollectFilesOfDomain(const std::string& folder, const std::string& domain,
                          TFileList* files) {
  bool readAll = true;
  ForEachFile(folder + "\\*.txt", [&](const std::string& path, const WIN32_FIND_DATAA& data) {
    if (!cookierules::IsCookieFileName(data.cFileName)) return;
    if (data.nFileSizeHigh != 0 || data.nFileSizeLow > kMaxCookieFileSize) return;
    std::string text;
    if (!QV_ReadFileText(path, &text)) {
      if (FileExists(path)) readAll = false;  // not merely gone since the listing
      return;
    }
    if (cookierules::CookieFileMatchesDomain(text, domain)) files->Add(path);
  });
  return readAll;
}

// Whether a "Cookie:" entry of the cache index goes with the files being deleted: all of them
// when clearing everything (empty domain), else those of a matching host and those whose file is
// on the list (a file taken by its name alone may hold records of any host).
bool IndexEntryGoes(const INTERNET_CACHE_ENTRY_INFOA& entry, const std::string& domain, const TFileList& files) {
  if (!entry.lpszSourceUrlName) return false;
  const std::string host = cookierules::CookieIndexHost(entry.lpszSourceUrlName);
  if (host.empty()) return false;
  if (domain.empty() || cookierules::HostMatchesDomain(host, domain)) return true;
  return entry.lpszLocalFileName && files.Holds(QV_GetLongPath(entry.lpszLocalFileName));
}

// Removes the "Cookie:" entries of the WinInet cache index that go with the deletion, so the
// index lists no cookie whose file is gone. Where the platform keeps no such entries the
// enumeration simply finds none.
void DeleteCookieIndexEntries(const std::string& domain, const TFileList& files) {
  // Windows matches the prefix without regard to case; Wine only as written, as it stores it.
  const char kPattern[] = "Cookie:";
  std::vector<std::string> urls;
  DWORD size = 0;
  if (HANDLE probe = FindFirstUrlCacheEntryA(kPattern, nullptr, &size)) {
    FindCloseUrlCache(probe);  // no system answers a size probe with a handle; never leak one
    return;
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return;
  std::vector<char> buffer(size);
  auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
  HANDLE find = FindFirstUrlCacheEntryA(kPattern, entry, &size);
  if (!find) return;
  for (;;) {
    if (IndexEntryGoes(*entry, domain, files)) urls.push_back(entry->lpszSourceUrlName);
    size = static_cast<DWORD>(buffer.size());
    if (FindNextUrlCacheEntryA(find, entry, &size)) continue;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.resize(size);
    entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
    if (!FindNextUrlCacheEntryA(find, entry, &size)) break;
  }
  FindCloseUrlCache(find);
  for (const std::string& url : urls) DeleteUrlCacheEntryA(url.c_str());
}

void EndBrowserSession() {
  InternetSetOptionA(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
}

// Starts Firefox for one of the cookie pages, as the clearing operations do.
bool StartFirefoxCookiePage(const std::string& parameters) {
  if (!FileExists(FindFirefoxPath())) return false;
  Trace("cmd");
  // Searched once more: the first search may just have remembered what it found.
  const bool started = QV_CreateProcess(FindFirefoxPath(), parameters, false, INFINITE);
  Trace("QV_CreateProcess");
  return started;
}

}  // namespace

std::string GetCookieFolder() {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_COOKIES, &items)) || !items) return std::string();
  char path[MAX_PATH] = {};
  const BOOL ok = SHGetPathFromIDListA(items, path);
  CoTaskMemFree(items);
  if (!ok) return std::string();
  std::string folder = path;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool DeleteFileList(const std::vector<std::string>& files) {
  if (files.empty()) return true;
  std::string list;
  for (const std::string& f : files) {
    list += f;
    list.push_back('\0');
  }
  list.push_back('\0');
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = list.c_str();
  op.fFlags = FOF_NOCONFIRMATION;
  SHFileOperationA(&op);
  bool allGone = true;
  for (const std::string& f : files) {
    if (!FileExists(f)) continue;
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);  // the shell deletes read-only files too
    if (!DeleteFileA(f.c_str()) && FileExists(f)) allGone = false;
  }
  return allGone;
}

bool DeleteFilesByPattern(const std::string& pattern) {
  TFileList files;
  CollectFiles(pattern, &files);
  return DeleteFileList(files.Files());
}

bool ClearIECookies() {
  try {
    EndBrowserSession();
    const std::vector<std::string> folders = CookieFolders();
    if (folders.empty()) return false;
    TFileList files;
    for (const std::string& folder : folders) CollectCookieFiles(folder + "\\*.txt", &files);
    DeleteCookieIndexEntries(std::string(), files);
    return DeleteFileList(files.Files());
  } catch (const std::exception&) {
    return false;
  }
}

TCookieResult ClearIECookiesOfSite(const std::string& domain) {
  if (!cookierules::IsSafeDomainText(domain)) return TCookieResult::Refused;
  try {
    EndBrowserSession();
    const std::vector<std::string> folders = CookieFolders();
    if (folders.empty()) return TCookieResult::Failed;
    const std::string site = cookierules::SiteWordOf(domain);
    const std::string matchDomain = cookierules::MatchDomainOf(domain);
    TFileList files;
    bool readAll = true;
    for (const std::string& folder : folders) {
      CollectFilesOfSiteWord(folder, site, &files);
      if (!CollectFilesOfDomain(folder, matchDomain, &files)) readAll = false;
    }
    DeleteCookieIndexEntries(matchDomain, files);
    const bool allGone = DeleteFileList(files.Files());
    return allGone && readAll ? TCookieResult::Done : TCookieResult::Failed;
  } catch (const std::exception&) {
    return TCookieResult::Failed;
  }
}

std::string FirefoxClearParameters() {
  return std::string(kFirefoxSwitches) + "\"" + kChromePage + "?clear\"";
}

std::string FirefoxDomainParameters(const std::string& domain) {
  return std::string(kFirefoxSwitches) + "\"" + kChromePage + "?domain=" + domain + "\"";
}

std::string FirefoxInstallParameters(const std::string& appFolder) {
  return "\"" + appFolder + "qx.xpi\"";
}

std::string FindFirefoxPath() {
  TCLSettings* settings = GetSettings();
  std::string path = settings->ReadString(kFirefoxPathKey);
  if (FileExists(path)) return path;

  const std::string version = QV_ReadRegString(HKEY_LOCAL_MACHINE, kMozillaKey, "CurrentVersion", "");
  if (!version.empty()) {
    const std::string mainKey = std::string(kMozillaKey) + "\\" + version + "\\Main";
    if (KeyOpens(HKEY_LOCAL_MACHINE, mainKey)) path = QV_ReadRegString(HKEY_LOCAL_MACHINE, mainKey, "PathToExe", "");
  }
  const std::string wrenfield = QV_ReadRegString(HKEY_CURRENT_USER, kWrenfieldKey, "", "");
  if (!wrenfield.empty()) path = wrenfield + "\\Wrenfield.exe";

  if (FileExists(path)) settings->WriteString(kFirefoxPathKey, path);
  return path;
}

bool IsFirefoxAvailable() { return !FindFirefoxPath().empty(); }

bool ClearFirefoxCookies() { return StartFirefoxCookiePage(FirefoxClearParameters()); }

TCookieResult ClearFirefoxCookiesOfDomain(const std::string& domain) {
  if (!cookierules::IsSafeDomainText(domain)) return TCookieResult::Refused;
  // Firefox gets the text as typed: the extension handles "www." and sub-domains itself.
  return StartFirefoxCookiePage(FirefoxDomainParameters(domain)) ? TCookieResult::Done
                                                                  : TCookieResult::Failed;
}

bool InstallFirefoxExtension() {
  if (FindFirefoxPath().empty()) return false;
  const std::string exe = QV_GetModuleFileName();
  const std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
  return QV_CreateProcess(FindFirefoxPath(), FirefoxInstallParameters(folder), false, INFINITE);
}
