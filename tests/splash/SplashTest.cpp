// The splash window and the layered-window component. Placement is table-tested as arithmetic;
// the window's behaviour is tested on real windows, and the run procedure's splash step in
// copies of this test program placed in scratch folders with their own "const.dat" and
// picture files (the splash reads its picture from the application folder).
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "support/TestSupport.h"
#include "app/CLMain.h"
#include "platform/CLSplashForm.h"
#include "tools/QVTools.h"

using namespace qmtest;

namespace {

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// One pass over the messages already queued, as the message loop's first round does.
void OnePass() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

SIZE ClientSize(HWND w) {
  RECT r;
  GetClientRect(w, &r);
  return SIZE{r.right, r.bottom};
}

std::string SplashPng() {
  std::string dist = DistDir() + "res\\images\\splash.png";
  return Exists(dist) ? dist : std::string();
}

// A folder with a copy of this program, so that the splash finds (or misses) its picture in
// "res\images" beside it. `picture` empty: no picture file.
class TSplashDir {
 public:
  TSplashDir(const std::string& pictureBytes, const std::string& settings = "") : dir_("splash") {
    EXPECT_TRUE(CopyFileA(QV_GetModuleFileName().c_str(), (dir_ / "splash_test.exe").c_str(), FALSE));
    if (!pictureBytes.empty()) {
      QV_ForceDirectories(dir_ / "res\\images");
      WriteAll(dir_ / "res\\images\\splash.png", pictureBytes);
    }
    static int serial = 0;
    std::string id = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    WriteAll(dir_ / "const.dat", "[setting]\r\nApp.Name=Splash Test\r\nApp.Ver=1.0\r\nApp.ID=7" + std::to_string(serial) +
                                     "\r\nApp.GUID={QM-SPLASH-" + id + "}\r\nApp.ConfigPath=QmSplashTest-" + id +
                                     "\r\nApp.Multiple=1\r\n" + settings);
  }
  // Runs a child function of the copy; its exit code, -1 on time-out.
  int Run(const std::string& child, const std::string& args = "") {
    HANDLE p = StartProcess("\"" + (dir_ / "splash_test.exe") + "\" --qm-child=" + child + " " + args, dir_.Path());
    EXPECT_NE(p, nullptr);
    return p ? WaitExit(p, 60000) : -1;
  }
  std::string Result() const { return ReadAll(dir_ / "result.txt"); }

 private:
  TScratchDir dir_;
};

void WriteResult(const std::string& text) { WriteAll(QV_GetAppPath() + "result.txt", text); }

}  // namespace

// --- Placement -----------------------------------------------------------------------------------

TEST(SplashPlacement, CentresWithTruncationTowardZero) {
  struct Case {
    int sw, sh, pw, ph, x, y;
  } cases[] = {
      {1024, 768, 400, 300, 312, 234},
      {1024, 768, 1025, 300, 0, 234},   // one pixel wider: -1 / 2 is 0
      {1024, 768, 1027, 300, -1, 234},  // three pixels wider: -3 / 2 is -1
      {1024, 768, 400, 769, 312, 0},
      {1024, 768, 400, 771, 312, -1},
      {1024, 768, 1024, 768, 0, 0},
      {1024, 768, 401, 301, 311, 233},  // odd differences lose the half pixel
      {800, 600, 2000, 1000, -600, -200},
  };
  for (const Case& c : cases) {
    POINT p = SplashPosition(c.sw, c.sh, c.pw, c.ph);
    EXPECT_EQ(p.x, c.x) << c.sw << "x" << c.sh << " picture " << c.pw << "x" << c.ph;
    EXPECT_EQ(p.y, c.y) << c.sw << "x" << c.sh << " picture " << c.pw << "x" << c.ph;
  }
}

// --- The component ----------------------------------------------------------------------------

TEST(PngForm, FormOnly) {
  TComponent owner(nullptr);
  try {
    new TskPngForm(&owner);
    FAIL() << "a TskPngForm on a plain component was made";
  } catch (const EInvalidCast& e) {
    EXPECT_STREQ(e.what(), "Form only");
  }
  EXPECT_EQ(owner.ComponentCount(), 0);
  TWinControl control(nullptr);
  EXPECT_THROW(new TskPngForm(&control), EInvalidCast);
  EXPECT_EQ(control.ComponentCount(), 0);
}

