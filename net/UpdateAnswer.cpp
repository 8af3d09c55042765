#include "net/UpdateAnswer.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "tools/UrlText.h"

namespace updatetext {

using urltext::SameTextNoCase;
using urltext::StartsWithNoCase;

namespace {

const char kBannerPrefix[] = "Banner.";
const char kModifyPrefix[] = "__MODIFY__.";
const size_t kModifyPrefixLength = sizeof(kModifyPrefix) - 1;  // 11

// Calls `visit(line)` for every line of `text` (split at CR, LF or CR LF) without copying it: an
// answer may hold a million lines.
template <typename Visit>
void ForEachLine(const std::string& text, Visit visit) {
  const std::string_view all(text);
  size_t start = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] != '\r' && all[i] != '\n') continue;
    visit(all.substr(start, i - start));
    if (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < all.size()) visit(all.substr(start));
}

// The name and value of a line; false for a line without "=".
bool SplitLine(std::string_view line, std::string_view* name, std::string_view* value) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  *name = line.substr(0, eq);
  *value = line.substr(eq + 1);
  return true;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The line-walking forms of the case-insensitive tests, free of copies.
bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}
bool HasPrefixNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The first value of each fixed key (letter case aside).
struct TFixedKeys {
  std::string MagicWord, Result, Info, Page;
};

TFixedKeys FindFixedKeys(const std::string& answer) {
  TFixedKeys keys;
  bool magic = false, result = false, info = false, page = false;
  ForEachLine(answer, [&](std::string_view line) {
    std::string_view name, value;
    if (!SplitLine(line, &name, &value)) return;
    auto takeFirst = [&](const char* key, bool* seen, std::string* into) {
      if (*seen || !EqualsNoCase(name, key)) return;
      *seen = true;
      *into = std::string(value);
    };
    takeFirst("magicword", &magic, &keys.MagicWord);
    takeFirst("Result", &result, &keys.Result);
    takeFirst("info", &info, &keys.Info);
    takeFirst("page", &page, &keys.Page);
  });
  return keys;
}

// A refused line as traced: long keys and values are cut, so that one line cannot flood the trace.
std::string RefusalText(std::string_view name, std::string_view value, const char* reason) {
  const size_t kShown = 160;
  std::string line = std::string(name.substr(0, kShown)) + (name.size() > kShown ? "..." : "");
  line += "=" + std::string(value.substr(0, kShown)) + (value.size() > kShown ? "..." : "");
  return line + " (" + reason + ")";
}

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ' || c == 127;
}

const char* VerdictText(TPushVerdict v) {
  switch (v) {
    case kPushProtectedKey: return "protected key";
    case kPushNotWebURL: return "not a web address";
    case kPushBadKey: return "bad key";
    case kPushTooLong: return "too long";
    case kPushNotBannerAddress: return "not a web or program-folder address";
    default: return "";
  }
}

}  // namespace

std::vector<std::string> SplitAnswerLines(const std::string& text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

bool SplitNameValue(const std::string& line, std::string* name, std::string* value) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  *name = line.substr(0, eq);
  *value = line.substr(eq + 1);
  return true;
}

bool ParseDecimal(const std::string& text, int* value) {
  size_t i = 0, end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == end) return false;
  long long n = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + (text[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) n = -n;
  if (n > INT_MAX || n < INT_MIN) return false;
  *value = static_cast<int>(n);
  return true;
}

bool IsWebAddress(const std::string& address) {
  return StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
}

bool IsFetchableAddress(const std::string& address) {
  size_t at = 0;
  if (StartsWithNoCase(address, "http://"))
    at = 7;
  else if (StartsWithNoCase(address, "https://"))
    at = 8;
  else
    return false;
  const size_t hostEnd = std::min(address.find_first_of(":/", at), address.size());
  if (hostEnd == at) return false;
  for (size_t i = at; i < hostEnd; ++i) {
    const char c = address[i];
    const bool hostChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.';
    if (!hostChar) return false;
  }
  size_t pathStart = hostEnd;
  if (hostEnd < address.size() && address[hostEnd] == ':') {
    pathStart = std::min(address.find('/', hostEnd), address.size());
    int port = 0;
    const std::string digits = address.substr(hostEnd + 1, pathStart - hostEnd - 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos ||
        !ParseDecimal(digits, &port) || port < 1 || port > 65535)
      return false;
  }
  // The rest goes into the request line as it is: a blank, a control character or a backslash
  // would end it or be read as another address.
  for (size_t i = pathStart; i < address.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(address[i]);
    if (c <= ' ' || c == 127 || c == '\\') return false;
  }
  return true;
}

bool IsStorableKey(const std::string& key) {
  if (key.empty() || key[0] == '[' || key[0] == ';') return false;
  for (char c : key)
    if (IsBlankOrControl(c) && c != ' ') return false;
  return key.front() != ' ' && key.back() != ' ';
}

bool IsBannerAddress(const std::string& value) {
  if (value.empty() || IsWebAddress(value)) return true;
  static const char kExePath[] = "%exepath%";
  if (!StartsWithNoCase(value, kExePath)) return false;
  // "%exepath%\..\.." would reach any local file, the path the rule keeps out.
  const std::string rest = value.substr(sizeof kExePath - 1);
  for (size_t at = rest.find(".."); at != std::string::npos; at = rest.find("..", at + 1)) {
    const bool stepStart = at == 0 || rest[at - 1] == '\\' || rest[at - 1] == '/';
    const bool stepEnd = at + 2 == rest.size() || rest[at + 2] == '\\' || rest[at + 2] == '/';
    if (stepStart && stepEnd) return false;
  }
  return true;
}

