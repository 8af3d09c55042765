#include "framework/IniText.h"

#include <algorithm>

namespace {

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// text[b, e) without blanks at either end.
std::string Trimmed(const std::string& text, size_t b, size_t e) {
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

std::string IndexKey(const std::string& section, const std::string& key) {
  std::string k;
  k.reserve(section.size() + 1 + key.size());
  for (char c : section) k += LowerChar(c);
  k += '\n';
  for (char c : key) k += LowerChar(c);
  return k;
}

}  // namespace

bool SameTextA(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

std::string LowerA(const std::string& s) {
  std::string r(s);
  for (char& c : r) c = LowerChar(c);
  return r;
}

std::string TrimA(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

void TIniText::Clear() {
  sections_.clear();
  sectionIndex_.clear();
  index_.clear();
  indexValid_ = false;
}

size_t TIniText::SectionIndex(const std::string& name) {
  auto found = sectionIndex_.emplace(LowerA(name), sections_.size());
  if (found.second) sections_.push_back(Section{name, {}});
  return found.first->second;
}

void TIniText::Parse(const std::string& text) {
  Clear();
  const size_t kNone = static_cast<size_t>(-1);
  size_t current = kNone;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    // The line's trimmed bounds (trimming also drops the CR of CR LF); only the pieces that
    // are kept get copied.
    size_t b = pos, e = end;
    pos = end + 1;
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    if (b == e || text[b] == ';') continue;
    if (text[b] == '[' && text[e - 1] == ']' && e - b >= 2) {
      current = SectionIndex(Trimmed(text, b + 1, e - 1));
      continue;
    }
    if (current == kNone) continue;  // lines before the first section are dropped
    // Searched within the line only: a search on to the next "=" of the file would make a
    // file of lines without one quadratic.
    const size_t eq = static_cast<size_t>(std::find(text.begin() + b, text.begin() + e, '=') - text.begin());
    Line l;
    if (eq == e) {
      l.hasName = false;
      l.value.assign(text, b, e - b);
    } else {
      l.name = Trimmed(text, b, eq);
      l.value = Trimmed(text, eq + 1, e);
    }
    sections_[current].lines.push_back(std::move(l));
  }
}

std::string TIniText::Text() const {
  std::string out;
  for (const Section& s : sections_) {
    out += '[';
    out += s.name;
    out += "]\r\n";
    for (const Line& l : s.lines) {
      if (l.hasName) {
        out += l.name;
        out += '=';
      }
      out += l.value;
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

void TIniText::Reindex() const {
  index_.clear();
  for (size_t si = 0; si < sections_.size(); ++si) {
    const Section& s = sections_[si];
    for (size_t li = 0; li < s.lines.size(); ++li)
      if (s.lines[li].hasName) index_[IndexKey(s.name, s.lines[li].name)] = {si, li};
  }
  indexValid_ = true;
}

bool TIniText::Find(const std::string& section, const std::string& key, std::string* value) const {
  if (!indexValid_) Reindex();
  auto it = index_.find(IndexKey(section, key));
  if (it == index_.end()) return false;
  if (value) *value = sections_[it->second.first].lines[it->second.second].value;
  return true;
}

void TIniText::Set(const std::string& section, const std::string& key, const std::string& value) {
  if (!indexValid_) Reindex();
  const std::string indexKey = IndexKey(section, key);
  auto it = index_.find(indexKey);
  if (it != index_.end()) {
    sections_[it->second.first].lines[it->second.second].value = value;
    return;
  }
  const size_t si = SectionIndex(section);
  Line l;
  l.name = key;
  l.value = value;
  sections_[si].lines.push_back(std::move(l));
  index_.emplace(indexKey, std::make_pair(si, sections_[si].lines.size() - 1));
}
