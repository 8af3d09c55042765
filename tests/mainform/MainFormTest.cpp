// The shipped program under the test prefix: its main window is found by class, typed into and
// clicked through its real child windows, and its message dialogs are read and answered.
#include <windows.h>

#include <gtest/gtest.h>

#include <psapi.h>
#include <shlobj.h>

#include <atomic>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "HttpTestServer.h"
#include "components/StoredData.h"
#include "cookies/CookieOps.h"
#include "cookies/FirefoxCookies.h"
#include "lang/CLBuiltInTexts.h"
#include "lang/CLMultiLangLan.h"
#include "support/CookieStores.h"
#include "support/TestSupport.h"
#include "toolkit/Skin.h"
#include "tools/QVTools.h"

using namespace qmtest;
using qmtest::THttpConnection;
using qmtest::THttpTestServer;

namespace {

std::string TextOf(HWND w) {
  char buf[1024] = {};
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

struct TFind {
  std::string text;
  HWND found = nullptr;
};

BOOL CALLBACK FindByText(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<TFind*>(lp);
  if (TextOf(w) != f->text) return TRUE;
  f->found = w;
  return FALSE;
}

HWND Child(HWND parent, const std::string& text) {
  TFind f{text};
  EnumChildWindows(parent, FindByText, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

BOOL CALLBACK CollectTexts(HWND w, LPARAM lp) {
  *reinterpret_cast<std::string*>(lp) += TextOf(w) + "|";
  return TRUE;
}

BOOL CALLBACK FindEdit(HWND w, LPARAM lp) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(lp) = w;
  return FALSE;
}

// The message dialog of the program: a visible top-level window captioned with the
// application name (the main window's caption also carries the version; the application's
// own hidden window carries the bare name too, so only a visible one counts).
BOOL CALLBACK FindVisibleDialog(HWND w, LPARAM lp) {
  if (!IsWindowVisible(w) || TextOf(w) != "Brindlewick") return TRUE;
  *reinterpret_cast<HWND*>(lp) = w;
  return FALSE;
}

HWND WaitDialog(DWORD timeoutMs) {
  HWND dialog = nullptr;
  WaitFor([&] {
    dialog = nullptr;
    EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog != nullptr;
  }, timeoutMs);
  return dialog;
}

// The lower-cased names of the modules loaded in `process`.
std::set<std::string> LoadedModules(HANDLE process) {
  std::vector<HMODULE> modules(512);
  DWORD needed = 0;
  std::set<std::string> names;
  if (!EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed))
    return names;
  for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < modules.size(); ++i) {
    char name[MAX_PATH] = {};
    if (!GetModuleBaseNameA(process, modules[i], name, sizeof name)) continue;
    CharLowerA(name);
    names.insert(name);
  }
  return names;
}

std::string Record(const std::string& name, const std::string& hostPath) {
  return name + "\nvalue\n" + hostPath + "\n9728\n2914986496\n31119351\n1840399408\n30946433\n*\n";
}

// The program's own settings files (the all-users one where it may write there, else the
// user's): the show-again answers live there.
std::vector<std::string> SettingsFiles() {
  std::vector<std::string> files;
  for (int folder : {CSIDL_COMMON_APPDATA, CSIDL_APPDATA}) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, folder, nullptr, 0, path);
    files.push_back(std::string(path) + "\\Brindlewick\\setting.dat");
  }
  return files;
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each test starts with the settings as they were, and leaves them so.
    for (const std::string& f : SettingsFiles()) saved_.push_back({Exists(f), Exists(f) ? ReadAll(f) : ""});
    PrepareSettings();
    folder_ = GetCookieFolder();
    ASSERT_FALSE(folder_.empty());
    ASSERT_TRUE(QV_ForceDirectories(folder_));
    PlaceCookies();
    ASSERT_FALSE(DistDir().empty());
    process_ = StartProcess("\"" + DistDir() + "Quillmoor.exe\"", DistDir());
    ASSERT_NE(process_, nullptr);
    ASSERT_TRUE(WaitFor([&] {
      window_ = FindWindowA("TfrmMain", nullptr);
      return window_ && IsWindowVisible(window_) && TextOf(window_).find("2.1.1.6") != std::string::npos;
    }, 30000)) << "main window did not open";
  }
  void TearDown() override {
    if (HWND d = WaitDialog(0)) PostMessageA(d, WM_CLOSE, 0, 0);
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    if (process_) {
      WaitExit(process_, 15000);
      CloseHandle(process_);
    }
    for (const char* f : {"user@example[1]", "user@forum[1]", "user@other[1]", "user@www.other[2]", "CM89HDI5"})
      DeleteFileA((folder_ + "\\" + f + ".txt").c_str());
    for (size_t i = 0; i < saved_.size(); ++i) {
      const std::string f = SettingsFiles()[i];
      if (saved_[i].first) WriteAll(f, saved_[i].second);
      else DeleteFileA(f.c_str());
    }
  }
  // Settings the program finds at its start (restored afterwards like all others).
  virtual void PrepareSettings() {}
  void PlaceCookies() {
    WriteAll(folder_ + "\\user@example[1].txt", Record("a", "example.com/"));
    WriteAll(folder_ + "\\user@forum[1].txt", Record("b", "forum.example.com/"));
    WriteAll(folder_ + "\\user@other[1].txt", Record("c", "other.org/"));
    WriteAll(folder_ + "\\user@www.other[2].txt", Record("d", "www.other.org/"));
    WriteAll(folder_ + "\\CM89HDI5.txt", Record("e", ".other.org/"));  // named at random
  }
  bool Has(const std::string& site) const { return Exists(folder_ + "\\user@" + site + "[1].txt"); }
  bool HasAll() const {
    return Has("example") && Has("forum") && Has("other") && Exists(folder_ + "\\user@www.other[2].txt") &&
           Exists(folder_ + "\\CM89HDI5.txt");
  }
  HWND Edit() const {
    HWND e = nullptr;
    EnumChildWindows(window_, FindEdit, reinterpret_cast<LPARAM>(&e));
    return e;
  }
  // Clicks a control of the main window without waiting for its handler (which shows a modal box).
  void Click(const std::string& caption) {
    HWND b = Child(window_, caption);
    ASSERT_NE(b, nullptr) << caption;
    PostMessageA(b, BM_CLICK, 0, 0);
  }
  // Waits for the dialog, returns all its texts and presses the button captioned `answer`.
  std::string Answer(const std::string& answer, bool tickShowAgain = false) {
    HWND d = WaitDialog(15000);
    if (!d) return "<no dialog>";
    std::string texts;
    EnumChildWindows(d, CollectTexts, reinterpret_cast<LPARAM>(&texts));
    if (tickShowAgain) {
      HWND box = Child(d, "Don't display this message again");
      EXPECT_NE(box, nullptr) << texts;
      if (box) SendMessageA(box, BM_CLICK, 0, 0);
    }
    HWND button = Child(d, answer);
    EXPECT_NE(button, nullptr) << answer << " in " << texts;
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(d) || !IsWindowVisible(d); }, 10000);
    return texts;
  }
  void Type(const std::string& text) {
    HWND e = Edit();
    ASSERT_NE(e, nullptr);
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }

  std::vector<std::pair<bool, std::string>> saved_;  // per settings file: there, and its bytes
  std::string folder_;
  HANDLE process_ = nullptr;
  HWND window_ = nullptr;
};

}  // namespace

