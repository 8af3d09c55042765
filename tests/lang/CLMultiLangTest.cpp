// The component translator: which properties of which components receive texts, the change
// event, the registration with the language data, and destruction in either order.
#include <gtest/gtest.h>

#include <memory>

#include "lang/CLMultiLang.h"

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

// A control with one property of each kind the walk tells apart.
class TLangTestControl : public TComponent {
  QM_CLASS(TLangTestControl, TComponent)
 public:
  explicit TLangTestControl(TComponent* owner) : TComponent(owner) {
    Images.PropName = "Images";
  }
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

TEST(Translator, WritesFoundTextsIntoTextListAndCollectionPropertiesOnly) {
  TWindow w({"[TFRMLANGTEST]", "frmLangTest.Caption=Fenster", "ctlOne.Caption=Eins", "ctlOne.Hint=Wide",
             "Caption=for the unnamed", "ctlOne.Name=renamed", "ctlOne.Fixed=no setter",
             "ctlOne.Touchy=refused", "ctlOne.Lines=a<BR>b<BR>c", "ctlOne.Items=not a TStrings",
             "ctlOne.NoLines=nowhere", "ctlOne.Font=x", "ctlOne.Font.Name=Arial",
             "ctlOne.Images[1].Name=Zweites", "ctlOne.Images[2].ShortText=kurz", "ctlOne.Images[0].WideText=breit",
             "ctlOne.Images[0].Width=99", "ctlOne.Images[3].Name=beyond", "ctlOne.Images[01].Name=padded"});
  w.one->Items.SetText("item");
  w.translator->Apply();
  EXPECT_EQ(w.form->Caption, "Fenster");  // the window under its own name
  EXPECT_EQ(w.one->Caption, "Eins");
  EXPECT_EQ(w.one->Hint, L"Wide");
  EXPECT_EQ(w.one->Name(), "ctlOne");
  EXPECT_EQ(w.one->Fixed, "fixed");
  EXPECT_EQ(w.one->Touchy, "touchy");
  EXPECT_EQ(w.one->Lines.Text(), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(w.one->Items.Text(), "item\r\n");
  EXPECT_EQ(w.one->Font.Name, "Verdana");  // nested objects are not entered
  EXPECT_EQ(Item(w.one, 0), "");
  EXPECT_EQ(Item(w.one, 1), "Zweites");  // an item's name is translated
  EXPECT_EQ(static_cast<TLangTestItem*>(w.one->Images.Items(2))->ShortText, "kurz");
  EXPECT_EQ(static_cast<TLangTestItem*>(w.one->Images.Items(0))->WideText, L"breit");
  EXPECT_EQ(static_cast<TLangTestItem*>(w.one->Images.Items(0))->Width, 0);
  EXPECT_EQ(w.one->Images.Count(), 3);
  // A component without a name is never translated.
  EXPECT_EQ(w.unnamed->Caption, "caption");
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
