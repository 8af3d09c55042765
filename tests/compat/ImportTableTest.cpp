// The shipped executables start on Windows 95 and NT 4: the loader refuses a program that
// imports a function its system's DLLs lack, so neither executable may import one that came
// later (the import slots of platform/LegacyImports.cpp stand in for those the static
// runtime and the toolkit need), nor any DLL those systems do not have.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "compat/PeImports.h"
#include "support/TestSupport.h"

namespace {

using qmtest::TImportedDll;

struct TNewer {
  const char* Name;
  const char* Since;  // the first systems that have it
};

// Functions absent from Windows 95 or from NT 4 (as they first shipped).
const TNewer kNewerFunctions[] = {
    // kernel32
    {"GetTickCount64", "Vista"},
    {"AddVectoredExceptionHandler", "XP"},
    {"RemoveVectoredExceptionHandler", "XP"},
    {"IsDebuggerPresent", "98 and NT 4"},
    {"TryEnterCriticalSection", "NT 4, no Windows 9x"},
    {"SetProcessAffinityMask", "NT only"},
    {"GetHandleInformation", "NT only"},
    {"GetFileSizeEx", "2000"},
    {"SetFilePointerEx", "2000"},
    {"GetLongPathNameA", "98 and 2000"},
    {"GetLongPathNameW", "98 and 2000"},
    {"GetNativeSystemInfo", "XP"},
    {"IsWow64Process", "XP SP2"},
    {"GetModuleHandleExA", "XP"},
    {"GetModuleHandleExW", "XP"},
    {"SetDllDirectoryA", "XP SP1"},
    {"SetDllDirectoryW", "XP SP1"},
    {"GetProcessId", "XP SP1"},
    {"GetThreadId", "Server 2003"},
    {"GetSystemWow64DirectoryA", "XP"},
    {"InterlockedCompareExchange", "98 and NT 4"},
    {"InterlockedExchangeAdd", "98 and NT 4"},
    {"InitializeCriticalSectionAndSpinCount", "98 and NT 4 SP3"},
    {"InitializeConditionVariable", "Vista"},
    {"SleepConditionVariableCS", "Vista"},
    {"WakeConditionVariable", "Vista"},
    {"WakeAllConditionVariable", "Vista"},
    {"InitializeSRWLock", "Vista"},
    {"AcquireSRWLockExclusive", "Vista"},
    {"ReleaseSRWLockExclusive", "Vista"},
    {"AcquireSRWLockShared", "Vista"},
    {"ReleaseSRWLockShared", "Vista"},
    {"InitOnceExecuteOnce", "Vista"},
    {"FlsAlloc", "Server 2003"},
    {"FlsFree", "Server 2003"},
    {"FlsGetValue", "Server 2003"},
    {"FlsSetValue", "Server 2003"},
    {"CreateHardLinkA", "2000"},
    {"ReplaceFileA", "2000"},
    {"QueueUserWorkItem", "2000"},
    {"CreateTimerQueueTimer", "2000"},
    {"GetVolumePathNameA", "2000"},
    {"GetFileAttributesExA", "98 and NT 4"},
    {"GetFileAttributesExW", "98 and NT 4"},
    {"LockFileEx", "NT only"},
    {"UnlockFileEx", "NT only"},
    // user32
    {"UpdateLayeredWindow", "2000"},
    {"SetLayeredWindowAttributes", "2000"},
    {"TrackMouseEvent", "98 and NT 4"},
    {"GetAncestor", "98 and NT 4"},
    {"ChangeWindowMessageFilter", "Vista"},
    {"ChangeWindowMessageFilterEx", "7"},
    {"PrintWindow", "XP"},
    {"MonitorFromWindow", "98 and 2000"},
    {"MonitorFromPoint", "98 and 2000"},
    {"MonitorFromRect", "98 and 2000"},
    {"GetMonitorInfoA", "98 and 2000"},
    {"EnumDisplayMonitors", "98 and 2000"},
    {"FlashWindowEx", "98 and 2000"},
    {"AnimateWindow", "98 and 2000"},
    {"AllowSetForegroundWindow", "Me and 2000"},
    {"LockSetForegroundWindow", "Me and 2000"},
    {"GetLastInputInfo", "2000"},
    {"SetProcessDPIAware", "Vista"},
    {"SendInput", "98 and NT 4 SP3"},
    // gdi32
    {"GdiAlphaBlend", "2000"},
    {"GdiGradientFill", "2000"},
    {"GdiTransparentBlt", "2000"},
    {"SetDCBrushColor", "2000"},
    {"SetDCPenColor", "2000"},
    {"GetDCBrushColor", "2000"},
    {"GetDCPenColor", "2000"},
    {"SetLayout", "98 and 2000"},
    {"GetLayout", "98 and 2000"},
    // msimg32 (the whole DLL is refused too)
    {"AlphaBlend", "98 and 2000"},
    {"GradientFill", "98 and 2000"},
    {"TransparentBlt", "98 and 2000"},
    // comctl32: version 4.00 is what Windows 95 and NT 4 bring
    {"InitCommonControlsEx", "common controls 4.70"},
    {"_TrackMouseEvent", "common controls 4.70"},
    {"SetWindowSubclass", "common controls 5.80"},
    {"DefSubclassProc", "common controls 5.80"},
    {"RemoveWindowSubclass", "common controls 5.80"},
    {"TaskDialog", "Vista"},
    {"TaskDialogIndirect", "Vista"},
    // uxtheme (the whole DLL is refused too)
    {"SetWindowTheme", "XP"},
    // shell32: version 4.00 on Windows 95 and NT 4
    {"SHGetFolderPathA", "Me and 2000"},
    {"SHGetFolderPathW", "Me and 2000"},
    {"SHGetSpecialFolderPathA", "shell 4.71"},
    {"SHGetKnownFolderPath", "Vista"},
    {"SHCreateDirectoryExA", "2000"},
    // advapi32
    {"RegGetValueA", "Vista"},
    {"RegGetValueW", "Vista"},
    {"RegDeleteKeyExA", "XP x64"},
    {"CheckTokenMembership", "2000"},
};

const TNewer kNewerDlls[] = {
    {"MSIMG32.DLL", "98 and 2000"},
    {"UXTHEME.DLL", "XP"},
    {"DWMAPI.DLL", "Vista"},
};

const char* NewerFunction(const std::string& name) {
  for (const TNewer& f : kNewerFunctions)
    if (name == f.Name) return f.Since;
  return nullptr;
}

const char* NewerDll(const std::string& name) {
  for (const TNewer& d : kNewerDlls)
    if (_stricmp(name.c_str(), d.Name) == 0) return d.Since;
  return nullptr;
}

const TImportedDll* FindDll(const std::vector<TImportedDll>& dlls, const char* name) {
  for (const TImportedDll& d : dlls)
    if (_stricmp(d.Name.c_str(), name) == 0) return &d;
  return nullptr;
}

bool Imports(const std::vector<TImportedDll>& dlls, const char* dll, const char* function) {
  const TImportedDll* d = FindDll(dlls, dll);
  if (!d) return false;
  for (const std::string& f : d->Functions)
    if (f == function) return true;
  return false;
}

std::string OwnProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return qmtest::ReadAll(path);
}

