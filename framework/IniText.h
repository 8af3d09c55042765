// The INI layout of the settings files, as text: parsing, lookup, change and the rewritten form.
// Knows nothing of files; the settings store reads and writes the bytes.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// Case-insensitive (ASCII) comparison and folding used for section and key names.
bool SameTextA(const std::string& a, const std::string& b);
std::string LowerA(const std::string& s);
// Trims blanks (space and control characters) at both ends.
std::string TrimA(const std::string& s);

class TIniText {
 public:
  // A line of a section: `hasName` is false for a line without "=", which is kept as `raw`.
  struct Line {
    std::string name;
    std::string value;
    bool hasName = true;
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  TIniText() = default;
  explicit TIniText(const std::string& text) { Parse(text); }

  // Replaces the content with the parsed text (CR LF or LF lines). A section name that occurs
  // again continues the first section of that name, so that one section is written back.
  // Linear in the text's length: a damaged or hostile file of many sections loads as fast as
  // any other of its size.
  void Parse(const std::string& text);
  // The whole file as written: sections in order of first appearance, lines in order,
  // an empty line after each section, CR LF line ends.
  std::string Text() const;

  // The value of the last occurrence of `key` in `section`; false when absent.
  bool Find(const std::string& section, const std::string& key, std::string* value) const;
  bool HasKey(const std::string& section, const std::string& key) const {
    return Find(section, key, nullptr);
  }
  // Changes the last occurrence of the key, or appends it to its section (a new section at
  // the end of the file).
  void Set(const std::string& section, const std::string& key, const std::string& value);

  const std::vector<Section>& Sections() const { return sections_; }
  void Clear();

 private:
  // The section of that name (ignoring case), added at the end when there is none.
  size_t SectionIndex(const std::string& name);
  void Reindex() const;

  std::vector<Section> sections_;
  // Lower-case section name -> its index in sections_; always current.
  std::unordered_map<std::string, size_t> sectionIndex_;
  // Index for lookups: lower-case "section\nkey" -> (section index, line index) of the last
  // occurrence. Built on the first lookup after a parse, then kept current by Set.
  mutable std::unordered_map<std::string, std::pair<size_t, size_t>> index_;
  mutable bool indexValid_ = false;
};
