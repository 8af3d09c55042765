// The process-wide debugger: trace lines with an optional tag of up to eight characters, sent
// through a channel to an external viewer while output is enabled.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

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

  std::unique_ptr<TTraceChannel> channel_;
  TTraceFilter filter_;
  mutable std::mutex threadsLock_;
  std::unordered_map<DWORD, int> threads_;
};

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
