// The skinned message dialog: text, caption, a dialog kind with its icon, a set of buttons,
// and optionally a "do not display this message again" box.
#pragma once

#include <string>

#include "components/Forms.h"
#include "toolkit/SkinData.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = unsigned;  // bit n set: button n of TMsgDlgBtn
constexpr TMsgDlgButtons MsgButton(TMsgDlgBtn b) { return 1u << b; }

class TskSkinMessage : public TComponent {
  QM_CLASS(TskSkinMessage, TComponent)
 public:
  explicit TskSkinMessage(TComponent* owner);

  TskSkinData* SkinData() const { return skinData_; }  // the dialog's frame
  void SetSkinData(TskSkinData* value);
  TskSkinData* CtrlSkinData() const { return ctrlSkinData_; }  // the controls inside it
  void SetCtrlSkinData(TskSkinData* value);
  // Shows the do-not-show-again box in the next dialogs.
  bool ShowAgainFlag = false;
  // True: keep showing the message. Set when a dialog closes to the opposite of the box.
  bool ShowAgainFlagValue = true;

  // Shows the dialog modally; returns the modal result of the button pressed (mrCancel when
  // the dialog is closed otherwise). Without a button that answers (Help only shows help), an
  // OK button is added. An empty caption gives the kind's caption ("Warning", "Confirm", ...).
  // Help leaves the dialog open and sends WM_HELP (a HELPINFO whose dwContextId is
  // `helpContext`) to the form owning this component, else to the dialog's owner window.
  int MessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
                 int helpContext = 0);
  // The window of the dialog while it is shown, else null.
  HWND DialogHandle() const { return dialog_; }

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  std::string ResText(const std::string& key) const;
  HWND HelpTarget(HWND dialog) const;
  void SendHelp(HWND dialog, HWND button, int helpContext) const;
  TskSkinData* skinData_ = nullptr;
  TskSkinData* ctrlSkinData_ = nullptr;
  HWND dialog_ = nullptr;
};
