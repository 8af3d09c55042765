#include "platform/cwm_WinVersion.h"

#include <cctype>
#include <cstdio>
#include <cstring>

// --- Naming rules (no system calls) ------------------------------------------------------------

namespace {

TWindowsProductVersion MakeVersion(uint32_t major, uint32_t minor) {
  TWindowsProductVersion v;
  v.Major = static_cast<int32_t>(major);
  v.Minor = static_cast<int32_t>(minor);
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", v.Major, v.Minor);
  v.Text = text;
  return v;
}

std::string UpperAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
  return UpperAscii(a) == UpperAscii(b);
}

// Blanks and control characters at both ends go; bytes above 0x7F are text of the code page.
std::string TrimControls(const std::string& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  return s.substr(begin, end - begin);
}

// The letter in the second place of the service-pack text marks the later releases of
// Windows 95 and 98 (" B", " C", " A"); a shorter text marks none.
char SecondChar(const std::string& s) { return s.size() >= 2 ? s[1] : '\0'; }

void NameWin9x(const TWindowsVersionRecord& r, TWindowsTypeEx& info) {
  info.Kind.Server = false;
  info.ServicePack = r.CSDVersion.substr(0, 128);
  if (r.MajorVersion == 4 && r.MinorVersion == 0) {
    info.ProductName = "Microsoft Windows 95";
    info.WindowsType = wtWindows95;
    char c = SecondChar(info.ServicePack);
    if (c == 'C' || c == 'B') {
      info.Kind.Edition = "OSR2";
      info.WindowsType = wtWindows95OSR2;
    }
    info.FullName = info.ProductName + " " + info.Kind.Edition;
  } else if (r.MajorVersion == 4 && r.MinorVersion == 10) {
    info.ProductName = "Microsoft Windows 98";
    info.WindowsType = wtWindows98;
    if (SecondChar(info.ServicePack) == 'A') {
      info.Kind.Edition = "SE";
      info.WindowsType = wtWindows98SE;
    }
    info.FullName = info.ProductName + " " + info.Kind.Edition;
  } else if (r.MajorVersion == 4 && r.MinorVersion == 90) {
    info.ProductName = "Microsoft Windows Millennium Edition";
    info.FullName = info.ProductName;
    info.WindowsType = wtWindowsMe;
  }
}

void NameNTProduct(const TWindowsVersionRecord& r, uint8_t productType, uint16_t arch,
                   TWindowsTypeEx& info) {
  const uint32_t major = r.MajorVersion, minor = r.MinorVersion;
  if (major == 6 && minor == 0) {
    if (productType == kProductWorkstation) {
      info.ProductName = "Microsoft Windows Vista";
      info.WindowsType = wtWindowsVista;
      if (r.Windows64) {
        info.ProductName = "Microsoft Windows Vista 64 Edition";
        info.WindowsType = wtWindowsVista64;
      }
    } else {
      info.ProductName = "Microsoft Windows Server Longhorn";
      info.WindowsType = wtWindowsServerLonghorn;
    }
  } else if (major == 5 && minor == 2) {
    if (r.ServerR2) {
      info.ProductName = "Microsoft Windows Server 2003 R2";
      info.WindowsType = wtWindowsServer2003R2;
    } else if (productType == kProductWorkstation && arch == kArchitectureAMD64) {
      info.ProductName = "Microsoft Windows XP Professional x64 Edition";
      info.WindowsType = wtWindowsXPx64;
    } else {
      info.ProductName = "Microsoft Windows Server 2003 family";
      info.WindowsType = wtWindowsServer2003;
    }
  } else if (major == 5 && minor == 1) {
    info.ProductName = "Microsoft Windows XP";
    info.WindowsType = wtWindowsXP;
  } else if (major == 5 && minor == 0) {
    info.ProductName = "Microsoft Windows 2000";
    info.WindowsType = wtWindows2000;
  } else if (major <= 4) {
    info.ProductName = "Microsoft Windows NT";
    info.WindowsType = wtWindowsNT;
  }
}

// The first suite flag in the list that is set picks the edition.
struct TSuiteEdition {
  uint16_t Flag;
  const char* Edition;
};
template <size_t N>
void PickEdition(uint16_t suite, const TSuiteEdition (&list)[N], const char* otherwise,
                 TWindowsTypeEx& info) {
  for (const TSuiteEdition& e : list) {
    if (suite & e.Flag) {
      info.Kind.Edition = e.Edition;
      return;
    }
  }
  if (otherwise) info.Kind.Edition = otherwise;
}

