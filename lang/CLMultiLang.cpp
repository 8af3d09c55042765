#include "lang/CLMultiLang.h"

#include <algorithm>
#include <exception>
#include <unordered_set>
#include <utility>

#include "components/Controls.h"
#include "lang/LanFormat.h"
#include "platform/TraceChannel.h"

QM_REGISTER_CLASS(TCLMultiLangData, b) {
  using C = TCLMultiLangData;
  b.Str("CurrentLanguage", &C::CurrentLanguage);
  b.Str("CurrentLanguageTranslator", &C::CurrentLanguageTranslator);
  b.Str("CurrentVersion", &C::CurrentVersion);
  b.Bool("ExcludeEmptyProp", &C::ExcludeEmptyProp);
  b.Object<TStrings>("ExcludeProps", "TStrings", &C::ExcludeProps, &C::SetExcludeProps);
  b.Bool("ExcludeNumberEndProps", &C::ExcludeNumberEndProps);
  b.Bool("AutoApply", &C::AutoApply);
  b.Bool("ExcludeWithAction", &C::ExcludeWithAction);
  b.Object<TStrings>("CurrentData", "TStrings", &C::CurrentData, &C::SetCurrentData);
  b.Object<TStrings>("DefaultData", "TStrings", &C::DefaultData, &C::SetDefaultData);
}

QM_REGISTER_CLASS(TCLMultiLang, b) {
  b.Event("OnChangeLanguage", "TNotifyEvent", &TCLMultiLang::OnChangeLanguage);
  b.Object<TCLMultiLangData>("LanguageData", "TCLMultiLangData", &TCLMultiLang::LanguageData,
                             &TCLMultiLang::SetLanguageData);
}

namespace {

// What the translator leaves alone, by class, property type or property name, on top of its
// table of translated properties.
const std::vector<std::string>& DefaultExcludeProps() {
  static const std::vector<std::string> lines = {
      "TWebBrowser:",          ":TComponentName",       ".SkinDataName",
      "TskResourceStrData:",   "TShockwaveFlash:",      "TskSkinNotebook:",
      "TEmbeddedBrowser:",     "TskCompressedStoredSkin:", "TskSkinMessage:",
      "TCLEngine:",            "TskSkinData:",          ".Text",
      "TWebDownload:",         ":TComponentName",       ".SkinDataName",
      ".EditSkinDataName",     ".LabelSkinDataName",    ".ButtonSkinDataName",
      ".BothSkinDataName",     ".MessageLabelSkinDataName", ".Category",
      ".CompressedFileName",   ".TrackBarSkinDataName", ".TabWidths",
      ".HeaderSkinDataName",   ".LVHeaderSkinDataName",
  };
  return lines;
}

// Holds back a string list's change notifications for a scope.
class TUpdateScope {
 public:
  explicit TUpdateScope(TStrings* s) : s_(s) { s_->BeginUpdate(); }
  ~TUpdateScope() { s_->EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TStrings* s_;
};

// The names of the list's name=value lines, folded as the language index folds them.
std::unordered_set<std::string> FoldedNames(const TStrings& list) {
  std::unordered_set<std::string> names;
  const int count = list.Count();
  names.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string line = list.Get(i);
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;  // a line without "=" has no name to hold
    line.resize(eq);
    LanFoldAnsi(line);
    names.insert(std::move(line));
  }
  return names;
}

// Appends each pair with a text whose name `names` lacks, and adds that name. A set, not a
// search of the list per pair: a skin's "SkinRes" may hold tens of thousands of texts, and this
// runs at every start.
void AppendNewNames(const std::vector<std::pair<std::string, std::string>>& pairs, TStrings* target,
                    std::unordered_set<std::string>& names) {
  for (const auto& [name, value] : pairs) {
    if (value.empty()) continue;  // copying the section into a list would have dropped it
    std::string folded = name;
    LanFoldAnsi(folded);
    if (names.insert(std::move(folded)).second) target->Add(name + "=" + value);
  }
}

}  // namespace

// --- TCLMultiLangData ---------------------------------------------------------------------------

