// The Chromium browsers' cookie databases: an SQLite file "Cookies" (table cookies, column
// host_key) in each profile, under "Network" in the current layout and beside it in the older.
// The cookie values are encrypted, but removing a row needs no decryption.
#pragma once

#include <string>
#include <vector>

#include "cookies/CookieResult.h"

struct TChromiumBrowser {
  const char* Name;
  int Csidl;                 // CSIDL_LOCAL_APPDATA, or CSIDL_APPDATA for a roaming browser
  const char* ShellFolder;   // its value in the shell's folder list
  const char* Folder;        // under that folder
  bool FolderIsProfile;      // no "Local State": the folder itself is the one profile
};

// Every Chromium browser the cleaner knows; adding one is a line of this table.
const std::vector<TChromiumBrowser>& ChromiumBrowsers();

// The cookie databases of every profile of one browser, or of every browser found.
std::vector<std::string> FindChromiumCookieDatabases(const TChromiumBrowser& browser);
std::vector<std::string> FindChromiumCookieDatabases();
// Whether any Chromium browser has a profile folder here.
bool IsChromiumAvailable();

// The profile folders of one browser's data folder: those "Local State" lists, each a plain folder
// name; "Default" and "Profile N" when that file is missing or damaged. Existing folders only.
std::vector<std::string> ChromiumProfiles(const std::string& dataFolder);

// What one browser's databases did, for a report that names each browser.
struct TBrowserResult {
  std::string Browser;
  TClearResult Result;
};
using TBrowserResults = std::vector<TBrowserResult>;
// The gravest status of all browsers, their counts added; NotFound when none was found.
TClearResult OverallResult(const TBrowserResults& results);

// Removes every cookie or the site's from each database, one entry per browser found. Busy, with
// that database unchanged, while its browser runs; the other browsers are cleared all the same.
TBrowserResults ClearChromiumCookies();
// Refused (one entry without a browser) for a text that is no site.
TBrowserResults ClearChromiumCookiesOfSite(const std::string& site);
