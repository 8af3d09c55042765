#include "app/CLMain.h"

#include <cctype>

#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "platform/CLSplashForm.h"
#include "platform/LibraryPreload.h"
#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

namespace {

bool gDebugMode = false;
std::function<void()>& SplashStarter() {
  static std::function<void()> starter = &ShowSplashForm;
  return starter;
}
SHORT (*gKeyState)(int) = nullptr;  // null: GetKeyState

bool KeyHeld(int vk) {
  SHORT state = gKeyState ? gKeyState(vk) : GetKeyState(vk);
  return (static_cast<unsigned short>(state) & 0x8000) != 0;
}

// Sends and waits for the answer, but not forever.
LRESULT SendAndWait(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, bool* answered = nullptr) {
  DWORD_PTR result = 0;
  LRESULT ok = SendMessageTimeoutA(wnd, msg, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG, kInstanceAnswerMs, &result);
  if (answered) *answered = ok != 0;
  return ok ? static_cast<LRESULT>(result) : 0;
}

// The mutex is taken: either another instance runs (its window may not exist yet, so it is
// looked for a while rather than the text dropped), or the previous copy is closing, with its
// window gone and the mutex held until its process ends. Both are waited for, at most
// kInstanceWaitMs: the window found gets the hand-over, the mutex freed lets this start run.
// Null with `claimed` false: neither came in time.
HWND WaitForInstanceOrMutex(const std::string& className, const std::string& mutexName, bool& claimed) {
  const DWORD start = GetTickCount();
  claimed = false;
  for (;;) {
    if (HWND wnd = FindRunningInstance(className)) return wnd;
    if (QV_CreateInstanceMutex(mutexName)) {
      claimed = true;
      return nullptr;
    }
    if (GetTickCount() - start >= kInstanceWaitMs) return nullptr;
    Sleep(kInstancePollMs);
  }
}

}  // namespace

bool DebugMode() { return gDebugMode; }

void RegisterSplashStarter(std::function<void()> start) { SplashStarter() = std::move(start); }

void SetKeyStateSource(SHORT (*source)(int)) { gKeyState = source; }

bool HasSwitch(const std::vector<std::string>& args, char letter) {
  for (const std::string& a : args) {
    if (a.size() != 2 || (a[0] != '-' && a[0] != '/')) continue;
    if (std::tolower(static_cast<unsigned char>(a[1])) == std::tolower(static_cast<unsigned char>(letter))) return true;
  }
  return false;
}

std::string InstanceMutexName(const std::string& guid, DWORD platformId, DWORD majorVersion) {
  return QV_HasGlobalNamespaceFor(platformId, majorVersion) ? "Global\\" + guid : guid;
}

std::string InstanceMutexName(const std::string& guid) { return QV_GlobalObjectName(guid); }

HWND FindRunningInstance(const std::string& className) {
  const int ownId = GetSettings()->ReadInteger("App.ID");
  const UINT getAppId = RegisterWindowMessageA(kMsgGetAppID);
  HWND wnd = nullptr;
  while ((wnd = FindWindowExA(nullptr, wnd, className.c_str(), nullptr)) != nullptr) {
    bool answered = false;
    LRESULT id = SendAndWait(wnd, getAppId, 0, 0, &answered);
    if (answered && static_cast<int>(id) == ownId) return wnd;
  }
  return nullptr;
}

void CloseRunningInstance(const std::string& className) {
  HWND wnd = FindRunningInstance(className);
  if (wnd) SendAndWait(wnd, RegisterWindowMessageA(kMsgCloseApp), 0, 0);
}

void BringRunningInstanceToFront(const std::string& className) {
  HWND wnd = FindRunningInstance(className);
  if (!wnd) return;
  if (SendAndWait(wnd, RegisterWindowMessageA(kMsgIfBusy), 0, 0) != 1) QV_ForceForegroundWindow(wnd);
}

void SendCommandToRunningInstance(const std::string& className, const std::string& text) {
  HWND wnd = FindRunningInstance(className);
  if (!wnd) return;
  COPYDATASTRUCT record = {};
  record.dwData = 0;
  record.cbData = static_cast<DWORD>(text.size());
  record.lpData = const_cast<char*>(text.data());
  SendAndWait(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
}

int RunApplication(const TClassInfo& mainFormClass, TCustomForm** mainForm, TCanStart canStart) {
  const std::string className = mainFormClass.Name();
  const std::vector<std::string> args = CommandLineArgs();

  GetDebugger()->OutputEnabled = false;
  GetDebugger()->AutoStartViewer = false;

  // Install and uninstall runs only ask the program to end: nothing is read or written.
  if (HasSwitch(args, 'i') || HasSwitch(args, 'u')) return 0;
  if (HasSwitch(args, 's')) {
    CloseRunningInstance(className);
    FreeSettings();
    return 0;
  }
  if (HasSwitch(args, 'r')) {
    CloseRunningInstance(className);
    Sleep(2000);
  }

  // The common controls library (which the system's buttons, labels and edit boxes come from
  // under a manifest asking for its version 6, and with it the display driver and the theme
  // library) and the blending library of the first paint load on a thread of their own while the
  // settings are read: loaded by the first label of the main window, they held up its start.
  // Nothing of the window system is called until they are in: a window call made while another
  // thread starts the display driver inside the loader was seen to deadlock under Wine.
  TLibraryPreload preload({"comctl32.dll", "msimg32.dll"});
  TCLSettings* settings = GetSettings();
  preload.Wait();

  bool keys = KeyHeld(VK_CONTROL) && KeyHeld(VK_SHIFT);
  gDebugMode = ((settings->ReadBool("Debug.Enabled") || keys) && !settings->ReadBool("Debug.Disabled")) ||
               HasSwitch(args, 'd');
  GetDebugger()->OutputEnabled = gDebugMode;
  GetDebugger()->AutoStartViewer = gDebugMode;
  if (gDebugMode) Trace("Enter Debug Mode...");

  auto endEarly = [] {
    FreeSettings();
    return 0;
  };
  if (HasSwitch(args, 'a') && !settings->ReadBool("App.Autorun")) return endEarly();
  if (canStart && !canStart()) return endEarly();

  if (!settings->ReadBool("App.Multiple")) {
    const std::string mutexName = InstanceMutexName(settings->ReadString("App.GUID"));
    bool claimed = QV_CreateInstanceMutex(mutexName);
    if (!claimed && WaitForInstanceOrMutex(className, mutexName, claimed)) {
      BringRunningInstanceToFront(className);
      if (FirstArgIsText(args)) SendCommandToRunningInstance(className, args[0]);
    }
    if (!claimed) return endEarly();
  }

  TApplication* app = Application();
  app->Initialize();
  if (settings->ReadBool("App.Splash") && SplashStarter()) GuardedCall(SplashStarter());

  int code = 0;
  try {
    app->CreateForm(mainFormClass, mainForm);
  } catch (const std::exception& e) {
    app->ShowException(e);
    code = 1;
  } catch (...) {
    // Not every error is a std::exception (a component or a library may throw anything):
    // escaping here would end the process without a word.
    app->ShowException(Exception("The main window could not be created: unknown error"));
    code = 1;
  }
  if (code == 0) {
    app->ShowMainForm = !HasSwitch(args, 'h');
    app->Run();
  }
  if (mainForm) *mainForm = nullptr;
  FreeApplication();
  FreeSettings();
  return code;
}
