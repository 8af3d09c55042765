#include "toolkit/SkinForm.h"

#include <algorithm>

#include <commctrl.h>

#include "toolkit/HintWindow.h"
#include "toolkit/SkinControls.h"
#include "toolkit/SkinPaint.h"

namespace {

const char kHookProp[] = "QmSkinFormHook";

TskDynamicSkinForm* FindSkinForm(TCustomForm* form) {
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* f = dynamic_cast<TskDynamicSkinForm*>(form->Components(i))) return f;
  return nullptr;
}

TskSkinData* FormSkinData(TCustomForm* form) {
  TskDynamicSkinForm* f = FindSkinForm(form);
  if (f && f->SkinData()) return f->SkinData();
  return TskSkinData::Default();
}

// The per-form hook: background, alignment, default and cancel buttons, first focus. A
// component owned by the form, so it is freed (and puts the window procedure back) with the
// form's other components, before the window goes.
class TskFormHook : public TComponent, public TskSkinClient {
 public:
  explicit TskFormHook(TCustomForm* form) : TComponent(form), form_(form), oldProc_(form->WindowProc) {
    form->WindowProc = [this](TMessage& m) { Hook(m); };
    if (HWND h = form->HandleIfAllocated()) SetPropA(h, kHookProp, this);
    Attach();
  }
  ~TskFormHook() override {
    if (attached_) attached_->RemoveClient(this);
    if (HWND h = form_->HandleIfAllocated()) RemovePropA(h, kHookProp);
    form_->WindowProc = oldProc_;
  }
  void SkinChanged() override {
    Attach();
    if (HWND h = form_->HandleIfAllocated())
      RedrawWindow(h, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
  }
  void SkinDataGone(TskSkinData* data) override {
    if (attached_ == data) attached_ = nullptr;
  }

 private:
  void Attach() {
    TskSkinData* d = FormSkinData(form_);
    if (d == attached_) return;
    if (attached_) attached_->RemoveClient(this);
    attached_ = d;
    if (d) d->AddClient(this);
  }
  std::shared_ptr<const TskSkin> Skin() const { return attached_ ? attached_->Skin() : TskSkin::BuiltIn(); }

  void PaintBackground(HDC dc) {
    RECT client;
    GetClientRect(form_->HandleIfAllocated(), &client);
    SkPaintWindowBackground(dc, client, *Skin());
  }

  void Hook(TMessage& m) {
    HWND h = form_->HandleIfAllocated();
    if (m.Msg == SkPaintBackgroundMessage()) {
      PaintBackground(reinterpret_cast<HDC>(m.WParam));
      m.Result = 1;
      return;
    }
    switch (m.Msg) {
      case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(h, &client);
        TskPaintBuffer buffer(reinterpret_cast<HDC>(m.WParam), client);
        PaintBackground(buffer.dc());
        m.Result = 1;
        return;
      }
      case WM_SIZE:
        oldProc_(m);
        SkRealign(form_);
        InvalidateRect(h, nullptr, TRUE);
        return;
      case DM_GETDEFID:
        if (TskSkinButton* b = SkFindDefaultButton(form_, false)) {
          m.Result = MAKELONG(GetDlgCtrlID(b->Handle()), DC_HASDEFID);
          return;
        }
        break;
      case WM_COMMAND: {
        WORD id = LOWORD(m.WParam);
        bool fromButton = m.LParam && TWinControl::FindControl(reinterpret_cast<HWND>(m.LParam));
        // IsDialogMessage sends Escape as IDCANCEL (and Enter without a default button as
        // IDOK) to the form itself; those belong to the cancel and default buttons.
        if (!fromButton && (id == IDCANCEL || id == IDOK)) {
          if (TskSkinButton* b = SkFindDefaultButton(form_, id == IDCANCEL)) {
            b->Click();
            m.Result = 0;
            return;
          }
        }
        break;
      }
      case WM_ACTIVATE:
        if (LOWORD(m.WParam) == WA_INACTIVE) {
          HWND f = GetFocus();
          if (f && IsChild(h, f)) lastFocus_ = f;
          break;
        }
        oldProc_(m);
        if (!IsIconic(h)) {
          HWND f = GetFocus();
          if (!f || f == h || !IsChild(h, f)) {
            HWND next = lastFocus_ && IsWindow(lastFocus_) && IsChild(h, lastFocus_) ? lastFocus_
                                                                                     : GetNextDlgTabItem(h, nullptr, FALSE);
            if (next) SetFocus(next);
          }
        }
        return;
    }
    oldProc_(m);
  }