TEST_F(MainWindow, OpensWithTitleVersionControlsAndFirefoxControlsOffWithoutFirefox) {
  EXPECT_EQ(TextOf(window_), "Brindlewick  2.1.1.6");
  for (const char* caption : {"Clear All Cookies", "Clear &Internet Explorer Cookies", "Clear &Firefox Cookies",
                              "Clear &Chrome and Edge Cookies",
                              "Install Firefox Extension", "Delete Website Cookies", "Website Address:",
                              "&Delete Cookies"})
    EXPECT_NE(Child(window_, caption), nullptr) << caption;
  ASSERT_NE(Edit(), nullptr);
  EXPECT_EQ(TextOf(Edit()), "");
  // The test prefix has no Firefox: its two controls are off, the others on.
  EXPECT_TRUE(FindFirefoxPath().empty());
  EXPECT_FALSE(IsWindowEnabled(Child(window_, "Clear &Firefox Cookies")));
  EXPECT_FALSE(IsWindowEnabled(Child(window_, "Install Firefox Extension")));
  EXPECT_FALSE(IsWindowEnabled(Child(window_, "Clear &Chrome and Edge Cookies")));  // nor a Chromium browser
  EXPECT_TRUE(IsWindowEnabled(Child(window_, "Clear &Internet Explorer Cookies")));
  EXPECT_TRUE(IsWindowEnabled(Child(window_, "&Delete Cookies")));
  // Client area as designed.
  RECT r;
  GetClientRect(window_, &r);
  EXPECT_EQ(r.right - r.left, 528);
  EXPECT_EQ(r.bottom - r.top, 338);
}

TEST_F(MainWindow, AnEmptyOrRefusedAddressAsksForOneAndDeletesNothing) {
  Click("&Delete Cookies");
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("Please enter a website address such as example.com"), std::string::npos) << texts;
  EXPECT_EQ(texts.find("have been cleared"), std::string::npos) << texts;
  EXPECT_TRUE(Has("example") && Has("forum") && Has("other"));
  // Only the one message: no second box follows.
  EXPECT_EQ(WaitDialog(1500), nullptr);

  // Texts that used to take every cookie file, through the "@" and "[1]" of every name, the
  // account name, or a suffix every host ends with.
  char account[256] = "user";
  DWORD size = sizeof account;
  GetUserNameA(account, &size);
  for (const std::string& refused : {std::string("*"), std::string(".com"), std::string("exa\"mple.com"),
                                     std::string("a b.com"), std::string("@"), std::string("com"), std::string("org"),
                                     std::string("[1]"), std::string("co.uk"), std::string("*.org"),
                                     std::string(account)}) {
    Type(refused);
    Click("&Delete Cookies");
    texts = Answer("&OK");
    EXPECT_NE(texts.find("Please enter a website address"), std::string::npos) << refused << ": " << texts;
    EXPECT_TRUE(HasAll()) << refused;
  }
  // An address is a site of its own, and matches only itself.
  Type("1.1.1.1");
  Click("&Delete Cookies");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("No cookies of website 1.1.1.1 were found"), std::string::npos) << texts;
  EXPECT_TRUE(HasAll());
}

TEST_F(MainWindow, ASiteAddressDeletesItsFamilyAndNamesItInTheMessage) {
  Type("forum.example.com");
  Click("&Delete Cookies");
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("The cookies of website forum.example.com have been cleared"), std::string::npos) << texts;
  EXPECT_FALSE(Has("forum"));
  EXPECT_TRUE(Has("example"));  // the parent domain is not the sub-domain's family
  EXPECT_TRUE(Has("other"));

  Type("example.com");
  Click("&Delete Cookies");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("The cookies of website example.com have been cleared"), std::string::npos) << texts;
  EXPECT_FALSE(Has("example"));
  EXPECT_TRUE(Has("other"));

  // A pasted address names its host's site; its files go whatever their names.
  Type("  https://WWW.Other.org:8080/login?x=1 ");
  Click("&Delete Cookies");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("The cookies of website other.org have been cleared"), std::string::npos) << texts;
  EXPECT_FALSE(Has("other") || Exists(folder_ + "\\user@www.other[2].txt") || Exists(folder_ + "\\CM89HDI5.txt"));
}

// WinInet, the shell and OLE automation serve the buttons, the update check and the banners only:
// the window opens without them, and the first click that needs them loads them.
TEST_F(MainWindow, OpensWithoutTheLibrariesOnlyItsActionsUseAndLoadsThemOnTheClick) {
  std::set<std::string> atStart = LoadedModules(process_);
  ASSERT_TRUE(atStart.count("user32.dll")) << "the process's modules were not read";
  for (const char* dll : {"wininet.dll", "shell32.dll", "oleaut32.dll"}) EXPECT_FALSE(atStart.count(dll)) << dll;

  Type("example.com");
  Click("&Delete Cookies");
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("The cookies of website example.com have been cleared"), std::string::npos) << texts;
  EXPECT_FALSE(Has("example"));
  std::set<std::string> afterClick = LoadedModules(process_);
  EXPECT_TRUE(afterClick.count("wininet.dll"));
  EXPECT_TRUE(afterClick.count("shell32.dll"));
}

TEST_F(MainWindow, NoToTheConfirmationKeepsEveryCookieAndShowsNothingMore) {
  Click("Clear &Internet Explorer Cookies");
  std::string texts = Answer("&No");
  EXPECT_NE(texts.find("erase all cookies for Internet Explorer"), std::string::npos) << texts;
  EXPECT_EQ(WaitDialog(1500), nullptr);
  EXPECT_TRUE(Has("example") && Has("forum") && Has("other"));

  Click("Clear &Internet Explorer Cookies");
  texts = Answer("&Yes");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("All Internet Explorer cookies cleared"), std::string::npos) << texts;
  EXPECT_FALSE(Has("example") || Has("forum") || Has("other"));
}

TEST_F(MainWindow, AConfirmationSilencedWithYesClearsAtOnceLater) {
  Click("Clear &Internet Explorer Cookies");
  Answer("&Yes", true);
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("All Internet Explorer cookies cleared"), std::string::npos) << texts;
  EXPECT_FALSE(Has("example"));

  // Asked no more: the stored Yes clears at once and only the result is shown.
  PlaceCookies();
  Click("Clear &Internet Explorer Cookies");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("All Internet Explorer cookies cleared"), std::string::npos) << texts;
  EXPECT_EQ(texts.find("Are you sure"), std::string::npos) << texts;
  EXPECT_FALSE(Has("example") || Has("forum") || Has("other"));
}

