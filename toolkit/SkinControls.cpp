#include "toolkit/SkinControls.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "toolkit/SkinForm.h"
#include "toolkit/SkinPaint.h"

int SkNextControlId();

namespace {

bool SameFontAsDefault(const TFont* f) {
  static const TFont defaults;
  return f->Name == defaults.Name && f->Height == defaults.Height && f->Style == defaults.Style;
}

// Dialog keys for a control whose form's message loop does not run IsDialogMessage: Tab,
// Enter, Escape and Alt+letter are handed to IsDialogMessage from here. IsDialogMessage
// dispatches what it does not use, which comes back here; the flag stops that round.
bool g_inDialogKey = false;

bool HandleDialogKey(HWND wnd, TMessage& m) {
  if (g_inDialogKey) return false;
  bool key = m.Msg == WM_KEYDOWN && (m.WParam == VK_TAB || m.WParam == VK_RETURN || m.WParam == VK_ESCAPE);
  // A plain letter presses the button it underlines, unless the focused control types it.
  bool letter = m.Msg == WM_CHAR && IsCharAlphaNumericA(static_cast<CHAR>(m.WParam)) &&
                !(SendMessageA(wnd, WM_GETDLGCODE, 0, 0) & (DLGC_WANTCHARS | DLGC_WANTALLKEYS));
  if (!key && !letter && m.Msg != WM_SYSCHAR) return false;
  if (key && m.WParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000)) return false;
  HWND root = GetAncestor(wnd, GA_ROOT);
  if (!root) return false;
  MSG msg = {wnd, m.Msg, m.WParam, m.LParam, static_cast<DWORD>(GetMessageTime()), {}};
  g_inDialogKey = true;
  BOOL used = IsDialogMessageA(root, &msg);
  g_inDialogKey = false;
  if (used) m.Result = 0;
  return used != FALSE;
}

bool g_aligning = false;

}  // namespace

// --- TskSkinControl ------------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinControl, b) {
  b.Object<TskSkinData>("SkinData", "TskSkinData", &TskSkinControl::SkinData, &TskSkinControl::SetSkinData);
  b.Bool("UseSkinFont", &TskSkinControl::UseSkinFont);
  b.Enum("Align", "TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"},
         &TskSkinControl::Align, &TskSkinControl::SetAlign);
  b.Str("Caption", &TControl::Caption, &TControl::SetCaption, TTypeKind::tkLString, "TCaption");
  b.Event("OnClick", "TNotifyEvent", static_cast<TNotifyEvent TskSkinControl::*>(&TControl::OnClick));
}

TskSkinControl::TskSkinControl(TComponent* owner) : TWinControl(owner) {}

TskSkinControl::~TskSkinControl() { Detach(); }

void TskSkinControl::SetSkinData(TskSkinData* value) {
  if (skinData_ == value) return;
  if (skinData_) RemoveFreeNotification(skinData_);
  skinData_ = value;
  if (value) FreeNotification(value);
  if (HandleAllocated()) {
    Attach();
    SkinChanged();
  }
}

TskSkinData* TskSkinControl::EffectiveSkinData() const { return skinData_ ? skinData_ : TskSkinData::Default(); }

std::shared_ptr<const TskSkin> TskSkinControl::Skin() const {
  TskSkinData* d = EffectiveSkinData();
  return d ? d->Skin() : TskSkin::BuiltIn();
}

HFONT TskSkinControl::DrawFont() const {
  if (UseSkinFont && SameFontAsDefault(Font())) return Skin()->ControlFont();
  return Font()->Handle();
}

void TskSkinControl::Attach() {
  TskSkinData* d = EffectiveSkinData();
  if (d == attached_) return;
  Detach();
  attached_ = d;
  if (d) d->AddClient(this);
}

void TskSkinControl::Detach() {
  if (attached_) attached_->RemoveClient(this);
  attached_ = nullptr;
}

void TskSkinControl::SkinDataGone(TskSkinData* data) {
  if (attached_ == data) attached_ = nullptr;
  if (skinData_ == data) skinData_ = nullptr;
}

void TskSkinControl::Notification(TComponent* c, TOperation op) {
  TWinControl::Notification(c, op);
  if (op == TOperation::opRemove && c == skinData_) {
    if (attached_ == skinData_) Detach();
    skinData_ = nullptr;
  }
}

void TskSkinControl::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  Attach();
  SkinFontChanged();
  if (TCustomForm* form = ParentForm()) SkEnsureFormHook(form);
  if (Parent()) {
    if (align_ != alNone) SkRealign(Parent());
    SkApplyTabOrder(Parent());
  }
}

void TskSkinControl::Loaded() {
  TWinControl::Loaded();
  if (Parent()) SkApplyTabOrder(Parent());
}

