#include "components/Forms.h"

#include <algorithm>
#include <set>

#include "components/StoredData.h"

namespace {

// Posted to the application window to free a form after the message that asked for it.
constexpr UINT CM_RELEASE = 0xB021;

std::set<TCustomForm*>& LiveForms() {
  static std::set<TCustomForm*> forms;
  return forms;
}

TApplication*& TheApplication() {
  static TApplication* app = nullptr;
  return app;
}

LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == CM_RELEASE) {
    auto* form = reinterpret_cast<TCustomForm*>(lp);
    if (LiveForms().count(form)) FreeComponent(form);
    return 0;
  }
  if (msg == WM_CLOSE) {
    // Closing the application window (from the taskbar) closes the main form.
    if (TApplication* app = TheApplication())
      if (app->MainForm()) {
        app->MainForm()->Close();
        return 0;
      }
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

BOOL CALLBACK CollectEnabledWindow(HWND w, LPARAM lp) {
  auto* v = reinterpret_cast<std::vector<HWND>*>(lp);
  if (IsWindowVisible(w) && IsWindowEnabled(w)) v->push_back(w);
  return TRUE;
}

}  // namespace

// --- TCustomForm --------------------------------------------------------------------------------

QM_REGISTER_CLASS(TCustomForm, b) {
  b.Str("Caption", &TCustomForm::Caption, &TCustomForm::SetCaption, TTypeKind::tkLString, "TCaption");
  b.Int("ClientWidth", &TCustomForm::GetClientWidthProp, &TCustomForm::SetClientWidthProp);
  b.Int("ClientHeight", &TCustomForm::GetClientHeightProp, &TCustomForm::SetClientHeightProp);
  b.Enum("Position", "TPosition",
         {"poDesigned", "poDefault", "poScreenCenter", "poMainFormCenter", "poOwnerFormCenter"},
         &TCustomForm::Position);
  b.Enum("BorderStyle", "TFormBorderStyle",
         {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}, &TCustomForm::BorderStyle);
  b.Set("BorderIcons", "TBorderIcons", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"},
        &TCustomForm::BorderIcons);
  b.Bool("KeyPreview", &TCustomForm::KeyPreview);
  b.Bool("Scaled", &TCustomForm::Scaled);
  b.Bool("AutoScroll", &TCustomForm::AutoScroll);
  b.Bool("AutoSize", &TCustomForm::AutoSize);
  b.Event("OnCreate", "TNotifyEvent", &TCustomForm::OnCreate);
  b.Event("OnDestroy", "TNotifyEvent", &TCustomForm::OnDestroy);
  b.Event("OnShow", "TNotifyEvent", &TCustomForm::OnShow);
  b.Event("OnHide", "TNotifyEvent", &TCustomForm::OnHide);
  b.Event("OnActivate", "TNotifyEvent", &TCustomForm::OnActivate);
  b.Event("OnDeactivate", "TNotifyEvent", &TCustomForm::OnDeactivate);
  b.Event("OnCloseQuery", "TCloseQueryEvent", &TCustomForm::OnCloseQuery);
  b.Event("OnClose", "TCloseEvent", &TCustomForm::OnClose);
}
QM_REGISTER_CLASS(TForm, b) { (void)b; }

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  visible_ = false;
  LiveForms().insert(this);
}

TCustomForm::~TCustomForm() { TearDown(); }

void TCustomForm::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  TearDown();
}

// OnDestroy handlers are methods of the derived form, and the components and the window's
// last messages (WM_ACTIVATE, WM_DESTROY) call back into it: all of it happens here, once.
void TCustomForm::TearDown() {
  if (tornDown_) return;
  tornDown_ = true;
  LiveForms().erase(this);
  if (created_) GuardedCall([this] { OnDestroy(this); });
  // The components go before the window: a component that hooked the window procedure puts
  // the old one back while the window still exists.
  DestroyComponents();
  DestroyHandle();
}

