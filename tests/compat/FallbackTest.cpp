// The stand-ins that take a system function's place where the system lacks it, called directly
// (under Wine every real function exists, so the import slots never reach them).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/Handles.h"
#include "platform/LegacyImports.h"
#include "support/TestSupport.h"

namespace {

using qmlegacy::TTickState;

struct TTickRow {
  const char* What;
  TTickState Seen;
  uint32_t Now;
  uint64_t Expect;
  TTickState Next;
};

TEST(FallbackTest, TickCountWidensAcrossWrapsAndStaleReadings) {
  const TTickRow rows[] = {
      {"first reading", {0, 0}, 3000000000u, 3000000000u, {1, 3000000000u}},
      {"forward", {1, 1000}, 5000, 5000, {1, 5000}},
      {"same reading", {1, 5000}, 5000, 5000, {1, 5000}},
      {"across the wrap", {1, 0xFFFFFF00u}, 0x10, 0x100000010ull, {2, 0x10}},
      {"after two wraps", {2, 0xFFFFFFF0u}, 0x5, 0x200000005ull, {3, 0x5}},
      {"stale, same round", {2, 100}, 90, 0x10000005Aull, {2, 100}},
      {"stale, before the wrap", {2, 0x10}, 0xFFFFFFF0u, 0xFFFFFFF0ull, {2, 0x10}},
      {"stale, before the first reading's wrap", {1, 0x10}, 0xFFFFFFF0u, 0x10, {1, 0x10}},
  };
  for (const TTickRow& row : rows) {
    SCOPED_TRACE(row.What);
    TTickState next;
    EXPECT_EQ(row.Expect, qmlegacy::WidenTickCount(row.Seen, row.Now, &next));
    EXPECT_EQ(row.Next.Epoch, next.Epoch);
    EXPECT_EQ(row.Next.Last, next.Last);
  }
}

TEST(FallbackTest, TickCountFollowsTheSystemAndNeverGoesBackInAnyThread) {
  DWORD before = GetTickCount();
  uint64_t ticks = qmlegacy::FallbackGetTickCount64();
  DWORD after = GetTickCount();
  EXPECT_GE(static_cast<uint32_t>(ticks), before);
  EXPECT_LE(static_cast<uint32_t>(ticks), after);

  std::atomic<int> backwards{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&backwards] {
      uint64_t last = 0;
      for (int i = 0; i < 20000; ++i) {
        uint64_t now = qmlegacy::FallbackGetTickCount64();
        if (now < last) ++backwards;
        last = now;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(0, backwards.load());
}

TEST(FallbackTest, TryEnterCriticalSectionWaitsForTheOwnerThenOwnsTheSection) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  TKernelHandle held(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread owner([&] {
    EnterCriticalSection(&section);
    SetEvent(held.get());
    Sleep(300);
    LeaveCriticalSection(&section);
  });
  WaitForSingleObject(held.get(), INFINITE);
  DWORD start = GetTickCount();
  EXPECT_TRUE(qmlegacy::FallbackTryEnterCriticalSection(&section));
  EXPECT_GE(GetTickCount() - start, 200u) << "returned while another thread held the section";
  owner.join();

  bool otherGot = true;
  std::thread other([&] {
    otherGot = TryEnterCriticalSection(&section) != FALSE;
    if (otherGot) LeaveCriticalSection(&section);
  });
  other.join();
  EXPECT_FALSE(otherGot) << "the stand-in did not leave the caller owning the section";
  EXPECT_TRUE(qmlegacy::FallbackTryEnterCriticalSection(&section));  // again by its owner
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
}

TEST(FallbackTest, HandleInformationTellsValidHandlesFromOthers) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD flags = 0xFFFF;
  EXPECT_TRUE(qmlegacy::FallbackGetHandleInformation(event, &flags));
  EXPECT_EQ(0u, flags);
  EXPECT_TRUE(qmlegacy::FallbackGetHandleInformation(GetCurrentProcess(), &flags));
  CloseHandle(event);
  EXPECT_FALSE(qmlegacy::FallbackGetHandleInformation(event, &flags));
  EXPECT_FALSE(qmlegacy::FallbackGetHandleInformation(nullptr, &flags));
}

TEST(FallbackTest, FileSizeReadsBothHalvesAndFailsOnABadHandle) {
  qmtest::TScratchDir dir("compat-size");
  std::string small = dir / "small.bin";
  qmtest::WriteAll(small, std::string(12345, 'x'));
  TFileHandle file(
      CreateFileA(small.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  LARGE_INTEGER size = {};
  EXPECT_TRUE(qmlegacy::FallbackGetFileSizeEx(file.get(), &size));
  EXPECT_EQ(12345, size.QuadPart);

  LARGE_INTEGER ignored = {};
  EXPECT_FALSE(qmlegacy::FallbackGetFileSizeEx(INVALID_HANDLE_VALUE, &ignored));
  EXPECT_FALSE(qmlegacy::FallbackGetFileSizeEx(file.get(), nullptr));

  // A size whose low word is the failure value, with an old error still set.
  std::string large = dir / "large.bin";
  TFileHandle big(
      CreateFileA(large.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(big);
  LONG high = 1;
  if (SetFilePointer(big.get(), 0xFFFFFFFF, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    GTEST_SKIP() << "cannot seek past 4 GB here";
  if (!SetEndOfFile(big.get())) GTEST_SKIP() << "no room for a sparse 8 GB file here";
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_TRUE(qmlegacy::FallbackGetFileSizeEx(big.get(), &size));
  EXPECT_EQ(0x1FFFFFFFFll, size.QuadPart);
}

// Owns a window made for a test.
class TTestWindow {
 public:
  TTestWindow(DWORD style, HWND parentOrOwner)
      : wnd_(CreateWindowExA(0, "STATIC", "", style, 0, 0, 50, 50, parentOrOwner, nullptr,
                             GetModuleHandleA(nullptr), nullptr)) {}
  ~TTestWindow() {
    if (IsWindow(wnd_)) DestroyWindow(wnd_);
  }
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;
  HWND get() const { return wnd_; }

 private:
  HWND wnd_;
};

TEST(FallbackTest, AncestorsMatchTheSystemsForParentsOwnersAndRoots) {
  using TGetAncestor = HWND(WINAPI*)(HWND, UINT);
  auto system = reinterpret_cast<TGetAncestor>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetAncestor")));
  ASSERT_TRUE(system);
  TTestWindow owner(WS_OVERLAPPEDWINDOW, nullptr);
  TTestWindow popup(WS_POPUP, owner.get());
  TTestWindow child(WS_CHILD, popup.get());
  TTestWindow grandchild(WS_CHILD, child.get());
  TTestWindow ownedPopup(WS_POPUP, popup.get());
  TTestWindow ownedPopupChild(WS_CHILD, ownedPopup.get());
  TTestWindow lone(WS_POPUP, nullptr);
  const struct {
    const char* What;
    HWND Wnd;
  } windows[] = {{"top-level", owner.get()},
                 {"owned popup", popup.get()},
                 {"child", child.get()},
                 {"grandchild", grandchild.get()},
                 {"popup of a popup", ownedPopup.get()},
                 {"its child", ownedPopupChild.get()},
                 {"unowned popup", lone.get()}};
  for (const auto& w : windows) {
    ASSERT_TRUE(w.Wnd) << w.What;
    for (UINT how : {GA_PARENT, GA_ROOT, GA_ROOTOWNER}) {
      SCOPED_TRACE(std::string(w.What) + ", GA " + std::to_string(how));
      EXPECT_EQ(system(w.Wnd, how), qmlegacy::FallbackGetAncestor(w.Wnd, how));
    }
  }
  EXPECT_EQ(owner.get(), qmlegacy::FallbackGetAncestor(ownedPopupChild.get(), GA_ROOTOWNER));
  EXPECT_EQ(nullptr, qmlegacy::FallbackGetAncestor(child.get(), 99));
  EXPECT_EQ(nullptr, qmlegacy::FallbackGetAncestor(nullptr, GA_PARENT));
  HWND gone = lone.get();
  DestroyWindow(gone);
  EXPECT_EQ(nullptr, qmlegacy::FallbackGetAncestor(gone, GA_ROOT));
}

// A 32-bit top-down DIB selected into a memory device context.
class TCanvas {
 public:
  TCanvas(int w, int h, uint32_t fill) : w_(w), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; bits_ && i < w * h; ++i) bits_[i] = fill;
  }
  ~TCanvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  HDC dc() const { return dc_; }
  bool Ok() const { return bits_ != nullptr; }
  uint32_t& At(int x, int y) { return bits_[y * w_ + x]; }  // 0x00RRGGBB
  uint32_t Pixel(int x, int y) {
    GdiFlush();
    return At(x, y) & 0xFFFFFF;
  }

 private:
  int w_;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kBlack = 0;

TEST(FallbackTest, AlphaBlendCopiesTheSourceStretched) {
  TCanvas source(2, 2, 0);
  TCanvas dest(4, 4, kBlack);
  ASSERT_TRUE(source.Ok() && dest.Ok());
  source.At(0, 0) = kRed;
  source.At(1, 0) = kGreen;
  source.At(0, 1) = kBlue;
  source.At(1, 1) = kWhite;
  EXPECT_TRUE(qmlegacy::FallbackAlphaBlend(dest.dc(), 0, 0, 4, 4, source.dc(), 0, 0, 2, 2));
  EXPECT_EQ(kRed, dest.Pixel(1, 1));
  EXPECT_EQ(kGreen, dest.Pixel(2, 0));
  EXPECT_EQ(kBlue, dest.Pixel(0, 3));
  EXPECT_EQ(kWhite, dest.Pixel(3, 3));
}

TRIVERTEX Vertex(LONG x, LONG y, uint32_t rgb) {
  return {x,
          y,
          static_cast<COLOR16>(((rgb >> 16) & 0xFF) << 8),
          static_cast<COLOR16>(((rgb >> 8) & 0xFF) << 8),
          static_cast<COLOR16>((rgb & 0xFF) << 8),
          0};
}

TEST(FallbackTest, GradientFillPaintsEachPieceInItsFirstVertexColour) {
  TCanvas canvas(10, 10, kWhite);
  ASSERT_TRUE(canvas.Ok());
  TRIVERTEX rect[2] = {Vertex(2, 2, kRed), Vertex(8, 6, kBlue)};
  GRADIENT_RECT r = {0, 1};
  EXPECT_TRUE(qmlegacy::FallbackGradientFill(canvas.dc(), rect, 2, &r, 1, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(kRed, canvas.Pixel(2, 2));
  EXPECT_EQ(kRed, canvas.Pixel(7, 5));
  EXPECT_EQ(kWhite, canvas.Pixel(8, 6));
  EXPECT_EQ(kWhite, canvas.Pixel(1, 1));

  TCanvas triangle(10, 10, kWhite);
  TRIVERTEX corners[3] = {Vertex(0, 0, kGreen), Vertex(9, 0, kRed), Vertex(0, 9, kBlue)};
  GRADIENT_TRIANGLE t = {0, 1, 2};
  EXPECT_TRUE(qmlegacy::FallbackGradientFill(triangle.dc(), corners, 3, &t, 1, GRADIENT_FILL_TRIANGLE));
  EXPECT_EQ(kGreen, triangle.Pixel(2, 2));
  EXPECT_EQ(kWhite, triangle.Pixel(8, 8));
}

TEST(FallbackTest, GradientFillRefusesBadMeshesAndPaintsNothing) {
  TCanvas canvas(10, 10, kWhite);
  ASSERT_TRUE(canvas.Ok());
  TRIVERTEX v[2] = {Vertex(0, 0, kRed), Vertex(10, 10, kRed)};
  GRADIENT_RECT outOfRange = {0, 2};
  EXPECT_FALSE(qmlegacy::FallbackGradientFill(canvas.dc(), v, 2, &outOfRange, 1, GRADIENT_FILL_RECT_H));
  GRADIENT_RECT r = {0, 1};
  EXPECT_FALSE(qmlegacy::FallbackGradientFill(canvas.dc(), v, 2, &r, 1, 7));
  EXPECT_FALSE(qmlegacy::FallbackGradientFill(canvas.dc(), nullptr, 2, &r, 1, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(kWhite, canvas.Pixel(5, 5));
}

TEST(FallbackTest, MouseTrackingGoesToTheCommonControlsEmulation) {
  TTestWindow wnd(WS_OVERLAPPEDWINDOW, nullptr);
  ASSERT_TRUE(wnd.get());
  TRACKMOUSEEVENT query = {sizeof query, TME_QUERY, nullptr, 0};
  EXPECT_TRUE(qmlegacy::FallbackTrackMouseEvent(&query)) << "no _TrackMouseEvent was reached";
  TRACKMOUSEEVENT bad = {0, TME_LEAVE, wnd.get(), 0};
  EXPECT_FALSE(qmlegacy::FallbackTrackMouseEvent(&bad));
}

// A fresh process, where the common controls library is not loaded yet. (Whether the classes
// get registered Wine cannot show: its user32 loads the common controls by itself when a
// window of one of their classes is made.)
QM_CHILD(InitCommonControlsFallback) {
  if (GetModuleHandleA("comctl32.dll")) return 3;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
  if (!qmlegacy::FallbackInitCommonControlsEx(&icc)) return 4;
  return GetModuleHandleA("comctl32.dll") ? 0 : 5;
}

TEST(FallbackTest, InitCommonControlsExLoadsTheCommonControlsAndInitialisesThem) {
  int rc = qmtest::RunChild("InitCommonControlsFallback");
  if (rc == 3) GTEST_SKIP() << "this program loads the common controls at start";
  EXPECT_EQ(0, rc) << "4: the call failed, 5: the library is not loaded after it";
}

}  // namespace
