// A lookup table over name=value lines for the settings store's engine layers: the name is the
// text before the first "=", lines without "=" are ignored, names compare without regard to
// case and the first line of a name wins. Built once after each change of its lines, so that a
// read does not scan (or copy) a thousand lines.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

class TNameValueIndex {
 public:
  void Invalidate() { valid_ = false; }
  bool Valid() const { return valid_; }
  void Rebuild(const std::vector<std::string>& lines);
  bool Find(const std::string& key, std::string* value) const;

 private:
  std::unordered_map<std::string, std::string> values_;  // lower-case name -> value
  bool valid_ = false;
};
