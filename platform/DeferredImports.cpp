// Import slots (platform/ImportSlots.h) for the libraries that only a user's action needs:
// WinInet for the update check, the banners and the Internet Explorer cookies, the shell for
// the cookie folder, deleting files and opening web pages, COM's memory and OLE automation's
// strings and variants for the embedded browser. Imported the usual way, each is loaded and
// initialised (with the libraries it imports in turn) before the program's first line runs,
// a cost every start paid before its window showed; through these slots a library is loaded
// on the first call of one of its functions. Where a library or function is missing (plain
// Windows 95 has no WinInet), the call fails with ERROR_CALL_NOT_IMPLEMENTED instead of the
// program refusing to start.
#include <windows.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include "platform/ImportSlots.h"

namespace qmlegacy {
namespace {

struct TFailsFalse {
  static BOOL Value() { return FALSE; }
};
struct TFailsNull {
  static std::nullptr_t Value() { return nullptr; }
};
struct TFailsZero {
  static UINT Value() { return 0; }
};
struct TFailsNothing {
  static void Value() {}
};
struct TFailsNotImplemented {
  static HRESULT Value() { return HRESULT_FROM_WIN32(ERROR_CALL_NOT_IMPLEMENTED); }
};
// SHFileOperationA answers with an error code, 0 meaning success.
struct TFailsWithCode {
  static int Value() { return ERROR_CALL_NOT_IMPLEMENTED; }
};
// ShellExecuteA answers 32 or less for a failure.
struct TFailsNoLibrary {
  static HINSTANCE Value() { return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND)); }
};

}  // namespace
}  // namespace qmlegacy

// The function's slot, its lookup in `dll` and a thunk failing with `failure`.
#define QM_DEFERRED_SLOT(dll, name, bytes, failure)                        \
  namespace qmlegacy {                                                     \
  namespace {                                                              \
  TSystemFunction gDeferred##name(dll, #name);                             \
  }                                                                        \
  }                                                                        \
  QM_IMPORT_SLOT_OF(name, bytes,                                           \
                    (&qmlegacy::TThunk<decltype(&::name)>::Call<&qmlegacy::gDeferred##name, qmlegacy::failure>))

QM_DEFERRED_SLOT("wininet.dll", InternetOpenA, 20, TFailsNull);
QM_DEFERRED_SLOT("wininet.dll", InternetOpenUrlA, 24, TFailsNull);
QM_DEFERRED_SLOT("wininet.dll", InternetConnectA, 32, TFailsNull);
QM_DEFERRED_SLOT("wininet.dll", InternetSetOptionA, 16, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", InternetReadFile, 16, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", InternetQueryDataAvailable, 16, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", InternetCloseHandle, 4, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", HttpOpenRequestA, 32, TFailsNull);
QM_DEFERRED_SLOT("wininet.dll", HttpSendRequestA, 20, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", HttpQueryInfoA, 20, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", FindFirstUrlCacheEntryA, 12, TFailsNull);
QM_DEFERRED_SLOT("wininet.dll", FindNextUrlCacheEntryA, 12, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", FindCloseUrlCache, 4, TFailsFalse);
QM_DEFERRED_SLOT("wininet.dll", DeleteUrlCacheEntryA, 4, TFailsFalse);

// SQLite's file layer: functions that Windows 95 lacks (GetFileAttributesExW) or that only the
// NT line has (LockFileEx, UnlockFileEx). SQLite calls them only where the system is NT, and
// takes the ANSI functions on Windows 9x, but the import table must still load there.
QM_DEFERRED_SLOT("kernel32.dll", GetFileAttributesExW, 12, TFailsFalse);
QM_DEFERRED_SLOT("kernel32.dll", LockFileEx, 24, TFailsFalse);
QM_DEFERRED_SLOT("kernel32.dll", UnlockFileEx, 20, TFailsFalse);

// SQLite keeps these functions' addresses in a table built at compile time, which takes the
// import library's jump stubs ("_LockFileEx@24") rather than the slots: the stubs are defined
// here as well, each calling through its slot, so the import library's entry is never linked.
#if defined(__i386__)
#define QM_STUB_SYMBOL(name, bytes) "_" #name "@" #bytes
#else
#define QM_STUB_SYMBOL(name, bytes) #name
#endif
extern "C" {
BOOL WINAPI QmStubGetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info)
    __asm__(QM_STUB_SYMBOL(GetFileAttributesExW, 12));
BOOL WINAPI QmStubLockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED overlapped)
    __asm__(QM_STUB_SYMBOL(LockFileEx, 24));
BOOL WINAPI QmStubUnlockFileEx(HANDLE file, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED overlapped)
    __asm__(QM_STUB_SYMBOL(UnlockFileEx, 20));
}
BOOL WINAPI QmStubGetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
  return qmImportSlot_GetFileAttributesExW(name, level, info);
}
BOOL WINAPI QmStubLockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                             LPOVERLAPPED overlapped) {
  return qmImportSlot_LockFileEx(file, flags, reserved, low, high, overlapped);
}
BOOL WINAPI QmStubUnlockFileEx(HANDLE file, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED overlapped) {
  return qmImportSlot_UnlockFileEx(file, reserved, low, high, overlapped);
}

QM_DEFERRED_SLOT("shell32.dll", SHFileOperationA, 4, TFailsWithCode);
QM_DEFERRED_SLOT("shell32.dll", SHGetSpecialFolderLocation, 12, TFailsNotImplemented);
QM_DEFERRED_SLOT("shell32.dll", SHGetPathFromIDListA, 8, TFailsFalse);
QM_DEFERRED_SLOT("shell32.dll", ShellExecuteA, 24, TFailsNoLibrary);

QM_DEFERRED_SLOT("ole32.dll", CoTaskMemFree, 4, TFailsNothing);

QM_DEFERRED_SLOT("oleaut32.dll", SysAllocString, 4, TFailsNull);
QM_DEFERRED_SLOT("oleaut32.dll", SysAllocStringLen, 8, TFailsNull);
QM_DEFERRED_SLOT("oleaut32.dll", SysStringLen, 4, TFailsZero);
QM_DEFERRED_SLOT("oleaut32.dll", VariantInit, 4, TFailsNothing);
QM_DEFERRED_SLOT("oleaut32.dll", VariantClear, 4, TFailsNotImplemented);
QM_DEFERRED_SLOT("oleaut32.dll", VariantChangeType, 16, TFailsNotImplemented);
