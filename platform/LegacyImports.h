// Stand-ins for system functions that the oldest supported systems lack. LegacyImports.cpp
// defines the import slots of these functions, so every call of them (in the program and in
// the static runtime alike) first looks the real function up by name and otherwise lands on
// the stand-in declared here; the tests call the stand-ins directly.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

namespace qmlegacy {

// GetTickCount's 32-bit count widened to 64 bits by counting its wraps (every 49.7 days).
// `Epoch` is 0 before the first reading, else the wraps seen so far plus one; `Last` is the
// latest reading. A reading older than `Last` (a thread that read the clock before another
// stored its later reading) is widened without changing the state. Readings must come at
// least every 24.8 days for a wrap to be told from a stale reading.
struct TTickState {
  uint32_t Epoch = 0;
  uint32_t Last = 0;
};
uint64_t WidenTickCount(const TTickState& seen, uint32_t now, TTickState* next);

// The process-wide GetTickCount64 stand-in; counts from the wraps seen since its first call.
ULONGLONG FallbackGetTickCount64();
// Waits for the section and owns it (see the .cpp for why a plain FALSE is no answer).
BOOL FallbackTryEnterCriticalSection(LPCRITICAL_SECTION section);
// A handle is valid when it can be duplicated; the flags read as 0.
BOOL FallbackGetHandleInformation(HANDLE handle, LPDWORD flags);
BOOL FallbackGetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
// GA_PARENT, GA_ROOT and GA_ROOTOWNER through GetParent and the window styles.
HWND FallbackGetAncestor(HWND wnd, UINT how);
// The common controls' _TrackMouseEvent where that library has it, else FALSE.
BOOL FallbackTrackMouseEvent(LPTRACKMOUSEEVENT track);
// A plain StretchBlt of the source: no blending, premultiplied pictures show on black.
BOOL FallbackAlphaBlend(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int sw, int sh);
// Each rectangle or triangle filled with the colour of its first vertex.
BOOL FallbackGradientFill(HDC dc, const TRIVERTEX* vertices, ULONG vertexCount, const void* mesh,
                          ULONG meshCount, ULONG mode);
// InitCommonControls, which registers every class the first common controls library has.
BOOL FallbackInitCommonControlsEx(const INITCOMMONCONTROLSEX* init);

}  // namespace qmlegacy
