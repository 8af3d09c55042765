// The splash window shown during start-up: a borderless per-pixel-alpha picture centred on the
// screen, closing itself as soon as it stops being the active window (normally when the main
// window comes up). Its stored data carries a built-in picture; "res\images\splash.png" in the
// application folder replaces it.
#pragma once

#include <windows.h>

#include "components/Forms.h"
#include "platform/PngForm.h"

class TfrmCLSplashForm : public TForm {
  QM_CLASS(TfrmCLSplashForm, TForm)
 public:
  explicit TfrmCLSplashForm(TComponent* owner);
  TskPngForm* skpngfrm1 = nullptr;
  void FormCreate(TObject* sender);
  void FormDeactivate(TObject* sender);
};

// Where a picture of the given size sits centred on a screen of the given size: half the
// difference each way, truncated toward zero (a picture one pixel wider than the screen sits
// at 0, three pixels wider at -1).
inline POINT SplashPosition(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight) {
  return POINT{(screenWidth - pictureWidth) / 2, (screenHeight - pictureHeight) / 2};
}

// The picture file, relative to the application folder.
constexpr const char kSplashPictureFile[] = "res\\images\\splash.png";

// Creates the splash window without an owner, shows it and paints it at once. The window
// closes (hides) itself; the reference is kept only so that it lives until the program ends.
void ShowSplashForm();
// The splash window of this process, or null when none was shown.
TfrmCLSplashForm* SplashForm();
