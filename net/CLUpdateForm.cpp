#include "net/CLUpdateForm.h"

#include "framework/CLEngine.h"
#include "framework/CLForm.h"
#include "framework/CLEngineWeb.h"
#include "framework/CLSettings.h"
#include "components/StoredData.h"
#include "platform/TraceChannel.h"
#include "toolkit/SkinControls.h"
#include "toolkit/SkinForm.h"
#include "tools/QVTools.h"

namespace {

const char kTag[] = "CLUpdate";

// The window's stored data. Kept with the unit (rather than in a program's resources) so that
// every program that links the update window can open it.
const char kStoredText[] = R"(object frmCLUpdateForm : TfrmCLUpdateForm
  BorderStyle = bsDialog
  BorderIcons = []
  Position = poMainFormCenter
  ClientWidth = 373
  ClientHeight = 306
  KeyPreview = true
  OnCreate = FormCreate
  OnKeyUp = FormKeyUp
  object pnLogo : TskSkinPanel
    Align = alTop
    Height = 65
    object imgLogo : TskSkinImage
      Align = alClient
      AutoSize = true
      Enabled = false
    end
  end
  object pnOkCancel : TskSkinPanel
    Align = alBottom
    Height = 40
    object btnOK : TskSkinButton
      Left = 95
      Top = 8
      Width = 80
      Height = 25
      Enabled = false
      Default = true
      ModalResult = mrOk
      TabOrder = 0
      OnClick = btnOKClick
    end
    object btnCancel : TskSkinButton
      Left = 191
      Top = 8
      Width = 80
      Height = 25
      ModalResult = mrCancel
      TabOrder = 1
    end
  end
  object pnOK : TskSkinPanel
    Align = alBottom
    Height = 34
    object btnOK2 : TskSkinButton
      Left = 143
      Top = 3
      Width = 80
      Height = 25
      Enabled = false
      ModalResult = mrCancel
      OnClick = btnOK2Click
    end
  end
  object pn1 : TskSkinPanel
    Align = alClient
    object lbInfo : TskSkinTextLabel
      Left = 8
      Top = 8
      Width = 357
      Height = 136
    end
    object cbAutoCheckUpdate : TskSkinCheckBox
      Left = 8
      Top = 142
      Width = 353
      Height = 25
      Checked = false
    end
  end
  object skDynamicSkinForm1 : TskDynamicSkinForm
  end
  object clfrm1 : TCLForm
    RuntimeSetSkinData = true
    RuntimeSetLanguageData = true
    RunTimeSetFormProperties = false
  end
  object sdDownload : TSingleDownloader
    AcceptTypes = "*/*"
    BinaryData = false
    UseCache = false
    WaitThread = false
    OnDoneString = sdDownloadDoneString
    OnError = sdDownloadError
  end
end
)";

const bool kStored = (RegisterStoredForm("TfrmCLUpdateForm", kStoredText), true);

std::string TextOr(const std::string& text, const std::string& fallback) {
  return text.empty() ? fallback : text;
}

// Writes the settings an answer pushed and saves the user's settings file. Each write of the
// store re-reads and rewrites the whole file, so every key is written once, with its last value.
// One turn at the settings file for the whole answer: each pushed key is written once, with
// its last value, and the file is saved even when nothing was pushed.
void StorePushedSettings(TCLSettings* settings, const std::vector<std::pair<std::string, std::string>>& pushed) {
  const auto merged = updatetext::MergePushes(pushed);
  if (merged.empty())
    settings->UpdateFile();
  else
    settings->WriteStrings(merged);
}

}  // namespace

