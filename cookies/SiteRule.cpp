#include "cookies/SiteRule.h"

#include "cookies/PublicSuffixTable.h"

namespace siterule {

namespace {

const size_t kMaxHost = 253;
const size_t kMaxLabel = 63;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetterOrDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z'); }

std::string Trimmed(const std::string& text) {
  const char* const kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string Lowered(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

// "scheme://host:port/path?query#part" to "host"; a text without a scheme loses its path too.
// A port must be digits; anything else after ":" leaves a ":" that the host check refuses.
std::string HostOfAddress(const std::string& text) {
  std::string rest = text;
  const size_t scheme = rest.find("://");
  if (scheme != std::string::npos) {
    for (size_t i = 0; i < scheme; ++i)
      if (!IsLetterOrDigit(rest[i]) && rest[i] != '+' && rest[i] != '-' && rest[i] != '.') return text;
    rest = rest.substr(scheme + 3);
  }
  rest = rest.substr(0, rest.find_first_of("/?#"));
  const size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    const std::string port = rest.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
      return rest;
    rest.resize(colon);
  }
  return rest;
}

bool IsHostName(const std::string& host) {
  if (host.empty() || host.size() > kMaxHost) return false;
  size_t labels = 0, start = 0;
  std::string last;
  while (start <= host.size()) {
    size_t end = host.find('.', start);
    if (end == std::string::npos) end = host.size();
    const std::string label = host.substr(start, end - start);
    if (label.empty() || label.size() > kMaxLabel || label.front() == '-' || label.back() == '-') return false;
    for (char c : label)
      if (!IsLetterOrDigit(c) && c != '-') return false;
    ++labels;
    last = label;
    start = end + 1;
  }
  // A last label of digits only would make "1.2.3" or "1.2.3.4.5" a host: addresses that are
  // not IPv4 name no site.
  return labels >= 2 && last.find_first_not_of("0123456789") != std::string::npos;
}

bool EndsWithNoCase(const std::string& text, size_t from, const std::string& tail) {
  if (text.size() - from < tail.size()) return false;
  const size_t at = text.size() - tail.size();
  for (size_t i = 0; i < tail.size(); ++i)
    if (LowerAscii(text[at + i]) != tail[i]) return false;
  return true;
}

}  // namespace

bool IsIPv4(const std::string& text) {
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t digits = 0;
    int value = 0;
    while (i < text.size() && IsDigit(text[i]) && digits < 4) value = value * 10 + (text[i++] - '0'), ++digits;
    // "01" is refused: some readers take a leading zero for octal, so it would not name one host.
    if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[i - digits] == '0')) return false;
    if (++parts < 4) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
  }
  return i == text.size();
}

namespace {

std::string SiteOfHost(const std::string& host) {
  if (IsIPv4(host)) return host;
  if (!IsHostName(host) || publicsuffix::IsPublicSuffix(host)) return std::string();
  return host;
}

}  // namespace

std::string SiteOfText(const std::string& text) {
  std::string host = HostOfAddress(Lowered(Trimmed(text)));
  if (!host.empty() && host.back() == '.') host.pop_back();
  // "www." always goes, so "www.co.uk" is the suffix "co.uk" and names no site.
  if (host.compare(0, 4, "www.") == 0) host.erase(0, 4);
  return SiteOfHost(host);
}

bool IsSite(const std::string& site) { return !site.empty() && SiteOfHost(site) == site; }

bool HostBelongsToSite(const std::string& host, const std::string& site) {
  if (site.empty()) return false;
  const size_t from = (!host.empty() && host[0] == '.') ? 1 : 0;
  const size_t length = host.size() - from;
  if (length < site.size() || !EndsWithNoCase(host, from, site)) return false;
  if (length == site.size()) return true;
  return host[host.size() - site.size() - 1] == '.' && !IsIPv4(site);
}

}  // namespace siterule
