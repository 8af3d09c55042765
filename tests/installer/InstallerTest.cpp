// The release as a Windows user gets it: the installer runs silently, the program starts from
// the installed folder and finds its files, the uninstaller ends a running copy and removes
// what was installed, keeping the user's settings unless asked, and never what it did not
// install.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "tools/QVTools.h"

namespace {

const char kInstallDir[] = "C:\\qm-installer-test";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor";

std::string FindInstaller() {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((qmtest::DistDir() + "Quillmoor-Setup-*.exe").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  FindClose(h);
  return qmtest::DistDir() + fd.cFileName;
}

std::string ShippedVersion() {
  std::string text = qmtest::ReadAll(qmtest::DistDir() + "const.dat");
  size_t at = text.find("App.Ver=");
  if (at == std::string::npos) return std::string();
  size_t end = text.find_first_of("\r\n", at);
  return text.substr(at + 8, end - at - 8);
}

std::string CommonFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

// The two places the program may keep its settings folder (all users' first).
std::vector<std::string> SettingsDirs() {
  return {CommonFolder(CSIDL_COMMON_APPDATA) + "\\Brindlewick", CommonFolder(CSIDL_APPDATA) + "\\Brindlewick"};
}

bool AnySettingsDir() {
  for (const auto& d : SettingsDirs())
    if (qmtest::Exists(d)) return true;
  return false;
}

HWND FindMainWindowOf(DWORD pid) {
  HWND found = nullptr;
  for (HWND w = FindWindowExA(nullptr, nullptr, "TfrmMain", nullptr); w;
       w = FindWindowExA(nullptr, w, "TfrmMain", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) found = w;
  }
  return found;
}

// No copy of the program running, nothing installed, no settings: a machine that never saw it.
void FreshMachine() {
  // A copy of the shipped program left running in the prefix would take a new start for a
  // second instance: end it the way the uninstaller does.
  if (FindWindowA("TfrmMain", nullptr)) {
    HANDLE stop = qmtest::StartProcess("\"" + qmtest::DistDir() + "Quillmoor.exe\" /s");
    qmtest::WaitExit(stop, 30000);
    if (stop) CloseHandle(stop);
    qmtest::WaitFor([] { return FindWindowA("TfrmMain", nullptr) == nullptr; }, 10000);
  }
  qmtest::RemoveTree(kInstallDir);
  for (const auto& d : SettingsDirs()) qmtest::RemoveTree(d);
}

void Install(const std::string& installer) {
  HANDLE setup = qmtest::StartProcess("\"" + installer + "\" /S /D=" + kInstallDir);
  ASSERT_NE(setup, nullptr);
  ASSERT_EQ(qmtest::WaitExit(setup, 120000), 0);
  CloseHandle(setup);
}

// The uninstaller copies itself to the temporary folder and returns at once; the copy works on.
void UninstallAndWait(const std::string& options) {
  HANDLE un = qmtest::StartProcess("\"" + std::string(kInstallDir) + "\\Uninstall.exe\" /S " + options);
  ASSERT_NE(un, nullptr);
  qmtest::WaitExit(un, 60000);
  CloseHandle(un);
  // The copy's last steps: the install folder, then the Add/Remove Programs entry, then (when
  // chosen) the settings; a short grace period lets the copy finish before anything is checked.
  EXPECT_TRUE(qmtest::WaitFor(
      [] {
        return !qmtest::Exists(std::string(kInstallDir) + "\\Uninstall.exe") &&
               QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "gone") == "gone";
      },
      60000))
      << "the uninstaller or its Add/Remove Programs entry is still there";
  Sleep(1500);
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_ = FindInstaller();
    ASSERT_FALSE(installer_.empty()) << "no installer in " << qmtest::DistDir() << " (make installer)";
    FreshMachine();
  }
  void TearDown() override { qmtest::RemoveTree(kInstallDir); }

  std::string installer_;
  const std::string dir_ = std::string(kInstallDir) + "\\";
};

}  // namespace