TEST(ImportTableTest, ShippedExecutablesImportNothingTheOldestSystemsLack) {
  std::string dist = qmtest::DistDir();
  ASSERT_FALSE(dist.empty()) << "QM_DIST_DIR is not set";
  for (const char* exe : {"Quillmoor.exe", "TraceViewer.exe"}) {
    SCOPED_TRACE(exe);
    std::string bytes = qmtest::ReadAll(dist + exe);
    ASSERT_FALSE(bytes.empty()) << "missing in " << dist;
    std::vector<TImportedDll> dlls;
    std::string error;
    ASSERT_TRUE(qmtest::ReadPeImports(bytes, &dlls, &error)) << error;
    // The table was read: what every program imports is there.
    ASSERT_TRUE(Imports(dlls, "KERNEL32.dll", "GetProcAddress"));
    for (const TImportedDll& dll : dlls) {
      if (const char* since = NewerDll(dll.Name))
        ADD_FAILURE() << "imports " << dll.Name << " (" << since << ")";
      for (const std::string& fn : dll.Functions) {
        if (const char* since = NewerFunction(fn))
          ADD_FAILURE() << "imports " << dll.Name << "!" << fn << " (first in " << since << ")";
      }
    }
  }
}

// The test program links the import slots as the shipped ones do: its table shows whether the
// linker took them, next to what stays an import.
TEST(ImportTableTest, SlotsReplaceTheImportsOfThisProgramToo) {
  std::vector<TImportedDll> dlls;
  std::string error;
  ASSERT_TRUE(qmtest::ReadPeImports(OwnProgram(), &dlls, &error)) << error;
  EXPECT_TRUE(Imports(dlls, "KERNEL32.dll", "GetModuleFileNameA"));
  EXPECT_TRUE(Imports(dlls, "KERNEL32.dll", "GetTickCount"));
  for (const char* fn : {"GetTickCount64", "TryEnterCriticalSection", "AddVectoredExceptionHandler",
                         "GetHandleInformation", "GetFileSizeEx", "AlphaBlend", "GetAncestor"})
    EXPECT_FALSE(Imports(dlls, "KERNEL32.dll", fn) || Imports(dlls, "USER32.dll", fn) ||
                 Imports(dlls, "MSIMG32.DLL", fn))
        << fn;
}

