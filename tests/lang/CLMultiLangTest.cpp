// The component translator: which properties of which components receive texts, the change
// event, the registration with the language data, and destruction in either order.
#include <gtest/gtest.h>

#include <memory>

#include "TestViewer.h"
#include "components/Controls.h"
#include "lang/CLMultiLang.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"
#include "toolkit/Menus.h"

namespace {

class TLangTestItem : public TCollectionItem {
  QM_CLASS(TLangTestItem, TCollectionItem)
 public:
  explicit TLangTestItem(TCollection* c) : TCollectionItem(c) {}
  std::string Name;        // an item's name is an ordinary text
  std::string ShortText;   // 8-bit short string
  std::wstring WideText;   // 16-bit text
  int64_t Width = 0;
};

class TLangTestFont : public TPersistent {
  QM_CLASS(TLangTestFont, TPersistent)
 public:
  std::string Name = "Verdana";
};

// A control with one property of each kind the walk tells apart, and the kinds of property
// that name a file, an address or a skin.
class TLangTestControl : public TControl {
  QM_CLASS(TLangTestControl, TControl)
 public:
  explicit TLangTestControl(TComponent* owner) : TControl(owner) {
    Images.PropName = "Images";
  }
  std::string URL = "http://example.com/";
  std::string FileName = "ok.exe";
  std::string ButtonSkinDataName = "button";
  std::string Caption = "caption";
  std::wstring Hint = L"hint";
  std::string Fixed = "fixed";  // read-only
  std::string GetFixed() const { return Fixed; }
  std::string Touchy = "touchy";  // its setter refuses every text
  std::string GetTouchy() const { return Touchy; }
  void SetTouchy(const std::string&) { throw EPropertyError("refused"); }
  TStringList Lines;
  TStringList Items;           // declared as the concrete list class
  TStrings* NoLines = nullptr; // a string-list property without a list
  TLangTestFont Font;
  TCollection Images{TLangTestItem::StaticClass(), this};
  TStringList* GetLines() const { return const_cast<TStringList*>(&Lines); }
  TStringList* GetItems() const { return const_cast<TStringList*>(&Items); }
  TStrings* GetNoLines() const { return NoLines; }
  TLangTestFont* GetFont() const { return const_cast<TLangTestFont*>(&Font); }
  TCollection* GetImages() const { return const_cast<TCollection*>(&Images); }
};

// A component without a face: its texts name programs and settings, never shown.
class TLangTestEngine : public TComponent {
  QM_CLASS(TLangTestEngine, TComponent)
 public:
  explicit TLangTestEngine(TComponent* owner) : TComponent(owner) {}
  std::string Caption = "engine";
  TStringList SettingOverwrite;
  TStringList* GetSettingOverwrite() const { return const_cast<TStringList*>(&SettingOverwrite); }
};

class TfrmLangTest : public TComponent {
  QM_CLASS(TfrmLangTest, TComponent)
 public:
  explicit TfrmLangTest(TComponent* owner) : TComponent(owner) {}
  std::string Caption = "window";
};

}  // namespace

