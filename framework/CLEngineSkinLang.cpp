// Skin and language selection: the name lists built from the skins and languages folders,
// the menus that show them, and applying, storing and announcing a choice.
#include <windows.h>

#include "framework/CLEngine.h"
#include "framework/CLEngineRules.h"
#include "framework/CLSettings.h"
#include "lang/CLMultiLang.h"
#include "platform/cwm_WinVersion.h"
#include "toolkit/Menus.h"
#include "toolkit/SkinData.h"
#include "toolkit/SkinMessage.h"
#include "tools/QVTools.h"

namespace {
const char kDefaultSkin[] = "Default";
const char kDefaultLanguage[] = "English";

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The program folder followed by the folder a setting names ("skins", "langs").
std::string FolderOf(const char* settingKey) { return QV_GetAppPath() + GetSettings()->ReadString(settingKey); }

// Files (not folders) in `folder` whose names end in `ext`, with full paths.
std::vector<std::string> FindFiles(const std::string& folder, const std::string& ext) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*" + ext).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!clengine::HasExtension(fd.cFileName, ext)) continue;
    files.push_back(folder + "\\" + fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return files;
}

std::unique_ptr<TStringList> BuildList(const char* settingKey, const char* ext, const char* builtIn, int extensions) {
  return std::make_unique<TStringList>(
      clengine::BuildNameList(builtIn, FindFiles(FolderOf(settingKey), ext), extensions));
}
}  // namespace

TskSkinData* TCLEngine::SkinDataObject() const { return dynamic_cast<TskSkinData*>(skinData_); }

// Menu items belong to their parent item and the stored skin and message component to the
// form; any of them may go before the engine does.
void TCLEngine::ForgetLink(TComponent* c) {
  if (c == defaultStoredSkin_) defaultStoredSkin_ = nullptr;
  if (c == skinMessage_) skinMessage_ = nullptr;
  for (auto* items : {&skinMenuItems_, &languageMenuItems_})
    for (TMenuItem*& item : *items)
      if (item == c) item = nullptr;
}

void TCLEngine::CheckItems(const std::vector<TMenuItem*>& items, TStrings* list, const std::string& name) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] && list && static_cast<int>(i) < list->Count())
      items[i]->Checked = clengine::SameText(list->Get(static_cast<int>(i)), name);
}

void TCLEngine::SetSkin(const std::string& name) {
  TskSkinData* data = SkinDataObject();
  if (!data) return;
  // A name that is no plain file name (from a hand-edited settings file, say) is refused as a
  // missing file is: the built-in skin.
  std::string n = name.empty() || !clengine::IsPlainName(name) ? kDefaultSkin : name;
  if (n == skinName_) return;
  std::string folder = FolderOf("Path.Skins");
  std::string file = folder + "\\" + n + ".skn";
  bool frame = true;
  if (!FileExists(file)) {
    file = folder + "\\" + n + ".nsf.skn";
    frame = false;
  }
  if (FileExists(file) && clengine::IsPlainName(clengine::NameFromFileName(file, 0))) {
    data->SetCompressedStoredSkin(nullptr);
    // A damaged file is refused by the skin library, which keeps the skin in effect.
    data->LoadFromCompressedFile(file);
    data->SetSkinnableForm(frame);
    skinName_ = n;
  } else {
    if (!skinName_.empty()) {
      data->SetCompressedStoredSkin(defaultStoredSkin_);
      data->SetSkinnableForm(defaultSkinnableForm_);
    }
    skinName_ = kDefaultSkin;
  }
  if (IsVista64()) {
    data->SetShowButtonGlowFrames(false);
    data->SetShowCaptionButtonGlowFrames(false);
  }
  GetSettings()->WriteString("Skin", skinName_);
  CheckItems(skinMenuItems_, skinList_.get(), skinName_);
  if (!loading_) OnSkinChanged(this);
}

