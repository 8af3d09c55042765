#include "toolkit/SkinMessage.h"

#include <algorithm>
#include <vector>

#include "toolkit/SkinControls.h"
#include "toolkit/SkinForm.h"
#include "toolkit/SkinPaint.h"

namespace {

struct TButtonInfo {
  TMsgDlgBtn button;
  const char* key;
  int result;
};
const TButtonInfo kButtons[] = {
    {mbYes, "MSG_BTN_YES", mrYes},          {mbNo, "MSG_BTN_NO", mrNo},
    {mbOK, "MSG_BTN_OK", mrOk},             {mbCancel, "MSG_BTN_CANCEL", mrCancel},
    {mbAbort, "MSG_BTN_ABORT", mrAbort},    {mbRetry, "MSG_BTN_RETRY", mrRetry},
    {mbIgnore, "MSG_BTN_IGNORE", mrIgnore}, {mbAll, "MSG_BTN_ALL", mrAll},
    {mbNoToAll, "MSG_BTN_NOTOALL", mrNoToAll}, {mbYesToAll, "MSG_BTN_YESTOALL", mrYesToAll},
    {mbHelp, "MSG_BTN_HELP", mrNone},
};

const char* const kCaptionKeys[] = {"MSG_CAP_WARNING", "MSG_CAP_ERROR", "MSG_CAP_INFORMATION", "MSG_CAP_CONFIRM", ""};

}  // namespace

// The dialog's window: a form without stored data, laid out by MessageDlg. Closing it by its
// frame answers like its cancel button; without one the dialog stays.
class TskMessageForm : public TForm {
  QM_CLASS(TskMessageForm, TForm)
 public:
  explicit TskMessageForm(TComponent* owner) : TForm(owner) {}
  int CloseResult = mrNone;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_CLOSE) {
      if (CloseResult != mrNone) ModalResult = CloseResult;
      m.Result = 0;
      return;
    }
    TForm::WndProc(m);
  }
};
QM_REGISTER_CLASS(TskMessageForm, b) { (void)b; }

QM_REGISTER_CLASS(TskSkinMessage, b) {
  b.Object<TskSkinData>("SkinData", "TskSkinData", &TskSkinMessage::SkinData, &TskSkinMessage::SetSkinData);
  b.Object<TskSkinData>("CtrlSkinData", "TskSkinData", &TskSkinMessage::CtrlSkinData, &TskSkinMessage::SetCtrlSkinData);
  b.Bool("ShowAgainFlag", &TskSkinMessage::ShowAgainFlag);
  b.Bool("ShowAgainFlagValue", &TskSkinMessage::ShowAgainFlagValue);
}

TskSkinMessage::TskSkinMessage(TComponent* owner) : TComponent(owner) {}

void TskSkinMessage::SetSkinData(TskSkinData* value) {
  if (skinData_ && skinData_ != ctrlSkinData_) RemoveFreeNotification(skinData_);
  skinData_ = value;
  if (value) FreeNotification(value);
}

void TskSkinMessage::SetCtrlSkinData(TskSkinData* value) {
  if (ctrlSkinData_ && ctrlSkinData_ != skinData_) RemoveFreeNotification(ctrlSkinData_);
  ctrlSkinData_ = value;
  if (value) FreeNotification(value);
}

void TskSkinMessage::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op != TOperation::opRemove) return;
  if (c == skinData_) skinData_ = nullptr;
  if (c == ctrlSkinData_) ctrlSkinData_ = nullptr;
}

std::string TskSkinMessage::ResText(const std::string& key) const {
  TskSkinData* d = ctrlSkinData_ ? ctrlSkinData_ : skinData_ ? skinData_ : TskSkinData::Default();
  return d ? d->ResText(key) : TskResourceStrData::DefaultText(key);
}

// The window that hears of a press of Help: the form this component belongs to, else the
// window that owns the dialog.
HWND TskSkinMessage::HelpTarget(HWND dialog) const {
  if (auto* form = dynamic_cast<TCustomForm*>(Owner()))
    if (HWND h = form->HandleIfAllocated()) return h;
  HWND owner = GetWindow(dialog, GW_OWNER);
  return owner ? owner : dialog;
}

