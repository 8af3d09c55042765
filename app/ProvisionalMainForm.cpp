// The main window of the program for now: an empty window carrying the engine, until the
// cookie cleaner's own main window replaces it.
#include "app/ProvisionalMainForm.h"

QM_REGISTER_CLASS(TfrmMain, b) {
  b.Field("engine1", &TfrmMain::engine1);
  b.Method("FormCreate", &TfrmMain::FormCreate);
  b.Method("FormCloseQuery", &TfrmMain::FormCloseQuery);
}

TfrmMain* frmMain = nullptr;
