#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/TraceChannel.h"

namespace qmtest {

namespace {
std::map<std::string, TChildMain>& Children() {
  static std::map<std::string, TChildMain> children;
  return children;
}
}  // namespace

TChildRegistration::TChildRegistration(const char* name, TChildMain fn) { Children()[name] = std::move(fn); }

TScratchDir::TScratchDir(const std::string& tag) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  static LONG counter = 0;
  char name[128];
  wsprintfA(name, "qm-%s-%lu-%ld-%lu\\", tag.c_str(), GetCurrentProcessId(),
            InterlockedIncrement(&counter), GetTickCount());
  path_ = std::string(temp) + name;
  RemoveTree(path_);
  CreateDirectoryA(path_.c_str(), nullptr);
}

TScratchDir::~TScratchDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
  std::string dir = path;
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string n = fd.cFileName;
      if (n == "." || n == "..") continue;
      std::string full = dir + "\\" + n;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(dir.c_str());
}

std::string ReadAll(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::string out;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(h);
  return out;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteAll(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot write " << path;
  DWORD written = 0;
  if (!text.empty()) WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}

std::string ProgramDir() {
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string p(buffer);
  return p.substr(0, p.find_last_of('\\') + 1);
}

std::string DistDir() {
  char buffer[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("QM_DIST_DIR", buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  std::string d(buffer, n);
  if (d.back() != '\\') d += '\\';
  return d;
}

static std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string q = "\"";
  for (char c : arg) {
    if (c == '"') q += '\\';
    q += c;
  }
  return q + "\"";
}

HANDLE StartProcess(const std::string& commandLine, const std::string& currentDir) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = commandLine;
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                      currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi))
    return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

HANDLE StartChild(const std::string& name, const std::vector<std::string>& args) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string cmd = Quote(exe) + " --qm-child=" + name;
  for (const std::string& a : args) cmd += " " + Quote(a);
  return StartProcess(cmd);
}

int WaitExit(HANDLE process, DWORD timeoutMs) {
  if (!process) return -1;
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process, 255);
    WaitForSingleObject(process, 5000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

int RunChild(const std::string& name, const std::vector<std::string>& args, DWORD timeoutMs) {
  HANDLE p = StartChild(name, args);
  int code = WaitExit(p, timeoutMs);
  if (p) CloseHandle(p);
  return code;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

// Runs a registered child function when asked; the test runner otherwise.
int TestMain(int argc, char** argv) {
  // A test program traces like the program, and once a trace test has registered a viewer, the
  // first line would start the real viewer, which outlives the test and holds its output open.
  // Tests of the viewer start switch it back on.
  GetDebugger()->AutoStartViewer = false;
  const std::string prefix = "--qm-child=";
  if (argc >= 2 && std::string(argv[1]).rfind(prefix, 0) == 0) {
    std::string name = std::string(argv[1]).substr(prefix.size());
    auto it = Children().find(name);
    if (it == Children().end()) return 254;
    std::vector<std::string> args(argv + 2, argv + argc);
    return it->second(args);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

}  // namespace qmtest
