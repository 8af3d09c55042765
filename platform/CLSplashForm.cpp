#include "platform/CLSplashForm.h"

#include <string>

#include "components/StoredData.h"
#include "tools/QVTools.h"

// The built-in picture as hex digits (made by the build from art/splash-small.png).
extern const char kSplashBuiltInPngHex[];

namespace {

TfrmCLSplashForm* gSplash = nullptr;

// The stored window: until FormCreate loads the picture file, the window shows the built-in
// picture at the designed position (and keeps doing so should the file be missing, until its
// close is handled).
std::string StoredText() {
  return std::string(
             "object frmCLSplashForm : TfrmCLSplashForm\n"
             "  Left = 439\n"
             "  Top = 162\n"
             "  BorderStyle = bsNone\n"
             "  BorderIcons = []\n"
             "  ClientWidth = 705\n"
             "  ClientHeight = 478\n"
             "  OnCreate = FormCreate\n"
             "  OnDeactivate = FormDeactivate\n"
             "  object skpngfrm1 : TskPngForm\n"
             "    PngImage = {") +
         kSplashBuiltInPngHex +
         "}\n"
         "  end\n"
         "end\n";
}

const bool kStored = (RegisterStoredForm("TfrmCLSplashForm", StoredText()), true);

}  // namespace

TfrmCLSplashForm::TfrmCLSplashForm(TComponent* owner) : TForm(owner) { (void)kStored; }

QM_REGISTER_CLASS(TfrmCLSplashForm, b) {
  b.Field("skpngfrm1", &TfrmCLSplashForm::skpngfrm1);
  b.Method("FormCreate", &TfrmCLSplashForm::FormCreate);
  b.Method("FormDeactivate", &TfrmCLSplashForm::FormDeactivate);
}

void TfrmCLSplashForm::FormCreate(TObject*) {
  // Whatever goes wrong here (a damaged picture file, say) only means no splash: the window
  // closes itself once the message loop runs, and nothing is reported.
  try {
    const std::string path = QV_GetAppPath() + kSplashPictureFile;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      skpngfrm1->LoadPicture(path);
      const TskPngImage& picture = skpngfrm1->PngImage();
      POINT at = SplashPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), picture.Width(),
                                picture.Height());
      // The size follows at the first paint, from the picture itself.
      SetBounds(at.x, at.y, Width(), Height());
    } else {
      PostMessageA(Handle(), WM_CLOSE, 0, 0);
    }
  } catch (...) {
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
  }
}

void TfrmCLSplashForm::FormDeactivate(TObject*) { PostMessageA(Handle(), WM_CLOSE, 0, 0); }

void ShowSplashForm() {
  gSplash = NewForm<TfrmCLSplashForm>(nullptr);
  gSplash->Show();
  UpdateWindow(gSplash->Handle());
}

TfrmCLSplashForm* SplashForm() { return gSplash; }
