// The INI layout as read and as written, on text alone.
#include <gtest/gtest.h>

#include <chrono>

#include "framework/IniText.h"

namespace {

std::string Get(const TIniText& ini, const std::string& section, const std::string& key) {
  std::string v;
  return ini.Find(section, key, &v) ? v : "<missing>";
}

}  // namespace

TEST(IniText, ReadsTrimmedLinesSkipsCommentsAndLinesBeforeFirstSection) {
  TIniText ini(
      "orphan=1\r\n"
      "; comment=2\r\n"
      "  [ setting ]  \r\n"
      "   Key One  =  some value  \r\n"
      "\r\n"
      ";App.ID=9\r\n"
      "novalue\r\n"
      "Empty=\r\n"
      "eq=a=b\r\n");
  EXPECT_EQ(Get(ini, "setting", "Key One"), "some value");
  EXPECT_EQ(Get(ini, "SETTING", "key one"), "some value");  // names ignore case
  EXPECT_EQ(Get(ini, "setting", "Empty"), "");
  EXPECT_EQ(Get(ini, "setting", "eq"), "a=b");  // the first "=" splits
  EXPECT_EQ(Get(ini, "setting", "orphan"), "<missing>");
  EXPECT_EQ(Get(ini, "setting", "App.ID"), "<missing>");
  EXPECT_EQ(Get(ini, "setting", "novalue"), "<missing>");  // a line without "=" has no name
  EXPECT_EQ(ini.Text(), "[setting]\r\nKey One=some value\r\nnovalue\r\nEmpty=\r\neq=a=b\r\n\r\n");
}

TEST(IniText, LfAndCrLfFilesReadAlike) {
  TIniText lf("[a]\nx=1\ny=2\n");
  TIniText crlf("[a]\r\nx=1\r\ny=2\r\n");
  EXPECT_EQ(lf.Text(), crlf.Text());
  EXPECT_EQ(Get(lf, "a", "y"), "2");
  TIniText noFinalBreak("[a]\nx=1");
  EXPECT_EQ(Get(noFinalBreak, "a", "x"), "1");
}

TEST(IniText, LaterDuplicatesCountForReadingAndAreTheOnesWritten) {
  TIniText ini("[s]\r\nk=first\r\n[t]\r\nz=0\r\n[S]\r\nK=second\r\nn=1\r\n");
  EXPECT_EQ(Get(ini, "s", "k"), "second");
  EXPECT_EQ(Get(ini, "s", "n"), "1");  // a repeated section continues the first one
  ini.Set("s", "k", "changed");
  EXPECT_EQ(Get(ini, "s", "k"), "changed");
  // The first "k" keeps its value; sections stay in order of first appearance.
  EXPECT_EQ(ini.Text(), "[s]\r\nk=first\r\nK=changed\r\nn=1\r\n\r\n[t]\r\nz=0\r\n\r\n");
}

TEST(IniText, NewKeysAppendToTheirSectionAndNewSectionsToTheFile) {
  TIniText ini("[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
  ini.Set("A", "new", "3");
  ini.Set("c", "z", "4");
  ini.Set("b", "Y", "5");
  EXPECT_EQ(ini.Text(), "[a]\r\nx=1\r\nnew=3\r\n\r\n[b]\r\ny=5\r\n\r\n[c]\r\nz=4\r\n\r\n");
}

TEST(IniText, RewriteIsStableAndEmptyTextIsEmpty) {
  TIniText ini("[b]\r\nx=1\r\n[a]\r\ny=2\r\n");
  const std::string once = ini.Text();
  EXPECT_EQ(TIniText(once).Text(), once);
  EXPECT_EQ(TIniText("").Text(), "");
  EXPECT_EQ(TIniText(" ").Text(), "");  // a fresh "setting.dat" holds one space
  TIniText fresh(" ");
  fresh.Set("setting", "RunTimes", "1");
  EXPECT_EQ(fresh.Text(), "[setting]\r\nRunTimes=1\r\n\r\n");
}

TEST(IniText, OddLinesDoNotConfuseTheReader) {
  TIniText ini("[]\r\n=v\r\n[x\r\nk]=1\r\n[\r\n]\r\n\x01\x02\r\n[s]\r\nk=\x7f\r\n");
  EXPECT_EQ(Get(ini, "", ""), "v");
  EXPECT_EQ(Get(ini, "", "[x"), "<missing>");
  EXPECT_EQ(Get(ini, "", "k]"), "1");
  EXPECT_EQ(Get(ini, "s", "k"), "\x7f");
  EXPECT_EQ(TIniText(ini.Text()).Text(), ini.Text());
}

// A hostile file of many sections: each header finds its section through the index, so the
// whole text parses in time proportional to its length.
TEST(IniText, ManySectionsParseQuicklyAndRepeatedNamesStillMerge) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "[Section" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
  text += "[SECTION7]\nlate=1\n";
  const auto start = std::chrono::steady_clock::now();
  TIniText ini(text);
  EXPECT_EQ(Get(ini, "section199999", "K"), "199999");
  EXPECT_EQ(Get(ini, "Section7", "late"), "1");
  ini.Set("section7", "more", "2");
  ini.Set("Brand New", "x", "3");
  ini.Set("brand new", "y", "4");
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_LT(ms.count(), 5000);
  ASSERT_EQ(ini.Sections().size(), 200001u);
  EXPECT_EQ(ini.Sections()[7].lines.size(), 3u);
  EXPECT_EQ(ini.Sections().back().name, "Brand New");
  EXPECT_EQ(Get(ini, "BRAND NEW", "y"), "4");
  EXPECT_EQ(Get(ini, "section7", "more"), "2");
  // A parse replaces everything, the section index included.
  ini.Parse("[b]\r\nz=1\r\n");
  ini.Set("Section7", "k", "new");
  EXPECT_EQ(ini.Text(), "[b]\r\nz=1\r\n\r\n[Section7]\r\nk=new\r\n\r\n");
}
