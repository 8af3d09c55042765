// Import slots of our own (platform/ImportSlots.h) for the system functions that some supported
// system lacks. Windows refuses to start a program that imports a function its DLLs do not
// export, and the static threads runtime and the toolkit import several that arrived after
// Windows 95 and NT 4. Each slot's thunk looks the real function up by name on its first call
// and otherwise falls back to the stand-in in LegacyImports.h.
//
// The thunks may run before anything of this program is initialised: the threads runtime calls
// AddVectoredExceptionHandler from its TLS callback while the process attaches. So all state here
// is constant-initialised.
#include "platform/LegacyImports.h"

#include <algorithm>
#include <atomic>

#include "platform/Handles.h"
#include "platform/ImportSlots.h"

namespace qmlegacy {
namespace {

// Owns a GDI object made for one fill.
class TGdiObject {
 public:
  explicit TGdiObject(HGDIOBJ object) : object_(object) {}
  ~TGdiObject() {
    if (object_) DeleteObject(object_);
  }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  HGDIOBJ get() const { return object_; }

 private:
  HGDIOBJ object_;
};

uint64_t Combine(uint32_t wraps, uint32_t ticks) { return (static_cast<uint64_t>(wraps) << 32) | ticks; }

uint64_t Pack(const TTickState& s) { return Combine(s.Epoch, s.Last); }
TTickState Unpack(uint64_t packed) {
  return {static_cast<uint32_t>(packed >> 32), static_cast<uint32_t>(packed)};
}

std::atomic<uint64_t> gTickState{0};
static_assert(std::atomic<uint64_t>::is_always_lock_free, "the tick state must need no lock");

bool IsChildStyle(HWND wnd) { return (GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) != 0; }

// A bound on walks up a window chain: windows of other processes can change under the walk.
constexpr int kMaxChainLength = 4096;

HWND RootOf(HWND wnd) {
  HWND desktop = GetDesktopWindow();
  for (int i = 0; i < kMaxChainLength && IsChildStyle(wnd); ++i) {
    HWND up = GetParent(wnd);
    if (!up || up == desktop) break;
    wnd = up;
  }
  return wnd;
}

HWND RootOwnerOf(HWND wnd) {
  wnd = RootOf(wnd);
  HWND desktop = GetDesktopWindow();
  for (int i = 0; i < kMaxChainLength; ++i) {
    HWND up = GetParent(wnd);  // a child's parent, a popup's owner
    if (!up || up == desktop) break;
    wnd = up;
  }
  return wnd;
}

COLORREF VertexColour(const TRIVERTEX& v) { return RGB(v.Red >> 8, v.Green >> 8, v.Blue >> 8); }

bool FillRectangle(HDC dc, const TRIVERTEX* v, ULONG count, const GRADIENT_RECT& r) {
  if (r.UpperLeft >= count || r.LowerRight >= count) return false;
  const TRIVERTEX& a = v[r.UpperLeft];
  const TRIVERTEX& b = v[r.LowerRight];
  RECT area = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  TGdiObject brush(CreateSolidBrush(VertexColour(a)));
  return brush.get() && FillRect(dc, &area, static_cast<HBRUSH>(brush.get()));
}

bool FillTriangle(HDC dc, const TRIVERTEX* v, ULONG count, const GRADIENT_TRIANGLE& t) {
  if (t.Vertex1 >= count || t.Vertex2 >= count || t.Vertex3 >= count) return false;
  POINT corners[3] = {
      {v[t.Vertex1].x, v[t.Vertex1].y}, {v[t.Vertex2].x, v[t.Vertex2].y}, {v[t.Vertex3].x, v[t.Vertex3].y}};
  TGdiObject brush(CreateSolidBrush(VertexColour(v[t.Vertex1])));
  if (!brush.get()) return false;
  HGDIOBJ oldBrush = SelectObject(dc, brush.get());
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  bool ok = Polygon(dc, corners, 3) != FALSE;
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  return ok;
}

TSystemFunction gTrackMouseEmulation("comctl32.dll", "_TrackMouseEvent");
TSystemFunction gInitCommonControls("comctl32.dll", "InitCommonControls");

BOOL NotImplemented() {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

}  // namespace

uint64_t WidenTickCount(const TTickState& seen, uint32_t now, TTickState* next) {
  *next = seen;
  if (seen.Epoch == 0) {
    *next = {1, now};
    return now;
  }
  if (static_cast<int32_t>(now - seen.Last) >= 0) {
    if (now < seen.Last) ++next->Epoch;  // the count passed 0xFFFFFFFF since the last reading
    next->Last = now;
    return Combine(next->Epoch - 1, now);
  }
  // A reading older than the latest one: from the same round when it is smaller, else from
  // before the wrap that the latest one followed.
  if (now < seen.Last) return Combine(seen.Epoch - 1, now);
  // Nothing earlier than the first reading is given out: it may have followed a wrap that this
  // one precedes.
  if (seen.Epoch == 1) return seen.Last;
  return Combine(seen.Epoch - 2, now);
}

// Windows 95 to XP and Server 2003 have no GetTickCount64. The threads runtime measures its
// time-outs with it from any thread, so the state is one word updated by compare-and-swap.
ULONGLONG FallbackGetTickCount64() {
  uint32_t now = GetTickCount();
  uint64_t seen = gTickState.load(std::memory_order_acquire);
  for (;;) {
    TTickState next;
    uint64_t ticks = WidenTickCount(Unpack(seen), now, &next);
    uint64_t packed = Pack(next);
    if (packed == seen || gTickState.compare_exchange_weak(seen, packed, std::memory_order_acq_rel))
      return ticks;
  }
}

// Windows 95/98/Me have no TryEnterCriticalSection. The threads runtime's condition variables
// are its only callers: a wait retries for as long as the answer is FALSE (it would never
// return) and a destroy gives up with EBUSY, so a plain FALSE is no answer. Waiting for the
// section can only block for good where its owner waits for the condition's gate semaphore,
// which the waiter holds: a signal racing with a second waiter's registration. The program's
// own code waits on no condition variable, and the C++ runtime only while two threads
// initialise the same static at once.
BOOL FallbackTryEnterCriticalSection(LPCRITICAL_SECTION section) {
  EnterCriticalSection(section);
  return TRUE;
}

// Windows 95/98/Me do not implement GetHandleInformation; the threads runtime asks it only
// whether a thread handle is still valid, which duplicating the handle tells as well.
BOOL FallbackGetHandleInformation(HANDLE handle, LPDWORD flags) {
  HANDLE copy = nullptr;
  HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, handle, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return FALSE;
  TKernelHandle owned(copy);
  if (flags) *flags = 0;
  return TRUE;
}

// Windows 95/98/Me and NT 4 have no GetFileSizeEx.
BOOL FallbackGetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD high = 0;
  SetLastError(NO_ERROR);  // a size whose low word is 0xFFFFFFFF reads like the failure value
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FALSE;
  size->LowPart = low;
  size->HighPart = static_cast<LONG>(high);
  return TRUE;
}

// Windows 95 has no GetAncestor.
HWND FallbackGetAncestor(HWND wnd, UINT how) {
  if (!wnd || !IsWindow(wnd) || wnd == GetDesktopWindow()) return nullptr;
  switch (how) {
    case GA_PARENT:  // the parent, never the owner: top-level windows belong to the desktop
      return IsChildStyle(wnd) ? GetParent(wnd) : GetDesktopWindow();
    case GA_ROOT:
      return RootOf(wnd);
    case GA_ROOTOWNER:
      return RootOwnerOf(wnd);
    default:
      return nullptr;
  }
}

// Windows 95 has no TrackMouseEvent; the common controls of Internet Explorer 3 and later
// bring _TrackMouseEvent, which emulates it there.
BOOL FallbackTrackMouseEvent(LPTRACKMOUSEEVENT track) {
  auto fn = gTrackMouseEmulation.Get<decltype(&::_TrackMouseEvent)>();
  return fn ? fn(track) : NotImplemented();
}

// Windows 95 and NT 4 have no msimg32.dll.
BOOL FallbackAlphaBlend(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int sw, int sh) {
  return StretchBlt(dest, x, y, w, h, source, sx, sy, sw, sh, SRCCOPY);
}

BOOL FallbackGradientFill(HDC dc, const TRIVERTEX* vertices, ULONG vertexCount, const void* mesh,
                          ULONG meshCount, ULONG mode) {
  bool rectangles = mode == GRADIENT_FILL_RECT_H || mode == GRADIENT_FILL_RECT_V;
  if ((!rectangles && mode != GRADIENT_FILL_TRIANGLE) || (meshCount && (!vertices || !mesh))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (ULONG i = 0; i < meshCount; ++i) {
    bool ok = rectangles
                  ? FillRectangle(dc, vertices, vertexCount, static_cast<const GRADIENT_RECT*>(mesh)[i])
                  : FillTriangle(dc, vertices, vertexCount, static_cast<const GRADIENT_TRIANGLE*>(mesh)[i]);
    if (!ok) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  return TRUE;
}

// The common controls of Windows 95 and NT 4 (version 4.00) have no InitCommonControlsEx.
BOOL FallbackInitCommonControlsEx(const INITCOMMONCONTROLSEX*) {
  auto fn = gInitCommonControls.Get<void(WINAPI*)()>();
  if (!fn) return NotImplemented();
  fn();
  return TRUE;
}

namespace {

TSystemFunction gGetTickCount64("kernel32.dll", "GetTickCount64");
TSystemFunction gAddVectoredExceptionHandler("kernel32.dll", "AddVectoredExceptionHandler");
TSystemFunction gRemoveVectoredExceptionHandler("kernel32.dll", "RemoveVectoredExceptionHandler");
TSystemFunction gIsDebuggerPresent("kernel32.dll", "IsDebuggerPresent");
TSystemFunction gTryEnterCriticalSection("kernel32.dll", "TryEnterCriticalSection", true);
TSystemFunction gSetProcessAffinityMask("kernel32.dll", "SetProcessAffinityMask", true);
TSystemFunction gGetHandleInformation("kernel32.dll", "GetHandleInformation", true);
TSystemFunction gGetFileSizeEx("kernel32.dll", "GetFileSizeEx");
TSystemFunction gGetLongPathNameA("kernel32.dll", "GetLongPathNameA");
TSystemFunction gUpdateLayeredWindow("user32.dll", "UpdateLayeredWindow");
TSystemFunction gTrackMouseEvent("user32.dll", "TrackMouseEvent");
TSystemFunction gGetAncestor("user32.dll", "GetAncestor");
TSystemFunction gAlphaBlend("msimg32.dll", "AlphaBlend");
TSystemFunction gGradientFill("msimg32.dll", "GradientFill");
TSystemFunction gInitCommonControlsEx("comctl32.dll", "InitCommonControlsEx");

ULONGLONG WINAPI ThunkGetTickCount64() {
  auto real = gGetTickCount64.Get<decltype(&::GetTickCount64)>();
  return real ? real() : FallbackGetTickCount64();
}

// Windows 95 to 2000 have no vectored handlers; the threads runtime then names no threads.
PVOID WINAPI ThunkAddVectoredExceptionHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler) {
  auto real = gAddVectoredExceptionHandler.Get<decltype(&::AddVectoredExceptionHandler)>();
  return real ? real(first, handler) : nullptr;
}

ULONG WINAPI ThunkRemoveVectoredExceptionHandler(PVOID handle) {
  auto real = gRemoveVectoredExceptionHandler.Get<decltype(&::RemoveVectoredExceptionHandler)>();
  return real ? real(handle) : 0;
}

// Windows 95 has no IsDebuggerPresent.
WINBOOL WINAPI ThunkIsDebuggerPresent() {
  auto real = gIsDebuggerPresent.Get<decltype(&::IsDebuggerPresent)>();
  return real ? real() : FALSE;
}

WINBOOL WINAPI ThunkTryEnterCriticalSection(LPCRITICAL_SECTION section) {
  auto real = gTryEnterCriticalSection.Get<decltype(&::TryEnterCriticalSection)>();
  return real ? real(section) : FallbackTryEnterCriticalSection(section);
}

// Windows 95/98/Me have no SetProcessAffinityMask, and a single processor to choose from.
WINBOOL WINAPI ThunkSetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
  auto real = gSetProcessAffinityMask.Get<decltype(&::SetProcessAffinityMask)>();
  return real ? real(process, mask) : NotImplemented();
}

WINBOOL WINAPI ThunkGetHandleInformation(HANDLE handle, LPDWORD flags) {
  auto real = gGetHandleInformation.Get<decltype(&::GetHandleInformation)>();
  return real ? real(handle, flags) : FallbackGetHandleInformation(handle, flags);
}

WINBOOL WINAPI ThunkGetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
  auto real = gGetFileSizeEx.Get<decltype(&::GetFileSizeEx)>();
  return real ? real(file, size) : FallbackGetFileSizeEx(file, size);
}

// Windows 95 and NT 4 have no GetLongPathNameA; 0 leaves the caller with the path it has.
DWORD WINAPI ThunkGetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size) {
  auto real = gGetLongPathNameA.Get<decltype(&::GetLongPathNameA)>();
  return real ? real(shortPath, longPath, size) : NotImplemented();
}

