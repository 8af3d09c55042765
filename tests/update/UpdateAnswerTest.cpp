// The update answer as text: line splitting, the fixed keys, the pushed settings with the keys an
// answer may not touch, and what each mode shows.
#include <gtest/gtest.h>

#include "net/UpdateAnswer.h"

using namespace updatetext;

namespace {

TAnswerInputs Manual(const std::string& magic = "") {
  TAnswerInputs in;
  in.MagicWord = magic;
  in.Manual = true;
  return in;
}

TAnswerInputs Automatic(bool autoCheck, bool noAutoCheck, int runTimes) {
  TAnswerInputs in;
  in.AutoCheck = autoCheck;
  in.NoAutoCheck = noAutoCheck;
  in.RunTimes = runTimes;
  return in;
}

using TPairs = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST(UpdateAnswer, LinesSplitAtEveryLineEndAndValuesKeepTheirEquals) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitAnswerLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitAnswerLines("a\n\r\nb\r\n"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitAnswerLines("\r\r"), (V{"", ""}));
  EXPECT_EQ(SplitAnswerLines(""), V{});
  std::string name, value;
  ASSERT_TRUE(SplitNameValue("page=http://x/?a=1&b=2", &name, &value));
  EXPECT_EQ(name, "page");
  EXPECT_EQ(value, "http://x/?a=1&b=2");
  ASSERT_TRUE(SplitNameValue("=v", &name, &value));
  EXPECT_EQ(name, "");
  name = "kept";
  EXPECT_FALSE(SplitNameValue("Result 1", &name, &value));
  EXPECT_EQ(name, "kept");
}

TEST(UpdateAnswer, DecimalNumbers) {
  int v = 99;
  EXPECT_TRUE(ParseDecimal("1", &v) && v == 1);
  EXPECT_TRUE(ParseDecimal(" -2 ", &v) && v == -2);
  EXPECT_TRUE(ParseDecimal("+0", &v) && v == 0);
  EXPECT_TRUE(ParseDecimal("-2147483648", &v) && v == INT32_MIN);
  EXPECT_TRUE(ParseDecimal("2147483647", &v) && v == INT32_MAX);
  v = 99;
  for (const char* bad : {"", " ", "-", "1x", "0x1", "1.0", "2147483648", "99999999999999999999", "1 2"})
    EXPECT_FALSE(ParseDecimal(bad, &v)) << bad;
  EXPECT_EQ(v, 99);
}

TEST(UpdateAnswer, NewerVersionShowsInfoAndPageWithFirstOccurrencesAndAnyCase) {
  const TAnswerOutcome o = ProcessAnswer(
      "MAGICWORD=Secret\r\nresult=1\r\nINFO=Version 2 = better\r\nPage=http://example.com/dl?v=2\r\n"
      "Result=0\r\ninfo=second\r\npage=http://other/\r\n",
      Manual("secret"));
  EXPECT_TRUE(o.MagicMatched);
  EXPECT_EQ(o.Show, kShowNewVersion);
  EXPECT_EQ(o.Info, "Version 2 = better");
  EXPECT_EQ(o.Page, "http://example.com/dl?v=2");
  EXPECT_TRUE(o.Refused.empty());

  const TAnswerOutcome noPage = ProcessAnswer("Result=1\ninfo=new", Manual());
  EXPECT_EQ(noPage.Show, kShowNewVersion);
  EXPECT_EQ(noPage.Info, "new");
  EXPECT_EQ(noPage.Page, "");
}

TEST(UpdateAnswer, ResultValuesInManualMode) {
  struct Case {
    const char* answer;
    TAnswerShow show;
  } cases[] = {
      {"Result=0", kShowLastVersion},   {"", kShowLastVersion},
      {"Result=abc", kShowLastVersion}, {"Result=", kShowLastVersion},
      {"Result 1\ninfo=x", kShowLastVersion},  // no "=": not a Result line
      {"Result=2", kShowNothing},       {"Result=-1", kShowNothing},
      {"Result= 1 ", kShowNewVersion},
  };
  for (const Case& c : cases) {
    const TAnswerOutcome o = ProcessAnswer(c.answer, Manual());
    EXPECT_EQ(o.Show, c.show) << c.answer;
    EXPECT_TRUE(o.MagicMatched);
  }
}

