// The queue arithmetic and the record and header layouts, without shared memory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <random>

#include "platform/TraceChannel.h"
#include "platform/TraceQueue.h"
#include "tools/traceviewer/ViewerArgs.h"

namespace {

// A queue buffer with guard bytes on both sides, to catch writes outside the queue.
struct TRing {
  explicit TRing(uint32_t size) : size(size), bytes(size + 64, 0xEE) {}
  uint8_t* queue() { return bytes.data() + 32; }
  bool guardsIntact() const {
    for (uint32_t i = 0; i < 32; ++i)
      if (bytes[i] != 0xEE || bytes[32 + size + i] != 0xEE) return false;
    return true;
  }
  uint32_t size;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Record(const std::string& text, const std::string& tag = "") {
  std::vector<uint8_t> buffer(kTraceMaxRecord, 0);
  uint32_t size = TraceBuildRecord(buffer.data(), 7, 9, text, tag, 45000.5);
  buffer.resize(size);
  return buffer;
}

std::string PopText(TRing& ring, TTraceQueuePos& pos) {
  std::vector<uint8_t> raw;
  EXPECT_EQ(TraceQueuePop(ring.queue(), ring.size, pos.front, pos.tail, &raw), TTracePop::Record);
  TTraceRecord r;
  EXPECT_TRUE(TraceParseRecord(raw.data(), raw.size(), &r));
  return r.text;
}

}  // namespace

TEST(TraceRecord, LayoutIsByteExact) {
  std::vector<uint8_t> buffer(kTraceMaxRecord, 0);
  double stamp = 45000.75;
  uint32_t size = TraceBuildRecord(buffer.data(), 0x01020304, 0x0A0B0C0D, "hello", "CLSettings", stamp);
  ASSERT_EQ(size, 53u);
  const uint8_t expected[40] = {
      53, 0, 0, 0,  3, 0, 0, 0,  0, 0, 0, 0,                          // size, level, indent
      4, 3, 2, 1,   0x0D, 0x0C, 0x0B, 0x0A,                           // process, thread
      'C', 'L', 'S', 'e', 't', 't', 'i', 'n',                         // tag, cut to 8
      0, 0, 0, 0,   0, 0, 0, 0,   1, 0, 0, 0};                        // kind, interval, stamp kind
  EXPECT_EQ(std::memcmp(buffer.data(), expected, sizeof expected), 0);
  double got;
  std::memcpy(&got, buffer.data() + 40, 8);
  EXPECT_EQ(got, stamp);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 48, 5), "hello");
  EXPECT_EQ(buffer[53], 0) << "no terminating zero is part of the record";

  // A short tag is zero-padded; a text beyond 4096 bytes is cut.
  std::vector<uint8_t> big(kTraceMaxRecord + 16, 0xCC);
  std::fill(big.begin(), big.begin() + kTraceMaxRecord, 0);
  EXPECT_EQ(TraceBuildRecord(big.data(), 1, 2, std::string(5000, 'x'), "ab", 1.0), 48u + 4096u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(big.data()) + 20, 8), std::string("ab\0\0\0\0\0\0", 8));
  EXPECT_EQ(big[kTraceMaxRecord], 0xCC) << "nothing written past the record buffer";

  TTraceRecord r;
  ASSERT_TRUE(TraceParseRecord(buffer.data(), size, &r));
  EXPECT_EQ(r.process, 0x01020304u);
  EXPECT_EQ(r.thread, 0x0A0B0C0Du);
  EXPECT_EQ(r.tag, "CLSettin");
  EXPECT_EQ(r.text, "hello");
  EXPECT_EQ(r.stampKind, 1u);
  EXPECT_FALSE(TraceParseRecord(buffer.data(), size - 1, &r)) << "size field disagrees";
  EXPECT_FALSE(TraceParseRecord(buffer.data(), 40, &r));
}

