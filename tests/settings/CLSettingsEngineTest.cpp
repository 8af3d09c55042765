// The engine's two key lists as the first and last layers of the settings store.
#include <gtest/gtest.h>

#include "components/Forms.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"

namespace {

TSettingsSources SourcesIn(const qmtest::TScratchDir& dir) {
  CreateDirectoryA((dir / "app").c_str(), nullptr);
  TSettingsSources s;
  s.ModuleFileName = "C:\\engine\\app.exe";
  s.AppPath = dir / "app\\";
  s.UserBase = dir / "user";
  s.CommonBase = dir / "common";
  s.CommonWritable = [](const std::string&) { return false; };
  return s;
}

}  // namespace

TEST(SettingsEngineLayers, OverwriteBeatsTheFileEvenRightAfterAWriteAndDefaultsComeLast) {
  qmtest::TScratchDir dir("settings-engine");
  TSettingsSources src = SourcesIn(dir);
  qmtest::WriteAll(src.AppPath + "const.dat", "[setting]\r\nPath.Skins=constskins\r\nOnlyConst=c\r\n");
  TForm form(nullptr);
  TCLEngine* engine = new TCLEngine(&form);
  ASSERT_EQ(GetEngine(), engine);
  engine->SettingOverwrite()->SetText("Skin=Forced\r\nnoequals\r\nskin=second\r\n");
  TCLSettings s(src);

  ASSERT_TRUE(s.WriteString("Skin", "Chosen"));
  EXPECT_EQ(s.ReadString("SKIN"), "Forced");  // the first matching line, whatever the case
  EXPECT_NE(qmtest::ReadAll(s.SettingsFileName()).find("Skin=Chosen"), std::string::npos);
  EXPECT_EQ(s.ReadString("noequals"), "");  // a line without "=" names nothing

  // The constructor's defaults are the last layer: a file value beats them.
  EXPECT_EQ(s.ReadString("Path.Skins"), "constskins");
  EXPECT_EQ(s.ReadString("Path.Languages"), "lang");
  const int before = GetDebugger()->MessageCount;
  EXPECT_EQ(s.ReadString("OnlyConst"), "c");
  EXPECT_EQ(GetDebugger()->MessageCount, before);

  // Lists changed later are seen at once.
  engine->SettingOverwrite()->Clear();
  EXPECT_EQ(s.ReadString("Skin"), "Chosen");
  engine->SettingDefault()->Add("Late=yes");
  EXPECT_EQ(s.ReadString("Late"), "yes");
  TStringList replacement(std::vector<std::string>{"Late=replaced"});
  engine->SetSettingDefault(&replacement);
  EXPECT_EQ(s.ReadString("Late"), "replaced");
  EXPECT_EQ(s.ReadString("Path.Languages"), "");

  // Without an engine the lists are gone from the lookup.
  delete engine;
  EXPECT_EQ(GetEngine(), nullptr);
  EXPECT_EQ(s.ReadString("Late"), "");
}