QM_REGISTER_CLASS(TfrmCLUpdateForm, b) {
  b.Field("pnLogo", &TfrmCLUpdateForm::pnLogo);
  b.Field("imgLogo", &TfrmCLUpdateForm::imgLogo);
  b.Field("pn1", &TfrmCLUpdateForm::pn1);
  b.Field("lbInfo", &TfrmCLUpdateForm::lbInfo);
  b.Field("cbAutoCheckUpdate", &TfrmCLUpdateForm::cbAutoCheckUpdate);
  b.Field("pnOkCancel", &TfrmCLUpdateForm::pnOkCancel);
  b.Field("btnOK", &TfrmCLUpdateForm::btnOK);
  b.Field("btnCancel", &TfrmCLUpdateForm::btnCancel);
  b.Field("pnOK", &TfrmCLUpdateForm::pnOK);
  b.Field("btnOK2", &TfrmCLUpdateForm::btnOK2);
  b.Field("skDynamicSkinForm1", &TfrmCLUpdateForm::skDynamicSkinForm1);
  b.Field("clfrm1", &TfrmCLUpdateForm::clfrm1);
  b.Field("sdDownload", &TfrmCLUpdateForm::sdDownload);
  b.Method("FormCreate", &TfrmCLUpdateForm::FormCreate);
  b.Method("sdDownloadDoneString", &TfrmCLUpdateForm::sdDownloadDoneString);
  b.Method("sdDownloadError", &TfrmCLUpdateForm::sdDownloadError);
  b.Method("btnOKClick", &TfrmCLUpdateForm::btnOKClick);
  b.Method("btnOK2Click", &TfrmCLUpdateForm::btnOK2Click);
  b.Method("FormKeyUp", &TfrmCLUpdateForm::FormKeyUp);
}

std::string CLLibRes(const std::string& key) {
  TCLEngine* engine = GetEngine();
  return engine ? engine->GetLibRes(key) : std::string();
}

std::string CLFormCaption(const std::string& className) {
  // The language files carry the caption under the key without the class prefix "T"; the
  // class-name key wins when a language file has it.
  return TextOr(CLLibRes(className + ".Caption"), CLLibRes(className.substr(1) + ".Caption"));
}

TfrmCLUpdateForm::TfrmCLUpdateForm(TComponent* owner) : TForm(owner) { (void)kStored; }

void TfrmCLUpdateForm::LoadLogo(const std::string& path) {
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
    const int band = pnLogo->Height();
    pnLogo->Hide();
    imgLogo->Hide();
    SetClientSize(ClientWidth(), ClientHeight() - band);
  }
}

void TfrmCLUpdateForm::FormCreate(TObject*) {
  LoadLogo(QV_GetAppPath() + "res\\images\\update.png");
  SetCaption(CLFormCaption(ClassName()));
  const std::string ok = CLLibRes("btnOk.Caption");
  btnOK->SetCaption(ok);
  btnOK2->SetCaption(ok);
  btnCancel->SetCaption(CLLibRes("btnCancel.Caption"));
  cbAutoCheckUpdate->SetCaption(CLLibRes("cbAutoCheckUpdate.Caption"));
  lbInfo->SetText(CLLibRes("Update.Connecting"));
  pnOkCancel->Hide();
  TCLSettings* settings = GetSettings();
  if (settings->ReadBool("Update.NoAutoCheck")) cbAutoCheckUpdate->Hide();
  if (settings->ReadBool("Update.AutoCheck")) cbAutoCheckUpdate->SetChecked(true);
}

void TfrmCLUpdateForm::StartCheck(bool manual) {
  if (manual) manual_ = true;
  if (checking_) return;
  checking_ = true;
  const std::string url = WebActionURL("Update", true);
  TraceTagged("Update URL : " + url, kTag);
  sdDownload->URL = url;
  sdDownload->DownloadToString();
}

void TfrmCLUpdateForm::PostResult(const std::string& info, const std::string& page) {
  info_ = info;
  page_ = page;
  PostMessageA(Handle(), kShowResultMessage, 0, 0);
}

