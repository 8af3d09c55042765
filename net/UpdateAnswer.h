// The update server's answer as text: its lines, the fixed keys, the settings it pushes and what
// the update window is to show. No window handles, no files, no clock: the window gathers the
// inputs and applies the outcome, so the grammar tests by tables and can be fuzzed.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace updatetext {

// Splits at CR, LF or CR LF. A final line end adds no empty line.
std::vector<std::string> SplitAnswerLines(const std::string& text);
// The name is the text before the first "=", the value everything after it; false (nothing set)
// for a line without "=".
bool SplitNameValue(const std::string& line, std::string* name, std::string* value);
// Decimal integer with optional blanks around it and an optional sign; false when the text is not
// such a number or does not fit 32 bits.
bool ParseDecimal(const std::string& text, int* value);

// Whether an address may be handed to the shell or stored as a request address: it must begin
// with "http://" or "https://" (letter case aside), so that an answer can never name a local
// program or document.
bool IsWebAddress(const std::string& address);

// Whether the downloader can fetch the address: "http://" or "https://" (letter case aside), a
// host of letters, digits, "-" and ".", an optional port of 1 to 65535, then nothing or a path
// from "/" on without blanks, control characters or backslashes. No user name, no share, no
// local file.
bool IsFetchableAddress(const std::string& address);

// Whether a value may be stored as a banner address, which the banner's browser opens: a web
// address, or a place inside the program's folder ("%exepath%" first, letter case aside, and no
// ".." step out of it). An empty value names nothing and clears the address.
bool IsBannerAddress(const std::string& value);

// Bounds on what one answer may push. Each pushed setting is a write of the user's settings
// file and the answer is not authenticated, so a hostile one must neither keep the program
// writing nor fill the file.
constexpr size_t kMaxPushedLines = 256;   // "Banner." and "__MODIFY__." lines per answer
constexpr size_t kMaxPushedKey = 128;     // characters of the key stored
constexpr size_t kMaxPushedValue = 2048;  // characters of its value

// Why a pushed setting is refused; kPushAllowed when it may be stored.
enum TPushVerdict {
  kPushAllowed,
  kPushProtectedKey,  // "FireFoxPath", "Skin", "Language", "App.", "Path." or "Debug." keys:
                      // program paths, the files loaded at start, and identity
  kPushNotWebURL,     // an "URL." key whose value the downloader cannot fetch
  kPushBadKey,        // empty, padded, or a name the settings file would not read back as written
  kPushTooLong,       // a key or value past the bounds above
  kPushNotBannerAddress,  // a "Banner." key whose value is neither a web nor a program-folder address
};
// The verdict on storing `value` under `key` from a "__MODIFY__." line.
TPushVerdict CheckModifyPush(const std::string& key, const std::string& value);
// The verdict on a "Banner." line, stored under its full name.
TPushVerdict CheckBannerPush(const std::string& key, const std::string& value);
// The verdict on a key as such, shared by "Banner." lines: an empty key, one with blanks at either
// end or control characters anywhere, or one starting with "[" or ";" would be read back from the
// settings file as a different key or line (a section header or a comment).
bool IsStorableKey(const std::string& key);

// What the window knows when an answer arrives.
struct TAnswerInputs {
  std::string MagicWord;  // "App.MagicWord"
  bool Manual = false;    // the window's manual flag
  bool AutoCheck = false;     // "Update.AutoCheck"
  bool NoAutoCheck = false;   // "Update.NoAutoCheck"
  int RunTimes = 0;           // "RunTimes" as read at start-up
};

enum TAnswerShow {
  kShowNothing,      // leave the window as it is
  kShowNewVersion,   // Info and Page from the answer
  kShowLastVersion,  // the "Update.LastVersionAlready" text, no page
  kShowNetError,     // the "Update.NetError" text, no page
};

struct TAnswerOutcome {
  bool MagicMatched = false;
  TAnswerShow Show = kShowNothing;
  std::string Info;  // with kShowNewVersion
  std::string Page;  // with kShowNewVersion; empty when missing or not a web address
  // Settings to write, in answer order (a later one for the same key overwrites an earlier one).
  std::vector<std::pair<std::string, std::string>> Settings;
  // Lines skipped for safety, each with the reason (shortened), to be traced.
  std::vector<std::string> Refused;
  // Pushed lines past the first kMaxPushedLines, skipped unread: traced as one count.
  size_t PushesDropped = 0;
};

// Processes an answer whose check is still running: the magic word, the pushed settings, the
// mode gate and "Result".
TAnswerOutcome ProcessAnswer(const std::string& answer, const TAnswerInputs& in);

// The settings of an answer with each key once (letter case aside), at its first place with its
// last value: what writing them one after the other would leave in the file, in as few writes.
std::vector<std::pair<std::string, std::string>> MergePushes(
    const std::vector<std::pair<std::string, std::string>>& settings);

// The date-time as days since 30 December 1899 at midnight, the time of day as the fraction.
double DateTimeSerial(int year, int month, int day, int hour, int minute, int second, int millisecond);

}  // namespace updatetext
