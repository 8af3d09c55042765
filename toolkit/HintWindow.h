// The hint window: a tooltip in the skin's hint colours for every control of its form that
// has a Hint and ShowHint set.
#pragma once

#include <windows.h>

#include "components/Forms.h"
#include "toolkit/SkinData.h"

// A tooltip window for `owner` drawn the toolkit's way: plain, since under visual styles a
// tooltip ignores the colours it is given, and outlined in the skin's HintBorder. Null when the
// common controls cannot make one.
HWND SkCreateHintTip(HWND owner);
// The skin's hint colours, border and font on such a tooltip.
void SkStyleHintTip(HWND tip, const TskSkin& skin);

class TskHintWindow : public TComponent, public TskSkinClient {
  QM_CLASS(TskHintWindow, TComponent)
 public:
  explicit TskHintWindow(TComponent* owner);
  ~TskHintWindow() override;
  TskSkinData* SkinData = nullptr;
  // Registers the hints of the owner form's controls (run again after adding controls).
  void UpdateHints();
  HWND Handle() const { return tip_; }
  void Loaded() override;
  void SkinChanged() override;
  void SkinDataGone(TskSkinData* data) override;

 private:
  HWND tip_ = nullptr;
  TskSkinData* attached_ = nullptr;
};