TEST(UpdateAnswer, MagicWordMismatchIsANetworkErrorAndPushesNothing) {
  const std::string answer = "magicword=other\nResult=1\nBanner.Top.URL=x\n__MODIFY__.Update.Days=7\n";
  TAnswerOutcome o = ProcessAnswer(answer, Manual("word"));
  EXPECT_FALSE(o.MagicMatched);
  EXPECT_EQ(o.Show, kShowNetError);
  EXPECT_TRUE(o.Settings.empty());
  o = ProcessAnswer(answer, Automatic(true, false, 5));
  EXPECT_EQ(o.Show, kShowNothing);
  EXPECT_TRUE(o.Settings.empty());
  // A missing line is an empty word: it fails against a set word and passes against an empty one.
  EXPECT_EQ(ProcessAnswer("<html>Result=1</html>", Manual("word")).Show, kShowNetError);
  EXPECT_TRUE(ProcessAnswer("Result=0", Manual("")).MagicMatched);
  EXPECT_FALSE(ProcessAnswer("magicword=x\nResult=0", Manual("")).MagicMatched);
  // The first line counts; letter case of the value does not.
  EXPECT_TRUE(ProcessAnswer("MagicWord=WORD\nmagicword=no", Manual("word")).MagicMatched);
  EXPECT_FALSE(ProcessAnswer("MagicWord=no\nmagicword=word", Manual("word")).MagicMatched);
  EXPECT_FALSE(ProcessAnswer("magicword=word ", Manual("word")).MagicMatched);
}

TEST(UpdateAnswer, BannerAndModifyLinesAreStoredInOrder) {
  const TAnswerOutcome o = ProcessAnswer(
      "banner.Top.URL=http://x/\n__MODIFY__.Update.Days=7\nBANNER.About.RemoteURL=http://b/=1\n"
      "__modify__.Update.Days=8\nBannerless=1\n__MODIFY__X=1\nother.Banner.x=1\nResult=2\n",
      Manual());
  EXPECT_EQ(o.Settings, (TPairs{{"banner.Top.URL", "http://x/"},
                                {"Update.Days", "7"},
                                {"BANNER.About.RemoteURL", "http://b/=1"},
                                {"Update.Days", "8"}}));
  EXPECT_EQ(o.Show, kShowNothing);
  EXPECT_TRUE(o.Refused.empty());
}

TEST(UpdateAnswer, PushesCannotReachProgramPathsIdentityDebugOrLocalAddresses) {
  const TAnswerOutcome o = ProcessAnswer(
      "__MODIFY__.FireFoxPath=C:\\evil.exe\n"
      "__MODIFY__.firefoxpath=C:\\evil.exe\n"
      "__MODIFY__.App.MagicWord=x\n"
      "__MODIFY__.app.GUID=x\n"
      "__MODIFY__.Path.Data=C:\\\n"
      "__MODIFY__.DEBUG.On=1\n"
      "__MODIFY__.URL.Update=file:///C:/evil.exe\n"
      "__MODIFY__.url.Support=C:\\evil.exe\n"
      "__MODIFY__.URL.Redirect=\n"
      "__MODIFY__.=x\n"
      "__MODIFY__. App.ID=x\n"
      "__MODIFY__.App.ID =x\n"
      "__MODIFY__.[x=y]\n"
      "__MODIFY__.;c=1\n"
      "__MODIFY__.a\tb=1\n"
      "Banner.Top.URL =x\n"
      "__MODIFY__.URL.Help=http://example.com/help\n"
      "__MODIFY__.URL.Home=HTTPS://example.com/\n"
      "__MODIFY__.FireFoxPathX=1\n"
      "__MODIFY__.Apps.X=1\n"
      "__MODIFY__.Update.Days=3\n"
      "Result=1\n",
      Manual());
  EXPECT_EQ(o.Settings, (TPairs{{"URL.Help", "http://example.com/help"},
                                {"URL.Home", "HTTPS://example.com/"},
                                {"FireFoxPathX", "1"},
                                {"Apps.X", "1"},
                                {"Update.Days", "3"}}));
  ASSERT_EQ(o.Refused.size(), 16u);
  EXPECT_EQ(o.Refused[0], "__MODIFY__.FireFoxPath=C:\\evil.exe (protected key)");
  EXPECT_EQ(o.Refused[6], "__MODIFY__.URL.Update=file:///C:/evil.exe (not a web address)");
  EXPECT_EQ(o.Refused[9], "__MODIFY__.=x (bad key)");
  // The refusals do not stop the rest of the answer.
  EXPECT_EQ(o.Show, kShowNewVersion);
}

