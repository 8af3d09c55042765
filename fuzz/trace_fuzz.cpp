// The viewer's shared memory as another process may leave it: a header and queue of arbitrary
// bytes. Checking, draining and pushing never read or write outside the bytes given and never
// loop without end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/TraceQueue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> view(data, data + size);  // exactly the mapped bytes
  TTraceGeometry geo;
  if (!TraceCheckHeader(view.data(), view.size(), &geo)) return 0;
  if (geo.queueOffset > view.size() || geo.queueSize > view.size() - geo.queueOffset) std::abort();
  uint8_t* queue = view.data() + geo.queueOffset;
  TTraceQueuePos pos;
  pos.front = TraceGetU32(view.data() + kTrhFront);
  pos.tail = TraceGetU32(view.data() + kTrhTail);
  uint8_t record[kTraceMaxRecord] = {};
  uint32_t n = TraceBuildRecord(record, 1, 2, "fuzz line", "CLFuzz", 45000.5);
  TraceQueuePush(queue, geo.queueSize, pos, record, n);
  uint32_t front = TraceGetU32(view.data() + kTrhFront);
  const uint32_t tail = TraceGetU32(view.data() + kTrhTail);
  // Each record popped frees at least a record header of the unread bytes, so a queue is
  // drained within this many pops. The viewer pops until the queue is empty: a pop that
  // reports a record without freeing bytes would keep it there for ever.
  const uint32_t maxPops = geo.queueSize / kTraceRecordHeaderSize + 1;
  std::vector<uint8_t> out;
  uint32_t pops = 0;
  for (;;) {
    if (pops++ == maxPops) std::abort();
    const uint32_t unreadBefore = TraceQueueUsed(front, tail, geo.queueSize);
    TTracePop r = TraceQueuePop(queue, geo.queueSize, front, tail, &out);
    if (r != TTracePop::Record) break;
    if (front >= geo.queueSize || out.size() < kTraceRecordHeaderSize ||
        TraceQueueUsed(front, tail, geo.queueSize) + out.size() != unreadBefore)
      std::abort();
    TTraceRecord parsed;
    if (TraceParseRecord(out.data(), out.size(), &parsed)) TraceFormatLine(parsed);
  }
  TraceReadFilter(view.data());
  return 0;
}
