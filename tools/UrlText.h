// Addresses and queries as text: form encoding, the installation query, version packing, query
// parsing, the downloader's address split and browser command lines. No window handles, no files,
// no clock: every input is passed in, so the functions test in milliseconds and can be fuzzed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace urltext {

// Form encoding of one value: letters, digits and * @ . _ - $ ! ' ( ) pass, a blank becomes "+",
// every other byte "%XX" (upper-case hexadecimal).
std::string UrlEncode(const std::string& text);
// Reverses the form encoding: "+" is a blank, "%XX" a byte, "%%" a "%". False (and `out`
// unchanged) when a "%" is followed by neither "%" nor two hexadecimal digits.
bool UrlDecode(const std::string& text, std::string* out);
// Every byte as two upper-case hexadecimal digits, high half first.
std::string HexEncode(const std::string& text);
// "a.b.c.d" (anything after the first blank ignored) packed as a<<24 | b<<16 | c<<8 | d, each
// piece kept to eight bits; 0 unless there are exactly four pieces. A piece is read as a 32-bit
// signed decimal, 0 when it is not one.
uint32_t VersionToInt(const std::string& text);
// Joins an address and a query with "?" or "&" as the address needs.
std::string AppendQuery(const std::string& address, const std::string& query);

// Name=value pairs in first-appearance order; names compare without regard to ASCII case.
struct TQueryPairs {
  std::vector<std::pair<std::string, std::string>> Items;
  // The value of `name`, empty when absent.
  std::string Value(const std::string& name) const;
  // Sets `name` to `value`; an empty value removes the name.
  void Set(const std::string& name, const std::string& value);
  // The pairs as "name=value" lines.
  std::vector<std::string> Lines() const;
};
// The pairs after the "?" (and after a following ":" as in "wcme:PAGE=x"), split at "&".
// With `decode`, values are form-decoded and an item that cannot be decoded is skipped.
void ParseQuery(const std::string& address, TQueryPairs* pairs, bool decode);

// Case-insensitive ASCII helpers shared by the callers of this unit.
bool StartsWithNoCase(const std::string& text, const std::string& prefix);
bool SameTextNoCase(const std::string& a, const std::string& b);
// Replaces every occurrence of `what` (ASCII case ignored) by `with`, in one pass.
std::string ReplaceAllNoCase(const std::string& text, const std::string& what, const std::string& with);
// Whether the text holds anything besides blanks and control characters.
bool HasVisibleText(const std::string& text);

// What the downloader connects to: "http://" or "https://" (any case; none means "http://"), the
// server, an optional ":port" (1-65535, else 80 or 443) and the object, from the first "/" on
// ("/" when the address has no path; a query right after the server gets a "/" in front).
struct TDownloadAddress {
  bool Secure = false;
  std::string Server;
  uint16_t Port = 80;
  std::string Object;
};
// False for an address the downloader refuses: another scheme, no server, user information
// ("user@host", which hides the real server from a reader), a port that is not a number in range,
// or any blank or control character (a line break in the object would add lines to the request).
bool ParseDownloadAddress(const std::string& url, TDownloadAddress* out);

// An address made safe for a command line: double quotes and control characters (0-31, 127)
// become "%XX", so the address can neither end its quoted argument nor add lines or arguments.
std::string EscapeForCommandLine(const std::string& url);
// The browser command line for `url` (already escaped): every "%1" of the registered command is
// replaced by it in one pass, in double quotes of its own where the command does not already
// quote that "%1"; without "%1", two blanks and the address in double quotes are appended.
std::string BrowserCommandLine(const std::string& command, const std::string& url);

// Everything the installation query describes, gathered by the caller.
struct TQueryInputs {
  int Second = 0;       // of the current local time, 0-59
  int Millisecond = 0;  // 0-999
  std::string Pid;        // "App.PID"
  std::string MagicWord;  // "App.MagicWord", sent when Pid is empty
  std::string Language;
  int64_t InstallAgeDays = 0;
  int64_t RunTimes = 0;
  std::string AppVer;  // "a.b.c.d"
  int64_t SubVer = 0;
  unsigned WinMajor = 0, WinMinor = 0;
  std::string ServicePack;
  unsigned SystemLangId = 0;
  std::string Channel;  // the raw "CHL" registry value
};
// The last path element of a channel value, double quotes removed: the text after its last "\"
// or ":".
std::string ChannelName(const std::string& raw);
// "sszzz&PID=...&LANG=...&DAY=...&RUNTIME=...&VER=...&SVER=...&WVER=...&WLANG=...&CHL=...".
std::string BuildQueryParams(const TQueryInputs& in);

}  // namespace urltext
