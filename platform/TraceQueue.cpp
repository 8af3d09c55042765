#include "platform/TraceQueue.h"

#include <cmath>
#include <cstdio>
#include <cstring>

// The target is little-endian, as the layout is; memcpy keeps unaligned fields safe.
uint32_t TraceGetU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void TracePutU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

void TraceInitHeader(uint8_t* view, uint32_t mapSize, uint32_t queueOffset) {
  std::memset(view, 0, kTraceHeaderSize);
  std::memcpy(view + kTrhSignature, kTraceSignature, 8);
  TracePutU32(view + kTrhMagic, kTraceMagic);
  TracePutU32(view + kTrhMapSize, mapSize);
  TracePutU32(view + kTrhQueueOffset, queueOffset);
  TracePutU32(view + kTrhFilterLevel, 3);
}

bool TraceHeaderSigned(const uint8_t* view) {
  return TraceGetU32(view + kTrhMagic) == kTraceMagic &&
         std::memcmp(view + kTrhSignature, kTraceSignature, 8) == 0;
}

bool TraceCheckHeader(const uint8_t* view, size_t viewSize, TTraceGeometry* geometry) {
  if (viewSize < kTraceHeaderSize || !TraceHeaderSigned(view)) return false;
  uint32_t mapSize = TraceGetU32(view + kTrhMapSize);
  uint32_t queueOffset = TraceGetU32(view + kTrhQueueOffset);
  // The queue may neither overlap the header nor reach beyond what is really mapped; it must
  // hold at least one record with some text.
  if (mapSize > viewSize || queueOffset < kTraceHeaderSize || queueOffset >= mapSize) return false;
  if (mapSize - queueOffset <= kTraceRecordHeaderSize + 1) return false;
  geometry->mapSize = mapSize;
  geometry->queueOffset = queueOffset;
  geometry->queueSize = mapSize - queueOffset;
  return true;
}

TTraceFilterFields TraceReadFilter(const uint8_t* view) {
  TTraceFilterFields f;
  f.enabled = TraceGetU32(view + kTrhFilterEnabled) != 0;
  f.level = static_cast<int32_t>(TraceGetU32(view + kTrhFilterLevel));
  const char* tag = reinterpret_cast<const char*>(view + kTrhFilterTag);
  size_t n = 0;
  while (n < kTraceMaxTag && tag[n] != '\0') ++n;
  f.tag.assign(tag, n);
  uint16_t kinds;
  std::memcpy(&kinds, view + kTrhFilterKinds, 2);
  f.kinds = kinds;
  return f;
}

void TraceWriteFilter(uint8_t* view, const TTraceFilterFields& filter) {
  TracePutU32(view + kTrhFilterEnabled, filter.enabled ? 1 : 0);
  TracePutU32(view + kTrhFilterLevel, static_cast<uint32_t>(filter.level));
  uint8_t tag[kTraceMaxTag] = {};
  std::memcpy(tag, filter.tag.data(), filter.tag.size() < kTraceMaxTag ? filter.tag.size() : kTraceMaxTag);
  std::memcpy(view + kTrhFilterTag, tag, kTraceMaxTag);
  std::memcpy(view + kTrhFilterKinds, &filter.kinds, 2);
  // The program copies the fields when it sees the changed field, so that goes last.
  __atomic_thread_fence(__ATOMIC_SEQ_CST);
  TracePutU32(view + kTrhFilterChanged, 1);
}

uint32_t TraceBuildRecord(uint8_t* buffer, uint32_t process, uint32_t thread,
                          const std::string& msg, const std::string& tag, double stamp) {
  uint32_t textLen = msg.size() < kTraceMaxText ? static_cast<uint32_t>(msg.size()) : kTraceMaxText;
  uint32_t size = kTraceRecordHeaderSize + textLen;
  TracePutU32(buffer + kTrrSize, size);
  TracePutU32(buffer + kTrrLevel, 3);
  TracePutU32(buffer + kTrrIndent, 0);
  TracePutU32(buffer + kTrrProcess, process);
  TracePutU32(buffer + kTrrThread, thread);
  std::memcpy(buffer + kTrrTag, tag.data(), tag.size() < kTraceMaxTag ? tag.size() : kTraceMaxTag);
  TracePutU32(buffer + kTrrKind, 0);      // plain message
  TracePutU32(buffer + kTrrInterval, 0);
  TracePutU32(buffer + kTrrStampKind, 1);  // local date and time
  std::memcpy(buffer + kTrrStamp, &stamp, 8);
  std::memcpy(buffer + kTraceRecordHeaderSize, msg.data(), textLen);
  return size;
}

bool TraceParseRecord(const uint8_t* data, size_t size, TTraceRecord* record) {
  if (size < kTraceRecordHeaderSize || TraceGetU32(data + kTrrSize) != size) return false;
  record->level = TraceGetU32(data + kTrrLevel);
  record->indent = TraceGetU32(data + kTrrIndent);
  record->process = TraceGetU32(data + kTrrProcess);
  record->thread = TraceGetU32(data + kTrrThread);
  const char* tag = reinterpret_cast<const char*>(data + kTrrTag);
  size_t n = 0;
  while (n < kTraceMaxTag && tag[n] != '\0') ++n;
  record->tag.assign(tag, n);
  record->kind = TraceGetU32(data + kTrrKind);
  record->interval = TraceGetU32(data + kTrrInterval);
  record->stampKind = TraceGetU32(data + kTrrStampKind);
  std::memcpy(&record->stamp, data + kTrrStamp, 8);
  record->text.assign(reinterpret_cast<const char*>(data + kTraceRecordHeaderSize),
                      size - kTraceRecordHeaderSize);
  return true;
}

