#include "components/Controls.h"

#include <algorithm>

#include "components/Forms.h"

namespace {
// The window property that ties a window to its control object; stock controls do not let a
// window class reserve extra bytes, so a property serves both kinds.
const char kControlProp[] = "QmControl";
}  // namespace

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) & 0x8000) s |= ssShift;
  if (GetKeyState(VK_CONTROL) & 0x8000) s |= ssCtrl;
  if (GetKeyState(VK_MENU) & 0x8000) s |= ssAlt;
  return s;
}

// --- TFont --------------------------------------------------------------------------------------

QM_REGISTER_CLASS(TFont, b) {
  b.Str("Name", &TFont::Name, nullptr, TTypeKind::tkLString, "TFontName");
  b.Int("Height", &TFont::Height);
  b.Int("Size", &TFont::Size, &TFont::SetSize);
  b.Set("Style", "TFontStyles", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, &TFont::Style);
  b.Int("Color", &TFont::Color, nullptr, "TColor");
  b.Int("Charset", &TFont::Charset, nullptr, "TFontCharset");
}

TFont::~TFont() {
  if (handle_) DeleteObject(handle_);
}

int TFont::Size() const { return Height < 0 ? MulDiv(-Height, 72, 96) : MulDiv(Height, 72, 96); }

void TFont::SetSize(int points) {
  Height = -MulDiv(points, 96, 72);
  Changed();
}

HFONT TFont::Handle() const {
  if (!handle_) {
    LOGFONTA lf = {};
    lf.lfHeight = Height;
    lf.lfWeight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (Style & fsItalic) ? 1 : 0;
    lf.lfUnderline = (Style & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (Style & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(Charset);
    lstrcpynA(lf.lfFaceName, Name.c_str(), LF_FACESIZE);
    handle_ = CreateFontIndirectA(&lf);
  }
  return handle_;
}

void TFont::Changed() {
  if (handle_) {
    DeleteObject(handle_);
    handle_ = nullptr;
  }
  OnChange(this);
}

void TFont::Assign(const TPersistent* source) {
  if (auto* f = dynamic_cast<const TFont*>(source)) {
    Name = f->Name;
    Height = f->Height;
    Style = f->Style;
    Color = f->Color;
    Charset = f->Charset;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// --- TControl -----------------------------------------------------------------------------------

QM_REGISTER_CLASS(TControl, b) {
  b.Int("Left", &TControl::Left, &TControl::SetLeft);
  b.Int("Top", &TControl::Top, &TControl::SetTop);
  b.Int("Width", &TControl::Width, &TControl::SetWidth);
  b.Int("Height", &TControl::Height, &TControl::SetHeight);
  b.Bool("Visible", &TControl::Visible, &TControl::SetVisible);
  b.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled);
  b.Str("Hint", &TControl::Hint);
  b.Bool("ShowHint", &TControl::ShowHint);
  b.SubObject<TFont>("Font", "TFont", &TControl::Font);
}

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  for (TWinControl* p = parent; p; p = p->Parent())
    if (p == this) throw EInvalidCast("A control cannot be its own parent");
  if (parent_) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent) parent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void TControl::SetText(const std::string& text) { text_ = text; }
void TControl::SetVisible(bool value) { visible_ = value; }
void TControl::SetEnabled(bool value) { enabled_ = value; }

void TControl::WndProc(TMessage& message) { DefaultHandler(message); }
void TControl::DefaultHandler(TMessage& message) { message.Result = 0; }

LRESULT TControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  WindowProc(m);
  return m.Result;
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(c));
}

// --- TWinControl --------------------------------------------------------------------------------

QM_REGISTER_CLASS(TWinControl, b) {
  b.Int("TabOrder", &TWinControl::TabOrder, nullptr, "TTabOrder");
  b.Bool("TabStop", &TWinControl::TabStop);
  b.Event("OnKeyDown", "TKeyEvent", &TWinControl::OnKeyDown);
  b.Event("OnKeyUp", "TKeyEvent", &TWinControl::OnKeyUp);
  b.Event("OnKeyPress", "TKeyPressEvent", &TWinControl::OnKeyPress);
  b.Event("OnEnter", "TNotifyEvent", &TWinControl::OnEnter);
  b.Event("OnExit", "TNotifyEvent", &TWinControl::OnExit);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children outlive their parent only as orphans: their windows go with ours.
  for (TControl* c : std::vector<TControl*>(controls_)) c->SetParent(nullptr);
  DestroyHandle();
}

