#include "framework/CLEngine.h"

#include <cstdlib>

#include "framework/CLEngineRules.h"
#include "framework/CLSettings.h"
#include "framework/IniText.h"
#include "lang/CLMultiLang.h"

const char* const kMsgGetAppID = "CL GetAppID";
const char* const kMsgCloseApp = "CL CloseApp";
const char* const kMsgInitPost = "CL InitPost";
const char* const kMsgCmdParam = "CL CmdParam";
const char* const kMsgIfBusy = "CL IfBusy";

struct TCLEngineHookState {
  TCLEngine* Engine = nullptr;  // null once the engine is gone: the hook only passes on then
  TWndMethod Old;
};

namespace {
TCLEngine* gEngine = nullptr;
enum { kGetAppID, kCloseApp, kInitPost, kCmdParam, kIfBusy };

// What the engine puts into its form's WindowProc: a type of its own, so that the engine can
// tell, when it goes, whether the form's procedure is still its hook.
struct TEngineHook {
  std::shared_ptr<TCLEngineHookState> State;
  void operator()(TMessage& m) const {
    if (State->Engine)
      State->Engine->EngineWndProc(m);
    else if (State->Old)
      State->Old(m);
  }
};

// An elevated first instance on Vista and later would not hear a normal second start, since
// the system drops registered and data-carrying messages sent up the integrity levels. Only
// what another copy of the program sends is let through; the messages that the instance posts
// to itself (the post-start step, the held command text) stay closed, so that no other process
// can set them off. Looked up by name, since older systems have no such call.
void AllowInstanceMessages(const UINT* msgs) {
  using TChangeFilter = BOOL(WINAPI*)(UINT, DWORD);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  auto change = user32 ? reinterpret_cast<TChangeFilter>(
                             reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")))
                       : nullptr;
  if (!change) return;
  const DWORD kAdd = 1;  // MSGFLT_ADD
  // A second start asks each window of the class for its application identity, to find its
  // own first instance among others.
  change(msgs[kGetAppID], kAdd);
  // The stop and restart switches ask the running instance to end.
  change(msgs[kCloseApp], kAdd);
  // A second start asks whether a modal window is open before bringing the instance forward.
  change(msgs[kIfBusy], kAdd);
  // A second start hands its command text over in a WM_COPYDATA record.
  change(WM_COPYDATA, kAdd);
}
}  // namespace

TCLEngine* GetEngine() { return gEngine; }

bool EngineSettingOverwrite(const std::string& key, std::string* value) {
  if (!gEngine) return false;
  if (!gEngine->overwriteIndex_.Valid()) gEngine->overwriteIndex_.Rebuild(gEngine->settingOverwrite_->Lines());
  return gEngine->overwriteIndex_.Find(key, value);
}

bool EngineSettingDefault(const std::string& key, std::string* value) {
  if (!gEngine) return false;
  if (!gEngine->defaultIndex_.Valid()) gEngine->defaultIndex_.Rebuild(gEngine->settingDefault_->Lines());
  return gEngine->defaultIndex_.Find(key, value);
}

std::vector<std::string> CommandLineArgs() {
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.push_back(__argv[i] ? __argv[i] : "");
  return args;
}

bool FirstArgIsText(const std::vector<std::string>& args) {
  return !args.empty() && !args[0].empty() && args[0][0] != '-' && args[0][0] != '/';
}

QM_REGISTER_CLASS(TCLEngine, b) {
  b.Object<TComponent>("SkinData", "TskSkinData", &TCLEngine::SkinData, &TCLEngine::SetSkinData);
  b.Object<TComponent>("SkinMenuItem", "TMenuItem", &TCLEngine::SkinMenuItem, &TCLEngine::SetSkinMenuItem);
  b.Event("OnSkinChanged", "TNotifyEvent", &TCLEngine::OnSkinChanged);
  b.Object<TCLMultiLangData>("LanguageData", "TCLMultiLangData", &TCLEngine::LanguageData,
                             &TCLEngine::SetLanguageData);
  b.Object<TComponent>("LanguageMenuItem", "TMenuItem", &TCLEngine::LanguageMenuItem,
                       &TCLEngine::SetLanguageMenuItem);
  b.Event("OnLanguageChanged", "TNotifyEvent", &TCLEngine::OnLanguageChanged);
  b.Object<TStrings>("SettingOverwrite", "TStrings", &TCLEngine::SettingOverwrite, &TCLEngine::SetSettingOverwrite);
  b.Object<TStrings>("SettingDefault", "TStrings", &TCLEngine::SettingDefault, &TCLEngine::SetSettingDefault);
  b.Int("ParentHWND", &TCLEngine::ParentHWND, nullptr, "Cardinal");
  b.Event("OnCmdFile", "TOnCmdFile", &TCLEngine::OnCmdFile);
  b.Event("OnTitleChange", "TNotifyEvent", &TCLEngine::OnTitleChange);
  b.Bool("TitleIncludeVer", &TCLEngine::TitleIncludeVer, &TCLEngine::SetTitleIncludeVer);
  b.Bool("InternalMode", &TCLEngine::InternalMode);
}

TCLEngine::TCLEngine(TComponent* owner) : TComponent(owner) {
  static const char* const names[5] = {kMsgGetAppID, kMsgCloseApp, kMsgInitPost, kMsgCmdParam, kMsgIfBusy};
  for (int i = 0; i < 5; ++i) msgs_[i] = RegisterWindowMessageA(names[i]);
  AllowInstanceMessages(msgs_);
  ownerForm_ = dynamic_cast<TCustomForm*>(owner);
  if (!ownerForm_) {
    // The component base already took the engine into its owner; give it back before failing.
    if (owner) owner->RemoveComponent(this);
    throw EInvalidCast();
  }
  settingOverwrite_ = std::make_unique<TStringList>();
  settingDefault_ = std::make_unique<TStringList>(std::vector<std::string>{"Path.Skins=skins", "Path.Languages=lang"});
  settingOverwrite_->OnChange = [this](TObject*) { overwriteIndex_.Invalidate(); };
  settingDefault_->OnChange = [this](TObject*) { defaultIndex_.Invalidate(); };
  // The hook goes in last: nothing after it can fail and leave it calling a half-made engine.
  hook_ = std::make_shared<TCLEngineHookState>();
  hook_->Engine = this;
  hook_->Old = ownerForm_->WindowProc;
  if (!Designing()) ownerForm_->WindowProc = TEngineHook{hook_};
  if (!gEngine) gEngine = this;
}

TCLEngine::~TCLEngine() {
  // From here on the settings store sees no key lists.
  if (gEngine == this) gEngine = nullptr;
  Unhook();
}

// Putting the previous procedure back is only right while the engine's hook is the form's
// procedure. A hook installed later holds the engine's as its own previous one and would put
// it back when it goes: the chain then stays as it is, and the engine's hook forwards only.
void TCLEngine::Unhook() {
  if (!hook_) return;
  hook_->Engine = nullptr;
  if (!ownerForm_) return;
  const TEngineHook* current = ownerForm_->WindowProc.target<TEngineHook>();
  if (current && current->State == hook_) ownerForm_->WindowProc = hook_->Old;
}

void TCLEngine::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op != TOperation::opRemove) return;
  if (c == skinData_) skinData_ = nullptr;
  if (c == skinMenuItem_) skinMenuItem_ = nullptr;
  if (c == languageData_) languageData_ = nullptr;
  if (c == languageMenuItem_) languageMenuItem_ = nullptr;
  if (c == ownerForm_) ownerForm_ = nullptr;
  ForgetLink(c);
}

