// The viewer start on the first trace line, with a stub viewer that records its command line.
#include <gtest/gtest.h>

#include "platform/TraceChannel.h"
#include "support/TestSupport.h"

namespace {

const char kViewerKey[] = "Software\\Quillmoor\\TraceViewer";

void DeleteViewerValue() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kViewerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "TraceViewer");
    RegCloseKey(key);
  }
}

void SetViewerValue(const std::string& path) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kViewerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "TraceViewer", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>(path.size() + 1));
  RegCloseKey(key);
}

std::string StubPath() { return qmtest::ProgramDir() + "TraceViewerStub.exe"; }

// Runs the child `name` of this program in `dir`; returns its exit code and process id.
int RunChildIn(const std::string& dir, const std::string& name, const std::vector<std::string>& args,
               DWORD* pid) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string cmd = "\"" + std::string(exe) + "\" --qm-child=" + name;
  for (const std::string& a : args) cmd += " \"" + a + "\"";
  HANDLE child = qmtest::StartProcess(cmd, dir);
  if (!child) return -2;
  *pid = GetProcessId(child);
  int code = qmtest::WaitExit(child, 60000);
  CloseHandle(child);
  return code;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

class TStubEnvironment {
 public:
  TStubEnvironment(const std::string& log, int delayMs) {
    SetEnvironmentVariableA("QM_STUB_LOG", log.c_str());
    SetEnvironmentVariableA("QM_STUB_DELAY", std::to_string(delayMs).c_str());
  }
  ~TStubEnvironment() {
    SetEnvironmentVariableA("QM_STUB_LOG", nullptr);
    SetEnvironmentVariableA("QM_STUB_DELAY", nullptr);
  }
};

}  // namespace

// The program's debugger in debug mode: three lines; the first one starts the viewer. With a
// second argument, that stub is put into the current folder after the first line, to show that
// the start is not tried again. Exits with the first line's duration in tens of milliseconds.
QM_CHILD(launch) {
  TTracer* debugger = GetDebugger();
  debugger->OutputEnabled = true;
  debugger->AutoStartViewer = true;
  DWORD start = GetTickCount();
  debugger->Trace("Enter Debug Mode...");
  DWORD elapsed = GetTickCount() - start;
  if (args.size() >= 1) CopyFileA(args[0].c_str(), "TraceViewer.exe", FALSE);
  debugger->Trace("second");
  debugger->Trace("third");
  bool once = debugger->ViewerStarted && debugger->MessageCount == 3;
  FreeDebugger();
  return once ? static_cast<int>(elapsed / 10) : 1000;
}

TEST(TraceLaunch, StartsTraceViewerOnceAndAwaitsItsStartEvent) {
  DeleteViewerValue();
  qmtest::TScratchDir dir("launch");
  ASSERT_TRUE(CopyFileA(StubPath().c_str(), (dir / "TraceViewer.exe").c_str(), FALSE));
  TStubEnvironment env(dir / "cmd.txt", 1000);
  DWORD pid = 0;
  int tens = RunChildIn(dir.Path(), "launch", {}, &pid);
  EXPECT_EQ(Lines(qmtest::ReadAll(dir / "cmd.txt")),
            std::vector<std::string>{"TraceViewer.exe -a " + std::to_string(pid)});
  EXPECT_TRUE(qmtest::Exists(dir / "cmd.txt.signalled"));
  // The first line waited for the stub's start event (1000 ms), not for the full 5000 ms.
  EXPECT_GE(tens, 90);
  EXPECT_LT(tens, 450);
}

TEST(TraceLaunch, FailedStartIsNotRetriedAndNotAwaited) {
  DeleteViewerValue();
  qmtest::TScratchDir dir("nolaunch");
  TStubEnvironment env(dir / "cmd.txt", 0);
  DWORD pid = 0;
  int tens = RunChildIn(dir.Path(), "launch", {StubPath()}, &pid);
  EXPECT_GE(tens, 0);
  EXPECT_LT(tens, 200) << "no wait for a viewer that never started";
  EXPECT_TRUE(qmtest::Exists(dir / "TraceViewer.exe")) << "the stub was in place for later lines";
  EXPECT_FALSE(qmtest::Exists(dir / "cmd.txt")) << "the start was tried again";
}

TEST(TraceLaunch, RegisteredPathWithASpaceIsQuoted) {
  qmtest::TScratchDir dir("regpath");
  std::string folder = dir / "my viewer";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string viewer = folder + "\\TraceViewer.exe";
  ASSERT_TRUE(CopyFileA(StubPath().c_str(), viewer.c_str(), FALSE));
  SetViewerValue(viewer);
  EXPECT_EQ(TTraceMapFileChannel::ViewerCommand(), "\"" + viewer + "\" -a ");
  TStubEnvironment env(dir / "cmd.txt", 0);
  DWORD pid = 0;
  int tens = RunChildIn(qmtest::ProgramDir(), "launch", {}, &pid);
  DeleteViewerValue();
  EXPECT_LT(tens, 450);
  EXPECT_EQ(Lines(qmtest::ReadAll(dir / "cmd.txt")),
            std::vector<std::string>{"\"" + viewer + "\" -a " + std::to_string(pid)});
  EXPECT_EQ(TTraceMapFileChannel::ViewerCommand(), "TraceViewer.exe -a ");
}
