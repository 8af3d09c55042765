#include "framework/NameValueIndex.h"

#include "framework/IniText.h"

void TNameValueIndex::Rebuild(const std::vector<std::string>& lines) {
  values_.clear();
  for (const std::string& line : lines) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    values_.emplace(LowerA(line.substr(0, eq)), line.substr(eq + 1));  // the first line wins
  }
  valid_ = true;
}

bool TNameValueIndex::Find(const std::string& key, std::string* value) const {
  auto it = values_.find(LowerA(key));
  if (it == values_.end()) return false;
  if (value) *value = it->second;
  return true;
}
