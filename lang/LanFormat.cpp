#include "lang/LanFormat.h"

#include <limits>

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when `text` holds `marker` (upper-case ASCII) at `pos`, ignoring letter case.
bool MarkerAt(std::string_view text, size_t pos, std::string_view marker) {
  if (text.size() - pos < marker.size()) return false;
  for (size_t i = 0; i < marker.size(); ++i)
    if (UpperAscii(text[pos + i]) != marker[i]) return false;
  return true;
}

constexpr std::string_view kAppNameMarker = "{APPNAME}";

}  // namespace

void LanFoldAscii(std::string& s) {
  for (char& c : s) c = UpperAscii(c);
}

bool LanSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

std::string_view LanTextFromBytes(std::string_view bytes) {
  size_t zero = bytes.find('\0');
  return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

std::vector<std::string> LanSplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string_view LanTrim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// One pass does both markers: a replacement never contains "<", so no marker can form across
// a replaced "<BR>", and the result equals replacing all "<BR>" first and all "<SP>" after.
std::string LanDecodeValue(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '<') {
      if (MarkerAt(raw, i, "<BR>")) {
        out += "\r\n";
        i += 3;
        continue;
      }
      if (MarkerAt(raw, i, "<SP>")) {
        out += ' ';
        i += 3;
        continue;
      }
    }
    out += raw[i];
  }
  return out;
}

void LanReplaceAppName(std::string& value, std::string_view appName) {
  size_t pos = value.find('{');
  if (pos == std::string::npos) return;
  std::string out;
  out.reserve(value.size() + appName.size());
  out.append(value, 0, pos);
  while (pos < value.size()) {
    if (value[pos] == '{' && MarkerAt(value, pos, kAppNameMarker)) {
      out += appName;
      pos += kAppNameMarker.size();
    } else {
      out += value[pos++];
    }
  }
  value.swap(out);
}

std::string LanKey(std::string_view componentName, std::string_view propertyName) {
  std::string key;
  if (!componentName.empty()) {
    key.reserve(componentName.size() + 1 + propertyName.size());
    key.append(componentName);
    key += '.';
  }
  key.append(propertyName);
  return key;
}

// --- TLanIndex ----------------------------------------------------------------------------------

void TLanIndex::Clear() {
  pool_.clear();
  pool_.shrink_to_fit();
  lines_.clear();
  lines_.shrink_to_fit();
  slots_.clear();
  slots_.shrink_to_fit();
  sections_.clear();
  nextSection_ = 0;
  inSection_ = false;
  current_ = 0;
  lastSectionValid_ = false;
}

std::string TLanIndex::Folded(std::string_view s) const {
  std::string r(s);
  fold_(r);
  return r;
}

uint32_t TLanIndex::Append(std::string_view s) {
  uint32_t off = static_cast<uint32_t>(pool_.size());
  pool_.append(s);
  return off;
}

uint32_t TLanIndex::Hash(uint32_t section, std::string_view foldedKey) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < 4; ++i) {
    h ^= (section >> (8 * i)) & 0xFFu;
    h *= 16777619u;
  }
  for (char c : foldedKey) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

size_t TLanIndex::Probe(uint32_t section, std::string_view foldedKey, uint32_t hash) const {
  size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    uint32_t s = slots_[i];
    if (s == 0) return i;
    const Line& l = lines_[s - 1];
    if (l.hash == hash && l.section == section && View(l.folded, l.foldedLen) == foldedKey) return i;
  }
}

