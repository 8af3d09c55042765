// Trace throughput into the shipped viewer's drain loop (run in a second process), next to the
// limit of building and copying the same records into the queue under the mutex (the baseline
// column), and the cost of a line with output switched off. The diagnostic rows time the
// kernel-object calls that every line makes, which bound the rate under Wine.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/TraceChannel.h"
#include "platform/TraceQueue.h"
#include "tools/QVTools.h"
#include "tools/traceviewer/ViewerHost.h"

#include "Bench.h"

namespace {

const char kStopEvent[] = "QmTraceBenchStop";
const std::string kLine = "Setting Not Found :Update.Days and some more text to trace";

void Row(const char* name, double measured, double baseline, const char* goal) {
  QmBenchRow(name, QmBenchFmt("%.0f", measured), baseline > 0 ? QmBenchFmt("%.0f", baseline) : "",
             baseline > 0 ? measured / baseline : 0.0, goal);
}

int Drain() {
  TViewerHost host;
  std::string error;
  if (!host.Create(&error)) return 1;
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, kStopEvent);
  if (!host.Start(nullptr)) return 1;
  WaitForSingleObject(stop, 120000);
  host.Stop();
  return 0;
}

// Builds and copies records into the queue under the mutex: what any channel must at least do.
double LimitLinesPerSecond(int lines) {
  HANDLE map = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, QV_GlobalObjectName("TraceViewerMap").c_str());
  uint8_t* header = static_cast<uint8_t*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str());
  TTraceGeometry g;
  if (!header || !mutex || !TraceCheckHeader(header, kTraceViewerQueueOffset + kTraceViewerQueueSize, &g)) return 0;
  double start = QmBenchNow();
  for (int i = 0; i < lines; ++i) {
    uint8_t record[kTraceMaxRecord] = {};
    uint32_t size = TraceBuildRecord(record, GetCurrentProcessId(), GetCurrentThreadId(), kLine, "",
                                     TTracer::NowStamp());
    WaitForSingleObject(mutex, 1000);
    TTraceQueuePos pos;
    pos.front = TraceGetU32(header + kTrhFront);
    pos.tail = TraceGetU32(header + kTrhTail);
    TraceQueuePush(header + g.queueOffset, g.queueSize, pos, record, size);
    TracePutU32(header + kTrhTail, pos.tail);
    if (pos.frontMoved) TracePutU32(header + kTrhFront, pos.front);
    ReleaseMutex(mutex);
  }
  double s = (QmBenchNow() - start);
  UnmapViewOfFile(header);
  CloseHandle(mutex);
  CloseHandle(map);
  return lines / s;
}

double TracerLinesPerSecond(bool waitForViewer, int lines) {
  TTracer tracer(std::make_unique<TTraceMapFileChannel>(waitForViewer));
  tracer.AutoStartViewer = false;
  tracer.Trace("warm-up");
  double start = QmBenchNow();
  for (int i = 0; i < lines; ++i) tracer.Trace(kLine);
  return lines / (QmBenchNow() - start);
}

struct TThreadArgs {
  TTracer* tracer;
  int lines;
};

DWORD WINAPI TraceThread(LPVOID p) {
  auto* a = static_cast<TThreadArgs*>(p);
  for (int i = 0; i < a->lines; ++i) a->tracer->Trace(kLine);
  return 0;
}

// Four threads sharing one debugger, as the program's worker threads do.
double FourThreadLinesPerSecond(bool waitForViewer, int linesEach) {
  TTracer tracer(std::make_unique<TTraceMapFileChannel>(waitForViewer));
  tracer.AutoStartViewer = false;
  tracer.Trace("warm-up");
  TThreadArgs args = {&tracer, linesEach};
  HANDLE threads[4];
  double start = QmBenchNow();
  for (HANDLE& t : threads) t = CreateThread(nullptr, 0, &TraceThread, &args, 0, nullptr);
  WaitForMultipleObjects(4, threads, TRUE, INFINITE);
  double s = (QmBenchNow() - start);
  for (HANDLE t : threads) CloseHandle(t);
  return 4.0 * linesEach / s;
}

double OffNanoseconds(int lines) {
  TTracer tracer(std::make_unique<TTraceMapFileChannel>(true));
  tracer.AutoStartViewer = false;
  tracer.OutputEnabled = false;
  tracer.Trace("warm-up");
  double start = QmBenchNow();
  for (int i = 0; i < lines; ++i) tracer.TraceTagged(kLine, "CLSettings");
  return (QmBenchNow() - start) * 1e9 / lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--drain") return Drain();
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, kStopEvent);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + std::string(exe) + "\" --drain";
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
  HANDLE map = nullptr;
  for (int i = 0; i < 200 && !map; ++i) {
    Sleep(50);
    map = OpenFileMappingA(FILE_MAP_READ, FALSE, QV_GlobalObjectName("TraceViewerMap").c_str());
  }
  if (!map) return 1;
  CloseHandle(map);
  Sleep(200);  // the drain thread is up

  double limit = LimitLinesPerSecond(50000);
  double acked = TracerLinesPerSecond(true, 5000);
  double unacked = TracerLinesPerSecond(false, 20000);
  Row("trace lines/s, 1 thread, acked (vs limit)", acked, limit, ">=50000");
  Row("trace lines/s, 1 thread, no ack (vs limit)", unacked, limit, ">=50000");
  Row("trace lines/s, 4 threads, acked (vs limit)", FourThreadLinesPerSecond(true, 1500), limit, ">=50000");
  Row("trace lines/s, 4 threads, no ack (vs limit)", FourThreadLinesPerSecond(false, 5000), limit, ">=50000");
  {
    double start = QmBenchNow();
    double sum = 0;
    for (int i = 0; i < 100000; ++i) sum += TTracer::NowStamp();
    Row("trace ns per stamp (diagnostic)", (QmBenchNow() - start) * 1e9 / 100000 + sum * 0, 0, "-");
    HANDLE m = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str());
    start = QmBenchNow();
    for (int i = 0; i < 20000; ++i) {
      HANDLE h = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str());
      CloseHandle(h);
    }
    Row("trace ns per mutex open+close (diagnostic)", (QmBenchNow() - start) * 1e9 / 20000, 0, "-");
    start = QmBenchNow();
    for (int i = 0; i < 20000; ++i) {
      WaitForSingleObject(m, 1000);
      ReleaseMutex(m);
    }
    Row("trace ns per mutex wait+release (diagnostic)", (QmBenchNow() - start) * 1e9 / 20000, 0, "-");
    CloseHandle(m);
  }
  double off = OffNanoseconds(2000000);
  Row("trace ns per line, output off", off, 0, "<100");
  SetEvent(stop);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return 0;
}
