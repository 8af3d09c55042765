#include "tools/traceviewer/ViewerHost.h"

#include <cstring>

#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

namespace {
uint32_t LoadShared(const uint8_t* p) { return *reinterpret_cast<const volatile uint32_t*>(p); }
void StoreShared(uint8_t* p, uint32_t v) { *reinterpret_cast<volatile uint32_t*>(p) = v; }
}  // namespace

TViewerHost::~TViewerHost() { Stop(); }

bool TViewerHost::Create(std::string* error) {
  const uint32_t mapSize = kTraceViewerQueueOffset + kTraceViewerQueueSize;
  mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, mapSize,
                                    QV_GlobalObjectName("TraceViewerMap").c_str()));
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (!mapping_) {
    *error = "cannot create the shared memory";
    return false;
  }
  view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  if (!view_) {
    *error = "cannot map the shared memory";
    return false;
  }
  // A mapping that another process created may be reserved and never committed; touching
  // its header would end the viewer with an access violation.
  const size_t viewSize = TraceUsableViewBytes(view_.get());
  if (viewSize < kTraceHeaderSize) {
    *error = "the shared memory exists and cannot be used";
    return false;
  }
  queueMutex_.reset(CreateMutexA(nullptr, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str()));
  queueEvent_.reset(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerQueueEvent").c_str()));
  flushEvent_.reset(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerFlushEvent").c_str()));
  stopEvent_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!queueMutex_ || !queueEvent_ || !flushEvent_ || !stopEvent_) {
    *error = "cannot create the queue objects";
    return false;
  }
  uint8_t* header = static_cast<uint8_t*>(view_.get());
  TMutexLock lock(queueMutex_.get(), 5000);
  // A mapping that outlived an earlier viewer (a program still holds it) keeps its unread
  // records when its header is sound; anything else starts afresh with our own layout.
  if (existed && TraceCheckHeader(header, viewSize, &geometry_)) return true;
  if (viewSize < mapSize) {
    *error = "the shared memory exists and is too small";
    return false;
  }
  TraceInitHeader(header, mapSize, kTraceViewerQueueOffset);
  geometry_.mapSize = mapSize;
  geometry_.queueOffset = kTraceViewerQueueOffset;
  geometry_.queueSize = kTraceViewerQueueSize;
  return true;
}

bool TViewerHost::OpenLog(const std::string& path) {
  log_.reset(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(log_);
}

bool TViewerHost::Start(TOnRecords onRecords) {
  onRecords_ = std::move(onRecords);
  DWORD id = 0;
  thread_.reset(CreateThread(nullptr, 0, &TViewerHost::ThreadMain, this, 0, &id));
  return static_cast<bool>(thread_);
}

void TViewerHost::Stop() {
  if (!thread_) return;
  SetEvent(stopEvent_.get());
  WaitForSingleObject(thread_.get(), INFINITE);
  thread_.reset();
}

void TViewerHost::SetFilter(const TTraceFilterFields& filter) {
  if (view_) TraceWriteFilter(static_cast<uint8_t*>(view_.get()), filter);
}

DWORD WINAPI TViewerHost::ThreadMain(LPVOID self) {
  try {
    static_cast<TViewerHost*>(self)->Run();
  } catch (...) {
    // Nothing may leave a thread procedure; the window stays and shows what it has.
  }
  return 0;
}

void TViewerHost::Run() {
  HANDLE waits[2] = {stopEvent_.get(), queueEvent_.get()};
  for (;;) {
    // The time-out also catches records whose queue event was lost to a program that closed
    // its channel between writing and signalling.
    DWORD r = WaitForMultipleObjects(2, waits, FALSE, 250);
    bool stopping = r == WAIT_OBJECT_0;
    std::vector<TTraceRecord> records;
    DrainOnce(&records);
    WriteLog(records);
    // The program waits on this after each record; set it once the lines are stored.
    SetEvent(flushEvent_.get());
    if (!records.empty() && onRecords_) onRecords_(std::move(records));
    if (stopping || r == WAIT_FAILED) break;
  }
}

void TViewerHost::RepairHeader(uint8_t* header) {
  // The geometry is ours; a process that overwrote it gets it back, so the program can reopen.
  if (!TraceHeaderSigned(header) || LoadShared(header + kTrhMapSize) != geometry_.mapSize ||
      LoadShared(header + kTrhQueueOffset) != geometry_.queueOffset) {
    std::memcpy(header + kTrhSignature, kTraceSignature, 8);
    StoreShared(header + kTrhMagic, kTraceMagic);
    StoreShared(header + kTrhMapSize, geometry_.mapSize);
    StoreShared(header + kTrhQueueOffset, geometry_.queueOffset);
  }
}

void TViewerHost::DrainOnce(std::vector<TTraceRecord>* records) {
  TMutexLock lock;
  if (!lock.Lock(queueMutex_.get(), 1000)) return;
  uint8_t* header = static_cast<uint8_t*>(view_.get());
  RepairHeader(header);
  const uint8_t* queue = header + geometry_.queueOffset;
  uint32_t front = LoadShared(header + kTrhFront);
  uint32_t tail = LoadShared(header + kTrhTail);
  std::vector<uint8_t> raw;
  for (;;) {
    TTracePop popped = TraceQueuePop(queue, geometry_.queueSize, front, tail, &raw);
    if (popped == TTracePop::Empty) break;
    TTraceRecord record;
    if (popped == TTracePop::Damaged || !TraceParseRecord(raw.data(), raw.size(), &record)) {
      // Resynchronise: what lies between front and tail cannot be trusted any more.
      InterlockedIncrement(&resyncs_);
      if (tail >= geometry_.queueSize) tail = 0;
      front = tail;
      StoreShared(header + kTrhTail, tail);
      break;
    }
    records->push_back(std::move(record));
  }
  StoreShared(header + kTrhFront, front);
}

void TViewerHost::WriteLog(const std::vector<TTraceRecord>& records) {
  if (!log_ || records.empty()) return;
  std::string text;
  for (const TTraceRecord& r : records) text += TraceFormatLine(r) + "\r\n";
  DWORD written = 0;
  WriteFile(log_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
