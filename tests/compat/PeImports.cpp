#include "compat/PeImports.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace qmtest {
namespace {

// Every read is checked against the file's size: the bytes may be any file at all.
class TImage {
 public:
  explicit TImage(const std::string& bytes) : bytes_(bytes) {}

  bool U16(size_t at, uint32_t* out) const { return Read(at, 2, out); }
  bool U32(size_t at, uint32_t* out) const { return Read(at, 4, out); }
  bool U64(size_t at, uint64_t* out) const {
    if (at > bytes_.size() || bytes_.size() - at < 8) return false;
    std::memcpy(out, bytes_.data() + at, 8);
    return true;
  }
  bool Text(size_t at, std::string* out) const {
    static const size_t kMaxName = 512;
    for (size_t i = at; i < bytes_.size() && i - at < kMaxName; ++i) {
      if (bytes_[i] == '\0') {
        out->assign(bytes_, at, i - at);
        return true;
      }
    }
    return false;
  }

 private:
  bool Read(size_t at, size_t size, uint32_t* out) const {
    if (at > bytes_.size() || bytes_.size() - at < size) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < size; ++i)
      v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[at + i])) << (8 * i);
    *out = v;
    return true;
  }
  const std::string& bytes_;
};

struct TSection {
  uint32_t VirtualAddress, VirtualSize, RawSize, RawOffset;
};

struct THeaders {
  bool Wide = false;  // PE32+
  uint32_t ImportRva = 0;
  std::vector<TSection> Sections;
};

bool Fail(std::string* error, const char* why) {
  *error = why;
  return false;
}

bool ReadHeaders(const TImage& image, THeaders* h, std::string* error) {
  uint32_t mz = 0, pe = 0, peSig = 0;
  if (!image.U16(0, &mz) || mz != 0x5A4D) return Fail(error, "no MZ header");
  if (!image.U32(0x3C, &pe) || !image.U32(pe, &peSig) || peSig != 0x00004550)
    return Fail(error, "no PE signature");
  uint32_t sections = 0, optionalSize = 0, magic = 0;
  if (!image.U16(pe + 6, &sections) || !image.U16(pe + 20, &optionalSize))
    return Fail(error, "short file header");
  size_t optional = size_t{pe} + 24;
  if (!image.U16(optional, &magic) || (magic != 0x10B && magic != 0x20B))
    return Fail(error, "unknown optional header");
  h->Wide = magic == 0x20B;
  size_t countAt = optional + (h->Wide ? 108 : 92);
  uint32_t directories = 0;
  if (!image.U32(countAt, &directories)) return Fail(error, "short optional header");
  if (directories > 1 && !image.U32(countAt + 4 + 8, &h->ImportRva))
    return Fail(error, "short data directory");
  size_t table = optional + optionalSize;
  for (uint32_t i = 0; i < sections; ++i) {
    TSection s{};
    size_t at = table + size_t{i} * 40;
    if (!image.U32(at + 8, &s.VirtualSize) || !image.U32(at + 12, &s.VirtualAddress) ||
        !image.U32(at + 16, &s.RawSize) || !image.U32(at + 20, &s.RawOffset))
      return Fail(error, "short section table");
    h->Sections.push_back(s);
  }
  return true;
}

bool RvaToOffset(const THeaders& h, uint32_t rva, size_t* offset) {
  for (const TSection& s : h.Sections) {
    uint32_t span = s.VirtualSize > s.RawSize ? s.VirtualSize : s.RawSize;
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < span && rva - s.VirtualAddress < s.RawSize) {
      *offset = size_t{s.RawOffset} + (rva - s.VirtualAddress);
      return true;
    }
  }
  return false;
}

bool ReadFunctions(const TImage& image, const THeaders& h, uint32_t thunkRva, TImportedDll* dll,
                   std::string* error) {
  static const size_t kMaxFunctions = 65536;
  size_t at = 0;
  if (!RvaToOffset(h, thunkRva, &at)) return Fail(error, "name table outside the sections");
  for (size_t i = 0; i < kMaxFunctions; ++i) {
    uint64_t entry = 0;
    uint32_t narrow = 0;
    bool ok = h.Wide ? image.U64(at + i * 8, &entry) : image.U32(at + i * 4, &narrow);
    if (!ok) return Fail(error, "name table runs off the file");
    if (!h.Wide) entry = narrow;
    if (entry == 0) return true;
    uint64_t ordinalFlag = h.Wide ? (uint64_t{1} << 63) : (uint64_t{1} << 31);
    if (entry & ordinalFlag) {
      dll->Functions.push_back("#" + std::to_string(entry & 0xFFFF));
      continue;
    }
    size_t nameAt = 0;
    std::string name;
    if (!RvaToOffset(h, static_cast<uint32_t>(entry), &nameAt) || !image.Text(nameAt + 2, &name))
      return Fail(error, "bad function name");
    dll->Functions.push_back(name);
  }
  return Fail(error, "name table without end");
}

}  // namespace

bool ReadPeImports(const std::string& bytes, std::vector<TImportedDll>* dlls, std::string* error) {
  dlls->clear();
  TImage image(bytes);
  THeaders h;
  if (!ReadHeaders(image, &h, error)) return false;
  if (h.ImportRva == 0) return true;
  size_t at = 0;
  if (!RvaToOffset(h, h.ImportRva, &at)) return Fail(error, "import table outside the sections");
  static const size_t kMaxDlls = 4096;
  for (size_t i = 0; i < kMaxDlls; ++i, at += 20) {
    uint32_t names = 0, nameRva = 0, addresses = 0;
    if (!image.U32(at, &names) || !image.U32(at + 12, &nameRva) || !image.U32(at + 16, &addresses))
      return Fail(error, "import table runs off the file");
    if (names == 0 && nameRva == 0 && addresses == 0) return true;
    TImportedDll dll;
    size_t nameAt = 0;
    if (!RvaToOffset(h, nameRva, &nameAt) || !image.Text(nameAt, &dll.Name))
      return Fail(error, "bad DLL name");
    // Linkers that bind nothing leave the name table out and list the names in the address table.
    if (!ReadFunctions(image, h, names ? names : addresses, &dll, error)) return false;
    dlls->push_back(std::move(dll));
  }
  return Fail(error, "import table without end");
}

}  // namespace qmtest