// Windows 95/98/Me and NT 4 have no layered windows.
WINBOOL WINAPI ThunkUpdateLayeredWindow(HWND wnd, HDC dest, POINT* destPos, SIZE* size, HDC source,
                                        POINT* sourcePos, COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
  auto real = gUpdateLayeredWindow.Get<decltype(&::UpdateLayeredWindow)>();
  return real ? real(wnd, dest, destPos, size, source, sourcePos, key, blend, flags) : NotImplemented();
}

WINBOOL WINAPI ThunkTrackMouseEvent(LPTRACKMOUSEEVENT track) {
  auto real = gTrackMouseEvent.Get<decltype(&::TrackMouseEvent)>();
  return real ? real(track) : FallbackTrackMouseEvent(track);
}

HWND WINAPI ThunkGetAncestor(HWND wnd, UINT how) {
  auto real = gGetAncestor.Get<decltype(&::GetAncestor)>();
  return real ? real(wnd, how) : FallbackGetAncestor(wnd, how);
}

WINBOOL WINAPI ThunkAlphaBlend(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int sw,
                               int sh, BLENDFUNCTION blend) {
  auto real = gAlphaBlend.Get<decltype(&::AlphaBlend)>();
  return real ? real(dest, x, y, w, h, source, sx, sy, sw, sh, blend)
              : FallbackAlphaBlend(dest, x, y, w, h, source, sx, sy, sw, sh);
}