QM_REGISTER_CLASS(TLangTestItem, b) {
  b.Str("Name", &TLangTestItem::Name);
  b.ShortStr("ShortText", &TLangTestItem::ShortText);
  b.WStr("WideText", &TLangTestItem::WideText);
  b.Int("Width", &TLangTestItem::Width);
}
QM_REGISTER_CLASS(TLangTestFont, b) { b.Str("Name", &TLangTestFont::Name); }
QM_REGISTER_CLASS(TLangTestControl, b) {
  using C = TLangTestControl;
  b.Str("Caption", &C::Caption);
  b.WStr("Hint", &C::Hint);
  b.Str("Fixed", &C::GetFixed);
  b.Str("Touchy", &C::GetTouchy, &C::SetTouchy);
  b.SubObject<TStrings>("Lines", "TStrings", &C::GetLines);
  b.SubObject<TStringList>("Items", "TStringList", &C::GetItems);
  b.SubObject<TStrings>("NoLines", "TStrings", &C::GetNoLines);
  b.SubObject<TLangTestFont>("Font", "TLangTestFont", &C::GetFont);
  b.SubObject<TCollection>("Images", "TLangTestCollection", &C::GetImages);
  b.Str("URL", &C::URL);
  b.Str("FileName", &C::FileName);
  b.Str("ButtonSkinDataName", &C::ButtonSkinDataName);
}
QM_REGISTER_CLASS(TLangTestEngine, b) {
  b.Str("Caption", &TLangTestEngine::Caption);
  b.SubObject<TStrings>("SettingOverwrite", "TStrings", &TLangTestEngine::GetSettingOverwrite);
}
QM_REGISTER_CLASS(TfrmLangTest, b) { b.Str("Caption", &TfrmLangTest::Caption); }

namespace {

// A window with a translator, its language data and a few controls, built as stored data would.
struct TWindow {
  std::unique_ptr<TfrmLangTest> form = std::make_unique<TfrmLangTest>(nullptr);
  TCLMultiLangData* data;
  TCLMultiLang* translator;
  TLangTestControl* one;
  TLangTestControl* unnamed;
  TLangTestEngine* engine;

  explicit TWindow(const std::vector<std::string>& texts, bool translatorFirst = true) {
    form->SetName("frmLangTest");
    if (translatorFirst) translator = new TCLMultiLang(form.get());
    data = new TCLMultiLangData(form.get());
    if (!translatorFirst) translator = new TCLMultiLang(form.get());
    data->SetName("clmltlngdt1");
    translator->SetName("smLanguage");
    one = new TLangTestControl(form.get());
    one->SetName("ctlOne");
    unnamed = new TLangTestControl(form.get());
    engine = new TLangTestEngine(form.get());
    engine->SetName("engine1");
    TStringList lines(texts);
    data->SetDefaultData(&lines);
    data->AutoApply = false;
    translator->SetLanguageData(data);
    for (int i = 0; i < 3; ++i) one->Images.Add();
  }
};

std::string Item(const TLangTestControl* c, int i) {
  return static_cast<TLangTestItem*>(c->Images.Items(i))->Name;
}

}  // namespace

// The table is the whole of what a language file may change; widening it is a decision about
// what hostile files can reach, so it is held here.
TEST(Translator, TheTableOfTranslatedPropertiesIsCaptionHintLinesAndItems) {
  std::vector<std::pair<std::string, TTranslatedAs>> got;
  for (const TTranslatableProperty& p : TranslatableProperties()) got.emplace_back(p.Name, p.As);
  const std::vector<std::pair<std::string, TTranslatedAs>> expected = {
      {"Caption", TTranslatedAs::Text}, {"Hint", TTranslatedAs::Text},
      {"Lines", TTranslatedAs::Lines}, {"Items", TTranslatedAs::Lines}};
  EXPECT_EQ(got, expected);
  EXPECT_NE(FindTranslatableProperty("caption"), nullptr);
  for (const char* never : {"URL", "FileName", "SettingOverwrite", "SettingDefault", "SkinDataName", "Name", "Text"})
    EXPECT_EQ(FindTranslatableProperty(never), nullptr) << never;
}

