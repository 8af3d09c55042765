// The process-wide debugger: trace lines with an optional tag of up to eight characters, sent
// through a channel to an external viewer while output is enabled.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/Handles.h"
#include "platform/TraceQueue.h"

// The viewer's filter, copied from the shared memory.
class TTraceFilter {
 public:
  bool Enabled = false;
  int32_t Level = 3;  // highest level that passes
  std::string Tag;    // at most 8 characters; empty: any tag
  uint16_t Kinds = 0; // bit n: kind n passes; empty: every kind

  bool Passes(const std::string& tag, int32_t level, int32_t kind) const;
};

// Abstract transport; the base does nothing and never opens.
class TTraceChannel {
 public:
  explicit TTraceChannel(bool waitForViewer);
  virtual ~TTraceChannel() = default;
  TTraceChannel(const TTraceChannel&) = delete;
  TTraceChannel& operator=(const TTraceChannel&) = delete;

  virtual void SetEnabled(bool value) { ChannelEnabled = value; }
  virtual bool EnsureOpen() { return false; }
  virtual void UpdateFlushEvent() {}
  virtual void LaunchViewer() {}
  virtual bool FilterPending() { return false; }
  virtual void LoadFilter(TTraceFilter& /*filter*/) {}
  virtual void Send(const void* /*record*/, uint32_t /*size*/) {}

  bool WaitForViewer = false;
  bool ChannelEnabled = false;
};

// What one opening of the viewer's shared memory holds. A line on its way holds a reference of
// its own, so a thread that closes the channel after a failure never unmaps the view under
// another thread's write.
struct TTraceSession {
  TKernelHandle mapping;
  TMappedView view;
  TKernelHandle queueEvent;
  uint32_t mapSize = 0;
  uint32_t queueSize = 0;
  uint8_t* queueStart = nullptr;
};

// The transport to the viewer's shared memory (see platform/TraceQueue.h for the layout). Any
// thread may trace. The channel's own lock guards only which session and flush event are
// current and is never held across a wait: the viewer's queue mutex orders the writers of
// every process, so threads that wait for a slow viewer wait side by side, not one after the
// other.
class TTraceMapFileChannel : public TTraceChannel {
 public:
  explicit TTraceMapFileChannel(bool waitForViewer);
  ~TTraceMapFileChannel() override;

  bool EnsureOpen() override;
  void UpdateFlushEvent() override;
  void LaunchViewer() override;
  bool FilterPending() override;
  void LoadFilter(TTraceFilter& filter) override;
  void Send(const void* record, uint32_t size) override;

  // Whether the shared memory is currently open (for diagnostics and tests).
  bool IsOpen();
  // The command LaunchViewer runs, without the process identifier.
  static std::string ViewerCommand();

  static constexpr DWORD kMutexWaitMs = 1000;
  static constexpr DWORD kFlushWaitMs = 100;
  static constexpr DWORD kStartWaitMs = 5000;

 private:
  bool EnsureOpenLocked();
  void UpdateFlushEventLocked();
  void CloseLocked();
  // Closes the channel unless another thread has already replaced `session`.
  void CloseSession(const std::shared_ptr<TTraceSession>& session);
  // Writes the record under the viewer's mutex. Failed: the session must be closed.
  enum class TPushResult { Sent, Dropped, Failed };
  TPushResult Push(TTraceSession& session, const void* record, uint32_t size);

  CRITICAL_SECTION lock_;
  std::string mapName_, queueEventName_, mutexName_, flushEventName_, startEventName_;
  std::shared_ptr<TTraceSession> session_;
  std::shared_ptr<TKernelHandle> flushEvent_;
};

class TTracer {
 public:
  static constexpr int32_t kLevel = 3;
  static constexpr size_t kMaxText = 4096;
  static constexpr size_t kHeaderSize = 48;
  static constexpr size_t kMaxTag = 8;

  // `channel` may be null: the debugger then sends nothing.
  explicit TTracer(std::unique_ptr<TTraceChannel> channel);
  ~TTracer();
  TTracer(const TTracer&) = delete;
  TTracer& operator=(const TTracer&) = delete;

  void Trace(const std::string& msg) { TraceTagged(msg, std::string()); }
  void TraceTagged(const std::string& msg, const std::string& tag);

  bool OutputEnabled = true;
  bool AutoStartViewer = true;
  bool ViewerStarted = false;
  int32_t MessageCount = 0;
  int32_t SentCount = 0;

  TTraceFilter& Filter() { return filter_; }
  TTraceChannel* Channel() const { return channel_.get(); }
  // Indent of a thread that has traced; -1 when it has not.
  int ThreadIndent(DWORD threadId) const;

  // Builds the record of a line into `buffer` (at least kHeaderSize + kMaxText bytes, zero
  // filled by the caller); returns its size.
  static uint32_t BuildRecord(void* buffer, const std::string& msg, const std::string& tag,
                              double stamp);
  // The current local date and time as days since 30 December 1899.
  static double NowStamp();

 private:
  void EnsureThread(DWORD threadId);
  void StartViewerOnce();

  std::unique_ptr<TTraceChannel> channel_;
  TTraceFilter filter_;
  std::mutex filterLock_;  // the filter is copied and tested from any thread
  std::mutex launchLock_;  // one viewer start per run, however many threads trace at once
  mutable std::mutex threadsLock_;
  std::unordered_map<DWORD, int> threads_;
};

// How many bytes from the start of a mapped view may be read and written: the size of the
// committed read-write region there, 0 for anything else. The other side creates the mapping,
// and one made with SEC_RESERVE and never committed maps pages whose first read is an access
// violation, whatever the header would claim.
size_t TraceUsableViewBytes(const void* view);

// The process-wide debugger, created on first use.
TTracer* GetDebugger();
// Frees the process-wide debugger (at program end); the next GetDebugger creates a new one.
void FreeDebugger();
// Creates the channel the process-wide debugger starts with.
std::unique_ptr<TTraceChannel> CreateDefaultTraceChannel();

inline void Trace(const std::string& msg) { GetDebugger()->Trace(msg); }
inline void TraceTagged(const std::string& msg, const std::string& tag) {
  GetDebugger()->TraceTagged(msg, tag);
}