TWinControl* TWinControl::FindControl(HWND wnd) {
  return wnd ? static_cast<TWinControl*>(GetPropA(wnd, kControlProp)) : nullptr;
}

HWND TWinControl::Handle() {
  if (!handle_ && !creating_) {
    if (Parent()) Parent()->HandleNeeded();  // creating the parent creates its children too
    if (!handle_) CreateWnd();
  }
  return handle_;
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = text_;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (visible_) p.Style |= WS_VISIBLE;
  if (!enabled_) p.Style |= WS_DISABLED;
  if (TabStop) p.Style |= WS_TABSTOP;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  p.WndParent = Parent() ? Parent()->Handle() : nullptr;
  p.WinClassName = ClassName();
  p.WindowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  p.WindowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  p.WindowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  creating_ = true;
  HWND wnd = nullptr;
  if (p.StockClass) {
    wnd = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width,
                          p.Height, p.WndParent, nullptr, instance, nullptr);
    if (wnd) {
      AttachHandle(wnd);
      stockProc_ = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&QmControlWndProc)));
    }
  } else {
    WNDCLASSA existing;
    if (!GetClassInfoA(instance, p.WinClassName.c_str(), &existing)) {
      WNDCLASSA wc = p.WindowClass;
      wc.lpfnWndProc = &QmControlWndProc;
      wc.hInstance = instance;
      wc.lpszClassName = p.WinClassName.c_str();
      RegisterClassA(&wc);
    }
    wnd = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width,
                          p.Height, p.WndParent, nullptr, instance, this);
  }
  creating_ = false;
  if (!wnd || handle_ != wnd) {
    DWORD err = GetLastError();
    if (wnd) DestroyWindow(wnd);
    throw Exception("Cannot create the window of " + (Name().empty() ? ClassName() : Name()) + " (error " +
                    std::to_string(err) + ")");
  }
  SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 0);
  UpdateBoundsFromWindow();
  for (TControl* c : std::vector<TControl*>(controls_))
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
  CreateHandleDone();
}

void TWinControl::DestroyWnd() {
  if (handle_) DestroyWindow(handle_);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  text_ = GetText();
  DestroyWnd();
  if (handle_) DetachHandle();  // the window was not ours to destroy; forget it all the same
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  DestroyHandle();
  HandleNeeded();
}

void TWinControl::AttachHandle(HWND wnd) {
  handle_ = wnd;
  SetPropA(wnd, kControlProp, this);
}

void TWinControl::DetachHandle() {
  if (!handle_) return;
  RemovePropA(handle_, kControlProp);
  if (stockProc_) SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(stockProc_));
  stockProc_ = nullptr;
  handle_ = nullptr;
}

void TWinControl::InsertControl(TControl* c) {
  if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) controls_.push_back(c);
}

void TWinControl::RemoveControl(TControl* c) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  TControl::SetParent(parent);
  if (handle_ && parent && parent->HandleAllocated()) {
    ::SetParent(handle_, parent->handle_);
  } else if (handle_) {
    DestroyHandle();
  } else if (parent && parent->HandleAllocated()) {
    HandleNeeded();
  }
}

std::string TWinControl::GetText() const {
  if (!handle_) return text_;
  int n = GetWindowTextLengthA(handle_);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(handle_, &s[0], n + 1);
  s.resize(static_cast<size_t>(n < 0 ? 0 : n));
  return s;
}

void TWinControl::SetText(const std::string& text) {
  text_ = text;
  if (handle_) SetWindowTextA(handle_, text.c_str());
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  if (handle_) SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!handle_) return;
  RECT r;
  GetWindowRect(handle_, &r);
  HWND parent = GetParent(handle_);
  if (parent && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD)) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
}

void TWinControl::SetVisible(bool value) {
  TControl::SetVisible(value);
  if (handle_) ShowWindow(handle_, value ? SW_SHOW : SW_HIDE);
}

