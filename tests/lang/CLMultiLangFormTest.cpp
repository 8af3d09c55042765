// A real window read from stored data, with its language data and translator: what the window
// shows after loading and after a language is loaded, and its destruction.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "components/Forms.h"
#include "components/StoredData.h"
#include "lang/CLMultiLang.h"
#include "support/TestSupport.h"

namespace {

// A static text control whose lines are its window text.
class TLangFormLabel : public TWinControl {
  QM_CLASS(TLangFormLabel, TWinControl)
 public:
  explicit TLangFormLabel(TComponent* owner) : TWinControl(owner) {
    lines_.OnChange = [this](TObject*) { SetText(lines_.Text()); };
  }
  TStringList* Lines() const { return const_cast<TStringList*>(&lines_); }

 protected:
  void CreateParams(TCreateParams& p) override {
    TWinControl::CreateParams(p);
    p.WinClassName = "STATIC";
    p.StockClass = true;
    p.Style |= WS_CHILD | WS_VISIBLE;
  }

 private:
  TStringList lines_;
};

class TfrmLangForm : public TForm {
  QM_CLASS(TfrmLangForm, TForm)
 public:
  explicit TfrmLangForm(TComponent* owner) : TForm(owner) {}
  TCLMultiLangData* clmltlngdt1 = nullptr;
  TCLMultiLang* smLanguage = nullptr;
  TLangFormLabel* lblDomain = nullptr;
  int changes = 0;
  void smLanguageChangeLanguage(TObject*) { ++changes; }
};

}  // namespace

QM_REGISTER_CLASS(TLangFormLabel, b) {
  b.Str("Caption", &TLangFormLabel::Caption, &TLangFormLabel::SetCaption, TTypeKind::tkLString, "TCaption");
  b.SubObject<TStrings>("Lines", "TStrings", &TLangFormLabel::Lines);
}
QM_REGISTER_CLASS(TfrmLangForm, b) {
  b.Field("clmltlngdt1", &TfrmLangForm::clmltlngdt1);
  b.Field("smLanguage", &TfrmLangForm::smLanguage);
  b.Field("lblDomain", &TfrmLangForm::lblDomain);
  b.Method("smLanguageChangeLanguage", &TfrmLangForm::smLanguageChangeLanguage);
}

namespace {

std::string StoredForm(bool autoApply, bool dataFirst) {
  const std::string data =
      "  object clmltlngdt1 : TCLMultiLangData\n"
      "    ExcludeEmptyProp = true\n"
      "    ExcludeNumberEndProps = true\n"
      "    AutoApply = " + std::string(autoApply ? "true" : "false") + "\n"
      "    CurrentData = (\"[TfrmLangForm]\" \"frmLangForm.Caption=Built in\" \"\")\n"
      "    DefaultData = (\"[TfrmLangForm]\" \"frmLangForm.Caption=Built in\"\n"
      "                   \"lblDomain.Lines=Enter a site<BR>\" \"\")\n"
      "  end\n";
  const std::string translator =
      "  object smLanguage : TCLMultiLang\n"
      "    OnChangeLanguage = smLanguageChangeLanguage\n"
      "    LanguageData = clmltlngdt1\n"
      "  end\n";
  return "object frmLangForm : TfrmLangForm\n"
         "  Caption = \"Stored caption\"\n" +
         (dataFirst ? data + translator : translator + data) +
         "  object lblDomain : TLangFormLabel\n"
         "    Lines = (\"stored\" \"lines\")\n"
         "  end\n"
         "end\n";
}

std::unique_ptr<TfrmLangForm> NewLangForm(bool autoApply, bool dataFirst = false) {
  RegisterStoredForm("TfrmLangForm", StoredForm(autoApply, dataFirst));
  std::unique_ptr<TfrmLangForm> f(NewForm<TfrmLangForm>(nullptr));
  UnregisterStoredForm("TfrmLangForm");
  f->Handle();  // the windows exist from here on
  f->lblDomain->Handle();
  return f;
}

std::string WindowText(HWND wnd) {
  char text[512] = {};
  GetWindowTextA(wnd, text, sizeof text);
  return text;
}

}  // namespace

TEST(TranslatedWindow, MainWindowStyleShowsStoredTextsUntilTheFirstLoad) {
  auto f = NewLangForm(false);
  ASSERT_NE(f->clmltlngdt1, nullptr);
  EXPECT_EQ(f->clmltlngdt1->ExcludeProps()->Count(), 26);
  EXPECT_TRUE(f->clmltlngdt1->ExcludeEmptyProp);
  EXPECT_EQ(WindowText(f->Handle()), "Stored caption");
  EXPECT_EQ(WindowText(f->lblDomain->Handle()), "stored\r\nlines\r\n");
  EXPECT_EQ(f->changes, 0);
  ASSERT_EQ(f->clmltlngdt1->Translators().size(), 1u);

  qmtest::TScratchDir dir("langform");
  qmtest::WriteAll(dir / "Deutsch.lan", "[TfrmLangForm]\r\nlblDomain.Lines=Adresse<BR>eingeben<BR>\r\n");
  f->clmltlngdt1->LoadLanguage(dir / "Deutsch.lan");
  EXPECT_EQ(WindowText(f->Handle()), "Built in");  // from the default texts
  EXPECT_EQ(f->lblDomain->Lines()->Count(), 2);
  EXPECT_EQ(WindowText(f->lblDomain->Handle()), "Adresse\r\neingeben\r\n");
  EXPECT_EQ(f->changes, 1);
}

TEST(TranslatedWindow, AutoApplyTranslatesAtTheEndOfLoadingAndDestructionOrderDoesNotMatter) {
  for (bool dataFirst : {false, true}) {
    auto f = NewLangForm(true, dataFirst);
    EXPECT_EQ(WindowText(f->Handle()), "Built in") << dataFirst;
    EXPECT_EQ(WindowText(f->lblDomain->Handle()), "Enter a site\r\n") << dataFirst;
    EXPECT_EQ(f->changes, 1) << dataFirst;
    f.reset();
  }
}
