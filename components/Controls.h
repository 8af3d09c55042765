// Controls: components that are real windows. One TWinControl owns one window handle; every
// message goes through its replaceable WindowProc, so a component can hook a window and later
// put the old procedure back (`old = ctl->WindowProc; ctl->WindowProc = mine; ... restore`).
//
// A control either registers a window class of its own (named after its class, the default)
// or names a stock class in CreateParams ("BUTTON", "EDIT"): the stock window is then
// subclassed and DefaultHandler calls its own procedure. The parent hands WM_COMMAND,
// WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM and WM_CTLCOLOR* back to the child window they concern
// as CN_BASE + the message, so each control reacts and draws for itself.
#pragma once

#include <windows.h>

#include "components/Components.h"

class TWinControl;
class TCustomForm;

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};
using TWndMethod = std::function<void(TMessage&)>;

// Notifications reflected from the parent to the child control.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

// Shift state of key and mouse events (a bit set).
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;
TShiftState KeyboardShiftState();

using TKeyEvent = TEvent<TObject*, WORD&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;

// A font description; controls turn it into a GDI font when they draw or create their window.
class TFont : public TPersistent {
  QM_CLASS(TFont, TPersistent)
 public:
  enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
  std::string Name = "MS Sans Serif";
  int Height = -11;  // pixels; negative: character height (as LOGFONT)
  unsigned Style = 0;
  COLORREF Color = 0;
  int Charset = DEFAULT_CHARSET;
  int Size() const;  // points at 96 dots per inch
  void SetSize(int points);
  HFONT Handle() const;  // created on first use, owned by the font
  void Assign(const TPersistent* source) override;
  TNotifyEvent OnChange;
  void Changed();
  ~TFont() override;

 private:
  mutable HFONT handle_ = nullptr;
};

class TControl : public TComponent {
  QM_CLASS(TControl, TComponent)
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  void SetParentComponent(TComponent* parent) override;
  TComponent* GetParentComponent() const override;


  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);

  // The visible text: a windowed control's window text.
  virtual std::string GetText() const { return text_; }
  virtual void SetText(const std::string& text);
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& text) { SetText(text); }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool value);

  TFont* Font() const { return font_.get(); }
  std::string Hint;
  bool ShowHint = false;
  TNotifyEvent OnClick;
  virtual void Click() { OnClick(this); }

  // The message route: WindowProc (replaceable) defaults to WndProc; WndProc ends in
  // DefaultHandler.
  TWndMethod WindowProc;
  virtual void WndProc(TMessage& message);
  virtual void DefaultHandler(TMessage& message);
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
  void Dispatch(TMessage& message) { WindowProc(message); }

  // The form this control sits on, or null.
  TCustomForm* ParentForm() const;

 protected:
  virtual void FontChanged() {}
  std::string text_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;

 private:
  TWinControl* parent_ = nullptr;
  std::unique_ptr<TFont> font_;
};

struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  std::string WinClassName;  // own class (registered from WindowClass) or a stock class
  bool StockClass = false;   // true: WinClassName is a system class to subclass
  WNDCLASSA WindowClass = {};
};

class TWinControl : public TControl {
  QM_CLASS(TWinControl, TControl)
 public:
  explicit TWinControl(TComponent* owner);
  // Destroys the window (and the child controls it parents) before the object goes.
  ~TWinControl() override;

  // The window handle, created on first use (the parent's first).
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  HWND HandleIfAllocated() const { return handle_; }
  void DestroyHandle();
  void RecreateWnd();
  // The control that owns a window, or null.
  static TWinControl* FindControl(HWND wnd);

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int i) const { return controls_.at(static_cast<size_t>(i)); }
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);

  std::string GetText() const override;
  void SetText(const std::string& text) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool value) override;
  void SetEnabled(bool value) override;
  void SetParent(TWinControl* parent) override;

  int TabOrder = -1;
  bool TabStop = false;
  bool Focused() const;
  virtual void SetFocus();
  RECT ClientRect();
  int ClientWidth();
  int ClientHeight();
  void SetClientSize(int width, int height);

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

 protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // Called once the window exists (the children's windows exist as well).
  virtual void CreateHandleDone() {}
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char& key);
  void FontChanged() override;
  void UpdateBoundsFromWindow();

 private:
  friend LRESULT CALLBACK QmControlWndProc(HWND, UINT, WPARAM, LPARAM);
  void AttachHandle(HWND wnd);
  void DetachHandle();
  bool ReflectToChild(TMessage& message);
  bool PreviewKey(TMessage& message);

  HWND handle_ = nullptr;
  WNDPROC stockProc_ = nullptr;  // the stock class's procedure of a subclassed control
  bool creating_ = false;
  std::vector<TControl*> controls_;
};

LRESULT CALLBACK QmControlWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
