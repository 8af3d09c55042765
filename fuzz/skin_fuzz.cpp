// Skin files from the skins folder: the container (truncated, not compressed, bombs, absurd
// sizes) and the description inside it are refused or read, never crash; what is read packs
// back into a file that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/SkinDescription.h"
#include "toolkit/SkinFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<TSkinEntry> entries;
  std::string error;
  if (UnpackSkinFile(data, size, &entries, &error)) {
    std::string again;
    if (!PackSkinFile(entries, &again, &error)) std::abort();
    std::vector<TSkinEntry> reread;
    if (!UnpackSkinFile(again, &reread, &error) || reread.size() != entries.size()) std::abort();
    if (const TSkinEntry* ini = FindSkinEntry(entries, kSkinDescriptionEntry)) {
      TSkinDescription d;
      if (ParseSkinDescription(ini->Data, &d, &error)) SkinPieceNames(d);
    }
  }
  // The description parser also sees raw text.
  TSkinDescription d;
  ParseSkinDescription(std::string(reinterpret_cast<const char*>(data), size), &d, &error);
  return 0;
}