void TWinControl::SetEnabled(bool value) {
  TControl::SetEnabled(value);
  if (handle_) EnableWindow(handle_, value ? TRUE : FALSE);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

RECT TWinControl::ClientRect() {
  RECT r = {0, 0, width_, height_};
  if (handle_) GetClientRect(handle_, &r);
  return r;
}

int TWinControl::ClientWidth() { return ClientRect().right; }
int TWinControl::ClientHeight() { return ClientRect().bottom; }

void TWinControl::SetClientSize(int width, int height) {
  RECT r = {0, 0, width, height};
  if (handle_) {
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(handle_, GWL_STYLE)), GetMenu(handle_) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(handle_, GWL_EXSTYLE)));
  }
  SetBounds(left_, top_, r.right - r.left, r.bottom - r.top);
}

void TWinControl::FontChanged() {
  if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) { OnKeyDown(this, key, shift); }
void TWinControl::KeyUp(WORD& key, TShiftState shift) { OnKeyUp(this, key, shift); }
void TWinControl::KeyPress(char& key) { OnKeyPress(this, key); }

// The parent hands these back to the child window they concern.
bool TWinControl::ReflectToChild(TMessage& m) {
  HWND child = nullptr;
  switch (m.Msg) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(m.LParam);
      break;
    case WM_NOTIFY:
      if (m.LParam) child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom;
      break;
    case WM_DRAWITEM:
      if (m.WParam && m.LParam) child = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam)->hwndItem;
      break;
    case WM_MEASUREITEM:
      if (m.WParam && handle_) child = GetDlgItem(handle_, static_cast<int>(m.WParam));
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
      child = reinterpret_cast<HWND>(m.LParam);
      break;
    default:
      return false;
  }
  TWinControl* target = FindControl(child);
  if (!target || target == this) return false;
  m.Result = target->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
  return true;
}

// Keys reach the form first when it previews them; a key set to 0 stops there.
bool TWinControl::PreviewKey(TMessage& m) {
  TCustomForm* form = ParentForm();
  bool preview = form && form != this && form->KeyPreview;
  TShiftState shift = KeyboardShiftState();
  if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN || m.Msg == WM_KEYUP || m.Msg == WM_SYSKEYUP) {
    WORD key = static_cast<WORD>(m.WParam);
    bool down = m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN;
    if (preview) {
      down ? static_cast<TWinControl*>(form)->KeyDown(key, shift) : static_cast<TWinControl*>(form)->KeyUp(key, shift);
      if (key == 0) return true;
    }
    down ? KeyDown(key, shift) : KeyUp(key, shift);
    if (key == 0) return true;
    m.WParam = key;
    return false;
  }
  if (m.Msg == WM_CHAR) {
    char c = static_cast<char>(m.WParam);
    if (preview) {
      static_cast<TWinControl*>(form)->KeyPress(c);
      if (c == 0) return true;
    }
    KeyPress(c);
    if (c == 0) return true;
    m.WParam = static_cast<unsigned char>(c);
  }
  return false;
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
      if (PreviewKey(m)) {
        m.Result = 0;
        return;
      }
      break;
    case WM_SETFOCUS:
      OnEnter(this);
      break;
    case WM_KILLFOCUS:
      OnExit(this);
      break;
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
      if (wp && (wp->flags & SWP_SHOWWINDOW)) visible_ = true;
      if (wp && (wp->flags & SWP_HIDEWINDOW)) visible_ = false;
      UpdateBoundsFromWindow();
      break;
    }
    case WM_ENABLE:
      enabled_ = m.WParam != 0;
      break;
    default:
      if (ReflectToChild(m)) return;
  }
  DefaultHandler(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!handle_) {
    m.Result = 0;
    return;
  }
  if (stockProc_)
    m.Result = CallWindowProcA(stockProc_, handle_, m.Msg, m.WParam, m.LParam);
  else
    m.Result = DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam);
}

LRESULT CALLBACK QmControlWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* ctl = TWinControl::FindControl(wnd);
  if (!ctl && msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    ctl = cs ? static_cast<TWinControl*>(cs->lpCreateParams) : nullptr;
    if (ctl) ctl->AttachHandle(wnd);
  }
  if (!ctl) return DefWindowProcA(wnd, msg, wp, lp);
  TMessage m{msg, wp, lp, 0};
  // Nothing escapes a window procedure: an error goes to the application's error box.
  try {
    ctl->WindowProc(m);
  } catch (const std::exception& e) {
    Application()->HandleException(e);
  } catch (...) {
    Application()->HandleException(Exception("Unknown error"));
  }
  if (msg == WM_NCDESTROY) ctl->DetachHandle();
  return m.Result;
}