void TCustomForm::AfterConstruction() {
  std::string text;
  if (FindStoredForm(ClassName(), &text)) ReadComponentText(this, text);
  created_ = true;
  DoCreate();
}

void TCustomForm::DoCreate() {
  // An error in OnCreate is shown, and the window opens all the same.
  GuardedCall([this] { OnCreate(this); });
}

int TCustomForm::GetClientWidthProp() const {
  if (HandleIfAllocated()) {
    RECT r;
    GetClientRect(HandleIfAllocated(), &r);
    return r.right;
  }
  return DesignClientWidth;
}

int TCustomForm::GetClientHeightProp() const {
  if (HandleIfAllocated()) {
    RECT r;
    GetClientRect(HandleIfAllocated(), &r);
    return r.bottom;
  }
  return DesignClientHeight;
}

void TCustomForm::SetClientWidthProp(int v) {
  DesignClientWidth = v;
  if (HandleIfAllocated()) SetClientSize(v, GetClientHeightProp());
}

void TCustomForm::SetClientHeightProp(int v) {
  DesignClientHeight = v;
  if (HandleIfAllocated()) SetClientSize(GetClientWidthProp(), v);
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style = WS_CLIPCHILDREN;
  p.ExStyle = WS_EX_CONTROLPARENT;
  switch (BorderStyle) {
    case bsNone: p.Style |= WS_POPUP; break;
    case bsSingle: p.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: p.Style |= WS_CAPTION | WS_POPUP; p.ExStyle |= WS_EX_DLGMODALFRAME; break;
    case bsToolWindow: p.Style |= WS_CAPTION; p.ExStyle |= WS_EX_TOOLWINDOW; break;
    case bsSizeToolWin: p.Style |= WS_CAPTION | WS_THICKFRAME; p.ExStyle |= WS_EX_TOOLWINDOW; break;
  }
  if (BorderStyle != bsNone && (BorderIcons & biSystemMenu)) {
    p.Style |= WS_SYSMENU;
    if (BorderStyle != bsDialog && BorderStyle != bsToolWindow && BorderStyle != bsSizeToolWin) {
      if (BorderIcons & biMinimize) p.Style |= WS_MINIMIZEBOX;
      if (BorderIcons & biMaximize) p.Style |= WS_MAXIMIZEBOX;
    }
  }
  if (!enabled_) p.Style |= WS_DISABLED;
  // Shown later by Show, after placing it.
  TApplication* app = TheApplication();
  p.WndParent = app ? app->Handle() : nullptr;
  if (app && app->MainForm() == this) p.ExStyle |= WS_EX_APPWINDOW;
  if (!p.WndParent) p.ExStyle |= WS_EX_APPWINDOW;
  if (DesignClientWidth > 0 || DesignClientHeight > 0) {
    RECT r = {0, 0, DesignClientWidth > 0 ? DesignClientWidth : 0, DesignClientHeight > 0 ? DesignClientHeight : 0};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    if (DesignClientWidth > 0) p.Width = r.right - r.left;
    if (DesignClientHeight > 0) p.Height = r.bottom - r.top;
  }
  if (p.Width <= 0) p.Width = 320;
  if (p.Height <= 0) p.Height = 240;
  if (Position == poDefault) p.X = p.Y = static_cast<int>(CW_USEDEFAULT);
}

void TCustomForm::CenterOnScreen() {
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  HWND h = Handle();
  RECT r;
  GetWindowRect(h, &r);
  int w = r.right - r.left, hgt = r.bottom - r.top;
  SetBounds(work.left + (work.right - work.left - w) / 2, work.top + (work.bottom - work.top - hgt) / 2, w, hgt);
}

void TCustomForm::CenterOn(HWND other) {
  if (!other || !IsWindow(other)) return CenterOnScreen();
  RECT o, r;
  GetWindowRect(other, &o);
  GetWindowRect(Handle(), &r);
  int w = r.right - r.left, hgt = r.bottom - r.top;
  SetBounds(o.left + (o.right - o.left - w) / 2, o.top + (o.bottom - o.top - hgt) / 2, w, hgt);
}

