// What a language file may change. Language files are passed around by users and may come from
// anywhere, so a text reaches only the few properties that show text, and only on the parts of
// a window that show it; a program, a file, an address, a setting or a component is never named
// by a translated property.
#pragma once

#include <string>
#include <vector>

enum class TTranslatedAs { Text, Lines };

struct TTranslatableProperty {
  const char* Name;
  TTranslatedAs As;  // Text: a string property; Lines: a property declared "TStrings"
};

// The only properties a translator writes, on the window, its controls, its panels and its
// menu items.
const std::vector<TTranslatableProperty>& TranslatableProperties();

// The entry for a property name (case-insensitive), or null when the name is not translated.
const TTranslatableProperty* FindTranslatableProperty(const std::string& name);

// The window's further deny list ("ExcludeProps"), one entry a line: "Class:" leaves every
// property of that class and the classes derived from it alone, ":Type" every property of that
// declared type, ".Property" every property of that name. Lines of any other shape are ignored;
// names compare without regard to case.
class TTranslationExcludes {
 public:
  explicit TTranslationExcludes(const std::vector<std::string>& lines);

  const std::vector<std::string>& Classes() const { return classes_; }
  bool ExcludesType(const std::string& typeName) const;
  bool ExcludesProperty(const std::string& propertyName) const;

 private:
  std::vector<std::string> classes_, types_, properties_;
};
