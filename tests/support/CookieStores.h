// Browser cookie stores made for the tests: Firefox profiles with their "profiles.ini", and
// cookie databases with the schema and user_version of the browser versions that wrote them.
#pragma once

#include <string>
#include <vector>

namespace qmtest {

enum class TCookieSchema {
  Firefox3,        // Firefox 3.0: moz_cookies without originAttributes, user_version 2
  FirefoxCurrent,  // a current Firefox: originAttributes and sameSite, user_version 12
  Chromium,        // a current Chromium browser: table cookies, host_key, encrypted values, meta 21
  ChromiumOld,     // an old one (meta version 9): secure/httponly columns, creation time as key
};

// PRAGMA integrity_check of a database: "ok" when it is whole.
std::string DatabaseIntegrity(const std::string& path);

// A new database at `path` with one cookie row per host; `wal` leaves it in write-ahead-log mode.
bool MakeCookieDatabase(const std::string& path, TCookieSchema schema, const std::vector<std::string>& hosts,
                        bool wal = false);
// The hosts of a database's rows, in row order; {"<unreadable>"} when it cannot be read.
std::vector<std::string> CookieDatabaseHosts(const std::string& path, const char* table = "moz_cookies",
                                             const char* column = "host");
std::vector<std::string> ChromiumDatabaseHosts(const std::string& path);

// The user's Firefox data folder emptied, then a "profiles.ini" listing the profile folders:
// a relative one is written with "/" under the data folder, an absolute one as it stands.
struct TProfileEntry {
  std::string Path;
  bool Relative;
};
void WriteFirefoxProfiles(const std::vector<TProfileEntry>& profiles);
void RemoveFirefoxProfiles();

}  // namespace qmtest
