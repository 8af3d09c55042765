#include "tests/engine/EngineTestHost.h"

#include <windows.h>

#include "components/StoredData.h"
#include "framework/CLSettings.h"

QM_REGISTER_CLASS(TfrmEngineHost, b) {
  b.Field("engine1", &TfrmEngineHost::engine1);
  b.Field("skin1", &TfrmEngineHost::skin1);
  b.Field("lang1", &TfrmEngineHost::lang1);
  b.Field("mniSkins", &TfrmEngineHost::mniSkins);
  b.Field("mniLanguages", &TfrmEngineHost::mniLanguages);
  b.Field("stored1", &TfrmEngineHost::stored1);
  b.Field("res1", &TfrmEngineHost::res1);
  b.Method("SkinChanged", &TfrmEngineHost::SkinChanged);
  b.Method("LanguageChanged", &TfrmEngineHost::LanguageChanged);
  b.Method("TitleChanged", &TfrmEngineHost::TitleChanged);
}

void TfrmEngineHost::SkinChanged(TObject* sender) {
  Events.push_back(std::string("skin") + (engine1 && engine1->IsLoading() ? " loading" : "") +
                   (sender == engine1 ? "" : " other sender"));
}
void TfrmEngineHost::LanguageChanged(TObject* sender) {
  Events.push_back(std::string("language") + (engine1 && engine1->IsLoading() ? " loading" : "") +
                   (sender == engine1 ? "" : " other sender"));
}
void TfrmEngineHost::TitleChanged(TObject* sender) {
  Events.push_back(std::string("title") + (sender == engine1 ? "" : " other sender"));
}

namespace {
std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}
}  // namespace

std::string HostText(const THostOptions& o) {
  std::string t = "object frmEngineHost : TfrmEngineHost\n  Caption = \"" + o.Caption + "\"\n";
  t += "  object engine1 : TCLEngine\n";
  if (o.Skin) t += "    SkinData = skin1\n";
  if (o.Language) t += "    LanguageData = lang1\n";
  if (o.Menus) t += "    SkinMenuItem = mniSkins\n    LanguageMenuItem = mniLanguages\n";
  t += "    OnSkinChanged = SkinChanged\n    OnLanguageChanged = LanguageChanged\n    OnTitleChange = TitleChanged\n";
  t += "    SettingOverwrite = (\"App.Name=Brindlewick\" \"App.Ver=2.1.1.6\" " + o.Overwrite + ")\n";
  t += "    SettingDefault = (\"Path.Skins=skins\" \"Path.Languages=langs\")\n";
  t += std::string("    TitleIncludeVer = ") + (o.TitleIncludeVer ? "true" : "false") + "\n  end\n";
  if (o.Skin) {
    t += "  object stored1 : TskCompressedStoredSkin\n    FileName = \"Frost.skn\"\n";
    t += "    CompressedData = { " + Hex(qmtest::ReadAll(BuiltSkin("Frost.skn"))) + " }\n  end\n";
    t += "  object res1 : TskResourceStrData\n  end\n";
    t += "  object skin1 : TskSkinData\n    CompressedStoredSkin = stored1\n    ResourceStrData = res1\n";
    t += "    SkinnableForm = true\n  end\n";
  }
  if (o.Language) {
    t += "  object lang1 : TCLMultiLangData\n    DefaultData = (\"[AppRes]\" \"MSGBOX_Twice=Erase {1}? Really {1}?\" "
         "\"MSGBOX_Plain=Plain text\" \"[LibRes]\" \"LibKey=Library text\" \"[SkinRes]\" \"MSG_BTN_YES=&Yes\" \"MSG_TEST_ONLY=From language\")\n  end\n";
  }
  if (o.Menus) {
    t += "  object mniSkins : TMenuItem\n    Caption = \"Skins\"\n"
         "    object mniSkinsFirst : TMenuItem\n      Caption = \"Existing\"\n    end\n  end\n";
    t += "  object mniLanguages : TMenuItem\n    Caption = \"Languages\"\n  end\n";
  }
  return t + "end\n";
}

std::unique_ptr<TfrmEngineHost> CreateHost(const THostOptions& options) {
  RegisterStoredForm("TfrmEngineHost", HostText(options));
  return std::unique_ptr<TfrmEngineHost>(NewForm<TfrmEngineHost>(nullptr));
}

bool WaitPostStart(TfrmEngineHost* host) {
  return qmtest::WaitFor([host] { return !host->engine1->InitPending(); }, 10000);
}

TProgramFolder::TProgramFolder(const std::string& tag) {
  name_ = "engine-" + tag + "-" + std::to_string(GetCurrentProcessId());
  qmtest::RemoveTree(qmtest::ProgramDir() + name_);
  CreateDirectoryA((qmtest::ProgramDir() + name_).c_str(), nullptr);
}

TProgramFolder::~TProgramFolder() { qmtest::RemoveTree(qmtest::ProgramDir() + name_); }

std::string TProgramFolder::Path(const std::string& file) const { return qmtest::ProgramDir() + name_ + "\\" + file; }

std::string BuiltSkin(const std::string& fileName) {
  // The skin tool writes them into the build folder: tests/engine/../../skins.
  return qmtest::ProgramDir() + "..\\..\\skins\\" + fileName;
}

std::string SkinNameOf(const std::string& fileName) {
  TskSkinData probe(nullptr);
  probe.LoadFromCompressedFile(BuiltSkin(fileName));
  return probe.SkinName();
}

void ResetStoredChoices() {
  TCLSettings* s = GetSettings();
  s->WriteString("Skin", "");
  s->WriteString("Language", "");
  s->WriteString("Update.BeginAuto", "");
  s->WriteString("Update.LastDate", "");
  s->WriteString("Update.Days", "");
  s->WriteString("App.NoAutoTitle", "");
  s->WriteShowAgain(90, true);
  s->WriteShowAgainResult(90, 1);
}
