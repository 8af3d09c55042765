// The about window: its lines by language, the version line, the support link and the access
// word typed into the real window.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HttpTestServer.h"
#include "framework/CLSettings.h"
#include "net/BannerText.h"
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
    // The engine chooses languages from files beside the program.
    s->WriteString("Path.Languages", kLangs);
    CreateDirectoryA(LangFolder().c_str(), nullptr);
  }
  void TearDown() override {
    qmtest::RemoveTree(LangFolder());
    GetEngine()->SetLanguage("Default");  // no such file: the built-in texts
  }

  static std::string LangFolder() { return qmtest::ProgramDir() + kLangs; }

  // Chooses the language `name` through the engine, from a file that calls itself `infoName`
  // (the same name unless given) and names its translator.
  void UseLanguage(const std::string& name, const std::string& translator, std::string infoName = "") {
    if (infoName.empty()) infoName = name;
    qmtest::WriteAll(LangFolder() + "\\" + name + ".lan",
                     "[Info]\r\nLanguage=" + infoName + "\r\nTranslator=" + translator + "\r\n");
    ASSERT_NE(GetEngine(), nullptr);
    ASSERT_NE(GetEngine()->LanguageData(), nullptr);
    GetEngine()->SetLanguage(name);
  }

  static void Type(TfrmCLAboutForm* f, const std::string& keys) {
    for (char c : keys) SendMessageA(f->btnOK->Handle(), WM_KEYUP, static_cast<unsigned char>(c), 0);
  }

  static constexpr const char* kLangs = "about-langs";
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

TEST_F(AboutForm, LanguageLineNamesTheChosenLanguageNotTheFilesOwnName) {
  UseLanguage("Klingonisch", "Worf", "tlhIngan Hol");
  ASSERT_EQ(GetEngine()->LanguageName(), "Klingonisch");
  auto* f = NewForm<TfrmCLAboutForm>(TestHost());
  const std::string text = f->lbInfo->GetText();
  EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), "Klingonisch is tranlated by Worf");
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

// The engine's about command shows the window modally and frees it afterwards; nothing keeps
// using it: the banner's fetch, still running, completes without reaching the freed banner.
TEST_F(AboutForm, ShownModallyThenFreedWhileItsBannerFetchGoesOn) {
  qmtest::THttpTestServer server(33);
  ASSERT_TRUE(server.Listening());
  server.ResetRelease();
  server.SetHandler([](qmtest::THttpConnection& c, const std::string&, const std::string&) {
    c.WaitRelease(20000);
    qmtest::THttpTestServer::Ok(c, "<html><body><p>remote about</p></body></html>");
  });
  const std::string remote = "http://" + server.Host() + "/about.htm?run=" + std::to_string(GetTickCount());
  const std::string cache = bannertext::CacheFilePath(GetSettings()->DataPath(), remote);
  DeleteFileA(cache.c_str());
  const std::string page = dir_ / "local.htm";
  qmtest::WriteAll(page, "<html><body><p>local about</p></body></html>");
  GetSettings()->WriteString("Banner.About.URL", page);
  GetSettings()->WriteString("Banner.About.RemoteURL", remote);

  std::atomic<bool> shown{false};
  std::thread closer([&] {
    for (int i = 0; i < 800; ++i) {
      HWND about = FindWindowA("TfrmCLAboutForm", nullptr);
      if (about && IsWindowVisible(about) && server.RequestCount() > 0) {
        shown = true;
        PostMessageA(about, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(25);
    }
  });
  CLShowAbout(TestHost(), nullptr);
  closer.join();
  ASSERT_TRUE(shown);
  EXPECT_EQ(FindWindowA("TfrmCLAboutForm", nullptr), nullptr);
  for (int i = 0; i < TestHost()->ComponentCount(); ++i)
    EXPECT_EQ(dynamic_cast<TfrmCLAboutForm*>(TestHost()->Components(i)), nullptr);

  server.Release();
  EXPECT_TRUE(qmtest::WaitFor([&] { return qmtest::Exists(cache); }, 20000));
  qmtest::WaitFor([] { return false; }, 500);  // the completion, had it anyone to reach
  // The next window shows the fetched copy at once.
  auto* f = NewForm<TfrmCLAboutForm>(TestHost());
  EXPECT_EQ(f->wbAbout->URL, cache);
  delete f;
  DeleteFileA(cache.c_str());
}
