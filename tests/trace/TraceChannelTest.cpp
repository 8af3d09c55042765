// The debugger and its shared-memory channel against a test viewer: record bytes, the viewer's
// filter, the queue's wrap and drop rules, hostile header values, a late viewer and many
// threads tracing at once from another process.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <thread>

#include "TestViewer.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

namespace {

std::unique_ptr<TTracer> MakeTracer(bool waitForViewer = false) {
  auto tracer = std::make_unique<TTracer>(std::make_unique<TTraceMapFileChannel>(waitForViewer));
  tracer->AutoStartViewer = false;
  return tracer;
}

TTraceMapFileChannel* MapChannel(TTracer& tracer) {
  return static_cast<TTraceMapFileChannel*>(tracer.Channel());
}

std::vector<std::string> Texts(const std::vector<TTraceRecord>& records) {
  std::vector<std::string> out;
  for (const TTraceRecord& r : records) out.push_back(r.text);
  return out;
}

std::vector<TTraceRecord> OwnRecords(TTestViewer& viewer) {
  return OfProcess(viewer.Drain(), GetCurrentProcessId());
}

}  // namespace

// Traces the given number of lines with a channel of its own; exits 0 when the channel ended up
// closed, 1 when it is still open.
QM_CHILD(trace_lines) {
  int count = args.empty() ? 1 : std::atoi(args[0].c_str());
  auto tracer = MakeTracer();
  for (int i = 0; i < count; ++i) tracer->Trace("hostile " + std::to_string(i));
  return MapChannel(*tracer)->IsOpen() ? 1 : 0;
}

// Four threads sharing one debugger, args: lines per thread, "ack" to wait for the viewer's
// acknowledgement after each line as the program does.
QM_CHILD(four_threads) {
  int lines = std::atoi(args.at(0).c_str());
  auto tracer = MakeTracer(args.size() > 1 && args[1] == "ack");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&tracer, t, lines] {
      for (int i = 0; i < lines; ++i) tracer->Trace("t" + std::to_string(t) + " " + std::to_string(i));
    });
  for (std::thread& th : threads) th.join();
  return tracer->SentCount == 4 * lines ? 0 : 3;
}

TEST(TraceChannel, RecordsArriveByteExact) {
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  auto tracer = MakeTracer();
  tracer->TraceTagged("hello", "CLSettings");
  double now = TTracer::NowStamp();
  // The record's first bytes, straight from the queue.
  const uint8_t* q = viewer.Queue();
  EXPECT_EQ(TraceGetU32(q + 0), 53u);
  EXPECT_EQ(TraceGetU32(q + 4), 3u) << "level";
  EXPECT_EQ(TraceGetU32(q + 8), 0u) << "indent";
  EXPECT_EQ(TraceGetU32(q + 12), GetCurrentProcessId());
  EXPECT_EQ(TraceGetU32(q + 16), GetCurrentThreadId());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(q) + 20, 8), "CLSettin");
  EXPECT_EQ(TraceGetU32(q + 28), 0u) << "kind";
  EXPECT_EQ(TraceGetU32(q + 32), 0u) << "interval";
  EXPECT_EQ(TraceGetU32(q + 36), 1u) << "stamp kind";
  double stamp;
  std::memcpy(&stamp, q + 40, 8);
  EXPECT_LT(std::fabs(stamp - now) * 86400.0, 1.0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(q) + 48, 5), "hello");
  EXPECT_EQ(viewer.Get(kTrhTail), 53u);

  tracer->Trace(std::string(5000, 'L'));
  tracer->Trace("");
  DWORD otherThread = 0;
  std::thread([&] {
    otherThread = GetCurrentThreadId();
    tracer->TraceTagged("from a thread", "abc");
  }).join();

  std::vector<TTraceRecord> got = OwnRecords(viewer);
  ASSERT_EQ(got.size(), 3u) << "an empty line is not sent";
  EXPECT_EQ(got[1].text, std::string(4096, 'L'));
  EXPECT_EQ(got[1].tag, "");
  EXPECT_EQ(got[2].thread, otherThread);
  EXPECT_EQ(got[2].tag, "abc");
  EXPECT_EQ(tracer->MessageCount, 3) << "an empty line is not counted";
  EXPECT_EQ(tracer->SentCount, 3);
  EXPECT_EQ(tracer->ThreadIndent(otherThread), 0);
  EXPECT_TRUE(viewer.GuardIntact());
}

