// A test window laid out like the program's main window, with every kind of skinned control.
#pragma once

#include <memory>
#include <string>

#include "components/Forms.h"
#include "toolkit/EmbeddedBrowser.h"
#include "toolkit/SkinControls.h"
#include "toolkit/SkinForm.h"
#include "toolkit/SkinMessage.h"

namespace qmtest {

struct TDemo {
  TForm* Form = nullptr;
  TskSkinData* Skin = nullptr;
  TskDynamicSkinForm* Frame = nullptr;
  TskPopupMenu* SysMenu = nullptr;
  TMenuItem* MenuAbout = nullptr;
  TskPngImageStorage* Store = nullptr;
  TskPngImageView* ImgTitle = nullptr;
  TskSkinShadowLabel* Title = nullptr;
  TskSkinExPanel* PnlAll = nullptr;
  TskSkinExPanel* PnlWeb = nullptr;
  TskSkinButton* ClearIE = nullptr;
  TskSkinButton* ClearFF = nullptr;
  TskSkinButton* Delete = nullptr;
  TskSkinLinkLabel* Install = nullptr;
  TskSkinStdLabel* WebAddr = nullptr;
  TskSkinEdit* Domain = nullptr;
  TskSkinTextLabel* Help = nullptr;
  TskSkinCheckBox* Check = nullptr;
  int Clicks[4] = {0, 0, 0, 0};  // ClearIE, ClearFF, Delete, Install
  ~TDemo();
};

// Builds (and shows) the demo window; `framed` sets SkinnableForm before the frame applies.
void BuildDemo(TDemo* d, bool framed, bool show = true);
// A plain form of the given client size, not yet shown.
std::unique_ptr<TForm> NewPlainForm(int clientWidth, int clientHeight);
// A PNG of a soft disc with an alpha edge.
std::string DiscPng(int size, uint32_t rgb);
// Pumps messages for `ms` milliseconds.
void Pump(DWORD ms);
// The window of a given class and caption inside `parent` (searched at every depth).
HWND FindChild(HWND parent, const char* className, const char* text);
// The colour of a client pixel as it appears on the screen.
COLORREF ScreenPixel(HWND wnd, int x, int y);
// Saves the window as a 24-bit BMP, its frame included unless `withFrame` is false. A frame
// left to the system has nothing on it on a display without a window manager (Wine hands the
// frame to the window manager), so its picture is of the client area.
bool SaveWindowBmp(HWND wnd, const std::string& path, bool withFrame = true);

}  // namespace qmtest
