// The form binding on secondary windows read from stored data, with and without an engine.
#include <gtest/gtest.h>

#include "components/StoredData.h"
#include "framework/CLForm.h"
#include "tests/engine/EngineTestHost.h"
#include "toolkit/SkinControls.h"

namespace {

// A translator of its own kind: the binding leaves it to manage its language data itself.
class TMyTranslator : public TCLMultiLang {
  QM_CLASS(TMyTranslator, TCLMultiLang)
 public:
  explicit TMyTranslator(TComponent* owner) : TCLMultiLang(owner) {}
};

class TfrmBound : public TForm {
  QM_CLASS(TfrmBound, TForm)
 public:
  explicit TfrmBound(TComponent* owner) : TForm(owner) {}
  TCLForm* clForm1 = nullptr;
  TskSkinData* ownSkin = nullptr;
  TskSkinButton* btnOwn = nullptr;
  TskSkinButton* btnPlain = nullptr;
  TCLMultiLangData* ownLang = nullptr;
  TCLMultiLang* mlOwn = nullptr;
  TCLMultiLang* mlPlain = nullptr;
  TMyTranslator* mlDerived = nullptr;
};

}  // namespace

QM_REGISTER_CLASS(TMyTranslator, b) { (void)b; }
QM_REGISTER_CLASS(TfrmBound, b) {
  b.Field("clForm1", &TfrmBound::clForm1);
  b.Field("ownSkin", &TfrmBound::ownSkin);
  b.Field("btnOwn", &TfrmBound::btnOwn);
  b.Field("btnPlain", &TfrmBound::btnPlain);
  b.Field("ownLang", &TfrmBound::ownLang);
  b.Field("mlOwn", &TfrmBound::mlOwn);
  b.Field("mlPlain", &TfrmBound::mlPlain);
  b.Field("mlDerived", &TfrmBound::mlDerived);
}

namespace {

std::string BoundText(bool formProperties) {
  return std::string("object frmBound : TfrmBound\n  Caption = \"Bound\"\n  Scaled = true\n  AutoScroll = true\n") +
         "  object ownSkin : TskSkinData\n  end\n"
         "  object btnOwn : TskSkinButton\n    Caption = \"Own\"\n    SkinData = ownSkin\n  end\n"
         "  object btnPlain : TskSkinButton\n    Caption = \"Plain\"\n  end\n"
         "  object ownLang : TCLMultiLangData\n  end\n"
         "  object mlOwn : TCLMultiLang\n    LanguageData = ownLang\n  end\n"
         "  object mlPlain : TCLMultiLang\n  end\n"
         "  object mlDerived : TMyTranslator\n  end\n"
         "  object clForm1 : TCLForm\n    RuntimeSetSkinData = true\n    RuntimeSetLanguageData = true\n"
         "    RunTimeSetFormProperties = " +
         (formProperties ? "true" : "false") + "\n  end\nend\n";
}

std::unique_ptr<TfrmBound> CreateBound(bool formProperties) {
  RegisterStoredForm("TfrmBound", BoundText(formProperties));
  return std::unique_ptr<TfrmBound>(NewForm<TfrmBound>(nullptr));
}

}  // namespace

TEST(FormBinding, EngineSkinAndLanguageGoOnlyToEmptyPropertiesOfExactTranslators) {
  ResetStoredChoices();
  auto host = CreateHost({});
  auto bound = CreateBound(false);
  EXPECT_EQ(bound->btnOwn->SkinData(), bound->ownSkin);  // named in its stored data: kept
  EXPECT_EQ(bound->btnPlain->SkinData(), host->skin1);
  EXPECT_EQ(bound->mlOwn->LanguageData(), bound->ownLang);
  EXPECT_EQ(bound->mlPlain->LanguageData(), host->lang1);
  EXPECT_EQ(bound->mlDerived->LanguageData(), nullptr);  // a derived class does not count
  // Registered with the engine's language data, so a language change reaches it.
  const auto& registered = host->lang1->Translators();
  EXPECT_NE(std::find(registered.begin(), registered.end(), bound->mlPlain), registered.end());
  // Switched off: the window keeps its stored placement settings.
  EXPECT_TRUE(bound->Scaled);
  EXPECT_TRUE(bound->AutoScroll);
  EXPECT_EQ(bound->Position, poDesigned);
}

TEST(FormBinding, WithoutAnEngineNothingIsHandedOut) {
  ASSERT_EQ(GetEngine(), nullptr);
  auto bound = CreateBound(true);
  EXPECT_EQ(bound->btnPlain->SkinData(), nullptr);
  EXPECT_EQ(bound->mlPlain->LanguageData(), nullptr);
  EXPECT_EQ(bound->btnOwn->SkinData(), bound->ownSkin);
  // The placement step needs no engine.
  EXPECT_FALSE(bound->Scaled);
  EXPECT_FALSE(bound->AutoScroll);
  EXPECT_FALSE(bound->AutoSize);
  EXPECT_EQ(bound->Position, poMainFormCenter);
}

TEST(FormBinding, AnEngineWithoutSkinOrLanguageDataHandsOutNothing) {
  ResetStoredChoices();
  THostOptions o;
  o.Skin = false;
  o.Language = false;
  auto host = CreateHost(o);
  auto bound = CreateBound(false);
  EXPECT_EQ(bound->btnPlain->SkinData(), nullptr);
  EXPECT_EQ(bound->mlPlain->LanguageData(), nullptr);
}

TEST(FormBinding, AnOwnerThatIsAControlButNoFormGetsTheComponentsBoundButNoPlacement) {
  ResetStoredChoices();
  auto host = CreateHost({});
  TWinControl panel(nullptr);
  auto* button = new TskSkinButton(&panel);
  auto* translator = new TCLMultiLang(&panel);
  auto* binding = new TCLForm(&panel);
  binding->RuntimeSetSkinData = true;
  binding->RuntimeSetLanguageData = true;
  binding->RunTimeSetFormProperties = true;
  binding->Loaded();
  EXPECT_EQ(button->SkinData(), host->skin1);
  EXPECT_EQ(translator->LanguageData(), host->lang1);
  TCLForm::ApplyFormProperties(&panel);  // not a form: nothing, and nothing fails

  // An owner that is no windowed control at all is refused.
  TComponent plain(nullptr);
  auto* lost = new TCLForm(&plain);
  lost->RuntimeSetSkinData = true;
  EXPECT_THROW(lost->Loaded(), EInvalidCast);
}

TEST(FormBinding, TheStepsWorkOnAnyWindowAndIgnoreMissingArguments) {
  TForm window(nullptr);
  TskSkinData skin(nullptr);
  TCLMultiLangData lang(nullptr);
  auto* button = new TskSkinButton(&window);
  auto* translator = new TCLMultiLang(&window);
  TCLForm::ApplySkinData(&window, nullptr);
  TCLForm::ApplyLanguageData(&window, nullptr);
  TCLForm::ApplySkinData(nullptr, &skin);
  EXPECT_EQ(button->SkinData(), nullptr);
  EXPECT_EQ(translator->LanguageData(), nullptr);
  TCLForm::ApplySkinData(&window, &skin);
  TCLForm::ApplyLanguageData(&window, &lang);
  EXPECT_EQ(button->SkinData(), &skin);
  EXPECT_EQ(translator->LanguageData(), &lang);
  // The window itself is not one of its components.
  TCLForm::ApplyFormProperties(&window);
  EXPECT_EQ(window.Position, poMainFormCenter);
  translator->SetLanguageData(nullptr);
  button->SetSkinData(nullptr);
}
