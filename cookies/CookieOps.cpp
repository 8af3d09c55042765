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
#include "cookies/FirefoxCookies.h"
#include "cookies/SiteRule.h"
#include "framework/CLSettings.h"
#include "platform/cwm_WinVersion.h"
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

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The cookie folders: the user's folder and, where protected mode keeps its own, "Low".
std::vector<std::string> CookieFolders() {
  std::vector<std::string> folders;
  const std::string folder = GetCookieFolder();
  if (folder.empty()) return folders;
  folders.push_back(folder);
  if (QV_FolderExists(folder + "\\Low")) folders.push_back(folder + "\\Low");
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

// Every cookie file of the folder holding a record of the site or one of its sub-domains: a
// file's name never decides, since Internet Explorer names some files by the site and others at
// random. False when a cookie file could not be read (a running browser holds it, or it is far
// larger than any cookie file): it may hold the site's cookies, so the site cannot be called
// cleared.
bool CollectFilesOfSite(const std::string& folder, const std::string& site, TFileList* files) {
  bool readAll = true;
  ForEachFile(folder + "\\*.txt", [&](const std::string& path, const WIN32_FIND_DATAA& data) {
    if (!cookierules::IsCookieFileName(data.cFileName)) return;
    if (data.nFileSizeHigh != 0 || data.nFileSizeLow > kMaxCookieFileSize) {
      readAll = false;
      return;
    }
    std::string text;
    if (!QV_ReadFileText(path, &text, nullptr, kMaxCookieFileSize)) {
      if (QV_FileExists(path)) readAll = false;  // not merely gone since the listing
      return;
    }
    if (cookierules::CookieFileBelongsToSite(text, site)) files->Add(path);
  });
  return readAll;
}

// Whether a "Cookie:" entry of the cache index goes with the files being deleted: all of them
// when clearing everything (empty site), else those of the site's hosts and those whose file is
// on the list (a file holding one of the site's records may hold records of other hosts too).
bool IndexEntryGoes(const INTERNET_CACHE_ENTRY_INFOA& entry, const std::string& site, const TFileList& files) {
  if (!entry.lpszSourceUrlName) return false;
  const std::string host = cookierules::CookieIndexHost(entry.lpszSourceUrlName);
  if (host.empty()) return false;
  if (site.empty() || siterule::HostBelongsToSite(host, site)) return true;
  return entry.lpszLocalFileName && files.Holds(QV_GetLongPath(entry.lpszLocalFileName));
}

// Removes the "Cookie:" entries of the WinInet cache index that go with the deletion, so the
// index lists no cookie whose file is gone. Where the platform keeps no such entries the
// enumeration simply finds none.
void DeleteCookieIndexEntries(const std::string& site, const TFileList& files) {
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
    if (IndexEntryGoes(*entry, site, files)) urls.push_back(entry->lpszSourceUrlName);
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

// Starts Firefox for one of the extension's cookie pages.
bool StartFirefoxCookiePage(const std::string& parameters) {
  if (!QV_FileExists(FindFirefoxPath())) return false;
  Trace("cmd");
  // Searched once more: the first search may just have remembered what it found.
  const bool started = QV_CreateProcess(FindFirefoxPath(), parameters, false, INFINITE);
  Trace("QV_CreateProcess");
  return started;
}

// Every profile's own store first. The extension's page is started only where that cannot be
// done (no profile found, or one in use), and only for a Firefox that can still run it: a
// running Firefox takes the command into its open window.
TClearResult ClearFirefoxStores(const std::string& site, const std::string& extensionParameters) {
  const std::vector<std::string> profiles = FindFirefoxProfiles();
  TClearResult result;
  for (const std::string& profile : profiles) result = Combine(result, ClearFirefoxProfile(profile, site));
  if ((profiles.empty() || result.Status == TClearStatus::Busy) && CanUseFirefoxExtension()) {
    if (StartFirefoxCookiePage(extensionParameters)) result.Status = TClearStatus::HandedToExtension;
    else if (profiles.empty()) result.Status = TClearStatus::Failed;  // nothing else could try
    return result;
  }
  // A Firefox without a single cookie store has no cookies at all.
  if (result.Status == TClearStatus::NotFound && (!profiles.empty() || !FindFirefoxPath().empty()))
    result.Status = TClearStatus::NothingToRemove;
  return result;
}

// One Firefox registry entry: its version text and executable.
struct TFirefoxEntry {
  std::string Version;
  std::string Exe;
};

// The registry views to read: under WOW64 a 64-bit Firefox writes the 64-bit view, a 32-bit one
// the 32-bit view; elsewhere there is one view, and older systems refuse the view flags.
std::vector<REGSAM> RegistryViews() {
  if (!IsWow64()) return {0};
  return {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
}

// The user's entries before the machine's.
std::vector<TFirefoxEntry> FirefoxRegistryEntries() {
  std::vector<TFirefoxEntry> entries;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (REGSAM view : RegistryViews()) {
      TFirefoxEntry entry;
      entry.Version = QV_ReadRegString(root, kMozillaKey, "CurrentVersion", "", view);
      if (entry.Version.empty()) continue;
      const std::string mainKey = std::string(kMozillaKey) + "\\" + entry.Version + "\\Main";
      entry.Exe = QV_ReadRegString(root, mainKey, "PathToExe", "", view);
      if (!entry.Exe.empty()) entries.push_back(entry);
    }
  }
  return entries;
}

// The product version of an executable's version resource, "major.minor..."; empty without one.
std::string ExecutableVersion(const std::string& exe) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  if (size == 0) return std::string();
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(exe.c_str(), 0, size, data.data())) return std::string();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof *info)
    return std::string();
  return std::to_string(HIWORD(info->dwProductVersionMS)) + "." + std::to_string(LOWORD(info->dwProductVersionMS));
}

}  // namespace

