// Language files: any bytes load into the index, lookups of what was loaded succeed, and the
// value markers and "{AppName}" never loop or read out of bounds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lang/LanFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TLanIndex index;
  index.AddText(LanTextFromBytes(bytes));
  std::string value;
  index.Find("AppRes", "MSGBOX_Cleared", &value);
  for (const auto& pair : index.SectionPairs("TfrmMain")) {
    std::string again;
    if (!index.Find("TfrmMain", pair.first, &again) || again != pair.second) std::abort();
  }
  std::string text(LanTextFromBytes(bytes));
  LanReplaceAppName(text, "{AppName}{appname}");
  LanDecodeValue(text);
  return 0;
}
