#include "cookies/uMainForm.h"

#include "cookies/ChromiumCookies.h"
#include "cookies/SiteRule.h"
#include "framework/CLEngineRules.h"
#include "toolkit/SkinMessage.h"
#include "tools/QVTools.h"

namespace {

// The confirmations share one show-again number: ticking the box on one silences them all.
constexpr int kConfirmShowAgainID = 90;

const char* const kPictureFiles[] = {"res\\title.png", "res\\ie.png", "res\\ff.png", "res\\chrome.png"};
constexpr int kPictures = 4;

}  // namespace

std::string SiteMessageOf(const TClearResult& ie, const TClearResult& firefox, const TClearResult& chromium) {
  for (const TClearResult* r : {&ie, &firefox, &chromium})
    if (r->Status == TClearStatus::Refused) return "MSGBOX_EnterDomain";
  if (ie.Status == TClearStatus::Failed) return "MSGBOX_IECookieClearFailed";
  if (firefox.Status == TClearStatus::Failed) return "MSGBOX_FFCookieClearFailed";
  if (chromium.Status == TClearStatus::Failed) return "MSGBOX_ChromeCookieClearFailed";
  if (firefox.Status == TClearStatus::Busy) return "MSGBOX_FFInUse";
  if (chromium.Status == TClearStatus::Busy) return "MSGBOX_ChromeInUse";
  if (firefox.Status == TClearStatus::HandedToExtension) return "MSGBOX_DomainHandedToFirefox";
  for (const TClearResult* r : {&ie, &firefox, &chromium})
    if (r->Status == TClearStatus::Done) return "MSGBOX_DomainCleared";
  return "MSGBOX_DomainNoCookies";
}

// The row is on only where a Chromium browser was found, so a store that is gone since shows as
// cleared: there is nothing left of it.
std::string BrowserLineKeyOf(const TClearResult& result) {
  switch (result.Status) {
    case TClearStatus::Done:
      return "MSGBOX_BrowserCleared";
    case TClearStatus::Busy:
      return "MSGBOX_BrowserInUse";
    case TClearStatus::Failed:
    case TClearStatus::Refused:
      return "MSGBOX_BrowserClearFailed";
    default:
      return "MSGBOX_BrowserNothingToClear";
  }
}

std::string ChromiumMessageOf(const TClearResult& chromium) {
  switch (chromium.Status) {
    case TClearStatus::Busy:
      return "MSGBOX_ChromeInUse";
    case TClearStatus::Failed:
      return "MSGBOX_ChromeCookieClearFailed";
    default:
      return "MSGBOX_ChromeCookieCleared";
  }
}

std::string FirefoxMessageOf(const TClearResult& firefox) {
  switch (firefox.Status) {
    case TClearStatus::Done:
    case TClearStatus::NothingToRemove:
      return "MSGBOX_FFCookieCleared";
    case TClearStatus::HandedToExtension:
      return "MSGBOX_FFHandedToExtension";
    case TClearStatus::Busy:
      return "MSGBOX_FFInUse";
    case TClearStatus::NotFound:
      return "MSGBOX_FireFoxIsNotInstalled";
    default:
      return "MSGBOX_FFCookieClearFailed";
  }
}

std::string InstallMessageOf(TInstallResult install) {
  switch (install) {
    case TInstallResult::Installed:
      return "MSGBOX_FFINSTALLED";
    case TInstallResult::HandedToFirefox:
      return "MSGBOX_FFInstallHanded";
    default:
      return "MSGBOX_FireFoxIsNotInstalled";
  }
}

QM_REGISTER_CLASS(TfrmMain, b) {
  b.Field("imgTitle", &TfrmMain::imgTitle);
  b.Field("lblTitle", &TfrmMain::lblTitle);
  b.Field("pnlAll", &TfrmMain::pnlAll);
  b.Field("imgIE", &TfrmMain::imgIE);
  b.Field("btnClearIE", &TfrmMain::btnClearIE);
  b.Field("imgFF", &TfrmMain::imgFF);
  b.Field("btnClearFF", &TfrmMain::btnClearFF);
  b.Field("btnInstallFF", &TfrmMain::btnInstallFF);
  b.Field("imgChrome", &TfrmMain::imgChrome);
  b.Field("btnClearChrome", &TfrmMain::btnClearChrome);
  b.Field("pnlWeb", &TfrmMain::pnlWeb);
  b.Field("lblWebAddr", &TfrmMain::lblWebAddr);
  b.Field("btnDelete", &TfrmMain::btnDelete);
  b.Field("edtDomain", &TfrmMain::edtDomain);
  b.Field("lblDomain", &TfrmMain::lblDomain);
  b.Field("engine1", &TfrmMain::engine1);
  b.Field("smLanguage", &TfrmMain::smLanguage);
  b.Field("clmltlngdt1", &TfrmMain::clmltlngdt1);
  b.Field("clfrm1", &TfrmMain::clfrm1);
  b.Field("skResourceStrData", &TfrmMain::skResourceStrData);
  b.Field("skCompressedStoredSkin", &TfrmMain::skCompressedStoredSkin);
  b.Field("skSkinData", &TfrmMain::skSkinData);
  b.Field("skdynmcsknfrm1", &TfrmMain::skdynmcsknfrm1);
  b.Field("pngStore", &TfrmMain::pngStore);
  b.Field("hnt1", &TfrmMain::hnt1);
  b.Field("pmSystem", &TfrmMain::pmSystem);
  b.Field("mniUpdate", &TfrmMain::mniUpdate);
  b.Field("mniAbout", &TfrmMain::mniAbout);
  b.Method("FormCreate", &TfrmMain::FormCreate);
  b.Method("FormCloseQuery", &TfrmMain::FormCloseQuery);
  b.Method("btnClearIEClick", &TfrmMain::btnClearIEClick);
  b.Method("btnClearFFClick", &TfrmMain::btnClearFFClick);
  b.Method("btnClearChromeClick", &TfrmMain::btnClearChromeClick);
  b.Method("btnDeleteClick", &TfrmMain::btnDeleteClick);
  b.Method("btnInstallFFClick", &TfrmMain::btnInstallFFClick);
  b.Method("mniUpdateClick", &TfrmMain::mniUpdateClick);
  b.Method("mniAboutClick", &TfrmMain::mniAboutClick);
}