  TCustomForm* form_;
  TWndMethod oldProc_;
  TskSkinData* attached_ = nullptr;
  HWND lastFocus_ = nullptr;
};

TskSkinButton* FindButtonIn(TWinControl* parent, bool cancel) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (auto* b = dynamic_cast<TskSkinButton*>(c)) {
      HWND h = b->HandleIfAllocated();
      if (h && IsWindowVisible(h) && IsWindowEnabled(h) && (cancel ? b->Cancel : b->Default())) return b;
    } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
      if (w->HandleAllocated() && IsWindowVisible(w->HandleIfAllocated()))
        if (TskSkinButton* b = FindButtonIn(w, cancel)) return b;
    }
  }
  return nullptr;
}

int g_nextButtonId = 0x4000;

}  // namespace

TskSkinButton* SkFindDefaultButton(TWinControl* parent, bool cancel) { return FindButtonIn(parent, cancel); }

// Buttons need distinct control numbers: the dialog manager names the default button by
// number (DM_GETDEFID) and finds it by number among all descendants.
int SkNextControlId() { return g_nextButtonId++; }

void SkEnsureFormHook(TCustomForm* form) {
  if (!form) return;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (dynamic_cast<TskFormHook*>(form->Components(i))) return;
  new TskFormHook(form);
}

// --- TskDynamicSkinForm -------------------------------------------------------------------------

QM_REGISTER_CLASS(TskDynamicSkinForm, b) {
  b.Object<TskSkinData>("SkinData", "TskSkinData", &TskDynamicSkinForm::SkinData, &TskDynamicSkinForm::SetSkinData);
  b.Object<TskPopupMenu>("SystemMenu", "TskPopupMenu", &TskDynamicSkinForm::SystemMenu,
                         &TskDynamicSkinForm::SetSystemMenu);
}

TskDynamicSkinForm::TskDynamicSkinForm(TComponent* owner)
    : TComponent(owner), form_(dynamic_cast<TCustomForm*>(owner)) {
  if (!form_) throw EInvalidCast("Form only");
  oldProc_ = form_->WindowProc;
  form_->WindowProc = [this](TMessage& m) { Hook(m); };
}

TskDynamicSkinForm::~TskDynamicSkinForm() {
  if (captionTip_ && IsWindow(captionTip_)) DestroyWindow(captionTip_);
  if (attached_) attached_->RemoveClient(this);
  if (framed_ && form_->HandleAllocated()) {
    // Leave the window as it was found: its own frame, no region.
    SetWindowRgn(Wnd(), nullptr, FALSE);
    SetWindowLongA(Wnd(), GWL_STYLE, savedStyle_);
  }
  form_->WindowProc = oldProc_;
}

HWND TskDynamicSkinForm::Wnd() const { return form_->HandleIfAllocated(); }

TskSkinData* TskDynamicSkinForm::EffectiveSkinData() const {
  return skinData_ ? skinData_ : TskSkinData::Default();
}

void TskDynamicSkinForm::SetSkinData(TskSkinData* value) {
  if (skinData_) RemoveFreeNotification(skinData_);
  skinData_ = value;
  if (value) FreeNotification(value);
  if (!Loading()) SkinChanged();
}

void TskDynamicSkinForm::SetSystemMenu(TskPopupMenu* value) {
  if (systemMenu_) RemoveFreeNotification(systemMenu_);
  systemMenu_ = value;
  if (value) FreeNotification(value);
}

void TskDynamicSkinForm::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op != TOperation::opRemove) return;
  if (c == skinData_) {
    if (attached_ == skinData_) {
      attached_->RemoveClient(this);
      attached_ = nullptr;
    }
    skinData_ = nullptr;
  }
  if (c == systemMenu_) systemMenu_ = nullptr;
}

void TskDynamicSkinForm::SkinDataGone(TskSkinData* data) {
  if (attached_ == data) attached_ = nullptr;
  if (skinData_ == data) skinData_ = nullptr;
}

