// The program's start next to a bare Win32 program that only opens one window: time from
// CreateProcess to the main window shown, private memory once it is shown, and the size of the
// program file. The two are started alternately, so that a busy moment of the machine hits both,
// and the best start of each is kept.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <string>

#include "Bench.h"

namespace {

struct TStart {
  double seconds = -1;
  double privateMb = 0;
};

std::string ProgramDir() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path, n);
  return p.substr(0, p.find_last_of('\\') + 1);
}

double FileMb(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return 0;
  return (static_cast<double>(a.nFileSizeHigh) * 4294967296.0 + a.nFileSizeLow) / 1e6;
}

HWND ShownWindow(const char* cls, DWORD pid) {
  for (HWND w = FindWindowExA(nullptr, nullptr, cls, nullptr); w; w = FindWindowExA(nullptr, w, cls, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

// Starts `exe` from `dir`, waits up to 30 s for its window of class `cls`, measures, closes it.
TStart StartOnce(const std::string& exe, const std::string& dir, const char* cls) {
  TStart r;
  std::string cmd = "\"" + exe + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  const double t0 = QmBenchNow();
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return r;
  HWND w = nullptr;
  while (!w && QmBenchNow() - t0 < 30) {
    w = ShownWindow(cls, pi.dwProcessId);
    if (!w) Sleep(1);
  }
  if (w) {
    r.seconds = QmBenchNow() - t0;
    Sleep(500);  // let the start finish its work (pictures, the skin) before memory is read
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    // PrivateUsage is the private commit from Windows XP on; older systems (and Wine, which
    // leaves it zero) give the same figure as PagefileUsage.
    if (GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc))
      r.privateMb = (pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage) / 1e6;
    PostMessageA(w, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return r;
}

}  // namespace

int main() {
  char dist[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("QM_DIST_DIR", dist, MAX_PATH)) return 1;
  std::string distDir = dist;
  if (distDir.back() != '\\') distDir += '\\';
  const std::string program = distDir + "Quillmoor.exe";
  const std::string bare = ProgramDir() + "bare_window.exe";

  // The best start of each, and the largest private memory seen.
  TStart best, bestBare;
  for (int i = 0; i < 5; ++i) {
    TStart a = StartOnce(program, distDir, "TfrmMain");
    TStart b = StartOnce(bare, ProgramDir(), "QmBareWindow");
    if (a.seconds < 0 || b.seconds < 0) return 1;
    if (best.seconds < 0 || a.seconds < best.seconds) best.seconds = a.seconds;
    if (bestBare.seconds < 0 || b.seconds < bestBare.seconds) bestBare.seconds = b.seconds;
    best.privateMb = std::max(best.privateMb, a.privateMb);
    bestBare.privateMb = std::max(bestBare.privateMb, b.privateMb);
  }
  QmBenchRow("start to main window shown (ms)", QmBenchFmt("%.0f", best.seconds * 1000),
             QmBenchFmt("%.0f (bare window)", bestBare.seconds * 1000), best.seconds / bestBare.seconds, "<= 1.5");
  QmBenchRow("private memory after start (MB)", QmBenchFmt("%.1f", best.privateMb),
             QmBenchFmt("%.1f (bare window)", bestBare.privateMb),
             bestBare.privateMb > 0 ? best.privateMb / bestBare.privateMb : 0, "<= 2");
  QmBenchRow("Quillmoor.exe size (MB)", QmBenchFmt("%.2f", FileMb(program)),
             QmBenchFmt("%.2f (bare window)", FileMb(bare)), 0, "-");
  return 0;
}
