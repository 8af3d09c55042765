// Calls by the functions' own names go through this program's import slots: each slot holds a
// thunk rather than the system's function, and the thunk reaches the system's function where
// it exists (as under Wine), with the arguments and the stack intact.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <string>
#include <thread>

#include "platform/Handles.h"
#include "platform/ImportSlots.h"
#include "support/TestSupport.h"

namespace {

void* SystemExport(const char* dll, const char* name) {
  HMODULE module = LoadLibraryA(dll);
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

// Taking the address of an imported function reads its import slot.
template <typename Fn>
void* SlotOf(Fn fn) {
  return reinterpret_cast<void*>(fn);
}

TEST(ImportSlotTest, EverySlotHoldsAThunkOfThisProgram) {
  const struct {
    const char* Dll;
    const char* Name;
    void* Slot;
  } rows[] = {
      {"kernel32.dll", "GetTickCount64", SlotOf(&::GetTickCount64)},
      {"kernel32.dll", "AddVectoredExceptionHandler", SlotOf(&::AddVectoredExceptionHandler)},
      {"kernel32.dll", "RemoveVectoredExceptionHandler", SlotOf(&::RemoveVectoredExceptionHandler)},
      {"kernel32.dll", "IsDebuggerPresent", SlotOf(&::IsDebuggerPresent)},
      {"kernel32.dll", "TryEnterCriticalSection", SlotOf(&::TryEnterCriticalSection)},
      {"kernel32.dll", "SetProcessAffinityMask", SlotOf(&::SetProcessAffinityMask)},
      {"kernel32.dll", "GetHandleInformation", SlotOf(&::GetHandleInformation)},
      {"kernel32.dll", "GetFileSizeEx", SlotOf(&::GetFileSizeEx)},
      {"kernel32.dll", "GetLongPathNameA", SlotOf(&::GetLongPathNameA)},
      {"user32.dll", "UpdateLayeredWindow", SlotOf(&::UpdateLayeredWindow)},
      {"user32.dll", "TrackMouseEvent", SlotOf(&::TrackMouseEvent)},
      {"user32.dll", "GetAncestor", SlotOf(&::GetAncestor)},
      {"msimg32.dll", "AlphaBlend", SlotOf(&::AlphaBlend)},
      {"msimg32.dll", "GradientFill", SlotOf(&::GradientFill)},
      {"comctl32.dll", "InitCommonControlsEx", SlotOf(&::InitCommonControlsEx)},
      // Loaded on first use (DeferredImports.cpp).
      {"wininet.dll", "InternetOpenA", SlotOf(&::InternetOpenA)},
      {"wininet.dll", "InternetOpenUrlA", SlotOf(&::InternetOpenUrlA)},
      {"wininet.dll", "InternetConnectA", SlotOf(&::InternetConnectA)},
      {"wininet.dll", "InternetSetOptionA", SlotOf(&::InternetSetOptionA)},
      {"wininet.dll", "InternetReadFile", SlotOf(&::InternetReadFile)},
      {"wininet.dll", "InternetCloseHandle", SlotOf(&::InternetCloseHandle)},
      {"wininet.dll", "HttpOpenRequestA", SlotOf(&::HttpOpenRequestA)},
      {"wininet.dll", "HttpSendRequestA", SlotOf(&::HttpSendRequestA)},
      {"wininet.dll", "HttpQueryInfoA", SlotOf(&::HttpQueryInfoA)},
      {"wininet.dll", "FindFirstUrlCacheEntryA", SlotOf(&::FindFirstUrlCacheEntryA)},
      {"wininet.dll", "FindNextUrlCacheEntryA", SlotOf(&::FindNextUrlCacheEntryA)},
      {"wininet.dll", "FindCloseUrlCache", SlotOf(&::FindCloseUrlCache)},
      {"wininet.dll", "DeleteUrlCacheEntryA", SlotOf(&::DeleteUrlCacheEntryA)},
      {"shell32.dll", "SHFileOperationA", SlotOf(&::SHFileOperationA)},
      {"shell32.dll", "SHGetSpecialFolderLocation", SlotOf(&::SHGetSpecialFolderLocation)},
      {"shell32.dll", "SHGetPathFromIDListA", SlotOf(&::SHGetPathFromIDListA)},
      {"shell32.dll", "ShellExecuteA", SlotOf(&::ShellExecuteA)},
      {"ole32.dll", "CoTaskMemFree", SlotOf(&::CoTaskMemFree)},
      {"oleaut32.dll", "SysAllocString", SlotOf(&::SysAllocString)},
      {"oleaut32.dll", "SysAllocStringLen", SlotOf(&::SysAllocStringLen)},
      {"oleaut32.dll", "SysStringLen", SlotOf(&::SysStringLen)},
      {"oleaut32.dll", "VariantInit", SlotOf(&::VariantInit)},
      {"oleaut32.dll", "VariantClear", SlotOf(&::VariantClear)},
      {"oleaut32.dll", "VariantChangeType", SlotOf(&::VariantChangeType)},
  };
  HMODULE self = GetModuleHandleA(nullptr);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    void* system = SystemExport(row.Dll, row.Name);
    ASSERT_TRUE(system) << "Wine has every one of these";
    EXPECT_NE(system, row.Slot) << "the linker kept the system's slot";
    HMODULE holder = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<const char*>(row.Slot), &holder);
    EXPECT_EQ(self, holder) << "the slot leads outside this program";
  }
}

