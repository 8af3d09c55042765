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

// Records of one process only: tracers of other test programs may reach the same queue.
std::vector<TTraceRecord> OfProcess(const std::vector<TTraceRecord>& records, DWORD pid);