void TCLEngine::SetLanguageData(TCLMultiLangData* d) {
  if (d == languageData_) return;
  if (languageData_) RemoveFreeNotification(languageData_);
  languageData_ = d;
  if (d) FreeNotification(d);
}

void TCLEngine::SetTitleIncludeVer(bool value) {
  titleIncludeVer_ = value;
  // The stored value arrives before the window is complete: composing waits for the
  // post-start work then.
  if (!Loading()) UpdateTitle();
}

void TCLEngine::Loaded() {
  TComponent::Loaded();
  if (Designing()) return;
  loading_ = true;
  try {
    InitSkin();
    InitLanguage();
  } catch (...) {
    loading_ = false;
    throw;  // no "CL InitPost" then: the post-start work never runs
  }
  loading_ = false;
  if (ownerForm_) PostMessageA(ownerForm_->Handle(), msgs_[kInitPost], 0, 0);
}

void TCLEngine::EngineWndProc(TMessage& m) {
  if (m.Msg == msgs_[kGetAppID]) {
    m.Result = GetSettings()->ReadInteger("App.ID");
  } else if (m.Msg == msgs_[kCloseApp]) {
    Application()->Terminate();
    m.Result = 0;
  } else if (m.Msg == msgs_[kInitPost]) {
    PostStartWork();
    m.Result = 0;
  } else if (m.Msg == msgs_[kIfBusy]) {
    m.Result = initPending_ ? 1 : 0;
  } else if (m.Msg == WM_COPYDATA && m.LParam) {
    HandleCopyData(m);
  } else if (m.Msg == msgs_[kCmdParam] && TakePendingText() && OnCmdFile.Assigned()) {
    OnCmdFile(commandText_);
    m.Result = 0;
  } else if (hook_->Old) {
    hook_->Old(m);
  }
}

