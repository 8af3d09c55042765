#include "lang/TranslationRules.h"

#include <algorithm>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool Holds(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&name](const std::string& n) { return SameName(n, name); });
}

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A name of an entry: identifier characters only, so that "A:B", "A.B" or ":" count as no entry.
bool IsName(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

}  // namespace

const std::vector<TTranslatableProperty>& TranslatableProperties() {
  static const std::vector<TTranslatableProperty> table = {
      {"Caption", TTranslatedAs::Text},
      {"Hint", TTranslatedAs::Text},
      {"Lines", TTranslatedAs::Lines},
      {"Items", TTranslatedAs::Lines},
  };
  return table;
}

const TTranslatableProperty* FindTranslatableProperty(const std::string& name) {
  for (const TTranslatableProperty& p : TranslatableProperties())
    if (SameName(p.Name, name)) return &p;
  return nullptr;
}

TTranslationExcludes::TTranslationExcludes(const std::vector<std::string>& lines) {
  for (const std::string& raw : lines) {
    const std::string line = Trimmed(raw);
    if (line.size() < 2) continue;
    if (line.back() == ':' && IsName(line.substr(0, line.size() - 1)))
      classes_.push_back(line.substr(0, line.size() - 1));
    else if (line[0] == ':' && IsName(line.substr(1)))
      types_.push_back(line.substr(1));
    else if (line[0] == '.' && IsName(line.substr(1)))
      properties_.push_back(line.substr(1));
  }
}

bool TTranslationExcludes::ExcludesType(const std::string& typeName) const { return Holds(types_, typeName); }

bool TTranslationExcludes::ExcludesProperty(const std::string& propertyName) const {
  return Holds(properties_, propertyName);
}
