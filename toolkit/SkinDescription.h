// The description text of a skin (entry "skin.ini" of a skin file): INI sections with colours,
// fonts, metrics, glow frames and the names of optional PNG pieces. Every key, with its type,
// range and default, is listed in the table in SkinFile.h, the one place where the format is
// written down; SkinDescriptionKeys() gives the same table from the parser's own lists.
//
// Keys that are absent keep their defaults; unknown sections and keys are ignored, so newer
// skins still load. A malformed value or a number out of its range refuses the whole text.
// Platform-free: knows nothing of windows or files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A colour as 0x00BBGGRR, the byte order of Win32's COLORREF.
using TSkinColor = uint32_t;
constexpr TSkinColor SkinRgb(int r, int g, int b) {
  return static_cast<TSkinColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

struct TSkinFont {
  std::string Face = "Tahoma";
  int Height = 11;  // pixels
  bool Bold = false;
};

struct TSkinDescription {
  std::string Name;

  // Windows and text.
  TSkinColor Window = SkinRgb(0xEE, 0xF3, 0xF8), WindowBottom = SkinRgb(0xDD, 0xE6, 0xEF);
  TSkinColor Text = SkinRgb(0x1E, 0x2A, 0x38), DisabledText = SkinRgb(0x98, 0xA2, 0xAE);
  TSkinColor Shadow = SkinRgb(0, 0, 0);
  // Frame and caption.
  TSkinColor Frame = SkinRgb(0x4A, 0x6F, 0x97), FrameInner = SkinRgb(0xC8, 0xD8, 0xE8);
  TSkinColor CaptionTop = SkinRgb(0x6E, 0x9C, 0xC9), CaptionBottom = SkinRgb(0x3F, 0x6D, 0x9B);
  TSkinColor CaptionInactiveTop = SkinRgb(0xA9, 0xBA, 0xCB);
  TSkinColor CaptionInactiveBottom = SkinRgb(0x8D, 0x9F, 0xB2);
  TSkinColor CaptionText = SkinRgb(0xFF, 0xFF, 0xFF), CaptionInactiveText = SkinRgb(0xE8, 0xEE, 0xF4);
  TSkinColor CaptionButtonHot = SkinRgb(0x8F, 0xB8, 0xE0), CaptionButtonGlyph = SkinRgb(0xFF, 0xFF, 0xFF);
  TSkinColor CloseButtonHot = SkinRgb(0xD9, 0x4F, 0x45);
  // Buttons.
  TSkinColor ButtonTop = SkinRgb(0xFF, 0xFF, 0xFF), ButtonBottom = SkinRgb(0xDC, 0xE6, 0xF0);
  TSkinColor ButtonHotTop = SkinRgb(0xF4, 0xFA, 0xFF), ButtonHotBottom = SkinRgb(0xC4, 0xDC, 0xF2);
  TSkinColor ButtonDownTop = SkinRgb(0xB6, 0xCD, 0xE4), ButtonDownBottom = SkinRgb(0xD8, 0xE6, 0xF3);
  TSkinColor ButtonBorder = SkinRgb(0x7F, 0x9D, 0xB9), ButtonDefaultBorder = SkinRgb(0x3C, 0x7F, 0xC2);
  TSkinColor ButtonText = SkinRgb(0x1E, 0x2A, 0x38), Focus = SkinRgb(0x3C, 0x7F, 0xC2);
  TSkinColor Glow = SkinRgb(0x6F, 0xB6, 0xFF), CaptionButtonGlow = SkinRgb(0xBF, 0xE0, 0xFF);
  // Panels.
  TSkinColor PanelTop = SkinRgb(0xFB, 0xFD, 0xFF), PanelBottom = SkinRgb(0xEC, 0xF2, 0xF8);
  TSkinColor PanelBorder = SkinRgb(0xA9, 0xBF, 0xD4);
  TSkinColor PanelTitleTop = SkinRgb(0xE3, 0xEE, 0xF9), PanelTitleBottom = SkinRgb(0xC9, 0xDB, 0xEE);
  TSkinColor PanelTitleText = SkinRgb(0x1F, 0x3F, 0x62);
  // Edit boxes, check boxes, links.
  TSkinColor EditBack = SkinRgb(0xFF, 0xFF, 0xFF), EditBorder = SkinRgb(0x9D, 0xB4, 0xCB);
  TSkinColor EditFocusBorder = SkinRgb(0x3C, 0x7F, 0xC2), EditText = SkinRgb(0x10, 0x18, 0x20);
  TSkinColor CheckBack = SkinRgb(0xFF, 0xFF, 0xFF), CheckBorder = SkinRgb(0x7F, 0x9D, 0xB9);
  TSkinColor CheckMark = SkinRgb(0x2A, 0x6E, 0xB5);
  TSkinColor Link = SkinRgb(0x1A, 0x5F, 0xB4), LinkHot = SkinRgb(0x0B, 0x3D, 0x7A);
  // Menus and hints.
  TSkinColor MenuBack = SkinRgb(0xFA, 0xFC, 0xFE), MenuText = SkinRgb(0x1E, 0x2A, 0x38);
  TSkinColor MenuHighlight = SkinRgb(0xCC, 0xE0, 0xF4), MenuHighlightText = SkinRgb(0x10, 0x20, 0x30);
  TSkinColor HintBack = SkinRgb(0xFF, 0xFD, 0xE8), HintText = SkinRgb(0x30, 0x30, 0x30);
  TSkinColor HintBorder = SkinRgb(0x9A, 0x94, 0x70);

  TSkinFont ControlFont;
  TSkinFont CaptionFont{"Tahoma", 13, true};
  TSkinFont PanelTitleFont{"Tahoma", 12, true};

  int CaptionHeight = 26;
  int BorderWidth = 4;
  int FrameCorner = 8;
  int ButtonCorner = 4;
  int PanelCorner = 6;
  int PanelTitleHeight = 22;
  int CaptionButtonSize = 18;

  int ButtonGlowSize = 2;
  int CaptionButtonGlowSize = 3;
  int GlowStrength = 150;  // 0..255, opacity of the innermost glow ring

  std::string CaptionTexture;  // PNG entry names, empty when unused
  std::string WindowTexture;
};

// The smallest side of a tiled piece (WindowTexture): the loader refuses smaller pictures.
constexpr int kMinSkinTileSide = 16;

// One key of the description as the parser knows it: "Section.Key", its type ("colour",
// "number", "font", "piece" or "text"), the values it takes and its default, written as in
// the table of SkinFile.h.
struct TSkinKeyInfo {
  std::string Key, Type, Range, Default;
};
std::vector<TSkinKeyInfo> SkinDescriptionKeys();

// Parses a description; on failure returns false with the offending key in `error` and leaves
// `out` untouched.
bool ParseSkinDescription(const std::string& text, TSkinDescription* out, std::string* error);

// The PNG entry names the description refers to (for the tool and the loader).
std::vector<std::string> SkinPieceNames(const TSkinDescription& d);
