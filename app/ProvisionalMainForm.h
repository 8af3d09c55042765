// The main window of the program for now: an empty window carrying the engine.
#pragma once

#include "components/Forms.h"
#include "framework/CLEngine.h"

class TfrmMain : public TForm {
  QM_CLASS(TfrmMain, TForm)
 public:
  explicit TfrmMain(TComponent* owner) : TForm(owner) {}
  TCLEngine* engine1 = nullptr;
  void FormCreate(TObject*) {}
  void FormCloseQuery(TObject*, bool& canClose) { canClose = true; }
};

extern TfrmMain* frmMain;
