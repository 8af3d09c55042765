// The language data on real files: loading, fallback to the built-in texts, "{AppName}", the
// "Info" texts, merging a section into a list, damaged and very large files, and the language
// files shipped with the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <thread>

#include "lang/CLBuiltInTexts.h"
#include "lang/CLMultiLang.h"
#include "platform/Handles.h"
#include "support/TestSupport.h"

using qmtest::TScratchDir;
using qmtest::WriteAll;

namespace {

// The language data as the main window holds it: the built-in texts in both text sets.
struct TMainData {
  TCLMultiLangData data{nullptr};
  TMainData() {
    TStringList current(BuiltInCurrentTexts()), defaults(BuiltInDefaultTexts());
    data.SetCurrentData(&current);
    data.SetDefaultData(&defaults);
  }
  std::string Text(const std::string& section, const std::string& key) const {
    std::string v = "<untouched>";
    return data.FindText(section, "", key, v) ? v : "<missing:" + v + ">";
  }
};

std::string Lines(const TStrings& s) {
  std::string out;
  for (int i = 0; i < s.Count(); ++i) out += s.Get(i) + "|";
  return out;
}

}  // namespace

TEST(BuiltInTexts, BothCopiesHoldTheSameLinesInTheirSectionOrder) {
  const auto& current = BuiltInCurrentTexts();
  const auto& defaults = BuiltInDefaultTexts();
  EXPECT_EQ(std::multiset<std::string>(current.begin(), current.end()),
            std::multiset<std::string>(defaults.begin(), defaults.end()));
  std::vector<std::string> headers;
  for (size_t i = 0; i < current.size(); ++i)
    if (!current[i].empty() && current[i][0] == '[') {
      headers.push_back(current[i]);
      if (i > 0) {
        EXPECT_EQ(current[i - 1], "") << "no empty line before " << current[i];
      }
    }
  EXPECT_EQ(headers, (std::vector<std::string>{"[LibRes]", "[AppRes]", "[TfrmMain]"}));
  EXPECT_EQ(current.back(), "");
  EXPECT_EQ(defaults.front(), "[AppRes]");
  for (const std::string& line : current) {
    EXPECT_EQ(line.find('%'), std::string::npos) << "undecodable escape in " << line;
    EXPECT_NE(line.rfind("AppName=", 0), 0u) << line;
  }
}

TEST(BuiltInTexts, MessagesAreReadableSentencesAndNamesFollowTheirPlaceholders) {
  TMainData m;
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_EnterDomain"), "Please enter a website address such as example.com");
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_DomainCleared"), "The cookies of website {1} have been cleared");
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_Cleared"), "Cleared successfully");
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_ExitNotify"), "Are you sure you want to exit?");
  EXPECT_EQ(m.Text("LibRes", "Update.NetError"),
            "The update server could not be reached. Check your Internet connection and try again.");
  EXPECT_EQ(m.Text("LibRes", "Update.LastVersionAlready"), "You already have the latest version.");
  EXPECT_EQ(m.Text("LibRes", "Update.Connecting"), "Checking for updates...");
  EXPECT_EQ(m.Text("LibRes", "TfrmCLAboutForm.CopyRightLine3"), "{1} is tranlated by {2}");
  // No "AppName" anywhere: the placeholder gives way to nothing.
  EXPECT_EQ(m.Text("LibRes", "frmCLAboutForm.Caption"), "About ");
  EXPECT_EQ(m.Text("AppRes", "AppName"), "<missing:<untouched>>");
  std::string lines;
  ASSERT_TRUE(m.data.FindText("TfrmMain", "lblDomain", "Lines", lines));
  EXPECT_EQ(lines.substr(lines.size() - 16), "example.com).)\r\n");
  EXPECT_EQ(m.Text("TfrmMain", "pngStore.PngImages[2].Name"), "PngImage2");
  EXPECT_EQ(m.data.CurrentLanguage(), "");
}

