// Skin files from the skins folder: the container (truncated, not compressed, bombs, absurd
// sizes) and the description inside it are refused or read, never crash; what is read packs
// back into a file that reads the same, and a refused file leaves the caller's entries alone.
//
// Mutated bytes practically never form a zlib stream that inflates to exactly the declared
// size, so the file as given seldom gets past the header. A second pass therefore takes the
// input as the unpacked payload, wraps it in a valid header around a compressed copy, and so
// puts every mutation in front of the entry table and the entry rules.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/SkinDescription.h"
#include "toolkit/SkinFile.h"

namespace {

void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A skin file whose header is right and whose stream inflates to exactly `payload`.
std::string WrapPayload(const uint8_t* payload, size_t size) {
  uLongf packedSize = compressBound(static_cast<uLong>(size));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, payload, static_cast<uLong>(size),
                Z_BEST_SPEED) != Z_OK)
    std::abort();
  packed.resize(packedSize);
  std::string file("QSKN", 4);
  PutU32(&file, kSkinFormatVersion);
  PutU32(&file, static_cast<uint32_t>(size));
  PutU32(&file, static_cast<uint32_t>(packed.size()));
  return file + packed;
}

bool SameEntries(const std::vector<TSkinEntry>& a, const std::vector<TSkinEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].Name != b[i].Name || a[i].Data != b[i].Data) return false;
  return true;
}

// Unpacks `file`; what reads must pack again and read back entry for entry, and what is
// refused must leave the entries the caller had.
void CheckContainer(const void* file, size_t size) {
  const std::vector<TSkinEntry> sentinel{{"sentinel", "untouched"}};
  std::vector<TSkinEntry> entries = sentinel;
  std::string error;
  if (!UnpackSkinFile(file, size, &entries, &error)) {
    if (!SameEntries(entries, sentinel) || error.empty()) std::abort();
    return;
  }
  std::string again;
  if (!PackSkinFile(entries, &again, &error)) std::abort();
  std::vector<TSkinEntry> reread;
  if (!UnpackSkinFile(again, &reread, &error) || !SameEntries(reread, entries)) std::abort();
  if (const TSkinEntry* ini = FindSkinEntry(entries, kSkinDescriptionEntry)) {
    TSkinDescription d;
    if (ParseSkinDescription(ini->Data, &d, &error)) SkinPieceNames(d);
  } else {
    std::abort();  // a file that reads always starts with its description
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckContainer(data, size);
  if (size <= kMaxSkinPayload) {
    const std::string wrapped = WrapPayload(data, size);
    CheckContainer(wrapped.data(), wrapped.size());
  }
  // The description parser also sees raw text.
  TSkinDescription d;
  std::string error;
  ParseSkinDescription(std::string(reinterpret_cast<const char*>(data), size), &d, &error);
  return 0;
}
