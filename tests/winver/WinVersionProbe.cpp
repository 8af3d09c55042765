// Prints what the running system is named, one "key=value" line each, for the probe tests that
// run it under the Windows versions Wine can pretend to be.
#include <cstdio>

#include "platform/cwm_WinVersion.h"

int main() {
  TWindowsTypeEx info;
  GetWindowsTypeEx(info);
  std::printf("code=%d\n", info.WindowsType);
  std::printf("product=%s\n", info.ProductName.c_str());
  std::printf("edition=%s\n", info.Kind.Edition.c_str());
  std::printf("full=%s\n", info.FullName.c_str());
  std::printf("version=%s\n", info.Version.Text.c_str());
  std::printf("build=%d\n", info.Build);
  std::printf("servicepack=%s\n", info.ServicePack.c_str());
  std::printf("spversion=%s\n", info.ServicePackVersion.Text.c_str());
  std::printf("server=%d\n", info.ServerProduct ? 1 : 0);
  std::printf("vista64=%d\n", IsVista64() ? 1 : 0);
  std::printf("wow64=%d\n", IsWow64() ? 1 : 0);
  // The facts themselves, to tell a change in what Wine reports from a fault of the rules.
  TWindowsVersionRecord r;
  if (ReadWindowsVersionRecord(r))
    std::printf("record=%u.%u build %u platform %u \"%s\" extended %d type %u suite 0x%x arch %u hotfix %d\n",
                r.MajorVersion, r.MinorVersion, r.BuildNumber, r.PlatformId, r.CSDVersion.c_str(),
                r.Extended ? 1 : 0, r.ProductType, r.SuiteMask, r.NativeArchitecture,
                r.HotfixQ246009 ? 1 : 0);
  return 0;
}
