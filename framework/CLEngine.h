// The application engine: the non-visual component on the main window that becomes the
// process-wide engine, feeds the settings store its two key lists, hooks the window procedure
// of its form to answer the other instances, and runs the post-start work once the message
// loop runs.
#pragma once

#include <oaidl.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "components/Forms.h"
#include "framework/NameValueIndex.h"
#include "net/SingleDownloader.h"

class TCLEngine;
struct TCLEngineHookState;
class TCLMultiLangData;
class TCLDownloadRegistry;
class TskSkinData;
class TskSkinMessage;
class TskCompressedStoredSkin;
class TMenuItem;

// The framework windows the engine opens (About, Update). The units that define them register
// their openers here, so that the engine links without them; a window nobody registered is
// not opened.
struct TCLEngineWindows {
  // Creates the About window owned by `owner`; a child of `parent` at 0,0 when that is not
  // null; shown modally.
  std::function<void(TComponent* owner, HWND parent)> ShowAbout;
  // Creates the Update window owned by `owner` and starts a manual or an automatic check;
  // shows it modally when `show`.
  std::function<void(TComponent* owner, bool manual, bool show)> CheckUpdate;
};
void SetEngineWindows(const TCLEngineWindows& windows);
const TCLEngineWindows& EngineWindows();

// The process-wide engine: the first engine created, or null.
TCLEngine* GetEngine();

// The engine's SettingOverwrite and SettingDefault lists, consulted while an engine exists.
bool EngineSettingOverwrite(const std::string& key, std::string* value);
bool EngineSettingDefault(const std::string& key, std::string* value);

// The inter-instance message names (registered by every instance).
extern const char* const kMsgGetAppID;  // "CL GetAppID"
extern const char* const kMsgCloseApp;  // "CL CloseApp"
extern const char* const kMsgInitPost;  // "CL InitPost"
extern const char* const kMsgCmdParam;  // "CL CmdParam"
extern const char* const kMsgIfBusy;    // "CL IfBusy"

// A text handed to the application on the command line.
using TOnCmdFile = TEvent<const std::string&>;

class TCLEngine : public TComponent {
  QM_CLASS(TCLEngine, TComponent)
 public:
  // The owner must be a form (EInvalidCast otherwise).
  explicit TCLEngine(TComponent* owner);
  ~TCLEngine() override;
  void Loaded() override;

  // Published properties.
  TComponent* SkinData() const { return skinData_; }  // declared type "TskSkinData"
  void SetSkinData(TComponent* c) { SetLink(skinData_, c); }
  TComponent* SkinMenuItem() const { return skinMenuItem_; }  // "TMenuItem"
  void SetSkinMenuItem(TComponent* c) { SetLink(skinMenuItem_, c); }
  TNotifyEvent OnSkinChanged;
  TCLMultiLangData* LanguageData() const { return languageData_; }
  void SetLanguageData(TCLMultiLangData* d);
  TComponent* LanguageMenuItem() const { return languageMenuItem_; }  // "TMenuItem"
  void SetLanguageMenuItem(TComponent* c) { SetLink(languageMenuItem_, c); }
  TNotifyEvent OnLanguageChanged;
  // The two key lists belong to the engine; the setters copy the lines.
  TStrings* SettingOverwrite() const { return settingOverwrite_.get(); }
  void SetSettingOverwrite(TStrings* lines) { settingOverwrite_->Assign(lines); }
  TStrings* SettingDefault() const { return settingDefault_.get(); }
  void SetSettingDefault(TStrings* lines) { settingDefault_->Assign(lines); }
  unsigned ParentHWND = 0;
  TOnCmdFile OnCmdFile;
  TNotifyEvent OnTitleChange;
  bool TitleIncludeVer() const { return titleIncludeVer_; }
  void SetTitleIncludeVer(bool value);
  bool InternalMode = false;

  // The owner form's replacement window procedure (installed unless designing).
  void EngineWndProc(TMessage& message);
  // Run when "CL InitPost" arrives: change events, title, automatic update, command line.
  // Runs once per engine, while InitPending is set; each step runs guarded (an error goes to
  // the application's error handling) and InitPending is cleared last in every case.
  void PostStartWork();
  void UpdateTitle();
  std::string GetApplicationName() const;

  std::string GetResString(const std::string& section, const std::string& key) const;
  std::string GetLibRes(const std::string& key) const { return GetResString("LibRes", key); }
  std::string GetAppRes(const std::string& key) const { return GetResString("AppRes", key); }
  // From the process-wide engine; a missing text shows as "[LibRes]"/"[AppRes]" + key.
  static std::string GetResText(const std::string& key, bool isLibRes);
  void MergeResSection(const std::string& section, TStrings* strings) const;

  TCustomForm* OwnerForm() const { return ownerForm_; }
  bool InitPending() const { return initPending_; }
  const std::string& CommandText() const { return commandText_; }
  const std::string& Title() const { return title_; }
  bool IsLoading() const { return loading_; }
  // The registered numbers, in the order GetAppID, CloseApp, InitPost, CmdParam, IfBusy.
  const UINT* MessageNumbers() const { return msgs_; }
  // Limits of the texts other processes hand over with WM_COPYDATA: a longer text than the
  // longest command line is refused, and so is a text that would take the texts waiting for
  // their "CL CmdParam" past the total.
  static constexpr size_t kMaxCommandTextBytes = 32767;
  static constexpr size_t kMaxPendingTextBytes = 1024 * 1024;
  static constexpr size_t kMaxPendingTexts = 1000;