TEST_F(Installer, InstallRunUninstall) {
  Install(installer_);
  for (const char* f : {"Quillmoor.exe", "const.dat", "res\\title.png", "res\\images\\splash.png", "Uninstall.exe"})
    EXPECT_TRUE(qmtest::Exists(dir_ + f)) << f;
  EXPECT_FALSE(qmtest::Exists(dir_ + "Quillmoor-Setup-" + ShippedVersion() + ".exe"));
  EXPECT_EQ(QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", "?"), ShippedVersion());
  EXPECT_EQ(QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", "?"), kInstallDir);
  EXPECT_EQ(QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "?"),
            "\"" + dir_ + "Uninstall.exe\"");
  const std::string startMenu = CommonFolder(CSIDL_COMMON_PROGRAMS) + "\\Brindlewick\\Brindlewick.lnk";
  EXPECT_TRUE(qmtest::Exists(startMenu)) << startMenu;
  EXPECT_FALSE(AnySettingsDir()) << "installing made a settings folder";

  // Started from the installed folder it finds its const.dat: the settings folder is the one
  // that file names.
  HANDLE app = qmtest::StartProcess("\"" + dir_ + "Quillmoor.exe\"", dir_);
  ASSERT_NE(app, nullptr);
  DWORD pid = GetProcessId(app);
  EXPECT_TRUE(qmtest::WaitFor([pid] { return FindMainWindowOf(pid) != nullptr; }, 60000));
  std::string settingsFile;
  for (const auto& d : SettingsDirs())
    if (settingsFile.empty() && qmtest::Exists(d + "\\setting.dat")) settingsFile = d + "\\setting.dat";
  ASSERT_FALSE(settingsFile.empty()) << "the running program keeps no setting.dat";
  // A choice of the user's, written while the program runs: neither the program's last saves
  // nor the uninstaller may lose it.
  ASSERT_TRUE(WritePrivateProfileStringA("setting", "QmInstallerMarker", "kept", settingsFile.c_str()));

  // The uninstaller ends the running copy before it removes the files.
  UninstallAndWait("");
  EXPECT_EQ(WaitForSingleObject(app, 30000), WAIT_OBJECT_0) << "the program still runs";
  TerminateProcess(app, 1);
  CloseHandle(app);
  EXPECT_FALSE(qmtest::Exists(kInstallDir));
  EXPECT_FALSE(qmtest::Exists(startMenu));
  char marker[16] = {};
  GetPrivateProfileStringA("setting", "QmInstallerMarker", "lost", marker, sizeof marker, settingsFile.c_str());
  EXPECT_STREQ(marker, "kept") << settingsFile;

  // Asked to, the uninstaller removes the settings too.
  Install(installer_);
  UninstallAndWait("/REMOVESETTINGS");
  // The settings go after the program folder, in the uninstaller's last step.
  for (const auto& d : SettingsDirs())
    EXPECT_TRUE(qmtest::WaitFor([&d] { return !qmtest::Exists(d); }, 30000)) << d;
}

// The program's "/s" start, which ends a running copy, is itself a start that makes the
// settings folder: an uninstall of a program nobody ever started must not run it.
TEST_F(Installer, UninstallOfANeverStartedProgramLeavesNoSettings) {
  Install(installer_);
  UninstallAndWait("");
  EXPECT_FALSE(qmtest::Exists(kInstallDir));
  for (const auto& d : SettingsDirs()) EXPECT_FALSE(qmtest::Exists(d)) << d;
}

// Installed into a folder that already holds another program's pictures, and given a skin of
// the user's own: the uninstaller removes its own files by name and leaves the rest, with the
// folders that hold them.
TEST_F(Installer, UninstallKeepsWhatItDidNotInstall) {
  CreateDirectoryA(kInstallDir, nullptr);
  CreateDirectoryA((dir_ + "res").c_str(), nullptr);
  qmtest::WriteAll(dir_ + "res\\other-program.png", "not ours");
  Install(installer_);
  ASSERT_TRUE(qmtest::Exists(dir_ + "skins\\Graphite.skn"));
  qmtest::WriteAll(dir_ + "skins\\Mine.skn", "the user's own skin");
  qmtest::WriteAll(dir_ + "langs\\Mine.lan", "[Info]\r\nLanguage=Mine\r\n");

  UninstallAndWait("");
  EXPECT_EQ(qmtest::ReadAll(dir_ + "skins\\Mine.skn"), "the user's own skin");
  EXPECT_TRUE(qmtest::Exists(dir_ + "langs\\Mine.lan"));
  EXPECT_EQ(qmtest::ReadAll(dir_ + "res\\other-program.png"), "not ours");
  // What it did install is gone, and so is each folder that held only that.
  for (const char* f : {"Quillmoor.exe", "TraceViewer.exe", "const.dat", "qx.xpi", "skins\\Graphite.skn",
                        "langs\\Deutsch.lan", "res\\title.png", "res\\images", "Uninstall.exe"})
    EXPECT_FALSE(qmtest::Exists(dir_ + f)) << f;
}
