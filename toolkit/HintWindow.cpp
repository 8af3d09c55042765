#include "toolkit/HintWindow.h"

#include <commctrl.h>

#include <vector>

#include "toolkit/SkinPaint.h"

namespace {

const char kTipOldProcProp[] = "QmHintTipOldProc";
const char kTipBorderProp[] = "QmHintTipBorder";

// SetWindowTheme lives in uxtheme.dll, which systems before XP lack: looked up by name.
using TSetWindowTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
TSetWindowTheme SetWindowThemeFunction() {
  static const TSetWindowTheme fn = [] {
    HMODULE ux = LoadLibraryA("uxtheme.dll");  // kept loaded for the process
    return ux ? reinterpret_cast<TSetWindowTheme>(reinterpret_cast<void*>(GetProcAddress(ux, "SetWindowTheme")))
              : nullptr;
  }();
  return fn;
}

// The tooltip's own procedure, with its one-pixel frame painted over in the border colour.
LRESULT CALLBACK TipProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto old = reinterpret_cast<WNDPROC>(GetPropA(wnd, kTipOldProcProp));
  if (!old) return DefWindowProcA(wnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(wnd, kTipOldProcProp);
    RemovePropA(wnd, kTipBorderProp);
    return CallWindowProcA(old, wnd, msg, wp, lp);
  }
  LRESULT r = CallWindowProcA(old, wnd, msg, wp, lp);
  if (msg == WM_NCPAINT || (msg == WM_PAINT && !(GetWindowLongA(wnd, GWL_STYLE) & WS_BORDER))) {
    // With WS_BORDER the frame is non-client; without it, the client's outermost pixels.
    if (HDC dc = GetWindowDC(wnd)) {
      RECT r2;
      GetWindowRect(wnd, &r2);
      OffsetRect(&r2, -r2.left, -r2.top);
      SkRoundFrame(dc, r2, 0, static_cast<COLORREF>(reinterpret_cast<UINT_PTR>(GetPropA(wnd, kTipBorderProp))));
      ReleaseDC(wnd, dc);
    }
  }
  return r;
}

}  // namespace

HWND SkCreateHintTip(HWND owner) {
  HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0,
                             0, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!tip) return nullptr;
  if (TSetWindowTheme setTheme = SetWindowThemeFunction()) setTheme(tip, L"", L"");
  SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, 300);
  RECT margin = {3, 1, 3, 1};  // room between the text and the outline
  SendMessageA(tip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
  LONG_PTR old = GetWindowLongPtrA(tip, GWLP_WNDPROC);
  SetPropA(tip, kTipOldProcProp, reinterpret_cast<HANDLE>(old));
  SetWindowLongPtrA(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TipProc));
  return tip;
}

void SkStyleHintTip(HWND tip, const TskSkin& skin) {
  if (!tip) return;
  const TSkinDescription& d = skin.Desc();
  SetPropA(tip, kTipBorderProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(d.HintBorder)));
  SendMessageA(tip, TTM_SETTIPBKCOLOR, d.HintBack, 0);
  SendMessageA(tip, TTM_SETTIPTEXTCOLOR, d.HintText, 0);
  SendMessageA(tip, WM_SETFONT, reinterpret_cast<WPARAM>(skin.ControlFont()), TRUE);
}

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
  SkStyleHintTip(tip_, *(d ? d->Skin() : TskSkin::BuiltIn()));
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
    tip_ = SkCreateHintTip(form->Handle());
    if (!tip_) return;
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
