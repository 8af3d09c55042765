#include "framework/CLEngine.h"

#include "framework/IniText.h"

TCLEngine* GetEngine() { return nullptr; }

bool FindNameValue(const std::vector<std::string>& lines, const std::string& key, std::string* value) {
  for (const std::string& line : lines) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameTextA(line.substr(0, eq), key)) {
      if (value) *value = line.substr(eq + 1);
      return true;
    }
  }
  return false;
}

bool EngineSettingOverwrite(const std::string& /*key*/, std::string* /*value*/) { return false; }
bool EngineSettingDefault(const std::string& /*key*/, std::string* /*value*/) { return false; }
