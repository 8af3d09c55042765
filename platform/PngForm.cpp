#include "platform/PngForm.h"

#include <cstring>

namespace {

// The component a replaced window belongs to: kept as a window property, since the window
// procedure is a plain function.
const char kPngFormProp[] = "QmPngForm";

HBITMAP OpaqueBitmap(const TskPngImage& picture) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = picture.Width();
  bi.bmiHeader.biHeight = -picture.Height();  // top-down, like the decoded rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp || !bits) return bmp;
  const TDecodedPng& px = picture.Pixels();
  RgbaToOpaqueBgra(px.Rgba.data(), static_cast<size_t>(px.Width) * px.Height, static_cast<uint8_t*>(bits));
  GdiFlush();
  return bmp;
}

}  // namespace

QM_REGISTER_CLASS(TskPngForm, b) {
  b.Binary("PngImage", &TskPngForm::PngData, &TskPngForm::SetPngData, "TskPngImage");
  b.Int("AlphaValue", &TskPngForm::AlphaValue, &TskPngForm::SetAlphaValue);
}

TskPngForm::TskPngForm(TComponent* owner) : TComponent(owner) {
  auto* form = dynamic_cast<TCustomForm*>(owner);
  if (!form) throw EInvalidCast("Form only");
  // Borderless before the window exists: changing the style later would need a new window,
  // and a new window would lose the replaced procedure and the layered style.
  bool existed = form->HandleAllocated();
  form->BorderStyle = bsNone;
  ownerHandle_ = form->Handle();
  if (existed) {
    LONG_PTR style = GetWindowLongPtrA(ownerHandle_, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    SetWindowLongPtrA(ownerHandle_, GWL_STYLE, style | WS_POPUP);
    SetWindowPos(ownerHandle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  png_ = std::make_unique<TskPngImage>();
  alphaValue_ = 255;
  SetPropA(ownerHandle_, kPngFormProp, reinterpret_cast<HANDLE>(this));
  savedProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(ownerHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TskPngForm::OwnerWindowProc)));
}

TskPngForm::~TskPngForm() {
  DropBitmap();
  png_.reset();
  if (ownerHandle_ && IsWindow(ownerHandle_)) {
    // Only when ours is still the window's procedure: whoever replaced it after us keeps
    // calling ours, which then hands everything to the saved procedure.
    if (GetWindowLongPtrA(ownerHandle_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&TskPngForm::OwnerWindowProc))
      SetWindowLongPtrA(ownerHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedProc_));
    RemovePropA(ownerHandle_, kPngFormProp);
  }
}

LRESULT CALLBACK TskPngForm::OwnerWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TskPngForm*>(GetPropA(wnd, kPngFormProp));
  if (self) return self->HandleOwnerMessage(wnd, msg, wp, lp);
  // The component is gone but another hook still chains to us: the framework's procedure
  // serves the window.
  return CallWindowProcA(&QmControlWndProc, wnd, msg, wp, lp);
}

LRESULT TskPngForm::HandleOwnerMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      UpdateLayer();
      break;
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  return CallWindowProcA(savedProc_, wnd, msg, wp, lp);
}

void TskPngForm::SetPngImage(const TskPngImage& picture) {
  *png_ = picture;
  PictureChanged();
}

void TskPngForm::SetPngData(const std::string& bytes) {
  TskPngImage picture;
  std::string error;
  if (!bytes.empty() && !picture.LoadFromData(bytes, &error)) throw EReadError("Damaged PNG picture: " + error);
  SetPngImage(picture);
}

void TskPngForm::LoadPicture(const std::string& fileName) {
  std::string error;
  if (!png_->LoadFromFile(fileName, &error)) throw EReadError(fileName + ": " + error);
  PictureChanged();
}

void TskPngForm::PictureChanged() {
  DropBitmap();
  if (ownerHandle_) {
    InvalidateRect(ownerHandle_, nullptr, FALSE);
    UpdateWindow(ownerHandle_);
  }
}

HBITMAP TskPngForm::CachedBitmap() {
  if (png_->Empty()) return nullptr;
  if (png_->HasAlpha()) return png_->PremultipliedBitmap();
  if (!opaqueCopy_) opaqueCopy_ = OpaqueBitmap(*png_);
  return opaqueCopy_;
}

void TskPngForm::DropBitmap() {
  if (opaqueCopy_) DeleteObject(opaqueCopy_);
  opaqueCopy_ = nullptr;
}

void TskPngForm::UpdateLayer() {
  if (!ownerHandle_ || !IsWindow(ownerHandle_) || png_->Empty()) return;
  LONG_PTR ex = GetWindowLongPtrA(ownerHandle_, GWL_EXSTYLE);
  if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrA(ownerHandle_, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  HBITMAP bmp = CachedBitmap();
  if (!bmp) return;
  SIZE size = {png_->Width(), png_->Height()};
  if (auto* form = dynamic_cast<TCustomForm*>(Owner())) {
    if (form->ClientWidth() != size.cx || form->ClientHeight() != size.cy) form->SetClientSize(size.cx, size.cy);
  }
  HDC screen = GetDC(nullptr);
  HDC source = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(source, bmp);
  POINT origin = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, BlendAlpha(alphaValue_), AC_SRC_ALPHA};
  if (!UpdateLayeredWindow(ownerHandle_, nullptr, nullptr, &size, source, &origin, 0, &blend, ULW_ALPHA)) {
    // Windows 95/98/Me and NT 4 have no layered windows: the picture is drawn plain instead,
    // its soft edges on the window's own black, rather than leaving an empty black window.
    HDC dc = GetDC(ownerHandle_);
    BitBlt(dc, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
    ReleaseDC(ownerHandle_, dc);
  }
  SelectObject(source, old);
  DeleteDC(source);
  ReleaseDC(nullptr, screen);
}