TEST(ImportSlotTest, KernelCallsReachTheSystem) {
  auto system64 = reinterpret_cast<ULONGLONG(WINAPI*)()>(SystemExport("kernel32.dll", "GetTickCount64"));
  ASSERT_TRUE(system64);
  ULONGLONG before = system64();
  ULONGLONG mine = GetTickCount64();
  EXPECT_GE(mine, before);
  EXPECT_LE(mine, system64());

  auto systemDebugger = reinterpret_cast<BOOL(WINAPI*)()>(SystemExport("kernel32.dll", "IsDebuggerPresent"));
  EXPECT_EQ(systemDebugger(), IsDebuggerPresent());

  // The system reports the inherit flag; the stand-in would report 0.
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  TKernelHandle event(CreateEventA(&inherit, TRUE, FALSE, nullptr));
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(event.get(), &flags));
  EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT);

  DWORD_PTR mask = 0, systemMask = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &mask, &systemMask));
  EXPECT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), mask));

  qmtest::TScratchDir dir("compat-slot");
  qmtest::WriteAll(dir / "f.bin", std::string(777, 'x'));
  TFileHandle file(CreateFileA((dir / "f.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr));
  LARGE_INTEGER size = {};
  EXPECT_TRUE(GetFileSizeEx(file.get(), &size));
  EXPECT_EQ(777, size.QuadPart);
  char longPath[MAX_PATH] = {};
  EXPECT_GT(GetLongPathNameA(dir.Path().c_str(), longPath, MAX_PATH), 0u);
}

// The system's TryEnterCriticalSection answers FALSE at once where the stand-in would wait.
TEST(ImportSlotTest, TryEnterCriticalSectionDoesNotWaitForAnotherOwner) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  TKernelHandle held(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  TKernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread owner([&] {
    EnterCriticalSection(&section);
    SetEvent(held.get());
    WaitForSingleObject(done.get(), 10000);
    LeaveCriticalSection(&section);
  });
  WaitForSingleObject(held.get(), INFINITE);
  EXPECT_FALSE(TryEnterCriticalSection(&section));
  SetEvent(done.get());
  owner.join();
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
}

int gHandled = 0;
const DWORD kTestException = 0xE0514D01;

LONG WINAPI CountTestException(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != kTestException) return EXCEPTION_CONTINUE_SEARCH;
  ++gHandled;
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(ImportSlotTest, VectoredHandlersAreAddedAndRemoved) {
  PVOID handler = AddVectoredExceptionHandler(1, &CountTestException);
  ASSERT_TRUE(handler);
  RaiseException(kTestException, 0, 0, nullptr);
  EXPECT_EQ(1, gHandled);
  EXPECT_NE(0u, RemoveVectoredExceptionHandler(handler));
}

TEST(ImportSlotTest, UserAndGraphicsCallsReachTheSystem) {
  HWND top = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
  HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  ASSERT_TRUE(top && child);
  EXPECT_EQ(top, GetAncestor(child, GA_ROOT));
  TRACKMOUSEEVENT query = {sizeof query, TME_QUERY, nullptr, 0};
  EXPECT_TRUE(TrackMouseEvent(&query));
  DestroyWindow(top);

  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&icc));

  // Half of a black source over white: the system blends to grey, the stand-in would copy black.
  HDC screen = GetDC(nullptr);
  HDC source = CreateCompatibleDC(screen);
  HDC dest = CreateCompatibleDC(screen);
  HBITMAP sourceBitmap = CreateCompatibleBitmap(screen, 4, 4);
  HBITMAP destBitmap = CreateCompatibleBitmap(screen, 4, 4);
  HGDIOBJ oldSource = SelectObject(source, sourceBitmap);
  HGDIOBJ oldDest = SelectObject(dest, destBitmap);
  RECT all = {0, 0, 4, 4};
  FillRect(source, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  FillRect(dest, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  BLENDFUNCTION half = {AC_SRC_OVER, 0, 128, 0};
  EXPECT_TRUE(AlphaBlend(dest, 0, 0, 4, 4, source, 0, 0, 4, 4, half));
  COLORREF blended = GetPixel(dest, 1, 1);
  EXPECT_NEAR(127, GetRValue(blended), 2);
  EXPECT_NEAR(127, GetGValue(blended), 2);

  TRIVERTEX v[2] = {{0, 0, 0, 0, 0, 0}, {4, 4, 0xFF00, 0xFF00, 0xFF00, 0}};
  GRADIENT_RECT r = {0, 1};
  EXPECT_TRUE(GradientFill(dest, v, 2, &r, 1, GRADIENT_FILL_RECT_V));
  EXPECT_LT(GetRValue(GetPixel(dest, 0, 0)), GetRValue(GetPixel(dest, 0, 3))) << "no gradient";

  SelectObject(source, oldSource);
  SelectObject(dest, oldDest);
  DeleteObject(sourceBitmap);
  DeleteObject(destBitmap);
  DeleteDC(source);
  DeleteDC(dest);
  ReleaseDC(nullptr, screen);
}

// Arguments and answers pass both ways through the thunks of the libraries loaded on first use;
// each answer is held against the system's own function called directly.
TEST(ImportSlotTest, DeferredCallsReachTheSystem) {
  BSTR text = SysAllocStringLen(L"cookie", 3);
  ASSERT_TRUE(text);
  EXPECT_EQ(3u, SysStringLen(text));
  EXPECT_EQ(std::wstring(L"coo"), std::wstring(text));
  VARIANT number, converted;
  VariantInit(&number);
  VariantInit(&converted);
  V_VT(&number) = VT_I4;
  V_I4(&number) = 4096;
  ASSERT_EQ(S_OK, VariantChangeType(&converted, &number, 0, VT_BSTR));
  EXPECT_EQ(std::wstring(L"4096"), std::wstring(V_BSTR(&converted)));
  EXPECT_EQ(S_OK, VariantClear(&converted));
  auto systemFree = reinterpret_cast<void(WINAPI*)(BSTR)>(SystemExport("oleaut32.dll", "SysFreeString"));
  systemFree(text);

  LPITEMIDLIST items = nullptr;
  ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_COOKIES, &items));
  char mine[MAX_PATH] = {}, system[MAX_PATH] = {};
  EXPECT_TRUE(SHGetPathFromIDListA(items, mine));
  auto systemPath = reinterpret_cast<BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR)>(
      SystemExport("shell32.dll", "SHGetPathFromIDListA"));
  EXPECT_TRUE(systemPath(items, system));
  EXPECT_STREQ(system, mine);
  EXPECT_NE(std::string(mine).find("Cookies"), std::string::npos) << mine;
  CoTaskMemFree(items);

  qmtest::TScratchDir dir("compat-deferred");
  qmtest::WriteAll(dir / "gone.txt", "x");
  std::string from = (dir / "gone.txt") + '\0';
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  EXPECT_EQ(0, SHFileOperationA(&op));
  EXPECT_FALSE(qmtest::Exists(dir / "gone.txt"));

  HINTERNET session = InternetOpenA("QuillmoorTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_TRUE(session);
  DWORD timeout = 1234, read = 0, size = sizeof read;
  EXPECT_TRUE(InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout));
  auto systemQuery = reinterpret_cast<BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD)>(
      SystemExport("wininet.dll", "InternetQueryOptionA"));
  EXPECT_TRUE(systemQuery(session, INTERNET_OPTION_CONNECT_TIMEOUT, &read, &size));
  EXPECT_EQ(1234u, read);
  EXPECT_TRUE(InternetCloseHandle(session));
  SetLastError(0);
  EXPECT_FALSE(DeleteUrlCacheEntryA("http://qm.invalid/never-cached"));
  EXPECT_NE(0u, GetLastError());
}