// Libraries only a user's action needs are loaded on their first call (DeferredImports.cpp):
// named in the table, each would be loaded and initialised before the window could show.
TEST(ImportTableTest, TheProgramLoadsWhatOnlyAClickNeedsOnFirstUse) {
  std::string dist = qmtest::DistDir();
  ASSERT_FALSE(dist.empty()) << "QM_DIST_DIR is not set";
  std::vector<TImportedDll> dlls;
  std::string error;
  ASSERT_TRUE(qmtest::ReadPeImports(qmtest::ReadAll(dist + "Quillmoor.exe"), &dlls, &error)) << error;
  ASSERT_TRUE(FindDll(dlls, "USER32.dll"));
  for (const char* dll : {"WININET.DLL", "SHELL32.dll", "ole32.dll", "OLEAUT32.dll"})
    EXPECT_FALSE(FindDll(dlls, dll)) << dll;
}

uint32_t HeaderField(const std::string& image, size_t at, size_t bytes) {
  uint32_t v = 0;
  if (at + bytes <= image.size()) std::memcpy(&v, &image[at], bytes);
  return v;
}

// A loader maps sections that start on a page of the file; Wine reads any other image whole
// into the process's memory (CMakeLists.txt).
TEST(ImportTableTest, ShippedExecutablesKeepTheirSectionsOnPagesOfTheFile) {
  std::string dist = qmtest::DistDir();
  ASSERT_FALSE(dist.empty()) << "QM_DIST_DIR is not set";
  for (const char* exe : {"Quillmoor.exe", "TraceViewer.exe"}) {
    SCOPED_TRACE(exe);
    std::string image = qmtest::ReadAll(dist + exe);
    ASSERT_GT(image.size(), 4096u);
    size_t pe = HeaderField(image, 0x3C, 4);
    ASSERT_EQ(0x4550u, HeaderField(image, pe, 4));
    EXPECT_EQ(4096u, HeaderField(image, pe + 24 + 36, 4));  // FileAlignment
    size_t sections = HeaderField(image, pe + 6, 2);
    size_t table = pe + 24 + HeaderField(image, pe + 20, 2);
    ASSERT_GT(sections, 2u);
    for (size_t i = 0; i < sections; ++i) {
      uint32_t rawSize = HeaderField(image, table + i * 40 + 16, 4);
      uint32_t rawOffset = HeaderField(image, table + i * 40 + 20, 4);
      if (rawSize) {
        EXPECT_EQ(0u, rawOffset % 4096) << "section " << i;
      }
    }
  }
}

TEST(ImportTableTest, DamagedImagesAreRefusedNotOverrun) {
  std::string image = OwnProgram();
  ASSERT_GT(image.size(), 65536u);
  std::vector<TImportedDll> dlls;
  std::string error;
  EXPECT_FALSE(qmtest::ReadPeImports("", &dlls, &error));
  EXPECT_FALSE(qmtest::ReadPeImports("MZ", &dlls, &error));
  // Cut anywhere inside the headers and sections: the import table is far behind.
  for (size_t cut = 0; cut < 4096; cut += 61) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(qmtest::ReadPeImports(image.substr(0, cut), &dlls, &error));
  }
  // The PE header's offset pointing past the end.
  std::string pastEnd = image;
  pastEnd[0x3C] = pastEnd[0x3D] = pastEnd[0x3E] = '\x7F';
  EXPECT_FALSE(qmtest::ReadPeImports(pastEnd, &dlls, &error));
  // An import table outside every section.
  std::string lost = image;
  uint32_t pe = 0;
  std::memcpy(&pe, &lost[0x3C], 4);
  uint16_t magic = 0;
  std::memcpy(&magic, &lost[pe + 24], 2);
  size_t importEntry = pe + 24 + (magic == 0x20B ? 112 : 96) + 8;
  std::memset(&lost[importEntry], 0x7F, 4);
  EXPECT_FALSE(qmtest::ReadPeImports(lost, &dlls, &error));
  EXPECT_EQ("import table outside the sections", error);
}

}  // namespace