// The skin and language names pick files that are loaded at every start, and a request address
// must be one the downloader can fetch: "http://\\host\share\x.exe" begins like a web address.
TEST(UpdateAnswer, PushesCannotChooseSkinOrLanguageNorAnAddressTheDownloaderCannotFetch) {
  const struct {
    const char* key;
    const char* value;
    TPushVerdict verdict;
  } cases[] = {
      {"Skin", "..\\..\\x\\Far", kPushProtectedKey},
      {"LANGUAGE", "Deutsch", kPushProtectedKey},
      {"Net.TotalLimit", "1", kPushProtectedKey},
      {"SkinX", "1", kPushAllowed},
      {"URL.Help", "http://example.com", kPushAllowed},
      {"URL.Help", "https://example.com:8443/a/b?c=d%20e", kPushAllowed},
      {"URL.Help", "http://127.0.0.1:80/", kPushAllowed},
      {"URL.Help", "http://\\\\host\\share\\x.exe", kPushNotWebURL},
      {"URL.Help", "http://host/..\\x.exe", kPushNotWebURL},
      {"URL.Help", "http://", kPushNotWebURL},
      {"URL.Help", "http:///path", kPushNotWebURL},
      {"URL.Help", "http://user@host/", kPushNotWebURL},
      {"URL.Help", "http://host:0/", kPushNotWebURL},
      {"URL.Help", "http://host:65536/", kPushNotWebURL},
      {"URL.Help", "http://host:/", kPushNotWebURL},
      {"URL.Help", "http://host/a b", kPushNotWebURL},
      {"URL.Help", "http://host/a\tb", kPushNotWebURL},
      {"URL.Help", "ftp://host/", kPushNotWebURL},
      {"URL.Help", "file://C:/x.exe", kPushNotWebURL},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckModifyPush(c.key, c.value), c.verdict) << c.key << "=" << c.value;
  const TAnswerOutcome o = ProcessAnswer(
      "__MODIFY__.Language=..\\..\\x\\Far\n__MODIFY__.Skin=..\\..\\x\\Far\nResult=1\n", Manual());
  EXPECT_TRUE(o.Settings.empty());
  EXPECT_EQ(o.Refused.size(), 2u);
}

TEST(UpdateAnswer, BannerAddressesAreWebOrProgramFolderPlaces) {
  for (const char* ok : {"http://b/x.htm", "HTTPS://b/", "%exepath%\\banner\\top.htm", "%ExePath%/b.htm",
                         "%exepath%\\a..b.htm", ""}) {
    for (const std::string prefix : {"Banner.Top.URL=", "__MODIFY__.Banner.Top.URL="}) {
      const TAnswerOutcome o = ProcessAnswer(prefix + ok, Manual());
      EXPECT_EQ(o.Settings, (TPairs{{"Banner.Top.URL", ok}})) << prefix << ok;
      EXPECT_TRUE(o.Refused.empty()) << prefix << ok;
    }
  }
  // A share, a local or relative path, another scheme, or a way out of the program folder.
  for (const char* bad : {"\\\\server\\share\\b.htm", "//server/share/b.htm", "C:\\b.htm", "file:///C:/b.htm",
                          "b.htm", "javascript:alert(1)", " http://b/", "%exepath%\\..\\..\\Windows\\x.htm",
                          "%exepath%..\\x.htm", "%exepath%\\a\\..", "x%exepath%\\b.htm"}) {
    for (const std::string prefix : {"Banner.Top.URL=", "__MODIFY__.Banner.Top.URL="}) {
      const TAnswerOutcome o = ProcessAnswer(prefix + bad + "\nResult=0", Manual());
      EXPECT_TRUE(o.Settings.empty()) << prefix << bad;
      ASSERT_EQ(o.Refused.size(), 1u) << prefix << bad;
      EXPECT_EQ(o.Refused[0], prefix + bad + " (not a web or program-folder address)");
      EXPECT_EQ(o.Show, kShowLastVersion);  // the rest of the answer still counts
    }
  }
}

TEST(UpdateAnswer, PushesAreBoundedInNumberAndLength) {
  std::string answer = "Result=1\n";
  for (size_t i = 0; i < kMaxPushedLines + 44; ++i)
    answer += (i % 2 ? "__MODIFY__.Update.K" : "Banner.K") + std::to_string(i) + "=http://v/\n";
  answer += "info=after the pushes\n";
  TAnswerOutcome o = ProcessAnswer(answer, Manual());
  ASSERT_EQ(o.Settings.size(), kMaxPushedLines);
  EXPECT_EQ(o.Settings.back().first, "Update.K" + std::to_string(kMaxPushedLines - 1));
  EXPECT_EQ(o.PushesDropped, 44u);
  EXPECT_EQ(o.Info, "after the pushes");

  const std::string key128(128 - std::string("Banner.").size(), 'k');
  const std::string value2048 = "http://v/" + std::string(2048 - 9, 'v');
  o = ProcessAnswer("Banner." + key128 + "=" + value2048 + "\n" +          // at the bounds: stored
                        "Banner." + key128 + "k=http://v/\n" +                 // key one too long
                        "__MODIFY__.Update.X=" + value2048 + "v\n",            // value one too long
                    Manual());
  ASSERT_EQ(o.Settings.size(), 1u);
  EXPECT_EQ(o.Settings[0].second, value2048);
  ASSERT_EQ(o.Refused.size(), 2u);
  EXPECT_NE(o.Refused[0].find("(too long)"), std::string::npos);
  // What is traced of a refused line is cut short.
  EXPECT_LT(o.Refused[1].size(), 400u);
  EXPECT_EQ(o.Refused[1].rfind("__MODIFY__.Update.X=http://v/vvv", 0), 0u);
  EXPECT_NE(o.Refused[1].find("vvv... (too long)"), std::string::npos);

  // A million short lines are walked in one pass and push no more than the bound.
  std::string flood = "magicword=w\n";
  for (int i = 0; i < 1000000; ++i) flood += "Banner.x=v\n";
  o = ProcessAnswer(flood, Manual("W"));
  EXPECT_TRUE(o.Settings.empty());
  EXPECT_EQ(o.Refused.size(), kMaxPushedLines);  // "v" is no banner address
  EXPECT_EQ(o.PushesDropped, 1000000u - kMaxPushedLines);
}