TEST(Translator, WritesOnlyTheTextPropertiesOfTheWindowAndItsControls) {
  TWindow w({"[TFRMLANGTEST]", "frmLangTest.Caption=Fenster", "ctlOne.Caption=Eins", "ctlOne.Hint=Wide",
             "Caption=for the unnamed", "ctlOne.Name=renamed", "ctlOne.Fixed=no setter",
             "ctlOne.Touchy=refused", "ctlOne.Lines=a<BR>b<BR>c", "ctlOne.Items=not a TStrings",
             "ctlOne.NoLines=nowhere", "ctlOne.Font=x", "ctlOne.Font.Name=Arial",
             "ctlOne.URL=\\\\host\\share\\x.exe", "ctlOne.FileName=evil.exe", "ctlOne.ButtonSkinDataName=x",
             "ctlOne.Images[1].Name=Zweites", "ctlOne.Images[0].WideText=breit",
             "engine1.Caption=Motor", "engine1.SettingOverwrite=FireFoxPath=evil.exe", "mniAbout.Caption=&\xDC" "ber..."});
  auto* menuItem = new TMenuItem(w.form.get());
  menuItem->SetName("mniAbout");
  w.one->Items.SetText("item");
  w.translator->Apply();
  EXPECT_EQ(w.form->Caption, "Fenster");  // the window under its own name
  EXPECT_EQ(w.one->Caption, "Eins");
  EXPECT_EQ(w.one->Hint, L"Wide");
  EXPECT_EQ(menuItem->Caption, "&\xDC" "ber...");
  EXPECT_EQ(w.one->Name(), "ctlOne");
  EXPECT_EQ(w.one->Fixed, "fixed");
  EXPECT_EQ(w.one->Touchy, "touchy");
  EXPECT_EQ(w.one->Lines.Text(), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(w.one->Items.Text(), "item\r\n");
  EXPECT_EQ(w.one->Font.Name, "Verdana");  // nested objects are not entered
  EXPECT_EQ(w.one->URL, "http://example.com/");
  EXPECT_EQ(w.one->FileName, "ok.exe");
  EXPECT_EQ(w.one->ButtonSkinDataName, "button");
  EXPECT_EQ(Item(w.one, 1), "");  // collections are not entered either
  EXPECT_EQ(static_cast<TLangTestItem*>(w.one->Images.Items(0))->WideText, L"");
  // A component without a face keeps even its "Caption" and its lists.
  EXPECT_EQ(w.engine->Caption, "engine");
  EXPECT_EQ(w.engine->SettingOverwrite.Count(), 0);
  // A component without a name is never translated.
  EXPECT_EQ(w.unnamed->Caption, "caption");
}

// The window's ExcludeProps takes away from the table in its three shapes; lines of other
// shapes deny nothing, and emptying the list gives back no more than the table.
TEST(Translator, ExcludePropsDeniesByClassTypeAndPropertyName) {
  const struct {
    std::vector<std::string> excludes;
    std::string caption, lines;
    std::wstring hint;
  } cases[] = {
      {{}, "Eins", "L\r\n", L"H"},
      {{"tlangtestcontrol:"}, "caption", "", L"hint"},
      {{"TControl:"}, "caption", "", L"hint"},  // a base class covers the classes derived from it
      {{":TStrings"}, "Eins", "", L"H"},
      {{".Hint", " .Caption "}, "caption", "L\r\n", L"hint"},
      {{"TLangTestControl", "Hint", "TLangTestControl.Hint", ":", ".", "A:B"}, "Eins", "L\r\n", L"H"},
  };
  for (const auto& c : cases) {
    TWindow w({"[TfrmLangTest]", "ctlOne.Caption=Eins", "ctlOne.Hint=H", "ctlOne.Lines=L", "ctlOne.URL=x"});
    TStringList excludes(c.excludes);
    w.data->SetExcludeProps(&excludes);
    w.translator->Apply();
    const std::string label = c.excludes.empty() ? "(none)" : c.excludes[0];
    EXPECT_EQ(w.one->Caption, c.caption) << label;
    EXPECT_EQ(w.one->Lines.Text(), c.lines) << label;
    EXPECT_EQ(w.one->Hint, c.hint) << label;
    EXPECT_EQ(w.one->URL, "http://example.com/") << label;
  }
}

// A language file's line that changes nothing is left alone with a trace line of its own; the
// rest of the file still applies.
TEST(Translator, EachRefusedLineOfTheLanguageFileIsTracedAndTheRestApplies) {
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  TTracer* debugger = GetDebugger();
  debugger->AutoStartViewer = false;  // no viewer program is started from a test
  debugger->OutputEnabled = true;
  qmtest::TScratchDir dir("lang-refused");
  qmtest::WriteAll(dir / "Sly.lan", "[TfrmLangTest]\r\nctlOne.URL=\\\\host\\x.exe\r\nctlOne.Caption=Eins\r\n"
                                    "engine1.SettingOverwrite=FireFoxPath=x.exe\r\nCTLONE.HINT=H\r\n");
  TWindow w({"[TfrmLangTest]", "ctlOne.Lines=from the defaults"});
  viewer.Drain();
  w.data->LoadLanguage(dir / "Sly.lan");
  EXPECT_EQ(w.one->Caption, "Eins");
  EXPECT_EQ(w.one->Hint, L"H");
  EXPECT_EQ(w.one->URL, "http://example.com/");
  EXPECT_EQ(w.engine->SettingOverwrite.Count(), 0);
  std::vector<std::string> traced;
  for (const TTraceRecord& r : OfProcess(viewer.Drain(), GetCurrentProcessId()))
    if (r.tag == "CLLang") traced.push_back(r.text);
  EXPECT_EQ(traced, (std::vector<std::string>{"Language line not applied: [TfrmLangTest] ctlOne.URL",
                                              "Language line not applied: [TfrmLangTest] engine1.SettingOverwrite"}));
  FreeDebugger();  // lets go of the viewer's mapping before the viewer goes
  GetDebugger()->AutoStartViewer = false;  // as the test programs start, for the tests after this
}

TEST(Translator, StringListValuesSplitAtLineBreaksWithoutAFinalEmptyLine) {
  TWindow w({"[TfrmLangTest]", "ctlOne.Lines=Enter website address.<BR>"});
  w.one->Lines.SetText("old\r\nlines\r\nhere");
  w.translator->Apply();
  EXPECT_EQ(w.one->Lines.Count(), 1);
  EXPECT_EQ(w.one->Lines.Get(0), "Enter website address.");

  TStringList texts(std::vector<std::string>{"[TfrmLangTest]", "ctlOne.Lines=first<BR><BR>third"});
  w.data->SetDefaultData(&texts);
  w.translator->Apply();
  EXPECT_EQ(w.one->Lines.Lines(), (std::vector<std::string>{"first", "", "third"}));
}

TEST(Translator, NeverWalksTranslatorsOrLanguageData) {
  TWindow w({"[TfrmLangTest]", "clmltlngdt1.CurrentData=gone", "clmltlngdt1.DefaultData=gone",
             "clmltlngdt1.ExcludeProps=gone", "clmltlngdt1.Images[0].Name=x", "smLanguage.Name=x",
             "ctlOne.Caption=walked"});
  const int defaults = w.data->DefaultData()->Count();
  auto* other = new TCLMultiLangData(w.form.get());  // a second one, not linked to anything
  other->SetName("other");
  TStringList otherLines(std::vector<std::string>{"[Mine]", "k=v"});
  other->SetCurrentData(&otherLines);
  w.translator->Apply();
  EXPECT_EQ(w.one->Caption, "walked");
  EXPECT_EQ(w.data->DefaultData()->Count(), defaults);
  EXPECT_EQ(w.data->ExcludeProps()->Count(), 26);
  EXPECT_EQ(other->CurrentData()->Text(), "[Mine]\r\nk=v\r\n");
}

TEST(Translator, ChangeEventFiresOnceAfterAllComponentsAndNotWithoutData) {
  TWindow w({"[TfrmLangTest]", "ctlOne.Caption=done"});
  int fired = 0;
  std::string seen;
  w.translator->OnChangeLanguage = [&](TObject* sender) {
    ++fired;
    EXPECT_EQ(sender, w.translator);
    seen = w.one->Caption;
  };
  w.translator->Apply();
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(seen, "done");
  w.data->LoadLanguage("C:\\no\\such\\file.lan");  // every load applies again
  EXPECT_EQ(fired, 2);
  w.translator->SetLanguageData(nullptr);
  w.translator->Apply();
  EXPECT_EQ(fired, 2);
}

TEST(Translator, AutoApplyDecidesWhetherLoadingTranslates) {
  for (bool autoApply : {false, true}) {
    TWindow w({"[TfrmLangTest]", "ctlOne.Caption=translated"});
    w.data->AutoApply = autoApply;
    w.translator->Loaded();  // the window has finished loading
    EXPECT_EQ(w.one->Caption, autoApply ? "translated" : "caption");
    EXPECT_EQ(w.data->Translators().size(), 1u);
    w.data->LoadLanguage("C:\\no\\such\\file.lan");
    EXPECT_EQ(w.one->Caption, "translated");
  }
}

TEST(Translator, LanguageDataAssignmentMovesTheRegistrationAndAppliesNothing) {
  TWindow w({"[TfrmLangTest]", "ctlOne.Caption=first"});
  TCLMultiLangData second(nullptr);
  TStringList texts(std::vector<std::string>{"[TfrmLangTest]", "ctlOne.Caption=second"});
  second.SetDefaultData(&texts);
  w.translator->SetLanguageData(&second);
  EXPECT_EQ(w.one->Caption, "caption");
  EXPECT_TRUE(w.data->Translators().empty());
  ASSERT_EQ(second.Translators().size(), 1u);
  w.data->ApplyAll();
  EXPECT_EQ(w.one->Caption, "caption");
  second.ApplyAll();
  EXPECT_EQ(w.one->Caption, "second");
  w.translator->SetLanguageData(nullptr);
  EXPECT_TRUE(second.Translators().empty());
}

TEST(Translator, EitherSideMayBeDestroyedFirst) {
  for (bool translatorFirst : {false, true}) {
    // The window frees its components last created first.
    TWindow w({"[TfrmLangTest]"}, translatorFirst);
    w.form.reset();
  }
  {
    TWindow w({"[TfrmLangTest]", "ctlOne.Caption=after"});
    delete w.data;
    EXPECT_EQ(w.translator->LanguageData(), nullptr);
    w.translator->Apply();  // nothing to apply with
    EXPECT_EQ(w.one->Caption, "caption");
  }
  {
    TWindow w({"[TfrmLangTest]", "ctlOne.Caption=after"});
    delete w.translator;
    EXPECT_TRUE(w.data->Translators().empty());
    w.data->LoadLanguage("C:\\no\\such\\file.lan");
  }
  {
    // A translator of another window registered by hand is forgotten when it goes.
    TWindow w({"[TfrmLangTest]"});
    auto* stray = new TCLMultiLang(nullptr);
    w.data->AddTranslator(stray);
    w.data->AddTranslator(stray);
    EXPECT_EQ(w.data->Translators().size(), 2u);
    delete stray;
    EXPECT_EQ(w.data->Translators().size(), 1u);
  }
}

TEST(Translator, ApplyAllSurvivesAHandlerThatFreesAnotherTranslator) {
  TWindow w({"[TfrmLangTest]", "ctlOne.Caption=x"});
  auto* second = new TCLMultiLang(w.form.get());
  second->SetName("smSecond");
  second->SetLanguageData(w.data);
  int secondRuns = 0;
  second->OnChangeLanguage = [&](TObject*) { ++secondRuns; };
  w.translator->OnChangeLanguage = [&](TObject*) {
    delete second;
    second = nullptr;
  };
  w.data->ApplyAll();
  EXPECT_EQ(secondRuns, 0);
  EXPECT_EQ(w.data->Translators().size(), 1u);
}