void SkApplyTabOrder(TWinControl* parent) {
  if (!parent || !parent->HandleAllocated()) return;
  // Tab moves through sibling windows in their z-order; put them in TabOrder order, those
  // without a number after the others in their order of creation.
  std::vector<TWinControl*> kids;
  for (int i = 0; i < parent->ControlCount(); ++i)
    if (auto* w = dynamic_cast<TWinControl*>(parent->Controls(i)))
      if (w->HandleAllocated()) kids.push_back(w);
  std::stable_sort(kids.begin(), kids.end(), [](TWinControl* a, TWinControl* b) {
    unsigned ka = a->TabOrder < 0 ? 0x7FFFFFFFu : static_cast<unsigned>(a->TabOrder);
    unsigned kb = b->TabOrder < 0 ? 0x7FFFFFFFu : static_cast<unsigned>(b->TabOrder);
    return ka < kb;
  });
  HWND after = HWND_TOP;
  for (TWinControl* w : kids) {
    HWND h = w->HandleIfAllocated();
    SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    after = h;
  }
}

void TskSkinControl::SkinChanged() {
  Attach();  // a control without its own link follows the process default, which may change
  SkinFontChanged();
  Invalidate();
}

void TskSkinControl::SkinFontChanged() {}

void TskSkinControl::Invalidate() {
  // A window that does not show (its own or its parent's doing) is painted whole once it does:
  // every control of a window being built would otherwise ask again for each skin and font.
  HWND h = HandleIfAllocated();
  if (h && IsWindowVisible(h)) RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

// True when the window's rectangle is larger than its client area (a border, scroll bars).
static bool HasNonClientArea(HWND h) {
  RECT window, client;
  if (!GetWindowRect(h, &window) || !GetClientRect(h, &client)) return true;
  return window.right - window.left != client.right || window.bottom - window.top != client.bottom;
}

void TskSkinControl::SetAlign(TAlign value) {
  align_ = value;
  if (Parent()) SkRealign(Parent());
}

void TskSkinControl::SetVisible(bool value) {
  TWinControl::SetVisible(value);
  if (align_ != alNone && Parent()) SkRealign(Parent());
}

void TskSkinControl::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
  if (align_ != alNone && Parent() && !g_aligning) SkRealign(Parent());
}

void TskSkinControl::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(HandleIfAllocated(), &ps);
  RECT client;
  GetClientRect(HandleIfAllocated(), &client);
  {
    TskPaintBuffer buffer(dc, client);
    if (Transparent()) SkPaintParentBackground(HandleIfAllocated(), buffer.dc());
    PaintControl(buffer.dc(), client);
  }
  EndPaint(HandleIfAllocated(), &ps);
}

void TskSkinControl::WndProc(TMessage& m) {
  HWND h = HandleIfAllocated();
  switch (m.Msg) {
    case WM_PAINT:
      Paint();
      m.Result = 0;
      return;
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(h, &client);
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      if (Transparent()) SkPaintParentBackground(h, dc);
      PaintControl(dc, client);
      m.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      m.Result = 1;  // everything is painted, buffered, in WM_PAINT
      return;
    case WM_NCPAINT:
      // Nothing lies outside the client area of most controls, yet the system's default
      // would fetch a device context of the whole window to paint it (under Wine a round trip
      // to its server, for every control of a window that shows).
      if (!HasNonClientArea(h)) {
        m.Result = 0;
        return;
      }
      break;
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, h, 0};
        TrackMouseEvent(&t);
        Invalidate();
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      break;
    case WM_KEYDOWN:
    case WM_SYSCHAR:
    case WM_CHAR:
      if (HandleDialogKey(h, m)) return;
      break;
    default:
      if (m.Msg == SkPaintBackgroundMessage()) {  // a child asks for what lies under it
        RECT client;
        GetClientRect(h, &client);
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        if (Transparent()) SkPaintParentBackground(h, dc);
        PaintControl(dc, client);
        m.Result = 1;
        return;
      }
  }
  TWinControl::WndProc(m);
}

void SkRealign(TWinControl* parent) {
  if (!parent || !parent->HandleAllocated() || g_aligning) return;
  RECT r = parent->ClientRect();
  g_aligning = true;
  auto place = [&](TAlign which) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
      auto* c = dynamic_cast<TskSkinControl*>(parent->Controls(i));
      if (!c || c->Align() != which || !c->Visible()) continue;
      switch (which) {
        case alTop:
          c->SetBounds(r.left, r.top, r.right - r.left, c->Height());
          r.top += c->Height();
          break;
        case alBottom:
          c->SetBounds(r.left, r.bottom - c->Height(), r.right - r.left, c->Height());
          r.bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(r.left, r.top, c->Width(), r.bottom - r.top);
          r.left += c->Width();
          break;
        case alRight:
          c->SetBounds(r.right - c->Width(), r.top, c->Width(), r.bottom - r.top);
          r.right -= c->Width();
          break;
        case alClient:
          c->SetBounds(r.left, r.top, std::max(0L, r.right - r.left), std::max(0L, r.bottom - r.top));
          break;
        default:
          break;
      }
    }
  };
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) place(a);
  g_aligning = false;
}