TEST(PngForm, TakesTheWindowAndGivesItBack) {
  auto form = std::unique_ptr<TForm>(NewForm<TForm>(nullptr));
  form->BorderStyle = bsSizeable;
  HWND wnd = form->Handle();
  LONG_PTR before = GetWindowLongPtrA(wnd, GWLP_WNDPROC);
  auto* png = new TskPngForm(form.get());
  EXPECT_EQ(png->OwnerHandle(), wnd);
  EXPECT_EQ(png->AlphaValue(), 255);
  EXPECT_TRUE(png->PngImage().Empty());
  EXPECT_EQ(form->BorderStyle, bsNone);
  EXPECT_EQ(GetWindowLongPtrA(wnd, GWL_STYLE) & WS_CAPTION, 0);  // the existing window lost its frame
  EXPECT_NE(GetWindowLongPtrA(wnd, GWLP_WNDPROC), before);
  // An empty picture paints nothing: the window does not become layered.
  form->Show();
  UpdateWindow(wnd);
  Pump(50);
  EXPECT_EQ(GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  EXPECT_EQ(SendMessageA(wnd, WM_ERASEBKGND, 0, 0), 1);
  delete png;
  EXPECT_EQ(GetWindowLongPtrA(wnd, GWLP_WNDPROC), before);
  EXPECT_EQ(form->ComponentCount(), 0);
}

TEST(PngForm, DamagedPictureFileReachesTheCaller) {
  TScratchDir dir("pngform");
  WriteAll(dir / "bad.png", std::string("\x89PNG\r\n\x1a\n", 8) + "not a picture");
  auto form = std::unique_ptr<TForm>(NewForm<TForm>(nullptr));
  auto* png = new TskPngForm(form.get());
  EXPECT_THROW(png->LoadPicture(dir / "bad.png"), Exception);
  EXPECT_THROW(png->LoadPicture(dir / "missing.png"), Exception);
  EXPECT_TRUE(png->PngImage().Empty());
}

// --- The splash window ----------------------------------------------------------------------

// This program's own folder has no "res\images\splash.png": the built-in picture shows at the
// stored place until the close posted at creation is handled by the first pass of the loop.
TEST(SplashForm, MissingFileShowsBuiltInPictureThenClosesAtFirstPass) {
  ASSERT_FALSE(Exists(QV_GetAppPath() + kSplashPictureFile));
  auto form = std::unique_ptr<TfrmCLSplashForm>(NewForm<TfrmCLSplashForm>(nullptr));
  ASSERT_NE(form->skpngfrm1, nullptr);
  const TskPngImage& builtIn = form->skpngfrm1->PngImage();
  ASSERT_FALSE(builtIn.Empty());
  EXPECT_TRUE(builtIn.HasAlpha());
  HWND wnd = form->Handle();
  // Stored size until the first paint.
  EXPECT_EQ(ClientSize(wnd).cx, 705);
  EXPECT_EQ(ClientSize(wnd).cy, 478);
  form->Show();
  UpdateWindow(wnd);
  EXPECT_TRUE(IsWindowVisible(wnd));
  EXPECT_EQ(ClientSize(wnd).cx, builtIn.Width());
  EXPECT_EQ(ClientSize(wnd).cy, builtIn.Height());
  RECT r;
  GetWindowRect(wnd, &r);
  EXPECT_EQ(r.left, 439);
  EXPECT_EQ(r.top, 162);
  OnePass();
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_TRUE(IsWindow(wnd));  // closing hides; the window stays until the program ends
}

namespace {

// Shows the splash as the run procedure does, then `then` decides; writes "ok" or the fault.
int SplashChild(const std::function<std::string(TfrmCLSplashForm*)>& then) {
  Application()->Initialize();
  ShowSplashForm();
  TfrmCLSplashForm* splash = SplashForm();
  std::string fault = splash ? then(splash) : "no splash";
  WriteResult(fault.empty() ? "ok" : fault);
  return 0;
}

std::string Check(bool condition, const std::string& what) { return condition ? "" : what + "; "; }

}  // namespace

QM_CHILD(splash_with_file) {
  return SplashChild([](TfrmCLSplashForm* splash) {
    HWND wnd = splash->Handle();
    std::string f;
    SIZE size = ClientSize(wnd);
    f += Check(size.cx == 400 && size.cy == 300,
               "size " + std::to_string(size.cx) + "x" + std::to_string(size.cy));
    f += Check((GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0, "not layered");
    LONG_PTR style = GetWindowLongPtrA(wnd, GWL_STYLE);
    f += Check((style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME)) == 0, "has a frame");
    RECT r;
    GetWindowRect(wnd, &r);
    POINT at = SplashPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 400, 300);
    f += Check(r.left == at.x && r.top == at.y,
               "placed at " + std::to_string(r.left) + "," + std::to_string(r.top));
    Pump(300);
    f += Check(IsWindowVisible(wnd) != FALSE, "closed without another window");
    // Another window of the program becoming active closes it.
    auto* other = NewForm<TForm>(nullptr);
    other->SetText("Main");
    other->Show();
    Pump(500);
    f += Check(!IsWindowVisible(wnd), "still shown after the main window came up");
    f += Check(IsWindow(wnd) != FALSE, "destroyed");
    return f;
  });
}