TEST_F(MainWindow, AConfirmationSilencedWithNoMakesTheButtonDoNothing) {
  Click("Clear &Internet Explorer Cookies");
  std::string texts = Answer("&No", true);
  EXPECT_NE(texts.find("Are you sure"), std::string::npos) << texts;
  EXPECT_EQ(WaitDialog(1500), nullptr);

  Click("Clear &Internet Explorer Cookies");
  EXPECT_EQ(WaitDialog(2500), nullptr);
  EXPECT_TRUE(Has("example") && Has("forum") && Has("other"));
}

TEST_F(MainWindow, ACookieFileThatStaysIsReportedNotCalledCleared) {
  // Held open without sharing, as a running browser holds its files.
  HANDLE held = CreateFileA((folder_ + "\\user@example[1].txt").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Type("example.com");
  Click("&Delete Cookies");
  std::string site = Answer("&OK");
  Click("Clear &Internet Explorer Cookies");
  Answer("&Yes");
  std::string all = Answer("&OK");
  CloseHandle(held);
  for (const std::string& texts : {site, all}) {
    EXPECT_EQ(texts.find("have been cleared"), std::string::npos) << texts;
    EXPECT_EQ(texts.find("cookies cleared"), std::string::npos) << texts;
    EXPECT_NE(texts.find("Some Internet Explorer cookies could not be erased. Close Internet "
                         "Explorer and try again."),
              std::string::npos)
        << texts;
  }
  EXPECT_TRUE(Has("example"));
  EXPECT_FALSE(Has("other"));  // the others went all the same
}

namespace {

const char kMozillaKey[] = "Software\\Mozilla\\Mozilla Firefox";

// The user's own registry entry of a Firefox version and its executable.
void SetUserFirefox(const std::string& version, const std::string& exe) {
  for (const std::string& key : {std::string(kMozillaKey), std::string(kMozillaKey) + "\\" + version + "\\Main"}) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != 0)
      continue;
    const bool top = key == kMozillaKey;
    const std::string value = top ? version : exe;
    RegSetValueExA(k, top ? "CurrentVersion" : "PathToExe", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
  }
}

}  // namespace

class GermanMainWindow : public MainWindow {
 protected:
  void PrepareSettings() override {
    for (const std::string& f : SettingsFiles()) {
      QV_ForceDirectories(f.substr(0, f.rfind('\\')));
      WriteAll(f, "[setting]\r\nLanguage=Deutsch\r\n");
    }
  }
};

namespace {

// A text of the shipped German language file, as the program reads it.
std::string GermanText(const std::string& section, const std::string& key) {
  TCLMultiLangLan lan;
  lan.ReadFile(DistDir() + "langs\\Deutsch.lan");
  std::string text;
  lan.FindValue(section, "", key, text);
  return text;
}

}  // namespace

TEST_F(GermanMainWindow, TheChosenLanguageTranslatesTheWindowAndItsMessages) {
  // The language file is Windows-1252 text.
  EXPECT_NE(Child(window_, "&Internet-Explorer-Cookies l\xF6schen"), nullptr);
  EXPECT_NE(Child(window_, "Alle Cookies l\xF6schen"), nullptr);
  EXPECT_NE(Child(window_, "Website-Adresse:"), nullptr);
  EXPECT_EQ(Child(window_, "&Delete Cookies"), nullptr);
  EXPECT_EQ(TextOf(window_), "Brindlewick  2.1.1.6");
  const std::string enterDomain = GermanText("AppRes", "MSGBOX_EnterDomain");
  ASSERT_EQ(enterDomain.rfind("Bitte geben Sie", 0), 0u) << enterDomain;
  Click("Cookies &l\xF6schen");
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find(enterDomain), std::string::npos) << texts;
  EXPECT_EQ(texts.find("Please enter a website address"), std::string::npos) << texts;
  EXPECT_TRUE(Has("example"));
}

namespace {

struct TProcessWindow {
  DWORD pid;
  HWND found = nullptr;
};

BOOL CALLBACK FindProcessWindow(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<TProcessWindow*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != f->pid || !IsWindowVisible(w)) return TRUE;
  f->found = w;
  return FALSE;
}

}  // namespace

TEST(MainWindowPictures, AMissingPictureIsReportedAndTheWindowOpensAllTheSame) {
  ASSERT_FALSE(DistDir().empty());
  TScratchDir dir("mainform-pictures");
  ASSERT_TRUE(QV_ForceDirectories(dir / "res"));
  for (const char* f : {"Quillmoor.exe", "const.dat", "res\\title.png", "res\\ff.png"})
    ASSERT_TRUE(CopyFileA((DistDir() + f).c_str(), (dir / f).c_str(), FALSE)) << f;
  HANDLE process = StartProcess("\"" + (dir / "Quillmoor.exe") + "\"", dir.Path());
  ASSERT_NE(process, nullptr);
  // The error box comes first, while the window is being created.
  TProcessWindow box{GetProcessId(process)};
  ASSERT_TRUE(WaitFor([&] {
    box.found = nullptr;
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&box));
    return box.found != nullptr;
  }, 30000));
  std::string texts = TextOf(box.found) + "|";
  EnumChildWindows(box.found, CollectTexts, reinterpret_cast<LPARAM>(&texts));
  EXPECT_NE(texts.find("ie.png"), std::string::npos) << texts;
  char cls[64] = {};
  GetClassNameA(box.found, cls, sizeof cls);
  EXPECT_STRNE(cls, "TfrmMain");
  PostMessageA(box.found, WM_CLOSE, 0, 0);
  HWND window = nullptr;
  EXPECT_TRUE(WaitFor([&] {
    window = FindWindowA("TfrmMain", nullptr);
    return window && IsWindowVisible(window);
  }, 30000));
  if (window) {
    EXPECT_NE(Child(window, "&Delete Cookies"), nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(WaitExit(process, 15000), 0);
  CloseHandle(process);
}

// A Firefox that can run the extension is there at start but cannot be started: a file by its
// name that is no program, and no profile to clear instead.
class BrokenFirefoxMainWindow : public MainWindow {
 protected:
  void PrepareSettings() override {
    WriteAll(firefoxDir_ / "firefox.exe", "not a program");
    SetUserFirefox("3.6.28 (en-US)", firefoxDir_ / "firefox.exe");
    for (const std::string& f : SettingsFiles()) {
      QV_ForceDirectories(f.substr(0, f.rfind('\\')));
      WriteAll(f, "[setting]\r\nFireFoxPath=" + (firefoxDir_ / "firefox.exe") + "\r\n");
    }
  }
  void TearDown() override {
    MainWindow::TearDown();
    RegDeleteTreeA(HKEY_CURRENT_USER, kMozillaKey);
  }
  TScratchDir firefoxDir_{"mainform-firefox"};
};

TEST_F(BrokenFirefoxMainWindow, AFirefoxThatDoesNotStartIsReportedNotCalledDone) {
  ASSERT_TRUE(IsWindowEnabled(Child(window_, "Clear &Firefox Cookies")));
  ASSERT_TRUE(IsWindowEnabled(Child(window_, "Install Firefox Extension")));

  Click("Clear &Firefox Cookies");
  std::string confirm = Answer("&Yes");
  EXPECT_NE(confirm.find("erase all cookies for FireFox"), std::string::npos) << confirm;
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("Some Firefox cookies could not be erased"), std::string::npos) << texts;
  EXPECT_EQ(texts.find("All Firefox cookies cleared"), std::string::npos) << texts;

  Click("Install Firefox Extension");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("Firefox is not installed"), std::string::npos) << texts;
  EXPECT_EQ(texts.find("installed successfully"), std::string::npos) << texts;

  // The Internet Explorer part still does its work; the message names the part that failed.
  Type("example.com");
  Click("&Delete Cookies");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("Some Firefox cookies could not be erased"), std::string::npos) << texts;
  EXPECT_EQ(texts.find("have been cleared"), std::string::npos) << texts;
  EXPECT_FALSE(Has("example"));
  EXPECT_TRUE(Has("other"));
}