uint32_t TraceQueueUsed(uint32_t front, uint32_t tail, uint32_t queueSize) {
  return tail >= front ? tail - front : queueSize - front + tail;
}

void TraceRingWrite(uint8_t* queue, uint32_t queueSize, uint32_t at, const void* data, uint32_t n) {
  const uint8_t* src = static_cast<const uint8_t*>(data);
  uint32_t first = queueSize - at;
  if (n <= first) {
    std::memcpy(queue + at, src, n);
  } else {
    std::memcpy(queue + at, src, first);
    std::memcpy(queue, src + first, n - first);
  }
}

void TraceRingRead(const uint8_t* queue, uint32_t queueSize, uint32_t at, void* data, uint32_t n) {
  uint8_t* dst = static_cast<uint8_t*>(data);
  uint32_t first = queueSize - at;
  if (n <= first) {
    std::memcpy(dst, queue + at, n);
  } else {
    std::memcpy(dst, queue + at, first);
    std::memcpy(dst + first, queue, n - first);
  }
}

namespace {

// Whether writing `size` bytes at tail would reach front (the queue being not empty).
bool WouldReachFront(uint32_t front, uint32_t tail, uint32_t size, uint32_t queueSize) {
  uint64_t end = static_cast<uint64_t>(tail) + size;
  if (tail < front) return end >= front;
  return end >= queueSize && end - queueSize >= front;
}

// The size stored at front, when it is a plausible record within the unread bytes.
bool SizeAtFront(const uint8_t* queue, uint32_t queueSize, uint32_t front, uint32_t tail,
                 uint32_t* size) {
  uint32_t used = TraceQueueUsed(front, tail, queueSize);
  if (used < kTraceRecordHeaderSize) return false;
  uint8_t raw[4];
  TraceRingRead(queue, queueSize, front, raw, 4);
  uint32_t s = TraceGetU32(raw);
  if (s < kTraceRecordHeaderSize || s > used) return false;
  *size = s;
  return true;
}

}  // namespace

TTracePush TraceQueuePush(uint8_t* queue, uint32_t queueSize, TTraceQueuePos& pos,
                          const void* record, uint32_t size) {
  // A record as large as the ring would end at its own start and look like an empty queue.
  if (size < kTraceRecordHeaderSize || size >= queueSize) return TTracePush::TooLarge;
  if (pos.front >= queueSize || pos.tail >= queueSize) return TTracePush::Damaged;
  uint32_t front = pos.front;
  // Each pass moves front by a whole stored record towards tail, so this ends.
  while (front != pos.tail && WouldReachFront(front, pos.tail, size, queueSize)) {
    uint32_t dropped;
    if (!SizeAtFront(queue, queueSize, front, pos.tail, &dropped)) return TTracePush::Damaged;
    front = static_cast<uint32_t>((static_cast<uint64_t>(front) + dropped) % queueSize);
  }
  TraceRingWrite(queue, queueSize, pos.tail, record, size);
  if (front != pos.front) {
    pos.front = front;
    pos.frontMoved = true;
  }
  pos.tail = static_cast<uint32_t>((static_cast<uint64_t>(pos.tail) + size) % queueSize);
  return TTracePush::Written;
}

TTracePop TraceQueuePop(const uint8_t* queue, uint32_t queueSize, uint32_t& front, uint32_t tail,
                        std::vector<uint8_t>* record) {
  if (front >= queueSize || tail >= queueSize) return TTracePop::Damaged;
  if (front == tail) return TTracePop::Empty;
  uint32_t size;
  if (!SizeAtFront(queue, queueSize, front, tail, &size)) return TTracePop::Damaged;
  record->resize(size);
  TraceRingRead(queue, queueSize, front, record->data(), size);
  front = static_cast<uint32_t>((static_cast<uint64_t>(front) + size) % queueSize);
  return TTracePop::Record;
}

std::string TraceStampTime(double stamp) {
  // Day 2958465 is 31 December 9999; beyond it (or NaN) the value is nonsense.
  if (!(stamp >= 0.0 && stamp < 2958466.0)) return "--:--:--.---";
  double frac = stamp - std::floor(stamp);
  long long ms = std::llround(frac * 86400000.0);
  if (ms >= 86400000LL) ms = 86400000LL - 1;
  char out[16];
  std::snprintf(out, sizeof out, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                static_cast<int>(ms % 1000));
  return out;
}

std::string TraceFormatLine(const TTraceRecord& record) {
  std::string text = record.text;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  std::string tag = record.tag;
  for (char& c : tag)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return TraceStampTime(record.stamp) + "\t" + std::to_string(record.process) + "\t" +
         std::to_string(record.thread) + "\t" + tag + "\t" + text;
}
