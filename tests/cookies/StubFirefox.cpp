// Stands in for the Firefox executable in the cookie tests: appends one line per start to the
// file named by QM_STUB_LOG (command line, own path, working folder and show state, separated by
// tabs) and exits. "--sleep=N" anywhere in the command line makes it wait N ms first, so a test
// can tell whether its starter waited.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main() {
  const char* line = GetCommandLineA();
  if (const char* sleep = std::strstr(line, "--sleep=")) Sleep(static_cast<DWORD>(std::atoi(sleep + 8)));

  char log[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("QM_STUB_LOG", log, MAX_PATH)) return 2;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  GetStartupInfoA(&si);
  const int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;

  std::string record = std::string(line) + "\t" + self + "\t" + cwd + "\t" + std::to_string(show) + "\n";
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
