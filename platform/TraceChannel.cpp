#include "platform/TraceChannel.h"

#include <cstring>

#include "tools/QVTools.h"

namespace {

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameUpper(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

const char kViewerRegKey[] = "Software\\Quillmoor\\TraceViewer";
const char kViewerRegValue[] = "TraceViewer";

// Reads a header field that the viewer may change at any time, so it must really be read.
uint32_t LoadShared(const uint8_t* p) { return *reinterpret_cast<const volatile uint32_t*>(p); }
void StoreShared(uint8_t* p, uint32_t v) { *reinterpret_cast<volatile uint32_t*>(p) = v; }

// Scoped hold of a CRITICAL_SECTION.
class TSectionLock {
 public:
  explicit TSectionLock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
  ~TSectionLock() { LeaveCriticalSection(&cs_); }
  TSectionLock(const TSectionLock&) = delete;
  TSectionLock& operator=(const TSectionLock&) = delete;

 private:
  CRITICAL_SECTION& cs_;
};

}  // namespace

// --- TTraceFilter ---------------------------------------------------------------------------------

bool TTraceFilter::Passes(const std::string& tag, int32_t level, int32_t kind) const {
  if (!Enabled) return true;
  if (level > Level) return false;
  if (Kinds != 0 && (kind < 0 || kind > 15 || (Kinds & (1u << kind)) == 0)) return false;
  if (!Tag.empty() && (tag.size() > TTracer::kMaxTag || !SameUpper(tag, Tag))) return false;
  return true;
}

// --- TTraceChannel --------------------------------------------------------------------------------

TTraceChannel::TTraceChannel(bool waitForViewer) {
  SetEnabled(true);
  WaitForViewer = waitForViewer;
}

// --- TTraceMapFileChannel -------------------------------------------------------------------------

TTraceMapFileChannel::TTraceMapFileChannel(bool waitForViewer) : TTraceChannel(waitForViewer) {
  InitializeCriticalSection(&lock_);
  // Windows 95/98/Me and NT 4 refuse the "Global\" prefix; the viewer names its objects by the
  // same rule, so both sides meet on every system.
  mapName_ = QV_GlobalObjectName("TraceViewerMap");
  queueEventName_ = QV_GlobalObjectName("TraceViewerQueueEvent");
  mutexName_ = QV_GlobalObjectName("TraceViewerQueueMutex");
  flushEventName_ = QV_GlobalObjectName("TraceViewerFlushEvent");
  startEventName_ = QV_GlobalObjectName("TraceViewerStartEvent");
  UpdateFlushEvent();
}

TTraceMapFileChannel::~TTraceMapFileChannel() {
  {
    TSectionLock hold(lock_);
    CloseLocked();
  }
  DeleteCriticalSection(&lock_);
}

void TTraceMapFileChannel::CloseLocked() {
  flushEvent_.reset();
  session_.reset();
}

void TTraceMapFileChannel::CloseSession(const std::shared_ptr<TTraceSession>& session) {
  TSectionLock hold(lock_);
  if (session_ == session) CloseLocked();
}

bool TTraceMapFileChannel::IsOpen() {
  TSectionLock hold(lock_);
  return session_ != nullptr;
}

bool TTraceMapFileChannel::EnsureOpen() {
  TSectionLock hold(lock_);
  return EnsureOpenLocked();
}

bool TTraceMapFileChannel::EnsureOpenLocked() {
  if (session_) {
    if (LoadShared(static_cast<const uint8_t*>(session_->view.get()) + kTrhMagic) == kTraceMagic)
      return true;
    CloseLocked();
    return false;
  }
  auto session = std::make_shared<TTraceSession>();
  session->mapping.reset(OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, mapName_.c_str()));
  if (session->mapping)
    session->view.reset(MapViewOfFile(session->mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  if (session->view)
    session->queueEvent.reset(OpenEventA(EVENT_MODIFY_STATE, FALSE, queueEventName_.c_str()));
  if (!session->queueEvent) return false;
  // The header's sizes come from the other process: they count only as far as the bytes that
  // are really usable here.
  const size_t viewSize = TraceUsableViewBytes(session->view.get());
  TTraceGeometry geometry;
  if (!TraceCheckHeader(static_cast<const uint8_t*>(session->view.get()), viewSize, &geometry))
    return false;
  session->mapSize = geometry.mapSize;
  session->queueSize = geometry.queueSize;
  session->queueStart = static_cast<uint8_t*>(session->view.get()) + geometry.queueOffset;
  session_ = std::move(session);
  UpdateFlushEventLocked();
  return true;
}

void TTraceMapFileChannel::UpdateFlushEvent() {
  TSectionLock hold(lock_);
  UpdateFlushEventLocked();
}

void TTraceMapFileChannel::UpdateFlushEventLocked() {
  if (WaitForViewer) {
    if (!flushEvent_ || !*flushEvent_)
      flushEvent_ = std::make_shared<TKernelHandle>(CreateEventA(nullptr, FALSE, FALSE, flushEventName_.c_str()));
  } else {
    flushEvent_.reset();
  }
}

std::string TTraceMapFileChannel::ViewerCommand() {
  std::string path = QV_ReadRegString(HKEY_CURRENT_USER, kViewerRegKey, kViewerRegValue, "");
  if (path.empty()) return "TraceViewer.exe -a ";
  // A stored path with a space, unquoted, would let the system try "C:\Program.exe" first.
  if (path.find(' ') != std::string::npos && path.find('"') == std::string::npos)
    path = "\"" + path + "\"";
  return path + " -a ";
}

void TTraceMapFileChannel::LaunchViewer() {
  std::string command = ViewerCommand() + std::to_string(GetCurrentProcessId());
  TKernelHandle started(CreateEventA(nullptr, FALSE, FALSE, startEventName_.c_str()));
  UINT run = WinExec(command.c_str(), SW_SHOW);
  if (run > 31 && started) WaitForSingleObject(started.get(), kStartWaitMs);
}

bool TTraceMapFileChannel::FilterPending() {
  TSectionLock hold(lock_);
  return session_ && LoadShared(static_cast<const uint8_t*>(session_->view.get()) + kTrhFilterChanged) != 0;
}

void TTraceMapFileChannel::LoadFilter(TTraceFilter& filter) {
  TSectionLock hold(lock_);
  if (!session_) return;
  uint8_t* header = static_cast<uint8_t*>(session_->view.get());
  TTraceFilterFields fields = TraceReadFilter(header);
  filter.Enabled = fields.enabled;
  filter.Level = fields.level;
  filter.Tag = fields.tag;
  filter.Kinds = fields.kinds;
  StoreShared(header + kTrhFilterChanged, 0);
}

TTraceMapFileChannel::TPushResult TTraceMapFileChannel::Push(TTraceSession& session, const void* record,
                                                             uint32_t size) {
  TKernelHandle mutex(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, mutexName_.c_str()));
  if (!mutex) return TPushResult::Failed;
  TMutexLock queueLock;
  if (!queueLock.Lock(mutex.get(), kMutexWaitMs)) return TPushResult::Dropped;  // busy: only this line is lost
  uint8_t* header = static_cast<uint8_t*>(session.view.get());
  TTraceQueuePos pos;
  pos.front = LoadShared(header + kTrhFront);
  pos.tail = LoadShared(header + kTrhTail);
  // A damaged queue (impossible front, tail or stored size) closes the channel: nothing is
  // written, and the next line starts over from the header.
  TTracePush pushed = TraceQueuePush(session.queueStart, session.queueSize, pos, record, size);
  if (pushed == TTracePush::TooLarge) return TPushResult::Dropped;
  if (pushed == TTracePush::Damaged) return TPushResult::Failed;
  StoreShared(header + kTrhTail, pos.tail);
  if (pos.frontMoved) StoreShared(header + kTrhFront, pos.front);
  queueLock.unlock();
  return SetEvent(session.queueEvent.get()) ? TPushResult::Sent : TPushResult::Failed;
}

void TTraceMapFileChannel::Send(const void* record, uint32_t size) {
  std::shared_ptr<TTraceSession> session;
  std::shared_ptr<TKernelHandle> flush;
  {
    TSectionLock hold(lock_);
    session = session_;
    flush = flushEvent_;
  }
  // Another thread may have closed the channel since this line's EnsureOpen.
  if (!session || size > session->queueSize) return;
  const TPushResult pushed = Push(*session, record, size);
  if (pushed == TPushResult::Failed) CloseSession(session);
  if (pushed != TPushResult::Sent) return;
  if (WaitForViewer && flush && *flush) WaitForSingleObject(flush->get(), kFlushWaitMs);
}

size_t TraceUsableViewBytes(const void* view) {
  MEMORY_BASIC_INFORMATION info = {};
  if (!view || VirtualQuery(view, &info, sizeof info) != sizeof info) return 0;
  // PAGE_GUARD would fault on first touch as well, so it counts as unusable.
  if (info.State != MEM_COMMIT || (info.Protect & (0xFF | PAGE_GUARD)) != PAGE_READWRITE) return 0;
  const size_t skipped = static_cast<const uint8_t*>(view) - static_cast<const uint8_t*>(info.BaseAddress);
  return info.RegionSize > skipped ? info.RegionSize - skipped : 0;
}

// --- TTracer --------------------------------------------------------------------------------------

TTracer::TTracer(std::unique_ptr<TTraceChannel> channel) : channel_(std::move(channel)) {}

TTracer::~TTracer() = default;

int TTracer::ThreadIndent(DWORD threadId) const {
  std::lock_guard<std::mutex> lock(threadsLock_);
  auto it = threads_.find(threadId);
  return it == threads_.end() ? -1 : it->second;
}

void TTracer::EnsureThread(DWORD threadId) {
  // An unlocked lookup could meet a rehash by another thread's addition; one short lock
  // covers both. emplace would build a node (an allocation) before finding the key, so look
  // first: this runs for every line, even with output off.
  std::lock_guard<std::mutex> lock(threadsLock_);
  if (threads_.find(threadId) == threads_.end()) threads_.emplace(threadId, 0);
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
  return TraceBuildRecord(static_cast<uint8_t*>(buffer), GetCurrentProcessId(),
                          GetCurrentThreadId(), msg, tag, stamp);
}

void TTracer::StartViewerOnce() {
  std::lock_guard<std::mutex> lock(launchLock_);
  if (ViewerStarted) return;
  if (channel_) channel_->LaunchViewer();
  ViewerStarted = true;
}

void TTracer::TraceTagged(const std::string& msg, const std::string& tag) {
  if (msg.empty()) return;
  EnsureThread(GetCurrentThreadId());
  if (AutoStartViewer && !ViewerStarted) StartViewerOnce();
  InterlockedIncrement(reinterpret_cast<volatile LONG*>(&MessageCount));
  if (!OutputEnabled || !channel_ || !channel_->ChannelEnabled) return;
  if (!channel_->EnsureOpen()) return;
  {
    std::lock_guard<std::mutex> lock(filterLock_);
    if (channel_->FilterPending()) channel_->LoadFilter(filter_);
    if (!filter_.Passes(tag, kLevel, 0)) return;
  }
  uint8_t record[kHeaderSize + kMaxText] = {};
  uint32_t size = BuildRecord(record, msg, tag, NowStamp());
  if (channel_->ChannelEnabled && channel_->EnsureOpen() && size > 0) {
    channel_->Send(record, size);
    InterlockedIncrement(reinterpret_cast<volatile LONG*>(&SentCount));
  }
}

namespace {
TTracer* g_debugger = nullptr;
}

TTracer* GetDebugger() {
  if (!g_debugger) {
    // Two threads tracing first at once must end up with one debugger.
    TTracer* made = new TTracer(CreateDefaultTraceChannel());
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_debugger), made,
                                          nullptr) != nullptr)
      delete made;
  }
  return g_debugger;
}

void FreeDebugger() {
  delete g_debugger;
  g_debugger = nullptr;
}

std::unique_ptr<TTraceChannel> CreateDefaultTraceChannel() {
  try {
    return std::make_unique<TTraceMapFileChannel>(true);
  } catch (...) {
    return nullptr;  // the debugger then works without a channel
  }
}
