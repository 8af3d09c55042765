// The engine's platform-free decisions, case by case.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/CLEngineRules.h"

using namespace clengine;

TEST(EngineRules, TitleIsTheNameAndTwoBlanksAndTheVersionWhenAsked) {
  struct {
    const char* name;
    bool withVer;
    const char* ver;
    const char* title;
  } cases[] = {
      {"Brindlewick", true, "2.1.1.6", "Brindlewick  2.1.1.6"},
      {"Brindlewick", false, "2.1.1.6", "Brindlewick"},
      {"Brindlewick", true, "", "Brindlewick  "},  // an empty version keeps the blanks
      {"", true, "1.0", "  1.0"},
      {"", false, "1.0", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ComposeTitle(c.name, c.withVer, c.ver), c.title) << c.name << c.withVer;
}

TEST(EngineRules, UpdateIsDueWhenTheWholeDaysReachTheSpan) {
  const double now = 46000.75;  // an afternoon
  struct {
    double last;
    int days;
    bool due;
  } cases[] = {
      {now - 3, 7, false},
      {now - 8, 7, true},
      {now - 7, 7, true},          // exactly the span
      {now - 6.99, 7, false},      // truncated, not rounded
      {now + 8, 7, true},          // a stored date in the future counts by its distance
      {now + 3, 7, false},
      {0, 7, true},                // never checked: day 0 is long ago
      {now, 0, true},              // no "Update.Days": every start
      {now - 0.5, 1, false},
      {now, -5, true},
      {std::numeric_limits<double>::quiet_NaN(), 7, true},  // a stored value that is no date
      {std::numeric_limits<double>::infinity(), 7, true},
  };
  for (const auto& c : cases) EXPECT_EQ(UpdateCheckDue(now, c.last, c.days), c.due) << c.last << " " << c.days;
}

TEST(EngineRules, PlaceholdersAreFilledEverywhereInOnePass) {
  struct {
    const char* text;
    std::vector<std::string> args;
    const char* out;
  } cases[] = {
      {"{1} and again {1}", {"example.com"}, "example.com and again example.com"},
      {"{1} and {1}", {}, "{1} and {1}"},  // no arguments: untouched
      {"{2}-{1}", {"a", "b"}, "b-a"},
      {"{1}{3}", {"a", "b"}, "a{3}"},       // beyond the arguments: stays
      {"{0}{01}{1", {"a"}, "{0}{01}{1"},     // not the decimal form of an argument number
      {"{1}", {"{2}"}, "{2}"},               // argument text is not scanned again
      {"{1}", {"x", "y"}, "x"},
      {"{10}", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}, "ten"},
      {"{99999999999999999999}", {"a"}, "{99999999999999999999}"},
      {"", {"a"}, ""},
      {"{}{", {"a"}, "{}{"},
  };
  for (const auto& c : cases) EXPECT_EQ(FillPlaceholders(c.text, c.args), c.out) << c.text;
}

TEST(EngineRules, ListNamesDropFoldersAndExtensions) {
  EXPECT_EQ(NameFromFileName("C:\\app\\skins\\Blue.skn", 2), "Blue");
  EXPECT_EQ(NameFromFileName("C:\\app\\skins\\Blue.nsf.skn", 2), "Blue");
  EXPECT_EQ(NameFromFileName("C:\\a.b\\skins\\Sky.v2.nsf.skn", 2), "Sky.v2");
  EXPECT_EQ(NameFromFileName("C:\\app\\langs\\Deutsch.lan", 1), "Deutsch");
  EXPECT_EQ(NameFromFileName("Deutsch.v1.lan", 1), "Deutsch.v1");
  EXPECT_EQ(NameFromFileName("C:\\x\\.skn", 2), "");

  EXPECT_TRUE(HasExtension("Blue.SKN", ".skn"));
  EXPECT_TRUE(HasExtension("Blue.nsf.skn", ".skn"));
  EXPECT_FALSE(HasExtension("Blue.sknx", ".skn"));
  EXPECT_FALSE(HasExtension("kn", ".skn"));
}

TEST(EngineRules, NameListsPutTheBuiltInNameFirstAndSortWithoutCase) {
  std::vector<std::string> skins = BuildNameList(
      "Default", {"C:\\s\\default.skn", "C:\\s\\Blue.nsf.skn", "C:\\s\\Blue.skn", "C:\\s\\azure.skn", "C:\\s\\.skn"}, 2);
  // Blue.nsf.skn sorts before Blue.skn ("n" < "s"); default.skn names the built-in skin.
  EXPECT_EQ(skins, (std::vector<std::string>{"Default", "azure", "Blue", "Blue"}));

  std::vector<std::string> langs = BuildNameList("English", {"C:\\l\\English.lan", "C:\\l\\Deutsch.lan"}, 1);
  EXPECT_EQ(langs, (std::vector<std::string>{"English", "Deutsch"}));
  EXPECT_EQ(BuildNameList("English", {}, 1), (std::vector<std::string>{"English"}));
  EXPECT_EQ(BuildNameList("English", {"C:\\l\\ENGLISH.lan"}, 1), (std::vector<std::string>{"English"}));
}

// A name is joined to a folder and opened, so only plain file names pass: the rule holds for the
// name and for the name of the file found in a folder.
TEST(EngineRules, SkinAndLanguageNamesArePlainFileNames) {
  const struct {
    std::string name;
    bool plain;
  } cases[] = {
      {"Deutsch", true}, {"Blue.nsf.skn", true}, {"9lives", true}, {"Sky v2", true}, {"\xD6sterreich", true},
      {std::string(64, 'a'), true}, {std::string(65, 'a'), false}, {"", false},
      {"..\\..\\x\\Far", false}, {"x\\Far", false}, {"x/Far", false}, {"C:Far", false}, {"a..b", false},
      {".hidden", false}, {"-x", false}, {" x", false}, {"Far.", false}, {"Far ", false},
      {"Far*", false}, {"F?r", false}, {"F<r", false}, {"F\"r", false}, {"F|r", false},
      {std::string("F\0r", 3), false}, {"F\tr", false}, {"F\x7Fr", false},
      {"CON", false}, {"nul", false}, {"Aux.lan", false}, {"PRN .skn", false}, {"COM1", false},
      {"lpt9.nsf.skn", false}, {"COM0", true}, {"COM10", true}, {"CONSOLE", true}, {"NULL.lan", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPlainName(c.name), c.plain) << "'" << c.name << "'";
  // A file of a plain name whose derived name is not plain, and the other way round, are left out.
  EXPECT_EQ(BuildNameList("Default", {"C:\\s\\NUL.nsf.skn", "C:\\s\\Far..skn", "C:\\s\\" + std::string(62, 'b') + ".skn",
                                      "C:\\s\\Ok.skn"}, 2),
            (std::vector<std::string>{"Default", "Ok"}));
}