TEST(LanguageData, LoadedFileComesFirstThenDefaultsAndClearLanguageFallsBackEntirely) {
  TScratchDir dir("lang");
  WriteAll(dir / "Test.lan",
           "[Info]\r\nLanguage=Testisch\r\nTranslator=T. Ester\r\nVersion=2.0\r\n\r\n"
           "[AppRes]\r\nAppName=Quill {AppName} Pro\r\nMSGBOX_Cleared=Weg<SP>\r\n\r\n"
           "[LibRes]\r\nfrmCLAboutForm.Caption=Uber {APPNAME}\r\n\r\n"
           "[tfrmmain]\r\nbtnDelete.Caption=&Loeschen\r\n");
  TMainData m;
  m.data.LoadLanguage(dir / "Test.lan");
  EXPECT_EQ(m.data.CurrentLanguage(), "Testisch");
  EXPECT_EQ(m.data.CurrentLanguageTranslator(), "T. Ester");
  EXPECT_EQ(m.data.CurrentVersion(), "2.0");
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_Cleared"), "Weg ");
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_NoItemChoosed"), "There is no option selected to clear");
  // The application name is never substituted in itself, and it fills every other text.
  EXPECT_EQ(m.Text("appres", "APPNAME"), "Quill {AppName} Pro");
  EXPECT_EQ(m.Text("LibRes", "frmCLAboutForm.Caption"), "Uber Quill {AppName} Pro");
  EXPECT_EQ(m.Text("LibRes", "frmCLUpdateForm.Caption"), "Update Quill {AppName} Pro");
  std::string v;
  ASSERT_TRUE(m.data.FindText("TfrmMain", "btnDelete", "Caption", v));
  EXPECT_EQ(v, "&Loeschen");
  EXPECT_EQ(m.data.CurrentData()->Get(0), "[Info]");

  m.data.ClearLanguage();
  EXPECT_EQ(m.data.CurrentData()->Count(), 0);
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_Cleared"), "Cleared successfully");
  EXPECT_EQ(m.data.CurrentLanguage(), "");
  // The name found at the last load stays until the next load.
  EXPECT_EQ(m.Text("LibRes", "frmCLAboutForm.Caption"), "About Quill {AppName} Pro");
  std::string name = "x";
  m.data.GetAppName(name);
  EXPECT_EQ(name, "");
  EXPECT_EQ(m.Text("LibRes", "frmCLAboutForm.Caption"), "About ");
  // With a fallback name (the engine gives "App.Name"), a text without a language name still
  // names the application; the "AppName" text itself stays absent, and a language's name wins.
  m.data.SetFallbackAppName("Brindlewick");
  m.data.GetAppName(name);
  EXPECT_EQ(name, "");
  EXPECT_EQ(m.Text("LibRes", "frmCLAboutForm.Caption"), "About Brindlewick");
  m.data.LoadLanguage(dir / "Test.lan");
  EXPECT_EQ(m.Text("LibRes", "frmCLUpdateForm.Caption"), "Update Quill {AppName} Pro");
}

