// The form binding: the small component on each secondary window that, once the window has
// been loaded, hands the process-wide engine's skin data and language data to the window's
// components and optionally fixes the window's placement.
#pragma once

#include "components/Forms.h"

class TCLMultiLangData;

class TCLForm : public TComponent {
  QM_CLASS(TCLForm, TComponent)
 public:
  explicit TCLForm(TComponent* owner) : TComponent(owner) {}

  // Published switches, all off after construction.
  bool RuntimeSetSkinData = false;
  bool RuntimeSetLanguageData = false;
  bool RunTimeSetFormProperties = false;

  // Acts once the window's stored data has been read. The skin and language steps need an
  // owner that is a windowed control (EInvalidCast otherwise).
  void Loaded() override;

  // Every component owned by `window` with an empty published property of type "TskSkinData"
  // gets `skinData`; one that names its own keeps it.
  static void ApplySkinData(TComponent* window, TComponent* skinData);
  // Every component of class exactly "TCLMultiLang" without language data gets `data`.
  static void ApplyLanguageData(TComponent* window, TCLMultiLangData* data);
  // A form: unscaled, no automatic scroll bars or size, centred on the main window.
  static void ApplyFormProperties(TComponent* window);
};
