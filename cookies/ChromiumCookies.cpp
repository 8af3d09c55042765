#include "cookies/ChromiumCookies.h"

#include <windows.h>

#include <shlobj.h>

#include "cookies/CookieDatabase.h"
#include "cookies/LocalState.h"
#include "cookies/SiteRule.h"
#include "framework/CLEngineRules.h"
#include "platform/Handles.h"
#include "tools/QVTools.h"

namespace {

const TCookieTable kChromiumCookies = {"cookies", "host_key"};
// A Local State of many profiles is some hundred kilobytes; a far larger one is not read.
const DWORD kMaxLocalState = 4 * 1024 * 1024;

// The names are UTF-8 and the paths ANSI: only a name the two spell alike is used.
bool IsAscii(const std::string& name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// "Profile " and digits: the names Chromium gives the profiles it makes after "Default".
bool IsNumberedProfile(const std::string& name) {
  static const char kPrefix[] = "Profile ";
  const size_t n = sizeof kPrefix - 1;
  return name.size() > n && name.size() <= n + 6 && name.compare(0, n, kPrefix) == 0 &&
         name.find_first_not_of("0123456789", n) == std::string::npos;
}

std::vector<std::string> FallbackProfiles(const std::string& dataFolder) {
  std::vector<std::string> profiles;
  if (QV_FolderExists(dataFolder + "\\Default")) profiles.push_back(dataFolder + "\\Default");
  WIN32_FIND_DATAA data;
  TFindHandle find(FindFirstFileA((dataFolder + "\\Profile *").c_str(), &data));
  if (!find) return profiles;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsNumberedProfile(data.cFileName))
      profiles.push_back(dataFolder + "\\" + data.cFileName);
  } while (FindNextFileA(find.get(), &data));
  return profiles;
}

std::string BrowserFolder(const TChromiumBrowser& browser) {
  const std::string base = QV_GetUserFolder(browser.ShellFolder, browser.Csidl);
  return base.empty() ? base : base + "\\" + browser.Folder;
}

std::vector<std::string> BrowserProfiles(const TChromiumBrowser& browser) {
  const std::string folder = BrowserFolder(browser);
  if (folder.empty() || !QV_FolderExists(folder)) return {};
  if (browser.FolderIsProfile) return {folder};
  return ChromiumProfiles(folder);
}

TBrowserResults ClearAll(const std::string& site) {
  TBrowserResults results;
  for (const TChromiumBrowser& browser : ChromiumBrowsers()) {
    if (BrowserProfiles(browser).empty()) continue;
    TBrowserResult entry;
    entry.Browser = browser.Name;
    for (const std::string& database : FindChromiumCookieDatabases(browser))
      entry.Result = Combine(entry.Result, ClearCookieDatabase(database, kChromiumCookies, site));
    // A browser whose profiles hold no database yet keeps no cookies.
    if (entry.Result.Status == TClearStatus::NotFound) entry.Result.Status = TClearStatus::NothingToRemove;
    results.push_back(entry);
  }
  return results;
}

}  // namespace

const std::vector<TChromiumBrowser>& ChromiumBrowsers() {
  static const std::vector<TChromiumBrowser> browsers = {
      {"Google Chrome", CSIDL_LOCAL_APPDATA, "Local AppData", "Google\\Chrome\\User Data", false},
      {"Microsoft Edge", CSIDL_LOCAL_APPDATA, "Local AppData", "Microsoft\\Edge\\User Data", false},
      {"Chromium", CSIDL_LOCAL_APPDATA, "Local AppData", "Chromium\\User Data", false},
      {"Brave", CSIDL_LOCAL_APPDATA, "Local AppData", "BraveSoftware\\Brave-Browser\\User Data", false},
      {"Vivaldi", CSIDL_LOCAL_APPDATA, "Local AppData", "Vivaldi\\User Data", false},
      {"Opera", CSIDL_APPDATA, "AppData", "Opera Software\\Opera Stable", true},
  };
  return browsers;
}

std::vector<std::string> ChromiumProfiles(const std::string& dataFolder) {
  std::string json;
  std::vector<std::string> names;
  if (!QV_ReadFileText(dataFolder + "\\Local State", &json, nullptr, kMaxLocalState) ||
      !localstate::ProfileFolderNames(json, &names))
    return FallbackProfiles(dataFolder);
  // A name read from the file is joined to the folder: only a plain folder name may be.
  std::vector<std::string> profiles;
  for (const std::string& name : names)
    if (clengine::IsPlainName(name) && IsAscii(name) && QV_FolderExists(dataFolder + "\\" + name))
      profiles.push_back(dataFolder + "\\" + name);
  return profiles;
}

std::vector<std::string> FindChromiumCookieDatabases(const TChromiumBrowser& browser) {
  std::vector<std::string> databases;
  for (const std::string& profile : BrowserProfiles(browser))
    for (const char* file : {"\\Network\\Cookies", "\\Cookies"})
      if (QV_FileExists(profile + file)) databases.push_back(profile + file);
  return databases;
}

std::vector<std::string> FindChromiumCookieDatabases() {
  std::vector<std::string> databases;
  for (const TChromiumBrowser& browser : ChromiumBrowsers())
    for (const std::string& database : FindChromiumCookieDatabases(browser)) databases.push_back(database);
  return databases;
}

TClearResult OverallResult(const TBrowserResults& results) {
  TClearResult overall;
  for (const TBrowserResult& r : results) overall = Combine(overall, r.Result);
  return overall;
}

bool IsChromiumAvailable() {
  for (const TChromiumBrowser& browser : ChromiumBrowsers())
    if (!BrowserProfiles(browser).empty()) return true;
  return false;
}

TBrowserResults ClearChromiumCookies() { return ClearAll(std::string()); }

TBrowserResults ClearChromiumCookiesOfSite(const std::string& site) {
  if (!siterule::IsSite(site)) {
    TBrowserResult refused;
    refused.Result.Status = TClearStatus::Refused;
    return {refused};
  }
  return ClearAll(site);
}