void TCustomForm::ApplyPosition() {
  if (positioned_) return;
  positioned_ = true;
  switch (Position) {
    case poScreenCenter: CenterOnScreen(); break;
    case poMainFormCenter: {
      TCustomForm* main = TheApplication() ? TheApplication()->MainForm() : nullptr;
      if (main && main != this && main->HandleAllocated())
        CenterOn(main->HandleIfAllocated());
      else
        CenterOnScreen();
      break;
    }
    case poOwnerFormCenter: {
      auto* ownerForm = dynamic_cast<TCustomForm*>(Owner());
      if (ownerForm && ownerForm->HandleAllocated())
        CenterOn(ownerForm->HandleIfAllocated());
      else
        CenterOnScreen();
      break;
    }
    default: break;
  }
}

void TCustomForm::SetVisible(bool value) {
  if (value) {
    HandleNeeded();
    ApplyPosition();
  }
  TWinControl::SetVisible(value);
  if (value && HandleIfAllocated()) SetForegroundWindow(HandleIfAllocated());
}

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleIfAllocated()) BringWindowToTop(HandleIfAllocated());
}

void TCustomForm::Hide() { SetVisible(false); }

int TCustomForm::ShowModal() {
  if (modal_ || Visible()) throw Exception("Cannot make a visible window modal");
  HWND previous = GetActiveWindow();
  HandleNeeded();
  // The other windows of this thread stay disabled while the form is up.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), &CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  disabled.erase(std::remove(disabled.begin(), disabled.end(), HandleIfAllocated()), disabled.end());
  for (HWND w : disabled) EnableWindow(w, FALSE);
  modal_ = true;
  ModalResult = mrNone;
  try {
    Show();
    TApplication* app = Application();
    while (ModalResult == mrNone) {
      app->HandleMessage();
      if (app->Terminated()) ModalResult = mrCancel;
      if (ModalResult != mrNone && !app->Terminated()) {
        // A modal result closes the form unless OnCloseQuery or OnClose keep it.
        TCloseAction action = caHide;
        if (!CloseQuery()) {
          ModalResult = mrNone;
          continue;
        }
        DoClose(action);
        if (action == caNone) ModalResult = mrNone;
      }
      if (!IsWindow(HandleIfAllocated()) && ModalResult == mrNone) ModalResult = mrCancel;
    }
  } catch (...) {
    for (HWND w : disabled) EnableWindow(w, TRUE);
    modal_ = false;
    throw;
  }
  for (HWND w : disabled)
    if (IsWindow(w)) EnableWindow(w, TRUE);
  if (HandleIfAllocated()) Hide();
  modal_ = false;
  if (previous && IsWindow(previous)) SetActiveWindow(previous);
  return ModalResult;
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) { OnClose(this, action); }

void TCustomForm::Close() {
  if (modal_) {
    ModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TApplication* app = TheApplication();
  bool isMain = app && app->MainForm() == this;
  TCloseAction action = isMain ? caFree : caHide;
  DoClose(action);
  if (action == caNone) return;
  if (isMain) {
    app->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: if (HandleIfAllocated()) ShowWindow(HandleIfAllocated(), SW_MINIMIZE); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Release() {
  TApplication* app = Application();
  if (app->Handle())
    PostMessageA(app->Handle(), CM_RELEASE, 0, reinterpret_cast<LPARAM>(this));
}

void TCustomForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_SHOWWINDOW:
      if (m.WParam)
        OnShow(this);
      else
        OnHide(this);
      break;
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) == WA_INACTIVE)
        OnDeactivate(this);
      else
        OnActivate(this);
      break;
    default:
      break;
  }
  TWinControl::WndProc(m);
}

