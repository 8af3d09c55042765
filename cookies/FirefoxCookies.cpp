#include "cookies/FirefoxCookies.h"

#include <windows.h>

#include <shlobj.h>

#include "cookies/CookieDatabase.h"
#include "cookies/CookieRules.h"
#include "cookies/SiteRule.h"
#include "platform/Handles.h"
#include "tools/QVTools.h"

namespace {

const TCookieTable kMozCookies = {"moz_cookies", "host"};
// The extension's id, as its install manifest names it: Firefox unpacks it into a folder so named.
const char kExtensionId[] = "qx@quillmoor.example";
// An old cookie file holds at most a few thousand lines; a far larger one is not read whole.
const DWORD kMaxCookiesTxt = 16 * 1024 * 1024;

// The old cookie file is rewritten whole without the lines that go, through a temporary file
// that replaces it, so a failed save leaves it as it was.
TClearResult ClearCookiesTxt(const std::string& path, const std::string& site) {
  std::string text;
  bool missing = false;
  if (!QV_ReadFileText(path, &text, &missing, kMaxCookiesTxt))
    return ClearResultOf(missing ? TClearStatus::NotFound : TClearStatus::Failed);
  long long removed = 0;
  const std::string kept = cookierules::NetscapeCookiesWithout(
      text, [&](const std::string& host) { return site.empty() || siterule::HostBelongsToSite(host, site); },
      &removed);
  if (removed == 0) return ClearResultOf(TClearStatus::NothingToRemove);
  if (!QV_ReplaceFileText(path, kept)) return ClearResultOf(TClearStatus::Failed);
  return ClearResultOf(TClearStatus::Done, removed);
}

}  // namespace

// The main window asks at its start whether Firefox is there: the folder comes from the
// registry, and the shell library is loaded only once an action needs it.
std::string FirefoxDataFolder() {
  const std::string folder = QV_GetUserFolder("AppData", CSIDL_APPDATA);
  return folder.empty() ? folder : folder + "\\Mozilla\\Firefox";
}

std::vector<std::string> FindFirefoxProfiles() {
  std::vector<std::string> profiles;
  const std::string folder = FirefoxDataFolder();
  std::string ini;
  if (folder.empty() || !QV_ReadFileText(folder + "\\profiles.ini", &ini, nullptr, 1024 * 1024)) return profiles;
  for (const std::string& profile : cookierules::FirefoxProfileFolders(ini, folder))
    if (QV_FolderExists(profile)) profiles.push_back(profile);
  return profiles;
}

bool IsFirefoxProfileInUse(const std::string& profile) {
  TFileHandle lock(CreateFileA((profile + "\\parent.lock").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (lock) return false;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

TClearResult ClearFirefoxProfile(const std::string& profile, const std::string& site) {
  if (IsFirefoxProfileInUse(profile)) return ClearResultOf(TClearStatus::Busy);
  return Combine(ClearCookieDatabase(profile + "\\cookies.sqlite", kMozCookies, site),
                 ClearCookiesTxt(profile + "\\cookies.txt", site));
}

bool IsExtensionInProfile(const std::string& profile) {
  return QV_FolderExists(profile + "\\extensions\\" + kExtensionId);
}
