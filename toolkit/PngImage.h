// A PNG picture: decoded once, drawn with its alpha channel, and convertible to the 32-bit
// premultiplied bitmap that layered windows take.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/PngDecode.h"

// The copies of a `tileWidth` x `tileHeight` picture laid from the top left corner of `area`
// that meet `clip`: the first one's column and row and how many of each.
struct TskTileSpan {
  int FirstColumn = 0, FirstRow = 0, Columns = 0, Rows = 0;
};
TskTileSpan SkTileSpan(const RECT& area, const RECT& clip, int tileWidth, int tileHeight);

class TskPngImage {
 public:
  TskPngImage() = default;
  ~TskPngImage();
  TskPngImage(const TskPngImage& other);  // copies the picture, not the cached bitmap
  TskPngImage& operator=(const TskPngImage& other);

  // Both return false with the reason in `error` and keep the previous picture; a picture of
  // more than `maxPixels` pixels is refused before it is decoded.
  bool LoadFromFile(const std::string& path, std::string* error, uint64_t maxPixels = kMaxPngPixels);
  bool LoadFromData(const std::string& bytes, std::string* error, uint64_t maxPixels = kMaxPngPixels);
  void Clear();

  bool Empty() const { return pixels_.Width == 0; }
  int Width() const { return static_cast<int>(pixels_.Width); }
  int Height() const { return static_cast<int>(pixels_.Height); }
  bool HasAlpha() const { return pixels_.HasAlpha; }
  const std::string& Data() const { return data_; }  // the PNG file bytes
  const TDecodedPng& Pixels() const { return pixels_; }

  // A 32-bit top-down DIB section, blue-green-red-alpha with premultiplied colours, owned by
  // the picture and kept until it changes. Null for an empty picture or one without alpha.
  HBITMAP PremultipliedBitmap() const;
  // Draws at (x, y), blending by the alpha channel when there is one; `opacity` scales it.
  void Draw(HDC dc, int x, int y, BYTE opacity = 255) const;
  // Draws stretched into `dest` (for textures and scaled pictures).
  void DrawStretched(HDC dc, const RECT& dest, BYTE opacity = 255) const;
  // Repeats the picture over `area`, its first copy at area's top left corner. Only the copies
  // that meet the device context's clip box are drawn, all from one memory device context: a
  // small control repainting the background under it costs a few copies, not the window's.
  void DrawTiled(HDC dc, const RECT& area, BYTE opacity = 255) const;

 private:
  HBITMAP DrawingBitmap() const;  // premultiplied, or opaque BGRA without alpha
  void DropBitmaps() const;

  std::string data_;
  TDecodedPng pixels_;
  mutable HBITMAP premultiplied_ = nullptr;
  mutable HBITMAP opaque_ = nullptr;
};
