// The settings files' INI layout: any bytes parse, the rewritten text is stable, and a
// change is found again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/IniText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TIniText ini(text);
  const std::string once = ini.Text();
  if (TIniText(once).Text() != once) std::abort();
  std::string v;
  ini.Find("setting", "RunTimes", &v);
  ini.Set("setting", "Key", "Value");
  if (!ini.Find("SETTING", "key", &v) || v != "Value") std::abort();
  return 0;
}
