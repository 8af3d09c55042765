#include "cookies/CookieRules.h"

#include "cookies/SiteRule.h"
#include "framework/IniText.h"

namespace cookierules {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, size_t from, const std::string& b) {
  if (from > a.size()) return false;
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

bool CookieFileBelongsToSite(const std::string& text, const std::string& site) {
  for (const std::string& host : CookieFileHosts(text))
    if (siterule::HostBelongsToSite(host, site)) return true;
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

std::vector<std::string> FirefoxProfileFolders(const std::string& iniText, const std::string& iniFolder) {
  const TIniText ini(iniText);
  std::vector<std::string> folders;
  for (const TIniText::Section& section : ini.Sections()) {
    if (!StartsWithNoCase(section.name, "profile")) continue;
    std::string path, relative;
    if (!ini.Find(section.name, "Path", &path)) continue;
    ini.Find(section.name, "IsRelative", &relative);
    for (char& c : path)
      if (c == '/') c = '\\';
    while (!path.empty() && path.back() == '\\') path.pop_back();
    if (path.empty()) continue;
    if (TrimA(relative) == "1") {
      if (("\\" + path + "\\").find("\\..\\") != std::string::npos || path[0] == '\\' ||
          path.find(':') != std::string::npos)
        continue;
      path = iniFolder + "\\" + path;
    }
    folders.push_back(path);
  }
  return folders;
}

std::string NetscapeCookieHost(const std::string& line) {
  std::string body = line;
  while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
  static const char kHttpOnly[] = "#HttpOnly_";
  if (body.compare(0, sizeof kHttpOnly - 1, kHttpOnly) == 0) body.erase(0, sizeof kHttpOnly - 1);
  else if (body.empty() || body[0] == '#') return std::string();
  // host, include-sub-domains flag, path, secure flag, expiry, name, value: seven fields
  size_t tabs = 0;
  for (char c : body) tabs += c == '\t';
  if (tabs < 6) return std::string();
  return body.substr(0, body.find('\t'));
}

bool ParseMajorMinor(const std::string& version, int* major, int* minor) {
  size_t i = 0;
  auto number = [&](int* out) {
    const size_t from = i;
    long value = 0;
    while (i < version.size() && version[i] >= '0' && version[i] <= '9' && i - from < 6)
      value = value * 10 + (version[i++] - '0');
    *out = static_cast<int>(value);
    return i > from;
  };
  if (!number(major) || i >= version.size() || version[i] != '.') return false;
  ++i;
  return number(minor);
}

std::string CookieDeleteStatement(const std::string& table, const std::string& hostColumn, bool perSite,
                                  const std::string& siteFunction) {
  std::string sql = "DELETE FROM \"" + table + "\"";
  if (perSite) sql += " WHERE " + siteFunction + "(\"" + hostColumn + "\")";
  return sql;
}

}  // namespace cookierules