TEST(LanguageData, MissingUnreadableBomAndUtf16FilesGiveAnEmptyLanguage) {
  TScratchDir dir("lang");
  TMainData m;
  auto expectFallback = [&](const std::string& what) {
    EXPECT_EQ(m.data.CurrentLanguage(), "") << what;
    EXPECT_EQ(m.Text("AppRes", "MSGBOX_Cleared"), "Cleared successfully") << what;
    EXPECT_EQ(m.Text("LibRes", "frmCLAboutForm.Caption"), "About ") << what;
  };
  m.data.LoadLanguage(dir / "Missing.lan");
  expectFallback("missing");
  m.data.LoadLanguage(dir.Path());  // a folder
  expectFallback("folder");

  WriteAll(dir / "Bom.lan", "\xEF\xBB\xBF[Info]\r\nLanguage=Bom\r\n[AppRes]\r\nMSGBOX_Cleared=Bom\r\n");
  m.data.LoadLanguage(dir / "Bom.lan");
  EXPECT_EQ(m.data.CurrentLanguage(), "");
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_Cleared"), "Bom");

  static const char kUtf16[] = "\xFF\xFE[\0A\0p\0p\0R\0e\0s\0]\0\r\0\n\0M\0=\0x\0";
  WriteAll(dir / "Wide.lan", std::string(kUtf16, sizeof kUtf16 - 1));
  m.data.LoadLanguage(dir / "Wide.lan");
  ASSERT_EQ(m.data.CurrentData()->Count(), 1);
  EXPECT_EQ(m.data.CurrentData()->Get(0), "\xFF\xFE[");
  expectFallback("utf-16");

  // A writer holds the file: it is read with read sharing only, so it is not read half-written.
  WriteAll(dir / "Busy.lan", "[Info]\r\nLanguage=Busy\r\n");
  HANDLE writer = CreateFileA((dir / "Busy.lan").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  m.data.LoadLanguage(dir / "Busy.lan");
  CloseHandle(writer);
  expectFallback("busy");
  m.data.LoadLanguage(dir / "Busy.lan");
  EXPECT_EQ(m.data.CurrentLanguage(), "Busy");
}

TEST(LanguageData, LinesChangedThroughTheListAreSeenByTheNextLookup) {
  TCLMultiLangData data(nullptr);
  EXPECT_TRUE(data.CurrentFile().IndexStale());
  data.CurrentData()->SetText("[S]\r\nk=1\r\n");
  std::string v;
  ASSERT_TRUE(data.FindText("S", "", "k", v));
  EXPECT_EQ(v, "1");
  EXPECT_FALSE(data.CurrentFile().IndexStale());
  data.CurrentData()->Put(1, "k=2");
  EXPECT_TRUE(data.CurrentFile().IndexStale());
  ASSERT_TRUE(data.FindText("S", "", "k", v));
  EXPECT_EQ(v, "2");
  data.CurrentData()->Add("j=3");
  ASSERT_TRUE(data.FindText("S", "", "j", v));
  EXPECT_EQ(v, "3");
  // Assignment copies: later changes to the source do not reach the text set.
  TStringList source(std::vector<std::string>{"[S]", "k=4"});
  data.SetDefaultData(&source);
  source.Put(1, "k=5");
  data.ClearLanguage();
  ASSERT_TRUE(data.FindText("S", "", "k", v));
  EXPECT_EQ(v, "4");
}

TEST(LanguageData, NamesBeyondAsciiCompareWithoutCaseInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page, this system has " << GetACP();
  TCLMultiLangLan lan;
  TStringList lines(std::vector<std::string>{"[\xDC" "ber]", "Gr\xF6\xDF" "e=gross"});  // [Über] Größe
  lan.SetData(&lines);
  std::string v;
  EXPECT_TRUE(lan.FindValue("\xFC" "BER", "", "GR\xD6\xDF" "E", v));  // ü / Ö
  EXPECT_EQ(v, "gross");
}

TEST(LanguageData, FillSectionNeverChangesANameTheListHolds) {
  TCLMultiLangData data(nullptr);
  TStringList current(std::vector<std::string>{"[SkinRes]", "MI_CLOSECAPTION=&Schliessen", "MI_MINCAPTION=Mi<SP>n",
                                               "no equals", "MI_EMPTY="});
  TStringList defaults(std::vector<std::string>{"[SkinRes]", "MI_MINCAPTION=&Minimize", "MI_MAXCAPTION=Ma&ximize",
                                                "mi_closecaption=&Close it"});
  data.SetCurrentData(&current);
  data.SetDefaultData(&defaults);
  TStringList target(std::vector<std::string>{"MI_CLOSECAPTION=&Close", "OTHER=1"});
  int changes = 0;
  target.OnChange = [&](TObject*) { ++changes; };
  data.FillSection("skinres", &target);
  EXPECT_EQ(Lines(target), "MI_CLOSECAPTION=&Close|OTHER=1|MI_MINCAPTION=Mi n|MI_MAXCAPTION=Ma&ximize|");
  EXPECT_EQ(changes, 1);  // held back while merging
  data.FillSection("Absent", &target);
  EXPECT_EQ(target.Count(), 4);
}

TEST(LanguageData, FillSectionTakesTheLaterSpellingOfARepeatedNameOnce) {
  TCLMultiLangData data(nullptr);
  TStringList current(std::vector<std::string>{"[SkinRes]", "Dup=first", "x=1", "DUP=second", "gone=", "Gone=",
                                               "=no name"});
  TStringList defaults(std::vector<std::string>{"[SkinRes]", "dup=default", "GONE=from defaults", "X=2"});
  data.SetCurrentData(&current);
  data.SetDefaultData(&defaults);
  TStringList target(std::vector<std::string>{"a line without a name", "=held"});
  data.FillSection("SkinRes", &target);
  EXPECT_EQ(Lines(target), "a line without a name|=held|DUP=second|x=1|GONE=from defaults|");
}

namespace {

// Ends the test program when the scope it guards overruns by far: a merge that grew with the
// square of the key count would otherwise hold the whole test run for hours instead of failing.
class TWatchdog {
 public:
  TWatchdog(DWORD limitMs, const char* what)
      : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), limitMs_(limitMs), what_(what) {
    thread_ = std::thread([this] {
      if (WaitForSingleObject(done_.get(), limitMs_) != WAIT_TIMEOUT) return;
      std::fprintf(stderr, "FAILED: %s did not finish within %lu ms\n", what_, static_cast<unsigned long>(limitMs_));
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    });
  }
  ~TWatchdog() {
    SetEvent(done_.get());
    thread_.join();
  }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

 private:
  TKernelHandle done_;
  DWORD limitMs_;
  const char* what_;
  std::thread thread_;
};

}  // namespace