// The cookie tests' stand-in Firefox, remembered as the user's Firefox; it logs each start.
class StubFirefoxMainWindow : public MainWindow {
 protected:
  void PrepareSettings() override {
    const std::string stub = ProgramDir() + "..\\cookies\\stub_firefox.exe";
    ASSERT_TRUE(CopyFileA(stub.c_str(), (firefoxDir_ / "firefox.exe").c_str(), FALSE)) << stub;
    SetEnvironmentVariableA("QM_STUB_LOG", (firefoxDir_ / "starts.log").c_str());
    SetUserFirefox("3.6.28 (en-US)", firefoxDir_ / "firefox.exe");
    for (const std::string& f : SettingsFiles()) {
      QV_ForceDirectories(f.substr(0, f.rfind('\\')));
      WriteAll(f, "[setting]\r\nFireFoxPath=" + (firefoxDir_ / "firefox.exe") + "\r\n");
    }
  }
  void TearDown() override {
    MainWindow::TearDown();
    SetEnvironmentVariableA("QM_STUB_LOG", nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kMozillaKey);
  }
  std::string Log() const { return Exists(firefoxDir_ / "starts.log") ? ReadAll(firefoxDir_ / "starts.log") : ""; }
  TScratchDir firefoxDir_{"mainform-stubfirefox"};
};

// Without a profile to clear, a Firefox that can run the extension is handed the work, and the
// message says so rather than calling it done.
TEST_F(StubFirefoxMainWindow, FirefoxIsHandedTheSiteAndTheMessageSaysSo) {
  ASSERT_TRUE(IsWindowEnabled(Child(window_, "Clear &Firefox Cookies")));
  ASSERT_TRUE(IsWindowEnabled(Child(window_, "Install Firefox Extension")));
  Type("forum.example.com");
  Click("&Delete Cookies");
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("The cookies of website forum.example.com were erased; Firefox was asked"), std::string::npos)
      << texts;
  EXPECT_FALSE(Has("forum"));
  EXPECT_TRUE(Has("example"));
  EXPECT_TRUE(WaitFor([&] { return Log().find("forum.example.com") != std::string::npos; }, 10000)) << Log();

  Click("Install Firefox Extension");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("The extension was handed to Firefox"), std::string::npos) << texts;
  EXPECT_EQ(texts.find("installed successfully"), std::string::npos) << texts;
}

// Both confirmations share one show-again number: a Yes remembered on the Internet Explorer one
// also answers the Firefox one.
TEST_F(StubFirefoxMainWindow, AYesRememberedOnTheIEConfirmationClearsFirefoxAtOnce) {
  ASSERT_TRUE(IsWindowEnabled(Child(window_, "Clear &Firefox Cookies")));
  Click("Clear &Internet Explorer Cookies");
  std::string texts = Answer("&Yes", true);
  EXPECT_NE(texts.find("erase all cookies for Internet Explorer"), std::string::npos) << texts;
  texts = Answer("&OK");
  EXPECT_NE(texts.find("All Internet Explorer cookies cleared"), std::string::npos) << texts;

  Click("Clear &Firefox Cookies");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("Firefox was asked to erase its cookies"), std::string::npos) << texts;
  EXPECT_EQ(texts.find("Are you sure"), std::string::npos) << texts;
  EXPECT_TRUE(WaitFor([&] { return Log().find("qx.xul?clear\"") != std::string::npos; }, 10000)) << Log();
  EXPECT_EQ(WaitDialog(1500), nullptr);
}

// A current Firefox, found by its profile alone: its own cookie database is cleared, and while
// Firefox holds the profile nothing of it changes and the message says to close Firefox.
class ProfileFirefoxMainWindow : public MainWindow {
 protected:
  void PrepareSettings() override {
    WriteFirefoxProfiles({{"Profiles/abc.default", true}});
    profile_ = FirefoxDataFolder() + "\\Profiles\\abc.default";
    ASSERT_TRUE(MakeCookieDatabase(Database(), TCookieSchema::FirefoxCurrent,
                                   {"example.com", ".other.org", "www.other.org", "notother.org"}, true));
  }
  void TearDown() override {
    MainWindow::TearDown();
    RemoveFirefoxProfiles();
  }
  std::string Database() const { return profile_ + "\\cookies.sqlite"; }
  std::string profile_;
};

TEST_F(ProfileFirefoxMainWindow, TheSiteGoesFromTheDatabaseAndAProfileInUseStaysWhole) {
  EXPECT_TRUE(IsWindowEnabled(Child(window_, "Clear &Firefox Cookies")));
  EXPECT_FALSE(IsWindowEnabled(Child(window_, "Install Firefox Extension")));  // no version runs it
  Type("other.org");
  Click("&Delete Cookies");
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("The cookies of website other.org have been cleared"), std::string::npos) << texts;
  EXPECT_EQ(CookieDatabaseHosts(Database()), (std::vector<std::string>{"example.com", "notother.org"}));

  HANDLE lock = CreateFileA((profile_ + "\\parent.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  Click("Clear &Firefox Cookies");
  Answer("&Yes");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("Firefox is open, so its cookies were left as they are. Close Firefox first"),
            std::string::npos) << texts;
  EXPECT_EQ(texts.find("cleared"), std::string::npos) << texts;
  EXPECT_EQ(CookieDatabaseHosts(Database()).size(), 2u);
  CloseHandle(lock);

  Click("Clear &Firefox Cookies");
  Answer("&Yes");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("All Firefox cookies cleared"), std::string::npos) << texts;
  EXPECT_TRUE(CookieDatabaseHosts(Database()).empty());
}

