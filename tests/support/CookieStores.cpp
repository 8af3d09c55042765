#include "support/CookieStores.h"

#include <windows.h>

#include <sqlite3.h>

#include "cookies/FirefoxCookies.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

namespace qmtest {

namespace {

const char kFirefox3[] =
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, value TEXT, host TEXT, path TEXT,"
    " expiry INTEGER, lastAccessed INTEGER, isSecure INTEGER, isHttpOnly INTEGER);"
    "PRAGMA user_version = 2;";
const char kFirefoxCurrent[] =
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', name TEXT,"
    " value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER,"
    " isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0,"
    " rawSameSite INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0,"
    " CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));"
    "PRAGMA user_version = 12;";

const char kChromium[] =
    "CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES ('version', '21'), ('last_compatible_version', '21');"
    "CREATE TABLE cookies (creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, top_frame_site_key TEXT NOT NULL,"
    " name TEXT NOT NULL, value TEXT NOT NULL, encrypted_value BLOB NOT NULL, path TEXT NOT NULL,"
    " expires_utc INTEGER NOT NULL, is_secure INTEGER NOT NULL, is_httponly INTEGER NOT NULL,"
    " last_access_utc INTEGER NOT NULL, has_expires INTEGER NOT NULL, is_persistent INTEGER NOT NULL,"
    " priority INTEGER NOT NULL, samesite INTEGER NOT NULL, source_scheme INTEGER NOT NULL,"
    " source_port INTEGER NOT NULL, last_update_utc INTEGER NOT NULL,"
    " UNIQUE (host_key, top_frame_site_key, name, path, source_scheme, source_port));";

const char kChromiumOld[] =
    "CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES ('version', '9'), ('last_compatible_version', '9');"
    "CREATE TABLE cookies (creation_utc INTEGER NOT NULL UNIQUE PRIMARY KEY, host_key TEXT NOT NULL,"
    " name TEXT NOT NULL, value TEXT NOT NULL, path TEXT NOT NULL, expires_utc INTEGER NOT NULL,"
    " secure INTEGER NOT NULL, httponly INTEGER NOT NULL, last_access_utc INTEGER NOT NULL,"
    " has_expires INTEGER NOT NULL DEFAULT 1, persistent INTEGER NOT NULL DEFAULT 1,"
    " priority INTEGER NOT NULL DEFAULT 1, encrypted_value BLOB DEFAULT '');";

std::string Row(TCookieSchema schema, size_t i, const std::string& host) {
  const std::string name = "'n" + std::to_string(i) + "'";
  if (schema == TCookieSchema::ChromiumOld)
    return "INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, secure, httponly,"
           " last_access_utc) VALUES (" + std::to_string(13300000000000000ULL + i) + ", '" + host + "', " + name +
           ", 'v', '/', 0, 0, 0, 0);";
  if (schema != TCookieSchema::Chromium)
    return "INSERT INTO moz_cookies (name, value, host, path, expiry) VALUES (" + name + ", 'v', '" + host +
           "', '/', 2145916800);";
  return "INSERT INTO cookies VALUES (13300000000000000, '" + host + "', '', " + name +
         ", '', X'763130DEADBEEF', '/', 13400000000000000, 1, 1, 0, 1, 1, 1, 0, 2, 443, 0);";
}

}  // namespace

std::string DatabaseIntegrity(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  std::string result = "<unreadable>";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return result;
}

std::vector<std::string> ChromiumDatabaseHosts(const std::string& path) {
  return CookieDatabaseHosts(path, "cookies", "host_key");
}

bool MakeCookieDatabase(const std::string& path, TCookieSchema schema, const std::vector<std::string>& hosts,
                        bool wal) {
  DeleteFileA(path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  std::string sql = schema == TCookieSchema::Firefox3 ? kFirefox3
                    : schema == TCookieSchema::Chromium    ? kChromium
                    : schema == TCookieSchema::ChromiumOld ? kChromiumOld
                                                           : kFirefoxCurrent;
  if (wal) sql = "PRAGMA journal_mode=WAL;" + sql;
  for (size_t i = 0; i < hosts.size(); ++i) sql += Row(schema, i, hosts[i]);
  const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

std::vector<std::string> CookieDatabaseHosts(const std::string& path, const char* table, const char* column) {
  std::vector<std::string> hosts;
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  const std::string sql = std::string("SELECT ") + column + " FROM " + table + " ORDER BY rowid";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return {"<unreadable>"};
  }
  while (sqlite3_step(st) == SQLITE_ROW) hosts.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return hosts;
}

void RemoveFirefoxProfiles() { RemoveTree(FirefoxDataFolder()); }

void WriteFirefoxProfiles(const std::vector<TProfileEntry>& profiles) {
  const std::string folder = FirefoxDataFolder();
  RemoveFirefoxProfiles();
  QV_ForceDirectories(folder);
  std::string ini = "[General]\r\nStartWithLastProfile=1\r\n\r\n";
  for (size_t i = 0; i < profiles.size(); ++i) {
    std::string path = profiles[i].Path;
    std::string full = profiles[i].Relative ? folder + "\\" + path : path;
    for (char& c : full)
      if (c == '/') c = '\\';
    QV_ForceDirectories(full);
    ini += "[Profile" + std::to_string(i) + "]\r\nName=p" + std::to_string(i) + "\r\nIsRelative=" +
           (profiles[i].Relative ? "1" : "0") + "\r\nPath=" + path + "\r\n\r\n";
  }
  WriteAll(folder + "\\profiles.ini", ini);
}

}  // namespace qmtest
