// Skinned forms. Every form that holds a skinned control gets a hook (created on demand) that
// paints the client background from the skin, lays out aligned panels when the form resizes,
// and gives the default and cancel buttons Enter and Escape. TskDynamicSkinForm, placed on a
// form, also draws the window frame and caption from the skin when the skin frames windows.
#pragma once

#include <map>

#include "components/Forms.h"
#include "toolkit/Menus.h"
#include "toolkit/SkinData.h"

class TskSkinButton;

// Installs the form hook once; later calls do nothing.
void SkEnsureFormHook(TCustomForm* form);
// The enabled, visible button of `form` marked Default (or Cancel), or null.
TskSkinButton* SkFindDefaultButton(TWinControl* parent, bool cancel);

class TskDynamicSkinForm : public TComponent, public TskSkinClient {
  QM_CLASS(TskDynamicSkinForm, TComponent)
 public:
  // The owner must be a form (EInvalidCast otherwise).
  explicit TskDynamicSkinForm(TComponent* owner);
  ~TskDynamicSkinForm() override;

  TskSkinData* SkinData() const { return skinData_; }
  void SetSkinData(TskSkinData* value);
  // The pop-up menu shown as the window's system menu (its items come first, then the
  // window's own Minimize and Close).
  TskPopupMenu* SystemMenu() const { return systemMenu_; }
  void SetSystemMenu(TskPopupMenu* value);

  // True while the frame is drawn from the skin (the skin frames windows and a skin is in
  // effect); false while the system frame shows.
  bool Framed() const { return framed_; }
  // Shows the system menu under the system-menu button (as Alt+Space does).
  void ShowSystemMenu();
  // Where the caption buttons are, in window coordinates (for tests and hit testing).
  enum TCaptionButton { cbNone, cbSystem, cbMinimize, cbClose };
  RECT CaptionButtonRect(TCaptionButton which) const;

  // The tooltip of the caption buttons (HINT_SYSMENU, HINT_MINIMIZE, HINT_CLOSE), made when the
  // mouse first rests on one; null before.
  HWND CaptionHintHandle() const { return captionTip_; }

  void Loaded() override;
  void SkinChanged() override;
  void SkinDataGone(TskSkinData* data) override;

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  TskSkinData* EffectiveSkinData() const;
  void Hook(TMessage& m);
  void UpdateFrame();
  void SetFramed(bool value);
  void PaintFrame();
  void UpdateRegion();
  void ClearRegion();
  TCaptionButton HitButton(POINT windowPt) const;
  void TrackButton(TCaptionButton which);
  void AppendToNativeSystemMenu();
  bool HasMinimize() const;
  HWND Wnd() const;
  void RelayToCaptionHint(UINT msg, POINT screenPt);
  void UpdateCaptionHints();

  TCustomForm* form_;
  TWndMethod oldProc_;
  TskSkinData* skinData_ = nullptr;
  TskSkinData* attached_ = nullptr;
  TskPopupMenu* systemMenu_ = nullptr;
  bool framed_ = false;
  bool active_ = true;
  TCaptionButton hot_ = cbNone;
  TCaptionButton pressed_ = cbNone;
  LONG savedStyle_ = 0;
  HWND captionTip_ = nullptr;
  std::map<UINT, TMenuItem*> nativeIds_;
  bool nativeMenuDone_ = false;
  // The window size and corner radius the window's region was made for (corner 0: none set).
  // Every WM_SIZE, the first showing's too, would hand the system the same shape again, and
  // setting a region redraws the whole window.
  SIZE regionSize_ = {0, 0};
  int regionCorner_ = 0;
};