TEST(TraceHeader, ChecksGeometryAgainstWhatIsMapped) {
  std::vector<uint8_t> view(8192, 0);
  TraceInitHeader(view.data(), 4096, 64);
  TTraceGeometry g;
  ASSERT_TRUE(TraceCheckHeader(view.data(), view.size(), &g));
  EXPECT_EQ(g.queueSize, 4032u);
  EXPECT_EQ(g.queueOffset, 64u);
  EXPECT_EQ(TraceGetU32(view.data() + kTrhFilterLevel), 3u);

  auto check = [&](uint32_t mapSize, uint32_t queueOffset, size_t viewSize) {
    TraceInitHeader(view.data(), mapSize, queueOffset);
    return TraceCheckHeader(view.data(), viewSize, &g);
  };
  EXPECT_FALSE(check(4096, 5000, 8192)) << "queue offset beyond the map size";
  EXPECT_FALSE(check(4096, 4096, 8192)) << "empty queue";
  EXPECT_FALSE(check(16 * 1024 * 1024, 64, 8192)) << "map size beyond the mapped bytes";
  EXPECT_FALSE(check(4096, 20, 8192)) << "queue over the header";
  EXPECT_FALSE(check(4096, 64, 30)) << "view smaller than a header";
  EXPECT_TRUE(check(8192, 64, 8192));
  view[3] = 'X';
  EXPECT_FALSE(TraceCheckHeader(view.data(), view.size(), &g)) << "signature";
  TraceInitHeader(view.data(), 4096, 64);
  TracePutU32(view.data() + kTrhMagic, 0x7F3D92E1);
  EXPECT_FALSE(TraceCheckHeader(view.data(), view.size(), &g)) << "magic";
}

TEST(TraceHeader, FilterFieldsRoundTripAndRaiseChanged) {
  std::vector<uint8_t> view(128, 0);
  TraceInitHeader(view.data(), 128, 64);
  TTraceFilterFields f;
  f.enabled = true;
  f.level = 2;
  f.tag = "CLUpdate";
  f.kinds = 0x8001;
  TraceWriteFilter(view.data(), f);
  EXPECT_EQ(TraceGetU32(view.data() + kTrhFilterChanged), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(view.data()) + 40, 8), "CLUpdate");
  EXPECT_EQ(view[48], 0x01);
  EXPECT_EQ(view[49], 0x80);
  TTraceFilterFields back = TraceReadFilter(view.data());
  EXPECT_TRUE(back.enabled);
  EXPECT_EQ(back.level, 2);
  EXPECT_EQ(back.tag, "CLUpdate");
  EXPECT_EQ(back.kinds, 0x8001);
  f.tag = "ab";
  TraceWriteFilter(view.data(), f);
  EXPECT_EQ(TraceReadFilter(view.data()).tag, "ab") << "old tag bytes are cleared";
}

TEST(TraceFilter, PassesByLevelKindAndTag) {
  TTraceFilter f;
  EXPECT_TRUE(f.Passes("anything", 99, 99)) << "a disabled filter passes everything";
  f.Enabled = true;
  f.Level = 3;
  EXPECT_TRUE(f.Passes("", 3, 0));
  EXPECT_FALSE(f.Passes("", 4, 0));
  f.Level = 2;
  EXPECT_FALSE(f.Passes("", 3, 0));
  f.Level = 3;
  f.Kinds = 0x0002;
  EXPECT_FALSE(f.Passes("", 3, 0));
  EXPECT_TRUE(f.Passes("", 3, 1));
  EXPECT_FALSE(f.Passes("", 3, 16)) << "kinds beyond 15 never pass a kinds set";
  f.Kinds = 0;
  f.Tag = "clupdate";
  EXPECT_TRUE(f.Passes("CLUpdate", 3, 0));
  EXPECT_FALSE(f.Passes("CLSettings", 3, 0));
  EXPECT_FALSE(f.Passes("", 3, 0));
  f.Tag = "CLSettin";
  EXPECT_FALSE(f.Passes("CLSettings", 3, 0)) << "a tag above 8 characters never passes";
  EXPECT_TRUE(f.Passes("clsettin", 3, 0));
}

TEST(TraceQueue, RecordEndingAtQueueEndLeavesTailZero) {
  std::vector<uint8_t> rec = Record("0123456789");  // 58 bytes
  TRing ring(400);
  TTraceQueuePos pos;
  pos.front = pos.tail = 400 - 58;
  ASSERT_EQ(TraceQueuePush(ring.queue(), ring.size, pos, rec.data(), 58), TTracePush::Written);
  EXPECT_EQ(pos.tail, 0u);
  EXPECT_FALSE(pos.frontMoved);
  EXPECT_EQ(std::memcmp(ring.queue() + 342, rec.data(), 58), 0);
  EXPECT_TRUE(ring.guardsIntact());
  EXPECT_EQ(PopText(ring, pos), "0123456789");
  EXPECT_EQ(pos.front, 0u);
}

