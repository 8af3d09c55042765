// A loaded skin: its description, its PNG pieces and the fonts made from it. Immutable once
// loaded and shared by everything that draws with it, so switching skins only swaps a pointer.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "toolkit/PngImage.h"
#include "toolkit/SkinDescription.h"

// An owned GDI font.
class TskFontHandle {
 public:
  TskFontHandle() = default;
  explicit TskFontHandle(HFONT f) : font_(f) {}
  ~TskFontHandle() { if (font_) DeleteObject(font_); }
  TskFontHandle(const TskFontHandle&) = delete;
  TskFontHandle& operator=(const TskFontHandle&) = delete;
  TskFontHandle(TskFontHandle&& o) noexcept : font_(o.font_) { o.font_ = nullptr; }
  TskFontHandle& operator=(TskFontHandle&& o) noexcept {
    if (this != &o) {
      if (font_) DeleteObject(font_);
      font_ = o.font_;
      o.font_ = nullptr;
    }
    return *this;
  }
  HFONT get() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

HFONT CreateSkinFont(const std::string& face, int pixelHeight, bool bold, bool underline = false);

class TskSkin {
 public:
  // Reads a skin file's bytes: container, description and pieces. Null with the reason in
  // `error` when any part is damaged.
  static std::shared_ptr<const TskSkin> FromFileBytes(const std::string& bytes, std::string* error);
  // The skin built into the program ("Frost"); never null.
  static std::shared_ptr<const TskSkin> BuiltIn();
  static const std::string& BuiltInBytes();  // its skin file, as stored with a window

  const TSkinDescription& Desc() const { return desc_; }
  const std::string& Name() const { return desc_.Name; }
  const TskPngImage* Piece(const std::string& name) const;  // null when absent

  HFONT ControlFont() const { return controlFont_.get(); }
  HFONT LinkFont() const { return linkFont_.get(); }
  HFONT CaptionFont() const { return captionFont_.get(); }
  HFONT PanelTitleFont() const { return panelTitleFont_.get(); }

 private:
  TskSkin() = default;
  void MakeFonts();

  TSkinDescription desc_;
  std::map<std::string, TskPngImage> pieces_;
  TskFontHandle controlFont_, linkFont_, captionFont_, panelTitleFont_;
};
