#include "toolkit/Skin.h"

#include <cstring>
#include <vector>

#include "toolkit/SkinFile.h"

// The built-in skin's file, generated at build time from toolkit/skins/Frost by the skin tool.
extern const unsigned char kFrostSkin[];
extern const size_t kFrostSkinSize;

HFONT CreateSkinFont(const std::string& face, int pixelHeight, bool bold, bool underline) {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = -pixelHeight;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = underline ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lstrcpynA(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return CreateFontIndirectA(&lf);
}

std::shared_ptr<const TskSkin> TskSkin::FromFileBytes(const std::string& bytes, std::string* error) {
  std::vector<TSkinEntry> entries;
  if (!UnpackSkinFile(bytes, &entries, error)) return nullptr;
  std::shared_ptr<TskSkin> skin(new TskSkin());
  if (!ParseSkinDescription(entries[0].Data, &skin->desc_, error)) return nullptr;
  for (const std::string& name : SkinPieceNames(skin->desc_)) {
    const TSkinEntry* e = FindSkinEntry(entries, name);
    if (!e) {
      *error = "missing piece " + name;
      return nullptr;
    }
    TskPngImage picture;
    if (!picture.LoadFromData(e->Data, error)) {
      *error = name + ": " + *error;
      return nullptr;
    }
    skin->pieces_[name] = std::move(picture);
  }
  // A tiled picture is drawn once per copy on every background paint, and transparent
  // controls repaint the background under them: a tiny one would cost thousands of copies.
  if (const TskPngImage* tex = skin->Piece(skin->desc_.WindowTexture)) {
    if (tex->Width() < kMinSkinTileSide || tex->Height() < kMinSkinTileSide) {
      *error = "Pieces.WindowTexture: a tiled picture must be at least " + std::to_string(kMinSkinTileSide) +
               " x " + std::to_string(kMinSkinTileSide) + " pixels";
      return nullptr;
    }
  }
  skin->MakeFonts();
  return skin;
}

const std::string& TskSkin::BuiltInBytes() {
  static const std::string bytes(reinterpret_cast<const char*>(kFrostSkin), kFrostSkinSize);
  return bytes;
}

std::shared_ptr<const TskSkin> TskSkin::BuiltIn() {
  static const std::shared_ptr<const TskSkin> skin = [] {
    std::string error;
    std::shared_ptr<const TskSkin> s = FromFileBytes(BuiltInBytes(), &error);
    // The bytes are checked by the skin tool at build time; the defaults are the same colours.
    if (!s) {
      std::shared_ptr<TskSkin> fallback(new TskSkin());
      fallback->desc_.Name = "Frost";
      fallback->MakeFonts();
      s = fallback;
    }
    return s;
  }();
  return skin;
}

const TskPngImage* TskSkin::Piece(const std::string& name) const {
  auto it = pieces_.find(name);
  return it == pieces_.end() || name.empty() ? nullptr : &it->second;
}

void TskSkin::MakeFonts() {
  const TSkinFont& c = desc_.ControlFont;
  controlFont_ = TskFontHandle(CreateSkinFont(c.Face, c.Height, c.Bold));
  linkFont_ = TskFontHandle(CreateSkinFont(c.Face, c.Height, c.Bold, true));
  captionFont_ = TskFontHandle(CreateSkinFont(desc_.CaptionFont.Face, desc_.CaptionFont.Height, desc_.CaptionFont.Bold));
  panelTitleFont_ = TskFontHandle(
      CreateSkinFont(desc_.PanelTitleFont.Face, desc_.PanelTitleFont.Height, desc_.PanelTitleFont.Bold));
}
