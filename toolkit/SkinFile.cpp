#include "toolkit/SkinFile.h"

#include <zlib.h>

#include <cstring>

const char kSkinDescriptionEntry[] = "skin.ini";

namespace {

const char kMagic[4] = {'Q', 'S', 'K', 'N'};

void PutU16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
uint32_t GetU16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t GetU32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool SameNameA(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > kMaxSkinEntryName) return false;
  for (unsigned char c : name)
    if (c < 0x21 || c > 0x7E || c == '/' || c == '\\') return false;
  return true;
}

// Checks the entry rules shared by writing and reading.
bool CheckEntries(const std::vector<TSkinEntry>& entries, std::string* error) {
  if (entries.empty() || !SameNameA(entries[0].Name, kSkinDescriptionEntry)) {
    *error = "the first entry must be the description \"skin.ini\"";
    return false;
  }
  if (entries.size() > kMaxSkinEntries) {
    *error = "too many entries";
    return false;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!ValidName(entries[i].Name)) {
      *error = "bad entry name";
      return false;
    }
    for (size_t j = 0; j < i; ++j)
      if (SameNameA(entries[i].Name, entries[j].Name)) {
        *error = "duplicate entry " + entries[i].Name;
        return false;
      }
  }
  return true;
}

bool ParsePayload(const unsigned char* p, size_t size, std::vector<TSkinEntry>* out,
                  std::string* error) {
  size_t pos = 0;
  while (pos < size) {
    if (out->size() >= kMaxSkinEntries) {
      *error = "too many entries";
      return false;
    }
    if (size - pos < 2) break;
    size_t nameLen = GetU16(p + pos);
    pos += 2;
    if (nameLen == 0 || nameLen > kMaxSkinEntryName || size - pos < nameLen + 4) break;
    TSkinEntry e;
    e.Name.assign(reinterpret_cast<const char*>(p + pos), nameLen);
    pos += nameLen;
    size_t dataLen = GetU32(p + pos);
    pos += 4;
    if (dataLen > size - pos) break;
    e.Data.assign(reinterpret_cast<const char*>(p + pos), dataLen);
    pos += dataLen;
    out->push_back(std::move(e));
  }
  if (pos != size) {
    *error = "damaged entry table";
    return false;
  }
  return CheckEntries(*out, error);
}

}  // namespace

bool PackSkinFile(const std::vector<TSkinEntry>& entries, std::string* file, std::string* error) {
  if (!CheckEntries(entries, error)) return false;
  std::string payload;
  for (const TSkinEntry& e : entries) {
    PutU16(&payload, static_cast<uint32_t>(e.Name.size()));
    payload += e.Name;
    PutU32(&payload, static_cast<uint32_t>(e.Data.size()));
    payload += e.Data;
  }
  if (payload.size() > kMaxSkinPayload) {
    *error = "skin too large";
    return false;
  }
  uLongf packedSize = compressBound(static_cast<uLong>(payload.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    *error = "compression failed";
    return false;
  }
  packed.resize(packedSize);
  std::string out(kMagic, 4);
  PutU32(&out, kSkinFormatVersion);
  PutU32(&out, static_cast<uint32_t>(payload.size()));
  PutU32(&out, static_cast<uint32_t>(packed.size()));
  out += packed;
  *file = std::move(out);
  return true;
}

bool UnpackSkinFile(const void* data, size_t size, std::vector<TSkinEntry>* entries,
                    std::string* error) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  if (!p || size < kSkinHeaderSize || std::memcmp(p, kMagic, 4) != 0) {
    *error = "not a skin file";
    return false;
  }
  if (GetU32(p + 4) != kSkinFormatVersion) {
    *error = "unknown skin format version";
    return false;
  }
  uint32_t payloadSize = GetU32(p + 8);
  uint32_t packedSize = GetU32(p + 12);
  if (payloadSize == 0 || payloadSize > kMaxSkinPayload) {
    *error = "absurd payload size";
    return false;
  }
  if (packedSize != size - kSkinHeaderSize) {
    *error = packedSize > size - kSkinHeaderSize ? "truncated skin file" : "bytes after the skin data";
    return false;
  }
  // Inflate into exactly the declared size, plus one byte to notice a stream that would go on:
  // a bomb stops there instead of filling memory.
  std::string payload(static_cast<size_t>(payloadSize) + 1, '\0');
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (inflateInit(&zs) != Z_OK) {
    *error = "decompression failed";
    return false;
  }
  zs.next_in = const_cast<Bytef*>(p + kSkinHeaderSize);
  zs.avail_in = packedSize;
  zs.next_out = reinterpret_cast<Bytef*>(&payload[0]);
  zs.avail_out = payloadSize + 1;
  int rc = inflate(&zs, Z_FINISH);
  uLong produced = zs.total_out;
  uInt leftIn = zs.avail_in;
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) {
    *error = (rc == Z_BUF_ERROR && produced > payloadSize) ? "skin data larger than declared"
                                                           : "damaged or uncompressed skin data";
    return false;
  }
  if (produced != payloadSize || leftIn != 0) {
    *error = "skin data does not match its header";
    return false;
  }
  payload.resize(payloadSize);
  std::vector<TSkinEntry> parsed;
  if (!ParsePayload(reinterpret_cast<const unsigned char*>(payload.data()), payload.size(), &parsed,
                    error))
    return false;
  *entries = std::move(parsed);
  return true;
}

const TSkinEntry* FindSkinEntry(const std::vector<TSkinEntry>& entries, const std::string& name) {
  for (const TSkinEntry& e : entries)
    if (SameNameA(e.Name, name)) return &e;
  return nullptr;
}
