#include "tools/UrlText.h"

#include <algorithm>
#include <cstdio>

namespace urltext {

namespace {

const char kHex[] = "0123456789ABCDEF";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendPercent(std::string* out, unsigned char b) {
  out->push_back('%');
  out->push_back(kHex[b >> 4]);
  out->push_back(kHex[b & 15]);
}

bool PassesUnencoded(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '*': case '@': case '.': case '_': case '-': case '$': case '!': case '\'': case '(': case ')':
      return true;
    default:
      return false;
  }
}

// A decimal integer as the version pieces are read: optional sign, digits only, within the
// 32-bit signed range (ten digits such as 1000000001 included); anything else reads as 0.
int64_t DecimalOrZero(const std::string& s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return 0;
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > limit) return 0;
  }
  return negative ? -v : v;
}

}  // namespace

std::string UrlEncode(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (PassesUnencoded(c))
      out.push_back(ch);
    else if (c == ' ')
      out.push_back('+');
    else
      AppendPercent(&out, c);
  }
  return out;
}

bool UrlDecode(const std::string& text, std::string* out) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      result.push_back(' ');
    } else if (c != '%') {
      result.push_back(c);
    } else if (i + 1 < text.size() && text[i + 1] == '%') {
      result.push_back('%');
      ++i;
    } else {
      int hi = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
      int lo = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
      if (hi < 0 || lo < 0) return false;
      result.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    }
  }
  *out = std::move(result);
  return true;
}

std::string HexEncode(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 15]);
  }
  return out;
}

uint32_t VersionToInt(const std::string& text) {
  std::string version = text.substr(0, text.find(' '));
  if (version.empty()) return 0;
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t dot = version.find('.', start);
    pieces.push_back(version.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (pieces.size() != 4) return 0;
  // Unsigned arithmetic keeps the low 32 bits, as the packed form does.
  uint32_t first = static_cast<uint32_t>(DecimalOrZero(pieces[0]));
  uint32_t result = first * 16777216u;
  result += (static_cast<uint32_t>(DecimalOrZero(pieces[1])) & 255u) << 16;
  result += (static_cast<uint32_t>(DecimalOrZero(pieces[2])) & 255u) << 8;
  result += static_cast<uint32_t>(DecimalOrZero(pieces[3])) & 255u;
  return result;
}

std::string AppendQuery(const std::string& address, const std::string& query) {
  if (address.empty()) return query;
  if (address.find('?') == std::string::npos) return address + "?" + query;
  char last = address.back();
  if (last == '&' || last == '?') return address + query;
  return address + "&" + query;
}

std::string TQueryPairs::Value(const std::string& name) const {
  for (const auto& item : Items)
    if (SameTextNoCase(item.first, name)) return item.second;
  return std::string();
}

void TQueryPairs::Set(const std::string& name, const std::string& value) {
  for (auto it = Items.begin(); it != Items.end(); ++it) {
    if (!SameTextNoCase(it->first, name)) continue;
    if (value.empty())
      Items.erase(it);
    else
      it->second = value;
    return;
  }
  if (!value.empty()) Items.emplace_back(name, value);
}

std::vector<std::string> TQueryPairs::Lines() const {
  std::vector<std::string> lines;
  for (const auto& item : Items) lines.push_back(item.first + "=" + item.second);
  return lines;
}

void ParseQuery(const std::string& address, TQueryPairs* pairs, bool decode) {
  std::string rest = address;
  size_t question = rest.find('?');
  if (question != std::string::npos) rest.erase(0, question + 1);
  size_t colon = rest.find(':');
  if (colon != std::string::npos) rest.erase(0, colon + 1);
  if (rest.empty()) return;
  size_t start = 0;
  for (;;) {
    size_t amp = rest.find('&', start);
    std::string item = rest.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
    size_t eq = item.find('=');
    std::string name = item.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
    bool usable = true;
    if (decode) usable = UrlDecode(value, &value);
    if (usable) pairs->Set(name, value);
    if (amp == std::string::npos) break;
    start = amp + 1;
  }
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && SameTextNoCase(text.substr(0, prefix.size()), prefix);
}

bool SameTextNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string ReplaceAllNoCase(const std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= what.size() && SameTextNoCase(text.substr(i, what.size()), what)) {
      out += with;
      i += what.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

bool HasVisibleText(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > ' ') return true;
  return false;
}

bool ParseDownloadAddress(const std::string& url, TDownloadAddress* out) {
  for (char c : url)
    if (static_cast<unsigned char>(c) <= ' ' || c == 127) return false;
  TDownloadAddress a;
  std::string rest = url;
  if (StartsWithNoCase(rest, "https://")) {
    a.Secure = true;
    a.Port = 443;
    rest.erase(0, 8);
  } else if (StartsWithNoCase(rest, "http://")) {
    rest.erase(0, 7);
  } else if (rest.find("://") != std::string::npos || StartsWithNoCase(rest, "file:") ||
             StartsWithNoCase(rest, "wcme:")) {
    return false;
  }
  const size_t end = rest.find_first_of("/?#");
  std::string authority = rest.substr(0, end);
  a.Object = end == std::string::npos ? "/" : rest.substr(end);
  a.Object.erase(std::min(a.Object.find('#'), a.Object.size()));  // a fragment is never sent
  if (a.Object.empty() || a.Object[0] != '/') a.Object.insert(0, "/");
  if (authority.find('@') != std::string::npos || authority.find('\\') != std::string::npos) return false;
  const size_t colon = authority.find(':');
  if (colon != std::string::npos) {
    const std::string port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    unsigned n = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n == 0 || n > 65535) return false;
    a.Port = static_cast<uint16_t>(n);
    authority.erase(colon);
  }
  if (authority.empty()) return false;
  a.Server = authority;
  *out = a;
  return true;
}

