// Entry point: the run procedure does everything; the process ends when it returns.
#include <windows.h>

#include "app/CLMain.h"
#include "cookies/uMainForm.h"
#include "framework/CLEngineWindows.h"
#include "platform/TraceChannel.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  UseFrameworkWindows();  // the engine's About and Update commands open the framework's windows
  // The debugger outlives the run procedure, which switches it and traces through it, and goes
  // with the program, closing its handles to the viewer's objects.
  GetDebugger();
  const int exitCode = RunApplication(&frmMain);
  FreeDebugger();
  return exitCode;
}