TPushVerdict CheckBannerPush(const std::string& key, const std::string& value) {
  if (!IsStorableKey(key)) return kPushBadKey;
  if (key.size() > kMaxPushedKey || value.size() > kMaxPushedValue) return kPushTooLong;
  // The banner's browser opens these addresses: a share or a local path could be a program.
  if (!IsBannerAddress(value)) return kPushNotBannerAddress;
  return kPushAllowed;
}

TPushVerdict CheckModifyPush(const std::string& key, const std::string& value) {
  if (!IsStorableKey(key)) return kPushBadKey;
  if (key.size() > kMaxPushedKey || value.size() > kMaxPushedValue) return kPushTooLong;
  // A pushed value lands in the user's settings file, which outranks both constant files, and
  // the answer is not authenticated: the path of a program the cleaner starts, the
  // installation's identity, the debug switches and the folders stay out of its reach.
  // The skin and language names choose files that are loaded at every start; the transfer
  // limits could be shortened until no later check, this one's fix among them, could finish.
  if (SameTextNoCase(key, "FireFoxPath") || SameTextNoCase(key, "Skin") || SameTextNoCase(key, "Language") ||
      StartsWithNoCase(key, "App.") || StartsWithNoCase(key, "Path.") || StartsWithNoCase(key, "Debug.") ||
      StartsWithNoCase(key, "Net."))
    return kPushProtectedKey;
  // Request addresses are fetched by the downloader and opened by the shell: only addresses
  // the downloader can fetch, never a local program or a share.
  if (StartsWithNoCase(key, "URL.") && !IsFetchableAddress(value)) return kPushNotWebURL;
  // A banner key set this way obeys the rule of the "Banner." lines.
  if (StartsWithNoCase(key, kBannerPrefix) && !IsBannerAddress(value)) return kPushNotBannerAddress;
  return kPushAllowed;
}

namespace {

// Walks the "Banner." and "__MODIFY__." lines in order, up to the bound, into `out`.
void CollectPushes(const std::string& answer, TAnswerOutcome* out) {
  size_t pushed = 0;
  ForEachLine(answer, [&](std::string_view line) {
    std::string_view name, value;
    if (!SplitLine(line, &name, &value)) return;
    const bool banner = HasPrefixNoCase(name, kBannerPrefix);
    const bool modify = !banner && HasPrefixNoCase(name, kModifyPrefix);
    if (!banner && !modify) return;
    if (++pushed > kMaxPushedLines) {
      ++out->PushesDropped;
      return;
    }
    const std::string key(banner ? name : name.substr(kModifyPrefixLength));
    const std::string text(value.substr(0, kMaxPushedValue + 1));  // enough to see it is too long
    TPushVerdict verdict = banner ? CheckBannerPush(key, text) : CheckModifyPush(key, text);
    if (verdict == kPushAllowed)
      out->Settings.emplace_back(key, text);
    else
      out->Refused.push_back(RefusalText(name, value, VerdictText(verdict)));
  });
}

}  // namespace

TAnswerOutcome ProcessAnswer(const std::string& answer, const TAnswerInputs& in) {
  TAnswerOutcome out;
  const TFixedKeys keys = FindFixedKeys(answer);

  // Anything but the update server (an error page sent with a success status, a captive portal)
  // lacks the word: such an answer is a failed request and pushes nothing.
  if (!SameTextNoCase(keys.MagicWord, in.MagicWord)) {
    out.Show = in.Manual ? kShowNetError : kShowNothing;
    return out;
  }
  out.MagicMatched = true;
  CollectPushes(answer, &out);

  if (!in.Manual && (!in.AutoCheck || in.NoAutoCheck || in.RunTimes == 0)) return out;

  int result = 0;
  if (!ParseDecimal(keys.Result, &result)) result = 0;
  if (result == 1) {
    out.Show = kShowNewVersion;
    out.Info = keys.Info;
    out.Page = keys.Page;
    // The shell opens this address when the user accepts: a web page, never a local program.
    if (!out.Page.empty() && !IsWebAddress(out.Page)) {
      out.Refused.push_back(RefusalText("page", out.Page, VerdictText(kPushNotWebURL)));
      out.Page.clear();
    }
  } else if (result == 0 && in.Manual) {
    out.Show = kShowLastVersion;
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> MergePushes(
    const std::vector<std::pair<std::string, std::string>>& settings) {
  std::vector<std::pair<std::string, std::string>> merged;
  for (const auto& kv : settings) {
    auto same = [&](const std::pair<std::string, std::string>& m) { return SameTextNoCase(m.first, kv.first); };
    auto it = std::find_if(merged.begin(), merged.end(), same);
    if (it == merged.end())
      merged.push_back(kv);
    else
      it->second = kv.second;
  }
  return merged;
}

double DateTimeSerial(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  // Days from the civil calendar (proleptic Gregorian), counted from 1 March of year 0.
  auto daysFromCivil = [](long long y, long long m, long long d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
  };
  const long long days = daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30);
  const double fraction = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
  return static_cast<double>(days) + fraction;
}

}  // namespace updatetext