std::string EscapeForCommandLine(const std::string& url) {
  std::string out;
  out.reserve(url.size());
  for (char ch : url) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c < 32 || c == 127)
      AppendPercent(&out, c);
    else
      out.push_back(ch);
  }
  return out;
}

std::string BrowserCommandLine(const std::string& command, const std::string& url) {
  if (command.find("%1") == std::string::npos) return command + "  \"" + url + "\"";
  // A bare %1 would split an address with blanks into several browser arguments: where the
  // registered command does not quote it, the address brings its own quotes.
  const std::string quoted = "\"" + url + "\"";
  std::string out;
  bool insideQuotes = false;
  for (size_t i = 0; i < command.size(); ++i) {
    if (command[i] == '"') insideQuotes = !insideQuotes;
    if (command[i] == '%' && i + 1 < command.size() && command[i + 1] == '1') {
      out += insideQuotes ? url : quoted;
      ++i;
    } else {
      out.push_back(command[i]);
    }
  }
  return out;
}

std::string ChannelName(const std::string& raw) {
  std::string channel;
  for (char c : raw)
    if (c != '"') channel.push_back(c);
  size_t last = channel.find_last_of("\\:");
  return last == std::string::npos ? channel : channel.substr(last + 1);
}

std::string BuildQueryParams(const TQueryInputs& in) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d%03d", in.Second % 100, in.Millisecond % 1000);
  char ver[16];
  std::snprintf(ver, sizeof ver, "%08X", static_cast<unsigned>(VersionToInt(in.AppVer)));
  std::string wver = std::to_string(in.WinMajor) + "_" + std::to_string(in.WinMinor) + "_" + in.ServicePack;
  std::string q = stamp;
  q += "&PID=" + UrlEncode(in.Pid.empty() ? in.MagicWord : in.Pid);
  q += "&LANG=" + UrlEncode(in.Language);
  q += "&DAY=" + UrlEncode(std::to_string(in.InstallAgeDays));
  q += "&RUNTIME=" + UrlEncode(std::to_string(in.RunTimes));
  q += "&VER=" + UrlEncode(ver);
  q += "&SVER=" + UrlEncode(std::to_string(in.SubVer));
  q += "&WVER=" + UrlEncode(wver);
  q += "&WLANG=" + UrlEncode(std::to_string(in.SystemLangId & 0xFFFFu));
  q += "&CHL=" + UrlEncode(HexEncode(ChannelName(in.Channel)));
  return q;
}

}  // namespace urltext
