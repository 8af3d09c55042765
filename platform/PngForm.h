// A component that turns the form owning it into a layered window showing a PNG picture with
// per-pixel alpha: every pixel is blended with whatever lies behind the window, so the picture
// may have soft or irregular edges. The owner's window procedure is replaced at creation; each
// paint pushes the premultiplied picture to the window with UpdateLayeredWindow.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "components/Forms.h"
#include "toolkit/PngImage.h"

class TskPngForm : public TComponent {
  QM_CLASS(TskPngForm, TComponent)
 public:
  // `owner` must be a form (EInvalidCast "Form only" otherwise). Its window is created when it
  // does not exist yet and must not be re-created while this component lives.
  explicit TskPngForm(TComponent* owner);
  ~TskPngForm() override;

  const TskPngImage& PngImage() const { return *png_; }
  // Copies the picture, then repaints with it.
  void SetPngImage(const TskPngImage& picture);
  // The stored form of the picture: the PNG file's bytes. A damaged picture raises EReadError.
  std::string PngData() const { return png_->Data(); }
  void SetPngData(const std::string& bytes);

  // Overall opacity; only the low 8 bits count (0 transparent, 255 opaque). Takes effect at the
  // next paint.
  int AlphaValue() const { return alphaValue_; }
  void SetAlphaValue(int value) { alphaValue_ = value; }

  // Loads a PNG file (EReadError naming the file and the reason), then repaints.
  void LoadPicture(const std::string& fileName);
  // Drops the cached bitmap and repaints the owner window at once.
  void PictureChanged();
  // Makes the window layered, sizes it to the picture and draws it; nothing without a window
  // or with an empty picture.
  void UpdateLayer();

  HWND OwnerHandle() const { return ownerHandle_; }

 private:
  static LRESULT CALLBACK OwnerWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleOwnerMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  HBITMAP CachedBitmap();
  void DropBitmap();

  HWND ownerHandle_ = nullptr;
  std::unique_ptr<TskPngImage> png_;
  int alphaValue_ = 255;
  // The picture the layered window takes: the picture's own premultiplied bitmap, or for a
  // picture without alpha channel an opaque 32-bit copy made here.
  HBITMAP opaqueCopy_ = nullptr;
  bool bitmapReady_ = false;
  WNDPROC savedProc_ = nullptr;
};

// The constant alpha of the blend: the low 8 bits of AlphaValue (256 acts as 0).
inline BYTE BlendAlpha(int alphaValue) { return static_cast<BYTE>(alphaValue & 0xFF); }