TfrmMain* frmMain = nullptr;

void TfrmMain::FormCreate(TObject*) {
  // Decided once: a Firefox installed later shows after a restart. The extension runs only in
  // the Firefox versions that can still install it.
  btnClearFF->SetEnabled(IsFirefoxAvailable());
  btnInstallFF->SetEnabled(CanUseFirefoxExtension());
  btnClearChrome->SetEnabled(IsChromiumAvailable());
  // A picture that cannot be loaded raises; the form shows the error and opens all the same,
  // with the later pictures left empty.
  const std::string folder = QV_GetAppPath();
  for (int i = 0; i < kPictures; ++i) pngStore->Item(i)->LoadFromFile(folder + kPictureFiles[i]);
  TskPngImageView* const views[kPictures] = {imgTitle, imgIE, imgFF, imgChrome};
  for (int i = 0; i < kPictures; ++i) {
    views[i]->SetPngImages(pngStore);
    views[i]->SetImageIndex(i);
  }
}

void TfrmMain::FormCloseQuery(TObject*, bool& canClose) { canClose = true; }

int TfrmMain::Message(const std::string& key, unsigned buttons, int showAgainID,
                      const std::vector<std::string>& args) {
  return engine1->ShowResMessage(key, args, showAgainID, mtInformation, buttons, 0, false);
}

bool TfrmMain::Confirmed(const std::string& key) {
  return Message(key, MsgButton(mbYes) | MsgButton(mbNo), kConfirmShowAgainID) == mrYes;
}

void TfrmMain::btnClearIEClick(TObject*) {
  if (!Confirmed("MSGBOX_IECookieCleareConfirm")) return;
  // A file Internet Explorer holds open stays; saying "cleared" then would be untrue.
  const TClearResult ie = ClearIECookies();
  Message(ie.Status == TClearStatus::Failed ? "MSGBOX_IECookieClearFailed" : "MSGBOX_IECookieCleared",
          MsgButton(mbOK));
}

void TfrmMain::btnClearFFClick(TObject*) {
  if (!Confirmed("MSGBOX_FFCookieCleareConfirm")) return;
  Message(FirefoxMessageOf(ClearFirefoxCookies()), MsgButton(mbOK));
}

std::string TfrmMain::BrowserReport(const TBrowserResults& results) const {
  std::string report;
  for (const TBrowserResult& r : results) {
    if (!report.empty()) report += "\r\n";
    report += clengine::FillPlaceholders(engine1->GetAppRes(BrowserLineKeyOf(r.Result)),
                                         {r.Browser, std::to_string(r.Result.Removed)});
  }
  return report;
}

void TfrmMain::btnClearChromeClick(TObject*) {
  if (!Confirmed("MSGBOX_ChromeCookieCleareConfirm")) return;
  const TBrowserResults results = ClearChromiumCookies();
  Message(ChromiumMessageOf(OverallResult(results)), MsgButton(mbOK), 0, {BrowserReport(results)});
}

void TfrmMain::btnDeleteClick(TObject*) {
  // The site the text names, or none: a text that names no site touches nothing.
  const std::string site = siterule::SiteOfText(edtDomain->Text());
  if (site.empty()) {
    Message("MSGBOX_EnterDomain", MsgButton(mbOK));
    return;
  }
  const TClearResult ie = ClearIECookiesOfSite(site);
  TClearResult firefox;
  if (IsFirefoxAvailable()) firefox = ClearFirefoxCookiesOfSite(site);
  const TBrowserResults chromium = ClearChromiumCookiesOfSite(site);
  const std::string key = SiteMessageOf(ie, firefox, OverallResult(chromium));
  // The Chromium browsers' messages name each browser; the others name the site.
  const bool report = key.compare(0, 13, "MSGBOX_Chrome") == 0;
  Message(key, MsgButton(mbOK), 0, {report ? BrowserReport(chromium) : site});
}

void TfrmMain::btnInstallFFClick(TObject*) {
  Message(InstallMessageOf(InstallFirefoxExtension()), MsgButton(mbOK));
}

void TfrmMain::mniUpdateClick(TObject*) { engine1->CheckUpdate(true); }

void TfrmMain::mniAboutClick(TObject*) { engine1->ShowAbout(); }
