#include "framework/CLEngineWindows.h"

#include "framework/CLEngine.h"
#include "net/CLAboutForm.h"
#include "net/CLUpdateForm.h"

void UseFrameworkWindows() {
  TCLEngineWindows w;
  w.ShowAbout = [](TComponent* owner, HWND parent) { CLShowAbout(owner, parent); };
  w.CheckUpdate = [](TComponent* owner, bool manual, bool show) {
    if (manual && show) {
      CLCheckUpdate(owner);
    } else if (manual) {
      NewForm<TfrmCLUpdateForm>(owner)->StartCheck(true);
    } else {
      // The window decides itself whether it is shown, and then frees itself.
      CLAutoCheckUpdate(owner);
    }
  };
  SetEngineWindows(w);
}
