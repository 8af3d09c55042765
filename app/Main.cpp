// Entry point: the run procedure does everything; the process ends when it returns.
#include <windows.h>

#include "app/CLMain.h"
#include "cookies/uMainForm.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunApplication(&frmMain); }