TCLMultiLangData::TCLMultiLangData(TComponent* owner)
    : TComponent(owner),
      currentFile_(std::make_unique<TCLMultiLangLan>()),
      defaultFile_(std::make_unique<TCLMultiLangLan>()),
      excludeProps_(std::make_unique<TStringList>(DefaultExcludeProps())) {}

// Translators registered here hear of the destruction through the free notification that
// AddTranslator set up, so none of them keeps a reference to this component.
TCLMultiLangData::~TCLMultiLangData() = default;

void TCLMultiLangData::SetExcludeProps(TStrings* lines) {
  if (lines)
    excludeProps_->Assign(lines);
  else
    excludeProps_->Clear();
}

bool TCLMultiLangData::FindText(const std::string& section, const std::string& componentName,
                                const std::string& propertyName, std::string& value) const {
  std::string text;
  if (!currentFile_->FindValue(section, componentName, propertyName, text) &&
      !defaultFile_->FindValue(section, componentName, propertyName, text))
    return false;
  // The application name itself is never substituted: it is what the placeholder stands for.
  if (!(LanSameText(section, "AppRes") && LanSameText(propertyName, "AppName")))
    LanReplaceAppName(text, appNameCache_);
  value.swap(text);
  return true;
}

void TCLMultiLangData::GetAppName(std::string& value) {
  std::string name;
  FindText("AppRes", "", "AppName", name);
  appNameCache_ = name.empty() ? fallbackAppName_ : name;
  value = name;
}

std::string TCLMultiLangData::InfoText(const char* key) const {
  std::string text;
  FindText("Info", "", key, text);
  return text;
}

void TCLMultiLangData::LoadLanguage(const std::string& fileName) {
  appNameCache_.clear();
  currentFile_->ReadFile(fileName);
  std::string name;
  GetAppName(name);
  ApplyAll();
}

void TCLMultiLangData::ClearLanguage() { currentFile_->ClearAll(); }

void TCLMultiLangData::FillSection(const std::string& section, TStrings* target) const {
  if (!target) return;
  std::unordered_set<std::string> names = FoldedNames(*target);
  TUpdateScope hold(target);
  AppendNewNames(currentFile_->SectionEntries(section), target, names);
  AppendNewNames(defaultFile_->SectionEntries(section), target, names);
}

void TCLMultiLangData::AddTranslator(TCLMultiLang* translator) {
  if (!translator) return;
  if (std::find(translators_.begin(), translators_.end(), translator) == translators_.end())
    translators_.push_back(translator);
  // Either side hears of the other's destruction, whichever goes first.
  FreeNotification(translator);
}

void TCLMultiLangData::RemoveTranslator(TCLMultiLang* translator) {
  translators_.erase(std::remove(translators_.begin(), translators_.end(), translator), translators_.end());
}

void TCLMultiLangData::ApplyAll() {
  // A translator's change event may free or unregister another translator, or register a new
  // one: the list is taken once, and each entry runs only while it is still registered.
  const std::vector<TCLMultiLang*> snapshot = translators_;
  for (TCLMultiLang* t : snapshot)
    if (std::find(translators_.begin(), translators_.end(), t) != translators_.end()) t->Apply();
}

void TCLMultiLangData::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  // Only the address is compared: `c` is being destroyed.
  if (op == TOperation::opRemove)
    translators_.erase(std::remove_if(translators_.begin(), translators_.end(),
                                      [c](TCLMultiLang* t) { return static_cast<TComponent*>(t) == c; }),
                       translators_.end());
}

// --- TCLMultiLang -------------------------------------------------------------------------------

TCLMultiLang::TCLMultiLang(TComponent* owner) : TComponent(owner) {}

TCLMultiLang::~TCLMultiLang() {
  if (languageData_) languageData_->RemoveTranslator(this);
}

void TCLMultiLang::SetLanguageData(TCLMultiLangData* data) {
  TCLMultiLangData* old = languageData_;
  if (old) {
    old->RemoveTranslator(this);
    if (old != data) RemoveFreeNotification(old);
  }
  languageData_ = data;
  if (data) {
    FreeNotification(data);
    data->AddTranslator(this);
  }
}