namespace deferred {

qmlegacy::TSystemFunction gNoLibrary("qm-no-such-library.dll", "InternetOpenA");
qmlegacy::TSystemFunction gNoFunction("kernel32.dll", "QmNoSuchFunction");
qmlegacy::TSystemFunction gProcessId("kernel32.dll", "GetCurrentProcessId");
qmlegacy::TSystemFunction gMulDiv("kernel32.dll", "MulDiv");
struct TNull {
  static std::nullptr_t Value() { return nullptr; }
};
struct TMinusOne {
  static int Value() { return -1; }
};

}  // namespace deferred

// Where a library or a function is missing, the call fails the way its callers check for (a
// null handle, an error code) with ERROR_CALL_NOT_IMPLEMENTED, every time; otherwise the thunk
// is the function.
TEST(ImportSlotTest, AMissingDeferredFunctionFailsTheCallNotTheProgram) {
  auto open = &qmlegacy::TThunk<decltype(&::InternetOpenA)>::Call<&deferred::gNoLibrary, deferred::TNull>;
  for (int call = 0; call < 2; ++call) {
    SetLastError(0);
    EXPECT_EQ(nullptr, open("QuillmoorTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
  }
  EXPECT_EQ(nullptr, GetModuleHandleA("qm-no-such-library.dll"));

  auto missing = &qmlegacy::TThunk<int(WINAPI*)(int, int, int)>::Call<&deferred::gNoFunction, deferred::TMinusOne>;
  SetLastError(0);
  EXPECT_EQ(-1, missing(1, 2, 3));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());

  auto pid = &qmlegacy::TThunk<DWORD(WINAPI*)()>::Call<&deferred::gProcessId, deferred::TMinusOne>;
  EXPECT_EQ(GetCurrentProcessId(), pid());
  auto mulDiv = &qmlegacy::TThunk<int(WINAPI*)(int, int, int)>::Call<&deferred::gMulDiv, deferred::TMinusOne>;
  EXPECT_EQ(35, mulDiv(10, 7, 2));
}

}  // namespace
