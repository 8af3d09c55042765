// The skinned controls. Each is a real child window whose window text is its visible caption:
// buttons and check boxes are subclassed "BUTTON" windows, labels "STATIC", the edit box
// "EDIT" (so keyboard handling, BM_CLICK, mnemonics and screen readers work as for any
// dialog), panels and pictures are windows of their own classes. All of them draw from the
// skin of their SkinData (or, without one, from the process's first skin data, else the
// built-in skin) and repaint when that skin changes.
#pragma once

#include <memory>
#include <string>

#include "components/Forms.h"
#include "toolkit/PngImage.h"
#include "toolkit/SkinData.h"

// Raised when a picture cannot be loaded (missing or damaged file).
class EPngError : public Exception {
  using Exception::Exception;
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// The common base: the skin link, fonts and colours from the skin, transparent backgrounds.
class TskSkinControl : public TWinControl, public TskSkinClient {
  QM_CLASS(TskSkinControl, TWinControl)
 public:
  explicit TskSkinControl(TComponent* owner);
  ~TskSkinControl() override;

  TskSkinData* SkinData() const { return skinData_; }
  void SetSkinData(TskSkinData* value);
  // The skin data in effect (the linked one or the process default; may be null).
  TskSkinData* EffectiveSkinData() const;
  std::shared_ptr<const TskSkin> Skin() const;
  // True (the default): text in the skin's font. False: in the control's own Font, as for a
  // title label designed with a font of its own.
  bool UseSkinFont = true;
  HFONT DrawFont() const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);

  void SkinChanged() override;
  void SkinDataGone(TskSkinData* data) override;
  void SetVisible(bool value) override;
  void SetBounds(int left, int top, int width, int height) override;
  void WndProc(TMessage& m) override;
  void Loaded() override;

 protected:
  void Notification(TComponent* c, TOperation op) override;
  void CreateHandleDone() override;
  // Draws the whole control into `dc` (already double-buffered and with the parent's
  // background painted when the control is transparent).
  virtual void PaintControl(HDC dc, const RECT& client) = 0;
  virtual bool Transparent() const { return true; }
  virtual void SkinFontChanged();
  bool Hot() const { return hot_; }
  void Invalidate();

 private:
  void Attach();
  void Detach();
  void Paint();
  TskSkinData* skinData_ = nullptr;
  TskSkinData* attached_ = nullptr;
  TAlign align_ = alNone;
  bool hot_ = false;
};

// Lays out the aligned children of `parent` (top, bottom, left, right, then the one filling
// the rest), in their order of creation. Called when one changes and when the parent resizes.
void SkRealign(TWinControl* parent);
// Orders the child windows of `parent` by their TabOrder (Tab follows the window order).
void SkApplyTabOrder(TWinControl* parent);

class TskSkinButton : public TskSkinControl {
  QM_CLASS(TskSkinButton, TskSkinControl)
 public:
  explicit TskSkinButton(TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel = false;
  int ModalResult = 0;
  // Click: OnClick, then the modal result (when not 0) closes the form it sits on.
  void Click() override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateHandleDone() override;
  void PaintControl(HDC dc, const RECT& client) override;
  void WndProc(TMessage& m) override;

 private:
  bool default_ = false;
};

class TskSkinCheckBox : public TskSkinControl {
  QM_CLASS(TskSkinCheckBox, TskSkinControl)
 public:
  explicit TskSkinCheckBox(TComponent* owner);
  bool Checked() const;
  void SetChecked(bool value);
  void Click() override { OnClick(this); }

 protected:
  void CreateParams(TCreateParams& p) override;
  void PaintControl(HDC dc, const RECT& client) override;
  void WndProc(TMessage& m) override;

 private:
  bool checked_ = false;
};

// A one-line label that sizes itself to its text (unless AutoSize is false).
class TskSkinStdLabel : public TskSkinControl {
  QM_CLASS(TskSkinStdLabel, TskSkinControl)
 public:
  explicit TskSkinStdLabel(TComponent* owner);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  void SetText(const std::string& text) override;
  void Loaded() override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void PaintControl(HDC dc, const RECT& client) override;
  void SkinFontChanged() override;
  void CreateHandleDone() override;
  virtual SIZE TextExtent();
  void AdjustSize();
  virtual COLORREF TextColor() const;
  bool autoSize_ = true;
};

// A label with a soft shadow under its text.
class TskSkinShadowLabel : public TskSkinStdLabel {
  QM_CLASS(TskSkinShadowLabel, TskSkinStdLabel)
 public:
  explicit TskSkinShadowLabel(TComponent* owner);
  int ShadowSize = 2;
  COLORREF ShadowColor = 0;

 protected:
  void PaintControl(HDC dc, const RECT& client) override;
  SIZE TextExtent() override;
};

// A word-wrapped multi-line text; `Lines` is its text, one entry per paragraph.
class TskSkinTextLabel : public TskSkinStdLabel {
  QM_CLASS(TskSkinTextLabel, TskSkinStdLabel)
 public:
  explicit TskSkinTextLabel(TComponent* owner);
  ~TskSkinTextLabel() override;
  TStrings* Lines() const { return lines_.get(); }
  void SetLines(TStrings* value) { lines_->Assign(value); }

 protected:
  void PaintControl(HDC dc, const RECT& client) override;
  SIZE TextExtent() override;

