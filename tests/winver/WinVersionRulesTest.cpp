// The Windows naming rules with given version records: every product, edition and service-pack
// rule, including the systems and facts that Wine cannot report.
#include <gtest/gtest.h>

#include "platform/cwm_WinVersion.h"

namespace {

TWindowsVersionRecord Win9x(uint32_t minor, uint32_t build, const char* csd) {
  TWindowsVersionRecord r;
  r.PlatformId = kPlatformWin9x;
  r.MajorVersion = 4;
  r.MinorVersion = minor;
  r.BuildNumber = build;
  r.CSDVersion = csd;
  r.Extended = true;
  return r;
}

TWindowsVersionRecord Nt(uint32_t major, uint32_t minor, uint32_t build, const char* csd,
                         uint8_t productType, uint16_t suite = 0, uint16_t arch = kArchitectureX86) {
  TWindowsVersionRecord r;
  r.PlatformId = kPlatformNT;
  r.MajorVersion = major;
  r.MinorVersion = minor;
  r.BuildNumber = build;
  r.CSDVersion = csd;
  r.Extended = true;
  r.ProductType = productType;
  r.SuiteMask = suite;
  r.NativeArchitecture = arch;
  return r;
}

TWindowsTypeEx Name(const TWindowsVersionRecord& r) {
  TWindowsTypeEx info;
  NameWindowsVersion(r, info);
  return info;
}

struct TExpect {
  uint8_t Code;
  const char* ProductName;
  const char* Edition;
  bool Server;  // Kind.Server and ServerProduct alike in every row here
};

struct TRow {
  const char* What;
  TWindowsVersionRecord Record;
  TExpect Expect;
};

void CheckRows(const std::vector<TRow>& rows) {
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.What);
    TWindowsTypeEx info = Name(row.Record);
    EXPECT_EQ(row.Expect.Code, info.WindowsType);
    EXPECT_EQ(row.Expect.ProductName, info.ProductName);
    EXPECT_EQ(row.Expect.Edition, info.Kind.Edition);
    EXPECT_EQ(std::string(row.Expect.ProductName) + " " + row.Expect.Edition, info.FullName);
    EXPECT_EQ(row.Expect.Server, info.Kind.Server);
    EXPECT_EQ(row.Expect.Server, info.ServerProduct);
  }
}

TEST(WinVersionRules, Win9xProductsAndReleaseLetters) {
  // Windows 95 keeps its version in the high word of the build number.
  const uint32_t b95 = 0x040003B6;
  std::vector<TRow> rows = {
      {"95, no text", Win9x(0, b95, ""), {wtWindows95, "Microsoft Windows 95", "", false}},
      {"95 OSR2 B", Win9x(0, b95, " B"), {wtWindows95OSR2, "Microsoft Windows 95", "OSR2", false}},
      {"95 OSR2 C", Win9x(0, b95, " C "), {wtWindows95OSR2, "Microsoft Windows 95", "OSR2", false}},
      {"95, letter in first place", Win9x(0, b95, "B"), {wtWindows95, "Microsoft Windows 95", "", false}},
      {"95, the 98 letter", Win9x(0, b95, " A"), {wtWindows95, "Microsoft Windows 95", "", false}},
      {"95, small letter", Win9x(0, b95, " b"), {wtWindows95, "Microsoft Windows 95", "", false}},
      {"98", Win9x(10, 0x040A07CE, " "), {wtWindows98, "Microsoft Windows 98", "", false}},
      {"98 SE", Win9x(10, 0x040A08AE, " A "), {wtWindows98SE, "Microsoft Windows 98", "SE", false}},
      {"98, 95 letter", Win9x(10, 0x040A07CE, " B"), {wtWindows98, "Microsoft Windows 98", "", false}},
  };
  CheckRows(rows);

  TWindowsTypeEx me = Name(Win9x(90, 0x045A0BB8, " "));
  EXPECT_EQ(wtWindowsMe, me.WindowsType);
  EXPECT_EQ("Microsoft Windows Millennium Edition", me.ProductName);
  EXPECT_EQ("Microsoft Windows Millennium Edition", me.FullName);  // no trailing blank here
  EXPECT_EQ("4.90", me.Version.Text);

  TWindowsTypeEx osr2 = Name(Win9x(0, b95, " C \r\n"));
  EXPECT_EQ("C", osr2.ServicePack);  // the system's text, trimmed
  EXPECT_EQ(static_cast<int32_t>(b95), osr2.Build);
  EXPECT_EQ("4.0", osr2.Version.Text);
  EXPECT_EQ(4, osr2.Version.Major);
  EXPECT_EQ(0, osr2.Version.Minor);

  TWindowsTypeEx se = Name(Win9x(10, 0x040A08AE, " A "));
  EXPECT_EQ("4.10", se.Version.Text);
  EXPECT_EQ(10, se.Version.Minor);

  // A 9x version the table does not know: no product, but the service-pack text is kept.
  TWindowsTypeEx other = Name(Win9x(5, 1, "  X  "));
  EXPECT_EQ(wtUnknown, other.WindowsType);
  EXPECT_EQ("", other.ProductName);
  EXPECT_EQ("", other.FullName);
  EXPECT_EQ("X", other.ServicePack);
}

