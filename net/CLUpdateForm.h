// The update window: asks the update server whether a newer version exists, stores the settings
// the answer pushes, and shows the outcome (at once in a manual check, only for a newer version
// in an automatic one).
#pragma once

#include <string>

#include "components/Forms.h"
#include "net/SingleDownloader.h"
#include "net/UpdateAnswer.h"

class TskSkinPanel;
class TskSkinImage;
class TskSkinTextLabel;
class TskSkinCheckBox;
class TskSkinButton;
class TskDynamicSkinForm;
class TCLForm;

class TfrmCLUpdateForm : public TForm {
  QM_CLASS(TfrmCLUpdateForm, TForm)
 public:
  explicit TfrmCLUpdateForm(TComponent* owner);

  // The private message that shows the result once the downloader's completion has returned.
  static constexpr UINT kShowResultMessage = WM_USER + 2;

  // Published fields, set by the loader.
  TskSkinPanel* pnLogo = nullptr;
  TskSkinImage* imgLogo = nullptr;
  TskSkinPanel* pn1 = nullptr;
  TskSkinTextLabel* lbInfo = nullptr;
  TskSkinCheckBox* cbAutoCheckUpdate = nullptr;
  TskSkinPanel* pnOkCancel = nullptr;
  TskSkinButton* btnOK = nullptr;
  TskSkinButton* btnCancel = nullptr;
  TskSkinPanel* pnOK = nullptr;
  TskSkinButton* btnOK2 = nullptr;
  TskDynamicSkinForm* skDynamicSkinForm1 = nullptr;
  TCLForm* clfrm1 = nullptr;
  TSingleDownloader* sdDownload = nullptr;

  void StartCheck(bool manual);

  // Published handlers.
  void FormCreate(TObject* sender);
  void sdDownloadDoneString(TObject* sender, const std::string& result);
  void sdDownloadError(TObject* sender);
  void btnOKClick(TObject* sender);
  void btnOK2Click(TObject* sender);
  void FormKeyUp(TObject* sender, WORD& key, TShiftState shift);

  void LoadLogo(const std::string& path);
  void ShowResult();
  // Shows the window modally; once the user has closed it, a result that arrives later only
  // updates it and never brings it back.
  int ShowCheck();

  bool Manual() const { return manual_; }
  bool Checking() const { return checking_; }
  const std::string& InfoText() const { return info_; }
  const std::string& PageURL() const { return page_; }

  void WndProc(TMessage& message) override;

 private:
  void PostResult(const std::string& info, const std::string& page);
  void StoreAutoCheck();

  bool manual_ = false;
  bool checking_ = false;
  bool closedByUser_ = false;
  std::string info_;
  std::string page_;
};

// The engine's two entry points: a manual check shown modally at once, and a silent automatic
// check whose window shows itself only for a newer version (and then frees itself).
void CLCheckUpdate(TComponent* owner);
TfrmCLUpdateForm* CLAutoCheckUpdate(TComponent* owner);
// The "LibRes" text of the process-wide engine, empty without one.
std::string CLLibRes(const std::string& key);
// A window caption: the class-name key, else the built-in key without the leading "T".
std::string CLFormCaption(const std::string& className);