std::string GetCookieFolder() { return QV_GetSpecialFolder(CSIDL_COOKIES); }

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
    if (!QV_FileExists(f)) continue;
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);  // the shell deletes read-only files too
    if (!DeleteFileA(f.c_str()) && QV_FileExists(f)) allGone = false;
  }
  return allGone;
}

bool DeleteFilesByPattern(const std::string& pattern) {
  TFileList files;
  CollectFiles(pattern, &files);
  return DeleteFileList(files.Files());
}

TClearResult ClearIECookies() {
  try {
    EndBrowserSession();
    const std::vector<std::string> folders = CookieFolders();
    if (folders.empty()) return ClearResultOf(TClearStatus::Failed);
    TFileList files;
    for (const std::string& folder : folders) CollectCookieFiles(folder + "\\*.txt", &files);
    DeleteCookieIndexEntries(std::string(), files);
    const long long count = static_cast<long long>(files.Files().size());
    if (!DeleteFileList(files.Files())) return ClearResultOf(TClearStatus::Failed);
    return ClearResultOf(count ? TClearStatus::Done : TClearStatus::NothingToRemove, count);
  } catch (const std::exception&) {
    return ClearResultOf(TClearStatus::Failed);
  }
}

TClearResult ClearIECookiesOfSite(const std::string& site) {
  if (!siterule::IsSite(site)) return ClearResultOf(TClearStatus::Refused);
  try {
    EndBrowserSession();
    const std::vector<std::string> folders = CookieFolders();
    if (folders.empty()) return ClearResultOf(TClearStatus::Failed);
    TFileList files;
    bool readAll = true;
    for (const std::string& folder : folders)
      if (!CollectFilesOfSite(folder, site, &files)) readAll = false;
    DeleteCookieIndexEntries(site, files);
    const long long count = static_cast<long long>(files.Files().size());
    if (!DeleteFileList(files.Files()) || !readAll) return ClearResultOf(TClearStatus::Failed);
    return ClearResultOf(count ? TClearStatus::Done : TClearStatus::NothingToRemove, count);
  } catch (const std::exception&) {
    return ClearResultOf(TClearStatus::Failed);
  }
}

std::string FirefoxClearParameters() {
  return std::string(kFirefoxSwitches) + "\"" + kChromePage + "?clear\"";
}

std::string FirefoxDomainParameters(const std::string& site) {
  return std::string(kFirefoxSwitches) + "\"" + kChromePage + "?domain=" + site + "\"";
}

std::string FirefoxInstallParameters(const std::string& appFolder) {
  return "\"" + appFolder + "qx.xpi\"";
}

std::string FindFirefoxPath() {
  TCLSettings* settings = GetSettings();
  std::string path = settings->ReadString(kFirefoxPathKey);
  if (QV_FileExists(path)) return path;

  const std::vector<TFirefoxEntry> entries = FirefoxRegistryEntries();
  if (!entries.empty()) path = entries.front().Exe;
  const std::string wrenfield = QV_ReadRegString(HKEY_CURRENT_USER, kWrenfieldKey, "", "");
  if (!wrenfield.empty()) path = wrenfield + "\\Wrenfield.exe";

  if (QV_FileExists(path)) settings->WriteString(kFirefoxPathKey, path);
  return path;
}

bool IsFirefoxAvailable() { return !FindFirefoxPath().empty() || !FindFirefoxProfiles().empty(); }

std::string FindFirefoxVersion() {
  const std::string exe = FindFirefoxPath();
  if (exe.empty()) return std::string();
  for (const TFirefoxEntry& entry : FirefoxRegistryEntries())
    if (lstrcmpiA(entry.Exe.c_str(), exe.c_str()) == 0) return entry.Version;
  return QV_FileExists(exe) ? ExecutableVersion(exe) : std::string();
}

bool CanUseFirefoxExtension() {
  int major = 0, minor = 0;
  if (!cookierules::ParseMajorMinor(FindFirefoxVersion(), &major, &minor)) return false;
  const int version = major * 100 + minor;
  return version >= 105 && version <= 306;
}

TClearResult ClearFirefoxCookies() { return ClearFirefoxStores(std::string(), FirefoxClearParameters()); }

TClearResult ClearFirefoxCookiesOfSite(const std::string& site) {
  if (!siterule::IsSite(site)) return ClearResultOf(TClearStatus::Refused);
  return ClearFirefoxStores(site, FirefoxDomainParameters(site));
}

TInstallResult InstallFirefoxExtension() {
  if (!CanUseFirefoxExtension()) return TInstallResult::NotStarted;
  for (const std::string& profile : FindFirefoxProfiles())
    if (IsExtensionInProfile(profile)) return TInstallResult::Installed;
  const std::string exe = QV_GetModuleFileName();
  const std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
  if (!QV_CreateProcess(FindFirefoxPath(), FirefoxInstallParameters(folder), false, INFINITE))
    return TInstallResult::NotStarted;
  return TInstallResult::HandedToFirefox;
}
