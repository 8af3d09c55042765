// PNG decoding, the premultiplied conversion and damaged pictures.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "support/TestSupport.h"
#include "tests/toolkit/ToolkitTestUtil.h"
#include "toolkit/PngImage.h"

using namespace qmtest;

namespace {

// The colour of the pixel at (x, y) of a 32-bit top-down DIB section.
uint32_t SectionPixel(HBITMAP bmp, int x, int y) {
  DIBSECTION ds;
  if (GetObject(bmp, sizeof ds, &ds) != sizeof ds) return 0xDEADBEEF;
  const uint8_t* row = static_cast<const uint8_t*>(ds.dsBm.bmBits) + y * ds.dsBm.bmWidthBytes;
  uint32_t v;
  std::memcpy(&v, row + x * 4, 4);
  return v;  // 0xAARRGGBB as bytes B, G, R, A
}

// The picture with its header's width and height replaced and the header's checksum made to
// match, so that only the size is wrong.
std::string WithHeaderSize(std::string png, uint32_t width, uint32_t height) {
  auto put = [&png](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
  };
  put(16, width);
  put(20, height);
  // The checksum covers the chunk's type and data: bytes 12 to 28, stored at 29.
  put(29, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17)));
  return png;
}

}  // namespace

TEST(Png, PictureWithAlphaDecodesAndPremultiplies) {
  // Left column: opaque white; middle: half-transparent red; right: fully transparent green.
  std::string bytes = MakePng(3, 2, true, [](int x, int) -> uint32_t {
    return x == 0 ? 0xFFFFFFFFu : x == 1 ? 0x80FF0000u : 0x0000FF00u;
  });
  TskPngImage png;
  std::string error;
  ASSERT_TRUE(png.LoadFromData(bytes, &error)) << error;
  EXPECT_EQ(png.Width(), 3);
  EXPECT_EQ(png.Height(), 2);
  EXPECT_TRUE(png.HasAlpha());
  EXPECT_EQ(png.Data(), bytes);
  const std::vector<uint8_t>& rgba = png.Pixels().Rgba;
  EXPECT_EQ(rgba[4], 0xFF);  // straight colour kept in the decoded pixels
  EXPECT_EQ(rgba[7], 0x80);

  HBITMAP bmp = png.PremultipliedBitmap();
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(png.PremultipliedBitmap(), bmp);  // cached
  BITMAP bm;
  GetObject(bmp, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  // channel * alpha >> 8, alpha copied, stored blue-green-red-alpha.
  EXPECT_EQ(SectionPixel(bmp, 0, 1), 0xFFFEFEFEu);
  EXPECT_EQ(SectionPixel(bmp, 1, 0), 0x807F0000u);
  EXPECT_EQ(SectionPixel(bmp, 2, 0), 0x00000000u);
}

TEST(Png, PremultiplicationRule) {
  struct Case {
    uint8_t r, g, b, a;
    uint8_t pb, pg, pr;
  } cases[] = {
      {255, 255, 255, 255, 254, 254, 254}, {255, 0, 0, 128, 0, 0, 127}, {10, 20, 30, 0, 0, 0, 0},
      {200, 100, 50, 1, 0, 0, 0},          {255, 255, 255, 1, 0, 0, 0}, {0, 128, 255, 200, 199, 100, 0},
      {1, 2, 3, 255, 2, 1, 0},
  };
  for (const Case& c : cases) {
    uint8_t in[4] = {c.r, c.g, c.b, c.a}, out[4];
    PremultiplyRgbaToBgra(in, 1, out);
    EXPECT_EQ(out[0], c.pb) << int(c.r) << "," << int(c.a);
    EXPECT_EQ(out[1], c.pg);
    EXPECT_EQ(out[2], c.pr);
    EXPECT_EQ(out[3], c.a);
  }
}

TEST(Png, PictureWithoutAlphaIsOpaque) {
  std::string bytes = MakePng(5, 4, false, [](int x, int y) { return 0xFF000000u | (x * 40 << 16) | (y * 50); });
  TskPngImage png;
  std::string error;
  ASSERT_TRUE(png.LoadFromData(bytes, &error)) << error;
  EXPECT_FALSE(png.HasAlpha());
  EXPECT_EQ(png.PremultipliedBitmap(), nullptr);  // no premultiplied bitmap without alpha

  // Drawn opaque over a white surface: the picture's own colours.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP target = CreateCompatibleBitmap(screen, 10, 10);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, target);
  RECT all = {0, 0, 10, 10};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  png.Draw(dc, 1, 1);
  EXPECT_EQ(GetPixel(dc, 1 + 2, 1 + 3), RGB(80, 0, 150));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));

  // A half-transparent picture blends with what is below.
  TskPngImage half;
  ASSERT_TRUE(half.LoadFromData(MakePng(2, 2, true, [](int, int) { return 0x80FF0000u; }), &error));
  half.Draw(dc, 6, 6);
  COLORREF c = GetPixel(dc, 6, 6);
  EXPECT_NEAR(GetRValue(c), 255, 2);
  EXPECT_NEAR(GetGValue(c), 127, 3);
  EXPECT_NEAR(GetBValue(c), 127, 3);
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
}

