// TraceViewer: shows the trace lines that programs in debug mode send through the shared
// memory queue, and can append them to a file for scripts.
#include <windows.h>

#include <string>

#include "platform/Handles.h"
#include "tools/QVTools.h"
#include "tools/traceviewer/ViewerArgs.h"
#include "tools/traceviewer/ViewerHost.h"
#include "tools/traceviewer/ViewerWindow.h"

namespace {

// Lets the program find this viewer: it reads the value before starting "TraceViewer.exe".
void RegisterViewerPath() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillmoor\\TraceViewer", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  TRegKey owned(key);
  std::string path = QV_GetModuleFileName();
  RegSetValueExA(key, "TraceViewer", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>(path.size() + 1));
}

// Tells the program that started us (-a PID) that the queue is ready for its lines.
void SignalStarted() {
  TKernelHandle started(OpenEventA(EVENT_MODIFY_STATE, FALSE,
                                   QV_GlobalObjectName("TraceViewerStartEvent").c_str()));
  if (started) SetEvent(started.get());
}

int Run(int showCmd) {
  TViewerArgs args = ParseViewerArgs(ViewerCommandTail(GetCommandLineA()));
  // One viewer drains the queue; a second start (the program starts one on every run) only
  // brings the first to the front.
  TKernelHandle instance(CreateMutexA(nullptr, FALSE, QV_GlobalObjectName("TraceViewerInstance").c_str()));
  if (instance && GetLastError() == ERROR_ALREADY_EXISTS) {
    HWND other = FindWindowA(TViewerWindow::kClassName, nullptr);
    if (other) SetForegroundWindow(other);
    if (args.attachPid) SignalStarted();
    return 0;
  }
  RegisterViewerPath();
  TViewerHost host;
  std::string error;
  if (!host.Create(&error)) {
    // The program need not wait the full start time for a viewer that cannot serve it, and a
    // script (-o) gets no dialog that would wait for a click.
    if (args.attachPid) SignalStarted();
    if (args.outputFile.empty()) MessageBoxA(nullptr, error.c_str(), "TraceViewer", MB_ICONERROR);
    return 1;
  }
  if (!args.outputFile.empty() && !host.OpenLog(args.outputFile)) {
    if (args.attachPid) SignalStarted();
    return 2;
  }
  std::string title = "TraceViewer";
  if (args.attachPid) title += " - process " + std::to_string(args.attachPid);
  TViewerWindow window(host);
  // The drain thread hands records to the window, so it stops before the window goes, on
  // every way out of this function.
  struct TStopHost {
    TViewerHost& host;
    ~TStopHost() { host.Stop(); }
  } stopHost{host};
  if (!window.Create(title, showCmd)) return 1;
  if (args.filterGiven) {
    TTraceFilterFields f;
    f.enabled = true;
    f.level = args.filterLevel;
    f.tag = args.filterTag;
    f.kinds = args.filterKinds;
    window.ApplyFilter(f);
  }
  if (!host.Start([&window](std::vector<TTraceRecord>&& records) { window.Deliver(std::move(records)); }))
    return 1;
  if (args.attachPid) SignalStarted();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCmd) {
  try {
    return Run(showCmd);
  } catch (...) {
    return 1;
  }
}
