// The test window in each shipped skin: colours where the skin says, and a picture of each
// (shot-*.bmp beside the test program) for a person to look at.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "tests/toolkit/DemoForm.h"
#include "toolkit/SkinPaint.h"

using namespace qmtest;

namespace {

struct TSkinCase {
  const char* name;
  const char* file;  // under dist\skins, or null for the built-in skin
  bool framed;
};

int Distance(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
         std::abs(GetBValue(a) - GetBValue(b));
}

}  // namespace

class Look : public ::testing::TestWithParam<TSkinCase> {};

TEST_P(Look, WindowInSkin) {
  const TSkinCase& c = GetParam();
  TDemo d;
  BuildDemo(&d, c.framed, false);
  if (c.file) {
    ASSERT_TRUE(d.Skin->LoadFromCompressedFile(DistDir() + "skins\\" + c.file)) << d.Skin->LastError();
  }
  d.Form->Show();
  SetFocus(d.Domain->Handle());
  SetWindowTextA(d.Domain->Handle(), "example.com");
  Pump(300);
  HWND h = d.Form->Handle();
  const TSkinDescription& s = d.Skin->Skin()->Desc();
  EXPECT_EQ(d.Skin->SkinName(), c.name);
  EXPECT_EQ(d.Frame->Framed(), c.framed);

  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(client.right, 528);
  EXPECT_EQ(client.bottom, 321);
  // The window's background between the panels follows the skin's gradient.
  EXPECT_LT(Distance(ScreenPixel(h, 5, 172), SkBlend(s.Window, s.WindowBottom, 128)), 40);
  // A panel's title band and body.
  EXPECT_LT(Distance(ScreenPixel(h, 16 + 250, 80 + 3), s.PanelTitleTop), 40);
  EXPECT_LT(Distance(ScreenPixel(h, 16 + 250, 80 + 85), s.PanelBottom), 40);
  // The edit box's inside.
  EXPECT_LT(Distance(ScreenPixel(h, 16 + 8 + 340, 173 + 48 + 9), s.EditBack), 30);
  if (c.framed) {
    POINT pt = {0, 0};
    ClientToScreen(h, &pt);
    RECT w;
    GetWindowRect(h, &w);
    HDC dc = GetDC(nullptr);
    COLORREF caption = GetPixel(dc, w.left + (w.right - w.left) / 2, w.top + s.BorderWidth + 2);
    ReleaseDC(nullptr, dc);
    EXPECT_LT(Distance(caption, s.CaptionTop), 60);
  }
  SaveWindowBmp(h, ProgramDir() + "shot-" + c.name + ".bmp", c.framed);
}

INSTANTIATE_TEST_SUITE_P(Skins, Look,
                         ::testing::Values(TSkinCase{"Frost", nullptr, true},
                                           TSkinCase{"Graphite", "Graphite.skn", true},
                                           TSkinCase{"Meadow", "Meadow.nsf.skn", false}),
                         [](const ::testing::TestParamInfo<TSkinCase>& i) { return std::string(i.param.name); });
