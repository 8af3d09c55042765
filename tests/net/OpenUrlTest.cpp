// QV_OpenURL with a stub browser of this test program registered as the HTTP open command, and
// with no command registered at all, where the shell opens the address through the scheme's
// own command.
#include <gtest/gtest.h>

#include "platform/Handles.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

namespace {

// The stub browser: writes how many arguments it got and each of them, one a line.
QM_CHILD(browser) {
  if (args.empty()) return 2;
  std::string text = std::to_string(args.size() - 1) + "\n";
  for (size_t i = 1; i < args.size(); ++i) text += args[i] + "\n";
  qmtest::WriteAll(args[0] + ".tmp", text);
  MoveFileA((args[0] + ".tmp").c_str(), args[0].c_str());
  return 0;
}

const char kCommandKey[] = "HTTP\\shell\\open\\command";

// Puts the registered browser command back as it was.
class TBrowserCommand {
 public:
  TBrowserCommand() {
    had_ = ReadDefault(&saved_);
  }
  ~TBrowserCommand() {
    if (had_)
      Set(saved_);
    else
      Remove();
  }
  static bool ReadDefault(std::string* value) {
    *value = QV_ReadRegString(HKEY_CLASSES_ROOT, kCommandKey, "", "\x01");
    return *value != "\x01";
  }
  void Set(const std::string& command) {
    HKEY raw = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kCommandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    TRegKey key(raw);
    RegSetValueExA(key.get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
  }
  void Remove() { RegDeleteKeyA(HKEY_CLASSES_ROOT, kCommandKey); }

 private:
  bool had_ = false;
  std::string saved_;
};

std::string ExePath() {
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return buffer;
}

std::string WaitForFile(const std::string& path) {
  qmtest::WaitFor([&] { return qmtest::Exists(path); }, 20000);
  return qmtest::ReadAll(path);
}

TEST(OpenUrl, StartsTheRegisteredBrowserWithTheAddressAsOneSafeArgument) {
  qmtest::TScratchDir dir("openurl");
  TBrowserCommand command;

  const std::string withPlaceholder = dir / "with.txt";
  command.Set("\"" + ExePath() + "\" --qm-child=browser \"" + withPlaceholder + "\" \"%1\"");
  // A quote in the address must not end the argument and smuggle in arguments of its own.
  EXPECT_TRUE(QV_OpenURL(nullptr, "http://example.com/a?b=\"c\" --evil \"x\r\ny"));
  EXPECT_EQ(WaitForFile(withPlaceholder), "1\nhttp://example.com/a?b=%22c%22 --evil %22x%0D%0Ay\n");

  const std::string withoutPlaceholder = dir / "without.txt";
  command.Set("\"" + ExePath() + "\" --qm-child=browser \"" + withoutPlaceholder + "\"");
  EXPECT_TRUE(QV_OpenURL(nullptr, "http://example.com/p?q=1&r=%41"));
  EXPECT_EQ(WaitForFile(withoutPlaceholder), "1\nhttp://example.com/p?q=1&r=%41\n");

  command.Set("\"" + dir.Path() + "no-such-browser.exe\" \"%1\"");
  EXPECT_FALSE(QV_OpenURL(nullptr, "http://example.com/"));
}

TEST(OpenUrl, AnUnquotedPlaceholderStillGivesTheBrowserOneArgument) {
  qmtest::TScratchDir dir("openurlbare");
  TBrowserCommand command;
  const std::string out = dir / "bare.txt";
  // Registered commands often leave %1 bare; a pushed address may hold blanks.
  command.Set("\"" + ExePath() + "\" --qm-child=browser \"" + out + "\" %1");
  EXPECT_TRUE(QV_OpenURL(nullptr, "http://example.com/a page?q=two words"));
  EXPECT_EQ(WaitForFile(out), "1\nhttp://example.com/a page?q=two words\n");
}

// A scheme of the test's own whose open command is the stub browser, so that the shell's open
// verb can be seen to reach it.
class TTestScheme {
 public:
  explicit TTestScheme(const std::string& command) {
    Remove();
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kScheme, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
      return;
    TRegKey scheme(raw);
    SetString(scheme.get(), "", "URL:Quillmoor test");
    SetString(scheme.get(), "URL Protocol", "");
    raw = nullptr;
    if (RegCreateKeyExA(scheme.get(), "shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS)
      return;
    TRegKey open(raw);
    ok_ = SetString(open.get(), "", command);
  }
  ~TTestScheme() { Remove(); }
  bool Ok() const { return ok_; }
  static constexpr const char* kScheme = "qm-test-scheme";

 private:
  static bool SetString(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }
  static void Remove() {
    for (const char* sub : {"shell\\open\\command", "shell\\open", "shell", ""})
      RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kScheme) + (*sub ? "\\" : "") + sub).c_str());
  }
  bool ok_ = false;
};

TEST(OpenUrl, WithoutARegisteredBrowserTheShellOpensTheAddress) {
  qmtest::TScratchDir dir("openurlshell");
  TBrowserCommand command;
  command.Remove();
  std::string value;
  ASSERT_FALSE(TBrowserCommand::ReadDefault(&value));
  const std::string out = dir / "shell.txt";
  TTestScheme scheme("\"" + ExePath() + "\" --qm-child=browser \"" + out + "\" \"%1\"");
  ASSERT_TRUE(scheme.Ok());
  EXPECT_TRUE(QV_OpenURL(nullptr, "qm-test-scheme:page?x=1"));
  EXPECT_EQ(WaitForFile(out), "1\nqm-test-scheme:page?x=1\n");
}

}  // namespace
