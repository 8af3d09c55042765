// Skin and language selection against real folders beside the test program.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/CLSettings.h"
#include "platform/cwm_WinVersion.h"
#include "tests/engine/EngineTestHost.h"
#include "tools/QVTools.h"

namespace {

class SkinLangTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetStoredChoices(); }

  THostOptions Options(bool menus = false) {
    THostOptions o;
    o.Overwrite = "\"Path.Skins=" + skins.Name() + "\" \"Path.Languages=" + langs.Name() + "\"";
    o.Menus = menus;
    return o;
  }
  void CopySkin(const std::string& builtFile, const std::string& as) {
    ASSERT_TRUE(CopyFileA(BuiltSkin(builtFile).c_str(), skins.Path(as).c_str(), FALSE)) << builtFile;
  }
  void WriteLanguage(const std::string& file, const std::string& appText) {
    qmtest::WriteAll(langs.Path(file), "[Info]\r\nLanguage=" + file + "\r\n[AppRes]\r\nMSGBOX_Plain=" + appText +
                                           "\r\n[SkinRes]\r\nMSG_BTN_YES=" + appText + "-yes\r\n");
  }
  static std::vector<std::string> Names(TStrings* list) { return list->Lines(); }
  static std::vector<std::string> Captions(TMenuItem* parent) {
    std::vector<std::string> c;
    for (int i = 0; i < parent->Count(); ++i) c.push_back(parent->Items(i)->Caption + (parent->Items(i)->Checked ? "*" : ""));
    return c;
  }

  TProgramFolder skins{"skins"};
  TProgramFolder langs{"langs"};
};

}  // namespace

TEST_F(SkinLangTest, FirstStartKeepsTheBuiltInSkinAndTextsAndStoresTheBuiltInNames) {
  auto host = CreateHost(Options());
  TCLEngine* e = host->engine1;
  EXPECT_EQ(e->SkinName(), "Default");
  EXPECT_EQ(e->LanguageName(), "English");
  EXPECT_EQ(GetSettings()->ReadString("Skin"), "Default");
  EXPECT_EQ(GetSettings()->ReadString("Language"), "English");
  EXPECT_EQ(host->skin1->CompressedStoredSkin(), host->stored1);
  EXPECT_EQ(host->skin1->SkinName(), SkinNameOf("Frost.skn"));
  // The "SkinRes" texts reached the skin library's own texts.
  EXPECT_EQ(host->res1->ResStrings()->Values("MSG_TEST_ONLY"), "From language");
}

TEST_F(SkinLangTest, SkinListAndMenuWithBothKindsOfBlueAndALowerCaseDefault) {
  CopySkin("Graphite.skn", "Blue.skn");
  CopySkin("Meadow.nsf.skn", "Blue.nsf.skn");
  CopySkin("Graphite.skn", "default.skn");
  CreateDirectoryA(skins.Path("Folder.skn").c_str(), nullptr);  // a folder is no skin
  qmtest::WriteAll(skins.Path("Note.sknx"), "not a skin");
  auto host = CreateHost(Options(true));
  TCLEngine* e = host->engine1;
  // "default.skn" exists, so the start loaded it under the built-in name.
  EXPECT_EQ(e->SkinName(), "Default");
  EXPECT_EQ(Names(e->GetSkinList()), (std::vector<std::string>{"Default", "Blue", "Blue"}));
  EXPECT_EQ(Captions(host->mniSkins), (std::vector<std::string>{"Existing", "Default*", "Blue", "Blue"}));

  host->mniSkins->Items(2)->Click();
  EXPECT_EQ(e->SkinName(), "Blue");
  EXPECT_EQ(host->skin1->SkinName(), SkinNameOf("Graphite.skn"));  // Blue.skn, not Blue.nsf.skn
  EXPECT_TRUE(host->skin1->SkinnableForm());
  EXPECT_EQ(host->skin1->CompressedStoredSkin(), nullptr);
  EXPECT_EQ(Captions(host->mniSkins), (std::vector<std::string>{"Existing", "Default", "Blue*", "Blue*"}));
  EXPECT_EQ(GetSettings()->ReadString("Skin"), "Blue");
  ASSERT_FALSE(host->Events.empty());
  EXPECT_EQ(host->Events.back(), "skin");

  // The same name again does nothing at all.
  const size_t events = host->Events.size();
  const int changes = host->skin1->ChangeCount();
  host->mniSkins->Items(3)->Click();
  EXPECT_EQ(host->Events.size(), events);
  EXPECT_EQ(host->skin1->ChangeCount(), changes);

  // "default" in small letters is another name: the files are tried again, "Default" is not.
  e->SetSkin("Default");
  const size_t afterDefault = host->Events.size();
  e->SetSkin("default");
  EXPECT_EQ(e->SkinName(), "default");
  EXPECT_EQ(host->Events.size(), afterDefault + 1);
  EXPECT_EQ(Captions(host->mniSkins), (std::vector<std::string>{"Existing", "Default*", "Blue", "Blue"}));
}