// --- TskSkinButton ------------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinButton, b) {
  b.Bool("Default", &TskSkinButton::Default, &TskSkinButton::SetDefault);
  b.Bool("Cancel", &TskSkinButton::Cancel);
  b.Enum("ModalResult", "TModalResult",
         {"mrNone", "mrOk", "mrCancel", "mrAbort", "mrRetry", "mrIgnore", "mrYes", "mrNo", "mrAll", "mrNoToAll",
          "mrYesToAll"},
         &TskSkinButton::ModalResult);
}

TskSkinButton::TskSkinButton(TComponent* owner) : TskSkinControl(owner) {
  TabStop = true;
  SetBounds(0, 0, 75, 25);
}

void TskSkinButton::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WinClassName = "BUTTON";
  p.StockClass = true;
  p.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TskSkinButton::CreateHandleDone() {
  TskSkinControl::CreateHandleDone();
  SetWindowLongPtrA(HandleIfAllocated(), GWLP_ID, SkNextControlId());
}

void TskSkinButton::SetDefault(bool value) {
  default_ = value;
  if (HWND h = HandleIfAllocated()) {
    SendMessageA(h, BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    Invalidate();
  }
}

void TskSkinButton::Click() {
  // A disabled button never acts, whoever sends it BM_CLICK.
  if (!Enabled() || (HandleIfAllocated() && !IsWindowEnabled(HandleIfAllocated()))) return;
  TskSkinControl::Click();
  if (ModalResult != 0)
    if (TCustomForm* form = ParentForm()) form->ModalResult = ModalResult;
}

void TskSkinButton::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == BN_CLICKED) Click();
    m.Result = 0;
    return;
  }
  TskSkinControl::WndProc(m);
  switch (m.Msg) {
    // The stock button may draw itself on these without a WM_PAINT; paint over it.
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE:
    case WM_LBUTTONUP:
    case WM_KEYUP:
      Invalidate();
      break;
  }
}

