#include "toolkit/SkinData.h"

#include <algorithm>

#include "platform/Handles.h"
#include "toolkit/SkinFile.h"

namespace {

std::vector<TskSkinData*>& AllSkinData() {
  static std::vector<TskSkinData*> all;
  return all;
}

const char* const kDefaultTexts[][2] = {
    {"MSG_BTN_YES", "&Yes"},
    {"MSG_BTN_NO", "&No"},
    {"MSG_BTN_OK", "&OK"},
    {"MSG_BTN_CANCEL", "&Cancel"},
    {"MSG_BTN_ABORT", "&Abort"},
    {"MSG_BTN_RETRY", "&Retry"},
    {"MSG_BTN_IGNORE", "&Ignore"},
    {"MSG_BTN_ALL", "A&ll"},
    {"MSG_BTN_NOTOALL", "N&o to All"},
    {"MSG_BTN_YESTOALL", "Yes to &All"},
    {"MSG_BTN_HELP", "&Help"},
    {"MSG_CAP_WARNING", "Warning"},
    {"MSG_CAP_ERROR", "Error"},
    {"MSG_CAP_INFORMATION", "Information"},
    {"MSG_CAP_CONFIRM", "Confirm"},
    {"MSG_CAP_SHOWFLAG", "Don't display this message again"},
    {"MI_CLOSECAPTION", "&Close"},
    {"MI_MINCAPTION", "Mi&nimize"},
    {"MI_MAXCAPTION", "Ma&ximize"},
    {"MI_RESTORECAPTION", "&Restore"},
    {"MI_MOVECAPTION", "&Move"},
    {"HINT_CLOSE", "Close"},
    {"HINT_MINIMIZE", "Minimize"},
    {"HINT_SYSMENU", "Window menu"},
};

bool ReadSmallFile(const std::string& path, std::string* out, std::string* error) {
  TFileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) {
    *error = "cannot open " + path;
    return false;
  }
  LARGE_INTEGER size;
  // A skin file is compressed and its payload limited; anything much larger is not one.
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > kMaxSkinPayload + 1024 * 1024) {
    *error = "not a skin file (too large): " + path;
    return false;
  }
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!data.empty() &&
      (!ReadFile(f.get(), &data[0], static_cast<DWORD>(data.size()), &got, nullptr) || got != data.size())) {
    *error = "cannot read " + path;
    return false;
  }
  *out = std::move(data);
  return true;
}

}  // namespace

// --- TskCompressedStoredSkin --------------------------------------------------------------------

QM_REGISTER_CLASS(TskCompressedStoredSkin, b) {
  b.Str("FileName", &TskCompressedStoredSkin::FileName);
  b.Binary("CompressedData", &TskCompressedStoredSkin::CompressedData, &TskCompressedStoredSkin::SetCompressedData);
}

TskCompressedStoredSkin::TskCompressedStoredSkin(TComponent* owner) : TComponent(owner) {}

void TskCompressedStoredSkin::SetCompressedData(const std::string& bytes) { data_ = bytes; }

bool TskCompressedStoredSkin::LoadFromFile(const std::string& path, std::string* error) {
  std::string bytes, e;
  if (!ReadSmallFile(path, &bytes, &e) || !TskSkin::FromFileBytes(bytes, &e)) {
    if (error) *error = e;
    return false;
  }
  data_ = std::move(bytes);
  size_t slash = path.find_last_of("\\/");
  FileName = slash == std::string::npos ? path : path.substr(slash + 1);
  return true;
}

// --- TskResourceStrData -------------------------------------------------------------------------

QM_REGISTER_CLASS(TskResourceStrData, b) {
  b.Object<TStrings>("ResStrings", "TStrings", &TskResourceStrData::ResStrings, &TskResourceStrData::SetResStrings);
}

TskResourceStrData::TskResourceStrData(TComponent* owner)
    : TComponent(owner), strings_(std::make_unique<TStringList>(DefaultLines())) {}

std::string TskResourceStrData::DefaultText(const std::string& key) {
  for (auto& t : kDefaultTexts)
    if (key == t[0]) return t[1];
  return "";
}

std::vector<std::string> TskResourceStrData::DefaultLines() {
  std::vector<std::string> lines;
  for (auto& t : kDefaultTexts) lines.push_back(std::string(t[0]) + "=" + t[1]);
  return lines;
}

std::string TskResourceStrData::Text(const std::string& key) const {
  if (strings_->IndexOfName(key) >= 0) return strings_->Values(key);
  return DefaultText(key);
}

// --- TskSkinData --------------------------------------------------------------------------------

