// Entry point: the run procedure does everything; the process ends when it returns.
#include <windows.h>

#include "app/CLMain.h"
#include "cookies/uMainForm.h"
#include "framework/CLEngineWindows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  UseFrameworkWindows();  // the engine's About and Update commands open the framework's windows
  return RunApplication(&frmMain);
}
