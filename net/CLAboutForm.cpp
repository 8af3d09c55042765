#include "net/CLAboutForm.h"

#include "components/StoredData.h"
#include "framework/CLEngine.h"
#include "framework/CLForm.h"
#include "framework/CLSettings.h"
#include "lang/CLMultiLang.h"
#include "net/BannerText.h"
#include "net/CLUpdateForm.h"
#include "net/CLWebBanner.h"
#include "toolkit/SkinControls.h"
#include "toolkit/SkinForm.h"
#include "tools/QVTools.h"

namespace {

// The window's stored data, kept with the unit like the update window's. The banner sits under
// the about text and stays hidden unless its settings name a page.
const char kStoredText[] = R"(object frmCLAboutForm : TfrmCLAboutForm
  BorderStyle = bsDialog
  BorderIcons = []
  Position = poMainFormCenter
  ClientWidth = 373
  ClientHeight = 262
  KeyPreview = true
  OnCreate = FormCreate
  OnKeyUp = FormKeyUp
  object pnLogo : TskSkinPanel
    Align = alTop
    Height = 65
    object imgLogo : TskSkinImage
      Align = alClient
      AutoSize = true
    end
  end
  object pn2 : TskSkinPanel
    Align = alBottom
    Height = 44
    object lblSupport : TskSkinLinkLabel
      Left = 8
      Top = 14
      Width = 120
      Height = 17
      Caption = "Support"
      TabOrder = 1
    end
    object btnOK : TskSkinButton
      Left = 287
      Top = 8
      Width = 80
      Height = 25
      Caption = "&OK"
      Default = true
      ModalResult = mrOk
      TabOrder = 0
    end
  end
  object pn1 : TskSkinPanel
    Align = alClient
    object lbInfo : TskSkinTextLabel
      Left = 8
      Top = 8
      Width = 357
      Height = 73
    end
    object wbAbout : TCLWebBanner
      Left = 8
      Top = 84
      Width = 357
      Height = 64
      Visible = false
    end
  end
  object skDynamicSkinForm1 : TskDynamicSkinForm
  end
  object clfrm1 : TCLForm
    RuntimeSetSkinData = true
    RuntimeSetLanguageData = true
    RunTimeSetFormProperties = false
  end
end
)";

const bool kStored = (RegisterStoredForm("TfrmCLAboutForm", kStoredText), true);

// The language the user chose (the language file's name), not the name a file gives itself in
// its "Info" section: the about line names what the language menu shows.
std::string LanguageName() {
  TCLEngine* engine = GetEngine();
  return engine ? engine->LanguageName() : std::string();
}

std::string Translator() {
  TCLEngine* engine = GetEngine();
  return engine && engine->LanguageData() ? engine->LanguageData()->CurrentLanguageTranslator() : std::string();
}

}  // namespace

QM_REGISTER_CLASS(TfrmCLAboutForm, b) {
  b.Field("pnLogo", &TfrmCLAboutForm::pnLogo);
  b.Field("imgLogo", &TfrmCLAboutForm::imgLogo);
  b.Field("pn1", &TfrmCLAboutForm::pn1);
  b.Field("lbInfo", &TfrmCLAboutForm::lbInfo);
  b.Field("wbAbout", &TfrmCLAboutForm::wbAbout);
  b.Field("pn2", &TfrmCLAboutForm::pn2);
  b.Field("lblSupport", &TfrmCLAboutForm::lblSupport);
  b.Field("btnOK", &TfrmCLAboutForm::btnOK);
  b.Field("skDynamicSkinForm1", &TfrmCLAboutForm::skDynamicSkinForm1);
  b.Field("clfrm1", &TfrmCLAboutForm::clfrm1);
  b.Method("FormCreate", &TfrmCLAboutForm::FormCreate);
  b.Method("FormKeyUp", &TfrmCLAboutForm::FormKeyUp);
}

TfrmCLAboutForm::TfrmCLAboutForm(TComponent* owner) : TForm(owner) { (void)kStored; }

void TfrmCLAboutForm::LoadLogo(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    try {
      imgLogo->LoadFromFile(path);
      const int grow = imgLogo->Picture().Height() - pnLogo->Height();
      SetClientSize(imgLogo->Picture().Width(), ClientHeight() + grow);
      pnLogo->SetHeight(imgLogo->Picture().Height());
    } catch (const EPngError&) {
      // A damaged picture is left out like a missing one.
    }
  }
  if (imgLogo->Picture().Height() == 0) {
    SetClientSize(ClientWidth(), ClientHeight() - pnLogo->Height());
    pnLogo->Hide();
  }
}

void TfrmCLAboutForm::FormCreate(TObject*) {
  LoadLogo(QV_GetAppPath() + "res\\images\\about.png");
  SetCaption(CLFormCaption(ClassName()));
  btnOK->SetCaption(CLLibRes("btnOk.Caption"));
  TCLSettings* settings = GetSettings();
  abouttext::TAboutInputs in;
  in.Line1 = CLLibRes("TfrmCLAboutForm.CopyRightLine1");
  in.Line2 = CLLibRes("TfrmCLAboutForm.CopyRightLine2");
  in.Line3 = CLLibRes("TfrmCLAboutForm.CopyRightLine3");
  in.Version = settings->ReadString("App.Ver");
  in.Copyright = settings->ReadString("App.Copyright");
  in.LanguageName = LanguageName();
  in.Translator = Translator();
  lbInfo->SetText(abouttext::ComposeAboutText(in));
  lblSupport->SetCaption(CLLibRes("lblSupport.Caption"));
  TCLEngine* engine = GetEngine();
  lblSupport->URL = engine ? engine->GetActionURL("support", true) : std::string();
  if (CLAboutBannerConfigured()) {
    wbAbout->BannerName = "About";
    wbAbout->Show();
    wbAbout->UpdateBanner();
  }
}

void TfrmCLAboutForm::FormKeyUp(TObject*, WORD& key, TShiftState) {
  switch (keys_.KeyUp(key)) {
    case abouttext::TAccessWordWatch::kClose:
      ModalResult = mrOk;
      break;
    case abouttext::TAccessWordWatch::kUnlock:
      if (TCLEngine* engine = GetEngine()) engine->InternalMode = true;
      SetCaption(keys_.UnlockedCaption());
      break;
    case abouttext::TAccessWordWatch::kNone:
      break;
  }
}

bool CLAboutBannerConfigured() {
  TCLSettings* s = GetSettings();
  for (const char* suffix : {"RemoteURLA", "URLA", "RemoteURL", "URL"})
    if (!s->ReadString(bannertext::BannerKey("About", suffix)).empty()) return true;
  return false;
}

void CLShowAbout(TComponent* owner, HWND parentWnd) {
  std::unique_ptr<TfrmCLAboutForm> form(NewForm<TfrmCLAboutForm>(owner));
  if (parentWnd) {
    SetParent(form->Handle(), parentWnd);
    form->SetBounds(0, 0, form->Width(), form->Height());
  }
  form->ShowModal();
}