  // Web actions and request addresses (CLEngineWeb.cpp).
  std::string GetQueryParams() const;
  std::string GetActionURL(const std::string& action, bool withParams) const;
  void OpenURL(const std::string& url) const;
  void OpenActionPage(const std::string& action) const;
  // The before-navigate handler for embedded browsers: "wcme:" links become actions.
  void HandleBeforeNavigate(TObject* sender, IDispatch* pDisp, VARIANT& url, VARIANT& flags,
                            VARIANT& targetFrameName, VARIANT& postData, VARIANT& headers,
                            VARIANT_BOOL& cancel);
  // The download registry (CLDownloadRegistry.cpp): each address fetched once per process.
  void DownloadFile(const std::string& url, const std::string& fileName, const TOnDoneFileEvent& onDone);
  void ReleaseDownload(const std::string& url);
  const TCLDownloadRegistry* Downloads() const { return downloads_.get(); }

  // A message box from the language data: Text = GetResText(key), "{1}".. filled from `args`,
  // captioned with the application name. With a ShowAgainID not 0 the box offers "do not show
  // again"; once ticked, later calls with that ID return at once (DefaultResult when not 0,
  // else the stored answer). `dlgType` and `buttons` number as TMsgDlgType and TMsgDlgBtn.
  int ShowResMessage(const std::string& key, const std::vector<std::string>& args, int showAgainID, int dlgType,
                     unsigned buttons, int defaultResult, bool isLibRes);
  // The skinned message-box component, created on first use and owned by the owner form.
  TskSkinMessage* GetSkinMessage();
  void ShowAbout();
  void CheckUpdate(bool show);
  // Starts a silent check when "Update.Days" have passed since "Update.LastDate".
  void AutoCheckUpdate();

  // Skin and language selection (CLEngineSkinLang.cpp).
  void SetSkin(const std::string& name);
  void SetLanguage(const std::string& name);
  TStrings* GetSkinList();
  TStrings* GetLanguageList();
  void BuildSkinMenu(TMenuItem* parent);
  void BuildLanguageMenu(TMenuItem* parent);
  void InitSkin();
  void InitLanguage();
  void SkinMenuClick(TObject* sender);
  void LanguageMenuClick(TObject* sender);
  const std::string& SkinName() const { return skinName_; }
  const std::string& LanguageName() const { return languageName_; }
  const std::vector<TMenuItem*>& SkinMenuItems() const { return skinMenuItems_; }
  const std::vector<TMenuItem*>& LanguageMenuItems() const { return languageMenuItems_; }

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  template <typename T>
  void SetLink(T*& field, T* value) {
    if (field == value) return;
    if (field) RemoveFreeNotification(field);
    field = value;
    if (value) FreeNotification(value);
  }
  void HandleCopyData(TMessage& message);
  void CommandLineStep();
  void QueueText(const std::string& text);
  bool TakePendingText();
  void Unhook();
  std::deque<std::string> pendingTexts_;
  size_t pendingBytes_ = 0;

  TCustomForm* ownerForm_ = nullptr;
  // The previous window procedure and the engine the hook calls, shared with the hook itself:
  // a hook put on the form later keeps calling the engine's, which outlives the engine as a
  // plain forwarder.
  std::shared_ptr<TCLEngineHookState> hook_;
  UINT msgs_[5] = {};
  bool initPending_ = true;
  bool postStartBegun_ = false;
  std::string commandText_;
  bool loading_ = false;
  std::string title_;
  bool titleIncludeVer_ = true;
  TComponent* skinData_ = nullptr;
  TComponent* skinMenuItem_ = nullptr;
  TCLMultiLangData* languageData_ = nullptr;
  TComponent* languageMenuItem_ = nullptr;
  std::unique_ptr<TStringList> settingOverwrite_;
  std::unique_ptr<TStringList> settingDefault_;
  // Lookup tables of the two key lists, rebuilt on the first read after a list changed.
  mutable TNameValueIndex overwriteIndex_;
  mutable TNameValueIndex defaultIndex_;
  friend bool EngineSettingOverwrite(const std::string& key, std::string* value);
  friend bool EngineSettingDefault(const std::string& key, std::string* value);
  std::shared_ptr<TCLDownloadRegistry> downloads_;  // created on first use

  // Skin and language state (CLEngineSkinLang.cpp).
  TskSkinData* SkinDataObject() const;
  void CheckItems(const std::vector<TMenuItem*>& items, TStrings* list, const std::string& name);
  void BuildMenu(TMenuItem* parent, TStrings* list, std::vector<TMenuItem*>& items, const std::string& current,
                 void (TCLEngine::*click)(TObject*));
  void ForgetLink(TComponent* c);
  std::string skinName_;
  std::string languageName_;
  std::unique_ptr<TStringList> skinList_;
  std::unique_ptr<TStringList> languageList_;
  std::vector<TMenuItem*> skinMenuItems_;
  std::vector<TMenuItem*> languageMenuItems_;
  TskCompressedStoredSkin* defaultStoredSkin_ = nullptr;
  bool defaultSkinnableForm_ = true;
  TskSkinMessage* skinMessage_ = nullptr;
};

// Command-line arguments after the program name, split by the usual C rules.
std::vector<std::string> CommandLineArgs();
// A first argument that is a command text (neither "-" nor "/" first); empty when none.
bool FirstArgIsText(const std::vector<std::string>& args);
