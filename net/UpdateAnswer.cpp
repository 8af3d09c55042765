#include "net/UpdateAnswer.h"

#include <climits>

#include "tools/UrlText.h"

namespace updatetext {

using urltext::SameTextNoCase;
using urltext::StartsWithNoCase;

namespace {

const char kBannerPrefix[] = "Banner.";
const char kModifyPrefix[] = "__MODIFY__.";
const size_t kModifyPrefixLength = sizeof(kModifyPrefix) - 1;  // 11

struct TNamedLine {
  std::string Name, Value;
};

// The value of the first line named `name` (letter case aside); empty when there is none.
std::string FirstValue(const std::vector<TNamedLine>& lines, const char* name, bool* found = nullptr) {
  for (const TNamedLine& l : lines)
    if (SameTextNoCase(l.Name, name)) {
      if (found) *found = true;
      return l.Value;
    }
  if (found) *found = false;
  return std::string();
}

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ' || c == 127;
}

const char* VerdictText(TPushVerdict v) {
  switch (v) {
    case kPushProtectedKey: return "protected key";
    case kPushNotWebURL: return "not a web address";
    case kPushBadKey: return "bad key";
    default: return "";
  }
}

}  // namespace

std::vector<std::string> SplitAnswerLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
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

bool IsStorableKey(const std::string& key) {
  if (key.empty() || key[0] == '[' || key[0] == ';') return false;
  for (char c : key)
    if (IsBlankOrControl(c) && c != ' ') return false;
  return key.front() != ' ' && key.back() != ' ';
}

TPushVerdict CheckModifyPush(const std::string& key, const std::string& value) {
  if (!IsStorableKey(key)) return kPushBadKey;
  // A pushed value lands in the user's settings file, which outranks both constant files, and
  // the answer is not authenticated: the path of a program the cleaner starts, the
  // installation's identity, the debug switches and the folders stay out of its reach.
  if (SameTextNoCase(key, "FireFoxPath") || StartsWithNoCase(key, "App.") ||
      StartsWithNoCase(key, "Path.") || StartsWithNoCase(key, "Debug."))
    return kPushProtectedKey;
  // Request addresses are opened by the shell: only web addresses, never a local program.
  if (StartsWithNoCase(key, "URL.") && !IsWebAddress(value)) return kPushNotWebURL;
  return kPushAllowed;
}

TAnswerOutcome ProcessAnswer(const std::string& answer, const TAnswerInputs& in) {
  TAnswerOutcome out;
  std::vector<TNamedLine> lines;
  for (const std::string& raw : SplitAnswerLines(answer)) {
    TNamedLine l;
    if (SplitNameValue(raw, &l.Name, &l.Value)) lines.push_back(std::move(l));
  }

  // Anything but the update server (an error page sent with a success status, a captive portal)
  // lacks the word: such an answer is a failed request and pushes nothing.
  if (!SameTextNoCase(FirstValue(lines, "magicword"), in.MagicWord)) {
    out.Show = in.Manual ? kShowNetError : kShowNothing;
    return out;
  }
  out.MagicMatched = true;

  for (const TNamedLine& l : lines) {
    if (StartsWithNoCase(l.Name, kBannerPrefix)) {
      if (IsStorableKey(l.Name))
        out.Settings.emplace_back(l.Name, l.Value);
      else
        out.Refused.push_back(l.Name + "=" + l.Value + " (" + VerdictText(kPushBadKey) + ")");
    } else if (StartsWithNoCase(l.Name, kModifyPrefix)) {
      const std::string key = l.Name.substr(kModifyPrefixLength);
      const TPushVerdict verdict = CheckModifyPush(key, l.Value);
      if (verdict == kPushAllowed)
        out.Settings.emplace_back(key, l.Value);
      else
        out.Refused.push_back(l.Name + "=" + l.Value + " (" + VerdictText(verdict) + ")");
    }
  }

  if (!in.Manual && (!in.AutoCheck || in.NoAutoCheck || in.RunTimes == 0)) return out;

  int result = 0;
  if (!ParseDecimal(FirstValue(lines, "Result"), &result)) result = 0;
  if (result == 1) {
    out.Show = kShowNewVersion;
    out.Info = FirstValue(lines, "info");
    out.Page = FirstValue(lines, "page");
    // The shell opens this address when the user accepts: a web page, never a local program.
    if (!out.Page.empty() && !IsWebAddress(out.Page)) {
      out.Refused.push_back("page=" + out.Page + " (" + VerdictText(kPushNotWebURL) + ")");
      out.Page.clear();
    }
  } else if (result == 0 && in.Manual) {
    out.Show = kShowLastVersion;
  }
  return out;
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
