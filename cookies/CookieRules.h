// Platform-free rules of the cookie operations: which typed domain texts are safe to use, the
// site word cut from a domain, and which cookie records belong to a domain. No Win32 here, so
// the rules can be fuzzed natively.
#pragma once

#include <string>
#include <vector>

namespace cookierules {

// Whether a typed domain may be used at all. The text goes into a wildcard file pattern and
// into a quoted browser command line, so it may not hold a double quote, "\", "/", "*", "?",
// "<", ">", "|", ":", a blank or a control character; and its site word may not be empty
// (an empty one would turn the file pattern into "**.txt", every cookie).
bool IsSafeDomainText(const std::string& text);

// The typed text without a leading "www." (any letter case): the domain whose hosts match.
std::string MatchDomainOf(const std::string& text);

// The site word: the match domain up to its first ".", or all of it when it has none.
// "www.example.com" gives "example", "forum.example.com" gives "forum", "localhost" itself.
std::string SiteWordOf(const std::string& text);

// A cookie host matches a domain when, compared without regard to ASCII case and ignoring a
// leading "." on the host, it equals the domain or ends with "." + domain. An empty domain
// matches nothing.
bool HostMatchesDomain(const std::string& host, const std::string& domain);

// Hosts of the records of a cookie file. A record is nine lines (name, value, "host/path",
// flags, two lines of expiry, two of creation, "*"); the host is the third line up to its first
// "/". Line ends may be CR LF or LF. A damaged record is skipped up to the next "*" line so
// that the records after it are still found.
std::vector<std::string> CookieFileHosts(const std::string& text);

// Whether any record of the cookie file text carries a host that matches the domain.
bool CookieFileMatchesDomain(const std::string& text, const std::string& domain);

// Whether a file name is that of a cookie file: it ends with ".txt" (any letter case). Wildcard
// searches also match through 8.3 short names, so "*.txt" finds "notes.txt2" as well.
bool IsCookieFileName(const std::string& name);

// The host of a cookie entry of the WinInet cache index ("Cookie:user@host/path"): the text
// between the first "@" and the next "/"; empty when the name is not of that form.
std::string CookieIndexHost(const std::string& sourceUrl);

}  // namespace cookierules