TEST(WinVersionRules, Win32sAndUnknownPlatforms) {
  TWindowsVersionRecord r;
  r.PlatformId = kPlatformWin32s;
  r.MajorVersion = 3;
  r.MinorVersion = 11;
  r.BuildNumber = 0x0B03;
  TWindowsTypeEx info = Name(r);
  EXPECT_EQ(wtWin32s, info.WindowsType);
  EXPECT_EQ("Microsoft Win32s", info.ProductName);
  EXPECT_EQ("Microsoft Win32s", info.FullName);
  EXPECT_EQ("3.11", info.Version.Text);
  EXPECT_FALSE(info.Kind.Server);

  // Any other platform gets the numbers only.
  TWindowsVersionRecord ce = Nt(5, 1, 2600, "Service Pack 3", kProductWorkstation);
  ce.PlatformId = 3;
  ce.ServicePackMajor = 3;
  TWindowsTypeEx none = Name(ce);
  EXPECT_EQ(wtUnknown, none.WindowsType);
  EXPECT_EQ("", none.ProductName);
  EXPECT_EQ("", none.FullName);
  EXPECT_EQ("", none.Kind.Edition);
  EXPECT_EQ("", none.ServicePack);
  EXPECT_EQ("5.1", none.Version.Text);
  EXPECT_EQ("3.0", none.ServicePackVersion.Text);
  EXPECT_EQ(2600, none.Build);
}

TEST(WinVersionRules, NTWorkstationProducts) {
  TWindowsVersionRecord vista64 = Nt(6, 0, 6002, "Service Pack 2", kProductWorkstation);
  vista64.Windows64 = true;
  TWindowsVersionRecord win7_64 = Nt(6, 1, 7601, "Service Pack 1", kProductWorkstation);
  win7_64.Windows64 = true;
  std::vector<TRow> rows = {
      {"NT 4 workstation", Nt(4, 0, 1381, "Service Pack 6", kProductWorkstation),
       {wtWindowsNT, "Microsoft Windows NT", "Workstation 4.0", false}},
      {"NT 3.51 workstation", Nt(3, 51, 1057, "", kProductWorkstation),
       {wtWindowsNT, "Microsoft Windows NT", "Professional", false}},
      {"2000 Professional", Nt(5, 0, 2195, "Service Pack 4", kProductWorkstation),
       {wtWindows2000, "Microsoft Windows 2000", "Professional", false}},
      {"XP Professional", Nt(5, 1, 2600, "Service Pack 3", kProductWorkstation),
       {wtWindowsXP, "Microsoft Windows XP", "Professional", false}},
      {"XP Home", Nt(5, 1, 2600, "Service Pack 3", kProductWorkstation, kSuitePersonal | 0x100),
       {wtWindowsXP, "Microsoft Windows XP", "Home Edition", false}},
      // The architecture decides only among the 5.2 products: elsewhere it counts as x86.
      {"XP on an AMD64 machine", Nt(5, 1, 2600, "", kProductWorkstation, 0, kArchitectureAMD64),
       {wtWindowsXP, "Microsoft Windows XP", "Professional", false}},
      {"XP x64", Nt(5, 2, 3790, "Service Pack 2", kProductWorkstation, 0, kArchitectureAMD64),
       {wtWindowsXPx64, "Microsoft Windows XP Professional x64 Edition", "", false}},
      // The IA64 workstation of version 5.2 is not told apart from the servers by name.
      {"XP 64-bit Itanium", Nt(5, 2, 3790, "", kProductWorkstation, 0, kArchitectureIA64),
       {wtWindowsServer2003, "Microsoft Windows Server 2003 family", "Professional", false}},
      {"Vista 32", Nt(6, 0, 6002, "Service Pack 2", kProductWorkstation),
       {wtWindowsVista, "Microsoft Windows Vista", "Professional", false}},
      {"Vista Home", Nt(6, 0, 6002, "", kProductWorkstation, kSuitePersonal),
       {wtWindowsVista, "Microsoft Windows Vista", "Home Edition", false}},
      {"Vista 64", vista64, {wtWindowsVista64, "Microsoft Windows Vista 64 Edition", "Professional", false}},
      // Later versions have no product name; the edition still follows.
      {"Windows 7", Nt(6, 1, 7601, "Service Pack 1", kProductWorkstation), {wtUnknown, "", "Professional", false}},
      {"Windows 7 64", win7_64, {wtUnknown, "", "Professional", false}},
      {"Windows 10", Nt(10, 0, 19045, "", kProductWorkstation), {wtUnknown, "", "Professional", false}},
  };
  CheckRows(rows);
}

