#include "toolkit/SkinPaint.h"

#include <algorithm>
#include <vector>

TskPaintBuffer::TskPaintBuffer(HDC target, const RECT& rect) : target_(target), rect_(rect) {
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return;
  mem_ = CreateCompatibleDC(target);
  bmp_ = CreateCompatibleBitmap(target, w, h);
  if (!mem_ || !bmp_) {  // out of GDI memory: paint directly rather than not at all
    if (bmp_) DeleteObject(bmp_);
    if (mem_) DeleteDC(mem_);
    mem_ = nullptr;
    bmp_ = nullptr;
    return;
  }
  oldBmp_ = SelectObject(mem_, bmp_);
  SetWindowOrgEx(mem_, rect.left, rect.top, &oldOrg_);
  SetBkMode(mem_, TRANSPARENT);
}

TskPaintBuffer::~TskPaintBuffer() {
  if (!mem_) return;
  BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, mem_, rect_.left,
         rect_.top, SRCCOPY);
  SetWindowOrgEx(mem_, oldOrg_.x, oldOrg_.y, nullptr);
  SelectObject(mem_, oldBmp_);
  DeleteObject(bmp_);
  DeleteDC(mem_);
}

COLORREF SkBlend(COLORREF a, COLORREF b, int w) {
  w = std::clamp(w, 0, 255);
  auto mix = [w](int x, int y) { return (x * (255 - w) + y * w + 127) / 255; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

COLORREF SkLighten(COLORREF c, int amount) { return SkBlend(c, RGB(255, 255, 255), amount); }

void SkFillRect(HDC dc, const RECT& r, COLORREF c) {
  COLORREF old = SetBkColor(dc, c);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

void SkVerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
  if (r.bottom <= r.top || r.right <= r.left) return;
  TRIVERTEX v[2] = {
      {r.left, r.top, static_cast<COLOR16>(GetRValue(top) << 8), static_cast<COLOR16>(GetGValue(top) << 8),
       static_cast<COLOR16>(GetBValue(top) << 8), 0},
      {r.right, r.bottom, static_cast<COLOR16>(GetRValue(bottom) << 8),
       static_cast<COLOR16>(GetGValue(bottom) << 8), static_cast<COLOR16>(GetBValue(bottom) << 8), 0}};
  GRADIENT_RECT g = {0, 1};
  if (!GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V)) SkFillRect(dc, r, SkBlend(top, bottom, 128));
}

void SkRoundGradient(HDC dc, const RECT& r, int radius, COLORREF top, COLORREF bottom, COLORREF border) {
  if (r.bottom <= r.top || r.right <= r.left) return;
  int d = radius * 2;
  HRGN rgn = d > 0 ? CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, d, d)
                   : CreateRectRgn(r.left, r.top, r.right, r.bottom);
  // Regions are in device units; the buffer shifts the origin, so move the region with it.
  POINT org;
  GetWindowOrgEx(dc, &org);
  OffsetRgn(rgn, -org.x, -org.y);
  int saved = SaveDC(dc);
  ExtSelectClipRgn(dc, rgn, RGN_AND);
  SkVerticalGradient(dc, r, top, bottom);
  RestoreDC(dc, saved);
  DeleteObject(rgn);
  if (border != CLR_INVALID) SkRoundFrame(dc, r, radius, border);
}

void SkRoundFrame(HDC dc, const RECT& r, int radius, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  {
    TskSelect p(dc, pen);
    TskSelect b(dc, GetStockObject(NULL_BRUSH));
    if (radius > 0) RoundRect(dc, r.left, r.top, r.right, r.bottom, radius * 2, radius * 2);
    else Rectangle(dc, r.left, r.top, r.right, r.bottom);
  }
  DeleteObject(pen);
}