// A language file as an attacker would pass it around: it points the Firefox path and the
// extension link at a program of its own and empties the deny list, beside captions of its own.
class SlyLanguageMainWindow : public StubFirefoxMainWindow {
 protected:
  void PrepareSettings() override {
    StubFirefoxMainWindow::PrepareSettings();
    const std::string evil = firefoxDir_ / "evil.exe";
    ASSERT_TRUE(CopyFileA((firefoxDir_ / "firefox.exe").c_str(), evil.c_str(), FALSE));
    for (const std::string& f : SettingsFiles())
      WriteAll(f, "[setting]\r\nFireFoxPath=" + (firefoxDir_ / "firefox.exe") + "\r\nLanguage=Sly\r\n");
    WriteAll(SlyFile(), "[Info]\r\nLanguage=Sly\r\n[TfrmMain]\r\nengine1.SettingOverwrite=FireFoxPath=" + evil +
                            "\r\nbtnInstallFF.URL=" + evil + "\r\nclmltlngdt1.ExcludeProps=\r\n"
                            "btnClearFF.Caption=Sly &Firefox\r\nbtnInstallFF.Caption=Sly extension\r\n");
  }
  void TearDown() override {
    StubFirefoxMainWindow::TearDown();
    DeleteFileA(SlyFile().c_str());
  }
  static std::string SlyFile() { return DistDir() + "langs\\Sly.lan"; }
};

TEST_F(SlyLanguageMainWindow, TranslatesItsCaptionsButStartsNoProgramOfItsOwn) {
  ASSERT_NE(Child(window_, "Sly extension"), nullptr) << "the captions were not translated";
  ASSERT_TRUE(IsWindowEnabled(Child(window_, "Sly &Firefox")));
  Click("Sly &Firefox");
  std::string texts = Answer("&Yes");
  EXPECT_NE(texts.find("erase all cookies for FireFox"), std::string::npos) << texts;
  texts = Answer("&OK");
  EXPECT_NE(texts.find("Firefox was asked to erase its cookies"), std::string::npos) << texts;
  Click("Sly extension");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("The extension was handed to Firefox"), std::string::npos) << texts;
  EXPECT_TRUE(WaitFor([&] { return Log().find("qx.xul?clear\"") != std::string::npos; }, 10000)) << Log();
  Sleep(1000);  // a start of the link's address would follow the click's own work
  EXPECT_NE(Log().find("firefox.exe"), std::string::npos) << Log();
  EXPECT_EQ(Log().find("evil.exe"), std::string::npos) << Log();
}

// Chrome and Edge with a profile each: their row is on, a site goes from both with the other
// browsers, and a clear-all asks first like the others.
class ChromiumMainWindow : public MainWindow {
 protected:
  void PrepareSettings() override {
    const std::string local = QV_GetUserFolder("Local AppData", CSIDL_LOCAL_APPDATA);
    databases_ = {local + "\\Google\\Chrome\\User Data\\Default\\Network\\Cookies",
                  local + "\\Microsoft\\Edge\\User Data\\Default\\Network\\Cookies"};
    for (const std::string& db : databases_) {
      ASSERT_TRUE(QV_ForceDirectories(db.substr(0, db.rfind('\\'))));
      ASSERT_TRUE(MakeCookieDatabase(db, TCookieSchema::Chromium, {".other.org", "example.com"}));
    }
  }
  void TearDown() override {
    MainWindow::TearDown();
    const std::string local = QV_GetUserFolder("Local AppData", CSIDL_LOCAL_APPDATA);
    RemoveTree(local + "\\Google");
    RemoveTree(local + "\\Microsoft\\Edge");
  }
  std::vector<std::string> databases_;
};

TEST_F(ChromiumMainWindow, TheRowClearsEveryChromiumBrowserAndASiteGoesFromThemToo) {
  ASSERT_TRUE(IsWindowEnabled(Child(window_, "Clear &Chrome and Edge Cookies")));
  Type("other.org");
  Click("&Delete Cookies");
  std::string texts = Answer("&OK");
  EXPECT_NE(texts.find("The cookies of website other.org have been cleared"), std::string::npos) << texts;
  for (const std::string& db : databases_) EXPECT_EQ(ChromiumDatabaseHosts(db), std::vector<std::string>{"example.com"});
  EXPECT_FALSE(Has("other"));

  Click("Clear &Chrome and Edge Cookies");
  texts = Answer("&No");
  EXPECT_NE(texts.find("erase all cookies for Chrome, Edge"), std::string::npos) << texts;
  EXPECT_EQ(ChromiumDatabaseHosts(databases_[0]).size(), 1u);
  // The browser that holds its database is named, and the other is cleared all the same.
  HANDLE held = CreateFileA(databases_[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Click("Clear &Chrome and Edge Cookies");
  Answer("&Yes");
  texts = Answer("&OK");
  CloseHandle(held);
  EXPECT_NE(texts.find("Google Chrome: 1 cookies cleared"), std::string::npos) << texts;
  EXPECT_NE(texts.find("Microsoft Edge: open, its cookies were left as they are. Close Microsoft Edge first."),
            std::string::npos) << texts;
  EXPECT_EQ(texts.find("All Chrome and Edge cookies cleared"), std::string::npos) << texts;
  EXPECT_EQ(ChromiumDatabaseHosts(databases_[1]).size(), 1u);
  Click("Clear &Chrome and Edge Cookies");
  Answer("&Yes");
  texts = Answer("&OK");
  EXPECT_NE(texts.find("All Chrome and Edge cookies cleared"), std::string::npos) << texts;
  EXPECT_NE(texts.find("Google Chrome: no cookies to clear"), std::string::npos) << texts;
  EXPECT_NE(texts.find("Microsoft Edge: 1 cookies cleared"), std::string::npos) << texts;
  for (const std::string& db : databases_) EXPECT_TRUE(ChromiumDatabaseHosts(db).empty());
  EXPECT_TRUE(Has("example"));  // the other browsers' cookies stay
}

namespace {

struct TMenuWindow {
  DWORD pid;
  HWND found = nullptr;
};

// The open pop-up menu of a process: menus draw themselves in a window of class "#32768".
BOOL CALLBACK FindMenuWindow(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<TMenuWindow*>(lp);
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != f->pid || !IsWindowVisible(w) || lstrcmpA(cls, "#32768") != 0) return TRUE;
  f->found = w;
  return FALSE;
}

// Chooses an item of the window's system menu by its underlined letter; false when no menu opened.
bool ChooseFromSystemMenu(HWND window, HANDLE process, char letter) {
  PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
  TMenuWindow menu{GetProcessId(process)};
  const bool open = WaitFor([&] {
    menu.found = nullptr;
    EnumWindows(FindMenuWindow, reinterpret_cast<LPARAM>(&menu));
    return menu.found != nullptr;
  }, 10000);
  if (open) PostMessageA(menu.found, WM_CHAR, static_cast<WPARAM>(letter), 0);
  return open;
}

// Waits for a visible top-level window of the class; null on time-out.
HWND WaitWindowOfClass(const char* className, DWORD timeoutMs) {
  HWND w = nullptr;
  WaitFor([&] {
    w = FindWindowA(className, nullptr);
    return w && IsWindowVisible(w);
  }, timeoutMs);
  return w && IsWindowVisible(w) ? w : nullptr;
}

}  // namespace

// The update check asks a loopback port where nothing listens, so its answer (no server) comes
// at once, whatever the machine's network.
class OfflineMainWindow : public MainWindow {
 protected:
  void PrepareSettings() override {
    for (const std::string& f : SettingsFiles()) {
      QV_ForceDirectories(f.substr(0, f.rfind('\\')));
      WriteAll(f, "[setting]\r\nURL.Update=http://127.0.0.1:9/check\r\n");
    }
  }
};

// Chosen as a person does: Alt+Space opens the system menu, the item's underlined letter picks
// it. Wine keeps a menu in the process that made it, so another process cannot read its texts;
// the letters tell the two items apart (their captions are pinned by the stored data test).
TEST_F(OfflineMainWindow, TheSystemMenuOpensTheUpdateAndTheAboutWindow) {
  auto choose = [&](char letter) { return ChooseFromSystemMenu(window_, process_, letter); };
  struct TCase {
    char letter;
    const char* windowClass;
    const char* shows;  // a text the window holds once it is ready
    const char* caption;  // the application's name fills "{AppName}" (no language names it)
  };
  const TCase cases[] = {{'u', "TfrmCLUpdateForm", "The update server could not be reached.", "Update Brindlewick"},
                         {'a', "TfrmCLAboutForm", "Support", "About Brindlewick"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.windowClass);
    ASSERT_TRUE(choose(c.letter)) << "no system menu";
    HWND w = WaitWindowOfClass(c.windowClass, 15000);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(IsWindowEnabled(window_)) << "not modal";
    std::string texts;
    EXPECT_TRUE(WaitFor([&] {
      texts.clear();
      EnumChildWindows(w, CollectTexts, reinterpret_cast<LPARAM>(&texts));
      return texts.find(c.shows) != std::string::npos;
    }, 15000)) << texts;
    char caption[256] = {};
    GetWindowTextA(w, caption, sizeof caption);
    EXPECT_STREQ(caption, c.caption);
    PostMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(w) || !IsWindowVisible(w); }, 10000));
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(window_) != FALSE; }, 10000));
  }
}

