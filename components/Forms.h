// Forms and the application object. A form is a top-level window whose window class name is
// its class name ("TfrmMain"); its components and their properties come from its stored data
// (components/StoredData.h), read when the form is created through NewForm, CreateFormOf or
// TApplication::CreateForm, after which OnCreate fires.
//
//   class TfrmAbout : public TForm {
//     QM_CLASS(TfrmAbout, TForm)
//    public:
//     explicit TfrmAbout(TComponent* owner) : TForm(owner) {}
//     TWidget* btnOK = nullptr;                       // published field, set by the loader
//     void btnOKClick(TObject*) { ModalResult = mrOk; }
//   };
//   QM_REGISTER_CLASS(TfrmAbout, b) { b.Field("btnOK", &TfrmAbout::btnOK);
//                                     b.Method("btnOKClick", &TfrmAbout::btnOKClick); }
//   auto* f = NewForm<TfrmAbout>(owner);  int r = f->ShowModal();
#pragma once

#include "components/Controls.h"

enum TModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10,
};

enum TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIconFlag : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseEvent = TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;

class TCustomForm : public TWinControl {
  QM_CLASS(TCustomForm, TWinControl)
 public:
  explicit TCustomForm(TComponent* owner);
  // A plain delete still tears the form down here, but by then the derived form is gone: free
  // forms with FreeComponent (owners, Release and the creators do).
  ~TCustomForm() override;
  // OnDestroy, then the components, then the window, while the derived form still exists.
  void BeforeDestruction() override;

  // Reads the stored data of the form's class (when there is any) and fires OnCreate; the
  // creators below call it once the object is complete. A damaged stored text raises
  // EReadError, and nothing of it stays loaded.
  virtual void AfterConstruction();

  void Show();
  void Hide();
  // Shows the form modally: the other windows of the thread are disabled until ModalResult is
  // set (or the form closes, giving mrCancel); returns the modal result.
  int ShowModal();
  bool Modal() const { return modal_; }
  void Close();
  bool CloseQuery();
  void Release();  // frees the form once the message that asked for it has been handled

  int ModalResult = mrNone;
  bool KeyPreview = false;
  TPosition Position = poDesigned;
  TFormBorderStyle BorderStyle = bsSizeable;
  unsigned BorderIcons = biSystemMenu | biMinimize | biMaximize;
  bool Scaled = true;
  bool AutoScroll = false;
  bool AutoSize = false;
  int DesignClientWidth = 0;   // ClientWidth / ClientHeight of the stored data
  int DesignClientHeight = 0;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;

  // Centres the form on the screen's work area or on another window.
  void CenterOnScreen();
  void CenterOn(HWND other);

  void WndProc(TMessage& message) override;
  void SetVisible(bool value) override;
  int GetClientWidthProp() const;
  void SetClientWidthProp(int v);
  int GetClientHeightProp() const;
  void SetClientHeightProp(int v);

 protected:
  void CreateParams(TCreateParams& params) override;
  virtual void DoCreate();
  virtual void DoClose(TCloseAction& action);
  void ApplyPosition();

 private:
  void TearDown();
  bool modal_ = false;
  bool positioned_ = false;
  bool created_ = false;
  bool tornDown_ = false;
};

class TForm : public TCustomForm {
  QM_CLASS(TForm, TCustomForm)
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// Creates a form of class T (or of a class given at run time) and reads its stored data; a
// failure frees the form again and raises.
TCustomForm* CreateFormOf(const TClassInfo& formClass, TComponent* owner);
template <typename T>
T* NewForm(TComponent* owner) {
  return static_cast<T*>(CreateFormOf(T::StaticClass(), owner));
}

class TApplication : public TComponent {
  QM_CLASS(TApplication, TComponent)
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  // Creates the hidden application window that owns the program's top-level windows.
  void Initialize();
  HWND Handle() const { return handle_; }
  // Creates a form owned by the application into `var`; the first one becomes the main form.
  void CreateForm(const TClassInfo& formClass, TCustomForm** var);
  template <typename T>
  void CreateForm(T** var) {
    TCustomForm* f = nullptr;
    CreateForm(T::StaticClass(), &f);
    *var = static_cast<T*>(f);
  }
  TCustomForm* MainForm() const { return mainForm_; }
  // Shows the main form (unless ShowMainForm is false) and runs the message loop until
  // Terminate.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();
  void HandleMessage();  // one message, waiting for it
  // The default error box of an unhandled error, or OnException when set.
  void HandleException(const std::exception& e);
  void ShowException(const std::exception& e);

  std::string Title() const { return title_; }
  void SetTitle(const std::string& title);
  bool ShowMainForm = true;
  TEvent<TObject*, const std::exception&> OnException;

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  bool ProcessMessage(MSG& msg);
  HWND handle_ = nullptr;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  std::string title_;
};

// The process-wide application object, created on first use.
TApplication* Application();
// Frees it with the forms it owns (at the end of the run procedure).
void FreeApplication();
// Runs `fn`, showing any error it raises in the default error box; false when it raised.
bool GuardedCall(const std::function<void()>& fn);