void SkGlowRing(HDC dc, const RECT& inner, int radius, int size, COLORREF color, int strength) {
  if (size <= 0 || strength <= 0) return;
  // Each ring is drawn opaque on a copy of what is there and blended back with a constant
  // alpha: soft edges without per-pixel alpha work.
  RECT outer = inner;
  InflateRect(&outer, size, size);
  int w = outer.right - outer.left, h = outer.bottom - outer.top;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
  if (!mem || !bmp) {
    if (bmp) DeleteObject(bmp);
    if (mem) DeleteDC(mem);
    return;
  }
  HGDIOBJ old = SelectObject(mem, bmp);
  for (int i = size; i >= 1; --i) {
    BitBlt(mem, 0, 0, w, h, dc, outer.left, outer.top, SRCCOPY);
    RECT ring = {inner.left - i - outer.left, inner.top - i - outer.top, inner.right + i - outer.left,
                 inner.bottom + i - outer.top};
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    {
      TskSelect p(mem, pen);
      TskSelect b(mem, GetStockObject(NULL_BRUSH));
      int rr = (radius + i) * 2;
      RoundRect(mem, ring.left, ring.top, ring.right, ring.bottom, rr, rr);
    }
    DeleteObject(pen);
    int alpha = strength * (size - i + 1) / (size + 1);
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, static_cast<BYTE>(std::clamp(alpha, 0, 255)), 0};
    AlphaBlend(dc, outer.left, outer.top, w, h, mem, 0, 0, w, h, bf);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

void SkText(HDC dc, const std::string& text, RECT r, HFONT font, COLORREF color, UINT format) {
  TskSelect f(dc, font);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF old = SetTextColor(dc, color);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  SetTextColor(dc, old);
  SetBkMode(dc, oldMode);
}

SIZE SkTextSize(HDC dc, const std::string& text, HFONT font, UINT format, int wrapWidth) {
  TskSelect f(dc, font);
  RECT r = {0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

std::string SkWithoutMnemonics(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    else if (text[i] == '&') continue;
    out += text[i];
  }
  return out;
}

namespace {

// Each character's advance by the font's metrics (the ends of GetTextExtentExPoint's partial
// extents, made into steps).
std::vector<int> Advances(HDC dc, const std::string& text, SIZE* size) {
  std::vector<int> ends(text.size()), steps(text.size());
  int fit = 0;
  *size = SIZE{0, 0};
  if (text.empty() || !GetTextExtentExPointA(dc, text.c_str(), static_cast<int>(text.size()), 0x7FFFFFFF, &fit,
                                             ends.data(), size))
    return {};
  for (size_t i = 0; i < text.size(); ++i) steps[i] = ends[i] - (i ? ends[i - 1] : 0);
  return steps;
}

}  // namespace

void SkTextPlaced(HDC dc, const std::string& text, int x, int y, const RECT& clip, HFONT font, COLORREF color) {
  TskSelect f(dc, font);
  SIZE size;
  std::vector<int> steps = Advances(dc, text, &size);
  if (steps.empty()) return;
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF old = SetTextColor(dc, color);
  ExtTextOutA(dc, x, y, ETO_CLIPPED, &clip, text.c_str(), static_cast<UINT>(text.size()), steps.data());
  SetTextColor(dc, old);
  SetBkMode(dc, oldMode);
}

SIZE SkTextPlacedSize(HDC dc, const std::string& text, HFONT font) {
  TskSelect f(dc, font);
  SIZE size;
  Advances(dc, text, &size);
  if (text.empty()) {
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    size.cy = tm.tmHeight;
  }
  return size;
}

int SkLineHeight(HDC dc, HFONT font) {
  TskSelect f(dc, font);
  TEXTMETRICA tm;
  return GetTextMetricsA(dc, &tm) ? std::max<int>(1, tm.tmHeight) : 1;
}

UINT SkPaintBackgroundMessage() {
  static const UINT msg = RegisterWindowMessageA("QmSkinPaintBackground");
  return msg;
}

void SkPaintParentBackground(HWND child, HDC dc) {
  HWND parent = GetParent(child);
  if (!parent) return;
  POINT pt = {0, 0};
  MapWindowPoints(child, parent, &pt, 1);
  POINT old;
  OffsetWindowOrgEx(dc, pt.x, pt.y, &old);
  // The parent paints its background as for itself; the offset puts the right part under us.
  // A window outside the toolkit gets the ordinary erase message instead.
  if (!SendMessageA(parent, SkPaintBackgroundMessage(), reinterpret_cast<WPARAM>(dc), 0))
    SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  SetWindowOrgEx(dc, old.x, old.y, nullptr);
}

void SkPaintWindowBackground(HDC dc, const RECT& client, const TskSkin& skin) {
  const TSkinDescription& d = skin.Desc();
  SkVerticalGradient(dc, client, d.Window, d.WindowBottom);
  if (const TskPngImage* tex = skin.Piece(d.WindowTexture)) tex->DrawTiled(dc, client);
}

void SkFocusRect(HDC dc, const RECT& r, COLORREF color) {
  LOGBRUSH lb = {BS_SOLID, color, 0};
  HPEN pen = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
  if (!pen) pen = CreatePen(PS_DOT, 1, color);
  {
    TskSelect p(dc, pen);
    TskSelect b(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
  }
  DeleteObject(pen);
}
