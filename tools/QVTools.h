// The QV_ tools: small Win32 helpers shared by every subsystem.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// --- Paths and files -------------------------------------------------------------------------

// Full path of the running executable (at most MAX_PATH characters).
std::string QV_GetModuleFileName();
// Long form of a path; the path unchanged when the system cannot give one.
std::string QV_GetLongPath(const std::string& path);
// Folder of the executable, long form, with its trailing backslash.
std::string QV_GetAppPath();
// Creates or overwrites the file with the text's bytes; does nothing when it cannot be created.
void QV_WriteTextFile(const std::string& text, const std::string& path);
// Whether the current user's token is granted `desiredAccess` on the file or folder.
bool QV_CheckAccess(DWORD desiredAccess, const std::string& path);
// Creation time of a file or folder as the file system stores it (UTC).
bool QV_GetFileCreationTime(const std::string& path, FILETIME* creation);

// --- Registry ---------------------------------------------------------------------------------

// Every registry read of the program opens its key here: for reading only (KEY_READ), since a
// standard user on Vista and later, or a limited XP account, is refused full access to most
// machine keys. `view` may add KEY_WOW64_32KEY or KEY_WOW64_64KEY (ignored by systems without
// WOW64). The key is never created; false when it does not open.
bool QV_OpenRegKeyForReading(HKEY root, const std::string& keyPath, REGSAM view, HKEY* key);
// Test seam: Wine does not enforce registry permissions, so a test watches the access each open
// asks for instead. Null to stop watching.
using TRegOpenObserver = void (*)(REGSAM access);
void QV_SetRegOpenObserver(TRegOpenObserver observer);
// Reads a string value of an existing key opened for reading; the key is never created.
// Any failure (missing key or value, refused open, wrong type) gives `defaultValue`.
std::string QV_ReadRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                             const std::string& defaultValue, REGSAM view = 0);
// Whether the key exists and opens for reading.
bool QV_RegKeyExists(HKEY root, const std::string& keyPath, REGSAM view = 0);
// "Shell Folders" value of the current user, or of the machine when the user has none.
std::string QV_GetShellFolder(const std::string& valueName);
std::string QV_GetCommonShellFolder(const std::string& valueName);
// A special folder of the shell (CSIDL_COOKIES, CSIDL_APPDATA...) without trailing backslash;
// empty when the shell has none. Asked through the item list, which every shell version has.
std::string QV_GetSpecialFolder(int csidl);
// A folder of the user's: the shell's folder list in the registry first ("AppData",
// "Local AppData"), which needs no shell library, then the shell itself.
std::string QV_GetUserFolder(const std::string& shellFoldersValue, int csidl);

// --- Named kernel objects ---------------------------------------------------------------------

// Whether the running system has the "Global\" kernel object namespace (Windows 2000 and later;
// Windows 95/98/Me and NT 4 refuse a backslash in an object name).
bool QV_HasGlobalNamespace();
// The same rule for a given platform identifier and major version.
bool QV_HasGlobalNamespaceFor(DWORD platformId, DWORD majorVersion);
// `name` with the "Global\" prefix where the system knows it, else `name` alone.
std::string QV_GlobalObjectName(const std::string& name);

// --- Helpers shared by the subsystems ---------------------------------------------------------

// Whether a file (not a folder) exists at the path, and whether a folder does.
bool QV_FileExists(const std::string& path);
bool QV_FolderExists(const std::string& path);
// Creates a folder with all its missing parents; true when it exists afterwards.
bool QV_ForceDirectories(const std::string& path);
// Reads a whole file; false (and `text` empty) when it cannot be opened or read, or holds more
// than `maxBytes`. A missing file sets `*missing` when given.
bool QV_ReadFileText(const std::string& path, std::string* text, bool* missing = nullptr,
                     DWORD maxBytes = 0x40000000);
// Writes the text to a temporary file beside `path`, flushes it and puts it in place in one
// step, so that a crash or a full disk mid-save leaves the old file whole. False on failure,
// with the old file untouched and no temporary file left behind.
bool QV_ReplaceFileText(const std::string& path, const std::string& text);

// --- Web addresses and the default browser ----------------------------------------------------
// Thin wrappers over tools/UrlText (platform-free); QV_OpenURL reads the registry and starts the
// browser.

// Form encoding of one query value ("a b/c" gives "a+b%2Fc").
std::string QV_URLEncode(const std::string& text);
// Each byte as two upper-case hexadecimal digits ("unknow" gives "756E6B6E6F77").
std::string QV_HexEncode(const std::string& text);
// "2.1.1.6" packed as 0x02010106; 0 unless the text before the first blank has four pieces.
int32_t QV_VersionToInt(const std::string& text);
// The address with the query joined by "?" or "&" as needed.
std::string QV_AppendQuery(const std::string& address, const std::string& query);
// Adds the address's query pairs to `pairs` ("name=value" lines; names without regard to case;
// a later item replaces an earlier one, an empty value removes the name). With `decode`, values
// are form-decoded and an undecodable item is skipped.
void QV_ParseQuery(const std::string& address, std::vector<std::string>* pairs, bool decode);
// Opens the address in the default web browser: the command registered under HKEY_CLASSES_ROOT
// "HTTP\shell\open\command", or the shell's "open" verb when none is registered. Double quotes
// and control characters of the address are percent-encoded first, so a hostile address cannot
// break out of its quoted argument. False when the browser could not be started.
bool QV_OpenURL(HWND window, const std::string& url);

// --- Processes --------------------------------------------------------------------------------

// Resolves `path` against the folder `base`: "/" becomes "\"; a path with a ":" or a base that
// begins with "\\" gives the converted path; against a base with a drive ("C:..."), a path that
// begins with "\" gets the base's drive and any other path is appended to the base (with a "\"
// between them); against any other base the path is returned unchanged.
std::string QV_ExpandPath(const std::string& base, const std::string& path);
// Starts `exe` (resolved against the executable's folder, run in its own folder) with the
// command line "\"exe\" parameters"; with an empty `exe`, `parameters` is the whole command
// line. `hide` starts it with SW_HIDE; `wait` waits up to `timeoutMs` (INFINITE, -1, for no
// limit) for it to end. True when the process was created.
bool QV_CreateProcessEx(const std::string& exe, const std::string& parameters, bool hide,
                        DWORD timeoutMs, bool wait);
// QV_CreateProcessEx with `hideAndWait` as both the hide and the wait flag.
bool QV_CreateProcess(const std::string& exe, const std::string& parameters, bool hideAndWait,
                      DWORD timeoutMs);

// --- Single instance and foreground (start-up) ---------------------------------------------------

// Creates the named mutex (not initially owned). False when another process created it first
// (the new handle is closed again); any other outcome, a failure included, gives true and the
// handle stays open for the life of the process.
bool QV_CreateInstanceMutex(const std::string& name);
// Restores and shows the window and makes it the foreground window, working around the
// foreground lock of newer systems; whether it is the foreground window afterwards.
bool QV_ForceForegroundWindow(HWND wnd);
