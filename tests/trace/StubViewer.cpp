// Stands in for the viewer when the program starts one: appends its command line to the file
// named by QM_STUB_LOG, then after QM_STUB_DELAY milliseconds signals the start event unless
// QM_STUB_SILENT is set, and leaves a ".signalled" file beside the log when it did.
#include <windows.h>

#include <string>

#include "tools/QVTools.h"

static std::string Env(const char* name) {
  char buffer[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA(name, buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

static void Append(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}

int main() {
  std::string log = Env("QM_STUB_LOG");
  if (log.empty()) return 2;
  Append(log, std::string(GetCommandLineA()) + "\n");
  Sleep(static_cast<DWORD>(atoi(Env("QM_STUB_DELAY").c_str())));
  if (!Env("QM_STUB_SILENT").empty()) return 0;
  HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, QV_GlobalObjectName("TraceViewerStartEvent").c_str());
  if (!started) return 3;
  Append(log + ".signalled", "1");
  SetEvent(started);
  CloseHandle(started);
  return 0;
}