// The text is copied and handed on through a posted message, so the sending instance is
// released before any handler runs. Each text waits in a queue for its own "CL CmdParam":
// several starts at once send their texts before the first posted message is handled, and a
// single CommandText would keep only the last of them.
void TCLEngine::HandleCopyData(TMessage& m) {
  const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(m.LParam);
  m.Result = 0;
  // Any process may send the record: no command line is longer than this.
  if (record->cbData > kMaxCommandTextBytes) return;
  std::string text;
  if (record->cbData > 0 && record->lpData) text.assign(static_cast<const char*>(record->lpData), record->cbData);
  QueueText(text);
}

// A flood of texts that nobody takes must not exhaust memory: past either limit a new text
// is refused. The texts already waiting keep their place, and each of them keeps the one
// "CL CmdParam" posted for it, so none is lost and none is delivered twice.
void TCLEngine::QueueText(const std::string& text) {
  if (pendingTexts_.size() >= kMaxPendingTexts || text.size() > kMaxPendingTextBytes - pendingBytes_) return;
  pendingTexts_.push_back(text);
  pendingBytes_ += text.size();
  if (ownerForm_) PostMessageA(ownerForm_->Handle(), msgs_[kCmdParam], 0, 0);
}

// Called for each "CL CmdParam": the next queued text becomes CommandText. Always true, so
// that the handler runs for a message even when its text was taken already.
bool TCLEngine::TakePendingText() {
  if (!pendingTexts_.empty()) {
    commandText_ = std::move(pendingTexts_.front());
    pendingTexts_.pop_front();
    pendingBytes_ -= commandText_.size();
  }
  return true;
}

void TCLEngine::CommandLineStep() {
  std::vector<std::string> args = CommandLineArgs();
  if (FirstArgIsText(args)) QueueText(args[0]);
}

// "CL InitPost" is a registered message that any process may post: the work runs once, while
// the engine is still starting (a handler that pumps messages may see another one arrive).
// Each step runs guarded, so that an error in one (a handler, the title, the update window)
// is shown and the later steps still run; InitPending is cleared last in every case, or
// "CL IfBusy" would answer 1 for good.
void TCLEngine::PostStartWork() {
  if (!initPending_ || postStartBegun_) return;
  postStartBegun_ = true;
  struct TClearPending {
    bool& Flag;
    ~TClearPending() { Flag = false; }
  } clearPending{initPending_};
  GuardedCall([this] { OnLanguageChanged(this); });
  GuardedCall([this] { OnSkinChanged(this); });
  GuardedCall([this] { UpdateTitle(); });
  GuardedCall([this] {
    if (GetSettings()->ReadBool("Update.BeginAuto")) AutoCheckUpdate();
  });
  GuardedCall([this] { CommandLineStep(); });
}

void TCLEngine::UpdateTitle() {
  if (Designing()) return;
  TCLEngine* engine = GetEngine() ? GetEngine() : this;
  std::string t = clengine::ComposeTitle(engine->GetApplicationName(), titleIncludeVer_,
                                         titleIncludeVer_ ? GetSettings()->ReadString("App.Ver") : std::string());
  title_ = t;
  if (GetSettings()->ReadBool("App.NoAutoTitle")) return;
  Application()->SetTitle(t);
  if (ownerForm_) ownerForm_->SetCaption(t);
  OnTitleChange(this);
}

std::string TCLEngine::GetApplicationName() const {
  const std::string setting = GetSettings()->ReadString("App.Name");
  if (languageData_) {
    std::string name;
    languageData_->SetFallbackAppName(setting);
    languageData_->GetAppName(name);
    if (!name.empty()) return name;
  }
  return setting;
}

std::string TCLEngine::GetResString(const std::string& section, const std::string& key) const {
  if (!languageData_) return std::string();
  std::string value;
  if (!languageData_->FindText(section, "", key, value)) return std::string();
  return value;
}

std::string TCLEngine::GetResText(const std::string& key, bool isLibRes) {
  TCLEngine* engine = GetEngine();
  std::string text = engine ? (isLibRes ? engine->GetLibRes(key) : engine->GetAppRes(key)) : std::string();
  if (text.empty()) text = (isLibRes ? "[LibRes]" : "[AppRes]") + key;
  return text;
}

void TCLEngine::MergeResSection(const std::string& section, TStrings* strings) const {
  if (languageData_) languageData_->FillSection(section, strings);
}
