// The TraceViewer.exe we ship, as a separate process: start-up protocol, log file, list, filter
// through its window, a second start, and a queue damaged behind its back.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "TestViewer.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"
#include "tools/traceviewer/ViewerWindow.h"

namespace {

const char kViewerKey[] = "Software\\Quillmoor\\TraceViewer";

std::string ViewerExe() {
  std::string dist = qmtest::DistDir();
  if (!dist.empty() && qmtest::Exists(dist + "TraceViewer.exe")) return dist + "TraceViewer.exe";
  // Run straight from the build tree: the viewer is built beside the tools.
  std::string built = qmtest::ProgramDir() + "..\\..\\tools\\traceviewer\\TraceViewer.exe";
  char full[MAX_PATH] = {};
  GetFullPathNameA(built.c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

struct TFindWindow {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindViewerWindow(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<TFindWindow*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (owner == f->pid && std::string(cls) == TViewerWindow::kClassName) {
    f->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND MainWindowOf(DWORD pid) {
  TFindWindow find = {pid, nullptr};
  EnumWindows(&FindViewerWindow, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

std::string TextOf(HWND hwnd) {
  char buffer[256] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

// A running viewer started the way the program starts it ("-a" with our process id), plus
// extra arguments; waits for its start event.
class TRunningViewer {
 public:
  explicit TRunningViewer(const std::string& extra) {
    TKernelHandle started(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerStartEvent").c_str()));
    process_ = qmtest::StartProcess("\"" + ViewerExe() + "\" -a " + std::to_string(GetCurrentProcessId()) + " " + extra);
    if (!process_) return;
    ready_ = WaitForSingleObject(started.get(), 15000) == WAIT_OBJECT_0;
    // The viewer registered itself for the program's viewer start; take that back out of the
    // prefix at once, or every other test program's first trace line would start a viewer
    // that outlives it.
    registered_ = QV_ReadRegString(HKEY_CURRENT_USER, kViewerKey, "TraceViewer", "");
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kViewerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "TraceViewer");
      RegCloseKey(key);
    }
    qmtest::WaitFor([this] { return (window_ = MainWindowOf(GetProcessId(process_))) != nullptr; }, 5000);
  }
  ~TRunningViewer() {
    if (process_) {
      Close();
      CloseHandle(process_);
    }
  }
  bool Ready() const { return ready_ && window_; }
  const std::string& Registered() const { return registered_; }
  HWND Window() const { return window_; }
  HANDLE Process() const { return process_; }
  int Close() {
    if (!process_) return -1;
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    int code = qmtest::WaitExit(process_, 15000);
    window_ = nullptr;
    return code;
  }

 private:
  HANDLE process_ = nullptr;
  HWND window_ = nullptr;
  bool ready_ = false;
  std::string registered_;
};

std::vector<std::string> LogLines(const std::string& path) {
  std::string text = qmtest::ReadAll(path);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The tag and text columns of our own lines in a viewer log.
std::vector<std::string> OwnTagsAndTexts(const std::string& path) {
  std::string pid = "\t" + std::to_string(GetCurrentProcessId()) + "\t";
  std::vector<std::string> out;
  for (const std::string& line : LogLines(path)) {
    if (line.find(pid) != 12) continue;
    size_t tag = line.find('\t', 12 + pid.size());
    out.push_back(line.substr(tag + 1));
  }
  return out;
}

std::unique_ptr<TTracer> MakeTracer() {
  auto tracer = std::make_unique<TTracer>(std::make_unique<TTraceMapFileChannel>(true));
  tracer->AutoStartViewer = false;
  return tracer;
}

}  // namespace

TEST(ShippedViewer, ShowsAndLogsLinesInOrder) {
  qmtest::TScratchDir dir("viewer");
  std::string log = dir / "trace log.txt";
  TRunningViewer viewer("-o \"" + log + "\"");
  ASSERT_TRUE(viewer.Ready());
  EXPECT_EQ(Lower(QV_GetLongPath(viewer.Registered())), Lower(QV_GetLongPath(ViewerExe())));

  auto tracer = MakeTracer();
  for (int i = 0; i < 300; ++i) tracer->TraceTagged("line " + std::to_string(i), i % 2 ? "CLUpdate" : "");
  tracer->Trace("tab\there, new\r\nline");
  EXPECT_EQ(tracer->SentCount, 301);
  HWND list = GetDlgItem(viewer.Window(), TViewerWindow::IDC_LINES);
  EXPECT_TRUE(qmtest::WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= 301; }, 10000));
  // Test programs running beside this one may trace into the same viewer: the status counts
  // every line the list holds.
  EXPECT_TRUE(qmtest::WaitFor(
      [&] {
        const LRESULT shown = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        return shown >= 301 &&
               TextOf(GetDlgItem(viewer.Window(), TViewerWindow::IDC_STATUS)) == std::to_string(shown) + " lines";
      },
      5000));
  tracer.reset();
  EXPECT_EQ(viewer.Close(), 0);

  std::vector<std::string> got = OwnTagsAndTexts(log);
  ASSERT_EQ(got.size(), 301u);
  for (int i = 0; i < 300; ++i)
    EXPECT_EQ(got[i], std::string(i % 2 ? "CLUpdate" : "") + "\tline " + std::to_string(i));
  EXPECT_EQ(got[300], "\ttab here, new  line") << "one record, one log line";
  std::string first = LogLines(log)[0];
  EXPECT_EQ(first[2], ':');
  EXPECT_EQ(first[8], '.');
  EXPECT_EQ(first.find('\t'), 12u) << "hh:mm:ss.mmm";
}

TEST(ShippedViewer, FilterSetInItsWindowReachesTheProgram) {
  qmtest::TScratchDir dir("vfilter");
  std::string log = dir / "log.txt";
  TRunningViewer viewer("-o \"" + log + "\"");
  ASSERT_TRUE(viewer.Ready());
  HWND w = viewer.Window();
  SendMessageA(GetDlgItem(w, TViewerWindow::IDC_FILTER), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(GetDlgItem(w, TViewerWindow::IDC_TAG), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("clupdate"));
  SendMessageA(GetDlgItem(w, TViewerWindow::IDC_APPLY), BM_CLICK, 0, 0);
  auto tracer = MakeTracer();
  tracer->TraceTagged("kept", "CLUpdate");
  tracer->TraceTagged("dropped", "CLSettings");
  tracer->Trace("dropped too");
  EXPECT_EQ(tracer->Filter().Tag, "clupdate");
  EXPECT_TRUE(tracer->Filter().Enabled);

  // Switched off again in the window: everything passes.
  SendMessageA(GetDlgItem(w, TViewerWindow::IDC_FILTER), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageA(GetDlgItem(w, TViewerWindow::IDC_APPLY), BM_CLICK, 0, 0);
  tracer->TraceTagged("all again", "CLSettings");
  tracer.reset();
  EXPECT_EQ(viewer.Close(), 0);
  EXPECT_EQ(OwnTagsAndTexts(log), (std::vector<std::string>{"CLUpdate\tkept", "CLSettin\tall again"}));
}

// A mapping of that name that another process created reserved and never committed: the viewer
// refuses it (and tells the program at once) instead of reading its header.
TEST(ShippedViewer, RefusesAReservedMapping) {
  TReservedMapping reserved(TReservedMapping::TKind::SignedReserved);
  ASSERT_TRUE(reserved.Ok());
  qmtest::TScratchDir dir("viewer-reserved");
  TKernelHandle started(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerStartEvent").c_str()));
  HANDLE viewer = qmtest::StartProcess("\"" + ViewerExe() + "\" -a " + std::to_string(GetCurrentProcessId()) +
                                       " -o \"" + dir / "log.txt" + "\"");
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(WaitForSingleObject(started.get(), 15000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(qmtest::WaitExit(viewer, 15000), 1);
  CloseHandle(viewer);
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kViewerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "TraceViewer");
    RegCloseKey(key);
  }
}

TEST(ShippedViewer, SecondStartOnlySignalsAndLeaves) {
  TRunningViewer first("");
  ASSERT_TRUE(first.Ready());
  TKernelHandle started(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerStartEvent").c_str()));
  HANDLE second = qmtest::StartProcess("\"" + ViewerExe() + "\" -a " + std::to_string(GetCurrentProcessId()));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(WaitForSingleObject(started.get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(qmtest::WaitExit(second, 10000), 0);
  CloseHandle(second);
  EXPECT_EQ(WaitForSingleObject(first.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first runs on";
  EXPECT_EQ(first.Close(), 0);
}

TEST(ShippedViewer, DamagedQueueIsEmptiedAndReadingGoesOn) {
  qmtest::TScratchDir dir("vdamage");
  std::string log = dir / "log.txt";
  TRunningViewer viewer("-o \"" + log + "\"");
  ASSERT_TRUE(viewer.Ready());
  {
    // Written behind its back: records whose sizes make no sense, and a tail outside the queue.
    TKernelHandle map(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, QV_GlobalObjectName("TraceViewerMap").c_str()));
    ASSERT_TRUE(map);
    TMappedView view(MapViewOfFile(map.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(view);
    uint8_t* header = static_cast<uint8_t*>(view.get());
    TKernelHandle mutex(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str()));
    TKernelHandle queued(OpenEventA(EVENT_MODIFY_STATE, FALSE, QV_GlobalObjectName("TraceViewerQueueEvent").c_str()));
    uint8_t* queue = header + TraceGetU32(header + kTrhQueueOffset);
    const uint32_t spoilt[][3] = {{0, 200, 0}, {0, 200, 0xFFFFFFFF}, {0, 0xFFFFFFF0, 60}, {500, 100, 60}};
    for (const auto& s : spoilt) {
      {
        TMutexLock lock(mutex.get(), 5000);
        TracePutU32(queue + s[0], s[2]);
        TracePutU32(header + kTrhFront, s[0]);
        TracePutU32(header + kTrhTail, s[1]);
        TracePutU32(header + kTrhQueueOffset, 0x7FFFFFFF);  // and a queue offset it never set
      }
      SetEvent(queued.get());
      Sleep(300);
    }
    EXPECT_EQ(TraceGetU32(header + kTrhQueueOffset), kTraceViewerQueueOffset) << "header repaired";
  }
  EXPECT_EQ(WaitForSingleObject(viewer.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
  auto tracer = MakeTracer();
  tracer->Trace("after the damage");
  EXPECT_TRUE(qmtest::WaitFor(
      [&] { return TextOf(GetDlgItem(viewer.Window(), TViewerWindow::IDC_STATUS)).find("damaged") != std::string::npos; },
      5000));
  tracer.reset();
  EXPECT_EQ(viewer.Close(), 0);
  EXPECT_EQ(OwnTagsAndTexts(log), std::vector<std::string>{"\tafter the damage"});
}

namespace {

// Makes Wine report Windows 98 to programs of one file name while it lives.
class TWindows98For {
 public:
  explicit TWindows98For(const std::string& exeName)
      : key_("Software\\Wine\\AppDefaults\\" + exeName) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
      RegCloseKey(key);
    }
  }
  ~TWindows98For() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

 private:
  std::string key_;
};

}  // namespace

// Windows 95/98/Me refuse "Global\" in object names: there the program and the viewer both use
// the bare names, and still meet.
TEST(ShippedViewer, ProgramAndViewerMeetOnWindows98) {
  qmtest::TScratchDir dir("v98");
  std::string viewerExe = dir / "TraceViewer.exe";
  std::string programExe = dir / "trace98.exe";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ASSERT_TRUE(CopyFileA(ViewerExe().c_str(), viewerExe.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(self, programExe.c_str(), FALSE));
  TWindows98For viewer98("TraceViewer.exe");
  TWindows98For program98("trace98.exe");
  std::string log = dir / "log.txt";
  // The viewer signals the bare start event name on Windows 98.
  TKernelHandle started(CreateEventA(nullptr, FALSE, FALSE, "TraceViewerStartEvent"));
  HANDLE viewer = qmtest::StartProcess("\"" + viewerExe + "\" -a " + std::to_string(GetCurrentProcessId()) +
                                       " -o \"" + log + "\"");
  ASSERT_NE(viewer, nullptr);
  bool ready = WaitForSingleObject(started.get(), 15000) == WAIT_OBJECT_0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kViewerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "TraceViewer");
    RegCloseKey(key);
  }
  EXPECT_TRUE(ready);
  HANDLE program = qmtest::StartProcess("\"" + programExe + "\" --qm-child=trace_lines 3");
  ASSERT_NE(program, nullptr);
  DWORD programPid = GetProcessId(program);
  EXPECT_EQ(qmtest::WaitExit(program, 30000), 1) << "the channel stayed open";
  CloseHandle(program);
  HWND window = nullptr;
  qmtest::WaitFor([&] { return (window = MainWindowOf(GetProcessId(viewer))) != nullptr; }, 5000);
  HWND list = GetDlgItem(window, TViewerWindow::IDC_LINES);
  EXPECT_TRUE(qmtest::WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= 3; }, 5000));
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(qmtest::WaitExit(viewer, 15000), 0);
  CloseHandle(viewer);
  std::string pid = "\t" + std::to_string(programPid) + "\t";
  int lines = 0;
  for (const std::string& line : LogLines(log))
    if (line.find(pid) == 12 && line.find("\thostile ") != std::string::npos) ++lines;
  EXPECT_EQ(lines, 3);
}
