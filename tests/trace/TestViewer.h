// A minimal viewer for the tests: creates the shared memory and the queue objects with any
// geometry, lets a test set raw header values, and drains records on demand or on a thread.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/TraceQueue.h"

class TTestViewer {
 public:
  // `mapExtra` bytes are mapped beyond the header's map size and filled with kGuard, so a test
  // can see writes past the queue end.
  static constexpr uint8_t kGuard = 0xA5;
  explicit TTestViewer(uint32_t queueSize = 64 * 1024, uint32_t queueOffset = 64,
                       uint32_t mapExtra = 256);
  ~TTestViewer();
  TTestViewer(const TTestViewer&) = delete;
  TTestViewer& operator=(const TTestViewer&) = delete;

  bool Ok() const { return static_cast<bool>(view_); }
  uint8_t* Header() { return static_cast<uint8_t*>(view_.get()); }
  uint8_t* Queue() { return Header() + queueOffset_; }
  uint32_t QueueSize() const { return queueSize_; }
  uint32_t MapSize() const { return queueOffset_ + queueSize_; }
  uint32_t Get(uint32_t offset) { return TraceGetU32(Header() + offset); }
  void Put(uint32_t offset, uint32_t value) { TracePutU32(Header() + offset, value); }
  // Whether every byte past the map size is still the guard value.
  bool GuardIntact();

  // Takes every record under the queue mutex (all processes, in queue order).
  std::vector<TTraceRecord> Drain();
  // Drains continuously on a thread, setting the flush event after each pass.
  void StartDraining();
  void StopDraining();
  // Records drained by the thread so far.
  std::vector<TTraceRecord> Collected();
  size_t CollectedCount();

 private:
  static DWORD WINAPI DrainThread(LPVOID self);

  uint32_t queueSize_, queueOffset_, mapExtra_;
  TKernelHandle mapping_, queueEvent_, mutex_, flushEvent_, stop_, thread_;
  TMappedView view_;
  std::mutex collectedLock_;
  std::vector<TTraceRecord> collected_;
};

// The viewer's objects as a hostile process may leave them: the mapping created with SEC_RESERVE
// and not committed, beside the queue event and mutex. On Windows any touch of its reserved
// pages is an access violation. Wine lets them be read and written (and shares what is
// written), so the fault cannot show as a crash here; a sound header written into them shows
// instead whether a side uses pages that are not committed.
class TReservedMapping {
 public:
  enum class TKind {
    Bare,             // nothing committed, nothing written
    SignedReserved,   // nothing committed, a sound header written into the reserved pages
    HeaderCommitted,  // the first page committed with a sound header whose map size reaches
                      // into the pages still reserved
  };
  explicit TReservedMapping(TKind kind);
  TReservedMapping(const TReservedMapping&) = delete;
  TReservedMapping& operator=(const TReservedMapping&) = delete;
  bool Ok() const { return ok_; }

  static constexpr uint32_t kSize = 64 + 64 * 1024;

 private:
  bool ok_ = false;
  TKernelHandle mapping_, queueEvent_, mutex_;
  TMappedView view_;
};

// Records of one process only: tracers of other test programs may reach the same queue.
std::vector<TTraceRecord> OfProcess(const std::vector<TTraceRecord>& records, DWORD pid);
