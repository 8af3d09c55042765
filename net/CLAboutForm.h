// The about window: the application's name, version, copyright and translator, a support link
// and, when the settings name one, the "About" banner. It also watches for the access word.
#pragma once

#include <string>

#include "components/Forms.h"
#include "net/AboutText.h"

class TskSkinPanel;
class TskSkinImage;
class TskSkinTextLabel;
class TskSkinLinkLabel;
class TskSkinButton;
class TskDynamicSkinForm;
class TCLForm;
class TCLWebBanner;

class TfrmCLAboutForm : public TForm {
  QM_CLASS(TfrmCLAboutForm, TForm)
 public:
  explicit TfrmCLAboutForm(TComponent* owner);

  TskSkinPanel* pnLogo = nullptr;
  TskSkinImage* imgLogo = nullptr;
  TskSkinPanel* pn1 = nullptr;
  TskSkinTextLabel* lbInfo = nullptr;
  TCLWebBanner* wbAbout = nullptr;
  TskSkinPanel* pn2 = nullptr;
  TskSkinLinkLabel* lblSupport = nullptr;
  TskSkinButton* btnOK = nullptr;
  TskDynamicSkinForm* skDynamicSkinForm1 = nullptr;
  TCLForm* clfrm1 = nullptr;

  void FormCreate(TObject* sender);
  void FormKeyUp(TObject* sender, WORD& key, TShiftState shift);
  void LoadLogo(const std::string& path);

  const std::string& TypedKeys() const { return keys_.Typed(); }

 private:
  abouttext::TAccessWordWatch keys_;
};

// Whether any "Banner.About." setting is set, so that the About banner has something to show.
bool CLAboutBannerConfigured();
// The engine's about command: the window owned by `owner`, put into `parentWnd` at 0,0 when that
// is not 0, shown modally, then freed.
void CLShowAbout(TComponent* owner, HWND parentWnd);
