#include "tools/QVTools.h"

#include <vector>

#include <shellapi.h>
#include <shlobj.h>

#include "platform/Handles.h"
#include "tools/UrlText.h"

std::string QV_GetModuleFileName() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, n > MAX_PATH ? MAX_PATH : n);
}

std::string QV_GetLongPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  DWORD n = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return path;
  return std::string(buffer, n);
}

std::string QV_GetAppPath() {
  std::string exe = QV_GetModuleFileName();
  size_t slash = exe.find_last_of('\\');
  return QV_GetLongPath(slash == std::string::npos ? std::string() : exe.substr(0, slash + 1));
}

void QV_WriteTextFile(const std::string& text, const std::string& path) {
  TFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  if (!text.empty()) WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool QV_CheckAccess(DWORD desiredAccess, const std::string& path) {
  std::wstring wpath(path.begin(), path.end());
  int wlen = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (wlen > 0) {
    wpath.assign(static_cast<size_t>(wlen), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wpath[0], wlen);
    wpath.resize(static_cast<size_t>(wlen - 1));
  }
  const SECURITY_INFORMATION info =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  if (!GetFileSecurityW(wpath.c_str(), info, nullptr, 0, &needed) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return false;
  // The extra room guards against a descriptor that grew between the two calls.
  std::vector<BYTE> descriptor(needed + 4096, 0);
  if (!GetFileSecurityW(wpath.c_str(), info, descriptor.data(), static_cast<DWORD>(descriptor.size()),
                        &needed))
    return false;
  if (!ImpersonateSelf(SecurityImpersonation)) return false;
  bool granted = false;
  HANDLE rawToken = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY, FALSE,
                      &rawToken)) {
    TKernelHandle token(rawToken);
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    DWORD access = desiredAccess;
    MapGenericMask(&access, &mapping);
    BYTE privileges[20] = {};
    DWORD privilegesSize = sizeof privileges;
    DWORD grantedAccess = 0;
    BOOL status = FALSE;
    if (AccessCheck(descriptor.data(), token.get(), access, &mapping,
                    reinterpret_cast<PPRIVILEGE_SET>(privileges), &privilegesSize, &grantedAccess,
                    &status))
      granted = status != FALSE;
  }
  RevertToSelf();
  return granted;
}

bool QV_GetFileCreationTime(const std::string& path, FILETIME* creation) {
  TFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)  // folders open only with backup semantics
    file.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return false;
  return GetFileTime(file.get(), creation, nullptr, nullptr) != FALSE;
}

static TRegOpenObserver g_regOpenObserver = nullptr;

void QV_SetRegOpenObserver(TRegOpenObserver observer) { g_regOpenObserver = observer; }

bool QV_OpenRegKeyForReading(HKEY root, const std::string& keyPath, REGSAM view, HKEY* key) {
  *key = nullptr;
  const REGSAM access = KEY_READ | (view & (KEY_WOW64_32KEY | KEY_WOW64_64KEY));
  if (g_regOpenObserver) g_regOpenObserver(access);
  return RegOpenKeyExA(root, keyPath.c_str(), 0, access, key) == ERROR_SUCCESS;
}

bool QV_RegKeyExists(HKEY root, const std::string& keyPath, REGSAM view) {
  HKEY raw = nullptr;
  if (!QV_OpenRegKeyForReading(root, keyPath, view, &raw)) return false;
  TRegKey key(raw);
  return true;
}

std::string QV_ReadRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                             const std::string& defaultValue, REGSAM view) {
  HKEY raw = nullptr;
  if (!QV_OpenRegKeyForReading(root, keyPath, view, &raw)) return defaultValue;
  TRegKey key(raw);
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return defaultValue;
  std::string value(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(&value[0]), &got) != ERROR_SUCCESS)
    return defaultValue;
  value.resize(got < value.size() ? got : value.size());
  // A stored string normally carries its terminator; a value written without one must not
  // lose its last character, so cut at the first zero instead of dropping a fixed byte.
  size_t zero = value.find('\0');
  if (zero != std::string::npos) value.resize(zero);
  return value;
}

