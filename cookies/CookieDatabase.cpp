#include "cookies/CookieDatabase.h"

#include <windows.h>

#include <sqlite3.h>

#include <memory>

#include "cookies/CookieRules.h"
#include "cookies/SiteRule.h"
#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

namespace {

// A browser that is only writing a cookie holds its lock for milliseconds; one that holds the
// database for good answers the same after a longer wait, so the wait stays short.
const int kBusyWaitMs = 250;
const char kSiteFunction[] = "qm_belongs_to_site";

struct TDatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct TStatementCloser {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

// SQLite takes file names in UTF-8; the program's paths are in the ANSI code page.
std::string Utf8OfAnsi(const std::string& text) {
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (wide <= 0) return text;
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &w[0], wide);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;  // a system without UTF-8 conversion: ASCII paths are the same
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(bytes) - 1);
  return utf8;
}

void BelongsToSite(sqlite3_context* context, int, sqlite3_value** values) {
  const auto* site = static_cast<const std::string*>(sqlite3_user_data(context));
  const unsigned char* host = sqlite3_value_text(values[0]);
  const int length = sqlite3_value_bytes(values[0]);
  sqlite3_result_int(context,
                     host && siterule::HostBelongsToSite(std::string(reinterpret_cast<const char*>(host),
                                                                     static_cast<size_t>(length)),
                                                         *site));
}

bool IsBusy(int code) {
  code &= 0xFF;
  return code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_CANTOPEN;
}

TClearResult Failure(sqlite3* db, int code, const std::string& path) {
  TraceTagged("cookie database " + path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(code)), "Cookies");
  return ClearResultOf(IsBusy(code) ? TClearStatus::Busy : TClearStatus::Failed);
}

}  // namespace

TClearResult ClearCookieDatabase(const std::string& path, const TCookieTable& table, const std::string& site) {
  if (!QV_FileExists(path)) return ClearResultOf(TClearStatus::NotFound);
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(Utf8OfAnsi(path).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, TDatabaseCloser> db(raw);
  if (rc != SQLITE_OK) return Failure(db.get(), rc, path);
  sqlite3_busy_timeout(db.get(), kBusyWaitMs);
  // A database from outside may carry triggers or views: none of them may call our function.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_create_function_v2(db.get(), kSiteFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                             const_cast<std::string*>(&site), BelongsToSite, nullptr, nullptr, nullptr);
  // The write lock first: a browser that holds the database then leaves it untouched.
  rc = sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return Failure(db.get(), rc, path);
  const std::string sql =
      cookierules::CookieDeleteStatement(table.Table, table.HostColumn, !site.empty(), kSiteFunction);
  sqlite3_stmt* st = nullptr;
  rc = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st, nullptr);
  std::unique_ptr<sqlite3_stmt, TStatementCloser> statement(st);
  if (rc == SQLITE_OK) rc = sqlite3_step(statement.get());
  if (rc != SQLITE_DONE) {
    const TClearResult failure = Failure(db.get(), rc, path);
    statement.reset();
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    return failure;
  }
  const long long removed = sqlite3_changes(db.get());
  statement.reset();
  rc = sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    const TClearResult failure = Failure(db.get(), rc, path);
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    return failure;
  }
  return ClearResultOf(removed ? TClearStatus::Done : TClearStatus::NothingToRemove, removed);
}