void TskSkinButton::PaintControl(HDC dc, const RECT& client) {
  std::shared_ptr<const TskSkin> skin = Skin();
  const TSkinDescription& d = skin->Desc();
  HWND h = HandleIfAllocated();
  LRESULT state = h ? SendMessageA(h, BM_GETSTATE, 0, 0) : 0;
  bool pressed = (state & BST_PUSHED) != 0;
  bool focused = h && GetFocus() == h;
  bool enabled = h ? IsWindowEnabled(h) != FALSE : Enabled();
  TskSkinData* data = EffectiveSkinData();
  bool glowOn = (!data || data->ShowButtonGlowFrames()) && d.ButtonGlowSize > 0;
  int inset = glowOn ? d.ButtonGlowSize : 0;

  RECT face = client;
  InflateRect(&face, -inset, -inset);
  if (glowOn && enabled && (Hot() || focused))
    SkGlowRing(dc, face, d.ButtonCorner, inset, d.Glow, Hot() ? d.GlowStrength : d.GlowStrength * 2 / 3);

  COLORREF top = d.ButtonTop, bottom = d.ButtonBottom;
  if (!enabled) {
    top = SkBlend(d.ButtonTop, d.Window, 140);
    bottom = SkBlend(d.ButtonBottom, d.Window, 140);
  } else if (pressed) {
    top = d.ButtonDownTop;
    bottom = d.ButtonDownBottom;
  } else if (Hot()) {
    top = d.ButtonHotTop;
    bottom = d.ButtonHotBottom;
  }
  bool isDefault = default_ || (h && (GetWindowLongA(h, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON);
  COLORREF border = !enabled ? SkBlend(d.ButtonBorder, d.Window, 120)
                    : isDefault || focused ? d.ButtonDefaultBorder
                                           : d.ButtonBorder;
  SkRoundGradient(dc, face, d.ButtonCorner, top, bottom, border);
  if (enabled && !pressed) {  // a soft highlight just inside the top edge
    RECT hl = {face.left + d.ButtonCorner / 2 + 1, face.top + 1, face.right - d.ButtonCorner / 2 - 1, face.top + 2};
    SkFillRect(dc, hl, SkLighten(top, 140));
  }
  if (isDefault && enabled) {  // a second, inner line marks the default button
    RECT inner = face;
    InflateRect(&inner, -1, -1);
    SkRoundFrame(dc, inner, std::max(0, d.ButtonCorner - 1), SkBlend(border, top, 150));
  }
  RECT text = face;
  if (pressed) OffsetRect(&text, 1, 1);
  InflateRect(&text, -3, 0);
  SkText(dc, GetText(), text, DrawFont(), enabled ? d.ButtonText : d.DisabledText,
         DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (focused && !glowOn) {
    RECT fr = face;
    InflateRect(&fr, -3, -3);
    SkFocusRect(dc, fr, d.Focus);
  }
}

// --- TskSkinCheckBox ----------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinCheckBox, b) {
  b.Bool("Checked", &TskSkinCheckBox::Checked, &TskSkinCheckBox::SetChecked);
}

TskSkinCheckBox::TskSkinCheckBox(TComponent* owner) : TskSkinControl(owner) {
  TabStop = true;
  SetBounds(0, 0, 150, 17);
}

void TskSkinCheckBox::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WinClassName = "BUTTON";
  p.StockClass = true;
  p.Style |= BS_AUTOCHECKBOX;
}

bool TskSkinCheckBox::Checked() const {
  HWND h = HandleIfAllocated();
  return h ? SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED : checked_;
}

void TskSkinCheckBox::SetChecked(bool value) {
  checked_ = value;
  if (HWND h = HandleIfAllocated()) SendMessageA(h, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TskSkinCheckBox::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    checked_ = Checked();
    if (HIWORD(m.WParam) == BN_CLICKED) Click();
    m.Result = 0;
    return;
  }
  if (m.Msg == WM_DESTROY) checked_ = Checked();
  TskSkinControl::WndProc(m);
  switch (m.Msg) {
    case BM_SETCHECK:
    case BM_SETSTATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE:
    case WM_LBUTTONUP:
    case WM_KEYUP:
      Invalidate();
      break;
  }
}

void TskSkinCheckBox::PaintControl(HDC dc, const RECT& client) {
  std::shared_ptr<const TskSkin> skin = Skin();
  const TSkinDescription& d = skin->Desc();
  HWND h = HandleIfAllocated();
  bool enabled = h ? IsWindowEnabled(h) != FALSE : Enabled();
  bool focused = h && GetFocus() == h;
  int box = 14;
  int top = (client.bottom - client.top - box) / 2;
  RECT b = {client.left + 1, top, client.left + 1 + box, top + box};
  COLORREF border = !enabled ? d.DisabledText : (Hot() || focused) ? d.Focus : d.CheckBorder;
  SkRoundGradient(dc, b, 2, SkBlend(d.CheckBack, d.ButtonBottom, 60), d.CheckBack, border);
  if (Checked()) {
    HPEN pen = CreatePen(PS_SOLID, 2, enabled ? d.CheckMark : d.DisabledText);
    TskSelect sp(dc, pen);
    POINT pts[3] = {{b.left + 3, b.top + 7}, {b.left + 6, b.top + 10}, {b.left + 11, b.top + 4}};
    Polyline(dc, pts, 3);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
  }
  RECT text = client;
  text.left = b.right + 6;
  SkText(dc, GetText(), text, DrawFont(), enabled ? d.Text : d.DisabledText, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (focused) {
    SIZE s = SkTextSize(dc, GetText(), DrawFont(), DT_SINGLELINE);
    RECT fr = {text.left - 2, (client.bottom - s.cy) / 2 - 1, text.left + s.cx + 2, (client.bottom + s.cy) / 2 + 1};
    SkFocusRect(dc, fr, d.Focus);
  }
}

// --- Labels -------------------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinStdLabel, b) {
  b.Bool("AutoSize", &TskSkinStdLabel::AutoSize, &TskSkinStdLabel::SetAutoSize);
}

TskSkinStdLabel::TskSkinStdLabel(TComponent* owner) : TskSkinControl(owner) { SetBounds(0, 0, 65, 17); }

void TskSkinStdLabel::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WinClassName = "STATIC";
  p.StockClass = true;
  p.Style |= SS_LEFT;
}

void TskSkinStdLabel::SetAutoSize(bool value) {
  autoSize_ = value;
  AdjustSize();
}

void TskSkinStdLabel::SetText(const std::string& text) {
  TskSkinControl::SetText(text);
  AdjustSize();
  Invalidate();
}

void TskSkinStdLabel::Loaded() {
  TskSkinControl::Loaded();
  AdjustSize();
}

void TskSkinStdLabel::CreateHandleDone() {
  TskSkinControl::CreateHandleDone();
  AdjustSize();
}

void TskSkinStdLabel::SkinFontChanged() { AdjustSize(); }

SIZE TskSkinStdLabel::TextExtent() {
  HDC dc = GetDC(nullptr);
  SIZE s = SkTextSize(dc, GetText(), DrawFont(), DT_SINGLELINE);
  ReleaseDC(nullptr, dc);
  return s;
}

