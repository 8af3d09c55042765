#include "toolkit/PngDecode.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace {

// Every libpng call lives in these two C-style functions: libpng reports errors with longjmp
// inside its simplified API, and no object with a destructor may be alive in a frame it
// unwinds. The caller owns the pixel buffer and passes raw pointers only.
int ReadPngHeader(png_image* image, const void* data, size_t size) {
  return png_image_begin_read_from_memory(image, data, size);
}
int ReadPngPixels(png_image* image, void* pixels) {
  return png_image_finish_read(image, nullptr, pixels, 0, nullptr);
}

}  // namespace

bool DecodePng(const void* data, size_t size, TDecodedPng* out, std::string* error, uint64_t maxPixels) {
  if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) {
    *error = "not a PNG picture";
    return false;
  }
  // libpng's reader stops once it has the pixels, so a file cut off after its picture data
  // would pass; a complete file always carries the end chunk with its fixed checksum.
  static const char kEnd[8] = {'I', 'E', 'N', 'D', '\xAE', '\x42', '\x60', '\x82'};
  const char* bytes = static_cast<const char*>(data);
  if (std::search(bytes, bytes + size, kEnd, kEnd + 8) == bytes + size) {
    *error = "truncated PNG picture";
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!ReadPngHeader(&image, data, size)) {
    *error = image.message[0] ? image.message : "damaged PNG picture";
    png_image_free(&image);
    return false;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxPngSide ||
      image.height > kMaxPngSide ||
      static_cast<uint64_t>(image.width) * image.height > std::min(kMaxPngPixels, maxPixels)) {
    *error = "PNG picture too large";
    png_image_free(&image);
    return false;
  }
  bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(static_cast<size_t>(image.width) * image.height * 4);
  if (!ReadPngPixels(&image, pixels.data())) {
    *error = image.message[0] ? image.message : "damaged PNG picture";
    png_image_free(&image);
    return false;
  }
  out->Width = image.width;
  out->Height = image.height;
  out->HasAlpha = hasAlpha;
  out->Rgba = std::move(pixels);
  png_image_free(&image);
  return true;
}

void PremultiplyRgbaToBgra(const uint8_t* rgba, size_t pixels, uint8_t* bgra) {
  for (size_t i = 0; i < pixels; ++i, rgba += 4, bgra += 4) {
    unsigned a = rgba[3];
    bgra[0] = static_cast<uint8_t>((rgba[2] * a) >> 8);
    bgra[1] = static_cast<uint8_t>((rgba[1] * a) >> 8);
    bgra[2] = static_cast<uint8_t>((rgba[0] * a) >> 8);
    bgra[3] = static_cast<uint8_t>(a);
  }
}

void RgbaToOpaqueBgra(const uint8_t* rgba, size_t pixels, uint8_t* bgra) {
  for (size_t i = 0; i < pixels; ++i, rgba += 4, bgra += 4) {
    bgra[0] = rgba[2];
    bgra[1] = rgba[1];
    bgra[2] = rgba[0];
    bgra[3] = 255;
  }
}
