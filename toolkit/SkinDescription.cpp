#include "toolkit/SkinDescription.h"

#include <cstdlib>

#include "framework/IniText.h"

namespace {

struct ColorKey {
  const char* name;
  TSkinColor TSkinDescription::*field;
};
using D = TSkinDescription;
const ColorKey kColors[] = {
    {"Window", &D::Window}, {"WindowBottom", &D::WindowBottom}, {"Text", &D::Text},
    {"DisabledText", &D::DisabledText}, {"Shadow", &D::Shadow}, {"Frame", &D::Frame},
    {"FrameInner", &D::FrameInner}, {"CaptionTop", &D::CaptionTop}, {"CaptionBottom", &D::CaptionBottom},
    {"CaptionInactiveTop", &D::CaptionInactiveTop}, {"CaptionInactiveBottom", &D::CaptionInactiveBottom},
    {"CaptionText", &D::CaptionText}, {"CaptionInactiveText", &D::CaptionInactiveText},
    {"CaptionButtonHot", &D::CaptionButtonHot}, {"CaptionButtonGlyph", &D::CaptionButtonGlyph},
    {"CloseButtonHot", &D::CloseButtonHot}, {"ButtonTop", &D::ButtonTop}, {"ButtonBottom", &D::ButtonBottom},
    {"ButtonHotTop", &D::ButtonHotTop}, {"ButtonHotBottom", &D::ButtonHotBottom},
    {"ButtonDownTop", &D::ButtonDownTop}, {"ButtonDownBottom", &D::ButtonDownBottom},
    {"ButtonBorder", &D::ButtonBorder}, {"ButtonDefaultBorder", &D::ButtonDefaultBorder},
    {"ButtonText", &D::ButtonText}, {"Focus", &D::Focus}, {"Glow", &D::Glow},
    {"CaptionButtonGlow", &D::CaptionButtonGlow}, {"PanelTop", &D::PanelTop},
    {"PanelBottom", &D::PanelBottom}, {"PanelBorder", &D::PanelBorder},
    {"PanelTitleTop", &D::PanelTitleTop}, {"PanelTitleBottom", &D::PanelTitleBottom},
    {"PanelTitleText", &D::PanelTitleText}, {"EditBack", &D::EditBack}, {"EditBorder", &D::EditBorder},
    {"EditFocusBorder", &D::EditFocusBorder}, {"EditText", &D::EditText}, {"CheckBack", &D::CheckBack},
    {"CheckBorder", &D::CheckBorder}, {"CheckMark", &D::CheckMark}, {"Link", &D::Link},
    {"LinkHot", &D::LinkHot}, {"MenuBack", &D::MenuBack}, {"MenuText", &D::MenuText},
    {"MenuHighlight", &D::MenuHighlight}, {"MenuHighlightText", &D::MenuHighlightText},
    {"HintBack", &D::HintBack}, {"HintText", &D::HintText}, {"HintBorder", &D::HintBorder},
};

struct IntKey {
  const char* section;
  const char* name;
  int TSkinDescription::*field;
  int low, high;
};
const IntKey kInts[] = {
    {"Metrics", "CaptionHeight", &D::CaptionHeight, 16, 48},
    {"Metrics", "BorderWidth", &D::BorderWidth, 1, 12},
    {"Metrics", "FrameCorner", &D::FrameCorner, 0, 16},
    {"Metrics", "ButtonCorner", &D::ButtonCorner, 0, 12},
    {"Metrics", "PanelCorner", &D::PanelCorner, 0, 16},
    {"Metrics", "PanelTitleHeight", &D::PanelTitleHeight, 14, 40},
    {"Metrics", "CaptionButtonSize", &D::CaptionButtonSize, 12, 40},
    {"Glow", "ButtonSize", &D::ButtonGlowSize, 0, 6},
    {"Glow", "CaptionButtonSize", &D::CaptionButtonGlowSize, 0, 8},
    {"Glow", "Strength", &D::GlowStrength, 0, 255},
};

struct FontKey {
  const char* name;
  TSkinFont TSkinDescription::*field;
};
const FontKey kFonts[] = {
    {"Control", &D::ControlFont}, {"Caption", &D::CaptionFont}, {"PanelTitle", &D::PanelTitleFont}};

struct PieceKey {
  const char* name;
  std::string TSkinDescription::*field;
};
const PieceKey kPieces[] = {{"CaptionTexture", &D::CaptionTexture}, {"WindowTexture", &D::WindowTexture}};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseColor(const std::string& s, TSkinColor* out) {
  if (s.size() != 7 || s[0] != '#') return false;
  int v[6];
  for (int i = 0; i < 6; ++i)
    if ((v[i] = HexDigit(s[1 + i])) < 0) return false;
  *out = SkinRgb(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
  return true;
}

bool ParseInt(const std::string& s, int low, int high, int* out) {
  if (s.empty() || s.size() > 6) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (s[k] < '0' || s[k] > '9') return false;
  int v = std::atoi(s.c_str());
  if (v < low || v > high) return false;
  *out = v;
  return true;
}

std::vector<std::string> SplitComma(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t comma = s.find(',', start);
    parts.push_back(TrimA(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

bool ParseFont(const std::string& s, TSkinFont* out) {
  std::vector<std::string> parts = SplitComma(s);
  if (parts.size() < 2 || parts.size() > 3) return false;
  TSkinFont f;
  f.Face = parts[0];
  if (f.Face.empty() || f.Face.size() > 31) return false;  // LOGFONT's face is 32 bytes
  if (!ParseInt(parts[1], 8, 40, &f.Height)) return false;
  if (parts.size() == 3) {
    if (SameTextA(parts[2], "bold")) f.Bold = true;
    else if (!SameTextA(parts[2], "normal")) return false;
  }
  *out = f;
  return true;
}

bool ValidPieceName(const std::string& s) {
  if (s.size() > 64) return false;
  for (unsigned char c : s)
    if (c < 0x21 || c > 0x7E || c == '/' || c == '\\') return false;
  return true;
}

}  // namespace

bool ParseSkinDescription(const std::string& text, TSkinDescription* out, std::string* error) {
  TIniText ini(text);
  TSkinDescription d;
  std::string v;
  if (ini.Find("Skin", "Name", &v)) d.Name = TrimA(v);
  for (const ColorKey& k : kColors)
    if (ini.Find("Colors", k.name, &v) && !ParseColor(TrimA(v), &(d.*k.field))) {
      *error = std::string("Colors.") + k.name + ": not a colour #RRGGBB";
      return false;
    }
  for (const IntKey& k : kInts)
    if (ini.Find(k.section, k.name, &v) && !ParseInt(TrimA(v), k.low, k.high, &(d.*k.field))) {
      *error = std::string(k.section) + "." + k.name + ": not a number from " + std::to_string(k.low) +
               " to " + std::to_string(k.high);
      return false;
    }
  for (const FontKey& k : kFonts)
    if (ini.Find("Fonts", k.name, &v) && !ParseFont(TrimA(v), &(d.*k.field))) {
      *error = std::string("Fonts.") + k.name + ": expected face,height[,bold]";
      return false;
    }
  for (const PieceKey& k : kPieces)
    if (ini.Find("Pieces", k.name, &v)) {
      std::string name = TrimA(v);
      if (!ValidPieceName(name)) {
        *error = std::string("Pieces.") + k.name + ": bad entry name";
        return false;
      }
      d.*k.field = name;
    }
  *out = std::move(d);
  return true;
}

namespace {

std::string ColorText(TSkinColor c) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = "#";
  for (int shift : {0, 8, 16}) {  // red, green, blue
    unsigned v = (c >> shift) & 0xFF;
    s += kHex[v >> 4];
    s += kHex[v & 15];
  }
  return s;
}

std::string FontText(const TSkinFont& f) {
  return f.Face + "," + std::to_string(f.Height) + (f.Bold ? ",bold" : "");
}

}  // namespace

std::vector<TSkinKeyInfo> SkinDescriptionKeys() {
  const TSkinDescription d;
  std::vector<TSkinKeyInfo> keys;
  keys.push_back({"Skin.Name", "text", "any", "(empty)"});
  for (const ColorKey& k : kColors) keys.push_back({std::string("Colors.") + k.name, "colour", "#RRGGBB", ColorText(d.*k.field)});
  for (const FontKey& k : kFonts)
    keys.push_back({std::string("Fonts.") + k.name, "font", "face,8..40[,bold/normal]", FontText(d.*k.field)});
  for (const IntKey& k : kInts)
    keys.push_back({std::string(k.section) + "." + k.name, "number", std::to_string(k.low) + ".." + std::to_string(k.high),
                    std::to_string(d.*k.field)});
  for (const PieceKey& k : kPieces) keys.push_back({std::string("Pieces.") + k.name, "piece", "entry name", "(none)"});
  return keys;
}

std::vector<std::string> SkinPieceNames(const TSkinDescription& d) {
  std::vector<std::string> names;
  for (const PieceKey& k : kPieces)
    if (!(d.*k.field).empty()) names.push_back(d.*k.field);
  return names;
}
