#include "cookies/CookieRules.h"

namespace cookierules {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, size_t from, const std::string& b) {
  if (a.size() - from != b.size()) return false;
  for (size_t i = 0; i < b.size(); ++i)
    if (LowerAscii(a[from + i]) != LowerAscii(b[i])) return false;
  return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i]; ++i)
    if (i >= text.size() || LowerAscii(text[i]) != prefix[i]) return false;
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

const size_t kRecordLines = 9;
const size_t kHostLine = 2;

}  // namespace

bool IsSafeDomainText(const std::string& text) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return false;
    switch (c) {
      case '"': case '\\': case '/': case '*': case '?':
      case '<': case '>': case '|': case ':': case ' ':
        return false;
      default:
        break;
    }
  }
  return !SiteWordOf(text).empty();
}

std::string MatchDomainOf(const std::string& text) {
  return StartsWithNoCase(text, "www.") ? text.substr(4) : text;
}

std::string SiteWordOf(const std::string& text) {
  const std::string domain = MatchDomainOf(text);
  return domain.substr(0, domain.find('.'));
}

bool HostMatchesDomain(const std::string& host, const std::string& domain) {
  if (domain.empty()) return false;
  const size_t from = (!host.empty() && host[0] == '.') ? 1 : 0;
  const size_t length = host.size() - from;
  if (length == domain.size()) return EqualNoCase(host, from, domain);
  if (length > domain.size()) {
    const size_t dot = host.size() - domain.size() - 1;
    return host[dot] == '.' && EqualNoCase(host, dot + 1, domain);
  }
  return false;
}

std::vector<std::string> CookieFileHosts(const std::string& text) {
  const std::vector<std::string> lines = SplitLines(text);
  std::vector<std::string> hosts;
  size_t p = 0;
  while (p + kRecordLines <= lines.size()) {
    if (lines[p + kRecordLines - 1] == "*") {
      const std::string& line = lines[p + kHostLine];
      hosts.push_back(line.substr(0, line.find('/')));
      p += kRecordLines;
      continue;
    }
    // Out of step: resume after the next end-of-record line. The search starts past the value
    // line, since a cookie's value may itself be "*".
    size_t next = p + kHostLine;
    while (next < lines.size() && lines[next] != "*") ++next;
    p = next + 1;
  }
  return hosts;
}

bool CookieFileMatchesDomain(const std::string& text, const std::string& domain) {
  for (const std::string& host : CookieFileHosts(text))
    if (HostMatchesDomain(host, domain)) return true;
  return false;
}

bool IsCookieFileName(const std::string& name) {
  return name.size() >= 4 && EqualNoCase(name, name.size() - 4, ".txt");
}

std::string CookieIndexHost(const std::string& sourceUrl) {
  if (!StartsWithNoCase(sourceUrl, "cookie:")) return std::string();
  const size_t at = sourceUrl.find('@');
  if (at == std::string::npos) return std::string();
  const size_t slash = sourceUrl.find('/', at + 1);
  return sourceUrl.substr(at + 1, slash == std::string::npos ? std::string::npos : slash - at - 1);
}

}  // namespace cookierules