TEST_F(SkinLangTest, AControlsOnlySkinLeavesTheFrameAlone) {
  CopySkin("Meadow.nsf.skn", "Green.nsf.skn");
  auto host = CreateHost(Options());
  host->engine1->SetSkin("Green");
  EXPECT_EQ(host->engine1->SkinName(), "Green");
  EXPECT_FALSE(host->skin1->SkinnableForm());
  EXPECT_EQ(host->skin1->SkinName(), SkinNameOf("Meadow.nsf.skn"));

  // Back to a name without a file: the built-in stored skin and its frame setting return.
  host->engine1->SetSkin("Purple");
  EXPECT_EQ(host->engine1->SkinName(), "Default");
  EXPECT_EQ(host->skin1->CompressedStoredSkin(), host->stored1);
  EXPECT_TRUE(host->skin1->SkinnableForm());
  EXPECT_EQ(host->skin1->SkinName(), SkinNameOf("Frost.skn"));
  EXPECT_EQ(GetSettings()->ReadString("Skin"), "Default");

  // "default" in small letters while "Default" is in effect is not the same name: the files
  // are tried again, and without one the built-in skin is applied and announced once more.
  const size_t events = host->Events.size();
  const int changes = host->skin1->ChangeCount();
  host->engine1->SetSkin("default");
  EXPECT_EQ(host->engine1->SkinName(), "Default");
  EXPECT_EQ(host->Events.size(), events + 1);
  EXPECT_GT(host->skin1->ChangeCount(), changes);
}

TEST_F(SkinLangTest, AStoredSkinWithoutFileAtStartLeavesTheSkinUntouched) {
  GetSettings()->WriteString("Skin", "Vanished");
  auto host = CreateHost(Options());
  EXPECT_EQ(host->engine1->SkinName(), "Default");
  EXPECT_EQ(GetSettings()->ReadString("Skin"), "Default");
  EXPECT_EQ(host->skin1->CompressedStoredSkin(), host->stored1);
  EXPECT_EQ(host->skin1->SkinName(), SkinNameOf("Frost.skn"));
}

TEST_F(SkinLangTest, AStoredSkinIsAppliedAtStartWithoutAnEventUntilPostStart) {
  CopySkin("Graphite.skn", "Blue.skn");
  GetSettings()->WriteString("Skin", "Blue");
  auto host = CreateHost(Options());
  EXPECT_EQ(host->engine1->SkinName(), "Blue");
  EXPECT_EQ(host->skin1->SkinName(), SkinNameOf("Graphite.skn"));
  EXPECT_EQ(host->Events, (std::vector<std::string>{"title"}));  // no skin event while loading
  ASSERT_TRUE(WaitPostStart(host.get()));
  EXPECT_EQ(host->Events, (std::vector<std::string>{"title", "language", "skin", "title"}));
}

