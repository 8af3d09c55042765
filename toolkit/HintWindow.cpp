#include "toolkit/HintWindow.h"

#include <commctrl.h>

#include <vector>

QM_REGISTER_CLASS(TskHintWindow, b) { b.Object<TskSkinData>("SkinData", "TskSkinData", &TskHintWindow::SkinData); }

TskHintWindow::TskHintWindow(TComponent* owner) : TComponent(owner) {}

TskHintWindow::~TskHintWindow() {
  if (attached_) attached_->RemoveClient(this);
  if (tip_) DestroyWindow(tip_);
}

void TskHintWindow::Loaded() {
  TComponent::Loaded();
  UpdateHints();
}

void TskHintWindow::SkinDataGone(TskSkinData* data) {
  if (attached_ == data) attached_ = nullptr;
  if (SkinData == data) SkinData = nullptr;
}

void TskHintWindow::SkinChanged() {
  if (!tip_) return;
  TskSkinData* d = SkinData ? SkinData : TskSkinData::Default();
  std::shared_ptr<const TskSkin> skin = d ? d->Skin() : TskSkin::BuiltIn();
  SendMessageA(tip_, TTM_SETTIPBKCOLOR, skin->Desc().HintBack, 0);
  SendMessageA(tip_, TTM_SETTIPTEXTCOLOR, skin->Desc().HintText, 0);
  SendMessageA(tip_, WM_SETFONT, reinterpret_cast<WPARAM>(skin->ControlFont()), TRUE);
}

// The controls of `form` that show a hint.
static std::vector<TWinControl*> HintedControls(TCustomForm* form) {
  std::vector<TWinControl*> hinted;
  for (int i = 0; i < form->ComponentCount(); ++i) {
    auto* c = dynamic_cast<TWinControl*>(form->Components(i));
    if (c && !c->Hint.empty() && c->ShowHint && c->HandleAllocated()) hinted.push_back(c);
  }
  return hinted;
}

void TskHintWindow::UpdateHints() {
  auto* form = dynamic_cast<TCustomForm*>(Owner());
  if (!form || !form->Handle()) return;
  const std::vector<TWinControl*> hinted = HintedControls(form);
  // The tooltip window is made only once a control has a hint: creating the first one loads
  // the common controls library, a cost every start would pay before its window shows.
  if (hinted.empty() && !tip_) return;
  if (!tip_) {
    tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0,
                           form->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!tip_) return;
    SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, 300);
  }
  TskSkinData* d = SkinData ? SkinData : TskSkinData::Default();
  if (d != attached_) {
    if (attached_) attached_->RemoveClient(this);
    attached_ = d;
    if (d) d->AddClient(this);
  }
  SkinChanged();
  for (TWinControl* c : hinted) {
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = form->Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(c->HandleIfAllocated());
    ti.lpszText = const_cast<char*>(c->Hint.c_str());
    SendMessageA(tip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
}
