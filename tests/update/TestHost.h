// The host window of the window tests: an engine with the built-in texts, as the main window
// would hold it, created once per test program.
#pragma once

#include "components/Forms.h"
#include "framework/CLEngine.h"
#include "lang/CLBuiltInTexts.h"
#include "lang/CLMultiLang.h"

inline TForm* TestHost() {
  static TForm* host = [] {
    Application()->Initialize();
    auto* form = new TForm(nullptr);
    auto* engine = new TCLEngine(form);
    auto* lang = new TCLMultiLangData(form);
    TStringList current(BuiltInCurrentTexts()), defaults(BuiltInDefaultTexts());
    lang->SetCurrentData(&current);
    lang->SetDefaultData(&defaults);
    engine->SetLanguageData(lang);
    return form;
  }();
  return host;
}