void NameServerEdition(const TWindowsVersionRecord& r, uint16_t suite, uint16_t arch,
                       TWindowsTypeEx& info) {
  info.Kind.Server = true;
  info.ServerProduct = true;
  const bool v52 = r.MajorVersion == 5 && r.MinorVersion == 2;
  if (v52 && arch == kArchitectureIA64) {
    static const TSuiteEdition list[] = {
        {kSuiteDatacenter, "Datacenter Edition for Itanium-based Systems"},
        {kSuiteEnterprise, "Enterprise Edition for Itanium-based Systems"}};
    PickEdition(suite, list, nullptr, info);
  } else if (v52 && arch == kArchitectureAMD64) {
    static const TSuiteEdition list[] = {{kSuiteDatacenter, "Datacenter x64 Edition"},
                                         {kSuiteEnterprise, "Enterprise x64 Edition"}};
    PickEdition(suite, list, "Standard x64 Edition", info);
  } else if (v52) {
    static const TSuiteEdition list[] = {
        {kSuiteDatacenter, "Datacenter Edition"},
        {kSuiteEnterprise, "Enterprise Edition"},
        {kSuiteBlade, "Web Edition"},
        {kSuiteSmallBusiness, "Small Business Server"},
        {kSuiteSmallBusinessRestricted, "Small Business Server ( Restricted )"}};
    PickEdition(suite, list, "Standard Edition", info);
  } else if (r.MajorVersion == 5 && r.MinorVersion == 0) {
    info.ProductName = "Microsoft Windows Server 2000 family";
    static const TSuiteEdition list[] = {{kSuiteDatacenter, "Datacenter Server"},
                                         {kSuiteEnterprise, "Advanced Server"}};
    PickEdition(suite, list, "Server", info);
  } else {
    static const TSuiteEdition list[] = {{kSuiteEnterprise, "Server 4.0 Enterprise Edition"}};
    PickEdition(suite, list, "Server 4.0", info);
  }
}

void NameNTEdition(const TWindowsVersionRecord& r, uint8_t productType, uint16_t suite,
                   uint16_t arch, TWindowsTypeEx& info) {
  if (!r.Extended) {
    // The oldest NT releases tell the product type only through the registry.
    const std::string type = UpperAscii(r.ProductOptionsType);
    if (type == "WINNT") info.Kind.Edition = "Workstation";
    else if (type == "LANMANNT") info.Kind.Edition = "Server";
    else if (type == "SERVERNT") info.Kind.Edition = "Advanced Server";
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, " %d.%d ", static_cast<int32_t>(r.MajorVersion),
                  static_cast<int32_t>(r.MinorVersion));
    info.Kind.Edition += numbers;
    return;
  }
  if (productType == kProductWorkstation) {
    if (arch == kArchitectureAMD64) return;  // XP x64 carries its edition in the product name
    info.Kind.Server = false;
    if (r.MajorVersion == 4) info.Kind.Edition = "Workstation 4.0";
    else if (suite & kSuitePersonal) info.Kind.Edition = "Home Edition";
    else info.Kind.Edition = "Professional";
  } else if (productType == kProductServer || productType == kProductDomainController) {
    NameServerEdition(r, suite, arch, info);
  }
}

void NameNTServicePack(const TWindowsVersionRecord& r, TWindowsTypeEx& info) {
  const int build = static_cast<int>(r.BuildNumber & 0xFFFF);
  const std::string csd = r.CSDVersion.substr(0, 128);
  char text[200];
  if (r.MajorVersion == 4 && SameTextAscii(csd, "Service Pack 6") && r.HotfixQ246009)
    std::snprintf(text, sizeof text, "Service Pack 6a (Build %d) \r\n", build);
  else
    std::snprintf(text, sizeof text, "%s (Build %d) \r\n", csd.c_str(), build);
  info.ServicePack = text;
}

void NameNT(const TWindowsVersionRecord& r, TWindowsTypeEx& info) {
  // Without the extended record there is no product type, suite or service-pack number.
  const uint8_t productType = r.Extended ? r.ProductType : 0;
  const uint16_t suite = r.Extended ? r.SuiteMask : 0;
  // The processor architecture only tells the 5.2 products apart; elsewhere it counts as x86.
  const uint16_t arch =
      (r.MajorVersion == 5 && r.MinorVersion == 2) ? r.NativeArchitecture : kArchitectureX86;
  NameNTProduct(r, productType, arch, info);
  NameNTEdition(r, productType, suite, arch, info);
  NameNTServicePack(r, info);
  info.FullName = info.ProductName + " " + info.Kind.Edition;
}

}  // namespace