void TCLMultiLang::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == TOperation::opRemove && c && c == static_cast<TComponent*>(languageData_)) languageData_ = nullptr;
}

void TCLMultiLang::Loaded() {
  TComponent::Loaded();
  if (!languageData_) return;
  languageData_->AddTranslator(this);
  if (languageData_->AutoApply) Apply();
}

void TCLMultiLang::Apply() {
  TComponent* window = Owner();
  if (!languageData_ || !window) return;
  const TTranslationExcludes excludes(languageData_->ExcludeProps()->Lines());
  std::unordered_set<std::string> written;
  ApplyToComponent(window, excludes, written);
  const int count = window->ComponentCount();
  // The bound is checked again: a property setter could free a component of the window.
  for (int i = 0; i < count && i < window->ComponentCount(); ++i) {
    TComponent* c = window->Components(i);
    if (c->Name().empty() || dynamic_cast<TCLMultiLang*>(c) || dynamic_cast<TCLMultiLangData*>(c)) continue;
    ApplyToComponent(c, excludes, written);
  }
  if (languageData_) TraceRefusedLines(window->ClassName(), written);
  OnChangeLanguage(this);
}

void TCLMultiLang::ApplyToComponent(TComponent* component) {
  if (!languageData_) return;
  std::unordered_set<std::string> written;
  ApplyToComponent(component, TTranslationExcludes(languageData_->ExcludeProps()->Lines()), written);
}

bool TCLMultiLang::ShowsText(const TComponent* component) const {
  return component == Owner() || dynamic_cast<const TControl*>(component) || component->InheritsFrom("TMenuItem");
}

bool TCLMultiLang::Translates(const TComponent* component, const TPropInfo& p,
                              const TTranslationExcludes& excludes) const {
  const TTranslatableProperty* entry = FindTranslatableProperty(p.Name);
  if (!entry) return false;
  if (entry->As == TTranslatedAs::Text) {
    if (!IsStringKind(p.Kind) || LanSameText(p.TypeName, "TComponentName") || !p.Writable()) return false;
  } else if (p.Kind != TTypeKind::tkClass || !LanSameText(p.TypeName, "TStrings") || !p.Readable()) {
    return false;
  }
  if (excludes.ExcludesType(p.TypeName) || excludes.ExcludesProperty(p.Name)) return false;
  for (const std::string& c : excludes.Classes())
    if (component->InheritsFrom(c)) return false;
  return true;
}

void TCLMultiLang::ApplyToComponent(TComponent* component, const TTranslationExcludes& excludes,
                                    std::unordered_set<std::string>& written) {
  TComponent* window = Owner();
  if (!component || !window || !ShowsText(component)) return;
  const std::string section = window->ClassName();
  const std::string name = component->Name();
  const auto props = GetPropList(component, {TTypeKind::tkSString, TTypeKind::tkClass, TTypeKind::tkLString,
                                             TTypeKind::tkWString});
  for (const TPropInfo* p : props) {
    if (!languageData_) return;
    if (!Translates(component, *p, excludes)) continue;
    std::string text;
    if (!languageData_->FindText(section, name, p->Name, text)) continue;
    std::string key = name.empty() ? p->Name : name + "." + p->Name;
    LanFoldAnsi(key);
    written.insert(std::move(key));
    // One property that refuses its text (a setter that raises) does not stop the others.
    try {
      if (p->Kind != TTypeKind::tkClass)
        SetStrProp(component, *p, text);
      else if (auto* lines = dynamic_cast<TStrings*>(GetObjectProp(component, *p)))
        lines->SetText(text);
    } catch (const std::exception&) {
    }
  }
}

void TCLMultiLang::TraceRefusedLines(const std::string& section,
                                     const std::unordered_set<std::string>& written) const {
  for (const auto& entry : languageData_->CurrentFile().SectionEntries(section)) {
    std::string key = entry.first;
    LanFoldAnsi(key);
    if (!written.count(key)) TraceTagged("Language line not applied: [" + section + "] " + entry.first, "CLLang");
  }
}
