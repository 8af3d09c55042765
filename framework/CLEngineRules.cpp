#include "framework/CLEngineRules.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace clengine {

namespace {
char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool LessText(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return static_cast<unsigned char>(Fold(x)) <
                                                                  static_cast<unsigned char>(Fold(y)); });
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The system opens these as devices whatever the folder or extension ("langs\NUL.lan").
bool IsDeviceName(std::string stem) {
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = Fold(c);
  if (stem == "con" || stem == "nul" || stem == "aux" || stem == "prn") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}
}  // namespace

bool IsPlainName(const std::string& name) {
  if (name.empty() || name.size() > kMaxPlainName) return false;
  // A letter or digit first: no leading dot, blank or sign. Bytes of the ANSI code page beyond
  // ASCII are letters of other scripts.
  const unsigned char first = static_cast<unsigned char>(name[0]);
  if (!IsAsciiLetterOrDigit(name[0]) && first < 0x80) return false;
  for (char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 || c == 127 || std::string_view("\\/:*?\"<>|").find(ch) != std::string_view::npos) return false;
  }
  // The system drops a final dot or blank, so "Far." would open "Far".
  if (name.find("..") != std::string::npos || name.back() == '.' || name.back() == ' ') return false;
  return !IsDeviceName(name.substr(0, name.find('.')));
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

std::string ComposeTitle(const std::string& name, bool includeVer, const std::string& version) {
  return includeVer ? name + "  " + version : name;
}

bool UpdateCheckDue(double now, double last, int days) {
  double span = std::fabs(now - last);
  if (!std::isfinite(span)) return true;
  return std::trunc(span) >= static_cast<double>(days);
}

std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& args) {
  if (args.empty()) return text;
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '{') {
      size_t j = i + 1;
      while (j < text.size() && j - i <= 10 && text[j] >= '0' && text[j] <= '9') ++j;
      // Only the decimal form of a number counts: "{01}" is not "{1}".
      if (j < text.size() && text[j] == '}' && j > i + 1 && text[i + 1] != '0' && j - i <= 10) {
        size_t n = std::stoul(text.substr(i + 1, j - i - 1));
        if (n >= 1 && n <= args.size()) {
          out += args[n - 1];
          i = j + 1;
          continue;
        }
      }
    }
    out += text[i++];
  }
  return out;
}

std::string NameFromFileName(const std::string& path, int extensions) {
  std::string name = BaseName(path);
  for (int i = 0; i < extensions; ++i) name = WithoutExtension(name);
  return name;
}

bool HasExtension(const std::string& fileName, const std::string& ext) {
  return fileName.size() >= ext.size() && SameText(fileName.substr(fileName.size() - ext.size()), ext);
}

std::vector<std::string> BuildNameList(const std::string& builtIn, std::vector<std::string> files, int extensions) {
  std::stable_sort(files.begin(), files.end(),
                   [](const std::string& a, const std::string& b) { return LessText(BaseName(a), BaseName(b)); });
  std::vector<std::string> names{builtIn};
  for (const std::string& f : files) {
    std::string name = NameFromFileName(f, extensions);
    if (IsPlainName(BaseName(f)) && IsPlainName(name) && !SameText(name, builtIn)) names.push_back(name);
  }
  return names;
}

}  // namespace clengine
