// Language files: any bytes load into the index, lookups of what was loaded succeed, and the
// value markers and "{AppName}" never loop or read out of bounds. The lines reach the index
// as the program feeds them: the text before the first zero byte, split by the string list
// that holds a loaded file, one line after another.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "components/Components.h"
#include "lang/LanFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text(LanTextFromBytes(bytes));
  TStringList lines;
  lines.SetText(text);
  // The format's own splitter (whole texts, as the tests load them) must cut the same lines.
  if (lines.Lines() != LanSplitLines(text)) std::abort();
  TLanIndex index;
  for (int i = 0; i < lines.Count(); ++i) index.AddLine(lines.Get(i));
  std::string value;
  index.Find("AppRes", "MSGBOX_Cleared", &value);
  for (const auto& pair : index.SectionPairs("TfrmMain")) {
    std::string again;
    if (!index.Find("TfrmMain", pair.first, &again) || again != pair.second) std::abort();
  }
  std::string replaced(text);
  LanReplaceAppName(replaced, "{AppName}{appname}");
  LanDecodeValue(replaced);
  return 0;
}