void TfrmCLUpdateForm::sdDownloadDoneString(TObject*, const std::string& result) {
  // A trace line holds a few kilobytes; an answer may hold megabytes.
  TraceTagged("Update Net : " + result.substr(0, TTracer::kMaxText), kTag);
  TCLSettings* settings = GetSettings();
  SYSTEMTIME now;
  GetLocalTime(&now);
  settings->WriteFloat("Update.LastDate",
                       updatetext::DateTimeSerial(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                                  now.wSecond, now.wMilliseconds));
  if (!checking_) return;

  updatetext::TAnswerInputs in;
  in.MagicWord = settings->ReadString("App.MagicWord");
  in.Manual = manual_;
  in.AutoCheck = settings->ReadBool("Update.AutoCheck");
  in.NoAutoCheck = settings->ReadBool("Update.NoAutoCheck");
  in.RunTimes = settings->RunTimes();
  const updatetext::TAnswerOutcome out = updatetext::ProcessAnswer(result, in);

  for (const std::string& refused : out.Refused) TraceTagged("Update refused : " + refused, kTag);
  if (out.PushesDropped > 0)
    TraceTagged("Update refused : " + std::to_string(out.PushesDropped) + " pushed lines past the first " +
                    std::to_string(updatetext::kMaxPushedLines),
                kTag);
  if (out.MagicMatched) StorePushedSettings(settings, out.Settings);
  checking_ = false;
  switch (out.Show) {
    case updatetext::kShowNewVersion: PostResult(out.Info, out.Page); break;
    case updatetext::kShowLastVersion: PostResult(CLLibRes("Update.LastVersionAlready"), ""); break;
    case updatetext::kShowNetError: PostResult(CLLibRes("Update.NetError"), ""); break;
    case updatetext::kShowNothing: break;
  }
}

void TfrmCLUpdateForm::sdDownloadError(TObject*) {
  if (checking_) TraceTagged("Update Net Error !", kTag);
  // A failed request ends the check too, so that the window can ask again later.
  checking_ = false;
  if (manual_) PostResult(CLLibRes("Update.NetError"), "");
}

void TfrmCLUpdateForm::ShowResult() {
  lbInfo->SetText(info_);
  if (!page_.empty()) {
    pnOkCancel->Show();
    btnCancel->Show();
    pnOK->Hide();
  } else {
    pnOK->Show();
    pnOkCancel->Hide();
    btnCancel->Hide();
  }
  btnOK->SetEnabled(true);
  btnOK2->SetEnabled(true);
  if (!IsWindowVisible(Handle()) && !closedByUser_) {
    ShowCheck();
    // An automatic check's window has no other owner that would free it.
    if (!manual_) Release();
  }
}

int TfrmCLUpdateForm::ShowCheck() {
  const int result = ShowModal();
  closedByUser_ = true;
  return result;
}

void TfrmCLUpdateForm::StoreAutoCheck() {
  TCLSettings* settings = GetSettings();
  if (!settings->ReadBool("Update.NoAutoCheck")) settings->WriteBool("Update.AutoCheck", cbAutoCheckUpdate->Checked());
}

void TfrmCLUpdateForm::btnOKClick(TObject*) {
  StoreAutoCheck();
  if (page_.empty()) return;
  // Through the application's window, not this one: an automatic check's window is freed as
  // soon as it closes, and whatever the shell shows must not be owned by a dead window.
  if (TCLEngine* engine = GetEngine())
    engine->OpenURL(page_);
  else
    WebOpenURL(Application()->Handle(), page_);
}

void TfrmCLUpdateForm::btnOK2Click(TObject*) {
  sdDownload->CancelDownload();
  StoreAutoCheck();
}

void TfrmCLUpdateForm::FormKeyUp(TObject*, WORD& key, TShiftState) {
  sdDownload->CancelDownload();
  if (key == VK_ESCAPE) ModalResult = mrCancel;
}

void TfrmCLUpdateForm::WndProc(TMessage& message) {
  if (message.Msg == kShowResultMessage) {
    ShowResult();
    return;
  }
  TForm::WndProc(message);
}

void CLCheckUpdate(TComponent* owner) {
  TfrmCLUpdateForm* form = NewForm<TfrmCLUpdateForm>(owner);
  form->StartCheck(true);
  form->ShowCheck();
}

TfrmCLUpdateForm* CLAutoCheckUpdate(TComponent* owner) {
  TfrmCLUpdateForm* form = NewForm<TfrmCLUpdateForm>(owner);
  form->StartCheck(false);
  return form;
}