TEST(TraceChannel, ViewerFilterIsHonoured) {
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  auto tracer = MakeTracer();
  auto sendAll = [&] {
    tracer->TraceTagged("update", "CLUpdate");
    tracer->TraceTagged("settings", "CLSettings");
    tracer->Trace("untagged");
    tracer->TraceTagged("update again", "clUPDATE");
    return Texts(OwnRecords(viewer));
  };
  using V = std::vector<std::string>;
  TTraceFilterFields f;
  f.enabled = true;
  f.tag = "clupdate";
  TraceWriteFilter(viewer.Header(), f);
  EXPECT_EQ(sendAll(), (V{"update", "update again"}));
  EXPECT_EQ(viewer.Get(kTrhFilterChanged), 0u) << "the program clears the changed field";
  EXPECT_EQ(tracer->Filter().Tag, "clupdate");

  f.tag = "CLSettin";  // the first 8 characters of a 10-character tag
  TraceWriteFilter(viewer.Header(), f);
  EXPECT_EQ(sendAll(), V{});

  f.tag.clear();
  f.level = 2;
  TraceWriteFilter(viewer.Header(), f);
  EXPECT_EQ(sendAll(), V{}) << "level below 3";

  f.level = 3;
  f.kinds = 0x0006;
  TraceWriteFilter(viewer.Header(), f);
  EXPECT_EQ(sendAll(), V{}) << "kinds without bit 0";

  f.kinds = 0x0001;
  TraceWriteFilter(viewer.Header(), f);
  EXPECT_EQ(sendAll().size(), 4u);

  f.enabled = false;
  TraceWriteFilter(viewer.Header(), f);
  EXPECT_EQ(sendAll().size(), 4u) << "filter switched off again";
  EXPECT_EQ(tracer->MessageCount, 24);
}

