// The about lines and the access word.
#include <gtest/gtest.h>

#include "net/AboutText.h"

using namespace abouttext;

namespace {

TAboutInputs BuiltIn(const std::string& language, const std::string& translator = "") {
  TAboutInputs in;
  in.Line1 = "Quillmoor";
  in.Line2 = "Version : {1}";
  in.Line3 = "{1} is tranlated by {2}";
  in.Version = "2.1";
  in.Copyright = "(c) Somebody";
  in.LanguageName = language;
  in.Translator = translator;
  return in;
}

void Type(TAccessWordWatch& w, const std::string& keys, TAccessWordWatch::TAction* last = nullptr) {
  for (char c : keys) {
    const TAccessWordWatch::TAction a = w.KeyUp(static_cast<unsigned char>(c));
    if (last) *last = a;
  }
}

}  // namespace

TEST(AboutText, LinesByLanguage) {
  EXPECT_EQ(ComposeAboutText(BuiltIn("English")), "Quillmoor\r\nVersion : 2.1\r\n(c) Somebody");
  EXPECT_EQ(ComposeAboutText(BuiltIn("")), "Quillmoor\r\nVersion : 2.1\r\n(c) Somebody");
  EXPECT_EQ(ComposeAboutText(BuiltIn("english", "Nobody")),
            "Quillmoor\r\nVersion : 2.1\r\n(c) Somebody\r\nenglish is tranlated by Nobody");
  EXPECT_EQ(ComposeAboutText(BuiltIn("Deutsch", "Hanna Weber")),
            "Quillmoor\r\nVersion : 2.1\r\n(c) Somebody\r\nDeutsch is tranlated by Hanna Weber");
  // Missing texts and settings give empty lines, not fewer lines.
  TAboutInputs empty;
  EXPECT_EQ(ComposeAboutText(empty), "\r\n\r\n");
}

TEST(AboutText, PlaceholdersAreReplacedEverywhereAndOnlyOnce) {
  TAboutInputs in = BuiltIn("{2}", "{1}");
  in.Line2 = "{1}/{1}{1";
  in.Version = "{1}";
  in.Line3 = "{1}:{2}";
  // The language name is put in first, so a "{2}" inside it takes the translator.
  EXPECT_EQ(ComposeAboutText(in), "Quillmoor\r\n{1}/{1}{1\r\n(c) Somebody\r\n{1}:{1}");
  EXPECT_EQ(ReplaceAll("aXbxX", "X", "XX"), "aXXbxXX");
  EXPECT_EQ(ReplaceAll("abc", "", "z"), "abc");
}

TEST(AboutText, AccessWordOnlyAsTheFirstKeys) {
  TAccessWordWatch first;
  TAccessWordWatch::TAction last = TAccessWordWatch::kNone;
  Type(first, "QUENDALSO", &last);
  EXPECT_EQ(last, TAccessWordWatch::kNone);
  Type(first, "R", &last);
  EXPECT_EQ(last, TAccessWordWatch::kUnlock);
  EXPECT_EQ(first.UnlockedCaption(), "QUENDALSOR :-]");
  // A further key neither unlocks again nor closes.
  EXPECT_EQ(first.KeyUp('X'), TAccessWordWatch::kNone);

  TAccessWordWatch afterShift;
  afterShift.KeyUp(16);  // Shift
  Type(afterShift, "QUENDALSOR", &last);
  EXPECT_EQ(last, TAccessWordWatch::kNone);

  TAccessWordWatch wrong;
  Type(wrong, "QUENDALSOX", &last);
  EXPECT_EQ(last, TAccessWordWatch::kNone);
  Type(wrong, "QUENDALSOR", &last);
  EXPECT_EQ(last, TAccessWordWatch::kNone);

  // The low byte is the character: a code beyond 255 with the right low byte still counts.
  TAccessWordWatch wide;
  for (char c : std::string("QUENDALSO")) wide.KeyUp(static_cast<unsigned char>(c));
  EXPECT_EQ(wide.KeyUp(0x100 + 'R'), TAccessWordWatch::kUnlock);
}

TEST(AboutText, EscapeClosesAndCountsAsAKey) {
  TAccessWordWatch w;
  EXPECT_EQ(w.KeyUp(27), TAccessWordWatch::kClose);
  TAccessWordWatch::TAction last = TAccessWordWatch::kNone;
  Type(w, "QUENDALSOR", &last);
  EXPECT_EQ(last, TAccessWordWatch::kNone);
  EXPECT_EQ(w.KeyUp(27), TAccessWordWatch::kClose);
  // A long session keeps little: the text stops growing past the word's length.
  for (int i = 0; i < 100000; ++i) w.KeyUp('A');
  EXPECT_LE(w.Typed().size(), 11u);
}