WINBOOL WINAPI ThunkGradientFill(HDC dc, PTRIVERTEX vertices, ULONG vertexCount, PVOID mesh, ULONG meshCount,
                                 ULONG mode) {
  auto real = gGradientFill.Get<decltype(&::GradientFill)>();
  return real ? real(dc, vertices, vertexCount, mesh, meshCount, mode)
              : FallbackGradientFill(dc, vertices, vertexCount, mesh, meshCount, mode);
}

WINBOOL WINAPI ThunkInitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  auto real = gInitCommonControlsEx.Get<decltype(&::InitCommonControlsEx)>();
  return real ? real(init) : FallbackInitCommonControlsEx(init);
}

}  // namespace
}  // namespace qmlegacy

#define QM_IMPORT_SLOT(name, bytes) QM_IMPORT_SLOT_OF(name, bytes, &qmlegacy::Thunk##name)

QM_IMPORT_SLOT(GetTickCount64, 0);
QM_IMPORT_SLOT(AddVectoredExceptionHandler, 8);
QM_IMPORT_SLOT(RemoveVectoredExceptionHandler, 4);
QM_IMPORT_SLOT(IsDebuggerPresent, 0);
QM_IMPORT_SLOT(TryEnterCriticalSection, 4);
QM_IMPORT_SLOT(SetProcessAffinityMask, 8);
QM_IMPORT_SLOT(GetHandleInformation, 8);
QM_IMPORT_SLOT(GetFileSizeEx, 8);
QM_IMPORT_SLOT(GetLongPathNameA, 12);
QM_IMPORT_SLOT(UpdateLayeredWindow, 36);
QM_IMPORT_SLOT(TrackMouseEvent, 4);
QM_IMPORT_SLOT(GetAncestor, 8);
QM_IMPORT_SLOT(AlphaBlend, 44);
QM_IMPORT_SLOT(GradientFill, 24);
QM_IMPORT_SLOT(InitCommonControlsEx, 4);
