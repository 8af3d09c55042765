// PNG decoding through libpng, and the conversion to the 32-bit premultiplied layout that
// per-pixel-alpha drawing needs. Platform-free: bytes in, pixels out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Larger pictures are refused before any pixel memory is taken (a forged header cannot make
// us allocate gigabytes).
constexpr uint32_t kMaxPngSide = 8192;
constexpr uint64_t kMaxPngPixels = 16u * 1024 * 1024;

struct TDecodedPng {
  uint32_t Width = 0;
  uint32_t Height = 0;
  bool HasAlpha = false;         // the file carries an alpha channel or transparency chunk
  std::vector<uint8_t> Rgba;     // Width * Height * 4 bytes, top row first, not premultiplied
};

// Decodes a whole PNG file held in memory. False with libpng's reason (or ours) on any error;
// `out` is left untouched then. A picture of more than `maxPixels` pixels is refused as too
// large from its header alone, before any pixel memory is taken (a page of pictures passes
// what its budget has left).
bool DecodePng(const void* data, size_t size, TDecodedPng* out, std::string* error,
               uint64_t maxPixels = kMaxPngPixels);

// Straight RGBA to blue-green-red-alpha with every colour channel premultiplied by its pixel's
// alpha as (channel * alpha) >> 8 and the alpha copied.
void PremultiplyRgbaToBgra(const uint8_t* rgba, size_t pixels, uint8_t* bgra);
// Straight RGBA to BGRA with alpha 255 (for pictures without alpha).
void RgbaToOpaqueBgra(const uint8_t* rgba, size_t pixels, uint8_t* bgra);
