// Removes cookies from a browser's SQLite cookie database: all of them, or one site's by the
// site rule. The database is changed through SQLite only, in one transaction, so its rollback
// journal or write-ahead log stay consistent with it; the files themselves are never copied,
// edited or deleted.
#pragma once

#include <string>

#include "cookies/CookieResult.h"

struct TCookieTable {
  const char* Table;       // "moz_cookies"
  const char* HostColumn;  // "host"; a leading "." marks a cookie of the domain and its sub-domains
};

// `site` empty clears the whole table. Busy when the browser holds the database (open without
// sharing, locked, or busy past a short wait); NotFound when the file does not exist; Failed
// when it is no such database.
TClearResult ClearCookieDatabase(const std::string& path, const TCookieTable& table, const std::string& site);
