// Pictures and skin files made on the fly for the toolkit tests.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/SkinFile.h"

namespace qmtest {

// Encodes a width x height picture whose pixel (x, y) is fill(x, y) as RGBA.
template <typename Fill>
std::string MakePng(int width, int height, bool alpha, Fill fill) {
  std::vector<uint8_t> px(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t c = fill(x, y);  // 0xAARRGGBB
      uint8_t* p = &px[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = (c >> 16) & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = c & 0xFF, p[3] = (c >> 24) & 0xFF;
    }
  if (!alpha) {  // pack down to RGB
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < px.size(); i += 4) rgb.insert(rgb.end(), px.begin() + i, px.begin() + i + 3);
    px.swap(rgb);
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, px.data(), 0, nullptr);
  std::string out(size, '\0');
  if (!png_image_write_to_memory(&image, &out[0], &size, 0, px.data(), 0, nullptr)) return "";
  out.resize(size);
  return out;
}

inline std::string PackOrDie(const std::vector<TSkinEntry>& entries) {
  std::string file, error;
  if (!PackSkinFile(entries, &file, &error)) return "";
  return file;
}

}  // namespace qmtest