TCustomForm* CreateFormOf(const TClassInfo& formClass, TComponent* owner) {
  TComponent* c = formClass.CreateComponent(owner);
  auto* form = dynamic_cast<TCustomForm*>(c);
  if (!form) {
    delete c;
    throw EInvalidCast(formClass.Name() + " is not a form class");
  }
  try {
    form->AfterConstruction();
  } catch (...) {
    FreeComponent(form);
    throw;
  }
  return form;
}

// --- TApplication -------------------------------------------------------------------------------

QM_REGISTER_CLASS(TApplication, b) { b.Str("Title", &TApplication::Title, &TApplication::SetTitle); }

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

TApplication::~TApplication() {
  DestroyComponents();
  if (handle_) DestroyWindow(handle_);
  if (TheApplication() == this) TheApplication() = nullptr;
}

void TApplication::Initialize() {
  if (handle_) return;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  if (!GetClassInfoA(instance, "TApplication", &wc)) {
    wc = {};
    wc.lpfnWndProc = &AppWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "MAINICON");
    wc.lpszClassName = "TApplication";
    RegisterClassA(&wc);
  }
  // The hidden window that owns every top-level window of the program.
  handle_ = CreateWindowExA(0, "TApplication", title_.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
                            0, 0, 0, nullptr, nullptr, instance, nullptr);
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  if (handle_) SetWindowTextA(handle_, title.c_str());
}

void TApplication::CreateForm(const TClassInfo& formClass, TCustomForm** var) {
  TComponent* c = formClass.CreateComponent(this);
  auto* form = dynamic_cast<TCustomForm*>(c);
  if (!form) {
    delete c;
    throw EInvalidCast(formClass.Name() + " is not a form class");
  }
  // The variable and the main form are known while the stored data is read (the engine posts
  // to the main window from its Loaded).
  bool main = mainForm_ == nullptr;
  if (main) mainForm_ = form;
  if (var) *var = form;
  try {
    form->AfterConstruction();
  } catch (...) {
    if (var) *var = nullptr;
    if (main) mainForm_ = nullptr;
    FreeComponent(form);
    throw;
  }
}

void TApplication::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == TOperation::opRemove && c == mainForm_) mainForm_ = nullptr;
}

void TApplication::Run() {
  if (mainForm_ && ShowMainForm) mainForm_->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  if (!terminated_) {
    PostQuitMessage(0);
    // Asked from inside a message sent by another process, the quit alone does not wake a
    // GetMessage that is waiting (seen under Wine): a posted message does.
    if (handle_) PostMessageA(handle_, WM_NULL, 0, 0);
  }
  terminated_ = true;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return false;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::HandleMessage() {
  MSG msg;
  BOOL r = GetMessageA(&msg, nullptr, 0, 0);
  if (r == 0) {
    terminated_ = true;
    return;
  }
  if (r < 0) return;
  GuardedCall([&] { ProcessMessage(msg); });
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!ProcessMessage(msg)) {
      // Keep the quit for the message loop that is waiting for it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
  }
}

void TApplication::HandleException(const std::exception& e) {
  if (OnException.Assigned()) {
    try {
      OnException(this, e);
      return;
    } catch (const std::exception& inner) {
      ShowException(inner);
      return;
    }
  }
  ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && text.back() != '.') text += '.';
  std::string caption = title_.empty() ? std::string("Error") : title_;
  MessageBoxA(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

TApplication* Application() {
  TApplication*& app = TheApplication();
  if (!app) app = new TApplication(nullptr);
  return app;
}

void FreeApplication() {
  TApplication*& app = TheApplication();
  FreeComponent(app);
  app = nullptr;
}

bool GuardedCall(const std::function<void()>& fn) {
  try {
    fn();
    return true;
  } catch (const std::exception& e) {
    Application()->HandleException(e);
  } catch (...) {
    Application()->HandleException(Exception("Unknown error"));
  }
  return false;
}
