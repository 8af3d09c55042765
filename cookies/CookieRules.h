// Platform-free rules of the cookie operations: the records of Internet Explorer's cookie files,
// Firefox's profile list and old cookie file, and the statement that clears a cookie database.
// Which host belongs to a site is siterule's. No Win32 here, so the rules can be fuzzed natively.
#pragma once

#include <string>
#include <vector>

namespace cookierules {

// Hosts of the records of a cookie file. A record is nine lines (name, value, "host/path",
// flags, two lines of expiry, two of creation, "*"); the host is the third line up to its first
// "/". Line ends may be CR LF or LF. A damaged record is skipped up to the next "*" line so
// that the records after it are still found.
std::vector<std::string> CookieFileHosts(const std::string& text);

// Whether any record of the cookie file text carries a host that belongs to the site.
bool CookieFileBelongsToSite(const std::string& text, const std::string& site);

// Whether a file name is that of a cookie file: it ends with ".txt" (any letter case). Wildcard
// searches also match through 8.3 short names, so "*.txt" finds "notes.txt2" as well.
bool IsCookieFileName(const std::string& name);

// The host of a cookie entry of the WinInet cache index ("Cookie:user@host/path"): the text
// between the first "@" and the next "/"; empty when the name is not of that form.
std::string CookieIndexHost(const std::string& sourceUrl);

// The profile folders a Firefox "profiles.ini" lists, from its [ProfileN] sections: with
// IsRelative=1 the Path (which may use "/") is taken under `iniFolder` (no trailing backslash),
// else as it stands. A relative path that climbs out with ".." and an empty path are skipped.
std::vector<std::string> FirefoxProfileFolders(const std::string& iniText, const std::string& iniFolder);

// A Netscape-format "cookies.txt" without the cookies `goes` selects by host, comments and blank
// lines kept; `removed` counts the cookie lines taken out. Lines of "#HttpOnly_" + host are
// cookies too. Line ends stay as they were.
template <typename Goes>
std::string NetscapeCookiesWithout(const std::string& text, Goes goes, long long* removed);
// The host of one line of such a file; empty for a comment, a blank or a damaged line.
std::string NetscapeCookieHost(const std::string& line);

// Major and minor of a version text such as "3.6.28 (en-US)" or "1.5.0.12"; false when it does
// not start with "major.minor".
bool ParseMajorMinor(const std::string& version, int* major, int* minor);

// The statement that removes the cookies of a database table: all of them when `perSite` is
// false, else those for which the SQL function `siteFunction`(host) is true.
std::string CookieDeleteStatement(const std::string& table, const std::string& hostColumn, bool perSite,
                                  const std::string& siteFunction);

template <typename Goes>
std::string NetscapeCookiesWithout(const std::string& text, Goes goes, long long* removed) {
  std::string kept;
  kept.reserve(text.size());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, end - start);
    const std::string host = NetscapeCookieHost(line);
    if (!host.empty() && goes(host)) ++*removed;
    else kept += line;
    start = end;
  }
  return kept;
}

}  // namespace cookierules
