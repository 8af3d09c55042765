// The skin file container (".skn" and ".nsf.skn", and the skin stored with a window).
// This is the one place where the format is written down.
//
//   offset  size  content
//   0       4     "QSKN"
//   4       4     format version, little-endian: 1
//   8       4     size of the unpacked payload, little-endian (1 .. kMaxSkinPayload)
//   12      4     size of the zlib stream that follows, little-endian: exactly the rest of the file
//   16      ...   zlib stream (RFC 1950) of the payload
//
// The payload is a sequence of entries, one after another, with nothing before or after:
//   2 bytes  name length n, little-endian (1 .. 64)
//   n bytes  name: printable ASCII without "/" or "\"; names are unique (case-insensitive)
//   4 bytes  data length d, little-endian
//   d bytes  data
// The first entry is "skin.ini", the description text (colours, fonts, metrics, glow frames;
// see SkinDescription.h). Further entries are PNG pieces that the description names.
//
// Reading refuses, without touching anything, a file that is shorter than its header says,
// not compressed, declares a payload above the limit, inflates to more or fewer bytes than
// declared, carries bytes after the stream, or holds malformed or duplicate entries.
// Knows nothing of files or windows: it works on bytes, so it can be fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kSkinFormatVersion = 1;
constexpr uint32_t kMaxSkinPayload = 4u * 1024 * 1024;  // generous: shipped skins are < 64 KiB
constexpr size_t kMaxSkinEntries = 64;
constexpr size_t kMaxSkinEntryName = 64;
constexpr size_t kSkinHeaderSize = 16;
extern const char kSkinDescriptionEntry[];  // "skin.ini"

struct TSkinEntry {
  std::string Name;
  std::string Data;
};

// Builds a skin file from its entries (the description first). False with a reason when an
// entry breaks the rules above.
bool PackSkinFile(const std::vector<TSkinEntry>& entries, std::string* file, std::string* error);

// Reads a skin file. On failure `entries` is left untouched and `error` says why.
bool UnpackSkinFile(const void* data, size_t size, std::vector<TSkinEntry>* entries,
                    std::string* error);
inline bool UnpackSkinFile(const std::string& file, std::vector<TSkinEntry>* entries,
                           std::string* error) {
  return UnpackSkinFile(file.data(), file.size(), entries, error);
}

// The entry of that name (case-insensitive), or null.
const TSkinEntry* FindSkinEntry(const std::vector<TSkinEntry>& entries, const std::string& name);
