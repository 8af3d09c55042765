// The language file format on text alone: lines, trimming, sections, keys, markers, the index.
#include <gtest/gtest.h>

#include <string>

#include "lang/LanFormat.h"

namespace {

std::string Get(const TLanIndex& index, const std::string& section, const std::string& key) {
  std::string v = "<untouched>";
  return index.Find(section, key, &v) ? v : "<missing:" + v + ">";
}

TLanIndex Indexed(const std::string& text) {
  TLanIndex index;
  index.AddText(LanTextFromBytes(text));
  return index;
}

}  // namespace

TEST(LanFormat, LinesEndAtCrLfLoneCrOrLoneLfAndTheLastBreakAddsNoLine) {
  EXPECT_EQ(LanSplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(LanSplitLines("a\r\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(LanSplitLines("a\n\r\nb\r\r"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(LanSplitLines("\n"), (std::vector<std::string>{""}));
  EXPECT_TRUE(LanSplitLines("").empty());
}

TEST(LanFormat, MarkersDecodeInAnyCaseAndNothingElseDoes) {
  EXPECT_EQ(LanDecodeValue("one<BR>two<SP>"), "one\r\ntwo ");
  EXPECT_EQ(LanDecodeValue("one<br>two<sp>"), "one\r\ntwo ");
  EXPECT_EQ(LanDecodeValue("<Br><sP>"), "\r\n ");
  EXPECT_EQ(LanDecodeValue("<BR><BR>"), "\r\n\r\n");
  // Markers cut or nested stay literal; no marker forms across a replaced one.
  EXPECT_EQ(LanDecodeValue("<B R> <BR <S<BR>P> <"), "<B R> <BR <S\r\nP> <");
  EXPECT_EQ(LanDecodeValue("%41 {1} \\n \"q\" 'x'"), "%41 {1} \\n \"q\" 'x'");
}

TEST(LanFormat, AppNamePlaceholderInAnyCaseIsReplacedOnceEach) {
  std::string v = "About {AppName} - {APPNAME}{appname} {App Name} {AppName";
  LanReplaceAppName(v, "Quill");
  EXPECT_EQ(v, "About Quill - QuillQuill {App Name} {AppName");
  // A name that holds the placeholder itself is inserted as it is, not expanded again.
  v = "x{AppName}y";
  LanReplaceAppName(v, "{AppName}");
  EXPECT_EQ(v, "x{AppName}y");
  v = "About {AppName}";
  LanReplaceAppName(v, "");
  EXPECT_EQ(v, "About ");
}

TEST(LanFormat, KeysJoinComponentAndPropertyWithAPoint) {
  EXPECT_EQ(LanKey("btnClearIE", "Caption"), "btnClearIE.Caption");
  EXPECT_EQ(LanKey("", "AppName"), "AppName");
  EXPECT_EQ(LanKey("pngStore", "PngImages[0].Name"), "pngStore.PngImages[0].Name");
}

TEST(LanFormat, TrimsLinesKeysAndValuesAndSkipsCommentsAndLinesWithoutEquals) {
  TLanIndex index = Indexed(
      "\t [ TfrmMain ] \t\r\n"
      "  btnDelete.Caption   =   &Delete  \r\n"
      "; btnClearIE.Caption=commented\r\n"
      "lonely line\r\n"
      "eq=a=b\r\n"
      "empty=\r\n"
      "lead=<SP>x<SP>\r\n"
      "\x01\x02 ctl = \x1f v \x1f\r\n");
  EXPECT_EQ(Get(index, "TfrmMain", "btnDelete.Caption"), "&Delete");
  EXPECT_EQ(Get(index, "TfrmMain", "btnClearIE.Caption"), "<missing:<untouched>>");
  EXPECT_EQ(Get(index, "TfrmMain", "lonely line"), "<missing:<untouched>>");
  EXPECT_EQ(Get(index, "TfrmMain", "eq"), "a=b");
  EXPECT_EQ(Get(index, "TfrmMain", "empty"), "");
  EXPECT_EQ(Get(index, "TfrmMain", "lead"), " x ");
  EXPECT_EQ(Get(index, "TfrmMain", "ctl"), "v");
}

TEST(LanFormat, NamesIgnoreCaseAndLaterSectionsAndKeysWin) {
  TLanIndex index = Indexed(
      "orphan=before any section\r\n"
      "[tfrmmain]\r\n"
      "btnOk.Caption=first\r\n"
      "only.InFirst=gone\r\n"
      "[Other]\r\n"
      "k=1\r\n"
      "K=2\r\n"
      "[TFRMMAIN]\r\n"
      "BTNOK.CAPTION=second\r\n"
      "btnok.caption=third\r\n");
  EXPECT_EQ(Get(index, "TfrmMain", "btnOk.Caption"), "third");
  EXPECT_EQ(Get(index, "TfrmMain", "only.InFirst"), "<missing:<untouched>>");
  EXPECT_EQ(Get(index, "other", "k"), "2");
  EXPECT_EQ(Get(index, "Other", "orphan"), "<missing:<untouched>>");
  EXPECT_EQ(Get(index, "TfrmMain", "orphan"), "<missing:<untouched>>");
  EXPECT_EQ(Get(index, "Nowhere", "k"), "<missing:<untouched>>");
}

TEST(LanFormat, ByteOrderMarkSwallowsTheFirstHeaderAndZeroByteEndsTheText) {
  TLanIndex bom = Indexed("\xEF\xBB\xBF[Info]\r\nLanguage=Deutsch\r\n[AppRes]\r\nx=1\r\n");
  EXPECT_EQ(Get(bom, "Info", "Language"), "<missing:<untouched>>");
  EXPECT_EQ(Get(bom, "AppRes", "x"), "1");

  // UTF-16: "[Info]" as little-endian 16-bit text ends after its first byte.
  static const char kUtf16[] = "\xFF\xFE[\0I\0n\0f\0o\0]\0\r\0\n\0L\0=\0x\0";
  std::string utf16(kUtf16, sizeof kUtf16 - 1);
  EXPECT_EQ(LanTextFromBytes(utf16), "\xFF\xFE[");
  TLanIndex wide = Indexed(utf16);
  EXPECT_EQ(wide.KeyLineCount(), 0u);

  static const char kCut[] = "[A]\r\nk=before\0zero\r\nj=after\r\n";
  std::string cut(kCut, sizeof kCut - 1);
  TLanIndex index = Indexed(cut);
  EXPECT_EQ(Get(index, "A", "k"), "before");
  EXPECT_EQ(Get(index, "A", "j"), "<missing:<untouched>>");
}

TEST(LanFormat, SectionPairsGiveEveryKeyLineInOrderWithTheValueLookupGives) {
  TLanIndex index = Indexed(
      "[SkinRes]\r\n"
      "MI_CLOSECAPTION=&Schliessen\r\n"
      "no equals here\r\n"
      "MI_MINCAPTION=Mi<SP>n\r\n"
      "mi_closecaption=S&chliessen\r\n"
      "[Other]\r\n"
      "x=y\r\n");
  auto pairs = index.SectionPairs("skinres");
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>("MI_CLOSECAPTION", "S&chliessen")));
  EXPECT_EQ(pairs[1], (std::pair<std::string, std::string>("MI_MINCAPTION", "Mi n")));
  EXPECT_EQ(pairs[2], (std::pair<std::string, std::string>("mi_closecaption", "S&chliessen")));
  EXPECT_TRUE(index.SectionPairs("Missing").empty());
}

TEST(LanFormat, OddHeadersAndManyKeysStayFindable) {
  TLanIndex index = Indexed("[]\r\nk=empty name\r\n[\r\n[[x]]\r\nk=nested\r\n[a]b]\r\nk=inner\r\n");
  EXPECT_EQ(Get(index, "", "k"), "empty name");
  EXPECT_EQ(Get(index, "[x]", "k"), "nested");
  EXPECT_EQ(Get(index, "a]b", "k"), "inner");

  // Lines added after a lookup are seen by the next one, a later section of the name too.
  TLanIndex growing;
  growing.AddLine("[S]");
  growing.AddLine("k=1");
  EXPECT_EQ(Get(growing, "S", "k"), "1");
  growing.AddLine("[s]");
  EXPECT_EQ(Get(growing, "S", "k"), "<missing:<untouched>>");
  growing.AddLine("K=2");
  std::string v;
  ASSERT_TRUE(growing.Find("S", "", "k", &v));
  EXPECT_EQ(v, "2");
  growing.AddLine("c.p=3");
  ASSERT_TRUE(growing.Find("S", "C", "P", &v));
  EXPECT_EQ(v, "3");

  // Enough keys to grow the table several times; every one is found, later lines win.
  TLanIndex big;
  big.AddLine("[S]");
  for (int i = 0; i < 5000; ++i) big.AddLine("key" + std::to_string(i) + "=v" + std::to_string(i));
  for (int i = 0; i < 5000; i += 2) big.AddLine("KEY" + std::to_string(i) + "=w" + std::to_string(i));
  for (int i = 0; i < 5000; ++i)
    ASSERT_EQ(Get(big, "s", "Key" + std::to_string(i)), (i % 2 ? "v" : "w") + std::to_string(i));
  big.Clear();
  EXPECT_EQ(Get(big, "S", "key1"), "<missing:<untouched>>");
}

namespace {

// The rules read literally, without an index: the later section of a name, the later key line.
bool ReferenceFind(const std::string& text, const std::string& section, const std::string& key, std::string* value) {
  bool inWanted = false, found = false;
  for (const std::string& line : LanSplitLines(LanTextFromBytes(text))) {
    std::string_view t = LanTrim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      inWanted = LanSameText(LanTrim(t.substr(1, t.size() - 2)), section);
      if (inWanted) found = false;  // a later section of the name replaces the earlier one
      continue;
    }
    size_t eq = t.find('=');
    if (inWanted && eq != std::string_view::npos && LanSameText(LanTrim(t.substr(0, eq)), key)) {
      *value = LanDecodeValue(LanTrim(t.substr(eq + 1)));
      found = true;
    }
  }
  return found;
}

}  // namespace

TEST(LanFormat, IndexAgreesWithTheRulesReadLiterallyOnRandomTexts) {
  const char* const pieces[] = {"[a]", "[A]", "[ b ]", "[]", "[", "]", "k", "K", "j", "=", "==", " ", "\t",
                                "\r\n", "\n", "\r", ";", "<br>", "<SP>", "x", "\0", "[a", "b]"};
  const char* const sections[] = {"a", "b", "", "[a", "c"};
  const char* const keys[] = {"k", "j", "kk", "", "k=", "jk"};
  uint32_t seed = 7;
  auto next = [&seed]() { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = next() % 40; n > 0; --n) {
      const char* p = pieces[next() % (sizeof pieces / sizeof pieces[0])];
      text += *p ? std::string(p) : std::string(1, '\0');
    }
    TLanIndex index;
    index.AddText(LanTextFromBytes(text));
    for (const char* s : sections)
      for (const char* k : keys) {
        std::string expected, actual;
        bool want = ReferenceFind(text, s, k, &expected);
        ASSERT_EQ(index.Find(s, k, &actual), want) << "text: " << text << " section " << s << " key " << k;
        if (want) {
          ASSERT_EQ(actual, expected) << "text: " << text;
        }
      }
  }
}