 private:
  std::unique_ptr<TStringList> lines_;
};

// An underlined link with a hand cursor. Clicking runs OnClick and opens URL (when set) in
// the user's default browser. It is a push button underneath, so Tab reaches it and Space
// presses it.
class TskSkinLinkLabel : public TskSkinControl {
  QM_CLASS(TskSkinLinkLabel, TskSkinControl)
 public:
  explicit TskSkinLinkLabel(TComponent* owner);
  std::string URL;
  void Click() override;
  // The font the link is drawn in: an underlined copy of DrawFont() (the skin's font, or the
  // control's own when UseSkinFont is false).
  HFONT LinkFont();

 protected:
  void CreateParams(TCreateParams& p) override;
  void PaintControl(HDC dc, const RECT& client) override;
  void WndProc(TMessage& m) override;

 private:
  TskFontHandle underlined_;
  LOGFONTA underlinedFrom_ = {};
};

class TskSkinEdit : public TskSkinControl {
  QM_CLASS(TskSkinEdit, TskSkinControl)
 public:
  explicit TskSkinEdit(TComponent* owner);
  ~TskSkinEdit() override;
  std::string Text() const { return GetText(); }
  void SetTextProp(const std::string& t) { SetText(t); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateHandleDone() override;
  void PaintControl(HDC, const RECT&) override {}
  void WndProc(TMessage& m) override;
  void SkinFontChanged() override;

 private:
  HBRUSH BackBrush();
  HBRUSH brush_ = nullptr;
  COLORREF brushColor_ = CLR_INVALID;
  bool readOnly_ = false;
  int maxLength_ = 0;
};

// A plain skinned panel: a container with the skin's panel surface, optionally aligned.
class TskSkinPanel : public TskSkinControl {
  QM_CLASS(TskSkinPanel, TskSkinControl)
 public:
  explicit TskSkinPanel(TComponent* owner);
  bool Bordered = true;  // draw the panel surface and border; false: show the parent through

 protected:
  void CreateParams(TCreateParams& p) override;
  void PaintControl(HDC dc, const RECT& client) override;
  void WndProc(TMessage& m) override;
  virtual void PaintSurface(HDC dc, const RECT& client);
  friend LRESULT SkPaintBackgroundFor(TWinControl* c, HDC dc);
};

// A panel with a title band showing its caption.
class TskSkinExPanel : public TskSkinPanel {
  QM_CLASS(TskSkinExPanel, TskSkinPanel)
 public:
  explicit TskSkinExPanel(TComponent* owner);

 protected:
  void PaintSurface(HDC dc, const RECT& client) override;
};

// --- Pictures -------------------------------------------------------------------------------------

class TskPngImageItem : public TCollectionItem {
  QM_CLASS(TskPngImageItem, TCollectionItem)
 public:
  explicit TskPngImageItem(TCollection* collection);
  std::string Name;
  const TskPngImage& PngImage() const { return png_; }
  std::string PngData() const { return png_.Data(); }
  // Stored data: a damaged picture in it is an error (EPngError).
  void SetPngData(const std::string& bytes);
  // Raises EPngError with the file name and the reason; the previous picture stays.
  void LoadFromFile(const std::string& path);
  std::string DisplayName() const override { return Name; }

 private:
  TskPngImage png_;
};

class TskPngImageStorage : public TComponent {
  QM_CLASS(TskPngImageStorage, TComponent)
 public:
  explicit TskPngImageStorage(TComponent* owner);
  ~TskPngImageStorage() override;
  TCollection* PngImages() const { return images_.get(); }
  int Count() const { return images_->Count(); }
  TskPngImageItem* Item(int index) const;  // null when out of range
  TskPngImageItem* Add(const std::string& name);

 private:
  std::unique_ptr<TCollection> images_;
};

// Shows picture ImageIndex of a picture store, sized to it.
class TskPngImageView : public TskSkinControl {
  QM_CLASS(TskPngImageView, TskSkinControl)
 public:
  explicit TskPngImageView(TComponent* owner);
  TskPngImageStorage* PngImages() const { return store_; }
  void SetPngImages(TskPngImageStorage* value);
  int ImageIndex() const { return index_; }
  void SetImageIndex(int value);
  bool AutoSize = true;
  const TskPngImage* Picture() const;

 protected:
  void Notification(TComponent* c, TOperation op) override;
  void PaintControl(HDC dc, const RECT& client) override;
  void CreateParams(TCreateParams& p) override;

 private:
  void PictureChanged();
  TskPngImageStorage* store_ = nullptr;
  int index_ = -1;
};

// A picture of its own that loads a PNG file and sizes itself to it.
class TskSkinImage : public TskSkinControl {
  QM_CLASS(TskSkinImage, TskSkinControl)
 public:
  explicit TskSkinImage(TComponent* owner);
  const TskPngImage& Picture() const { return png_; }
  std::string PngData() const { return png_.Data(); }
  void SetPngData(const std::string& bytes);
  // Raises EPngError; on success the control takes the picture's size.
  void LoadFromFile(const std::string& path);
  void Clear();
  bool AutoSize = true;
  bool Center = false;

 protected:
  void PaintControl(HDC dc, const RECT& client) override;
  void CreateParams(TCreateParams& p) override;

 private:
  void PictureChanged();
  TskPngImage png_;
};

// A system icon (the message dialog's).
class TskIconView : public TskSkinControl {
  QM_CLASS(TskIconView, TskSkinControl)
 public:
  explicit TskIconView(TComponent* owner);
  HICON Icon = nullptr;  // shared system icon, not owned

 protected:
  void PaintControl(HDC dc, const RECT& client) override;
  void CreateParams(TCreateParams& p) override;
};
