// Drawing helpers shared by every skinned control and the window frame: an off-screen buffer,
// gradients, rounded shapes, soft glow rings and text. Plain GDI, available from Windows 95 on
// (gradients and blending come from msimg32).
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/Skin.h"

// Paints into a memory bitmap and copies it to the target when it goes, so a control never
// flickers through its intermediate states. Restores every object it selected.
class TskPaintBuffer {
 public:
  TskPaintBuffer(HDC target, const RECT& rect);
  ~TskPaintBuffer();
  TskPaintBuffer(const TskPaintBuffer&) = delete;
  TskPaintBuffer& operator=(const TskPaintBuffer&) = delete;
  HDC dc() const { return mem_ ? mem_ : target_; }

 private:
  HDC target_;
  RECT rect_;
  HDC mem_ = nullptr;
  HBITMAP bmp_ = nullptr;
  HGDIOBJ oldBmp_ = nullptr;
  POINT oldOrg_{};
};

// Selects a GDI object for its lifetime.
class TskSelect {
 public:
  TskSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
  ~TskSelect() { if (old_) SelectObject(dc_, old_); }
  TskSelect(const TskSelect&) = delete;
  TskSelect& operator=(const TskSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

COLORREF SkBlend(COLORREF a, COLORREF b, int weightOfB);  // weight 0..255
COLORREF SkLighten(COLORREF c, int amount);               // toward white, 0..255

void SkFillRect(HDC dc, const RECT& r, COLORREF c);
void SkVerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom);
// A rounded rectangle filled with a vertical gradient and outlined with `border` (pass
// CLR_INVALID for no outline). Corners outside the shape are left as they were.
void SkRoundGradient(HDC dc, const RECT& r, int radius, COLORREF top, COLORREF bottom, COLORREF border);
void SkRoundFrame(HDC dc, const RECT& r, int radius, COLORREF color);
// Soft rings of `color` growing outward from `inner` by `size` pixels, fading out from
// `strength` (0..255) at the inside: the glow around a hot or focused button.
void SkGlowRing(HDC dc, const RECT& inner, int radius, int size, COLORREF color, int strength);
// Text with "&" mnemonics (drawn underlined unless hidePrefix), in `font` and `color`.
void SkText(HDC dc, const std::string& text, RECT r, HFONT font, COLORREF color, UINT format);
SIZE SkTextSize(HDC dc, const std::string& text, HFONT font, UINT format, int wrapWidth = 0);
// One line of text without mnemonics, each character placed at the advance the font's metrics
// give it, clipped to `clip`. Renderers may place glyphs by hinted advances of their own while
// an underline and every measurement follow the metrics (Wine draws "Install Firefox
// Extension" in its 11-pixel Tahoma 10 pixels narrower than it measures, and the underline ran
// past the last letter); placed this way, ink, underline and measurements agree.
void SkTextPlaced(HDC dc, const std::string& text, int x, int y, const RECT& clip, HFONT font, COLORREF color);
SIZE SkTextPlacedSize(HDC dc, const std::string& text, HFONT font);
// The text as shown with its "&" mnemonics removed ("&&" stays one "&").
std::string SkWithoutMnemonics(const std::string& text);
// The height of one line of `font`.
int SkLineHeight(HDC dc, HFONT font);
// Background painting between toolkit windows: a registered message (wParam: a device
// context already shifted to the receiver's coordinates) asks a window to paint its
// background; toolkit panels and skinned forms answer 1.
UINT SkPaintBackgroundMessage();
// The background a transparent child shows: its parent's painting, shifted to the child.
void SkPaintParentBackground(HWND child, HDC dc);
// Windows and panels: the skin's background gradient over the whole client area.
void SkPaintWindowBackground(HDC dc, const RECT& client, const TskSkin& skin);
// A focus rectangle in the skin's focus colour (dotted, like the system's, but coloured).
void SkFocusRect(HDC dc, const RECT& r, COLORREF color);