void NameWindowsVersion(const TWindowsVersionRecord& r, TWindowsTypeEx& info) {
  info.Version = MakeVersion(r.MajorVersion, r.MinorVersion);
  info.ServicePackVersion = r.Extended ? MakeVersion(r.ServicePackMajor, r.ServicePackMinor)
                                       : MakeVersion(0, 0);
  info.ServerProduct = false;
  info.Build = static_cast<int32_t>(r.BuildNumber);
  switch (r.PlatformId) {
    case kPlatformWin32s:
      info.ProductName = "Microsoft Win32s";
      info.Kind.Server = false;
      info.FullName = info.ProductName;
      info.WindowsType = wtWin32s;
      break;
    case kPlatformWin9x:
      NameWin9x(r, info);
      break;
    case kPlatformNT:
      NameNT(r, info);
      break;
    default:
      break;
  }
  info.ServicePack = TrimControls(info.ServicePack);
}

// --- The running system ------------------------------------------------------------------------

#ifdef _WIN32

#include <windows.h>

#include "platform/Handles.h"
#include "tools/QVTools.h"

namespace {

// Functions that appeared after Windows 95 and NT 4: looked up by name so the program still
// loads where they are missing.
template <typename Fn>
Fn Kernel32Function(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name)))
                : nullptr;
}

uint16_t NativeArchitecture() {
  using TGetNativeSystemInfo = void(WINAPI*)(LPSYSTEM_INFO);
  auto getNative = Kernel32Function<TGetNativeSystemInfo>("GetNativeSystemInfo");
  if (!getNative) return kArchitectureX86;
  SYSTEM_INFO si = {};
  getNative(&si);
  return si.wProcessorArchitecture;
}

bool KeyExists(HKEY root, const char* path) { return QV_RegKeyExists(root, path); }

bool RunsOn64BitWindows() {
#ifdef _WIN64
  return true;  // a 64-bit process is never under WoW64, but its system is 64-bit by itself
#else
  return IsWow64();
#endif
}

// The facts only the Windows NT rules consult, fetched only where they matter.
void ReadNTFacts(TWindowsVersionRecord& r) {
  if (r.MajorVersion == 5 && r.MinorVersion == 2) {
    r.NativeArchitecture = NativeArchitecture();
    r.ServerR2 = GetSystemMetrics(SM_SERVERR2) != 0;
  }
  if (r.MajorVersion == 6 && r.MinorVersion == 0) r.Windows64 = RunsOn64BitWindows();
  if (!r.Extended)
    r.ProductOptionsType = QV_ReadRegString(HKEY_LOCAL_MACHINE,
        "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType", "");
  if (r.MajorVersion == 4)
    r.HotfixQ246009 = KeyExists(HKEY_LOCAL_MACHINE,
        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009");
}

}  // namespace

bool ReadWindowsVersionRecord(TWindowsVersionRecord& record) {
  static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148,
                "the system knows the version records by these sizes");
  OSVERSIONINFOEXA vi = {};
  vi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  bool extended = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&vi)) != FALSE;
  if (!extended) {
    // Windows 95 and NT 4 before SP6 know only the basic record.
    vi = {};
    vi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&vi))) return false;
  }
  TWindowsVersionRecord r;
  r.MajorVersion = vi.dwMajorVersion;
  r.MinorVersion = vi.dwMinorVersion;
  r.BuildNumber = vi.dwBuildNumber;
  r.PlatformId = vi.dwPlatformId;
  r.CSDVersion.assign(vi.szCSDVersion, strnlen(vi.szCSDVersion, sizeof vi.szCSDVersion));
  r.Extended = extended;
  if (extended) {
    r.ServicePackMajor = vi.wServicePackMajor;
    r.ServicePackMinor = vi.wServicePackMinor;
    r.SuiteMask = vi.wSuiteMask;
    r.ProductType = vi.wProductType;
  }
  if (r.PlatformId == kPlatformNT) ReadNTFacts(r);
  record = r;
  return true;
}

void GetWindowsTypeEx(TWindowsTypeEx& Info) {
  TWindowsVersionRecord record;
  if (ReadWindowsVersionRecord(record)) NameWindowsVersion(record, Info);
}

bool IsVista64() {
  TWindowsTypeEx info;
  GetWindowsTypeEx(info);
  return info.WindowsType == wtWindowsVista64;
}

bool IsWow64() {
  using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto isWow64Process = Kernel32Function<TIsWow64Process>("IsWow64Process");
  BOOL wow64 = FALSE;
  if (!isWow64Process || !isWow64Process(GetCurrentProcess(), &wow64)) return false;
  return wow64 != FALSE;
}

#endif  // _WIN32