void TskDynamicSkinForm::Loaded() {
  TComponent::Loaded();
  SkinChanged();
}

void TskDynamicSkinForm::SkinChanged() {
  TskSkinData* d = EffectiveSkinData();
  if (d != attached_) {
    if (attached_) attached_->RemoveClient(this);
    attached_ = d;
    if (d) d->AddClient(this);
  }
  SkEnsureFormHook(form_);
  UpdateFrame();
}

bool TskDynamicSkinForm::HasMinimize() const {
  return Wnd() && ((framed_ ? savedStyle_ : GetWindowLongA(Wnd(), GWL_STYLE)) & WS_MINIMIZEBOX);
}

void TskDynamicSkinForm::UpdateFrame() {
  HWND h = form_->Handle();
  if (!h) return;
  AppendToNativeSystemMenu();
  TskSkinData* d = EffectiveSkinData();
  bool was = framed_;
  SetFramed(d && d->SkinnableForm());
  if (framed_ && was) {
    // Another skin may have other frame sizes: the client area keeps its size. The window
    // manager still has the old client rectangle until the frame is recomputed.
    RECT client;
    GetClientRect(h, &client);
    const TSkinDescription& sd = d->Skin()->Desc();
    SetWindowPos(h, nullptr, 0, 0, client.right + 2 * sd.BorderWidth, client.bottom + sd.CaptionHeight + 2 * sd.BorderWidth,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  if (framed_) {
    UpdateRegion();
    PaintFrame();
  }
  UpdateCaptionHints();
}

// Tools of the caption hint: one per caption button, by its place in client coordinates
// (above the client area, so negative), with its text from the toolkit's texts.
void TskDynamicSkinForm::UpdateCaptionHints() {
  HWND h = Wnd();
  if (!captionTip_ || !h) return;
  TskSkinData* data = EffectiveSkinData();
  SkStyleHintTip(captionTip_, *data->Skin());
  const TSkinDescription& d = data->Skin()->Desc();
  struct {
    TCaptionButton button;
    const char* key;
  } tools[] = {{cbSystem, "HINT_SYSMENU"}, {cbMinimize, "HINT_MINIMIZE"}, {cbClose, "HINT_CLOSE"}};
  for (auto& t : tools) {
    RECT r = CaptionButtonRect(t.button);
    OffsetRect(&r, -d.BorderWidth, -(d.BorderWidth + d.CaptionHeight));
    std::string text = data->ResText(t.key);
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = h;
    ti.uId = static_cast<UINT_PTR>(t.button);
    SendMessageA(captionTip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    if (!framed_ || r.right <= r.left) continue;  // no such button
    ti.rect = r;
    ti.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(captionTip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

// The tooltip hears of the mouse only through what it is given: the caption is not client
// area, so the moves over it are handed on as the client moves they would be.
void TskDynamicSkinForm::RelayToCaptionHint(UINT msg, POINT screenPt) {
  HWND h = Wnd();
  if (!captionTip_) {
    if (msg != WM_MOUSEMOVE || hot_ == cbNone) return;
    captionTip_ = SkCreateHintTip(h);
    if (!captionTip_) return;
    UpdateCaptionHints();
  }
  POINT pt = screenPt;
  ScreenToClient(h, &pt);
  MSG relayed = {h, msg, 0, MAKELPARAM(pt.x, pt.y), static_cast<DWORD>(GetMessageTime()), screenPt};
  SendMessageA(captionTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void TskDynamicSkinForm::SetFramed(bool value) {
  HWND h = Wnd();
  if (value == framed_ || !h) return;
  RECT client, window;
  GetClientRect(h, &client);
  GetWindowRect(h, &window);
  const LONG frameBits = WS_CAPTION | WS_THICKFRAME;
  if (value) {
    savedStyle_ = GetWindowLongA(h, GWL_STYLE);
    framed_ = true;  // from here the hook computes the frame
    SetWindowLongA(h, GWL_STYLE, savedStyle_ & ~frameBits);
    const TSkinDescription& sd = EffectiveSkinData()->Skin()->Desc();
    int w = client.right + 2 * sd.BorderWidth;
    int hgt = client.bottom + sd.CaptionHeight + 2 * sd.BorderWidth;
    SetWindowPos(h, nullptr, 0, 0, w, hgt, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  } else {
    framed_ = false;
    ClearRegion();
    SetWindowLongA(h, GWL_STYLE, savedStyle_ | (GetWindowLongA(h, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE)));
    RECT r = client;
    AdjustWindowRectEx(&r, GetWindowLongA(h, GWL_STYLE), FALSE, GetWindowLongA(h, GWL_EXSTYLE));
    SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  // The client area keeps its size; the controls stay where they were designed.
  (void)window;
}

void TskDynamicSkinForm::UpdateRegion() {
  HWND h = Wnd();
  if (!h || !framed_) return;
  RECT w;
  GetWindowRect(h, &w);
  int corner = EffectiveSkinData()->Skin()->Desc().FrameCorner;
  if (corner <= 0 || IsIconic(h)) {
    ClearRegion();
    return;
  }
  int width = w.right - w.left, height = w.bottom - w.top;
  if (corner == regionCorner_ && width == regionSize_.cx && height == regionSize_.cy) return;
  // Round top corners only: a round rectangle joined with a plain rectangle for the bottom.
  HRGN round = CreateRoundRectRgn(0, 0, width + 1, height + 1, corner * 2, corner * 2);
  HRGN bottom = CreateRectRgn(0, corner, width, height);
  CombineRgn(round, round, bottom, RGN_OR);
  DeleteObject(bottom);
  if (!SetWindowRgn(h, round, TRUE)) {  // on success the window owns the region
    DeleteObject(round);
    ClearRegion();
    return;
  }
  regionSize_ = SIZE{width, height};
  regionCorner_ = corner;
}

void TskDynamicSkinForm::ClearRegion() {
  if (regionCorner_ == 0) return;  // no region of ours to take away
  if (HWND h = Wnd()) SetWindowRgn(h, nullptr, TRUE);
  regionSize_ = SIZE{0, 0};
  regionCorner_ = 0;
}

RECT TskDynamicSkinForm::CaptionButtonRect(TCaptionButton which) const {
  RECT none = {0, 0, 0, 0};
  HWND h = Wnd();
  if (!h || !framed_) return none;
  const TSkinDescription& d = EffectiveSkinData()->Skin()->Desc();
  RECT w;
  GetWindowRect(h, &w);
  int width = w.right - w.left;
  int size = d.CaptionButtonSize;
  int top = d.BorderWidth + (d.CaptionHeight - size) / 2;
  switch (which) {
    case cbSystem:
      return RECT{d.BorderWidth + 2, top, d.BorderWidth + 2 + size, top + size};
    case cbClose:
      return RECT{width - d.BorderWidth - 2 - size, top, width - d.BorderWidth - 2, top + size};
    case cbMinimize: {
      if (!HasMinimize()) return none;
      int right = width - d.BorderWidth - 2 - size - 3;
      return RECT{right - size, top, right, top + size};
    }
    default:
      return none;
  }
}

TskDynamicSkinForm::TCaptionButton TskDynamicSkinForm::HitButton(POINT pt) const {
  for (TCaptionButton b : {cbSystem, cbMinimize, cbClose}) {
    RECT r = CaptionButtonRect(b);
    if (PtInRect(&r, pt)) return b;
  }
  return cbNone;
}

void TskDynamicSkinForm::PaintFrame() {
  HWND h = Wnd();
  // A hidden window shows nothing drawn on it; showing it sends WM_NCPAINT.
  if (!h || !framed_ || !IsWindowVisible(h)) return;
  std::shared_ptr<const TskSkin> skin = EffectiveSkinData()->Skin();
  const TSkinDescription& d = skin->Desc();
  TskSkinData* data = EffectiveSkinData();
  RECT w;
  GetWindowRect(h, &w);
  RECT all = {0, 0, w.right - w.left, w.bottom - w.top};
  int B = d.BorderWidth, C = d.CaptionHeight;
  HDC wdc = GetWindowDC(h);
  if (!wdc) return;
  // Leave the client area alone: only the frame is ours to paint here.
  ExcludeClipRect(wdc, B, B + C, all.right - B, all.bottom - B);
  {
    TskPaintBuffer buffer(wdc, all);
    HDC dc = buffer.dc();
    COLORREF top = active_ ? d.CaptionTop : d.CaptionInactiveTop;
    COLORREF bottom = active_ ? d.CaptionBottom : d.CaptionInactiveBottom;
    SkFillRect(dc, all, bottom);
    RECT band = {0, 0, all.right, B + C};
    SkVerticalGradient(dc, band, top, bottom);
    if (const TskPngImage* tex = skin->Piece(d.CaptionTexture)) tex->DrawStretched(dc, band, active_ ? 255 : 160);
    // A lighter line along the top edge gives the caption some depth.
    RECT shine = {d.FrameCorner, 1, all.right - d.FrameCorner, 2};
    SkFillRect(dc, shine, SkLighten(top, 90));
    // Outline and the thin inner line around the client area.
    SkRoundFrame(dc, RECT{0, 0, all.right, all.bottom + d.FrameCorner * 2}, d.FrameCorner, d.Frame);
    RECT bottomLine = {0, all.bottom - 1, all.right, all.bottom};
    SkFillRect(dc, bottomLine, d.Frame);
    RECT inner = {B - 1, B + C - 1, all.right - B + 1, all.bottom - B + 1};
    SkRoundFrame(dc, inner, 0, SkBlend(bottom, d.FrameInner, 160));

    // System-menu button: the window's small icon, or three lines.
    RECT sys = CaptionButtonRect(cbSystem);
    bool glow = data->ShowCaptionButtonGlowFrames() && d.CaptionButtonGlowSize > 0;
    auto buttonFace = [&](TCaptionButton which, const RECT& r, COLORREF hotColor) {
      if (hot_ != which && pressed_ != which) return;
      if (glow && hot_ == which) SkGlowRing(dc, r, 3, d.CaptionButtonGlowSize, d.CaptionButtonGlow, d.GlowStrength);
      COLORREF c = pressed_ == which ? SkBlend(hotColor, RGB(0, 0, 0), 50) : hotColor;
      SkRoundGradient(dc, r, 3, SkLighten(c, 40), c, SkBlend(c, RGB(0, 0, 0), 60));
    };
    buttonFace(cbSystem, sys, d.CaptionButtonHot);
    HICON icon = reinterpret_cast<HICON>(SendMessageA(h, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(h, GCLP_HICONSM));
    COLORREF glyph = active_ ? d.CaptionButtonGlyph : d.CaptionInactiveText;
    HPEN pen = CreatePen(PS_SOLID, 2, glyph);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    int cx = (sys.left + sys.right) / 2, cy = (sys.top + sys.bottom) / 2;
    if (icon) {
      DrawIconEx(dc, cx - 8, cy - 8, icon, 16, 16, 0, nullptr, DI_NORMAL);
    } else {
      for (int i = -4; i <= 4; i += 4) {
        MoveToEx(dc, cx - 5, cy + i, nullptr);
        LineTo(dc, cx + 5, cy + i);
      }
    }
    RECT mn = CaptionButtonRect(cbMinimize);
    if (mn.right > mn.left) {
      buttonFace(cbMinimize, mn, d.CaptionButtonHot);
      int mx = (mn.left + mn.right) / 2, my = (mn.top + mn.bottom) / 2;
      MoveToEx(dc, mx - 5, my + 4, nullptr);
      LineTo(dc, mx + 5, my + 4);
    }
    RECT cl = CaptionButtonRect(cbClose);
    buttonFace(cbClose, cl, d.CloseButtonHot);
    int ccx = (cl.left + cl.right) / 2, ccy = (cl.top + cl.bottom) / 2;
    MoveToEx(dc, ccx - 4, ccy - 4, nullptr);
    LineTo(dc, ccx + 5, ccy + 5);
    MoveToEx(dc, ccx + 4, ccy - 4, nullptr);
    LineTo(dc, ccx - 5, ccy + 5);
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    // Title, with a faint shadow for legibility on any caption colour.
    char title[512];
    int n = GetWindowTextA(h, title, sizeof title);
    RECT text = {sys.right + 6, B, (mn.right > mn.left ? mn.left : cl.left) - 6, B + C};
    std::string t(title, std::max(0, n));
    RECT shadow = text;
    OffsetRect(&shadow, 1, 1);
    SkText(dc, t, shadow, skin->CaptionFont(), SkBlend(bottom, RGB(0, 0, 0), 90),
           DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SkText(dc, t, text, skin->CaptionFont(), active_ ? d.CaptionText : d.CaptionInactiveText,
           DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  ReleaseDC(h, wdc);
}

void TskDynamicSkinForm::ShowSystemMenu() {
  HWND h = Wnd();
  if (!h) return;
  TskSkinData* data = EffectiveSkinData();
  HMENU menu = CreatePopupMenu();
  std::map<UINT, TMenuItem*> ids;
  UINT next = 1;
  if (systemMenu_) {
    systemMenu_->OnPopup(systemMenu_);
    systemMenu_->Items()->AppendTo(menu, &next, 1, &ids);
    if (GetMenuItemCount(menu) > 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  }
  const UINT kMin = 0xF000, kClose = 0xF001;
  if (HasMinimize()) AppendMenuA(menu, MF_STRING, kMin, data->ResText("MI_MINCAPTION").c_str());
  std::string close = data->ResText("MI_CLOSECAPTION") + "\tAlt+F4";
  AppendMenuA(menu, MF_STRING, kClose, close.c_str());
  POINT pt;
  if (framed_) {
    RECT sys = CaptionButtonRect(cbSystem);
    RECT w;
    GetWindowRect(h, &w);
    pt = {w.left + sys.left, w.top + sys.bottom + 2};
  } else {
    GetCursorPos(&pt);
  }
  SetForegroundWindow(h);
  UINT cmd = 0;
  {
    TskMenuSkinner skinned(menu, h, data->Skin());
    cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, pt.x, pt.y, 0, h, nullptr);
  }
  DestroyMenu(menu);
  if (cmd == kMin) PostMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  else if (cmd == kClose) PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
  else if (auto it = ids.find(cmd); it != ids.end()) it->second->Click();
}

void TskDynamicSkinForm::AppendToNativeSystemMenu() {
  // With the system frame the same items appear in the window's own system menu.
  HWND h = Wnd();
  if (nativeMenuDone_ || !h || !systemMenu_ || systemMenu_->Items()->Count() == 0) return;
  HMENU menu = GetSystemMenu(h, FALSE);
  if (!menu) return;
  nativeMenuDone_ = true;
  InsertMenuA(menu, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  HMENU items = CreatePopupMenu();
  UINT next = 0x7000;  // system commands keep their low four bits free
  systemMenu_->Items()->AppendTo(items, &next, 16, &nativeIds_);
  for (int i = GetMenuItemCount(items) - 1; i >= 0; --i) {
    char text[256] = {};
    GetMenuStringA(items, i, text, sizeof text, MF_BYPOSITION);
    UINT id = GetMenuItemID(items, i);
    InsertMenuA(menu, 0, MF_BYPOSITION | (id == 0 ? MF_SEPARATOR : MF_STRING), id, text);
  }
  DestroyMenu(items);
}

void TskDynamicSkinForm::TrackButton(TCaptionButton which) {
  HWND h = Wnd();
  pressed_ = which;
  PaintFrame();
  SetCapture(h);
  bool inside = true;
  MSG msg;
  while (GetCapture() == h && GetMessageA(&msg, nullptr, 0, 0)) {
    if (msg.message == WM_LBUTTONUP) break;
    if (msg.message == WM_MOUSEMOVE) {
      POINT pt;
      GetCursorPos(&pt);
      RECT w;
      GetWindowRect(h, &w);
      POINT wp = {pt.x - w.left, pt.y - w.top};
      bool now = HitButton(wp) == which;
      if (now != inside) {
        inside = now;
        pressed_ = inside ? which : cbNone;
        PaintFrame();
      }
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (GetCapture() == h) ReleaseCapture();
  pressed_ = cbNone;
  PaintFrame();
  if (!inside) return;
  if (which == cbMinimize) PostMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  if (which == cbClose) PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void TskDynamicSkinForm::Hook(TMessage& m) {
  HWND h = Wnd();
  if (m.Msg == WM_SYSCOMMAND) {
    UINT cmd = static_cast<UINT>(m.WParam & 0xFFF0);
    if (auto it = nativeIds_.find(cmd); it != nativeIds_.end()) {
      it->second->Click();
      m.Result = 0;
      return;
    }
    if (framed_ && cmd == SC_KEYMENU && m.LParam == ' ') {
      ShowSystemMenu();
      m.Result = 0;
      return;
    }
  }
  if (!framed_ || !h) {
    oldProc_(m);
    return;
  }
  const TSkinDescription& d = EffectiveSkinData()->Skin()->Desc();
  switch (m.Msg) {
    case WM_NCCALCSIZE: {
      RECT* r = reinterpret_cast<RECT*>(m.LParam);
      r->left += d.BorderWidth;
      r->right -= d.BorderWidth;
      r->top += d.BorderWidth + d.CaptionHeight;
      r->bottom -= d.BorderWidth;
      if (r->bottom < r->top) r->bottom = r->top;
      if (r->right < r->left) r->right = r->left;
      m.Result = 0;
      return;
    }
    case WM_NCPAINT:
      PaintFrame();
      m.Result = 0;
      return;
    case WM_NCACTIVATE:
      active_ = m.WParam != 0;
      PaintFrame();
      m.Result = TRUE;
      return;
    case WM_SETTEXT:
      oldProc_(m);
      PaintFrame();
      return;
    case WM_SIZE:
      oldProc_(m);
      UpdateRegion();
      return;
    case WM_NCHITTEST: {
      RECT w;
      GetWindowRect(h, &w);
      POINT pt = {static_cast<short>(LOWORD(m.LParam)) - w.left, static_cast<short>(HIWORD(m.LParam)) - w.top};
      TCaptionButton b = HitButton(pt);
      int width = w.right - w.left, height = w.bottom - w.top;
      if (b == cbSystem) m.Result = HTSYSMENU;
      else if (b == cbMinimize) m.Result = HTMINBUTTON;
      else if (b == cbClose) m.Result = HTCLOSE;
      else if (pt.x >= d.BorderWidth && pt.x < width - d.BorderWidth && pt.y >= d.BorderWidth &&
               pt.y < d.BorderWidth + d.CaptionHeight)
        m.Result = HTCAPTION;
      else if (pt.x < d.BorderWidth || pt.x >= width - d.BorderWidth || pt.y < d.BorderWidth ||
               pt.y >= height - d.BorderWidth)
        m.Result = HTBORDER;
      else
        m.Result = HTCLIENT;
      return;
    }
    case WM_NCMOUSEMOVE: {
      TCaptionButton b = m.WParam == HTSYSMENU ? cbSystem : m.WParam == HTMINBUTTON ? cbMinimize
                                                          : m.WParam == HTCLOSE      ? cbClose
                                                                                     : cbNone;
      if (b != hot_) {
        hot_ = b;
        PaintFrame();
      }
      RelayToCaptionHint(WM_MOUSEMOVE, POINT{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))});
      TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE | TME_NONCLIENT, h, 0};
      TrackMouseEvent(&t);
      m.Result = 0;
      return;
    }
    case WM_NCMOUSELEAVE:
      if (hot_ != cbNone) {
        hot_ = cbNone;
        PaintFrame();
      }
      if (captionTip_) SendMessageA(captionTip_, TTM_POP, 0, 0);
      m.Result = 0;
      return;
    case WM_NCLBUTTONDOWN:
      if (captionTip_) SendMessageA(captionTip_, TTM_POP, 0, 0);
      if (m.WParam == HTSYSMENU) {
        ShowSystemMenu();
        m.Result = 0;
        return;
      }
      if (m.WParam == HTMINBUTTON || m.WParam == HTCLOSE) {
        TrackButton(m.WParam == HTMINBUTTON ? cbMinimize : cbClose);
        m.Result = 0;
        return;
      }
      break;
    case WM_NCLBUTTONDBLCLK:
      if (m.WParam == HTSYSMENU) PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
      m.Result = 0;  // no maximising by double click: the window has a fixed size
      return;
    case WM_NCRBUTTONUP:
      if (m.WParam == HTCAPTION) {
        ShowSystemMenu();
        m.Result = 0;
        return;
      }
      break;
  }
  oldProc_(m);
}
