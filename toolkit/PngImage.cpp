#include "toolkit/PngImage.h"

#include <cstring>

#include "platform/Handles.h"

namespace {

HBITMAP CreateBgraSection(int width, int height, void** bits) {
  BITMAPINFO bi;
  std::memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down, like the decoded rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

bool ReadWholeFile(const std::string& path, std::string* out, std::string* error) {
  TFileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) {
    *error = "cannot open " + path;
    return false;
  }
  LARGE_INTEGER size;
  // A PNG of the largest accepted picture is far below this; bigger files are not pictures
  // we want to read into memory.
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
    *error = "file too large: " + path;
    return false;
  }
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!data.empty() && (!ReadFile(f.get(), &data[0], static_cast<DWORD>(data.size()), &got, nullptr) ||
                        got != data.size())) {
    *error = "cannot read " + path;
    return false;
  }
  *out = std::move(data);
  return true;
}

}  // namespace

TskPngImage::~TskPngImage() { DropBitmaps(); }

TskPngImage::TskPngImage(const TskPngImage& other) : data_(other.data_), pixels_(other.pixels_) {}

TskPngImage& TskPngImage::operator=(const TskPngImage& other) {
  if (this != &other) {
    DropBitmaps();
    data_ = other.data_;
    pixels_ = other.pixels_;
  }
  return *this;
}

bool TskPngImage::LoadFromFile(const std::string& path, std::string* error, uint64_t maxPixels) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  return LoadFromData(bytes, error, maxPixels);
}

bool TskPngImage::LoadFromData(const std::string& bytes, std::string* error, uint64_t maxPixels) {
  TDecodedPng decoded;
  if (!DecodePng(bytes.data(), bytes.size(), &decoded, error, maxPixels)) return false;
  DropBitmaps();
  data_ = bytes;
  pixels_ = std::move(decoded);
  return true;
}

void TskPngImage::Clear() {
  DropBitmaps();
  data_.clear();
  pixels_ = TDecodedPng();
}

void TskPngImage::DropBitmaps() const {
  if (premultiplied_) DeleteObject(premultiplied_);
  if (opaque_) DeleteObject(opaque_);
  premultiplied_ = opaque_ = nullptr;
}

HBITMAP TskPngImage::PremultipliedBitmap() const {
  if (Empty() || !HasAlpha()) return nullptr;
  if (!premultiplied_) {
    void* bits = nullptr;
    premultiplied_ = CreateBgraSection(Width(), Height(), &bits);
    if (premultiplied_)
      PremultiplyRgbaToBgra(pixels_.Rgba.data(), pixels_.Rgba.size() / 4, static_cast<uint8_t*>(bits));
  }
  return premultiplied_;
}

HBITMAP TskPngImage::DrawingBitmap() const {
  if (Empty()) return nullptr;
  if (HasAlpha()) return PremultipliedBitmap();
  if (!opaque_) {
    void* bits = nullptr;
    opaque_ = CreateBgraSection(Width(), Height(), &bits);
    if (opaque_) RgbaToOpaqueBgra(pixels_.Rgba.data(), pixels_.Rgba.size() / 4, static_cast<uint8_t*>(bits));
  }
  return opaque_;
}

void TskPngImage::Draw(HDC dc, int x, int y, BYTE opacity) const {
  RECT r = {x, y, x + Width(), y + Height()};
  DrawStretched(dc, r, opacity);
}

void TskPngImage::DrawStretched(HDC dc, const RECT& dest, BYTE opacity) const {
  HBITMAP bmp = DrawingBitmap();
  if (!bmp) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bmp);
  BLENDFUNCTION bf = {AC_SRC_OVER, 0, opacity, static_cast<BYTE>(HasAlpha() ? AC_SRC_ALPHA : 0)};
  AlphaBlend(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, mem, 0, 0, Width(),
             Height(), bf);
  SelectObject(mem, old);
  DeleteDC(mem);
}

TskTileSpan SkTileSpan(const RECT& area, const RECT& clip, int tileWidth, int tileHeight) {
  TskTileSpan span;
  RECT r;
  if (tileWidth <= 0 || tileHeight <= 0 || !IntersectRect(&r, &area, &clip)) return span;
  span.FirstColumn = (r.left - area.left) / tileWidth;
  span.FirstRow = (r.top - area.top) / tileHeight;
  span.Columns = (r.right - area.left + tileWidth - 1) / tileWidth - span.FirstColumn;
  span.Rows = (r.bottom - area.top + tileHeight - 1) / tileHeight - span.FirstRow;
  return span;
}

void TskPngImage::DrawTiled(HDC dc, const RECT& area, BYTE opacity) const {
  HBITMAP bmp = DrawingBitmap();
  if (!bmp) return;
  RECT clip;
  if (GetClipBox(dc, &clip) == ERROR) clip = area;
  const int w = Width(), h = Height();
  TskTileSpan span = SkTileSpan(area, clip, w, h);
  if (span.Columns <= 0 || span.Rows <= 0) return;
  HDC mem = CreateCompatibleDC(dc);
  if (!mem) return;
  HGDIOBJ old = SelectObject(mem, bmp);
  // The last copies of a row or column may reach past the area.
  int saved = SaveDC(dc);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  BLENDFUNCTION bf = {AC_SRC_OVER, 0, opacity, static_cast<BYTE>(HasAlpha() ? AC_SRC_ALPHA : 0)};
  for (int row = span.FirstRow; row < span.FirstRow + span.Rows; ++row)
    for (int col = span.FirstColumn; col < span.FirstColumn + span.Columns; ++col)
      AlphaBlend(dc, area.left + col * w, area.top + row * h, w, h, mem, 0, 0, w, h, bf);
  RestoreDC(dc, saved);
  SelectObject(mem, old);
  DeleteDC(mem);
}
