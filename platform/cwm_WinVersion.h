// Names the running Windows: product, edition, version numbers, build and service pack.
//
// The naming rules (NameWindowsVersion) work on a plain record of facts and know nothing of the
// system, so every combination can be checked without the Windows that reports it; the Win32
// layer (ReadWindowsVersionRecord, GetWindowsTypeEx) only gathers those facts.
#pragma once

#include <cstdint>
#include <string>

struct TWindowsProductVersion {
  std::string Text;  // "major.minor"
  int32_t Major = 0;
  int32_t Minor = 0;
};

struct TWindowsProductKind {
  std::string Edition;
  bool Server = false;
};

struct TWindowsTypeEx {
  std::string FullName;     // product name, a blank and the edition
  std::string ProductName;
  TWindowsProductKind Kind;
  uint8_t WindowsType = 0;  // one of the wt* codes; 0 when no product matched
  TWindowsProductVersion Version;
  int32_t Build = 0;        // as the system reports it (Windows 9x keeps the version above it)
  bool ServerProduct = false;
  std::string ServicePack;  // Windows NT: with the build number
  TWindowsProductVersion ServicePackVersion;
};

// Product codes of TWindowsTypeEx::WindowsType.
constexpr uint8_t wtUnknown = 0;
constexpr uint8_t wtWin32s = 1;
constexpr uint8_t wtWindows95 = 2;
constexpr uint8_t wtWindows95OSR2 = 3;
constexpr uint8_t wtWindowsNT = 4;
constexpr uint8_t wtWindows98 = 5;
constexpr uint8_t wtWindows98SE = 6;
constexpr uint8_t wtWindowsMe = 7;
constexpr uint8_t wtWindows2000 = 8;
constexpr uint8_t wtWindowsXP = 9;
constexpr uint8_t wtWindowsXPx64 = 10;
constexpr uint8_t wtWindowsServer2003 = 11;
constexpr uint8_t wtWindowsServer2003R2 = 12;
constexpr uint8_t wtWindowsVista = 13;
constexpr uint8_t wtWindowsVista64 = 14;
constexpr uint8_t wtWindowsServerLonghorn = 15;

// The values of OSVERSIONINFOEX and SYSTEM_INFO the rules look at, under their own names so that
// the rules need no system header.
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWin9x = 1;
constexpr uint32_t kPlatformNT = 2;
constexpr uint8_t kProductWorkstation = 1;
constexpr uint8_t kProductDomainController = 2;
constexpr uint8_t kProductServer = 3;
constexpr uint16_t kSuiteSmallBusiness = 0x0001;
constexpr uint16_t kSuiteEnterprise = 0x0002;
constexpr uint16_t kSuiteSmallBusinessRestricted = 0x0020;
constexpr uint16_t kSuiteDatacenter = 0x0080;
constexpr uint16_t kSuitePersonal = 0x0200;
constexpr uint16_t kSuiteBlade = 0x0400;
constexpr uint16_t kArchitectureX86 = 0;
constexpr uint16_t kArchitectureIA64 = 6;
constexpr uint16_t kArchitectureAMD64 = 9;

// Everything the naming rules consult: the system's version record and the few other facts.
struct TWindowsVersionRecord {
  uint32_t MajorVersion = 0;
  uint32_t MinorVersion = 0;
  uint32_t BuildNumber = 0;
  uint32_t PlatformId = 0;
  std::string CSDVersion;  // service-pack text, up to its first zero byte (at most 128 bytes)

  // The extended part. Only the basic record is available on the oldest systems; the rules then
  // read these as 0 whatever they hold.
  bool Extended = false;
  uint16_t ServicePackMajor = 0;
  uint16_t ServicePackMinor = 0;
  uint16_t SuiteMask = 0;
  uint8_t ProductType = 0;

  uint16_t NativeArchitecture = kArchitectureX86;  // consulted for version 5.2 only
  bool Windows64 = false;          // the process runs on 64-bit Windows (this 32-bit program: WoW64)
  bool ServerR2 = false;           // GetSystemMetrics(SM_SERVERR2) is not 0
  std::string ProductOptionsType;  // "ProductType" of the ProductOptions key; empty when unreadable
  bool HotfixQ246009 = false;      // the NT 4 "Service Pack 6a" hotfix key exists
};

// The naming rules: fills `info` from `record`. Fields that no rule sets keep their values.
void NameWindowsVersion(const TWindowsVersionRecord& record, TWindowsTypeEx& info);

// --- The running system ------------------------------------------------------------------------

// Gathers the facts from the system; false (record untouched) when it reports no version at all.
bool ReadWindowsVersionRecord(TWindowsVersionRecord& record);
// Names the running Windows into `Info`; leaves it unchanged when the system reports no version.
void GetWindowsTypeEx(TWindowsTypeEx& Info);
// Windows Vista 64 Edition (code 14).
bool IsVista64();
// The process is a 32-bit process on 64-bit Windows; false where the system cannot tell.
bool IsWow64();