namespace {

// The update server of the stalled-server tests: it accepts and then never answers, or sends
// its answer a byte every 700 ms, as the test sets it.
THttpTestServer& StallServer() {
  static THttpTestServer server(36);
  return server;
}
std::atomic<bool> g_trickle{false};

const char kNetError[] = "The update server could not be reached.";

// Collects the texts of a window until `part` shows; how long that took, or -1 on time-out.
long WaitText(HWND w, const std::string& part, DWORD timeoutMs) {
  const DWORD t0 = GetTickCount();
  std::string texts;
  const bool shown = WaitFor([&] {
    texts.clear();
    EnumChildWindows(w, CollectTexts, reinterpret_cast<LPARAM>(&texts));
    return texts.find(part) != std::string::npos;
  }, timeoutMs);
  return shown ? static_cast<long>(GetTickCount() - t0) : -1;
}

// The program with its update address at the stalling server. `limits` adds the settings that
// shorten the transfer limits (1.5 s without a byte, 3 s for the whole answer).
class StalledServerMainWindow : public MainWindow {
 protected:
  void PrepareSettings() override {
    ASSERT_TRUE(StallServer().Listening());
    StallServer().ResetRelease();
    StallServer().SetHandler([](THttpConnection& c, const std::string&, const std::string&) {
      if (!g_trickle) {
        c.WaitRelease(60000);
        return;
      }
      const std::string answer = "HTTP/1.0 200 OK\r\n\r\nmagicword=bw-update-7Q3kX9\r\nResult=0\r\n";
      for (char ch : answer)
        if (!c.Send(std::string(1, ch)) || c.WaitRelease(700)) return;
    });
    std::string text = "[setting]\r\nURL.Update=http://" + StallServer().Host() + "/check\r\n";
    if (Limited()) text += "Net.IdleLimit=1500\r\nNet.TotalLimit=3000\r\n";
    for (const std::string& f : SettingsFiles()) {
      QV_ForceDirectories(f.substr(0, f.rfind('\\')));
      WriteAll(f, text);
    }
  }
  void TearDown() override {
    StallServer().Release();
    MainWindow::TearDown();
  }
  virtual bool Limited() const { return true; }
  // Opens the update window from the system menu; null when it did not open.
  HWND OpenUpdateWindow() {
    if (!ChooseFromSystemMenu(window_, process_, 'u')) return nullptr;
    return WaitWindowOfClass("TfrmCLUpdateForm", 15000);
  }
};

class StalledServerDefaultLimitsMainWindow : public StalledServerMainWindow {
 protected:
  bool Limited() const override { return false; }
};

}  // namespace

// A server that accepts and never answers ends in the network-error text by the wait limit; one
// that sends a byte now and then, never waiting as long as that, by the limit of the whole answer.
TEST_F(StalledServerMainWindow, TheUpdateWindowShowsTheNetworkErrorWithinTheLimits) {
  struct TCase { bool trickle; long atLeast, atMost; } cases[] = {{false, 1000, 1500 + 2000}, {true, 2500, 3000 + 2000}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.trickle ? "trickle" : "silent");
    g_trickle = c.trickle;
    HWND w = OpenUpdateWindow();
    ASSERT_NE(w, nullptr);
    const long took = WaitText(w, kNetError, 15000);
    EXPECT_GE(took, c.atLeast);
    EXPECT_LE(took, c.atMost);
    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(window_) != FALSE; }, 10000));
  }
}

// With the full limits a stalled check would hold its worker for half a minute: closing the
// main window still ends the program at once.
TEST_F(StalledServerDefaultLimitsMainWindow, ClosingTheMainWindowDuringAStalledCheckEndsTheProgram) {
  g_trickle = false;
  const size_t before = StallServer().RequestCount();
  HWND w = OpenUpdateWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(WaitFor([&] { return StallServer().RequestCount() > before; }, 10000));
  const DWORD t0 = GetTickCount();
  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitExit(process_, 5000), 0);
  EXPECT_LT(GetTickCount() - t0, 5000u);
  window_ = nullptr;
}

