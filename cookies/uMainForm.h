// The cookie cleaner's main window: erase all Internet Explorer, Firefox or Chromium browser
// cookies, erase one website's cookies in every browser found, install the companion Firefox extension; its system menu
// opens the update check and the about window. Its stored data is "MainForm.qmf".
#pragma once

#include <string>

#include "components/Forms.h"
#include "cookies/ChromiumCookies.h"
#include "cookies/CookieOps.h"
#include "framework/CLEngine.h"
#include "framework/CLForm.h"
#include "lang/CLMultiLang.h"
#include "toolkit/HintWindow.h"
#include "toolkit/Menus.h"
#include "toolkit/SkinControls.h"
#include "toolkit/SkinData.h"
#include "toolkit/SkinForm.h"

// The message key that tells what a request did: one message, for the gravest part. A site is
// reported cleared only when every browser's part did its work, and "nothing found" only when
// no part found anything of it.
std::string SiteMessageOf(const TClearResult& ie, const TClearResult& firefox, const TClearResult& chromium);
std::string FirefoxMessageOf(const TClearResult& firefox);
std::string ChromiumMessageOf(const TClearResult& chromium);
// The key of one browser's line in a report: cleared with its count, nothing, busy or failed.
std::string BrowserLineKeyOf(const TClearResult& result);
std::string InstallMessageOf(TInstallResult install);

class TfrmMain : public TForm {
  QM_CLASS(TfrmMain, TForm)
 public:
  explicit TfrmMain(TComponent* owner) : TForm(owner) {}

  TskPngImageView* imgTitle = nullptr;
  TskSkinShadowLabel* lblTitle = nullptr;
  TskSkinExPanel* pnlAll = nullptr;
  TskPngImageView* imgIE = nullptr;
  TskSkinButton* btnClearIE = nullptr;
  TskPngImageView* imgFF = nullptr;
  TskSkinButton* btnClearFF = nullptr;
  TskSkinLinkLabel* btnInstallFF = nullptr;
  TskPngImageView* imgChrome = nullptr;
  TskSkinButton* btnClearChrome = nullptr;
  TskSkinExPanel* pnlWeb = nullptr;
  TskSkinStdLabel* lblWebAddr = nullptr;
  TskSkinButton* btnDelete = nullptr;
  TskSkinEdit* edtDomain = nullptr;
  TskSkinTextLabel* lblDomain = nullptr;
  TCLEngine* engine1 = nullptr;
  TCLMultiLang* smLanguage = nullptr;
  TCLMultiLangData* clmltlngdt1 = nullptr;
  TCLForm* clfrm1 = nullptr;
  TskResourceStrData* skResourceStrData = nullptr;
  TskCompressedStoredSkin* skCompressedStoredSkin = nullptr;
  TskSkinData* skSkinData = nullptr;
  TskDynamicSkinForm* skdynmcsknfrm1 = nullptr;
  TskPngImageStorage* pngStore = nullptr;
  TskHintWindow* hnt1 = nullptr;
  TskPopupMenu* pmSystem = nullptr;
  TMenuItem* mniUpdate = nullptr;
  TMenuItem* mniAbout = nullptr;

  void FormCreate(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void btnClearIEClick(TObject* sender);
  void btnClearFFClick(TObject* sender);
  void btnClearChromeClick(TObject* sender);
  void btnDeleteClick(TObject* sender);
  void btnInstallFFClick(TObject* sender);
  void mniUpdateClick(TObject* sender);
  void mniAboutClick(TObject* sender);

 private:
  // A message of section "AppRes" captioned with the application name; returns the answer.
  int Message(const std::string& key, unsigned buttons, int showAgainID = 0,
              const std::vector<std::string>& args = {});
  bool Confirmed(const std::string& key);
  // One line per browser, in the language's words.
  std::string BrowserReport(const TBrowserResults& results) const;
};

extern TfrmMain* frmMain;
