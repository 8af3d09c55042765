// The skin file container (".skn" and ".nsf.skn", and the skin stored with a window).
// This is the one place where the format is written down.
//
//   offset  size  content
//   0       4     "QSKN"
//   4       4     format version, little-endian: 1
//   8       4     size of the unpacked payload, little-endian (1 .. kMaxSkinPayload)
//   12      4     size of the zlib stream that follows, little-endian: exactly the rest of the file
//   16      ...   zlib stream (RFC 1950) of the payload
//
// The payload is a sequence of entries, one after another, with nothing before or after:
//   2 bytes  name length n, little-endian (1 .. 64)
//   n bytes  name: printable ASCII without blanks, "/" or "\"; names are unique (case-insensitive)
//   4 bytes  data length d, little-endian
//   d bytes  data
// The first entry is "skin.ini", the description: INI text (sections in brackets, "key=value"
// lines, ";" comments) in the system's ANSI code page. Further entries are PNG pieces that the
// description names. Keys that are absent keep their defaults; unknown sections and keys are
// ignored (newer skins still load); a malformed value or a number outside its range refuses
// the whole skin, and the skin in effect stays. A colour is "#RRGGBB"; a font is
// "face,pixel height" with an optional ",bold" or ",normal" (faces up to 31 characters); a
// piece names a PNG entry of the same file (printable ASCII without blanks, "/" or "\", at
// most 64 characters),
// decoded when the skin loads, and a piece that is missing or damaged refuses the skin.
// Every key (the parser's own lists, SkinDescriptionKeys(), agree with this table, and a test
// holds them to it):
//
// | key                          | type   | values                   | default        | what it does |
// |------------------------------|--------|--------------------------|----------------|---|
// | Skin.Name                    | text   | any                      | (empty)        | the skin's own name (SkinName); the skin menu lists file names |
// | Colors.Window                | colour | #RRGGBB                  | #EEF3F8        | window background, top of its vertical gradient |
// | Colors.WindowBottom          | colour | #RRGGBB                  | #DDE6EF        | window background, bottom of the gradient |
// | Colors.Text                  | colour | #RRGGBB                  | #1E2A38        | labels, check box and plain panel captions |
// | Colors.DisabledText          | colour | #RRGGBB                  | #98A2AE        | text of disabled controls and menu items, picture placeholders |
// | Colors.Shadow                | colour | #RRGGBB                  | #000000        | shadow of shadowed labels without a colour of their own |
// | Colors.Frame                 | colour | #RRGGBB                  | #4A6F97        | outline of the skinned window frame |
// | Colors.FrameInner            | colour | #RRGGBB                  | #C8D8E8        | thin line between the frame and the client area |
// | Colors.CaptionTop            | colour | #RRGGBB                  | #6E9CC9        | caption gradient, top, active window |
// | Colors.CaptionBottom         | colour | #RRGGBB                  | #3F6D9B        | caption gradient, bottom, and the frame's borders |
// | Colors.CaptionInactiveTop    | colour | #RRGGBB                  | #A9BACB        | caption gradient, top, inactive window |
// | Colors.CaptionInactiveBottom | colour | #RRGGBB                  | #8D9FB2        | caption gradient, bottom, inactive window |
// | Colors.CaptionText           | colour | #RRGGBB                  | #FFFFFF        | title of the active window |
// | Colors.CaptionInactiveText   | colour | #RRGGBB                  | #E8EEF4        | title and glyphs of an inactive window |
// | Colors.CaptionButtonHot      | colour | #RRGGBB                  | #8FB8E0        | caption button under the mouse (system menu, minimise) |
// | Colors.CaptionButtonGlyph    | colour | #RRGGBB                  | #FFFFFF        | glyphs of the caption buttons |
// | Colors.CloseButtonHot        | colour | #RRGGBB                  | #D94F45        | close button under the mouse |
// | Colors.ButtonTop             | colour | #RRGGBB                  | #FFFFFF        | button face gradient, top |
// | Colors.ButtonBottom          | colour | #RRGGBB                  | #DCE6F0        | button face gradient, bottom |
// | Colors.ButtonHotTop          | colour | #RRGGBB                  | #F4FAFF        | button under the mouse, top |
// | Colors.ButtonHotBottom       | colour | #RRGGBB                  | #C4DCF2        | button under the mouse, bottom |
// | Colors.ButtonDownTop         | colour | #RRGGBB                  | #B6CDE4        | pressed button, top |
// | Colors.ButtonDownBottom      | colour | #RRGGBB                  | #D8E6F3        | pressed button, bottom |
// | Colors.ButtonBorder          | colour | #RRGGBB                  | #7F9DB9        | button outline |
// | Colors.ButtonDefaultBorder   | colour | #RRGGBB                  | #3C7FC2        | outline of the default or focused button |
// | Colors.ButtonText            | colour | #RRGGBB                  | #1E2A38        | button captions |
// | Colors.Focus                 | colour | #RRGGBB                  | #3C7FC2        | focus rectangles and the border of a focused or hot check box |
// | Colors.Glow                  | colour | #RRGGBB                  | #6FB6FF        | glow around a hot or focused button |
// | Colors.CaptionButtonGlow     | colour | #RRGGBB                  | #BFE0FF        | glow around a hot caption button |
// | Colors.PanelTop              | colour | #RRGGBB                  | #FBFDFF        | panel surface gradient, top |
// | Colors.PanelBottom           | colour | #RRGGBB                  | #ECF2F8        | panel surface gradient, bottom |
// | Colors.PanelBorder           | colour | #RRGGBB                  | #A9BFD4        | panel outline, title separator, rules in browser pages |
// | Colors.PanelTitleTop         | colour | #RRGGBB                  | #E3EEF9        | titled panel's title band, top |
// | Colors.PanelTitleBottom      | colour | #RRGGBB                  | #C9DBEE        | titled panel's title band, bottom |
// | Colors.PanelTitleText        | colour | #RRGGBB                  | #1F3F62        | titled panel's caption |
// | Colors.EditBack              | colour | #RRGGBB                  | #FFFFFF        | edit box and browser page background |
// | Colors.EditBorder            | colour | #RRGGBB                  | #9DB4CB        | edit box outline, picture placeholder outline |
// | Colors.EditFocusBorder       | colour | #RRGGBB                  | #3C7FC2        | outline of the focused edit box |
// | Colors.EditText              | colour | #RRGGBB                  | #101820        | text typed into edit boxes, browser page text |
// | Colors.CheckBack             | colour | #RRGGBB                  | #FFFFFF        | inside of a check box |
// | Colors.CheckBorder           | colour | #RRGGBB                  | #7F9DB9        | check box outline |
// | Colors.CheckMark             | colour | #RRGGBB                  | #2A6EB5        | the tick of a checked box |
// | Colors.Link                  | colour | #RRGGBB                  | #1A5FB4        | link labels and links in browser pages |
// | Colors.LinkHot               | colour | #RRGGBB                  | #0B3D7A        | a link under the mouse |
// | Colors.MenuBack              | colour | #RRGGBB                  | #FAFCFE        | background of pop-up and system menus |
// | Colors.MenuText              | colour | #RRGGBB                  | #1E2A38        | menu item captions and check marks |
// | Colors.MenuHighlight         | colour | #RRGGBB                  | #CCE0F4        | the selected menu item |
// | Colors.MenuHighlightText     | colour | #RRGGBB                  | #102030        | caption of the selected menu item |
// | Colors.HintBack              | colour | #RRGGBB                  | #FFFDE8        | hint (tooltip) background |
// | Colors.HintText              | colour | #RRGGBB                  | #303030        | hint text |
// | Colors.HintBorder            | colour | #RRGGBB                  | #9A9470        | hint outline |
// | Fonts.Control                | font   | face,8..40[,bold/normal] | Tahoma,11      | controls that use the skin's font, menus, hints, browser text |
// | Fonts.Caption                | font   | face,8..40[,bold/normal] | Tahoma,13,bold | title in the skinned caption |
// | Fonts.PanelTitle             | font   | face,8..40[,bold/normal] | Tahoma,12,bold | caption of titled panels |
// | Metrics.CaptionHeight        | number | 16..48                   | 26             | height of the skinned caption, pixels |
// | Metrics.BorderWidth          | number | 1..12                    | 4              | width of the skinned frame's borders |
// | Metrics.FrameCorner          | number | 0..16                    | 8              | radius of the frame's rounded top corners (0: square) |
// | Metrics.ButtonCorner         | number | 0..12                    | 4              | radius of button corners |
// | Metrics.PanelCorner          | number | 0..16                    | 6              | radius of panel corners |
// | Metrics.PanelTitleHeight     | number | 14..40                   | 22             | height of a titled panel's title band |
// | Metrics.CaptionButtonSize    | number | 12..40                   | 18             | side of the square caption buttons |
// | Glow.ButtonSize              | number | 0..6                     | 2              | width of the glow around buttons (0: none) |
// | Glow.CaptionButtonSize       | number | 0..8                     | 3              | width of the glow around caption buttons (0: none) |
// | Glow.Strength                | number | 0..255                   | 150            | opacity of the innermost glow ring |
// | Pieces.CaptionTexture        | piece  | entry name               | (none)         | PNG entry stretched over the caption band (drawn at 160/255 when inactive) |
// | Pieces.WindowTexture         | piece  | entry name               | (none)         | PNG entry tiled over window backgrounds from the top left corner, at least 16 x 16 |
//
// Gradients run from the "...Top" colour at the top to the "...Bottom" colour at the bottom.
// A skin file named "*.nsf.skn" styles the controls only: the window keeps the system's frame,
// so the Caption..., CloseButtonHot and Frame... colours, CaptionHeight, BorderWidth,
// FrameCorner, CaptionButtonSize, Glow.CaptionButtonSize and CaptionTexture go unused.
//
// Reading refuses, without touching anything, a file that is shorter than its header says,
// not compressed, declares a payload above the limit, inflates to more or fewer bytes than
// declared, carries bytes after the stream, or holds malformed or duplicate entries.
// Knows nothing of files or windows: it works on bytes, so it can be fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kSkinFormatVersion = 1;
constexpr uint32_t kMaxSkinPayload = 4u * 1024 * 1024;  // generous: shipped skins are < 64 KiB
constexpr size_t kMaxSkinEntries = 64;
constexpr size_t kMaxSkinEntryName = 64;
constexpr size_t kSkinHeaderSize = 16;
extern const char kSkinDescriptionEntry[];  // "skin.ini"

struct TSkinEntry {
  std::string Name;
  std::string Data;
};

// Builds a skin file from its entries (the description first). False with a reason when an
// entry breaks the rules above.
bool PackSkinFile(const std::vector<TSkinEntry>& entries, std::string* file, std::string* error);

// Reads a skin file. On failure `entries` is left untouched and `error` says why.
bool UnpackSkinFile(const void* data, size_t size, std::vector<TSkinEntry>* entries,
                    std::string* error);
inline bool UnpackSkinFile(const std::string& file, std::vector<TSkinEntry>* entries,
                           std::string* error) {
  return UnpackSkinFile(file.data(), file.size(), entries, error);
}

// The entry of that name (case-insensitive), or null.
const TSkinEntry* FindSkinEntry(const std::vector<TSkinEntry>& entries, const std::string& name);
