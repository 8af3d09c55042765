// The one rule of what a typed website names and which cookies belong to it, used for every
// browser. Platform-free, so it is tested and fuzzed natively.
#pragma once

#include <string>

namespace siterule {

// The site a typed text names, or empty when the text names none. The text is trimmed and
// lowered; a pasted address ("https://www.example.com:8080/p?q") is reduced to its host; a
// trailing dot and a leading "www." are dropped. What remains must be an IPv4 address, or a
// host of at least two labels of ASCII letters, digits and inner "-", that is not itself a
// public suffix ("com", "co.uk", "github.io"). Everything else ("@", brackets, blanks, quotes,
// wildcards, control characters, a lone word) names no site.
std::string SiteOfText(const std::string& text);

// Whether the text is a site as SiteOfText gives one: a lower-case IPv4 address or host name
// that is no public suffix, with nothing to trim or reduce. The operations take only such sites.
bool IsSite(const std::string& site);

// Whether a cookie's host belongs to the site: with a leading "." dropped, it equals the site or
// ends with "." + site, compared without regard to ASCII case. An IPv4 site matches only itself.
// An empty site matches nothing.
bool HostBelongsToSite(const std::string& host, const std::string& site);

// Whether the text is a dotted IPv4 address of four decimal parts of 0 to 255.
bool IsIPv4(const std::string& text);

}  // namespace siterule