TEST(TraceQueue, FullQueueDropsWholeOldestRecords) {
  TRing ring(300);
  TTraceQueuePos pos;
  // Five 58-byte records fill 290 bytes; a sixth pushes out the oldest.
  for (int i = 0; i < 5; ++i) {
    std::vector<uint8_t> rec = Record("line " + std::to_string(i) + "....");
    ASSERT_EQ(rec.size(), 58u);
    ASSERT_EQ(TraceQueuePush(ring.queue(), ring.size, pos, rec.data(), 58), TTracePush::Written);
    EXPECT_FALSE(pos.frontMoved) << "room left: front is not written";
  }
  EXPECT_EQ(pos.front, 0u);
  EXPECT_EQ(pos.tail, 290u);
  std::vector<uint8_t> rec = Record("line 5....");
  ASSERT_EQ(TraceQueuePush(ring.queue(), ring.size, pos, rec.data(), 58), TTracePush::Written);
  EXPECT_TRUE(pos.frontMoved);
  EXPECT_EQ(pos.front, 58u) << "front moves by whole records";
  EXPECT_EQ(pos.tail, 48u);  // 290 + 58 - 300
  EXPECT_TRUE(ring.guardsIntact());
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(PopText(ring, pos), "line " + std::to_string(i) + "....");
  EXPECT_EQ(pos.front, pos.tail);
}

TEST(TraceQueue, SizeFieldSplitAtQueueEndIsReadBack) {
  for (uint32_t left = 1; left <= 4; ++left) {
    TRing ring(200);
    TTraceQueuePos pos;
    pos.front = pos.tail = 200 - left;
    std::vector<uint8_t> rec = Record("split size field", "T");
    uint32_t size = static_cast<uint32_t>(rec.size());
    ASSERT_EQ(TraceQueuePush(ring.queue(), ring.size, pos, rec.data(), size), TTracePush::Written);
    EXPECT_EQ(pos.tail, size - left);
    // The record's bytes continue at the queue start exactly where they were cut.
    EXPECT_EQ(std::memcmp(ring.queue() + 200 - left, rec.data(), left), 0);
    EXPECT_EQ(std::memcmp(ring.queue(), rec.data() + left, size - left), 0);
    EXPECT_TRUE(ring.guardsIntact());
    EXPECT_EQ(PopText(ring, pos), "split size field");
    EXPECT_EQ(pos.front, pos.tail);
  }
}

TEST(TraceQueue, DamagedValuesStopWithoutTouchingTheQueue) {
  std::vector<uint8_t> rec = Record("abcdefghij");
  auto attempt = [&](uint32_t front, uint32_t tail, uint32_t sizeAtFront) {
    TRing ring(300);
    std::memset(ring.queue(), 0x11, 300);
    if (front < 300) {
      uint8_t raw[4];
      TracePutU32(raw, sizeAtFront);
      TraceRingWrite(ring.queue(), 300, front, raw, 4);
    }
    std::vector<uint8_t> before = ring.bytes;
    TTraceQueuePos pos;
    pos.front = front;
    pos.tail = tail;
    TTracePush r = TraceQueuePush(ring.queue(), 300, pos, rec.data(), 58);
    EXPECT_EQ(ring.bytes, before) << "front " << front << " tail " << tail;
    std::vector<uint8_t> raw;
    uint32_t f = front;
    EXPECT_EQ(TraceQueuePop(ring.queue(), 300, f, tail, &raw), TTracePop::Damaged);
    return r;
  };
  // Writing at tail 0 would reach front 20, so the stored size there is read.
  EXPECT_EQ(attempt(20, 0, 0), TTracePush::Damaged) << "size 0";
  EXPECT_EQ(attempt(20, 0, 47), TTracePush::Damaged) << "below a record header";
  EXPECT_EQ(attempt(20, 0, 281), TTracePush::Damaged) << "beyond the unread bytes";
  EXPECT_EQ(attempt(20, 0, 0xFFFFFFFF), TTracePush::Damaged) << "larger than the queue";
  EXPECT_EQ(attempt(298, 250, 0xFFFFFF00), TTracePush::Damaged) << "split size field, huge";
  EXPECT_EQ(attempt(300, 0, 58), TTracePush::Damaged) << "front outside";
  EXPECT_EQ(attempt(0, 5000, 58), TTracePush::Damaged) << "tail outside";

  TRing ring(300);
  TTraceQueuePos pos;
  std::vector<uint8_t> whole(300, 0);
  TracePutU32(whole.data(), 300);
  EXPECT_EQ(TraceQueuePush(ring.queue(), 300, pos, whole.data(), 300), TTracePush::TooLarge)
      << "a record the size of the queue would look like an empty queue";
  EXPECT_EQ(pos.tail, 0u);
}