void TskSkinStdLabel::AdjustSize() {
  if (!autoSize_ || Loading()) return;
  SIZE s = TextExtent();
  if (s.cx != Width() || s.cy != Height()) TWinControl::SetBounds(Left(), Top(), s.cx, s.cy);
}

COLORREF TskSkinStdLabel::TextColor() const {
  const TSkinDescription& d = Skin()->Desc();
  HWND h = HandleIfAllocated();
  return (h ? IsWindowEnabled(h) : Enabled()) ? d.Text : d.DisabledText;
}

void TskSkinStdLabel::PaintControl(HDC dc, const RECT& client) {
  SkText(dc, GetText(), client, DrawFont(), TextColor(), DT_LEFT | DT_TOP | DT_SINGLELINE);
}

QM_REGISTER_CLASS(TskSkinShadowLabel, b) {
  b.Int("ShadowSize", &TskSkinShadowLabel::ShadowSize);
  b.Int("ShadowColor", &TskSkinShadowLabel::ShadowColor, nullptr, "TColor");
}

TskSkinShadowLabel::TskSkinShadowLabel(TComponent* owner) : TskSkinStdLabel(owner) {}

SIZE TskSkinShadowLabel::TextExtent() {
  SIZE s = TskSkinStdLabel::TextExtent();
  int pad = std::clamp(ShadowSize, 0, 8);
  return SIZE{s.cx + pad + 1, s.cy + pad + 1};
}

void TskSkinShadowLabel::PaintControl(HDC dc, const RECT& client) {
  const TSkinDescription& d = Skin()->Desc();
  int size = std::clamp(ShadowSize, 0, 8);
  // The shadow colour (black by design) is softened toward the window's colour, more at its
  // outer rings, so the text seems to float instead of being outlined.
  COLORREF base = ShadowColor ? ShadowColor : d.Shadow;
  for (int i = size; i >= 1; --i) {
    RECT r = client;
    OffsetRect(&r, i, i);
    int weight = 255 - 150 * i / (size + 1);
    COLORREF c = SkBlend(d.Window, base, weight * 2 / 3);
    SkText(dc, GetText(), r, DrawFont(), c, DT_LEFT | DT_TOP | DT_SINGLELINE);
  }
  SkText(dc, GetText(), client, DrawFont(), TextColor(), DT_LEFT | DT_TOP | DT_SINGLELINE);
}

QM_REGISTER_CLASS(TskSkinTextLabel, b) {
  b.Object<TStrings>("Lines", "TStrings", &TskSkinTextLabel::Lines, &TskSkinTextLabel::SetLines);
}

TskSkinTextLabel::TskSkinTextLabel(TComponent* owner)
    : TskSkinStdLabel(owner), lines_(std::make_unique<TStringList>()) {
  autoSize_ = false;
  lines_->OnChange = [this](TObject*) {
    std::string text = lines_->Text();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    TskSkinStdLabel::SetText(text);
  };
}

TskSkinTextLabel::~TskSkinTextLabel() { lines_->OnChange = nullptr; }

SIZE TskSkinTextLabel::TextExtent() {
  HDC dc = GetDC(nullptr);
  SIZE s = SkTextSize(dc, GetText(), DrawFont(), DT_WORDBREAK, std::max(1, Width()));
  ReleaseDC(nullptr, dc);
  return SIZE{Width(), s.cy};
}

void TskSkinTextLabel::PaintControl(HDC dc, const RECT& client) {
  // Only the lines that fit whole: a line cut through the middle reads as a fault.
  RECT r = client;
  int lineHeight = SkLineHeight(dc, DrawFont());
  r.bottom = r.top + (client.bottom - client.top) / lineHeight * lineHeight;
  if (r.bottom <= r.top) return;
  SkText(dc, GetText(), r, DrawFont(), TextColor(), DT_LEFT | DT_TOP | DT_WORDBREAK);
}

// --- TskSkinLinkLabel ---------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinLinkLabel, b) { b.Str("URL", &TskSkinLinkLabel::URL); }

TskSkinLinkLabel::TskSkinLinkLabel(TComponent* owner) : TskSkinControl(owner) {
  TabStop = true;
  SetBounds(0, 0, 100, 17);
}

void TskSkinLinkLabel::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WinClassName = "BUTTON";
  p.StockClass = true;
  p.Style |= BS_PUSHBUTTON;
}

void TskSkinLinkLabel::Click() {
  if (!Enabled() || (HandleIfAllocated() && !IsWindowEnabled(HandleIfAllocated()))) return;
  TskSkinControl::Click();
  if (!URL.empty()) ShellExecuteA(HandleIfAllocated(), "open", URL.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TskSkinLinkLabel::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == BN_CLICKED) Click();
    m.Result = 0;
    return;
  }
  if (m.Msg == WM_SETCURSOR && LOWORD(m.LParam) == HTCLIENT) {
    SetCursor(LoadCursor(nullptr, IDC_HAND));
    m.Result = TRUE;
    return;
  }
  if (m.Msg == WM_GETDLGCODE) {  // a link never becomes the default button
    m.Result = DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    return;
  }
  TskSkinControl::WndProc(m);
  switch (m.Msg) {
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_LBUTTONUP:
    case WM_KEYUP:
      Invalidate();
      break;
  }
}