// Names that leave their folder, from a settings file or a call, load nothing, although a skin
// and a language file are planted where they lead: the built-in ones are used and stored.
TEST_F(SkinLangTest, NamesThatLeaveTheirFolderLoadNothingThoughAFileIsPlantedThere) {
  const std::string planted = qmtest::ProgramDir() + "..\\x\\";  // skins\..\..\x from the program folder
  ASSERT_TRUE(QV_ForceDirectories(planted));
  ASSERT_TRUE(CopyFileA(BuiltSkin("Graphite.skn").c_str(), (planted + "Far.skn").c_str(), FALSE));
  qmtest::WriteAll(planted + "Far.lan", "[Info]\r\nLanguage=Far\r\n[AppRes]\r\nMSGBOX_Plain=planted\r\n");
  GetSettings()->WriteString("Skin", "..\\..\\x\\Far");
  GetSettings()->WriteString("Language", "..\\..\\x\\Far");
  {
    auto host = CreateHost(Options());
    TCLEngine* e = host->engine1;
    for (const char* name : {"", "..\\..\\x\\Far", "../../x/Far", "NUL"}) {
      if (*name) {
        e->SetSkin(name);
        e->SetLanguage(name);
      }
      EXPECT_EQ(e->SkinName(), "Default") << name;
      EXPECT_EQ(host->skin1->SkinName(), SkinNameOf("Frost.skn")) << name;
      EXPECT_EQ(e->LanguageName(), "English") << name;
      EXPECT_EQ(e->GetAppRes("MSGBOX_Plain"), "Plain text") << name;
      EXPECT_EQ(GetSettings()->ReadString("Skin"), "Default") << name;
      EXPECT_EQ(GetSettings()->ReadString("Language"), "English") << name;
    }
  }
  qmtest::RemoveTree(planted);
}

TEST_F(SkinLangTest, LanguagesFromTheFolderAndBackToTheBuiltInTexts) {
  WriteLanguage("Deutsch.lan", "Deutsch");
  qmtest::WriteAll(langs.Path("Deutsch.lan"), qmtest::ReadAll(langs.Path("Deutsch.lan")) + "MSG_DE_ONLY=nur Deutsch\r\n");
  WriteLanguage("English.lan", "EnglishFile");
  auto host = CreateHost(Options(true));
  TCLEngine* e = host->engine1;
  ASSERT_TRUE(WaitPostStart(host.get()));
  host->Events.clear();
  EXPECT_EQ(Names(e->GetLanguageList()), (std::vector<std::string>{"English", "Deutsch"}));
  // The start asked for "English", and English.lan exists.
  EXPECT_EQ(e->GetAppRes("MSGBOX_Plain"), "EnglishFile");
  EXPECT_EQ(Captions(host->mniLanguages), (std::vector<std::string>{"English*", "Deutsch"}));

  host->mniLanguages->Items(1)->Click();
  EXPECT_EQ(e->LanguageName(), "Deutsch");
  EXPECT_EQ(e->GetAppRes("MSGBOX_Plain"), "Deutsch");
  EXPECT_EQ(GetSettings()->ReadString("Language"), "Deutsch");
  EXPECT_EQ(Captions(host->mniLanguages), (std::vector<std::string>{"English", "Deutsch*"}));
  EXPECT_EQ(host->Events, (std::vector<std::string>{"language", "title"}));
  // A text the skin library holds already is never replaced; a new one is added.
  EXPECT_EQ(host->res1->ResStrings()->Values("MSG_BTN_YES"), "&Yes");
  EXPECT_EQ(host->res1->ResStrings()->Values("MSG_DE_ONLY"), "nur Deutsch");

  // A name without a file: the built-in texts, recorded as "English".
  e->SetLanguage("Klingon");
  EXPECT_EQ(e->LanguageName(), "English");
  EXPECT_EQ(e->GetAppRes("MSGBOX_Plain"), "Plain text");
  EXPECT_EQ(GetSettings()->ReadString("Language"), "English");
  EXPECT_EQ(Captions(host->mniLanguages), (std::vector<std::string>{"English*", "Deutsch"}));

  // An empty request means "Default": no such file, so again the built-in texts.
  e->SetLanguage("Deutsch");
  e->SetLanguage("");
  EXPECT_EQ(e->LanguageName(), "English");
  EXPECT_EQ(e->GetAppRes("MSGBOX_Plain"), "Plain text");
}

