// A main window for the engine tests: engine, skin data, language data and menus read from a
// stored text composed per test, with handlers that log the engine's events.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/Forms.h"
#include "framework/CLEngine.h"
#include "lang/CLMultiLang.h"
#include "support/TestSupport.h"
#include "toolkit/Menus.h"
#include "toolkit/SkinData.h"

class TfrmEngineHost : public TForm {
  QM_CLASS(TfrmEngineHost, TForm)
 public:
  explicit TfrmEngineHost(TComponent* owner) : TForm(owner) {}
  TCLEngine* engine1 = nullptr;
  TskSkinData* skin1 = nullptr;
  TCLMultiLangData* lang1 = nullptr;
  TMenuItem* mniSkins = nullptr;
  TMenuItem* mniLanguages = nullptr;
  TskCompressedStoredSkin* stored1 = nullptr;
  TskResourceStrData* res1 = nullptr;

  void SkinChanged(TObject* sender);
  void LanguageChanged(TObject* sender);
  void TitleChanged(TObject* sender);
  // Each event as "skin", "language" or "title", with whether the engine was still loading.
  std::vector<std::string> Events;
};

struct THostOptions {
  std::string Overwrite;       // extra SettingOverwrite lines, "Key=Value" quoted list items
  bool Skin = true;            // skin data with a built-in stored skin
  bool Language = true;        // language data with test texts
  bool Menus = false;          // SkinMenuItem and LanguageMenuItem
  bool TitleIncludeVer = true;
  std::string Caption = "Stored caption";
};

// The stored text of the host for `options`.
std::string HostText(const THostOptions& options);
// Registers the text and creates the window (unowned; delete it).
std::unique_ptr<TfrmEngineHost> CreateHost(const THostOptions& options);
// Runs the window's messages until the engine's post-start work is done.
bool WaitPostStart(TfrmEngineHost* host);

// A folder beside the test program (the engine finds skins and languages there), removed
// again at the end.
class TProgramFolder {
 public:
  explicit TProgramFolder(const std::string& tag);
  ~TProgramFolder();
  TProgramFolder(const TProgramFolder&) = delete;
  TProgramFolder& operator=(const TProgramFolder&) = delete;
  const std::string& Name() const { return name_; }  // relative to the program folder
  std::string Path(const std::string& file) const;   // full path of a file in it

 private:
  std::string name_;
};

// A skin file built with the program ("Frost.skn", "Graphite.skn", "Meadow.nsf.skn").
std::string BuiltSkin(const std::string& fileName);
// The name written inside a skin file's description, as the skin data reports it once loaded.
std::string SkinNameOf(const std::string& fileName);
// Forgets the stored choices of earlier runs.
void ResetStoredChoices();
