// The about window: its lines by language, the version line, the support link and the access
// word typed into the real window.
#include <gtest/gtest.h>

#include "framework/CLSettings.h"
#include "net/CLAboutForm.h"
#include "net/CLWebBanner.h"
#include "support/TestSupport.h"
#include "TestHost.h"
#include "toolkit/SkinControls.h"

namespace {

class AboutForm : public ::testing::Test {
 protected:
  void SetUp() override {
    TestHost();
    TCLSettings* s = GetSettings();
    s->WriteString("App.Ver", "2.1");
    s->WriteString("App.Copyright", "(c) Quill Team");
    s->WriteString("URL.support", "http://support.example/s.php");
    for (const char* k : {"Banner.About.RemoteURLA", "Banner.About.URLA", "Banner.About.RemoteURL", "Banner.About.URL"})
      s->WriteString(k, "");
    GetEngine()->InternalMode = false;
  }
  void TearDown() override { GetEngine()->LanguageData()->ClearLanguage(); }

  // Makes a language file naming itself and its translator the current language.
  void UseLanguage(const std::string& name, const std::string& translator) {
    const std::string path = dir_ / (name + ".lan");
    qmtest::WriteAll(path, "[Info]\r\nLanguage=" + name + "\r\nTranslator=" + translator + "\r\n");
    ASSERT_NE(GetEngine(), nullptr);
    ASSERT_NE(GetEngine()->LanguageData(), nullptr);
    GetEngine()->LanguageData()->LoadLanguage(path);
  }

  static void Type(TfrmCLAboutForm* f, const std::string& keys) {
    for (char c : keys) SendMessageA(f->btnOK->Handle(), WM_KEYUP, static_cast<unsigned char>(c), 0);
  }

  qmtest::TScratchDir dir_{"about"};
};

}  // namespace

TEST_F(AboutForm, LinesByLanguageAndVersion) {
  UseLanguage("English", "Nobody");
  auto* f = NewForm<TfrmCLAboutForm>(TestHost());
  const std::string appName = GetEngine()->GetLibRes("TfrmCLAboutForm.CopyRightLine1");
  EXPECT_EQ(f->lbInfo->GetText(), appName + "\r\nVersion : 2.1\r\n(c) Quill Team");
  EXPECT_EQ(f->btnOK->GetText(), "&Ok");
  EXPECT_EQ(f->lblSupport->GetText(), "Support");
  EXPECT_EQ(f->lblSupport->URL.rfind("http://support.example/s.php?ACTION=support&", 0), 0u) << f->lblSupport->URL;
  EXPECT_FALSE(f->GetText().empty());
  // Without the picture beside the program the logo band goes and the window is shorter.
  EXPECT_FALSE(f->pnLogo->Visible());
  EXPECT_EQ(f->ClientHeight(), 262 - 65);
  EXPECT_FALSE(f->wbAbout->Visible());
  delete f;

  UseLanguage("english", "Nobody");
  f = NewForm<TfrmCLAboutForm>(TestHost());
  EXPECT_EQ(f->lbInfo->GetText(), appName + "\r\nVersion : 2.1\r\n(c) Quill Team\r\nenglish is tranlated by Nobody");
  delete f;

  UseLanguage("Deutsch", "Hanna Weber");
  f = NewForm<TfrmCLAboutForm>(TestHost());
  EXPECT_EQ(f->lbInfo->GetText(),
            appName + "\r\nVersion : 2.1\r\n(c) Quill Team\r\nDeutsch is tranlated by Hanna Weber");
  delete f;
}

TEST_F(AboutForm, LogoSizesTheWindow) {
  TPictureBeside picture("about.png");
  ASSERT_TRUE(picture.Present());
  auto* f = NewForm<TfrmCLAboutForm>(TestHost());
  EXPECT_TRUE(f->pnLogo->Visible());
  EXPECT_EQ(f->pnLogo->Height(), 65);
  EXPECT_EQ(f->ClientWidth(), 373);
  EXPECT_EQ(f->ClientHeight(), 262);
  delete f;
}

TEST_F(AboutForm, AccessWordAsTheFirstKeysSwitchesInternalMode) {
  auto* f = NewForm<TfrmCLAboutForm>(TestHost());
  const std::string caption = f->GetText();
  Type(f, "QUENDALSO");
  EXPECT_FALSE(GetEngine()->InternalMode);
  EXPECT_EQ(f->GetText(), caption);
  Type(f, "R");
  EXPECT_TRUE(GetEngine()->InternalMode);
  EXPECT_EQ(f->GetText(), "QUENDALSOR :-]");
  EXPECT_EQ(f->ModalResult, mrNone);
  SendMessageA(f->btnOK->Handle(), WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_EQ(f->ModalResult, mrOk);
  delete f;

  GetEngine()->InternalMode = false;
  f = NewForm<TfrmCLAboutForm>(TestHost());
  SendMessageA(f->btnOK->Handle(), WM_KEYUP, VK_SHIFT, 0);
  Type(f, "QUENDALSOR");
  EXPECT_FALSE(GetEngine()->InternalMode);
  EXPECT_EQ(f->GetText(), caption);
  delete f;
}

TEST_F(AboutForm, BannerShownOnlyWhenItsSettingsExist) {
  const std::string page = dir_ / "about.htm";
  qmtest::WriteAll(page, "<html><body><p>About banner</p></body></html>");
  GetSettings()->WriteString("Banner.About.URL", page);
  auto* f = NewForm<TfrmCLAboutForm>(TestHost());
  EXPECT_TRUE(f->wbAbout->Visible());
  EXPECT_EQ(f->wbAbout->URL, page);
  EXPECT_EQ(f->wbAbout->LocationURL(), page);
  delete f;
}
