// The release as a Windows user gets it: the installer runs silently, the program starts from
// the installed folder and finds its files, the uninstaller ends a running copy and removes
// what was installed, keeping the user's settings unless asked.
#include <gtest/gtest.h>
#include <shlobj.h>

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
  // Its last steps: the folder, then the Add/Remove Programs entry, then (when chosen) the
  // settings; a short grace period lets the copy finish before anything is checked.
  EXPECT_TRUE(qmtest::WaitFor(
      [] {
        return !qmtest::Exists(kInstallDir) &&
               QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "gone") == "gone";
      },
      60000))
      << "the install folder or the uninstall entry is still there";
  Sleep(1500);
}

}  // namespace

TEST(Installer, InstallRunUninstall) {
  const std::string installer = FindInstaller();
  ASSERT_FALSE(installer.empty()) << "no installer in " << qmtest::DistDir() << " (make installer)";
  // A copy of the shipped program left running in the prefix would take the new start for a
  // second instance: end it the way the uninstaller does.
  HANDLE stop = qmtest::StartProcess("\"" + qmtest::DistDir() + "Quillmoor.exe\" /s");
  qmtest::WaitExit(stop, 30000);
  if (stop) CloseHandle(stop);
  qmtest::RemoveTree(kInstallDir);
  const std::string settingsDirs[] = {CommonFolder(CSIDL_COMMON_APPDATA) + "\\Brindlewick",
                                      CommonFolder(CSIDL_APPDATA) + "\\Brindlewick"};
  for (const auto& d : settingsDirs) qmtest::RemoveTree(d);

  Install(installer);
  const std::string dir = std::string(kInstallDir) + "\\";
  for (const char* f : {"Quillmoor.exe", "const.dat", "res\\title.png", "res\\images\\splash.png", "Uninstall.exe"})
    EXPECT_TRUE(qmtest::Exists(dir + f)) << f;
  EXPECT_FALSE(qmtest::Exists(dir + "Quillmoor-Setup-" + ShippedVersion() + ".exe"));
  EXPECT_EQ(QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", "?"), ShippedVersion());
  EXPECT_EQ(QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", "?"), kInstallDir);
  EXPECT_EQ(QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "?"),
            "\"" + dir + "Uninstall.exe\"");
  const std::string startMenu = CommonFolder(CSIDL_COMMON_PROGRAMS) + "\\Brindlewick\\Brindlewick.lnk";
  EXPECT_TRUE(qmtest::Exists(startMenu)) << startMenu;

  // Started from the installed folder it finds its const.dat: the settings folder is the one
  // that file names.
  HANDLE app = qmtest::StartProcess("\"" + dir + "Quillmoor.exe\"", dir);
  ASSERT_NE(app, nullptr);
  DWORD pid = GetProcessId(app);
  EXPECT_TRUE(qmtest::WaitFor([pid] { return FindMainWindowOf(pid) != nullptr; }, 60000));
  EXPECT_TRUE(qmtest::Exists(settingsDirs[0] + "\\setting.dat") || qmtest::Exists(settingsDirs[1] + "\\setting.dat"));

  // The uninstaller ends the running copy before it removes the files.
  UninstallAndWait("");
  EXPECT_EQ(WaitForSingleObject(app, 30000), WAIT_OBJECT_0) << "the program still runs";
  TerminateProcess(app, 1);
  CloseHandle(app);
  EXPECT_FALSE(qmtest::Exists(startMenu));
  EXPECT_EQ(QV_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "gone"), "gone");
  EXPECT_TRUE(qmtest::Exists(settingsDirs[0]) || qmtest::Exists(settingsDirs[1])) << "the user's settings went";

  // Asked to, the uninstaller removes the settings too.
  Install(installer);
  UninstallAndWait("/REMOVESETTINGS");
  // The settings go after the program folder, in the uninstaller's last step.
  for (const auto& d : settingsDirs)
    EXPECT_TRUE(qmtest::WaitFor([&d] { return !qmtest::Exists(d); }, 30000)) << d;
}
