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

#include <string>

#include "platform/Handles.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

// The default browser replaced by this test program's child "browser" (defined once, in
// WebBannerTest.cpp), which writes the address it was given into `outFile`; the registered
// command is put back afterwards.
class TBrowserStub {
 public:
  explicit TBrowserStub(const std::string& outFile) {
    had_ = (saved_ = QV_ReadRegString(HKEY_CLASSES_ROOT, kKey, "", "\x01")) != "\x01";
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    Set("\"" + std::string(exe) + "\" --qm-child=browser \"" + outFile + "\" \"%1\"");
  }
  ~TBrowserStub() {
    if (had_)
      Set(saved_);
    else
      RegDeleteKeyA(HKEY_CLASSES_ROOT, kKey);
  }
  TBrowserStub(const TBrowserStub&) = delete;
  TBrowserStub& operator=(const TBrowserStub&) = delete;

 private:
  static void Set(const std::string& command) {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr) != ERROR_SUCCESS)
      return;
    TRegKey key(raw);
    RegSetValueExA(key.get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
  }
  static constexpr const char* kKey = "HTTP\\shell\\open\\command";
  bool had_ = false;
  std::string saved_;
};

// The address the stub browser was started with; empty when it was not started in time.
inline std::string OpenedAddress(const std::string& outFile, DWORD timeoutMs = 15000) {
  qmtest::WaitFor([&] { return qmtest::Exists(outFile); }, timeoutMs);
  std::string text = qmtest::Exists(outFile) ? qmtest::ReadAll(outFile) : std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// A window picture beside the test program (where the windows look for it) for one test:
// copied from the sources, or replaced by `bytes` when they are given.
class TPictureBeside {
 public:
  TPictureBeside(const std::string& name, const std::string* bytes = nullptr) {
    const std::string folder = qmtest::ProgramDir() + "res\\images\\";
    CreateDirectoryA((qmtest::ProgramDir() + "res").c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    path_ = folder + name;
    if (bytes)
      qmtest::WriteAll(path_, *bytes);
    else
      CopyFileA((std::string("Z:") + QM_SOURCE_DIR + "/data/res/images/" + name).c_str(), path_.c_str(), FALSE);
  }
  ~TPictureBeside() { qmtest::RemoveTree(qmtest::ProgramDir() + "res"); }
  bool Present() const { return qmtest::Exists(path_); }

 private:
  std::string path_;
};