void TskSkinMessage::SendHelp(HWND dialog, HWND button, int helpContext) const {
  HELPINFO hi = {};
  hi.cbSize = sizeof hi;
  hi.iContextType = HELPINFO_WINDOW;
  hi.iCtrlId = GetDlgCtrlID(button);
  hi.hItemHandle = button;
  hi.dwContextId = static_cast<DWORD_PTR>(helpContext);
  GetCursorPos(&hi.MousePos);
  SendMessageA(HelpTarget(dialog), WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
}

int TskSkinMessage::MessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type,
                               TMsgDlgButtons buttons, int helpContext) {
  // Help answers nothing: a dialog without another button could not be answered or closed.
  const TMsgDlgButtons answering = ((1u << mbHelp) - 1) & buttons;
  if (answering == 0) buttons = (buttons & MsgButton(mbHelp)) | MsgButton(mbOK);
  TskSkinData* ctrlData = ctrlSkinData_ ? ctrlSkinData_ : skinData_;
  std::shared_ptr<const TskSkin> skin =
      ctrlData ? ctrlData->Skin() : (TskSkinData::Default() ? TskSkinData::Default()->Skin() : TskSkin::BuiltIn());

  // Owned by this component's owner, like every window the framework opens; freed below.
  TComponent* owner = Owner() ? Owner() : this;
  auto* form = static_cast<TskMessageForm*>(CreateFormOf(TskMessageForm::StaticClass(), owner));
  std::unique_ptr<TskMessageForm> holder(form);
  form->BorderStyle = bsDialog;
  form->BorderIcons = biSystemMenu;
  form->Position = poMainFormCenter;
  std::string cap = caption;
  int kind = std::clamp(static_cast<int>(type), 0, 4);
  if (cap.empty() && kCaptionKeys[kind][0]) cap = ResText(kCaptionKeys[kind]);
  form->SetCaption(cap);
  auto* frame = new TskDynamicSkinForm(form);
  frame->SetSkinData(skinData_);

  // Measure: the text wraps at a comfortable width; the buttons share one row.
  HDC screen = GetDC(nullptr);
  const int margin = 16, iconSize = 32, gap = 8, buttonHeight = 25;
  bool hasIcon = type != mtCustom;
  int textLeft = margin + (hasIcon ? iconSize + 14 : 0);
  SIZE textSize = SkTextSize(screen, text, skin->ControlFont(), DT_WORDBREAK | DT_NOPREFIX, 380);
  std::vector<const TButtonInfo*> shown;
  int rowWidth = 0;
  std::vector<int> widths;
  for (const TButtonInfo& b : kButtons)
    if (buttons & MsgButton(b.button)) {
      shown.push_back(&b);
      SIZE s = SkTextSize(screen, ResText(b.key), skin->ControlFont(), DT_SINGLELINE);
      widths.push_back(std::max(80, static_cast<int>(s.cx) + 28));
      rowWidth += widths.back() + (rowWidth ? gap : 0);
    }
  std::string flagText = ResText("MSG_CAP_SHOWFLAG");
  SIZE flagSize = SkTextSize(screen, flagText, skin->ControlFont(), DT_SINGLELINE);
  ReleaseDC(nullptr, screen);

  int clientWidth = std::max({textLeft + static_cast<int>(textSize.cx) + margin, rowWidth + 2 * margin,
                              ShowAgainFlag ? margin + 22 + static_cast<int>(flagSize.cx) + margin : 0, 260});
  int textTop = margin + (hasIcon && textSize.cy < iconSize ? (iconSize - textSize.cy) / 2 : 0);
  int y = std::max(textTop + static_cast<int>(textSize.cy), hasIcon ? margin + iconSize : 0) + 14;
  int flagTop = y;
  if (ShowAgainFlag) y += 17 + 12;
  int buttonTop = y;
  int clientHeight = buttonTop + buttonHeight + margin;
  form->DesignClientWidth = clientWidth;
  form->DesignClientHeight = clientHeight;

  if (hasIcon) {
    auto* icon = new TskIconView(form);
    icon->SetSkinData(ctrlData);
    static const LPCSTR kIcons[] = {IDI_WARNING, IDI_ERROR, IDI_INFORMATION, IDI_QUESTION};
    icon->Icon = LoadIconA(nullptr, kIcons[kind]);
    icon->SetBounds(margin, margin, iconSize, iconSize);
    icon->SetParent(form);
  }
  auto* label = new TskSkinTextLabel(form);
  label->SetName("lblMessage");
  label->SetSkinData(ctrlData);
  label->SetBounds(textLeft, textTop, clientWidth - textLeft - margin, textSize.cy);
  // The message is shown as given: an "&" in it is a character, not a mnemonic.
  std::string shownText;
  for (char c : text) {
    shownText += c;
    if (c == '&') shownText += '&';
  }
  label->SetText(shownText);
  label->SetParent(form);

  // Enter answers Yes or OK (else the first button); Escape answers Cancel, else No, else OK.
  int defaultResult = (buttons & MsgButton(mbYes)) ? mrYes : (buttons & MsgButton(mbOK)) ? mrOk : shown[0]->result;
  int cancelResult = (buttons & MsgButton(mbCancel)) ? mrCancel : (buttons & MsgButton(mbNo)) ? mrNo
                     : (buttons & MsgButton(mbOK)) ? mrOk : mrNone;
  form->CloseResult = cancelResult;
  int x = (clientWidth - rowWidth) / 2;
  for (size_t i = 0; i < shown.size(); ++i) {
    auto* b = new TskSkinButton(form);
    b->SetSkinData(ctrlData);
    b->SetBounds(x, buttonTop, widths[i], buttonHeight);
    b->SetText(ResText(shown[i]->key));
    b->ModalResult = shown[i]->result;
    b->SetDefault(shown[i]->result == defaultResult && shown[i]->button != mbHelp);
    b->Cancel = cancelResult != mrNone && shown[i]->result == cancelResult;
    b->TabOrder = static_cast<int>(i);
    if (shown[i]->button == mbHelp)
      b->OnClick = [this, form, b, helpContext](TObject*) { SendHelp(form->Handle(), b->Handle(), helpContext); };
    b->SetParent(form);
    x += widths[i] + gap;
  }

  // Created after the buttons: focus starts on the default button, Tab goes on to the box.
  TskSkinCheckBox* flag = nullptr;
  if (ShowAgainFlag) {
    flag = new TskSkinCheckBox(form);
    flag->SetName("cbShowAgain");
    flag->SetSkinData(ctrlData);
    flag->SetBounds(margin, flagTop, clientWidth - 2 * margin, 17);
    flag->SetText(flagText);
    flag->SetChecked(!ShowAgainFlagValue);
    flag->TabOrder = static_cast<int>(shown.size());
    flag->SetParent(form);
  }

  form->HandleNeeded();
  form->SetClientSize(clientWidth, clientHeight);
  frame->Loaded();  // frame the window now that its size is known
  dialog_ = form->HandleIfAllocated();
  int result = form->ShowModal();
  dialog_ = nullptr;
  if (flag) ShowAgainFlagValue = !flag->Checked();
  return result;
}