TEST(WinVersionRules, NTServerProducts) {
  TWindowsVersionRecord r2x64 =
      Nt(5, 2, 3790, "Service Pack 2", kProductServer, kSuiteEnterprise, kArchitectureAMD64);
  r2x64.ServerR2 = true;
  TWindowsVersionRecord r2x86 = Nt(5, 2, 3790, "Service Pack 2", kProductServer);
  r2x86.ServerR2 = true;
  // The R2 metric wins over the XP x64 row.
  TWindowsVersionRecord r2workstation = Nt(5, 2, 3790, "", kProductWorkstation, 0, kArchitectureAMD64);
  r2workstation.ServerR2 = true;
  TWindowsVersionRecord longhorn64 = Nt(6, 0, 6001, "", kProductServer);
  longhorn64.Windows64 = true;
  std::vector<TRow> rows = {
      {"Server 2003 R2 x64 Enterprise", r2x64,
       {wtWindowsServer2003R2, "Microsoft Windows Server 2003 R2", "Enterprise x64 Edition", true}},
      {"Server 2003 R2", r2x86, {wtWindowsServer2003R2, "Microsoft Windows Server 2003 R2", "Standard Edition", true}},
      {"R2 metric on a workstation", r2workstation, {wtWindowsServer2003R2, "Microsoft Windows Server 2003 R2", "", false}},
      {"Server 2003 domain controller", Nt(5, 2, 3790, "", kProductDomainController, kSuiteEnterprise),
       {wtWindowsServer2003, "Microsoft Windows Server 2003 family", "Enterprise Edition", true}},
      {"Longhorn server", Nt(6, 0, 6001, "", kProductServer),
       {wtWindowsServerLonghorn, "Microsoft Windows Server Longhorn", "Server 4.0", true}},
      {"Longhorn server on 64-bit Windows", longhorn64,
       {wtWindowsServerLonghorn, "Microsoft Windows Server Longhorn", "Server 4.0", true}},
      {"Longhorn domain controller", Nt(6, 0, 6001, "", kProductDomainController, kSuiteEnterprise),
       {wtWindowsServerLonghorn, "Microsoft Windows Server Longhorn", "Server 4.0 Enterprise Edition", true}},
      // The architecture of a 6.0 server is not consulted: no Itanium edition.
      {"Longhorn on IA64", Nt(6, 0, 6001, "", kProductServer, kSuiteDatacenter, kArchitectureIA64),
       {wtWindowsServerLonghorn, "Microsoft Windows Server Longhorn", "Server 4.0", true}},
      {"NT 4 server", Nt(4, 0, 1381, "", kProductServer), {wtWindowsNT, "Microsoft Windows NT", "Server 4.0", true}},
      {"NT 4 enterprise", Nt(4, 0, 1381, "", kProductServer, kSuiteEnterprise),
       {wtWindowsNT, "Microsoft Windows NT", "Server 4.0 Enterprise Edition", true}},
      {"2000 server", Nt(5, 0, 2195, "", kProductServer),
       {wtWindows2000, "Microsoft Windows Server 2000 family", "Server", true}},
      {"2000 advanced server", Nt(5, 0, 2195, "", kProductServer, kSuiteEnterprise),
       {wtWindows2000, "Microsoft Windows Server 2000 family", "Advanced Server", true}},
      {"2000 datacenter", Nt(5, 0, 2195, "", kProductDomainController, kSuiteDatacenter | kSuiteEnterprise),
       {wtWindows2000, "Microsoft Windows Server 2000 family", "Datacenter Server", true}},
      // Product types other than the three known ones get no edition and no server flags.
      {"unknown product type", Nt(5, 1, 2600, "", 4, kSuiteEnterprise), {wtWindowsXP, "Microsoft Windows XP", "", false}},
      {"product type 0", Nt(5, 0, 2195, "", 0), {wtWindows2000, "Microsoft Windows 2000", "", false}},
  };
  CheckRows(rows);
}