static const char kShellFoldersKey[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string QV_GetShellFolder(const std::string& valueName) {
  std::string folder = QV_ReadRegString(HKEY_CURRENT_USER, kShellFoldersKey, valueName, "");
  return folder.empty() ? QV_GetCommonShellFolder(valueName) : folder;
}

std::string QV_GetSpecialFolder(int csidl) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return std::string();
  char path[MAX_PATH] = {};
  const BOOL ok = SHGetPathFromIDListA(items, path);
  CoTaskMemFree(items);
  if (!ok) return std::string();
  std::string folder = path;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string QV_GetUserFolder(const std::string& shellFoldersValue, int csidl) {
  std::string folder = QV_ReadRegString(HKEY_CURRENT_USER, kShellFoldersKey, shellFoldersValue, "");
  if (folder.empty()) folder = QV_GetSpecialFolder(csidl);
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string QV_GetCommonShellFolder(const std::string& valueName) {
  return QV_ReadRegString(HKEY_LOCAL_MACHINE, kShellFoldersKey, valueName, "");
}

bool QV_HasGlobalNamespaceFor(DWORD platformId, DWORD majorVersion) {
  return platformId == VER_PLATFORM_WIN32_NT && majorVersion >= 5;
}

bool QV_HasGlobalNamespace() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  // A system that cannot say what it is is a newer one.
  if (!GetVersionExA(&info)) return true;
  return QV_HasGlobalNamespaceFor(info.dwPlatformId, info.dwMajorVersion);
}

std::string QV_GlobalObjectName(const std::string& name) {
  return QV_HasGlobalNamespace() ? "Global\\" + name : name;
}

bool QV_FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool QV_FolderExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool QV_ForceDirectories(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (p.empty()) return false;
  DWORD attr = GetFileAttributesA(p.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES) return (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // Create the parents first; at a root ("C:", "\\server") the attempt just fails harmlessly.
  size_t slash = p.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0) QV_ForceDirectories(p.substr(0, slash));
  if (CreateDirectoryA(p.c_str(), nullptr)) return true;
  attr = GetFileAttributesA(p.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool QV_ReadFileText(const std::string& path, std::string* text, bool* missing, DWORD maxBytes) {
  text->clear();
  if (missing) *missing = false;
  // Readers share delete access so that a writer may put a new version in place meanwhile;
  // Windows 95/98/Me reject that flag, so they are asked without it.
  TFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file && GetLastError() == ERROR_INVALID_PARAMETER)
    file.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD err = GetLastError();
    if (missing) *missing = err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
    return false;
  }
  DWORD high = 0;
  DWORD low = GetFileSize(file.get(), &high);
  if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low > maxBytes)
    return false;
  std::string data(low, '\0');
  DWORD got = 0;
  if (low > 0 && (!ReadFile(file.get(), &data[0], low, &got, nullptr) || got != low)) return false;
  text->swap(data);
  return true;
}

bool QV_ReplaceFileText(const std::string& path, const std::string& text) {
  // A read-only file is not to be changed; renaming over it would bypass that on some systems.
  DWORD attr = GetFileAttributesA(path.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  char suffix[32];
  wsprintfA(suffix, ".%lu.tmp", GetCurrentProcessId());
  const std::string temp = path + suffix;
  {
    TFileHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    bool ok = text.empty() || (WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()),
                                         &written, nullptr) &&
                               written == text.size());
    ok = ok && FlushFileBuffers(file.get());
    if (!ok) {
      file.reset();
      DeleteFileA(temp.c_str());
      return false;
    }
  }
  // Another program (a reader that does not share delete access, a virus scanner) may hold the
  // old file for a moment: a few short retries before the save counts as failed.
  DWORD err = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    err = GetLastError();
    if (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED && err != ERROR_LOCK_VIOLATION) break;
    Sleep(25);
  }
  // Windows 95/98/Me have no MoveFileEx: there the old file goes first, leaving a short window
  // in which only the complete temporary file exists.
  if (err == ERROR_CALL_NOT_IMPLEMENTED) {
    DeleteFileA(path.c_str());
    if (MoveFileA(temp.c_str(), path.c_str())) return true;
  }
  DeleteFileA(temp.c_str());
  return false;
}

// --- Web addresses and the default browser ----------------------------------------------------

std::string QV_URLEncode(const std::string& text) { return urltext::UrlEncode(text); }

std::string QV_HexEncode(const std::string& text) { return urltext::HexEncode(text); }

int32_t QV_VersionToInt(const std::string& text) {
  return static_cast<int32_t>(urltext::VersionToInt(text));
}