TEST(Png, DamagedPicturesAreErrorsAndKeepThePreviousPicture) {
  std::string good = MakePng(16, 16, true, [](int x, int y) { return 0xFF000000u | (x << 4) | (y << 12); });
  TskPngImage png;
  std::string error;
  ASSERT_TRUE(png.LoadFromData(good, &error));

  auto refused = [&](const std::string& bytes) {
    std::string e;
    bool ok = png.LoadFromData(bytes, &e);
    return !ok && !e.empty() && png.Width() == 16 && png.Data() == good;
  };
  for (size_t n = 0; n < good.size(); n += 3) EXPECT_TRUE(refused(good.substr(0, n))) << n;
  EXPECT_TRUE(refused("GIF89a......"));
  EXPECT_TRUE(refused(""));

  // A broken checksum of the header chunk.
  std::string crc = good;
  crc[29] ^= 0x01;
  EXPECT_TRUE(refused(crc));
  // Garbage in the compressed pixels.
  std::string idat = good;
  size_t at = idat.find("IDAT");
  ASSERT_NE(at, std::string::npos);
  for (size_t i = at + 6; i < at + 20 && i < idat.size(); ++i) idat[i] = '\x55';
  EXPECT_TRUE(refused(idat));

  // Headers claiming pictures beyond the limits (their checksums made right, so the size check
  // is what refuses them) are refused before any pixel memory is taken; one within the limits
  // gets past the size check and fails on its pixel data instead.
  auto sizeError = [&](uint32_t w, uint32_t h) {
    std::string e;
    EXPECT_FALSE(png.LoadFromData(WithHeaderSize(good, w, h), &e)) << w << "x" << h;
    EXPECT_EQ(png.Data(), good);
    return e;
  };
  EXPECT_EQ(sizeError(9000, 1), "PNG picture too large");     // one side too long
  EXPECT_EQ(sizeError(1, 9000), "PNG picture too large");
  EXPECT_EQ(sizeError(5000, 5000), "PNG picture too large");  // too many pixels
  EXPECT_EQ(sizeError(60000, 60000), "PNG picture too large");
  EXPECT_NE(sizeError(4096, 4096), "PNG picture too large");  // exactly the limit: allowed

  EXPECT_FALSE(png.LoadFromFile("C:\\no\\such\\picture.png", &error));
  EXPECT_EQ(png.Width(), 16);
}

TEST(Png, LoadsFromFile) {
  TScratchDir dir("png");
  std::string bytes = MakePng(7, 3, true, [](int, int) { return 0xFF336699u; });
  WriteAll(dir / "a.png", bytes);
  TskPngImage png;
  std::string error;
  ASSERT_TRUE(png.LoadFromFile(dir / "a.png", &error)) << error;
  EXPECT_EQ(png.Width(), 7);
  TskPngImage copy(png);
  EXPECT_EQ(copy.Data(), bytes);
  EXPECT_NE(copy.PremultipliedBitmap(), png.PremultipliedBitmap());  // each owns its bitmap
}

// A page of pictures decodes each against what its budget has left: the same picture is
// refused once the budget is smaller than its pixel count, before it is decoded.
TEST(Png, PixelBudgetRefusesBeforeDecoding) {
  std::string bytes = MakePng(16, 16, false, [](int, int) { return 0xFF102030u; });
  TskPngImage png;
  std::string error;
  EXPECT_FALSE(png.LoadFromData(bytes, &error, 255));
  EXPECT_EQ(error, "PNG picture too large");
  EXPECT_TRUE(png.Empty());
  EXPECT_TRUE(png.LoadFromData(bytes, &error, 256)) << error;
  EXPECT_EQ(png.Width(), 16);
}

TEST(Png, TilesMeetingTheClipBoxOnly) {
  struct Case {
    RECT area, clip;
    int w, h;
    TskTileSpan want;
  } cases[] = {
      {{0, 0, 528, 321}, {0, 0, 528, 321}, 16, 16, {0, 0, 33, 21}},
      {{0, 0, 528, 321}, {100, 100, 110, 110}, 16, 16, {6, 6, 1, 1}},
      {{0, 0, 528, 321}, {95, 100, 97, 112}, 16, 16, {5, 6, 2, 1}},  // across a tile edge
      {{10, 20, 528, 321}, {10, 20, 26, 36}, 16, 16, {0, 0, 1, 1}},
      {{0, 0, 528, 321}, {600, 0, 700, 10}, 16, 16, {0, 0, 0, 0}},  // outside the area
      {{0, 0, 100, 100}, {0, 0, 100, 100}, 0, 16, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    TskTileSpan s = SkTileSpan(c.area, c.clip, c.w, c.h);
    EXPECT_EQ(s.FirstColumn, c.want.FirstColumn) << c.clip.left << "," << c.clip.top;
    EXPECT_EQ(s.FirstRow, c.want.FirstRow) << c.clip.left << "," << c.clip.top;
    EXPECT_EQ(s.Columns, c.want.Columns) << c.clip.left << "," << c.clip.top;
    EXPECT_EQ(s.Rows, c.want.Rows) << c.clip.left << "," << c.clip.top;
  }

  // Drawn: copies start at the area's corner, nothing lands outside the clip box.
  TskPngImage tile;
  std::string error;
  ASSERT_TRUE(tile.LoadFromData(
      MakePng(16, 16, false, [](int x, int y) { return x == 0 && y == 0 ? 0xFFFF0000u : 0xFF0000FFu; }), &error));
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP target = CreateCompatibleBitmap(screen, 100, 60);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, target);
  RECT all = {0, 0, 100, 60};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  IntersectClipRect(dc, 30, 30, 60, 50);
  tile.DrawTiled(dc, RECT{4, 4, 100, 60});
  SelectClipRgn(dc, nullptr);
  EXPECT_EQ(GetPixel(dc, 36, 36), RGB(255, 0, 0));  // a copy's corner: 4 + 2 * 16
  EXPECT_EQ(GetPixel(dc, 37, 36), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 52, 36), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 29, 36), RGB(255, 255, 255));  // left of the clip box
  EXPECT_EQ(GetPixel(dc, 36, 50), RGB(255, 255, 255));  // below it
  EXPECT_EQ(GetPixel(dc, 4, 4), RGB(255, 255, 255));
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
}
