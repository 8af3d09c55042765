#include "framework/IniText.h"

namespace {

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string IndexKey(const std::string& section, const std::string& key) {
  return LowerA(section) + '\n' + LowerA(key);
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
  indexValid_ = false;
}

void TIniText::Parse(const std::string& text) {
  Clear();
  Section* current = nullptr;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = TrimA(text.substr(pos, end - pos));  // also drops the CR of CR LF
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      std::string name = TrimA(line.substr(1, line.size() - 2));
      current = FindSection(name);
      if (!current) {
        sections_.push_back(Section{name, {}});
        current = &sections_.back();
      }
      continue;
    }
    if (!current) continue;  // lines before the first section are dropped
    size_t eq = line.find('=');
    Line l;
    if (eq == std::string::npos) {
      l.hasName = false;
      l.value = line;
    } else {
      l.name = TrimA(line.substr(0, eq));
      l.value = TrimA(line.substr(eq + 1));
    }
    current->lines.push_back(std::move(l));
  }
  indexValid_ = false;
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

TIniText::Section* TIniText::FindSection(const std::string& name) {
  for (Section& s : sections_)
    if (SameTextA(s.name, name)) return &s;
  return nullptr;
}

const TIniText::Section* TIniText::FindSection(const std::string& name) const {
  for (const Section& s : sections_)
    if (SameTextA(s.name, name)) return &s;
  return nullptr;
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
  auto it = index_.find(IndexKey(section, key));
  if (it != index_.end()) {
    sections_[it->second.first].lines[it->second.second].value = value;
    return;
  }
  Section* s = FindSection(section);
  if (!s) {
    sections_.push_back(Section{section, {}});
    s = &sections_.back();
  }
  Line l;
  l.name = key;
  l.value = value;
  s->lines.push_back(std::move(l));
  indexValid_ = false;
}