TEST_F(SkinLangTest, EmptyFoldersHideTheMenuParents) {
  auto host = CreateHost(Options(true));
  EXPECT_FALSE(host->mniLanguages->Visible);
  EXPECT_FALSE(host->mniSkins->Visible);
  EXPECT_EQ(host->mniLanguages->Count(), 0);
  EXPECT_EQ(host->mniSkins->Count(), 1);  // only the item it had
  EXPECT_TRUE(host->engine1->LanguageMenuItems().empty());
}

TEST_F(SkinLangTest, MenuItemsFreedWithTheirParentAreForgotten) {
  CopySkin("Graphite.skn", "Blue.skn");
  auto host = CreateHost(Options(true));
  ASSERT_EQ(host->engine1->SkinMenuItems().size(), 2u);
  delete host->mniSkins;  // its items go with it
  host->engine1->SetSkin("Blue");  // must not touch the freed items
  EXPECT_EQ(host->engine1->SkinName(), "Blue");
}

TEST_F(SkinLangTest, WithoutSkinOrLanguageDataNothingIsSelected) {
  THostOptions o = Options(true);
  o.Skin = false;
  o.Language = false;
  auto host = CreateHost(o);
  host->engine1->SetSkin("Blue");
  host->engine1->SetLanguage("Deutsch");
  EXPECT_EQ(host->engine1->SkinName(), "");
  EXPECT_EQ(host->engine1->LanguageName(), "");
  EXPECT_EQ(GetSettings()->ReadString("Skin"), "");
  ASSERT_TRUE(WaitPostStart(host.get()));
}

// Wine reports Vista 64 only to a program that it runs as Vista in a 64-bit prefix: the
// check runs in a child started with that version set for this program.
QM_CHILD(GlowFramesChild) {
  TProgramFolder skins("glow");
  CopyFileA(BuiltSkin("Graphite.skn").c_str(), skins.Path("Blue.skn").c_str(), FALSE);
  THostOptions o;
  o.Overwrite = "\"Path.Skins=" + skins.Name() + "\"";
  auto host = CreateHost(o);
  host->skin1->SetShowButtonGlowFrames(true);
  host->skin1->SetShowCaptionButtonGlowFrames(true);
  host->engine1->SetSkin("Blue");
  bool off = !host->skin1->ShowButtonGlowFrames() && !host->skin1->ShowCaptionButtonGlowFrames();
  bool on = host->skin1->ShowButtonGlowFrames() && host->skin1->ShowCaptionButtonGlowFrames();
  if (IsVista64()) return off ? 64 : 1;
  return on ? 32 : 2;
}

namespace {
void SetVersionForThisProgram(const char* version) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string exe = path;
  exe = exe.substr(exe.find_last_of('\\') + 1);
  std::string key = "Software\\Wine\\AppDefaults\\" + exe;
  if (!version) {
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    return;
  }
  HKEY k;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) == 0) {
    RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), static_cast<DWORD>(strlen(version) + 1));
    RegCloseKey(k);
  }
}
}  // namespace

TEST_F(SkinLangTest, GlowFramesGoOffOnVista64Only) {
  if (!IsWow64()) GTEST_SKIP() << "a 32-bit prefix cannot report Vista 64";
  SetVersionForThisProgram("vista");
  int vista = qmtest::RunChild("GlowFramesChild");
  SetVersionForThisProgram(nullptr);
  EXPECT_EQ(vista, 64);
  EXPECT_EQ(qmtest::RunChild("GlowFramesChild"), 32);
}