namespace {

// The stored data built into the program, read from its resources.
std::string StoredMainWindow() {
  HMODULE exe = LoadLibraryExA((DistDir() + "Quillmoor.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!exe) return "";
  std::string text;
  if (HRSRC r = FindResourceA(exe, "TFRMMAIN", MAKEINTRESOURCEA(10))) {
    HGLOBAL g = LoadResource(exe, r);
    text.assign(static_cast<const char*>(LockResource(g)), SizeofResource(exe, r));
  }
  FreeLibrary(exe);
  return text;
}

const TStoredObject* ChildNamed(const TStoredObject& parent, const std::string& name) {
  for (const TStoredObject& c : parent.Children) {
    if (c.Name == name) return &c;
    if (const TStoredObject* inner = ChildNamed(c, name)) return inner;
  }
  return nullptr;
}

const TStoredValue* Property(const TStoredObject* o, const std::string& path) {
  if (o)
    for (const TStoredProperty& p : o->Properties)
      if (p.Path == path) return &p.Value;
  return nullptr;
}

}  // namespace

TEST(MainWindowData, CarriesTheBuiltInTextsAndTheBuiltInSkin) {
  ASSERT_FALSE(DistDir().empty());
  const std::string text = StoredMainWindow();
  ASSERT_FALSE(text.empty());
  const TStoredObject root = ParseStoredText(text);
  EXPECT_EQ(root.ClassName, "TfrmMain");
  const TStoredObject* lang = ChildNamed(root, "clmltlngdt1");
  ASSERT_NE(lang, nullptr);
  ASSERT_NE(Property(lang, "CurrentData"), nullptr);
  ASSERT_NE(Property(lang, "DefaultData"), nullptr);
  EXPECT_EQ(Property(lang, "CurrentData")->Items, BuiltInCurrentTexts());
  EXPECT_EQ(Property(lang, "DefaultData")->Items, BuiltInDefaultTexts());
  const TStoredValue* skin = Property(ChildNamed(root, "skCompressedStoredSkin"), "CompressedData");
  ASSERT_NE(skin, nullptr);
  EXPECT_EQ(skin->Text, TskSkin::BuiltInBytes());
}

namespace {

// A stored value as comparable text: lists as (a|b), sets as [a, b], a missing value "<none>".
std::string Rendered(const TStoredValue* v) {
  if (!v) return "<none>";
  auto join = [](const std::vector<std::string>& items, const char* sep) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? sep : "") + items[i];
    return out;
  };
  switch (v->Kind) {
    case TStoredValue::vkString:
    case TStoredValue::vkIdent:
      return v->Text;
    case TStoredValue::vkInteger:
      return std::to_string(v->Integer);
    case TStoredValue::vkList:
      return "(" + join(v->Items, "|") + ")";
    case TStoredValue::vkSet:
      return "[" + join(v->Items, ", ") + "]";
    case TStoredValue::vkCollection:
      return "<" + std::to_string(v->CollectionItems.size()) + " items>";
    default:
      return "<other>";
  }
}

struct TStoredComponent {
  std::string name, className, parent;
};

void Flatten(const TStoredObject& parent, std::vector<TStoredComponent>* out) {
  for (const TStoredObject& c : parent.Children) {
    out->push_back({c.Name, c.ClassName, parent.Name});
    Flatten(c, out);
  }
}

const char kHelpText[] =
    "Enter website address such as example.com. You don't need to type the www or other perfix before the main "
    "site address. The program will automaticlly delete all cookies for the domain included any veriation of it "
    "(such as forum.example.com).)";

}  // namespace

