// The QV_ tools under Wine: registry reads of every odd kind of value, the shell-folder
// fallback to the machine's key, long paths, the access check and the capped file read; and the
// settings store's "Setting Not Found :" line as it reaches a viewer.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <vector>

#include "framework/CLSettings.h"
#include "platform/cwm_WinVersion.h"
#include "platform/Handles.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"
#include "trace/TestViewer.h"

namespace {

const char kShellFolders[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A key of this run, holding values only, deleted at the end.
class TScratchKey {
 public:
  TScratchKey(HKEY root, const std::string& path) : root_(root), path_(path) {
    HKEY raw = nullptr;
    RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr);
    key_.reset(raw);
  }
  ~TScratchKey() {
    key_.reset();
    RegDeleteKeyA(root_, path_.c_str());
  }
  TScratchKey(const TScratchKey&) = delete;
  TScratchKey& operator=(const TScratchKey&) = delete;

  bool Ok() const { return static_cast<bool>(key_); }
  // Stores exactly `size` bytes of `data`, terminator or not.
  void Set(const std::string& name, DWORD type, const void* data, DWORD size) {
    RegSetValueExA(key_.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  }
  void Remove(const std::string& name) { RegDeleteValueA(key_.get(), name.c_str()); }

 private:
  HKEY root_;
  std::string path_;
  TRegKey key_;
};

// A value in an existing key, removed again at the end.
class TScratchValue {
 public:
  TScratchValue(HKEY root, const std::string& path, const std::string& name, const std::string& text)
      : name_(name) {
    HKEY raw = nullptr;
    RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr);
    key_.reset(raw);
    RegSetValueExA(key_.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
  ~TScratchValue() { RegDeleteValueA(key_.get(), name_.c_str()); }
  TScratchValue(const TScratchValue&) = delete;
  TScratchValue& operator=(const TScratchValue&) = delete;

 private:
  std::string name_;
  TRegKey key_;
};

std::string RunName(const std::string& what) { return "QmTools-" + what + "-" + std::to_string(GetCurrentProcessId()); }

std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  DWORD n = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

}  // namespace

TEST(QVReadRegString, EveryOddValueGivesItsTextOrTheDefault) {
  const std::string path = "Software\\Quillmoor\\" + RunName("reg");
  TScratchKey key(HKEY_CURRENT_USER, path);
  ASSERT_TRUE(key.Ok());
  key.Set("plain", REG_SZ, "abc", 4);
  key.Set("bare", REG_SZ, "abc", 3);  // written without its terminating zero
  key.Set("embedded", REG_SZ, "ab\0cd", 6);
  key.Set("empty", REG_SZ, "", 1);
  key.Set("nothing", REG_SZ, "", 0);
  key.Set("expand", REG_EXPAND_SZ, "%TEMP%\\x", 9);
  const DWORD number = 5;
  key.Set("number", REG_DWORD, &number, sizeof number);
  key.Set("binary", REG_BINARY, "abc", 4);
  key.Set("list", REG_MULTI_SZ, "a\0b\0", 5);

  auto read = [&](const std::string& name) { return QV_ReadRegString(HKEY_CURRENT_USER, path, name, "<default>"); };
  EXPECT_EQ(read("plain"), "abc");
  EXPECT_EQ(read("bare"), "abc") << "no character is lost to a missing terminator";
  EXPECT_EQ(read("embedded"), "ab");
  EXPECT_EQ(read("empty"), "") << "an empty value exists";
  EXPECT_EQ(read("nothing"), "");
  EXPECT_EQ(read("expand"), "%TEMP%\\x") << "returned as stored";
  EXPECT_EQ(read("number"), "<default>");
  EXPECT_EQ(read("binary"), "<default>");
  EXPECT_EQ(read("list"), "<default>");
  EXPECT_EQ(read("missing"), "<default>");

  const std::string absent = path + "\\absent";
  EXPECT_EQ(QV_ReadRegString(HKEY_CURRENT_USER, absent, "plain", "<default>"), "<default>");
  HKEY probe = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, absent.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS)
      << "a read never creates the key";
  if (probe) RegCloseKey(probe);
}

TEST(QVGetShellFolder, FallsBackToTheMachineWhenTheUserHasNone) {
  const std::string name = RunName("folder");
  EXPECT_EQ(QV_GetShellFolder(name), "");
  TScratchValue machine(HKEY_LOCAL_MACHINE, kShellFolders, name, "C:\\machine");
  EXPECT_EQ(QV_GetShellFolder(name), "C:\\machine");
  EXPECT_EQ(QV_GetCommonShellFolder(name), "C:\\machine");
  {
    TScratchValue empty(HKEY_CURRENT_USER, kShellFolders, name, "");
    EXPECT_EQ(QV_GetShellFolder(name), "C:\\machine") << "an empty user value counts as none";
  }
  TScratchValue user(HKEY_CURRENT_USER, kShellFolders, name, "C:\\user");
  EXPECT_EQ(QV_GetShellFolder(name), "C:\\user");
  EXPECT_EQ(QV_GetCommonShellFolder(name), "C:\\machine");
}

namespace {

// What the reads of a child asked for, by the group that made them.
int g_opens = 0;
bool g_excess = false;
void WatchOpen(REGSAM access) {
  ++g_opens;
  if (access & ~static_cast<REGSAM>(KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY)) g_excess = true;
}

}  // namespace

// Runs each kind of registry read the program makes and exits 0 when each opened at least one
// key (so it went through the one open function) and none asked for more than reading; else
// 10 + the group for a group that opened nothing, 20 + the group for one that asked for more.
QM_CHILD(registry_reads) {
  const std::vector<std::function<void()>> groups = {
      [] { QV_ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion", "ProductName", ""); },
      [] { QV_ReadRegString(HKEY_CURRENT_USER, "Software\\QmAbsent", "x", "", KEY_WOW64_64KEY); },
      [] {
        QV_GetShellFolder("AppData");
        QV_GetCommonShellFolder("Common AppData");
      },
      [] {
        TWindowsTypeEx info;
        GetWindowsTypeEx(info);
      },
      [] { TTraceMapFileChannel::ViewerCommand(); },
  };
  QV_SetRegOpenObserver(&WatchOpen);
  for (size_t i = 0; i < groups.size(); ++i) {
    g_opens = 0;
    g_excess = false;
    groups[i]();
    if (g_opens == 0) return 10 + static_cast<int>(i);
    if (g_excess) return 20 + static_cast<int>(i);
  }
  return 0;
}

// Wine grants any access a key is opened with, so a read asking for full access would pass here
// and fail for a standard user on Vista and later. The access asked for is watched instead, at
// the function every read goes through, in a child that Wine reports as Windows NT 4, where the
// version detection reads the registry too.
TEST(QVRegistryReads, NoReadAsksForMoreThanReading) {
  TScratchKey appDefaults(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\tools_test.exe");
  ASSERT_TRUE(appDefaults.Ok());
  appDefaults.Set("Version", REG_SZ, "nt40", 5);
  EXPECT_EQ(qmtest::RunChild("registry_reads", {}, 60000), 0);
}

TEST(QVGetLongPath, LongFormOrThePathUnchanged) {
  qmtest::TScratchDir dir("tools-long");
  const std::string longFolder = dir / std::string(150, 'a');
  ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), nullptr));
  const std::string shortFolder = ShortPath(longFolder);
  ASSERT_FALSE(shortFolder.empty());
  ASSERT_NE(shortFolder, longFolder) << "the system gives no short names";
  EXPECT_EQ(QV_GetLongPath(shortFolder), longFolder);

