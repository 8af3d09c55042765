// The language file format as text: line splitting, trimming, sections and key lines, value
// markers, "{AppName}" and the lookup index. Knows nothing of files, windows or components, so
// it can be tested and fuzzed natively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Upper-cases a name in place for comparison. The default folds ASCII letters only; the
// Windows layer supplies one that follows the system's ANSI code page.
using TLanFold = void (*)(std::string& s);
void LanFoldAscii(std::string& s);

// The text of a file's bytes: everything before the first zero byte.
std::string_view LanTextFromBytes(std::string_view bytes);
// Lines ending at CR LF, a lone CR or a lone LF; a final line break adds no empty line.
std::vector<std::string> LanSplitLines(std::string_view text);
// Without leading and trailing blanks and control characters.
std::string_view LanTrim(std::string_view s);
// "<BR>" becomes CR LF, then "<SP>" one blank; both matched without regard to case.
std::string LanDecodeValue(std::string_view raw);
// Replaces every "{AppName}" (any letter case) by `appName`; the inserted text is not searched
// again, so an application name that itself holds the placeholder cannot loop.
void LanReplaceAppName(std::string& value, std::string_view appName);
// "Component.Property", or the property alone when there is no component name.
std::string LanKey(std::string_view componentName, std::string_view propertyName);
// Case-insensitive (ASCII) equality, for fixed names such as "AppRes".
bool LanSameText(std::string_view a, std::string_view b);

// The index of one text set: sections, each with its key lines. Lines are fed one at a time
// (AddLine), in order. A later section of a name replaces an earlier one; a later key line
// in a section wins over an earlier one. Keys and values live in one pool, and one open-
// addressing table finds a (section, key) pair, so that a very large file stays compact and
// a lookup touches neither the lines nor the file.
class TLanIndex {
 public:
  explicit TLanIndex(TLanFold fold = LanFoldAscii) : fold_(fold) {}

  void Clear();
  // Format rules 3 to 6 for one line of text.
  void AddLine(std::string_view line);
  // Convenience for whole texts (splits with LanSplitLines' rules).
  void AddText(std::string_view text);

  // The decoded value of the later line with `key` in the later section named `section`.
  bool Find(std::string_view section, std::string_view key, std::string* value) const;
  // The same for the key "componentName.propertyName" (propertyName alone when componentName
  // is empty), without building the key text first.
  bool Find(std::string_view section, std::string_view componentName, std::string_view propertyName,
            std::string* value) const;
  // The raw (undecoded) value, valid until the next change.
  bool FindRaw(std::string_view section, std::string_view key, std::string_view* raw) const;
  // The section's key lines in order as (key, decoded value), the value being what Find gives
  // for that key (the later line's); lines without "=" are left out.
  std::vector<std::pair<std::string, std::string>> SectionPairs(std::string_view section) const;
  // Each key of the section once, at the place of its first line, spelled as its later line
  // and with that line's decoded value: what setting the pairs into an empty string list one
  // by one would leave (empty values included, which such a list would drop).
  std::vector<std::pair<std::string, std::string>> SectionEntries(std::string_view section) const;

  size_t KeyLineCount() const { return lines_.size(); }

 private:
  struct Line {
    uint32_t section;
    // Offsets and lengths in pool_: the key as written, the folded key (an ANSI fold may
    // change the length) and the raw value.
    uint32_t key, keyLen;
    uint32_t folded, foldedLen;
    uint32_t raw, rawLen;
    uint32_t hash;
  };
  std::string Folded(std::string_view s) const;
  uint32_t Append(std::string_view s);
  std::string_view View(uint32_t off, uint32_t len) const { return std::string_view(pool_).substr(off, len); }
  static uint32_t Hash(uint32_t section, std::string_view foldedKey);
  // The slot of (section, folded key): its line index + 1, or the empty slot where it goes.
  size_t Probe(uint32_t section, std::string_view foldedKey, uint32_t hash) const;
  void Grow();
  bool SectionId(std::string_view section, uint32_t* id) const;
  // Looks up the folded key that scratch_ holds.
  bool FindScratch(std::string_view section, std::string_view* raw) const;

  TLanFold fold_;
  std::string pool_;
  std::vector<Line> lines_;
  std::vector<uint32_t> slots_;  // line index + 1; 0 is empty
  std::unordered_map<std::string, uint32_t> sections_;  // folded name -> current section id
  uint32_t nextSection_ = 0;
  bool inSection_ = false;
  uint32_t current_ = 0;
  // Lookup helpers, so that a lookup allocates nothing: the folded key is built in scratch_,
  // and the section of the previous lookup is remembered (a translator asks for one section
  // many times in a row). Only the user-interface thread looks texts up.
  mutable std::string scratch_;
  mutable std::string lastSection_;
  mutable uint32_t lastSectionId_ = 0;
  mutable bool lastSectionValid_ = false;
};