HFONT TskSkinLinkLabel::LinkFont() {
  LOGFONTA lf = {};
  if (!GetObjectA(DrawFont(), sizeof lf, &lf)) return Skin()->LinkFont();
  if (!underlined_.get() || std::memcmp(&lf, &underlinedFrom_, sizeof lf) != 0) {
    underlinedFrom_ = lf;
    lf.lfUnderline = TRUE;
    underlined_ = TskFontHandle(CreateFontIndirectA(&lf));
  }
  return underlined_.get() ? underlined_.get() : Skin()->LinkFont();
}

void TskSkinLinkLabel::PaintControl(HDC dc, const RECT& client) {
  const TSkinDescription& d = Skin()->Desc();
  HWND h = HandleIfAllocated();
  bool enabled = h ? IsWindowEnabled(h) != FALSE : Enabled();
  bool focused = h && GetFocus() == h;
  COLORREF color = !enabled ? d.DisabledText : Hot() ? d.LinkHot : d.Link;
  // The whole text is underlined, so a mnemonic's own underline would add nothing; Alt and
  // the letter still press the link.
  std::string text = SkWithoutMnemonics(GetText());
  HFONT font = LinkFont();
  SIZE s = SkTextPlacedSize(dc, text, font);
  int y = client.top + (client.bottom - client.top - s.cy) / 2;
  SkTextPlaced(dc, text, client.left, y, client, font, color);
  if (focused) {
    RECT fr = {client.left, client.top, std::min<LONG>(client.right, client.left + s.cx + 2), client.bottom};
    SkFocusRect(dc, fr, d.Focus);
  }
}

// --- TskSkinEdit --------------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinEdit, b) {
  b.Str("Text", &TskSkinEdit::Text, &TskSkinEdit::SetTextProp, TTypeKind::tkLString, "TCaption");
  b.Bool("ReadOnly", &TskSkinEdit::ReadOnly, &TskSkinEdit::SetReadOnly);
  b.Int("MaxLength", &TskSkinEdit::MaxLength, &TskSkinEdit::SetMaxLength);
  b.Event("OnChange", "TNotifyEvent", &TskSkinEdit::OnChange);
}

TskSkinEdit::TskSkinEdit(TComponent* owner) : TskSkinControl(owner) {
  TabStop = true;
  SetBounds(0, 0, 121, 21);
}

TskSkinEdit::~TskSkinEdit() {
  DestroyHandle();
  if (brush_) DeleteObject(brush_);
}

void TskSkinEdit::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WinClassName = "EDIT";
  p.StockClass = true;
  p.Style |= ES_AUTOHSCROLL | WS_BORDER;
  if (readOnly_) p.Style |= ES_READONLY;
}

void TskSkinEdit::CreateHandleDone() {
  TskSkinControl::CreateHandleDone();
  if (maxLength_ > 0) SendMessageA(HandleIfAllocated(), EM_LIMITTEXT, maxLength_, 0);
}

void TskSkinEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (HWND h = HandleIfAllocated()) SendMessageA(h, EM_SETREADONLY, value, 0);
}

void TskSkinEdit::SetMaxLength(int value) {
  maxLength_ = std::max(0, value);
  if (HWND h = HandleIfAllocated()) SendMessageA(h, EM_LIMITTEXT, maxLength_, 0);
}

void TskSkinEdit::SkinFontChanged() {
  HWND h = HandleIfAllocated();
  if (!h) return;
  SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(DrawFont()), TRUE);
  SendMessageA(h, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(3, 3));
}

HBRUSH TskSkinEdit::BackBrush() {
  const TSkinDescription& d = Skin()->Desc();
  COLORREF c = readOnly_ || !Enabled() ? SkBlend(d.EditBack, d.Window, 128) : d.EditBack;
  if (c != brushColor_ || !brush_) {
    if (brush_) DeleteObject(brush_);
    brush_ = CreateSolidBrush(c);
    brushColor_ = c;
  }
  return brush_;
}