TEST(UpdateAnswer, MergedPushesKeepTheFirstPlaceAndTheLastValue) {
  EXPECT_EQ(MergePushes(TPairs{{"banner.Top.URL", "http://1/"}, {"Update.Days", "7"},
                               {"Banner.TOP.url", "http://2/"}, {"Update.Days", "8"}, {"X", ""}}),
            (TPairs{{"banner.Top.URL", "http://2/"}, {"Update.Days", "8"}, {"X", ""}}));
  EXPECT_EQ(MergePushes(TPairs{}), TPairs{});
}

TEST(UpdateAnswer, PageOpensOnlyWebAddresses) {
  for (const char* page : {"C:\\Windows\\system32\\calc.exe", "file:///C:/x.exe", "javascript:alert(1)",
                           "\\\\server\\share\\x.exe", " http://x/", "httpx://y"}) {
    const TAnswerOutcome o = ProcessAnswer(std::string("Result=1\ninfo=i\npage=") + page, Manual());
    EXPECT_EQ(o.Show, kShowNewVersion) << page;
    EXPECT_EQ(o.Page, "") << page;
    ASSERT_EQ(o.Refused.size(), 1u) << page;
  }
  EXPECT_EQ(ProcessAnswer("Result=1\npage=https://x/", Manual()).Page, "https://x/");
  EXPECT_EQ(ProcessAnswer("Result=1\npage=Http://x/", Manual()).Page, "Http://x/");
  EXPECT_TRUE(IsWebAddress("http://"));
  EXPECT_FALSE(IsWebAddress("http:/x"));
}

TEST(UpdateAnswer, AutomaticModeShowsOnlyANewerVersionWhenAllowedButAlwaysStores) {
  const std::string newer = "Result=1\ninfo=n\npage=http://p/\n__MODIFY__.Update.Days=7\n";
  struct Case {
    bool autoCheck, noAutoCheck;
    int runTimes;
    TAnswerShow show;
  } cases[] = {
      {true, false, 1, kShowNewVersion}, {false, false, 1, kShowNothing},
      {true, true, 1, kShowNothing},     {true, false, 0, kShowNothing},
      {true, false, -1, kShowNewVersion},
  };
  for (const Case& c : cases) {
    const TAnswerOutcome o = ProcessAnswer(newer, Automatic(c.autoCheck, c.noAutoCheck, c.runTimes));
    EXPECT_EQ(o.Show, c.show) << c.autoCheck << c.noAutoCheck << c.runTimes;
    EXPECT_EQ(o.Settings, (TPairs{{"Update.Days", "7"}}));
  }
  // No newer version, a missing Result or another number: nothing in automatic mode.
  for (const char* answer : {"Result=0", "", "Result=2"})
    EXPECT_EQ(ProcessAnswer(answer, Automatic(true, false, 3)).Show, kShowNothing) << answer;
}

TEST(UpdateAnswer, DateTimeSerialCountsDaysFrom30December1899) {
  EXPECT_DOUBLE_EQ(DateTimeSerial(1899, 12, 30, 0, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(DateTimeSerial(1900, 1, 1, 12, 0, 0, 0), 2.5);
  EXPECT_DOUBLE_EQ(DateTimeSerial(2000, 1, 1, 0, 0, 0, 0), 36526.0);
  EXPECT_DOUBLE_EQ(DateTimeSerial(2026, 12, 9, 6, 0, 0, 0), 46365.25);
  EXPECT_NEAR(DateTimeSerial(2024, 2, 29, 23, 59, 59, 999), 45351.0 + 86399.999 / 86400.0, 1e-9);
}