void TLanIndex::Grow() {
  std::vector<uint32_t> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, 0);
  size_t mask = slots_.size() - 1;
  for (uint32_t s : old) {
    if (s == 0) continue;
    size_t i = lines_[s - 1].hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void TLanIndex::AddLine(std::string_view line) {
  std::string_view t = LanTrim(line);
  if (t.empty() || t[0] == ';') return;
  if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
    // A repeated name gets a fresh id: the earlier section's lines can no longer be reached.
    current_ = nextSection_++;
    lastSectionValid_ = false;
    sections_[Folded(LanTrim(t.substr(1, t.size() - 2)))] = current_;
    inSection_ = true;
    return;
  }
  if (!inSection_) return;  // lines before the first section are dropped
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return;  // stays in its section but never matches a key
  std::string_view key = LanTrim(t.substr(0, eq));
  std::string_view raw = LanTrim(t.substr(eq + 1));
  std::string folded = Folded(key);
  // Offsets are 32-bit; a text set beyond 4 GB cannot be held by this process anyway.
  if (pool_.size() + key.size() + folded.size() + raw.size() > std::numeric_limits<uint32_t>::max() ||
      lines_.size() >= std::numeric_limits<uint32_t>::max() / 2)
    return;

  Line l;
  l.section = current_;
  l.key = Append(key);
  l.keyLen = static_cast<uint32_t>(key.size());
  l.folded = Append(folded);
  l.foldedLen = static_cast<uint32_t>(folded.size());
  l.raw = Append(raw);
  l.rawLen = static_cast<uint32_t>(raw.size());
  l.hash = Hash(current_, folded);
  lines_.push_back(l);
  if (lines_.size() * 2 > slots_.size()) Grow();
  slots_[Probe(l.section, folded, l.hash)] = static_cast<uint32_t>(lines_.size());  // later wins
}

void TLanIndex::AddText(std::string_view text) {
  for (const std::string& line : LanSplitLines(text)) AddLine(line);
}

bool TLanIndex::SectionId(std::string_view section, uint32_t* id) const {
  if (lastSectionValid_ && lastSection_ == section) {
    *id = lastSectionId_;
    return true;
  }
  auto it = sections_.find(Folded(section));
  if (it == sections_.end()) return false;
  lastSection_.assign(section);
  lastSectionId_ = it->second;
  lastSectionValid_ = true;
  *id = it->second;
  return true;
}

bool TLanIndex::FindScratch(std::string_view section, std::string_view* raw) const {
  uint32_t id;
  if (slots_.empty() || !SectionId(section, &id)) return false;
  fold_(scratch_);
  uint32_t s = slots_[Probe(id, scratch_, Hash(id, scratch_))];
  if (s == 0) return false;
  const Line& l = lines_[s - 1];
  *raw = View(l.raw, l.rawLen);
  return true;
}

bool TLanIndex::FindRaw(std::string_view section, std::string_view key, std::string_view* raw) const {
  scratch_.assign(key);
  return FindScratch(section, raw);
}

bool TLanIndex::Find(std::string_view section, std::string_view componentName, std::string_view propertyName,
                     std::string* value) const {
  scratch_.clear();
  if (!componentName.empty()) {
    scratch_.append(componentName);
    scratch_ += '.';
  }
  scratch_.append(propertyName);
  std::string_view raw;
  if (!FindScratch(section, &raw)) return false;
  if (value) *value = LanDecodeValue(raw);
  return true;
}

bool TLanIndex::Find(std::string_view section, std::string_view key, std::string* value) const {
  std::string_view raw;
  if (!FindRaw(section, key, &raw)) return false;
  if (value) *value = LanDecodeValue(raw);
  return true;
}

std::vector<std::pair<std::string, std::string>> TLanIndex::SectionPairs(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> pairs;
  uint32_t id;
  if (!SectionId(section, &id)) return pairs;
  for (const Line& l : lines_) {
    if (l.section != id) continue;
    const Line& latest = lines_[slots_[Probe(id, View(l.folded, l.foldedLen), l.hash)] - 1];
    pairs.emplace_back(std::string(View(l.key, l.keyLen)), LanDecodeValue(View(latest.raw, latest.rawLen)));
  }
  return pairs;
}

std::vector<std::pair<std::string, std::string>> TLanIndex::SectionEntries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  uint32_t id;
  if (!SectionId(section, &id)) return entries;
  // A key is listed when its later line is first reached; the table already knows that line.
  std::vector<bool> listed(lines_.size(), false);
  for (const Line& l : lines_) {
    if (l.section != id) continue;
    const uint32_t latest = slots_[Probe(id, View(l.folded, l.foldedLen), l.hash)] - 1;
    if (listed[latest]) continue;
    listed[latest] = true;
    const Line& last = lines_[latest];
    entries.emplace_back(std::string(View(last.key, last.keyLen)), LanDecodeValue(View(last.raw, last.rawLen)));
  }
  return entries;
}