void TskSkinEdit::WndProc(TMessage& m) {
  HWND h = HandleIfAllocated();
  switch (m.Msg) {
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC: {
      const TSkinDescription& d = Skin()->Desc();
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      HBRUSH brush = BackBrush();
      SetTextColor(dc, IsWindowEnabled(h) ? d.EditText : d.DisabledText);
      SetBkColor(dc, brushColor_);
      m.Result = reinterpret_cast<LRESULT>(brush);
      return;
    }
    case CN_COMMAND:
      if (HIWORD(m.WParam) == EN_CHANGE) OnChange(this);
      m.Result = 0;
      return;
    case WM_NCPAINT: {
      // The one-pixel frame of WS_BORDER, in the skin's colours.
      const TSkinDescription& d = Skin()->Desc();
      HDC dc = GetWindowDC(h);
      RECT r;
      GetWindowRect(h, &r);
      OffsetRect(&r, -r.left, -r.top);
      COLORREF c = !IsWindowEnabled(h) ? d.DisabledText : GetFocus() == h ? d.EditFocusBorder : d.EditBorder;
      SkRoundFrame(dc, r, 0, c);
      ReleaseDC(h, dc);
      m.Result = 0;
      return;
    }
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT:
      TWinControl::WndProc(m);  // the edit control paints its own text
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      TskSkinControl::WndProc(m);
      RedrawWindow(h, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
      return;
  }
  TskSkinControl::WndProc(m);
}

// --- Panels -------------------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinPanel, b) { b.Bool("Bordered", &TskSkinPanel::Bordered); }

TskSkinPanel::TskSkinPanel(TComponent* owner) : TskSkinControl(owner) { SetBounds(0, 0, 185, 41); }

void TskSkinPanel::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  // Tab and mnemonics reach the controls inside.
  p.ExStyle |= WS_EX_CONTROLPARENT;
  p.WindowClass.hbrBackground = nullptr;
}

void TskSkinPanel::WndProc(TMessage& m) {
  if (m.Msg == WM_SIZE) {
    TskSkinControl::WndProc(m);
    SkRealign(this);
    Invalidate();
    return;
  }
  TskSkinControl::WndProc(m);
}

void TskSkinPanel::PaintControl(HDC dc, const RECT& client) { PaintSurface(dc, client); }

