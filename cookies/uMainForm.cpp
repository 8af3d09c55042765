#include "cookies/uMainForm.h"

#include "toolkit/SkinMessage.h"
#include "tools/QVTools.h"

namespace {

// Both confirmations share one show-again number: ticking the box on either silences both.
constexpr int kConfirmShowAgainID = 90;

const char* const kPictureFiles[] = {"res\\title.png", "res\\ie.png", "res\\ff.png"};

}  // namespace

TDeleteOutcome DeleteOutcomeOf(TCookieResult ie, TCookieResult firefox, bool firefoxFound) {
  if (ie == TCookieResult::Refused || firefox == TCookieResult::Refused) return TDeleteOutcome::EnterDomain;
  if (ie != TCookieResult::Done) return TDeleteOutcome::IEFailed;
  if (firefoxFound && firefox != TCookieResult::Done) return TDeleteOutcome::FirefoxNotStarted;
  return TDeleteOutcome::Cleared;
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
  b.Method("btnDeleteClick", &TfrmMain::btnDeleteClick);
  b.Method("btnInstallFFClick", &TfrmMain::btnInstallFFClick);
  b.Method("mniUpdateClick", &TfrmMain::mniUpdateClick);
  b.Method("mniAboutClick", &TfrmMain::mniAboutClick);
}

TfrmMain* frmMain = nullptr;

void TfrmMain::FormCreate(TObject*) {
  // Decided once: a Firefox installed later shows after a restart.
  const bool firefox = IsFirefoxAvailable();
  btnClearFF->SetEnabled(firefox);
  btnInstallFF->SetEnabled(firefox);
  // A picture that cannot be loaded raises; the form shows the error and opens all the same,
  // with the later pictures left empty.
  const std::string folder = QV_GetAppPath();
  for (int i = 0; i < 3; ++i) pngStore->Item(i)->LoadFromFile(folder + kPictureFiles[i]);
  TskPngImageView* const views[] = {imgTitle, imgIE, imgFF};
  for (int i = 0; i < 3; ++i) {
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
  Message(ClearIECookies() ? "MSGBOX_IECookieCleared" : "MSGBOX_IECookieClearFailed", MsgButton(mbOK));
}

void TfrmMain::btnClearFFClick(TObject*) {
  if (!Confirmed("MSGBOX_FFCookieCleareConfirm")) return;
  Message(ClearFirefoxCookies() ? "MSGBOX_FFCookieCleared" : "MSGBOX_FireFoxIsNotInstalled", MsgButton(mbOK));
}

void TfrmMain::btnDeleteClick(TObject*) {
  // Taken exactly as typed; the cookie operations decide what they accept.
  const std::string text = edtDomain->Text();
  if (text.empty()) {
    Message("MSGBOX_EnterDomain", MsgButton(mbOK));
    return;
  }
  const TCookieResult ie = ClearIECookiesOfSite(text);
  if (ie == TCookieResult::Refused) {
    Message("MSGBOX_EnterDomain", MsgButton(mbOK));
    return;
  }
  const bool firefoxFound = IsFirefoxAvailable();
  const TCookieResult firefox = firefoxFound ? ClearFirefoxCookiesOfDomain(text) : TCookieResult::Done;
  switch (DeleteOutcomeOf(ie, firefox, firefoxFound)) {
    case TDeleteOutcome::EnterDomain:
      Message("MSGBOX_EnterDomain", MsgButton(mbOK));
      break;
    case TDeleteOutcome::IEFailed:
      Message("MSGBOX_IECookieClearFailed", MsgButton(mbOK));
      break;
    case TDeleteOutcome::FirefoxNotStarted:
      Message("MSGBOX_FireFoxIsNotInstalled", MsgButton(mbOK));
      break;
    case TDeleteOutcome::Cleared:
      Message("MSGBOX_DomainCleared", MsgButton(mbOK), 0, {text});
      break;
  }
}

void TfrmMain::btnInstallFFClick(TObject*) {
  Message(InstallFirefoxExtension() ? "MSGBOX_FFINSTALLED" : "MSGBOX_FireFoxIsNotInstalled", MsgButton(mbOK));
}

void TfrmMain::mniUpdateClick(TObject*) { engine1->CheckUpdate(true); }

void TfrmMain::mniAboutClick(TObject*) { engine1->ShowAbout(); }