std::string QV_AppendQuery(const std::string& address, const std::string& query) {
  return urltext::AppendQuery(address, query);
}

void QV_ParseQuery(const std::string& address, std::vector<std::string>* pairs, bool decode) {
  urltext::TQueryPairs parsed;
  for (const std::string& line : *pairs) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) parsed.Set(line.substr(0, eq), line.substr(eq + 1));
  }
  urltext::ParseQuery(address, &parsed, decode);
  *pairs = parsed.Lines();
}

bool QV_OpenURL(HWND window, const std::string& url) {
  const std::string safe = urltext::EscapeForCommandLine(url);
  const std::string command =
      QV_ReadRegString(HKEY_CLASSES_ROOT, "HTTP\\shell\\open\\command", "", "");
  if (command.empty()) {
    ShellExecuteA(window, "open", safe.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return true;
  }
  std::string line = urltext::BrowserCommandLine(command, safe);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

// --- Processes --------------------------------------------------------------------------------

namespace {
std::string SlashesToBackslashes(std::string text) {
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}
}  // namespace

std::string QV_ExpandPath(const std::string& base, const std::string& path) {
  const std::string converted = SlashesToBackslashes(path);
  if (converted.find(':') != std::string::npos || base.compare(0, 2, "\\\\") == 0)
    return converted;
  if (base.size() >= 2 && base[1] == ':') {
    if (converted.size() > 1 && converted[0] == '\\') return base.substr(0, 2) + converted;
    std::string folder = SlashesToBackslashes(base);
    if (folder.back() != '\\') folder += '\\';
    return folder + converted;
  }
  return path;
}

bool QV_CreateProcessEx(const std::string& exe, const std::string& parameters, bool hide,
                        DWORD timeoutMs, bool wait) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;  // 68 bytes on 32-bit Windows
  if (hide) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
  }
  PROCESS_INFORMATION pi = {};
  BOOL created;
  if (!exe.empty()) {
    const std::string resolved = QV_ExpandPath(QV_GetAppPath(), exe);
    const size_t slash = resolved.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string() : resolved.substr(0, slash + 1);
    std::string line = "\"" + resolved + "\" " + parameters;
    created = CreateProcessA(resolved.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                             folder.empty() ? nullptr : folder.c_str(), &si, &pi);
  } else {
    std::string line = parameters;
    line.push_back('\0');  // CreateProcessA may write into the command line
    created = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  }
  if (!created) return false;
  TKernelHandle process(pi.hProcess);
  TKernelHandle thread(pi.hThread);
  if (wait) WaitForSingleObjectEx(process.get(), timeoutMs, TRUE);
  return true;
}

bool QV_CreateProcess(const std::string& exe, const std::string& parameters, bool hideAndWait,
                      DWORD timeoutMs) {
  return QV_CreateProcessEx(exe, parameters, hideAndWait, timeoutMs, hideAndWait);
}

// --- Single instance and foreground (start-up) ---------------------------------------------------

bool QV_CreateInstanceMutex(const std::string& name) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  DWORD err = GetLastError();
  if (mutex && err == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  // Held until the process ends: the system releases it then, which is what tells a later
  // start that this instance is gone.
  (void)mutex;
  return true;
}

bool QV_ForceForegroundWindow(HWND wnd) {
  if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
  ShowWindow(wnd, SW_SHOW);
  if (GetForegroundWindow() == wnd) return true;
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  bool lockedForeground =
      (v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion > 4) ||
      (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
       (v.dwMajorVersion > 4 || (v.dwMajorVersion == 4 && v.dwMinorVersion > 0)));
  if (lockedForeground) {
    DWORD windowThread = GetWindowThreadProcessId(wnd, nullptr);
    DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    if (AttachThreadInput(windowThread, foregroundThread, TRUE)) {
      BringWindowToTop(wnd);
      SetForegroundWindow(wnd);
      AttachThreadInput(windowThread, foregroundThread, FALSE);
    } else {
      DWORD timeout = 0;
      SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
      SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
      BringWindowToTop(wnd);
      SetForegroundWindow(wnd);
      SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<UINT_PTR>(timeout)),
                            SPIF_SENDCHANGE);
    }
  } else {
    BringWindowToTop(wnd);
    SetForegroundWindow(wnd);
  }
  return GetForegroundWindow() == wnd;
}