QM_CHILD(splash_damaged) {
  return SplashChild([](TfrmCLSplashForm* splash) {
    HWND wnd = splash->Handle();
    std::string f = Check(IsWindowVisible(wnd) != FALSE, "not shown");
    OnePass();
    f += Check(!IsWindowVisible(wnd), "still shown after the first pass");
    return f;
  });
}

TEST(SplashForm, LayeredBorderlessCentredAndClosedByTheMainWindow) {
  std::string png = SplashPng();
  ASSERT_FALSE(png.empty()) << "dist\\res\\images\\splash.png is missing (QM_DIST_DIR)";
  TSplashDir dir(ReadAll(png));
  EXPECT_EQ(dir.Run("splash_with_file"), 0);
  EXPECT_EQ(dir.Result(), "ok");
}

TEST(SplashForm, DamagedFileClosesAtFirstPassWithoutAnError) {
  for (const std::string& bytes :
       {std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, '\x00'), std::string("plain text, no picture")}) {
    TSplashDir dir(bytes);
    EXPECT_EQ(dir.Run("splash_damaged"), 0);  // an error box would hang it until the time-out
    EXPECT_EQ(dir.Result(), "ok");
  }
}

// --- Opacity ---------------------------------------------------------------------------------

namespace {

// The screen's colour at a point, as the display shows it.
COLORREF ScreenPixel(int x, int y) {
  HDC dc = GetDC(nullptr);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(nullptr, dc);
  return c;
}

}  // namespace

TEST(PngForm, AlphaValueTakesEffectAtTheNextPaint) {
  std::string error;
  TskPngImage picture;
  ASSERT_TRUE(picture.LoadFromFile(SplashPng(), &error)) << error;
  // An opaque pixel of the picture, found along its middle row.
  const TDecodedPng& px = picture.Pixels();
  int cx = -1, cy = picture.Height() / 2;
  for (int x = picture.Width() / 2; x < picture.Width() && cx < 0; ++x)
    if (px.Rgba[(static_cast<size_t>(cy) * px.Width + x) * 4 + 3] == 255) cx = x;
  ASSERT_GE(cx, 0);
  const uint8_t* rgba = &px.Rgba[(static_cast<size_t>(cy) * px.Width + cx) * 4];
  // What the layered window shows there: the colour premultiplied by the pixel's alpha 255,
  // (c * 255) >> 8, which is one less than the file's value for every non-zero channel.
  auto pre = [](uint8_t c) { return static_cast<BYTE>((c * 255) >> 8); };
  const COLORREF opaque = RGB(pre(rgba[0]), pre(rgba[1]), pre(rgba[2]));

  auto form = std::unique_ptr<TForm>(NewForm<TForm>(nullptr));
  form->SetBounds(60, 40, 10, 10);
  const int sx = 60 + cx, sy = 40 + cy;
  const COLORREF desktop = ScreenPixel(sx, sy);
  ASSERT_NE(desktop, opaque) << "the picture's pixel matches the desktop: nothing to tell apart";
  auto* png = new TskPngForm(form.get());
  png->SetPngImage(picture);
  form->Show();
  UpdateWindow(form->Handle());
  Pump(200);
  EXPECT_EQ(ClientSize(form->Handle()).cx, picture.Width());
  EXPECT_EQ(ScreenPixel(sx, sy), opaque);

  png->SetAlphaValue(0);
  Pump(200);
  EXPECT_EQ(ScreenPixel(sx, sy), opaque) << "a new AlphaValue repainted by itself";
  auto repaint = [&] {
    InvalidateRect(form->Handle(), nullptr, FALSE);
    UpdateWindow(form->Handle());
    Pump(200);
  };
  repaint();
  EXPECT_EQ(ScreenPixel(sx, sy), desktop) << "AlphaValue 0 after a paint";
  png->SetAlphaValue(255);
  repaint();
  EXPECT_EQ(ScreenPixel(sx, sy), opaque);
  png->SetAlphaValue(256);  // only the low 8 bits count
  repaint();
  EXPECT_EQ(ScreenPixel(sx, sy), desktop) << "AlphaValue 256";
  png->SetAlphaValue(0x1FF);
  repaint();
  EXPECT_EQ(ScreenPixel(sx, sy), opaque) << "AlphaValue 511";
}