// A skin with a very large "SkinRes" is merged at every start: the merge must grow with the key
// count, not with its square.
TEST(LanguageData, FillSectionOfTwoHundredThousandKeysIsFast) {
  const int kKeys = 200000;
  std::vector<std::string> current{"[SkinRes]"}, defaults{"[SkinRes]"};
  for (int i = 0; i < kKeys; ++i) current.push_back("MI_" + std::to_string(i) + "=v" + std::to_string(i));
  for (int i = kKeys / 2; i < kKeys + kKeys / 2; ++i) defaults.push_back("mi_" + std::to_string(i) + "=d" + std::to_string(i));
  TCLMultiLangData data(nullptr);
  {
    TStringList c(current), d(defaults);
    data.SetCurrentData(&c);
    data.SetDefaultData(&d);
  }
  TStringList target(std::vector<std::string>{"MI_5=held", "OTHER=1"});
  const DWORD start = GetTickCount();
  {
    TWatchdog watchdog(120000, "FillSection of 200,000 keys");
    data.FillSection("SkinRes", &target);
  }
  const DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 30000u) << "FillSection of " << kKeys << " keys took " << took << " ms";

  // The current language's names first, then the defaults' new ones, none twice.
  ASSERT_EQ(target.Count(), 2 + (kKeys - 1) + kKeys / 2);
  EXPECT_EQ(target.Get(0), "MI_5=held");
  EXPECT_EQ(target.Get(2), "MI_0=v0");
  EXPECT_EQ(target.Get(1 + kKeys - 1), "MI_199999=v199999");
  EXPECT_EQ(target.Get(2 + kKeys - 1), "mi_200000=d200000");
  EXPECT_EQ(target.Get(target.Count() - 1), "mi_299999=d299999");
  EXPECT_EQ(target.Values("MI_150000"), "v150000");
  EXPECT_EQ(target.Get(1), "OTHER=1");
}

TEST(LanguageData, CopySectionSetsValuesAsAStringListDoes) {
  TCLMultiLangLan lan;
  TStringList lines(std::vector<std::string>{"[S]", "a=new", "b=", "c=x<BR>y", "A=newer"});
  lan.SetData(&lines);
  TStringList target(std::vector<std::string>{"keep=1", "a=old", "B=gone"});
  lan.CopySection("s", &target);
  EXPECT_EQ(Lines(target), "keep=1|A=newer|c=x\r\ny|");  // the later line of a name wins, as written
}

TEST(LanguageData, DamagedFilesLoadWithoutHarmAndLookupsFallBack) {
  TScratchDir dir("lang");
  TMainData m;
  uint32_t seed = 12345;
  auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
  const std::string pieces[] = {"[", "]", "=", "<BR>", "<sp>", "{AppName}", "\r", "\n", "[AppRes]", ";", " ",
                                "AppName", "\xFF", "\x81", "[Info]", "Language=", "MSGBOX_Cleared"};
  for (int round = 0; round < 20; ++round) {
    std::string junk;
    for (int i = 0; i < 2000; ++i)
      junk += (next() >> 16) % 3 == 0 ? pieces[(next() >> 16) % (sizeof pieces / sizeof pieces[0])]
                                       : std::string(1, static_cast<char>(next() >> 24));
    WriteAll(dir / "Junk.lan", junk);
    m.data.LoadLanguage(dir / "Junk.lan");
    std::string v;
    // Whatever the damage, a key the file does not hold still reads from the default texts.
    ASSERT_TRUE(m.data.FindText("LibRes", "", "Update.NetError", v));
    EXPECT_EQ(v.substr(0, 10), "The update") << "round " << round;
  }
  WriteAll(dir / "Long.lan", "[AppRes]\r\nMSGBOX_Cleared=" + std::string(3000000, 'x') + "\r\n[" +
                                 std::string(100000, '[') + "\r\n");
  m.data.LoadLanguage(dir / "Long.lan");
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_Cleared").size(), 3000000u);
}