void TCLEngine::SetLanguage(const std::string& name) {
  if (!languageData_) return;
  // An empty request asks for "Default", which normally has no file: the built-in texts.
  // A name that is no plain file name is refused as a missing file is: the built-in texts.
  std::string n = name.empty() || !clengine::IsPlainName(name) ? "Default" : name;
  if (n == languageName_) return;
  std::string file = FolderOf("Path.Languages") + "\\" + n + ".lan";
  if (FileExists(file) && clengine::IsPlainName(clengine::NameFromFileName(file, 0))) {
    // The translators run inside the load: "{AppName}" must already have its fallback.
    languageData_->SetFallbackAppName(GetSettings()->ReadString("App.Name"));
    languageData_->LoadLanguage(file);
    languageName_ = n;
  } else {
    if (!languageName_.empty()) languageData_->ClearLanguage();
    languageName_ = kDefaultLanguage;
  }
  GetSettings()->WriteString("Language", languageName_);
  CheckItems(languageMenuItems_, languageList_.get(), languageName_);
  TskSkinData* skin = SkinDataObject();
  if (skin && skin->ResourceStrData()) MergeResSection("SkinRes", skin->ResourceStrData()->ResStrings());
  if (!loading_) OnLanguageChanged(this);
  UpdateTitle();
}

TStrings* TCLEngine::GetSkinList() {
  if (!skinList_) skinList_ = BuildList("Path.Skins", ".skn", kDefaultSkin, 2);
  return skinList_.get();
}

TStrings* TCLEngine::GetLanguageList() {
  if (!languageList_) languageList_ = BuildList("Path.Languages", ".lan", kDefaultLanguage, 1);
  return languageList_.get();
}

void TCLEngine::BuildMenu(TMenuItem* parent, TStrings* list, std::vector<TMenuItem*>& items,
                          const std::string& current, void (TCLEngine::*click)(TObject*)) {
  if (!parent || !items.empty()) return;
  if (list->Count() <= 1) {
    parent->Visible = false;
    return;
  }
  for (int i = 0; i < list->Count(); ++i) {
    auto* item = new TMenuItem(parent);
    item->Caption = list->Get(i);
    item->OnClick = TNotifyEvent::Bind(this, click);
    item->Checked = clengine::SameText(list->Get(i), current);
    FreeNotification(item);
    items.push_back(item);
  }
  parent->Add(items);
}

void TCLEngine::BuildSkinMenu(TMenuItem* parent) {
  BuildMenu(parent, GetSkinList(), skinMenuItems_, skinName_, &TCLEngine::SkinMenuClick);
}

void TCLEngine::BuildLanguageMenu(TMenuItem* parent) {
  BuildMenu(parent, GetLanguageList(), languageMenuItems_, languageName_, &TCLEngine::LanguageMenuClick);
}

void TCLEngine::SkinMenuClick(TObject* sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(sender)) SetSkin(item->Caption);
}

void TCLEngine::LanguageMenuClick(TObject* sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(sender)) SetLanguage(item->Caption);
}

void TCLEngine::InitSkin() {
  TskSkinData* data = SkinDataObject();
  if (!data) return;
  defaultStoredSkin_ = data->CompressedStoredSkin();
  if (defaultStoredSkin_) FreeNotification(defaultStoredSkin_);
  defaultSkinnableForm_ = data->SkinnableForm();
  std::string name = GetSettings()->ReadString("Skin");
  SetSkin(name.empty() ? kDefaultSkin : name);
  if (auto* parent = dynamic_cast<TMenuItem*>(skinMenuItem_)) BuildSkinMenu(parent);
}

void TCLEngine::InitLanguage() {
  if (!languageData_) return;
  std::string name = GetSettings()->ReadString("Language");
  SetLanguage(name.empty() ? kDefaultLanguage : name);
  if (auto* parent = dynamic_cast<TMenuItem*>(languageMenuItem_)) BuildLanguageMenu(parent);
}