TEST(TraceChannel, QueueWrapsAndDropsOldest) {
  TTestViewer viewer(600);
  ASSERT_TRUE(viewer.Ok());
  auto tracer = MakeTracer();
  const std::string ten = "0123456789";  // a 58-byte record

  viewer.Put(kTrhFront, 600 - 58);
  viewer.Put(kTrhTail, 600 - 58);
  tracer->Trace(ten);
  EXPECT_EQ(viewer.Get(kTrhTail), 0u) << "a record ending at the queue end leaves tail 0";
  EXPECT_EQ(viewer.Get(kTrhFront), 600u - 58u);
  EXPECT_EQ(Texts(OwnRecords(viewer)), std::vector<std::string>{ten});

  // Fewer than 4 bytes at tail: the size field itself continues at the queue start.
  viewer.Put(kTrhFront, 598);
  viewer.Put(kTrhTail, 598);
  tracer->Trace(ten);
  EXPECT_EQ(viewer.Get(kTrhTail), 56u);
  EXPECT_EQ(viewer.Queue()[598], 58);
  EXPECT_EQ(viewer.Queue()[599], 0);
  EXPECT_EQ(viewer.Queue()[0], 0);
  EXPECT_EQ(viewer.Queue()[1], 0);
  EXPECT_EQ(viewer.Queue()[2], 3) << "level follows the size field";
  EXPECT_EQ(Texts(OwnRecords(viewer)), std::vector<std::string>{ten});
  EXPECT_TRUE(viewer.GuardIntact()) << "nothing written past the queue";

  // Room left: front stays where the viewer put it. Each line is a 58-byte record; the queue
  // holds ten of them (a record may not end on front).
  auto line = [](int i) { return "line " + std::to_string(10 + i) + "..."; };
  viewer.Put(kTrhFront, 100);
  viewer.Put(kTrhTail, 100);
  for (int i = 0; i < 10; ++i) tracer->Trace(line(i));
  EXPECT_EQ(viewer.Get(kTrhFront), 100u);
  EXPECT_EQ(viewer.Get(kTrhTail), (100u + 10 * 58) % 600);
  // Full: whole oldest records go, front is written back, the newest are all there.
  for (int i = 10; i < 25; ++i) tracer->Trace(line(i));
  uint32_t front = viewer.Get(kTrhFront);
  EXPECT_EQ(front, (100u + 15 * 58) % 600) << "front moves by whole records";
  std::vector<std::string> texts = Texts(OwnRecords(viewer));
  ASSERT_EQ(texts.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(texts[i], line(15 + i));
  EXPECT_EQ(tracer->SentCount, 27);
  EXPECT_TRUE(viewer.GuardIntact());
}

// Each case runs in a child process: a hang or an access violation shows as a failed child
// instead of taking the test program down.
TEST(TraceChannel, HostileHeaderClosesTheChannel) {
  TTestViewer viewer(4096, 64, 4096);
  ASSERT_TRUE(viewer.Ok());
  struct TCase {
    const char* name;
    std::function<void()> spoil;
  };
  const uint32_t qs = viewer.QueueSize();
  auto sizeAtFront = [&](uint32_t front, uint32_t size) {
    // Writing at tail 0 would reach front (below any record size), so the drop loop reads it.
    viewer.Put(kTrhFront, front);
    viewer.Put(kTrhTail, 0);
    TracePutU32(viewer.Queue() + front, size);
  };
  std::vector<TCase> cases = {
      {"queue offset beyond map size", [&] { viewer.Put(kTrhQueueOffset, viewer.MapSize() + 64); }},
      {"map size beyond the mapping", [&] { viewer.Put(kTrhMapSize, 64u << 20); }},
      {"wrong magic", [&] { viewer.Put(kTrhMagic, 0x12345678); }},
      {"record size 0 at front", [&] { sizeAtFront(20, 0); }},
      {"record size beyond the queue", [&] { sizeAtFront(20, 0x7FFFFFF0); }},
      {"front outside the queue", [&] { viewer.Put(kTrhFront, qs + 8); }},
      {"tail outside the queue", [&] { viewer.Put(kTrhTail, 0xFFFFFFF0); }},
  };
  for (const TCase& c : cases) {
    TraceInitHeader(viewer.Header(), viewer.MapSize(), 64);
    std::memset(viewer.Queue(), 0, qs);
    c.spoil();
    std::vector<uint8_t> before(viewer.Header(), viewer.Header() + viewer.MapSize());
    EXPECT_EQ(qmtest::RunChild("trace_lines", {"3"}, 30000), 0) << c.name;
    EXPECT_EQ(std::memcmp(before.data(), viewer.Header(), before.size()), 0) << c.name;
    EXPECT_TRUE(viewer.GuardIntact()) << c.name;
  }
  // Once the header is sound again the next line gets through.
  TraceInitHeader(viewer.Header(), viewer.MapSize(), 64);
  auto tracer = MakeTracer();
  viewer.Put(kTrhFront, 20);
  viewer.Put(kTrhTail, 0);
  TracePutU32(viewer.Queue() + 20, 0);
  tracer->Trace("refused");
  EXPECT_FALSE(MapChannel(*tracer)->IsOpen());
  viewer.Put(kTrhFront, 0);
  tracer->Trace("accepted");
  EXPECT_TRUE(MapChannel(*tracer)->IsOpen());
  EXPECT_EQ(Texts(OwnRecords(viewer)), std::vector<std::string>{"accepted"});
}

// Another process may create the viewer's mapping reserved and never committed, or commit only
// the header's page: the tracing process uses nothing beyond what is committed, closes its
// channel and goes on.
TEST(TraceChannel, AReservedMappingClosesTheChannel) {
  using TKind = TReservedMapping::TKind;
  for (TKind kind : {TKind::Bare, TKind::SignedReserved, TKind::HeaderCommitted}) {
    TReservedMapping reserved(kind);
    ASSERT_TRUE(reserved.Ok());
    EXPECT_EQ(qmtest::RunChild("trace_lines", {"3"}, 30000), 0) << "kind " << static_cast<int>(kind);
  }
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  auto tracer = MakeTracer();
  tracer->Trace("committed again");
  EXPECT_EQ(Texts(OwnRecords(viewer)), std::vector<std::string>{"committed again"});
}

// A viewer that keeps writing random values into the header and the queue while another process
// traces: the tracing process neither crashes nor hangs, and once the header is sound again a
// new line gets through.
TEST(TraceChannel, ViewerScribblingWhileTracingHarmsNothing) {
  TTestViewer viewer(4096, 64, 4096);
  ASSERT_TRUE(viewer.Ok());
  const uint32_t qs = viewer.QueueSize();
  std::atomic<bool> stop{false};
  std::thread scribbler([&] {
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    const uint32_t fields[] = {kTrhMagic, kTrhMapSize, kTrhQueueOffset, kTrhFront, kTrhTail,
                               kTrhFilterChanged, kTrhFilterEnabled, kTrhFilterLevel, kTrhFilterTag};
    const uint32_t telling[] = {0, 1, 3, qs - 1, qs, qs + 1, viewer.MapSize(), viewer.MapSize() + 4096,
                                0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (uint32_t round = 0; !stop; ++round) {
      if (round % 64 == 0) TraceInitHeader(viewer.Header(), viewer.MapSize(), 64);  // let lines in now and then
      const uint32_t r = next();
      const uint32_t value = (r & 1) ? next() : telling[(r >> 1) % (sizeof telling / sizeof telling[0])];
      if ((r >> 8) % 4 == 0)
        TracePutU32(viewer.Queue() + (next() % (qs - 4)), value);
      else
        viewer.Put(fields[(r >> 8) % (sizeof fields / sizeof fields[0])], value);
      if (round % 16 == 0) Sleep(0);
    }
  });
  const int code = qmtest::RunChild("trace_lines", {"5000"}, 120000);
  stop = true;
  scribbler.join();
  EXPECT_TRUE(code == 0 || code == 1) << "the tracing process ended with " << code;

  TraceInitHeader(viewer.Header(), viewer.MapSize(), 64);
  std::memset(viewer.Queue(), 0, qs);
  auto tracer = MakeTracer();
  tracer->Trace("after the storm");
  EXPECT_EQ(Texts(OwnRecords(viewer)), std::vector<std::string>{"after the storm"});
}

TEST(TraceChannel, LinesWithoutViewerAreDroppedUntilOneAppears) {
  auto tracer = MakeTracer(true);
  tracer->Trace("nobody listens");
  EXPECT_FALSE(MapChannel(*tracer)->IsOpen());
  EXPECT_EQ(tracer->MessageCount, 1);
  EXPECT_EQ(tracer->SentCount, 0);
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  tracer->Trace("somebody listens");
  EXPECT_EQ(tracer->SentCount, 1);
  EXPECT_EQ(Texts(OwnRecords(viewer)), std::vector<std::string>{"somebody listens"});
  tracer.reset();  // lets go of the mapping before the viewer goes
}

TEST(TraceChannel, OutputSwitchedOffSendsNothing) {
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  auto tracer = MakeTracer();
  tracer->OutputEnabled = false;
  tracer->Trace("quiet");
  tracer->Channel()->SetEnabled(false);
  tracer->OutputEnabled = true;
  tracer->Trace("channel off");
  EXPECT_EQ(tracer->MessageCount, 2);
  EXPECT_EQ(tracer->SentCount, 0);
  EXPECT_TRUE(OwnRecords(viewer).empty());
}

namespace {

// Runs the four-thread child into a draining test viewer; checks that every line arrived and
// that each thread's lines kept their order.
void FourThreads(int lines, const char* mode, DWORD maxMs) {
  TTestViewer viewer(1024 * 1024);
  ASSERT_TRUE(viewer.Ok());
  viewer.StartDraining();
  DWORD start = GetTickCount();
  HANDLE child = qmtest::StartChild("four_threads", {std::to_string(lines), mode});
  ASSERT_NE(child, nullptr);
  DWORD pid = GetProcessId(child);
  EXPECT_EQ(qmtest::WaitExit(child, 120000), 0);
  CloseHandle(child);
  EXPECT_LT(GetTickCount() - start, maxMs);
  viewer.StopDraining();
  viewer.StartDraining();  // one more pass for anything written after the last one
  viewer.StopDraining();
  std::vector<TTraceRecord> got = OfProcess(viewer.Collected(), pid);
  ASSERT_EQ(got.size(), 4u * lines);
  std::map<uint32_t, int> nextOfThread;
  std::map<uint32_t, std::string> prefixOfThread;
  for (const TTraceRecord& r : got) {
    size_t space = r.text.find(' ');
    ASSERT_NE(space, std::string::npos);
    std::string prefix = r.text.substr(0, space);
    if (!prefixOfThread.count(r.thread)) prefixOfThread[r.thread] = prefix;
    ASSERT_EQ(prefixOfThread[r.thread], prefix) << "one thread, one prefix";
    ASSERT_EQ(std::atoi(r.text.c_str() + space + 1), nextOfThread[r.thread]++) << r.text;
  }
  EXPECT_EQ(nextOfThread.size(), 4u);
}

}  // namespace

// The queue (1 MiB) takes thousands of lines ahead of the viewer; nothing may be lost or
// reordered while four threads share the channel.
TEST(TraceChannel, FourThreadsIntoADrainingViewerLoseNothing) { FourThreads(10000, "free", 100000); }

// With the acknowledgement each line waits for the viewer's flush event: a lost or doubled
// acknowledgement between threads would show as 100 ms stalls.
TEST(TraceChannel, FourThreadsWaitingForTheViewerKeepPace) { FourThreads(250, "ack", 20000); }

// Threads that wait for a stalled viewer wait side by side: with the queue mutex held, each line
// gives up after the mutex wait, and with no acknowledgement each line waits out the flush wait.
// Were the channel's own lock held across either wait, k threads would take k times as long.
TEST(TraceChannel, ThreadsWaitingForAStalledViewerWaitSideBySide) {
  TTestViewer viewer;
  ASSERT_TRUE(viewer.Ok());
  auto tracer = MakeTracer(true);
  auto traceOnThreads = [&tracer](int lines) {
    const DWORD start = GetTickCount();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&tracer, t, lines] {
        for (int i = 0; i < lines; ++i) tracer->Trace("w" + std::to_string(t) + " " + std::to_string(i));
      });
    for (std::thread& th : threads) th.join();
    return GetTickCount() - start;
  };
  {
    TKernelHandle mutex(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str()));
    ASSERT_TRUE(mutex);
    TMutexLock held(mutex.get(), 0);
    ASSERT_TRUE(held.locked());
    const DWORD ms = traceOnThreads(1);
    EXPECT_GE(ms, TTraceMapFileChannel::kMutexWaitMs - 50);
    EXPECT_LT(ms, 2500u) << "four threads took turns at the mutex wait";
  }
  EXPECT_TRUE(OwnRecords(viewer).empty()) << "a line that met a busy queue is dropped";
  const DWORD ms = traceOnThreads(10);  // nobody acknowledges: 10 flush waits on each thread
  EXPECT_LT(ms, 2500u) << "four threads took turns at the acknowledgement wait";
  EXPECT_EQ(OwnRecords(viewer).size(), 40u);
}
