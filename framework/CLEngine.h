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
class TCLMultiLangData;
class TCLDownloadRegistry;

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

  // Work of other parts of the engine that runs inside Loaded and PostStartWork; each is
  // skipped while empty. Skin and language set-up (Loaded, with loading set), the automatic
  // update check (PostStartWork, when "Update.BeginAuto").
  std::function<void(TCLEngine*)> InitSkinHook;
  std::function<void(TCLEngine*)> InitLanguageHook;
  std::function<void(TCLEngine*)> AutoCheckUpdateHook;

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
  static constexpr size_t kMaxPendingTexts = 1000;
  std::deque<std::string> pendingTexts_;

  TCustomForm* ownerForm_ = nullptr;
  TWndMethod oldWndProc_;
  UINT msgs_[5] = {};
  bool initPending_ = true;
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
};

// Command-line arguments after the program name, split by the usual C rules.
std::vector<std::string> CommandLineArgs();
// A first argument that is a command text (neither "-" nor "/" first); empty when none.
bool FirstArgIsText(const std::vector<std::string>& args);