// --- The run procedure's splash step ----------------------------------------------------------

namespace {

std::string gRunLog;

bool SplashShown() {
  HWND w = FindWindowA("TfrmCLSplashForm", nullptr);
  DWORD pid = 0;
  if (w) GetWindowThreadProcessId(w, &pid);
  return w && pid == GetCurrentProcessId() && IsWindowVisible(w);
}
bool SplashExists() {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, "TfrmCLSplashForm", nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId()) return true;
  }
  return false;
}

void CALLBACK LaterCheck(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  gRunLog += std::string(" later:") + (SplashShown() ? "shown" : "hidden") + " exists:" + (SplashExists() ? "yes" : "no");
  Application()->Terminate();
}

}  // namespace

// The main window of the run-procedure children: it notes whether the splash exists while it
// is being created, and again once the message loop has run for a while.
class TfrmSplashHost : public TForm {
  QM_CLASS(TfrmSplashHost, TForm)
 public:
  explicit TfrmSplashHost(TComponent* owner) : TForm(owner) {
    OnCreate = [](TObject*) {
      gRunLog = std::string("create:") + (SplashExists() ? (SplashShown() ? "shown" : "hidden") : "none");
      SetTimer(nullptr, 0, 800, &LaterCheck);
    };
    SetText("Splash host");
    SetBounds(50, 50, 300, 200);
  }
};
QM_REGISTER_CLASS(TfrmSplashHost, b) { (void)b; }

QM_CHILD(run_app) {
  TfrmSplashHost* host = nullptr;
  // Both the test's arguments and the child's name are in the command line the run procedure
  // reads; it takes "-h" from there.
  int code = RunApplication(&host);
  WriteResult(gRunLog);
  return code;
}

TEST(SplashRun, SplashStaysUntilTheMainWindowComesUp) {
  TSplashDir dir(ReadAll(SplashPng()), "App.Splash=1\r\n");
  EXPECT_EQ(dir.Run("run_app"), 0);
  EXPECT_EQ(dir.Result(), "create:shown later:hidden exists:yes");
}

TEST(SplashRun, SplashStaysWhenTheMainWindowStartsHidden) {
  TSplashDir dir(ReadAll(SplashPng()), "App.Splash=1\r\n");
  EXPECT_EQ(dir.Run("run_app", "-h"), 0);
  EXPECT_EQ(dir.Result(), "create:shown later:shown exists:yes");
}

TEST(SplashRun, NoSplashWindowAtAllWhenSwitchedOff) {
  for (const char* setting : {"App.Splash=0\r\n", ""}) {
    TSplashDir dir(ReadAll(SplashPng()), setting);
    EXPECT_EQ(dir.Run("run_app"), 0);
    EXPECT_EQ(dir.Result(), "create:none later:hidden exists:no") << setting;
  }
}

// Not a test: shows the splash over a plain window for a while, so that a screenshot of the
// display shows how the picture blends (args: milliseconds).
QM_CHILD(show_splash) {
  Application()->Initialize();
  auto* back = NewForm<TForm>(nullptr);
  back->SetText("Behind the splash");
  back->SetBounds(200, 150, 400, 420);
  back->Show();
  ShowSplashForm();
  Pump(args.empty() ? 5000 : static_cast<DWORD>(std::stoul(args[0])));
  return 0;
}
