// The engine's About and Update commands opening the framework's real windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "framework/CLEngineWindows.h"
#include "net/CLAboutForm.h"
#include "net/CLUpdateForm.h"
#include "tests/engine/EngineTestHost.h"

namespace {
template <typename T>
std::vector<T*> OwnedOf(TComponent* owner) {
  std::vector<T*> found;
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (auto* t = dynamic_cast<T*>(owner->Components(i))) found.push_back(t);
  return found;
}
}  // namespace

TEST(EngineWindows, AboutOpensModallyInsideTheParentWindowAndUpdateChecksStart) {
  ResetStoredChoices();
  TCLEngineWindows saved = EngineWindows();
  UseFrameworkWindows();
  auto host = CreateHost({});
  ASSERT_TRUE(WaitPostStart(host.get()));

  TForm parent(nullptr);
  parent.HandleNeeded();
  host->engine1->ParentHWND = static_cast<unsigned>(reinterpret_cast<uintptr_t>(parent.Handle()));
  std::atomic<bool> seen{false}, child{false};
  HWND parentWnd = parent.Handle();
  std::thread closer([&] {
    HWND about = nullptr;
    for (int i = 0; i < 400; ++i) {
      about = FindWindowExA(parentWnd, nullptr, "TfrmCLAboutForm", nullptr);
      if (!about) about = FindWindowA("TfrmCLAboutForm", nullptr);
      // Shown modally only once it has been put into the parent (which itself is hidden, so
      // the style tells, not IsWindowVisible).
      if (about && (GetWindowLongA(about, GWL_STYLE) & WS_VISIBLE)) {
        seen = true;
        child = GetAncestor(about, GA_PARENT) == parentWnd;
        break;
      }
      Sleep(25);
    }
    if (about) PostMessageA(about, WM_CLOSE, 0, 0);
  });
  host->engine1->ShowAbout();
  closer.join();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(child);

  // A manual check without showing, then an automatic one: both windows belong to the
  // engine's owner and are not shown by the engine.
  host->engine1->CheckUpdate(false);
  auto forms = OwnedOf<TfrmCLUpdateForm>(host.get());
  ASSERT_EQ(forms.size(), 1u);
  EXPECT_TRUE(forms[0]->Manual());
  EXPECT_FALSE(IsWindowVisible(forms[0]->Handle()));
  host->engine1->AutoCheckUpdate();  // never checked before: due
  forms = OwnedOf<TfrmCLUpdateForm>(host.get());
  ASSERT_EQ(forms.size(), 2u);
  EXPECT_FALSE(forms[1]->Manual());
  host.reset();
  SetEngineWindows(saved);
}