TEST(MainWindowData, ComponentsInTheirOrderWithParentsPlacesTextsAndSwitches) {
  ASSERT_FALSE(DistDir().empty());
  const TStoredObject root = ParseStoredText(StoredMainWindow());
  EXPECT_EQ(root.Name, "frmMain");
  EXPECT_EQ(root.ClassName, "TfrmMain");

  std::vector<TStoredComponent> components;
  Flatten(root, &components);
  const std::vector<TStoredComponent> expected = {
      {"imgTitle", "TskPngImageView", "frmMain"},
      {"lblTitle", "TskSkinShadowLabel", "frmMain"},
      {"pnlAll", "TskSkinExPanel", "frmMain"},
      {"imgIE", "TskPngImageView", "pnlAll"},
      {"btnClearIE", "TskSkinButton", "pnlAll"},
      {"imgFF", "TskPngImageView", "pnlAll"},
      {"btnClearFF", "TskSkinButton", "pnlAll"},
      {"btnInstallFF", "TskSkinLinkLabel", "pnlAll"},
      {"imgChrome", "TskPngImageView", "pnlAll"},
      {"btnClearChrome", "TskSkinButton", "pnlAll"},
      {"pnlWeb", "TskSkinExPanel", "frmMain"},
      {"lblWebAddr", "TskSkinStdLabel", "pnlWeb"},
      {"btnDelete", "TskSkinButton", "pnlWeb"},
      {"edtDomain", "TskSkinEdit", "pnlWeb"},
      {"lblDomain", "TskSkinTextLabel", "pnlWeb"},
      {"engine1", "TCLEngine", "frmMain"},
      {"smLanguage", "TCLMultiLang", "frmMain"},
      {"clmltlngdt1", "TCLMultiLangData", "frmMain"},
      {"clfrm1", "TCLForm", "frmMain"},
      {"skResourceStrData", "TskResourceStrData", "frmMain"},
      {"skCompressedStoredSkin", "TskCompressedStoredSkin", "frmMain"},
      {"skSkinData", "TskSkinData", "frmMain"},
      {"skdynmcsknfrm1", "TskDynamicSkinForm", "frmMain"},
      {"pngStore", "TskPngImageStorage", "frmMain"},
      {"hnt1", "TskHintWindow", "frmMain"},
      {"pmSystem", "TskPopupMenu", "frmMain"},
      {"mniUpdate", "TMenuItem", "pmSystem"},
      {"mniAbout", "TMenuItem", "pmSystem"},
  };
  ASSERT_EQ(components.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(components[i].name, expected[i].name) << "component " << i;
    EXPECT_EQ(components[i].className, expected[i].className) << expected[i].name;
    EXPECT_EQ(components[i].parent, expected[i].parent) << expected[i].name;
  }

  struct TRow {
    const char* component;  // "" for the window itself
    const char* path;
    std::string value;
  };
  const TRow rows[] = {
      {"", "Caption", "Brindlewick"},
      {"", "ClientWidth", "528"},
      {"", "ClientHeight", "338"},
      {"", "Position", "poScreenCenter"},
      {"", "BorderStyle", "bsSingle"},
      {"", "BorderIcons", "[biSystemMenu, biMinimize]"},
      {"", "Font.Name", "MS Sans Serif"},
      {"", "Font.Size", "8"},
      {"", "OnCreate", "FormCreate"},
      {"", "OnCloseQuery", "FormCloseQuery"},
      // Pictures and labels take the size of what they show.
      {"imgTitle", "Left", "16"}, {"imgTitle", "Top", "8"}, {"imgTitle", "Width", "<none>"},
      {"imgTitle", "Height", "<none>"}, {"imgTitle", "PngImages", "pngStore"}, {"imgTitle", "ImageIndex", "0"},
      {"lblTitle", "Left", "96"}, {"lblTitle", "Top", "24"}, {"lblTitle", "Width", "<none>"},
      {"lblTitle", "Caption", "Brindlewick"}, {"lblTitle", "Font.Name", "Verdana"},
      {"lblTitle", "Font.Height", "-19"}, {"lblTitle", "Font.Style", "[fsBold]"},
      {"lblTitle", "ShadowSize", "2"}, {"lblTitle", "ShadowColor", "0"},
      {"pnlAll", "Left", "16"}, {"pnlAll", "Top", "80"}, {"pnlAll", "Width", "496"}, {"pnlAll", "Height", "108"},
      {"pnlAll", "TabOrder", "0"}, {"pnlAll", "Caption", "Clear All Cookies"},
      {"imgIE", "Left", "3"}, {"imgIE", "Top", "31"}, {"imgIE", "Width", "<none>"}, {"imgIE", "ImageIndex", "1"},
      {"imgIE", "PngImages", "pngStore"},
      {"btnClearIE", "Left", "48"}, {"btnClearIE", "Top", "35"}, {"btnClearIE", "Width", "185"},
      {"btnClearIE", "Height", "25"}, {"btnClearIE", "TabOrder", "0"},
      {"btnClearIE", "Caption", "Clear &Internet Explorer Cookies"}, {"btnClearIE", "OnClick", "btnClearIEClick"},
      {"imgFF", "Left", "267"}, {"imgFF", "Top", "31"}, {"imgFF", "Width", "<none>"}, {"imgFF", "ImageIndex", "2"},
      {"imgFF", "PngImages", "pngStore"},
      {"btnClearFF", "Left", "312"}, {"btnClearFF", "Top", "35"}, {"btnClearFF", "Width", "161"},
      {"btnClearFF", "Height", "25"}, {"btnClearFF", "TabOrder", "1"},
      {"btnClearFF", "Caption", "Clear &Firefox Cookies"}, {"btnClearFF", "OnClick", "btnClearFFClick"},
      {"btnInstallFF", "Left", "356"}, {"btnInstallFF", "Top", "62"}, {"btnInstallFF", "Width", "121"},
      {"btnInstallFF", "Height", "17"}, {"btnInstallFF", "TabOrder", "<none>"},
      {"btnInstallFF", "Caption", "Install Firefox Extension"}, {"btnInstallFF", "OnClick", "btnInstallFFClick"},
      {"imgChrome", "Left", "3"}, {"imgChrome", "Top", "64"}, {"imgChrome", "ImageIndex", "3"},
      {"btnClearChrome", "Left", "48"}, {"btnClearChrome", "Top", "68"}, {"btnClearChrome", "Width", "185"},
      {"btnClearChrome", "TabOrder", "2"}, {"btnClearChrome", "Caption", "Clear &Chrome and Edge Cookies"},
      {"btnClearChrome", "OnClick", "btnClearChromeClick"},
      {"pnlWeb", "Left", "16"}, {"pnlWeb", "Top", "190"}, {"pnlWeb", "Width", "497"}, {"pnlWeb", "Height", "137"},
      {"pnlWeb", "TabOrder", "1"}, {"pnlWeb", "Caption", "Delete Website Cookies"},
      {"lblWebAddr", "Left", "8"}, {"lblWebAddr", "Top", "32"}, {"lblWebAddr", "Width", "<none>"},
      {"lblWebAddr", "Caption", "Website Address:"},
      {"btnDelete", "Left", "368"}, {"btnDelete", "Top", "47"}, {"btnDelete", "Width", "105"},
      {"btnDelete", "Height", "25"}, {"btnDelete", "TabOrder", "0"}, {"btnDelete", "Caption", "&Delete Cookies"},
      {"btnDelete", "OnClick", "btnDeleteClick"},
      {"edtDomain", "Left", "8"}, {"edtDomain", "Top", "48"}, {"edtDomain", "Width", "353"},
      {"edtDomain", "Height", "18"}, {"edtDomain", "TabOrder", "1"}, {"edtDomain", "Text", "<none>"},
      {"lblDomain", "Left", "9"}, {"lblDomain", "Top", "78"}, {"lblDomain", "Width", "470"},
      {"lblDomain", "Height", "46"}, {"lblDomain", "Lines", std::string("(") + kHelpText + ")"},
      {"engine1", "SkinData", "skSkinData"}, {"engine1", "LanguageData", "clmltlngdt1"},
      {"engine1", "SettingDefault", "(Path.Skins=skins|Path.Languages=langs)"},
      {"engine1", "ParentHWND", "0"}, {"engine1", "TitleIncludeVer", "true"}, {"engine1", "InternalMode", "false"},
      {"smLanguage", "LanguageData", "clmltlngdt1"},
      // Translated by the first language load, not when the window is read.
      {"clmltlngdt1", "ExcludeEmptyProp", "true"}, {"clmltlngdt1", "ExcludeNumberEndProps", "true"},
      {"clmltlngdt1", "AutoApply", "false"}, {"clmltlngdt1", "ExcludeWithAction", "false"},
      {"clfrm1", "RuntimeSetSkinData", "false"}, {"clfrm1", "RuntimeSetLanguageData", "false"},
      {"clfrm1", "RunTimeSetFormProperties", "false"},
      {"skCompressedStoredSkin", "FileName", "Frost.skn"},
      {"skSkinData", "CompressedStoredSkin", "skCompressedStoredSkin"},
      {"skSkinData", "ResourceStrData", "skResourceStrData"},
      {"skdynmcsknfrm1", "SkinData", "skSkinData"}, {"skdynmcsknfrm1", "SystemMenu", "pmSystem"},
      {"pngStore", "PngImages", "<4 items>"},
      {"mniUpdate", "Caption", "&Update..."}, {"mniUpdate", "OnClick", "mniUpdateClick"},
      {"mniAbout", "Caption", "&About..."}, {"mniAbout", "OnClick", "mniAboutClick"},
  };
  for (const TRow& row : rows) {
    const TStoredObject* o = *row.component ? ChildNamed(root, row.component) : &root;
    ASSERT_NE(o, nullptr) << row.component;
    EXPECT_EQ(Rendered(Property(o, row.path)), row.value) << (*row.component ? row.component : "frmMain") << "."
                                                         << row.path;
  }

  const TStoredValue* pictures = Property(ChildNamed(root, "pngStore"), "PngImages");
  ASSERT_NE(pictures, nullptr);
  ASSERT_EQ(pictures->CollectionItems.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const auto& props = pictures->CollectionItems[i].Properties;
    ASSERT_EQ(props.size(), 1u) << i;
    EXPECT_EQ(props[0].Path, "Name");
    EXPECT_EQ(Rendered(&props[0].Value), "PngImage" + std::to_string(i));
  }
}
