#include "TestViewer.h"

#include <cstring>

#include "tools/QVTools.h"

TTestViewer::TTestViewer(uint32_t queueSize, uint32_t queueOffset, uint32_t mapExtra)
    : queueSize_(queueSize), queueOffset_(queueOffset), mapExtra_(mapExtra) {
  uint32_t total = queueOffset + queueSize + mapExtra;
  // A tracer of an earlier test (or of another test program) may still hold the previous
  // mapping open for a moment; wait for a fresh one so that the geometry is ours.
  for (int attempt = 0; attempt < 100; ++attempt) {
    mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, total,
                                      QV_GlobalObjectName("TraceViewerMap").c_str()));
    if (mapping_ && GetLastError() != ERROR_ALREADY_EXISTS) break;
    mapping_.reset();
    Sleep(100);
  }
  if (!mapping_) return;
  view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view_) return;
  std::memset(Header(), kGuard, total);
  std::memset(Header(), 0, queueOffset + queueSize);
  TraceInitHeader(Header(), queueOffset + queueSize, queueOffset);
  queueEvent_.reset(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerQueueEvent").c_str()));
  mutex_.reset(CreateMutexA(nullptr, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str()));
  flushEvent_.reset(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerFlushEvent").c_str()));
  stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

TReservedMapping::TReservedMapping(TKind kind) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0, kSize,
                                      QV_GlobalObjectName("TraceViewerMap").c_str()));
    if (mapping_ && GetLastError() != ERROR_ALREADY_EXISTS) break;
    mapping_.reset();
    Sleep(100);
  }
  if (!mapping_) return;
  queueEvent_.reset(CreateEventA(nullptr, FALSE, FALSE, QV_GlobalObjectName("TraceViewerQueueEvent").c_str()));
  mutex_.reset(CreateMutexA(nullptr, FALSE, QV_GlobalObjectName("TraceViewerQueueMutex").c_str()));
  if (!queueEvent_ || !mutex_) return;
  if (kind != TKind::Bare) {
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view_) return;
    if (kind == TKind::HeaderCommitted && !VirtualAlloc(view_.get(), 4096, MEM_COMMIT, PAGE_READWRITE)) return;
    TraceInitHeader(static_cast<uint8_t*>(view_.get()), kSize, 64);
  }
  ok_ = true;
}

TTestViewer::~TTestViewer() { StopDraining(); }

bool TTestViewer::GuardIntact() {
  const uint8_t* p = Header() + MapSize();
  for (uint32_t i = 0; i < mapExtra_; ++i)
    if (p[i] != kGuard) return false;
  return true;
}

std::vector<TTraceRecord> TTestViewer::Drain() {
  std::vector<TTraceRecord> out;
  TMutexLock lock(mutex_.get(), 5000);
  if (!lock.locked()) return out;
  uint32_t front = Get(kTrhFront), tail = Get(kTrhTail);
  std::vector<uint8_t> raw;
  while (TraceQueuePop(Queue(), queueSize_, front, tail, &raw) == TTracePop::Record) {
    TTraceRecord r;
    if (TraceParseRecord(raw.data(), raw.size(), &r)) out.push_back(std::move(r));
  }
  Put(kTrhFront, front);
  return out;
}

DWORD WINAPI TTestViewer::DrainThread(LPVOID param) {
  auto* self = static_cast<TTestViewer*>(param);
  HANDLE waits[2] = {self->stop_.get(), self->queueEvent_.get()};
  for (;;) {
    DWORD r = WaitForMultipleObjects(2, waits, FALSE, 100);
    std::vector<TTraceRecord> got = self->Drain();
    SetEvent(self->flushEvent_.get());
    {
      std::lock_guard<std::mutex> lock(self->collectedLock_);
      for (TTraceRecord& rec : got) self->collected_.push_back(std::move(rec));
    }
    if (r != WAIT_OBJECT_0 + 1 && r != WAIT_TIMEOUT) break;
  }
  return 0;
}

void TTestViewer::StartDraining() {
  if (thread_) return;
  ResetEvent(stop_.get());
  thread_.reset(CreateThread(nullptr, 0, &TTestViewer::DrainThread, this, 0, nullptr));
}

void TTestViewer::StopDraining() {
  if (!thread_) return;
  SetEvent(stop_.get());
  WaitForSingleObject(thread_.get(), 10000);
  thread_.reset();
}

std::vector<TTraceRecord> TTestViewer::Collected() {
  std::lock_guard<std::mutex> lock(collectedLock_);
  return collected_;
}

size_t TTestViewer::CollectedCount() {
  std::lock_guard<std::mutex> lock(collectedLock_);
  return collected_.size();
}

std::vector<TTraceRecord> OfProcess(const std::vector<TTraceRecord>& records, DWORD pid) {
  std::vector<TTraceRecord> out;
  for (const TTraceRecord& r : records)
    if (r.process == pid) out.push_back(r);
  return out;
}
