#include "platform/TraceChannel.h"

#include <cstring>
#include <vector>

namespace {

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameUpper(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

void PutU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }  // the target is little-endian

}  // namespace

bool TTraceFilter::Passes(const std::string& tag, int32_t level, int32_t kind) const {
  if (!Enabled) return true;
  if (level > Level) return false;
  if (Kinds != 0 && (kind < 0 || kind > 15 || (Kinds & (1u << kind)) == 0)) return false;
  if (!Tag.empty() && (tag.size() > TTracer::kMaxTag || !SameUpper(tag, Tag))) return false;
  return true;
}

TTraceChannel::TTraceChannel(bool waitForViewer) {
  SetEnabled(true);
  WaitForViewer = waitForViewer;
}

TTracer::TTracer(std::unique_ptr<TTraceChannel> channel) : channel_(std::move(channel)) {}

TTracer::~TTracer() = default;

int TTracer::ThreadIndent(DWORD threadId) const {
  std::lock_guard<std::mutex> lock(threadsLock_);
  auto it = threads_.find(threadId);
  return it == threads_.end() ? -1 : it->second;
}

void TTracer::EnsureThread(DWORD threadId) {
  // Lookups are frequent and additions rare; one short lock covers both.
  std::lock_guard<std::mutex> lock(threadsLock_);
  threads_.emplace(threadId, 0);
}

double TTracer::NowStamp() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  // FILETIME counts 100 ns units from 1601-01-01; day 0 of the stamp is 1899-12-30,
  // 109205 days later.
  return static_cast<double>(t.QuadPart) / 864000000000.0 - 109205.0;
}

uint32_t TTracer::BuildRecord(void* buffer, const std::string& msg, const std::string& tag,
                              double stamp) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  size_t textLen = msg.size() < kMaxText ? msg.size() : kMaxText;
  uint32_t size = static_cast<uint32_t>(kHeaderSize + textLen);
  PutU32(p + 0, size);
  PutU32(p + 4, kLevel);
  PutU32(p + 8, 0);  // indent
  PutU32(p + 12, GetCurrentProcessId());
  PutU32(p + 16, GetCurrentThreadId());
  std::memcpy(p + 20, tag.data(), tag.size() < kMaxTag ? tag.size() : kMaxTag);
  PutU32(p + 28, 0);  // kind: plain message
  PutU32(p + 32, 0);  // interval
  PutU32(p + 36, 1);  // stamp kind: local date and time
  std::memcpy(p + 40, &stamp, 8);
  std::memcpy(p + kHeaderSize, msg.data(), textLen);
  return size;
}

void TTracer::TraceTagged(const std::string& msg, const std::string& tag) {
  if (msg.empty()) return;
  EnsureThread(GetCurrentThreadId());
  if (AutoStartViewer && !ViewerStarted) {
    if (channel_) channel_->LaunchViewer();
    ViewerStarted = true;
  }
  ++MessageCount;
  if (!OutputEnabled || !channel_ || !channel_->ChannelEnabled) return;
  if (!channel_->EnsureOpen()) return;
  if (channel_->FilterPending()) channel_->LoadFilter(filter_);
  if (!filter_.Passes(tag, kLevel, 0)) return;
  uint8_t record[kHeaderSize + kMaxText] = {};
  uint32_t size = BuildRecord(record, msg, tag, NowStamp());
  if (channel_->ChannelEnabled && channel_->EnsureOpen() && size > 0) {
    channel_->Send(record, size);
    ++SentCount;
  }
}

namespace {
TTracer* g_debugger = nullptr;
}

TTracer* GetDebugger() {
  if (!g_debugger) g_debugger = new TTracer(CreateDefaultTraceChannel());
  return g_debugger;
}

void FreeDebugger() {
  delete g_debugger;
  g_debugger = nullptr;
}

std::unique_ptr<TTraceChannel> CreateDefaultTraceChannel() {
  // Until the shared-memory transport exists the debugger has an empty channel.
  return std::make_unique<TTraceChannel>(true);
}
