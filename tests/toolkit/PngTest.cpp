// PNG decoding, the premultiplied conversion and damaged pictures.
#include <gtest/gtest.h>

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

  // A header claiming 60000 x 60000 pixels is refused before any pixel memory is taken.
  std::string huge = good;
  const char side[4] = {0, 0, static_cast<char>(0xEA), 0x60};
  std::memcpy(&huge[16], side, 4);
  std::memcpy(&huge[20], side, 4);
  EXPECT_TRUE(refused(huge));

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