QM_REGISTER_CLASS(TskSkinData, b) {
  b.Object<TskCompressedStoredSkin>("CompressedStoredSkin", "TskCompressedStoredSkin",
                                    &TskSkinData::CompressedStoredSkin, &TskSkinData::SetCompressedStoredSkin);
  b.Object<TskResourceStrData>("ResourceStrData", "TskResourceStrData", &TskSkinData::ResourceStrData,
                               &TskSkinData::SetResourceStrData);
  b.Bool("SkinnableForm", &TskSkinData::SkinnableForm, &TskSkinData::SetSkinnableForm);
  b.Bool("ShowButtonGlowFrames", &TskSkinData::ShowButtonGlowFrames, &TskSkinData::SetShowButtonGlowFrames);
  b.Bool("ShowCaptionButtonGlowFrames", &TskSkinData::ShowCaptionButtonGlowFrames,
         &TskSkinData::SetShowCaptionButtonGlowFrames);
}

TskSkinData::TskSkinData(TComponent* owner) : TComponent(owner) { AllSkinData().push_back(this); }

TskSkinData::~TskSkinData() {
  auto& all = AllSkinData();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  for (TskSkinClient* c : std::vector<TskSkinClient*>(clients_)) c->SkinDataGone(this);
}

TskSkinData* TskSkinData::Default() { return AllSkinData().empty() ? nullptr : AllSkinData().front(); }

bool TskSkinData::LoadFromCompressedFile(const std::string& path) {
  std::string bytes;
  if (!ReadSmallFile(path, &bytes, &lastError_)) return false;
  return LoadFromBytes(bytes);
}

bool TskSkinData::LoadFromBytes(const std::string& bytes) {
  std::string error;
  std::shared_ptr<const TskSkin> skin = TskSkin::FromFileBytes(bytes, &error);
  if (!skin) {
    lastError_ = error;
    return false;
  }
  lastError_.clear();
  skin_ = std::move(skin);
  NotifyClients();
  return true;
}

void TskSkinData::SetCompressedStoredSkin(TskCompressedStoredSkin* value) {
  if (storedSkin_ == value) {
    if (value) ApplyStoredSkin();
    return;
  }
  if (storedSkin_) RemoveFreeNotification(storedSkin_);
  storedSkin_ = value;
  if (value) {
    FreeNotification(value);
    ApplyStoredSkin();
  }
}

void TskSkinData::ApplyStoredSkin() {
  // While the window's stored data is read, the stored skin's bytes may come after this
  // link; Loaded applies it then.
  if (Loading() || !storedSkin_ || storedSkin_->Empty()) return;
  LoadFromBytes(storedSkin_->CompressedData());
}

void TskSkinData::Loaded() {
  TComponent::Loaded();
  ApplyStoredSkin();
}

void TskSkinData::SetResourceStrData(TskResourceStrData* value) {
  if (resourceStrData_) RemoveFreeNotification(resourceStrData_);
  resourceStrData_ = value;
  if (value) FreeNotification(value);
  NotifyClients();
}

std::string TskSkinData::ResText(const std::string& key) const {
  return resourceStrData_ ? resourceStrData_->Text(key) : TskResourceStrData::DefaultText(key);
}

void TskSkinData::SetSkinnableForm(bool value) {
  if (skinnableForm_ == value) return;
  skinnableForm_ = value;
  NotifyClients();
}

void TskSkinData::SetShowButtonGlowFrames(bool value) {
  if (buttonGlow_ == value) return;
  buttonGlow_ = value;
  NotifyClients();
}

void TskSkinData::SetShowCaptionButtonGlowFrames(bool value) {
  if (captionGlow_ == value) return;
  captionGlow_ = value;
  NotifyClients();
}

void TskSkinData::AddClient(TskSkinClient* c) {
  if (std::find(clients_.begin(), clients_.end(), c) == clients_.end()) clients_.push_back(c);
}

void TskSkinData::RemoveClient(TskSkinClient* c) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), c), clients_.end());
}

void TskSkinData::NotifyClients() {
  ++changeCount_;
  // A client may add or remove clients while it repaints (a window frame re-creating
  // buttons); walk a copy and skip those that left meanwhile.
  std::vector<TskSkinClient*> copy(clients_);
  for (TskSkinClient* c : copy)
    if (std::find(clients_.begin(), clients_.end(), c) != clients_.end()) c->SkinChanged();
}

void TskSkinData::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op != TOperation::opRemove) return;
  if (c == storedSkin_) storedSkin_ = nullptr;
  if (c == resourceStrData_) resourceStrData_ = nullptr;
}
