// The run procedure: command-line switches, the debug decision, one running instance per
// application identity, the hand-over of a command text to a running instance, and the main
// window's life.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "components/Forms.h"

using TCanStart = bool (*)();

// Runs the program with `mainFormClass` as its main window; `mainForm` receives it. Returns the
// process exit code: 0, or 1 when the main window could not be created (its error was shown).
int RunApplication(const TClassInfo& mainFormClass, TCustomForm** mainForm, TCanStart canStart = nullptr);
template <typename T>
int RunApplication(T** mainForm, TCanStart canStart = nullptr) {
  TCustomForm* f = nullptr;
  int code = RunApplication(T::StaticClass(), &f, canStart);
  *mainForm = static_cast<T*>(f);
  return code;
}

// The window of a running instance of this application ("App.ID" answers alike), or null.
HWND FindRunningInstance(const std::string& className);
void CloseRunningInstance(const std::string& className);
void BringRunningInstanceToFront(const std::string& className);
void SendCommandToRunningInstance(const std::string& className, const std::string& text);

// The debug decision of this start.
bool DebugMode();

// Whether the switch letter is present: an argument "-X" or "/X", without regard to case.
bool HasSwitch(const std::vector<std::string>& args, char letter);

// The name of the single-instance mutex for "App.GUID" on a system of the given platform
// (OSVERSIONINFO dwPlatformId) and major version: "Global\" + guid, but the bare guid on
// Windows 95/98/Me and NT 4, which know no "Global\" namespace and would refuse the name
// (every start would then run as a first instance).
std::string InstanceMutexName(const std::string& guid, DWORD platformId, DWORD majorVersion);
// The same for the running system.
std::string InstanceMutexName(const std::string& guid);

// The splash window is another unit's: it registers how to start one (create, show, repaint).
void RegisterSplashStarter(std::function<void()> start);

// Test seam: the key state read for the Ctrl+Shift start. A test cannot hold keys down for a
// process it starts under Wine, so its test program installs its own source; the program uses
// GetKeyState.
void SetKeyStateSource(SHORT (*source)(int virtualKey));

// How long a second start keeps looking for the window of an instance that holds the mutex
// but has not created its window yet, or for the mutex of a closing one to be freed, and how
// often.
constexpr DWORD kInstanceWaitMs = 5000;
constexpr DWORD kInstancePollMs = 50;
// Answers from another instance are awaited at most this long (a hung instance does not hang
// every later start).
constexpr UINT kInstanceAnswerMs = 10000;