  // A folder whose long form does not fit in MAX_PATH, reached through its short form.
  const std::string deep = shortFolder + "\\" + std::string(150, 'b');
  ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
  const std::string deepShort = ShortPath(deep);
  EXPECT_EQ(QV_GetLongPath(deep), deep);
  if (!deepShort.empty()) {
    EXPECT_EQ(QV_GetLongPath(deepShort), deepShort);
  }
  RemoveDirectoryA(deep.c_str());

  const std::string missing = dir / "no such folder\\PROGRA~9\\file.txt";
  EXPECT_EQ(QV_GetLongPath(missing), missing);
  EXPECT_EQ(QV_GetLongPath(""), "");
}

TEST(QVCheckAccess, MissingPathsAreNeverGranted) {
  qmtest::TScratchDir dir("tools-access");
  EXPECT_FALSE(QV_CheckAccess(GENERIC_READ, dir / "missing"));
  EXPECT_FALSE(QV_CheckAccess(GENERIC_WRITE, dir / "missing\\deeper\\file.txt"));
  EXPECT_FALSE(QV_CheckAccess(GENERIC_READ, ""));
  EXPECT_TRUE(QV_CheckAccess(GENERIC_READ, dir.Path()));
}

TEST(QVReadFileText, ReadsWholeFilesUpToTheLimit) {
  qmtest::TScratchDir dir("tools-read");
  const std::string file = dir / "data.txt";
  qmtest::WriteAll(file, std::string(1000, 'x'));
  std::string text = "stale";
  bool missing = true;
  EXPECT_FALSE(QV_ReadFileText(file, &text, &missing, 999));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(missing) << "a file over the limit exists: it is unreadable, not missing";
  EXPECT_TRUE(QV_ReadFileText(file, &text, &missing, 1000));
  EXPECT_EQ(text, std::string(1000, 'x'));
  EXPECT_FALSE(QV_ReadFileText(dir / "none.txt", &text, &missing));
  EXPECT_TRUE(missing);
  EXPECT_FALSE(QV_ReadFileText(dir / "no folder\\none.txt", &text, &missing));
  EXPECT_TRUE(missing);
}

// The store's line for a key no layer holds, as a viewer receives it: the tag is cut to the
// record's eight bytes.
TEST(SettingsTrace, SettingNotFoundReachesTheViewerTagged) {
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  TTracer* debugger = GetDebugger();
  debugger->AutoStartViewer = false;  // no viewer program is started from a test
  debugger->OutputEnabled = true;
  qmtest::TScratchDir dir("tools-trace");
  CreateDirectoryA((dir / "app").c_str(), nullptr);
  TSettingsSources sources;
  sources.ModuleFileName = "C:\\Tools\\App\\app.exe";
  sources.AppPath = dir / "app\\";
  sources.UserBase = dir / "user";
  sources.CommonBase = dir / "common";
  sources.CommonWritable = [](const std::string&) { return true; };
  TCLSettings store(sources);
  ASSERT_TRUE(store.WriteString("Present", ""));
  viewer.Drain();  // the lines of the store's creation

  EXPECT_EQ(store.ReadString("No.Such.Key"), "");
  EXPECT_EQ(store.ReadString("Present"), "");
  std::vector<TTraceRecord> got = OfProcess(viewer.Drain(), GetCurrentProcessId());
  ASSERT_EQ(got.size(), 1u) << "a key present with an empty value sends nothing";
  EXPECT_EQ(got[0].text, "Setting Not Found :No.Such.Key");
  EXPECT_EQ(got[0].tag, "CLSettin");
  EXPECT_EQ(got[0].level, 3u);
  EXPECT_EQ(got[0].kind, 0u);
  EXPECT_EQ(got[0].thread, GetCurrentThreadId());
  FreeDebugger();  // lets go of the viewer's mapping before the viewer goes
}