TEST(WinVersionRules, Server2003EditionsBySuiteAndArchitecture) {
  auto s = [](uint16_t suite, uint16_t arch) { return Nt(5, 2, 3790, "Service Pack 2", kProductServer, suite, arch); };
  const char* family = "Microsoft Windows Server 2003 family";
  std::vector<TRow> rows = {
      {"IA64 datacenter", s(kSuiteDatacenter | kSuiteEnterprise, kArchitectureIA64),
       {wtWindowsServer2003, family, "Datacenter Edition for Itanium-based Systems", true}},
      {"IA64 enterprise", s(kSuiteEnterprise, kArchitectureIA64),
       {wtWindowsServer2003, family, "Enterprise Edition for Itanium-based Systems", true}},
      {"IA64 standard", s(kSuiteBlade, kArchitectureIA64), {wtWindowsServer2003, family, "", true}},
      {"x64 datacenter", s(kSuiteDatacenter | kSuiteEnterprise, kArchitectureAMD64),
       {wtWindowsServer2003, family, "Datacenter x64 Edition", true}},
      {"x64 enterprise", s(kSuiteEnterprise, kArchitectureAMD64), {wtWindowsServer2003, family, "Enterprise x64 Edition", true}},
      {"x64 standard", s(kSuiteSmallBusiness, kArchitectureAMD64), {wtWindowsServer2003, family, "Standard x64 Edition", true}},
      {"datacenter", s(kSuiteDatacenter | kSuiteEnterprise | kSuiteBlade, 0), {wtWindowsServer2003, family, "Datacenter Edition", true}},
      {"enterprise", s(kSuiteEnterprise | kSuiteBlade, 0), {wtWindowsServer2003, family, "Enterprise Edition", true}},
      {"web", s(kSuiteBlade | kSuiteSmallBusiness, 0), {wtWindowsServer2003, family, "Web Edition", true}},
      {"small business", s(kSuiteSmallBusiness | kSuiteSmallBusinessRestricted, 0),
       {wtWindowsServer2003, family, "Small Business Server", true}},
      {"small business restricted", s(kSuiteSmallBusinessRestricted, 0),
       {wtWindowsServer2003, family, "Small Business Server ( Restricted )", true}},
      {"standard", s(kSuitePersonal | 0x0010, 0), {wtWindowsServer2003, family, "Standard Edition", true}},
  };
  CheckRows(rows);
}

TEST(WinVersionRules, NTServicePackText) {
  TWindowsTypeEx xp = Name(Nt(5, 1, 2600, "Service Pack 3", kProductWorkstation));
  EXPECT_EQ("Service Pack 3 (Build 2600)", xp.ServicePack);
  EXPECT_EQ("Microsoft Windows XP Professional", xp.FullName);
  EXPECT_EQ("5.1", xp.Version.Text);

  // Only the low 16 bits are the build; the whole number is kept in Build.
  TWindowsTypeEx high = Name(Nt(5, 1, 0x12340A28, "", kProductWorkstation));
  EXPECT_EQ("(Build 2600)", high.ServicePack);
  EXPECT_EQ(0x12340A28, high.Build);

  TWindowsVersionRecord sp6 = Nt(4, 0, 1381, "Service Pack 6", kProductWorkstation);
  sp6.HotfixQ246009 = true;
  EXPECT_EQ("Service Pack 6a (Build 1381)", Name(sp6).ServicePack);
  sp6.CSDVersion = "SERVICE pack 6";
  EXPECT_EQ("Service Pack 6a (Build 1381)", Name(sp6).ServicePack);
  sp6.HotfixQ246009 = false;
  EXPECT_EQ("SERVICE pack 6 (Build 1381)", Name(sp6).ServicePack);

  // The hotfix key means 6a only on NT 4 with exactly "Service Pack 6".
  TWindowsVersionRecord sp5 = Nt(4, 0, 1381, "Service Pack 5", kProductWorkstation);
  sp5.HotfixQ246009 = true;
  EXPECT_EQ("Service Pack 5 (Build 1381)", Name(sp5).ServicePack);
  TWindowsVersionRecord sp6x = Nt(4, 0, 1381, "Service Pack 6 ", kProductWorkstation);
  sp6x.HotfixQ246009 = true;
  EXPECT_EQ("Service Pack 6  (Build 1381)", Name(sp6x).ServicePack);
  TWindowsVersionRecord w2k = Nt(5, 0, 2195, "Service Pack 6", kProductWorkstation);
  w2k.HotfixQ246009 = true;
  EXPECT_EQ("Service Pack 6 (Build 2195)", Name(w2k).ServicePack);

  // The text is the system's, never a format.
  EXPECT_EQ("%s%n%d (Build 2600)", Name(Nt(5, 1, 2600, "%s%n%d", kProductWorkstation)).ServicePack);
  // Bytes above 0x7F are text, not blanks.
  EXPECT_EQ("\xA0Paket 3\xA0 (Build 2600)",
            Name(Nt(5, 1, 2600, "\xA0Paket 3\xA0", kProductWorkstation)).ServicePack);

  TWindowsVersionRecord numbered = Nt(5, 1, 2600, "Service Pack 3", kProductWorkstation);
  numbered.ServicePackMajor = 3;
  numbered.ServicePackMinor = 1;
  TWindowsTypeEx n = Name(numbered);
  EXPECT_EQ("3.1", n.ServicePackVersion.Text);
  EXPECT_EQ(3, n.ServicePackVersion.Major);
  EXPECT_EQ(1, n.ServicePackVersion.Minor);
}