TEST(LanguageData, FiftyMegabyteFileLoadsAndLookupsStillWork) {
  TScratchDir dir("lang");
  std::string big = "[Info]\r\nLanguage=Big\r\n[TfrmMain]\r\n";
  big.reserve(52u << 20);
  const std::string filler(80, 'v');
  for (int i = 0; big.size() < (50u << 20); ++i) big += "key" + std::to_string(i) + "=" + filler + "\r\n";
  big += "btnDelete.Caption=Last line\r\n";
  WriteAll(dir / "Big.lan", big);
  big.clear();
  big.shrink_to_fit();

  TMainData m;
  DWORD start = GetTickCount();
  m.data.LoadLanguage(dir / "Big.lan");
  DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 20000u) << "loading 50 MB took " << took << " ms";
  EXPECT_EQ(m.data.CurrentLanguage(), "Big");
  std::string v;
  ASSERT_TRUE(m.data.FindText("TfrmMain", "btnDelete", "Caption", v));
  EXPECT_EQ(v, "Last line");
  ASSERT_TRUE(m.data.FindText("TfrmMain", "", "key12345", v));
  EXPECT_EQ(v, filler);
  EXPECT_EQ(m.Text("AppRes", "MSGBOX_Cleared"), "Cleared successfully");
  m.data.ClearLanguage();
  EXPECT_EQ(m.data.CurrentLanguage(), "");
}

// The language files shipped with the program translate every built-in key.
TEST(ShippedLanguages, DeutschAndChineseCarryEveryBuiltInKeyAndTheirInfo) {
  const std::string dist = qmtest::DistDir();
  if (dist.empty()) GTEST_SKIP() << "QM_DIST_DIR not set";
  struct TCase {
    const char* file;
    const char* language;
    bool complete;
  };
  for (const TCase& c : {TCase{"Deutsch.lan", "Deutsch", true}, TCase{"Chinese.lan", "\xD6\xD0\xCE\xC4", true}}) {
    TCLMultiLangLan lan;
    lan.ReadFile(dist + "langs\\" + c.file);
    std::string v;
    ASSERT_TRUE(lan.FindValue("Info", "", "Language", v)) << c.file;
    EXPECT_EQ(v, c.language);
    EXPECT_TRUE(lan.FindValue("Info", "", "Translator", v)) << c.file;
    EXPECT_TRUE(lan.FindValue("Info", "", "Version", v)) << c.file;
    std::string section;
    for (const std::string& line : BuiltInDefaultTexts()) {
      if (line.empty()) continue;
      if (line[0] == '[') {
        section = line.substr(1, line.size() - 2);
        continue;
      }
      std::string key = line.substr(0, line.find('='));
      std::string builtIn = line.substr(line.find('=') + 1);
      ASSERT_TRUE(lan.FindValue(section, "", key, v)) << c.file << ": " << section << "/" << key;
      EXPECT_FALSE(v.empty()) << c.file << ": " << key;
      // Placeholders survive translation.
      for (const char* ph : {"{1}", "{2}", "{AppName}"})
        EXPECT_EQ(builtIn.find(ph) != std::string::npos, v.find(ph) != std::string::npos)
            << c.file << ": " << key << " " << ph;
    }
  }
  // The Chinese sentences that used to be escaped are there as GBK text.
  TCLMultiLangLan chinese;
  chinese.ReadFile(dist + "langs\\Chinese.lan");
  std::string v;
  ASSERT_TRUE(chinese.FindValue("AppRes", "", "MSGBOX_Cleared", v));
  EXPECT_EQ(v, "\xD2\xD1\xC7\xE5\xB3\xFD\xB3\xC9\xB9\xA6");
  ASSERT_TRUE(chinese.FindValue("AppRes", "", "MSGBOX_DomainCleared", v));
  EXPECT_EQ(v, "{1}\xCD\xF8\xD5\xBE\xB5\xC4" "cookie\xD2\xD1\xB1\xBB\xC7\xE5\xB3\xFD");
  ASSERT_TRUE(chinese.FindValue("AppRes", "", "MSGBOX_EnterDomain", v));
  EXPECT_EQ(v, "\xC7\xEB\xCA\xE4\xC8\xEB\xD3\xF2\xC3\xFB");
  ASSERT_TRUE(chinese.FindValue("AppRes", "", "MSGBOX_ExitNotify", v));
  EXPECT_EQ(v, "\xC8\xB7\xB6\xA8\xD2\xAA\xCD\xCB\xB3\xF6\xC2\xF0?");
}