void TskSkinPanel::PaintSurface(HDC dc, const RECT& client) {
  if (!Bordered) return;
  const TSkinDescription& d = Skin()->Desc();
  RECT r = client;
  SkRoundGradient(dc, r, d.PanelCorner, d.PanelTop, d.PanelBottom, d.PanelBorder);
  std::string caption = GetText();
  if (!caption.empty())
    SkText(dc, caption, client, DrawFont(), d.Text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

QM_REGISTER_CLASS(TskSkinExPanel, b) { (void)b; }

TskSkinExPanel::TskSkinExPanel(TComponent* owner) : TskSkinPanel(owner) {}

void TskSkinExPanel::PaintSurface(HDC dc, const RECT& client) {
  std::shared_ptr<const TskSkin> skin = Skin();
  const TSkinDescription& d = skin->Desc();
  RECT r = client;
  SkRoundGradient(dc, r, d.PanelCorner, d.PanelTop, d.PanelBottom, d.PanelBorder);
  // The title band: clipped to the rounded outline, with a separating line under it.
  RECT title = {r.left + 1, r.top + 1, r.right - 1, r.top + d.PanelTitleHeight};
  int saved = SaveDC(dc);
  POINT org;
  GetWindowOrgEx(dc, &org);
  HRGN rgn = CreateRoundRectRgn(r.left + 1 - org.x, r.top + 1 - org.y, r.right - org.x, r.bottom - org.y,
                                d.PanelCorner * 2, d.PanelCorner * 2);
  ExtSelectClipRgn(dc, rgn, RGN_AND);
  DeleteObject(rgn);
  SkVerticalGradient(dc, title, d.PanelTitleTop, d.PanelTitleBottom);
  RestoreDC(dc, saved);
  RECT line = {r.left + 1, title.bottom, r.right - 1, title.bottom + 1};
  SkFillRect(dc, line, d.PanelBorder);
  RECT text = title;
  text.left += 10;
  text.right -= 10;
  SkText(dc, GetText(), text, skin->PanelTitleFont(), d.PanelTitleText,
         DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

// --- Pictures -----------------------------------------------------------------------------------

QM_REGISTER_CLASS(TskPngImageItem, b) {
  b.Str("Name", &TskPngImageItem::Name);
  b.Binary("PngData", &TskPngImageItem::PngData, &TskPngImageItem::SetPngData);
}

TskPngImageItem::TskPngImageItem(TCollection* collection) : TCollectionItem(collection) {}

void TskPngImageItem::SetPngData(const std::string& bytes) {
  std::string error;
  if (bytes.empty()) {
    png_.Clear();
  } else if (!png_.LoadFromData(bytes, &error)) {
    throw EPngError("Damaged picture " + Name + ": " + error);
  }
  Changed();
}

void TskPngImageItem::LoadFromFile(const std::string& path) {
  std::string error;
  if (!png_.LoadFromFile(path, &error)) throw EPngError(error + " (" + path + ")");
  Changed();
}

QM_REGISTER_CLASS(TskPngImageStorage, b) {
  b.SubObject<TCollection>("PngImages", "TskPngImageCollection", &TskPngImageStorage::PngImages);
}

TskPngImageStorage::TskPngImageStorage(TComponent* owner)
    : TComponent(owner), images_(std::make_unique<TCollection>(TskPngImageItem::StaticClass(), this)) {}

TskPngImageStorage::~TskPngImageStorage() = default;

TskPngImageItem* TskPngImageStorage::Item(int index) const {
  if (index < 0 || index >= images_->Count()) return nullptr;
  return dynamic_cast<TskPngImageItem*>(images_->Items(index));
}

TskPngImageItem* TskPngImageStorage::Add(const std::string& name) {
  auto* item = dynamic_cast<TskPngImageItem*>(images_->Add());
  if (item) item->Name = name;
  return item;
}

QM_REGISTER_CLASS(TskPngImageView, b) {
  b.Object<TskPngImageStorage>("PngImages", "TskPngImageStorage", &TskPngImageView::PngImages,
                               &TskPngImageView::SetPngImages);
  b.Int("ImageIndex", &TskPngImageView::ImageIndex, &TskPngImageView::SetImageIndex);
  b.Bool("AutoSize", &TskPngImageView::AutoSize);
}

TskPngImageView::TskPngImageView(TComponent* owner) : TskSkinControl(owner) { SetBounds(0, 0, 32, 32); }

void TskPngImageView::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WindowClass.hbrBackground = nullptr;
}

void TskPngImageView::SetPngImages(TskPngImageStorage* value) {
  if (store_) RemoveFreeNotification(store_);
  store_ = value;
  if (value) FreeNotification(value);
  PictureChanged();
}

void TskPngImageView::SetImageIndex(int value) {
  index_ = value;
  PictureChanged();
}

const TskPngImage* TskPngImageView::Picture() const {
  TskPngImageItem* item = store_ ? store_->Item(index_) : nullptr;
  return item && !item->PngImage().Empty() ? &item->PngImage() : nullptr;
}

void TskPngImageView::PictureChanged() {
  const TskPngImage* p = Picture();
  if (AutoSize && p && !Loading()) SetBounds(Left(), Top(), p->Width(), p->Height());
  Invalidate();
}

void TskPngImageView::Notification(TComponent* c, TOperation op) {
  TskSkinControl::Notification(c, op);
  if (op == TOperation::opRemove && c == store_) store_ = nullptr;
}

void TskPngImageView::PaintControl(HDC dc, const RECT&) {
  if (const TskPngImage* p = Picture()) p->Draw(dc, 0, 0);
}

QM_REGISTER_CLASS(TskSkinImage, b) {
  b.Binary("PngData", &TskSkinImage::PngData, &TskSkinImage::SetPngData);
  b.Bool("AutoSize", &TskSkinImage::AutoSize);
  b.Bool("Center", &TskSkinImage::Center);
}

TskSkinImage::TskSkinImage(TComponent* owner) : TskSkinControl(owner) { SetBounds(0, 0, 105, 105); }

void TskSkinImage::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WindowClass.hbrBackground = nullptr;
}

void TskSkinImage::SetPngData(const std::string& bytes) {
  std::string error;
  if (bytes.empty()) png_.Clear();
  else if (!png_.LoadFromData(bytes, &error)) throw EPngError("Damaged picture: " + error);
  PictureChanged();
}

void TskSkinImage::LoadFromFile(const std::string& path) {
  std::string error;
  if (!png_.LoadFromFile(path, &error)) throw EPngError(error + " (" + path + ")");
  PictureChanged();
}

void TskSkinImage::Clear() {
  png_.Clear();
  PictureChanged();
}

void TskSkinImage::PictureChanged() {
  if (AutoSize && !png_.Empty()) SetBounds(Left(), Top(), png_.Width(), png_.Height());
  Invalidate();
}

void TskSkinImage::PaintControl(HDC dc, const RECT& client) {
  if (png_.Empty()) return;
  int x = Center ? (client.right - png_.Width()) / 2 : 0;
  int y = Center ? (client.bottom - png_.Height()) / 2 : 0;
  png_.Draw(dc, x, y);
}

QM_REGISTER_CLASS(TskIconView, b) { (void)b; }

TskIconView::TskIconView(TComponent* owner) : TskSkinControl(owner) { SetBounds(0, 0, 32, 32); }

void TskIconView::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.WindowClass.hbrBackground = nullptr;
}

void TskIconView::PaintControl(HDC dc, const RECT&) {
  if (Icon) DrawIconEx(dc, 0, 0, Icon, 32, 32, 0, nullptr, DI_NORMAL);
}
