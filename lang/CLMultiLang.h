// The language data component (both text sets, lookups with fallback, language loading) and
// the component translator that writes the texts into a window and its components.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "components/Components.h"
#include "lang/CLMultiLangLan.h"
#include "lang/TranslationRules.h"

class TCLMultiLang;

class TCLMultiLangData : public TComponent {
  QM_CLASS(TCLMultiLangData, TComponent)
 public:
  explicit TCLMultiLangData(TComponent* owner);
  ~TCLMultiLangData() override;

  // The current language first, then the default texts; "{AppName}" is filled in except in
  // the "AppName" text of "AppRes" itself. False, with `value` untouched, when neither has it.
  bool FindText(const std::string& section, const std::string& componentName,
                const std::string& propertyName, std::string& value) const;
  // Makes the file the current language (an unreadable file gives an empty one) and runs
  // every registered translator.
  void LoadLanguage(const std::string& fileName);
  void ClearLanguage();
  // Appends to `target` the section's name=value pairs whose names it lacks, the current
  // language's text before the default one; names it holds are never changed.
  void FillSection(const std::string& section, TStrings* target) const;
  // `value` is the "AppName" text of "AppRes" (empty without one); "{AppName}" then stands for
  // that text, or for the fallback name when there is none.
  void GetAppName(std::string& value);
  // The name "{AppName}" stands for when no language text names the application (the engine
  // gives the "App.Name" setting), so that a caption never reads "About " with the name left
  // out. Takes effect at the next GetAppName or LoadLanguage.
  void SetFallbackAppName(const std::string& name) { fallbackAppName_ = name; }

  std::string CurrentLanguage() const { return InfoText("Language"); }
  std::string CurrentLanguageTranslator() const { return InfoText("Translator"); }
  std::string CurrentVersion() const { return InfoText("Version"); }

  void AddTranslator(TCLMultiLang* translator);
  void RemoveTranslator(TCLMultiLang* translator);
  void ApplyAll();
  const std::vector<TCLMultiLang*>& Translators() const { return translators_; }

  // Carried and stored with the window; nothing in the system reads them.
  bool ExcludeEmptyProp = false;
  bool ExcludeNumberEndProps = false;
  bool ExcludeWithAction = false;
  // A deny list the translators apply on top of the table of translated properties (see
  // TTranslationExcludes); it can only take away.
  TStrings* ExcludeProps() const { return excludeProps_.get(); }
  void SetExcludeProps(TStrings* lines);

  // Read by the translators at the end of their window's loading.
  bool AutoApply = true;

  TStrings* CurrentData() const { return currentFile_->Data(); }
  void SetCurrentData(TStrings* lines) { currentFile_->SetData(lines); }
  TStrings* DefaultData() const { return defaultFile_->Data(); }
  void SetDefaultData(TStrings* lines) { defaultFile_->SetData(lines); }
  const TCLMultiLangLan& CurrentFile() const { return *currentFile_; }
  const TCLMultiLangLan& DefaultFile() const { return *defaultFile_; }

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  std::string InfoText(const char* key) const;

  std::unique_ptr<TCLMultiLangLan> currentFile_;
  std::unique_ptr<TCLMultiLangLan> defaultFile_;
  std::unique_ptr<TStringList> excludeProps_;
  std::vector<TCLMultiLang*> translators_;  // not owned
  std::string appNameCache_;
  std::string fallbackAppName_;
};

class TCLMultiLang : public TComponent {
  QM_CLASS(TCLMultiLang, TComponent)
 public:
  explicit TCLMultiLang(TComponent* owner);
  ~TCLMultiLang() override;

  TNotifyEvent OnChangeLanguage;

  TCLMultiLangData* LanguageData() const { return languageData_; }
  // Moves the registration from the old language data to the new one; applies nothing.
  void SetLanguageData(TCLMultiLangData* data);

  // Translates the owner window and its named components; fires OnChangeLanguage after them.
  // A line of the current language that changes nothing is left alone, with a trace line.
  void Apply();
  void ApplyToComponent(TComponent* component);

  // End of the window's loading: registers, and applies when the language data says so.
  void Loaded() override;

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  // Whether a component shows the texts a language file holds: the window itself, its controls
  // and panels, its menu items; never a component without a face (the engine, a downloader, a
  // store of skins or pictures), whatever its properties are called.
  bool ShowsText(const TComponent* component) const;
  // Whether the property is in the table of translated properties, of the kind that table says,
  // and not denied by the window's ExcludeProps.
  bool Translates(const TComponent* component, const TPropInfo& p, const TTranslationExcludes& excludes) const;
  // Adds the folded key of every text written to `written`.
  void ApplyToComponent(TComponent* component, const TTranslationExcludes& excludes,
                        std::unordered_set<std::string>& written);
  // One trace line for each line of the current language's window section that changed nothing.
  void TraceRefusedLines(const std::string& section, const std::unordered_set<std::string>& written) const;

  TCLMultiLangData* languageData_ = nullptr;
};
