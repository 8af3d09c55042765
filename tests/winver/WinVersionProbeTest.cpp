// The probe program under each Windows version Wine can report: the version is set for the probe
// alone (Wine's per-program "AppDefaults" key), so other tests in the prefix are not disturbed.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "platform/Handles.h"
#include "support/TestSupport.h"

namespace {

const char kProbeKey[] = "Software\\Wine\\AppDefaults\\winver_probe.exe";

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Sets the Windows version Wine reports to the probe; removes the key again at the end.
class TProbeVersion {
 public:
  TProbeVersion() = default;
  ~TProbeVersion() { RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey); }
  TProbeVersion(const TProbeVersion&) = delete;
  TProbeVersion& operator=(const TProbeVersion&) = delete;
  bool Set(const std::string& version) {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProbeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS)
      return false;
    TRegKey key(raw);
    return RegSetValueExA(key.get(), "Version", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(version.c_str()),
                          static_cast<DWORD>(version.size() + 1)) == ERROR_SUCCESS;
  }
};

// Runs the probe and returns its "key=value" lines; empty when it could not run.
std::map<std::string, std::string> RunProbe() {
  std::map<std::string, std::string> values;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  if (!CreatePipe(&readRaw, &writeRaw, &sa, 0)) return values;
  TKernelHandle readEnd(readRaw), writeEnd(writeRaw);
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd.get();
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + qmtest::ProgramDir() + "winver_probe.exe\"";
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return values;
  TKernelHandle process(pi.hProcess), thread(pi.hThread);
  writeEnd.reset();  // the probe holds the only write end now: reading ends when it exits

  std::string out;
  char buf[512];
  DWORD got = 0;
  while (ReadFile(readEnd.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  if (qmtest::WaitExit(process.get(), 30000) != 0) return values;

  size_t pos = 0;
  while (pos < out.size()) {
    size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    pos = end + 1;
  }
  return values;
}

struct TWineCase {
  const char* Version;      // Wine's name of the Windows version
  const char* Code;
  const char* ProductName;
  const char* FullName;     // null: the edition is not checked (see below)
  const char* VersionText;
  const char* Build;
  const char* ServicePack;
  const char* Server;
  const char* Vista64;
};

// What Wine 8 reports for each version, named by the rules. This prefix is 64-bit, so the probe
// runs on a 64-bit (AMD64) system: under WoW64 when it is built for 32-bit Windows.
const TWineCase kCases[] = {
    // Windows 9x keeps its version in the high word of the build number.
    {"win95", "2", "Microsoft Windows 95", "Microsoft Windows 95 ", "4.0", "67109814", "", "0", "0"},
    {"win98", "6", "Microsoft Windows 98", "Microsoft Windows 98 SE", "4.10", "67766446", "A", "0", "0"},
    {"winme", "7", "Microsoft Windows Millennium Edition", "Microsoft Windows Millennium Edition",
     "4.90", "73010104", "", "0", "0"},
    {"nt40", "4", "Microsoft Windows NT", "Microsoft Windows NT Workstation 4.0", "4.0", "1381",
     "Service Pack 6a (Build 1381)", "0", "0"},
    {"win2k", "8", "Microsoft Windows 2000", "Microsoft Windows 2000 Professional", "5.0", "2195",
     "Service Pack 4 (Build 2195)", "0", "0"},
    {"winxp", "9", "Microsoft Windows XP", "Microsoft Windows XP Professional", "5.1", "2600",
     "Service Pack 3 (Build 2600)", "0", "0"},
    {"winxp64", "10", "Microsoft Windows XP Professional x64 Edition",
     "Microsoft Windows XP Professional x64 Edition ", "5.2", "3790", "Service Pack 2 (Build 3790)",
     "0", "0"},
    {"win2003", "11", "Microsoft Windows Server 2003 family",
     "Microsoft Windows Server 2003 family Standard x64 Edition", "5.2", "3790",
     "Service Pack 2 (Build 3790)", "1", "0"},
    {"vista", "14", "Microsoft Windows Vista 64 Edition",
     "Microsoft Windows Vista 64 Edition Professional", "6.0", "6002", "Service Pack 2 (Build 6002)",
     "0", "1"},
    {"win2008", "15", "Microsoft Windows Server Longhorn",
     "Microsoft Windows Server Longhorn Server 4.0", "6.0", "6002", "Service Pack 2 (Build 6002)",
     "1", "0"},
    // Wine's product type for "win7" set per program differs from its default win7, so only the
    // missing product name is checked: the full name is a blank and the edition.
    {"win7", "0", "", nullptr, "6.1", "7601", "Service Pack 1 (Build 7601)", nullptr, "0"},
};

TEST(WinVersionProbe, EachVersionWineReports) {
  if (!RunningUnderWine()) GTEST_SKIP() << "the reported version is set through Wine's registry";
  TProbeVersion probeVersion;
  for (const TWineCase& c : kCases) {
    SCOPED_TRACE(c.Version);
    ASSERT_TRUE(probeVersion.Set(c.Version));
    std::map<std::string, std::string> v = RunProbe();
    ASSERT_FALSE(v.empty()) << "the probe did not run";
    SCOPED_TRACE(v["record"]);
    EXPECT_EQ(c.Code, v["code"]);
    EXPECT_EQ(c.ProductName, v["product"]);
    if (c.FullName) {
      EXPECT_EQ(c.FullName, v["full"]);
    } else {
      EXPECT_EQ(" " + v["edition"], v["full"]);
    }
    EXPECT_EQ(c.VersionText, v["version"]);
    EXPECT_EQ(c.Build, v["build"]);
    EXPECT_EQ(c.ServicePack, v["servicepack"]);
    if (c.Server) {
      EXPECT_EQ(c.Server, v["server"]);
    }
    EXPECT_EQ(c.Vista64, v["vista64"]);
    EXPECT_EQ(sizeof(void*) == 4 ? "1" : "0", v["wow64"]);
  }
}

// Wine's NT 4 already says "Service Pack 6a", so the 6a rule itself is covered by the table
// tests; here the real registry lookup of the hotfix key is checked through the probe's facts.
TEST(WinVersionProbe, HotfixKeyReadOnNT4Only) {
  if (!RunningUnderWine()) GTEST_SKIP() << "the reported version is set through Wine's registry";
  const char* hotfixKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
  TProbeVersion probeVersion;
  ASSERT_TRUE(probeVersion.Set("nt40"));
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, hotfixKey);
  EXPECT_NE(std::string::npos, RunProbe()["record"].find("hotfix 0"));

  HKEY raw = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, hotfixKey, 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &raw, nullptr));
  RegCloseKey(raw);
  EXPECT_NE(std::string::npos, RunProbe()["record"].find("hotfix 1"));
  ASSERT_TRUE(probeVersion.Set("winxp"));
  EXPECT_NE(std::string::npos, RunProbe()["record"].find("hotfix 0"));  // consulted on NT 4 only
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, hotfixKey);
}

}  // namespace
