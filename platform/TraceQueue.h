// The trace viewer's shared memory, seen as plain bytes: header layout, record layout and the
// ring arithmetic of the record queue. Both the program's channel and the viewer use this one
// unit, so the two sides cannot disagree. Free of Win32: every value here may have been written
// by another process, so each reader checks what it reads against the bytes it actually has.
//
// Placement of records (the one rule both sides follow):
//   The queue area is a ring of bytes. A record that does not fit between tail and the queue end
//   continues at the queue start at exactly the byte where it was cut, even when the cut falls
//   inside its 4-byte size field (fewer than 4 bytes left at tail). No padding is ever inserted
//   and nothing is written past the queue end; tail always advances by exactly the record size.
//   Readers therefore read the size field through the ring like any other record bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// --- Header (at the start of the mapping, little-endian) ---------------------------------------
constexpr uint32_t kTraceMagic = 0x7F3D92E0;
constexpr char kTraceSignature[8] = {'T', 'R', 'A', 'C', 'E', 'V', 'W', '\0'};
constexpr uint32_t kTrhSignature = 0;
constexpr uint32_t kTrhMagic = 8;
constexpr uint32_t kTrhMapSize = 12;
constexpr uint32_t kTrhQueueOffset = 16;
constexpr uint32_t kTrhFront = 20;
constexpr uint32_t kTrhTail = 24;
constexpr uint32_t kTrhFilterChanged = 28;
constexpr uint32_t kTrhFilterEnabled = 32;
constexpr uint32_t kTrhFilterLevel = 36;
constexpr uint32_t kTrhFilterTag = 40;
constexpr uint32_t kTrhFilterKinds = 48;
constexpr uint32_t kTraceHeaderSize = 50;

// --- Record ------------------------------------------------------------------------------------
constexpr uint32_t kTrrSize = 0;
constexpr uint32_t kTrrLevel = 4;
constexpr uint32_t kTrrIndent = 8;
constexpr uint32_t kTrrProcess = 12;
constexpr uint32_t kTrrThread = 16;
constexpr uint32_t kTrrTag = 20;
constexpr uint32_t kTrrKind = 28;
constexpr uint32_t kTrrInterval = 32;
constexpr uint32_t kTrrStampKind = 36;
constexpr uint32_t kTrrStamp = 40;
constexpr uint32_t kTraceRecordHeaderSize = 48;
constexpr uint32_t kTraceMaxText = 4096;
constexpr uint32_t kTraceMaxTag = 8;
constexpr uint32_t kTraceMaxRecord = kTraceRecordHeaderSize + kTraceMaxText;

// Where the viewer we ship puts its queue, and how large it is.
constexpr uint32_t kTraceViewerQueueOffset = 64;
constexpr uint32_t kTraceViewerQueueSize = 1024 * 1024;

uint32_t TraceGetU32(const uint8_t* p);
void TracePutU32(uint8_t* p, uint32_t v);

// The queue's place in a mapping, as validated from its header.
struct TTraceGeometry {
  uint32_t mapSize = 0;
  uint32_t queueOffset = 0;
  uint32_t queueSize = 0;
};

// Writes a fresh header: signature, magic, sizes, empty queue, filter off.
void TraceInitHeader(uint8_t* view, uint32_t mapSize, uint32_t queueOffset);
// Whether the signature and magic are right.
bool TraceHeaderSigned(const uint8_t* view);
// Checks signature, magic and that the queue lies inside the header's map size, which in turn
// must fit in the `viewSize` bytes really mapped; fills `geometry` when it does.
bool TraceCheckHeader(const uint8_t* view, size_t viewSize, TTraceGeometry* geometry);

// --- Filter fields ------------------------------------------------------------------------------
struct TTraceFilterFields {
  bool enabled = false;
  int32_t level = 3;
  std::string tag;  // at most 8 bytes
  uint16_t kinds = 0;
};
// Reads the filter fields (the tag up to its first zero byte).
TTraceFilterFields TraceReadFilter(const uint8_t* view);
// Writes the filter fields, then raises the changed field (the viewer's side).
void TraceWriteFilter(uint8_t* view, const TTraceFilterFields& filter);

// --- Records ------------------------------------------------------------------------------------
struct TTraceRecord {
  uint32_t level = 0;
  uint32_t indent = 0;
  uint32_t process = 0;
  uint32_t thread = 0;
  std::string tag;  // up to its first zero byte, at most 8 bytes
  uint32_t kind = 0;
  uint32_t interval = 0;
  uint32_t stampKind = 0;
  double stamp = 0;
  std::string text;
};

// Builds a record into `buffer` (at least kTraceMaxRecord bytes, zero filled by the caller): the
// text cut to 4096 bytes, the tag to 8; returns the record size.
uint32_t TraceBuildRecord(uint8_t* buffer, uint32_t process, uint32_t thread,
                          const std::string& msg, const std::string& tag, double stamp);
// Reads a whole record of `size` bytes; false when it is shorter than a record header or its
// size field disagrees with `size`.
bool TraceParseRecord(const uint8_t* data, size_t size, TTraceRecord* record);

// --- The ring -----------------------------------------------------------------------------------
enum class TTracePush {
  Written,   // the record is in the queue
  TooLarge,  // the record cannot fit even in an empty queue: dropped, queue untouched
  Damaged,   // front, tail or a stored record size is impossible: queue untouched
};

// Front and tail of a queue, as read from the header under the queue mutex.
struct TTraceQueuePos {
  uint32_t front = 0;
  uint32_t tail = 0;
  bool frontMoved = false;  // front must be written back
};

// Bytes between front and tail.
uint32_t TraceQueueUsed(uint32_t front, uint32_t tail, uint32_t queueSize);
void TraceRingWrite(uint8_t* queue, uint32_t queueSize, uint32_t at, const void* data, uint32_t n);
void TraceRingRead(const uint8_t* queue, uint32_t queueSize, uint32_t at, void* data, uint32_t n);

// Appends a record at tail, first dropping whole oldest records while writing it would reach
// front (a full ring would look empty). A record must be smaller than the queue. Reads at most
// queueSize bytes of queue and never loops more than once per stored record.
TTracePush TraceQueuePush(uint8_t* queue, uint32_t queueSize, TTraceQueuePos& pos,
                          const void* record, uint32_t size);

enum class TTracePop { Record, Empty, Damaged };
// Takes the record at front into `record` and advances `front`. Damaged when front or tail lie
// outside the queue or the stored size is below a record header or beyond the unread bytes.
TTracePop TraceQueuePop(const uint8_t* queue, uint32_t queueSize, uint32_t& front, uint32_t tail,
                        std::vector<uint8_t>* record);

// --- Text ---------------------------------------------------------------------------------------
// "hh:mm:ss.mmm" of a stamp (days since 30 December 1899); dashes for a stamp out of range.
std::string TraceStampTime(double stamp);
// One line for a log file: time, process, thread, tag and text separated by tabs, control
// characters of the text turned into spaces so that one record stays one line.
std::string TraceFormatLine(const TTraceRecord& record);