// Random pushes and pops against a model of which records must survive.
TEST(TraceQueue, RandomTrafficKeepsNewestRecordsInOrder) {
  std::mt19937 rng(12345);
  TRing ring(509);  // odd size: cuts fall everywhere, inside size fields too
  TTraceQueuePos pos;
  std::deque<std::pair<int, uint32_t>> model;  // sequence number, size
  int next = 0;
  for (int step = 0; step < 20000; ++step) {
    if (rng() % 3 != 0) {
      std::string text = std::to_string(next) + std::string(rng() % 120, '.');
      std::vector<uint8_t> rec = Record(text);
      uint32_t size = static_cast<uint32_t>(rec.size());
      ASSERT_EQ(TraceQueuePush(ring.queue(), ring.size, pos, rec.data(), size), TTracePush::Written);
      model.emplace_back(next++, size);
      uint32_t used = 0;
      for (auto& m : model) used += m.second;
      while (used >= ring.size) {  // the model's idea of what had to go
        used -= model.front().second;
        model.pop_front();
      }
      ASSERT_EQ(TraceQueueUsed(pos.front, pos.tail, ring.size), used);
    } else if (!model.empty()) {
      std::string text = PopText(ring, pos);
      ASSERT_EQ(text.substr(0, text.find('.')), std::to_string(model.front().first));
      model.pop_front();
    }
    ASSERT_TRUE(ring.guardsIntact());
  }
}

TEST(TraceText, StampTimeAndLogLine) {
  EXPECT_EQ(TraceStampTime(45000.5), "12:00:00.000");
  EXPECT_EQ(TraceStampTime(45000.0 + (3600.0 * 13 + 60 * 4 + 5.678) / 86400.0), "13:04:05.678");
  EXPECT_EQ(TraceStampTime(45000.99999999999), "23:59:59.999");
  EXPECT_EQ(TraceStampTime(std::nan("")), "--:--:--.---");
  EXPECT_EQ(TraceStampTime(-1.0), "--:--:--.---");
  EXPECT_EQ(TraceStampTime(1e300), "--:--:--.---");
  TTraceRecord r;
  r.stamp = 45000.25;
  r.process = 12;
  r.thread = 34;
  r.tag = "CLUpdate";
  r.text = "two\r\nlines\there";
  EXPECT_EQ(TraceFormatLine(r), "06:00:00.000\t12\t34\tCLUpdate\ttwo  lines here");
}

TEST(ViewerArgs, SwitchesValuesAndOddCommandLines) {
  TViewerArgs a = ParseViewerArgs(" -a 1234 -o \"C:\\my logs\\t.txt\" /T clupdate -l 2 -k 0x3");
  EXPECT_EQ(a.attachPid, 1234u);
  EXPECT_EQ(a.outputFile, "C:\\my logs\\t.txt");
  EXPECT_TRUE(a.filterGiven);
  EXPECT_EQ(a.filterTag, "clupdate");
  EXPECT_EQ(a.filterLevel, 2);
  EXPECT_EQ(a.filterKinds, 3);

  TViewerArgs odd = ParseViewerArgs("-a x12 -k 70000 -l -5 -zz 1 extra -o");
  EXPECT_EQ(odd.attachPid, 0u);
  EXPECT_FALSE(odd.filterGiven);
  EXPECT_TRUE(odd.outputFile.empty());
  EXPECT_EQ(ParseViewerArgs("-a 99999999999").attachPid, 0u);
  EXPECT_EQ(ParseViewerArgs("-t LongerThanEight").filterTag, "LongerTh");
  EXPECT_EQ(ParseViewerArgs("\"unclosed -a 5").attachPid, 0u);

  EXPECT_EQ(ViewerCommandTail("\"C:\\a b\\TraceViewer.exe\" -a 5"), " -a 5");
  EXPECT_EQ(ViewerCommandTail("TraceViewer.exe -a 5"), " -a 5");
  EXPECT_EQ(ViewerCommandTail("\"unclosed"), "");
}
