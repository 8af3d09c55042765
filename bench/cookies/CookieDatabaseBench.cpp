// One site's cookies deleted from a Firefox cookie database of 100,000 rows (a tenth of them the
// site's), next to one bare SQLite DELETE of the same rows. Each run starts from a fresh copy of
// the same database file; the two alternate and the best of each counts.
#include <windows.h>

#include <sqlite3.h>

#include <string>

#include "Bench.h"
#include "cookies/CookieDatabase.h"

namespace {

const int kRows = 100000;

bool Exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

bool MakeTemplate(const std::string& path) {
  DeleteFileA(path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  bool ok = Exec(db, "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '',"
                     " name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER,"
                     " creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER,"
                     " CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes))") &&
            Exec(db, "BEGIN");
  sqlite3_stmt* st = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO moz_cookies (name, value, host, path) VALUES (?1, 'v', ?2, '/')", -1,
                                &st, nullptr) == SQLITE_OK;
  for (int i = 0; ok && i < kRows; ++i) {
    const std::string host = i % 10 == 0 ? (i % 20 ? ".example.com" : "www.example.com")
                                         : "site" + std::to_string(i % 5000) + ".net";
    const std::string name = "n" + std::to_string(i);
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, host.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  ok = ok && Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

double TimeProgram(const std::string& base, const std::string& work) {
  if (!CopyFileA(base.c_str(), work.c_str(), FALSE)) return -1;
  const double t0 = QmBenchNow();
  const TClearResult r = ClearCookieDatabase(work, {"moz_cookies", "host"}, "example.com");
  const double s = QmBenchNow() - t0;
  return r.Status == TClearStatus::Done && r.Removed == kRows / 10 ? s : -1;
}

// What a hand-written statement of the same rows costs: open, one transaction, one DELETE.
double TimeBare(const std::string& base, const std::string& work) {
  if (!CopyFileA(base.c_str(), work.c_str(), FALSE)) return -1;
  const double t0 = QmBenchNow();
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(work.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            Exec(db, "BEGIN IMMEDIATE") &&
            Exec(db, "DELETE FROM moz_cookies WHERE host = 'example.com' OR host LIKE '%.example.com'") &&
            sqlite3_changes(db) == kRows / 10 && Exec(db, "COMMIT");
  sqlite3_close(db);
  const double s = QmBenchNow() - t0;
  return ok ? s : -1;
}

}  // namespace

int main() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "qm-bench-cookies.sqlite";
  const std::string work = std::string(temp) + "qm-bench-work.sqlite";
  if (!MakeTemplate(base)) return 1;
  double best = -1, bestBare = -1;
  for (int i = 0; i < 5; ++i) {
    const double a = TimeProgram(base, work);
    const double b = TimeBare(base, work);
    if (a < 0 || b < 0) return 1;
    if (best < 0 || a < best) best = a;
    if (bestBare < 0 || b < bestBare) bestBare = b;
  }
  DeleteFileA(base.c_str());
  DeleteFileA(work.c_str());
  QmBenchRow("site deleted, cookies.sqlite 100000 rows (ms)", QmBenchFmt("%.1f", best * 1000),
             QmBenchFmt("%.1f (one bare DELETE)", bestBare * 1000), best / bestBare, "<= 1.2");
  return 0;
}
