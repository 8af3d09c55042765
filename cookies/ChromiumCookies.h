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

// The cookie databases of every profile of every browser found.
std::vector<std::string> FindChromiumCookieDatabases();
// Whether any Chromium browser has a profile folder here.
bool IsChromiumAvailable();

// The profile folders of one browser's data folder: those "Local State" lists, each a plain folder
// name; "Default" and "Profile N" when that file is missing or damaged. Existing folders only.
std::vector<std::string> ChromiumProfiles(const std::string& dataFolder);

// Removes every cookie (`site` empty) or the site's from each database. Busy, with that database
// unchanged, while its browser runs.
TClearResult ClearChromiumCookies();
TClearResult ClearChromiumCookiesOfSite(const std::string& site);