TEST(WinVersionRules, NoExtendedInformation) {
  // NT 4 before SP6 and the oldest systems give only the basic record: the edition then comes
  // from the registry, and whatever the extended fields hold is not used.
  auto basic = [](uint32_t major, uint32_t minor, const char* productOptions) {
    TWindowsVersionRecord r = Nt(major, minor, 1381, "Service Pack 5", kProductWorkstation,
                                 kSuiteEnterprise | kSuitePersonal, kArchitectureAMD64);
    r.Extended = false;
    r.ServicePackMajor = 5;
    r.ServicePackMinor = 2;
    r.ProductOptionsType = productOptions;
    return r;
  };
  std::vector<TRow> rows = {
      {"WinNT", basic(4, 0, "WinNT"), {wtWindowsNT, "Microsoft Windows NT", "Workstation 4.0 ", false}},
      {"LANMANNT", basic(4, 0, "LANMANNT"), {wtWindowsNT, "Microsoft Windows NT", "Server 4.0 ", false}},
      {"ServerNT", basic(4, 0, "ServerNT"), {wtWindowsNT, "Microsoft Windows NT", "Advanced Server 4.0 ", false}},
      {"unreadable", basic(4, 0, ""), {wtWindowsNT, "Microsoft Windows NT", " 4.0 ", false}},
      {"other text", basic(4, 0, "Terminal"), {wtWindowsNT, "Microsoft Windows NT", " 4.0 ", false}},
      {"3.51", basic(3, 51, "WINNT"), {wtWindowsNT, "Microsoft Windows NT", "Workstation 3.51 ", false}},
      // With no product type a 6.0 system is not a workstation, nor a 5.2 one XP x64.
      {"6.0", basic(6, 0, "WinNT"), {wtWindowsServerLonghorn, "Microsoft Windows Server Longhorn", "Workstation 6.0 ", false}},
      {"5.2", basic(5, 2, "WinNT"), {wtWindowsServer2003, "Microsoft Windows Server 2003 family", "Workstation 5.2 ", false}},
  };
  CheckRows(rows);
  TWindowsTypeEx info = Name(basic(4, 0, "WinNT"));
  EXPECT_EQ("0.0", info.ServicePackVersion.Text);
  EXPECT_EQ(0, info.ServicePackVersion.Major);
  EXPECT_EQ("Service Pack 5 (Build 1381)", info.ServicePack);
}

TEST(WinVersionRules, ServerFlagsResetForAWorkstation) {
  // A record reused after naming a server must not keep the server marks.
  TWindowsTypeEx info;
  NameWindowsVersion(Nt(5, 2, 3790, "", kProductServer), info);
  ASSERT_TRUE(info.ServerProduct);
  NameWindowsVersion(Nt(5, 1, 2600, "Service Pack 3", kProductWorkstation), info);
  EXPECT_FALSE(info.ServerProduct);
  EXPECT_FALSE(info.Kind.Server);
  EXPECT_EQ("Microsoft Windows XP Professional", info.FullName);
}

}  // namespace
