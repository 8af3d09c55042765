#include "net/SingleDownloader.h"

#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "framework/CLSettings.h"
#include "tools/QVTools.h"
#include "tools/UrlText.h"

namespace {

// Registered messages, so that a notification that reaches a window other than the one meant
// (a destroyed window's handle taken again) means nothing to it.
UINT ProgressMessage() {
  static const UINT msg = RegisterWindowMessageA("QM SingleDownloader Progress");
  return msg;
}
UINT DoneMessage() {
  static const UINT msg = RegisterWindowMessageA("QM SingleDownloader Done");
  return msg;
}

const char kWindowClass[] = "QMSingleDownloaderWindow";

std::atomic<uint32_t> g_nextId{1};

// The temporary file names draw from one generator for the process, seeded from the clock on
// first use; creation with CREATE_NEW settles any race between two workers.
uint32_t NextRandom() {
  static std::mutex lock;
  static uint32_t state = 0;
  static bool seeded = false;
  std::lock_guard<std::mutex> guard(lock);
  if (!seeded) {
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    state = static_cast<uint32_t>(now.QuadPart) ^ GetTickCount() ^ (GetCurrentProcessId() << 16);
    seeded = true;
  }
  state = state * 1103515245u + 12345u;
  return state >> 8;
}

// Creates a new, empty temporary file "sgXXXXX.tmp" in the system's temporary folder.
TFileHandle CreateTempDownloadFile(std::string* path) {
  char folder[MAX_PATH + 1] = {};
  DWORD n = GetTempPathA(MAX_PATH, folder);
  if (n == 0 || n > MAX_PATH) return TFileHandle();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[MAX_PATH + 32];
    std::snprintf(name, sizeof name, "%s%s%X.%s", folder, "sg", NextRandom() % 0xFFFFF, "tmp");
    TFileHandle file(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      *path = name;
      return file;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return TFileHandle();
}

// The Content-Length text as a length: decimal digits only (blanks around them allowed), at most
// 2^31-1. Anything else is an unreadable length.
bool ParseContentLength(const char* text, int32_t* value) {
  std::string s(text);
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  if (a == std::string::npos) return false;
  s = s.substr(a, b - a + 1);
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return false;
  }
  *value = static_cast<int32_t>(v);
  return true;
}

constexpr size_t kFileWriteBlock = 64 * 1024;

// Puts a copy of `source` in place of `target` in one step. A copy straight onto the target
// truncates it first, so a copy that fails part-way (a full disk, a removed medium) would leave
// a cut-off target. The copy goes to a new name in the target's own folder instead, where a
// rename replaces the target at once (the system's temporary folder may be another volume).
bool ReplaceWithCopy(const std::string& source, const std::string& target) {
  const size_t slash = target.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "sg%X.part", NextRandom() % 0xFFFFF);
    const std::string beside = folder + name;
    if (!CopyFileA(source.c_str(), beside.c_str(), TRUE)) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;  // not ours: another name
      DeleteFileA(beside.c_str());  // a copy that failed part-way leaves its beginning
      return false;
    }
    if (MoveFileExA(beside.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(beside.c_str());
    return false;
  }
  return false;
}

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

void SetTimeLimit(HINTERNET h, DWORD option, DWORD ms) {
  InternetSetOptionA(h, option, &ms, sizeof ms);
}

// The send and receive limits of a handle; the data options are what older WinInet versions
// read for the same waits.
void SetIdleLimit(HINTERNET h, DWORD ms) {
  for (DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                       INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    SetTimeLimit(h, option, ms);
}

// The time left of a transfer's whole limit, as a limit for its next wait: `each` or less, 0
// once the whole limit is spent.
class TDeadline {
 public:
  explicit TDeadline(DWORD totalMs) : start_(GetTickCount()), total_(totalMs) {}
  DWORD Next(DWORD each) const {
    const DWORD spent = GetTickCount() - start_;
    if (spent >= total_) return 0;
    return std::min(each, total_ - spent);
  }

 private:
  DWORD start_, total_;
};

DWORD ShortenedLimit(TCLSettings* settings, const char* key, DWORD limit) {
  const int64_t value = settings->ReadInteger(key);
  return value > 0 && value < static_cast<int64_t>(limit) ? static_cast<DWORD>(value) : limit;
}

}  // namespace

TTransferLimits TransferLimitsFromSettings() {
  TTransferLimits limits;
  TCLSettings* settings = GetSettings();
  limits.ConnectMs = ShortenedLimit(settings, "Net.ConnectLimit", limits.ConnectMs);
  limits.IdleMs = ShortenedLimit(settings, "Net.IdleLimit", limits.IdleMs);
  limits.TotalMs = ShortenedLimit(settings, "Net.TotalLimit", limits.TotalMs);
  return limits;
}

// --- The handles of a transfer ------------------------------------------------------------------

HINTERNET TTransferHandles::Add(HINTERNET h) {
  if (!h) return nullptr;
  std::lock_guard<std::mutex> guard(lock_);
  if (closed_) {
    InternetCloseHandle(h);
    return nullptr;
  }
  handles_.push_back(h);
  return h;
}

void TTransferHandles::CloseAll() {
  std::vector<HINTERNET> handles;
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    handles.swap(handles_);
  }
  for (auto it = handles.rbegin(); it != handles.rend(); ++it) InternetCloseHandle(*it);
}

// --- The worker ---------------------------------------------------------------------------------

QM_REGISTER_CLASS(TSingleDownloaderThread, b) { (void)b; }

std::atomic<DWORD> TSingleDownloaderThread::LastRequestFlags{0xFFFFFFFFu};
std::atomic<int> TSingleDownloaderThread::running_{0};

TSingleDownloaderThread::TSingleDownloaderThread(const TDownloadRequest& request,
                                                 const TOnProgressEvent& onProgress, HWND notifyWindow)
    : request_(request),
      onProgress_(onProgress),
      id_(g_nextId++),
      notifyWindow_(notifyWindow),
      progressDone_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      abandoned_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  progressAttached_ = onProgress_.Assigned();
}

TSingleDownloaderThread::~TSingleDownloaderThread() = default;

bool TSingleDownloaderThread::Start(const std::shared_ptr<TSingleDownloaderThread>& self) {
  auto* ref = new std::shared_ptr<TSingleDownloaderThread>(self);
  DWORD threadId = 0;
  ++running_;
  HANDLE thread = CreateThread(nullptr, 0, &ThreadProc, ref, 0, &threadId);
  if (!thread) {
    --running_;
    delete ref;
    return false;
  }
  CloseHandle(thread);  // the worker ends on its own; nobody joins it
  return true;
}

DWORD WINAPI TSingleDownloaderThread::ThreadProc(void* param) {
  std::shared_ptr<TSingleDownloaderThread> self;
  {
    auto* ref = static_cast<std::shared_ptr<TSingleDownloaderThread>*>(param);
    self = std::move(*ref);
    delete ref;
  }
  self->Execute();
  // The component takes its own reference from its current worker; a detached worker dies
  // when `self` goes.
  if (self->completionAttached_) PostMessageA(self->notifyWindow_, DoneMessage(), self->id_, 0);
  self.reset();
  --running_;
  return 0;
}

void TSingleDownloaderThread::Abandon() {
  progressAttached_ = false;
  onProgress_ = nullptr;
  completionAttached_ = false;
  success_ = false;
  terminated_ = true;
  SetEvent(abandoned_.get());
  // Closing a handle waits, in some WinInet versions, for a call in progress on it to return,
  // so the handles are closed on a thread of their own: cancel never waits for the server.
  auto* ref = new std::shared_ptr<TTransferHandles>(handles_);
  HANDLE closer = CreateThread(nullptr, 0, &CloseProc, ref, 0, nullptr);
  if (closer) {
    CloseHandle(closer);
  } else {
    delete ref;
    handles_->CloseAll();
  }
}

DWORD WINAPI TSingleDownloaderThread::CloseProc(void* param) {
  std::unique_ptr<std::shared_ptr<TTransferHandles>> handles(static_cast<std::shared_ptr<TTransferHandles>*>(param));
  (*handles)->CloseAll();
  return 0;
}

void TSingleDownloaderThread::DeliverProgress() {
  if (progressAttached_ && onProgress_.Assigned()) {
    TOnProgressEvent handler = onProgress_;  // the handler may cancel, which clears onProgress_
    handler(this, contentLength_, totalReceived_);
  }
  SetEvent(progressDone_.get());
}

void TSingleDownloaderThread::ReportProgress() {
  if (!progressAttached_) return;
  if (!PostMessageA(notifyWindow_, ProgressMessage(), id_, 0)) return;
  HANDLE waits[2] = {progressDone_.get(), abandoned_.get()};
  WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

void TSingleDownloaderThread::Execute() {
  bool ok = false;
  try {
    ok = Transfer();
  } catch (...) {  // nothing escapes the thread: a failure is a failed transfer
    ok = false;
  }
  if (!terminated_) success_ = ok;
}

bool TSingleDownloaderThread::Transfer() {
  urltext::TDownloadAddress address;
  if (!urltext::ParseDownloadAddress(request_.URL, &address)) return false;
  if (Terminated()) return false;
  const TTransferLimits& limits = request_.Limits;
  const TDeadline deadline(limits.TotalMs);

  HINTERNET root = handles_->Add(InternetOpenA(OrNull(request_.Agent), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!root) return false;
  // Set on the root handle too, so that the handles opened from it start with them.
  SetTimeLimit(root, INTERNET_OPTION_CONNECT_TIMEOUT, limits.ConnectMs);
  SetIdleLimit(root, limits.IdleMs);
  HINTERNET connection =
      handles_->Add(InternetConnectA(root, address.Server.c_str(), address.Port, OrNull(request_.UserName),
                                    OrNull(request_.Password), INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return false;
  const bool post = !request_.PostQuery.empty();
  const char* accept[2] = {request_.AcceptTypes.c_str(), nullptr};
  const DWORD cacheFlags = request_.UseCache ? 0 : INTERNET_FLAG_RELOAD;
  LastRequestFlags = cacheFlags;
  // No flag that ignores a certificate problem, ever: an answer over TLS counts only from the
  // server its address names, and without the dialogs a problem is a failed transfer.
  const DWORD flags = cacheFlags | INTERNET_FLAG_NO_UI | (address.Secure ? INTERNET_FLAG_SECURE : 0);
  HINTERNET request = handles_->Add(HttpOpenRequestA(connection, post ? "POST" : "GET", address.Object.c_str(),
                                                    "HTTP/1.0", OrNull(request_.Referer), accept, flags, 0));
  if (!request) return false;
  const DWORD connectMs = deadline.Next(limits.ConnectMs), idleMs = deadline.Next(limits.IdleMs);
  if (connectMs == 0 || idleMs == 0 || Terminated()) return false;
  SetTimeLimit(request, INTERNET_OPTION_CONNECT_TIMEOUT, connectMs);
  SetIdleLimit(request, idleMs);
  if (post) {
    std::string headers = request_.ContentType.empty()
                              ? std::string("Content-Type: application/x-www-form-urlencoded")
                              : request_.ContentType;
    HttpSendRequestA(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                     const_cast<char*>(request_.PostQuery.data()), static_cast<DWORD>(request_.PostQuery.size()));
  } else {
    HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  }
  if (Terminated()) return false;

  // An error page is no resource: only a status of 200-299 counts (and no status at all means
  // no server answered).
  DWORD status = 0, statusSize = sizeof status, index = 0;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize, &index))
    return false;
  if (status < 200 || status > 299) return false;

  std::unique_ptr<char[]> lengthBuffer(new char[1024]());
  DWORD lengthSize = 1024;
  index = 0;
  hasContentLength_ =
      HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, lengthBuffer.get(), &lengthSize, &index) != FALSE;
  if (Terminated()) return false;
  if (!hasContentLength_ && request_.BinaryData) return false;
  if (hasContentLength_) {
    lengthBuffer[1023] = '\0';
    if (!ParseContentLength(lengthBuffer.get(), &contentLength_)) return false;
    if (!request_.ToFile && contentLength_ > kMaxStringDownload) return false;
  }
  lengthBuffer.reset();

  totalReceived_ = 0;
  std::string tempPath;
  TFileHandle temp;
  if (request_.ToFile) {
    temp = CreateTempDownloadFile(&tempPath);
    if (!temp) return false;
  } else {
    result_.clear();
    if (hasContentLength_) result_.reserve(static_cast<size_t>(contentLength_));
  }
  // The temporary file goes whatever happens from here on.
  struct TTempRemover {
    const std::string& path;
    TFileHandle& file;
    ~TTempRemover() {
      file.reset();
      if (!path.empty()) DeleteFileA(path.c_str());
    }
  } remover{tempPath, temp};

  // File bodies are gathered into larger writes: one system call per 1025 bytes costs more than
  // the transfer itself on a fast connection.
  std::string pending;
  auto flush = [&] {
    DWORD written = 0;
    bool ok = pending.empty() || (WriteFile(temp.get(), pending.data(), static_cast<DWORD>(pending.size()),
                                            &written, nullptr) &&
                                  written == pending.size());
    pending.clear();
    return ok;
  };
  char chunk[kDownloadChunk];
  for (;;) {
    if (Terminated()) return false;
    // A server that sends a byte now and then never reaches the wait's limit: the whole limit
    // ends it.
    const DWORD waitMs = deadline.Next(limits.IdleMs);
    if (waitMs == 0) return false;
    SetIdleLimit(request, waitMs);
    // Only what has arrived is read: a read of more waits until all of it is there (or the body
    // ends), and a server that sends a byte now and then would hold it past every limit.
    // A failed wait or read (a limit reached, the connection reset) is a failed transfer, even
    // without an announced length: only the server's own end of the body completes it.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return false;
    if (available == 0) break;
    if (Terminated() || deadline.Next(limits.IdleMs) == 0) return false;
    DWORD got = 0;
    if (!InternetReadFile(request, chunk, std::min<DWORD>(available, kDownloadChunk), &got)) return false;
    if (got == 0) break;
    if (Terminated() || deadline.Next(limits.IdleMs) == 0) return false;
    lastChunk_ = got;
    if (static_cast<int64_t>(totalReceived_) + got > INT32_MAX) return false;
    if (request_.ToFile) {
      pending.append(chunk, got);
      if (pending.size() >= kFileWriteBlock && !flush()) return false;
    } else {
      if (static_cast<int64_t>(totalReceived_) + got > kMaxStringDownload) return false;
      result_.append(chunk, got);
    }
    totalReceived_ += static_cast<int32_t>(got);
    if (Terminated()) return false;
    ReportProgress();
  }

  // A body is complete when it has the announced length, or, without one, any bytes at all.
  bool complete = hasContentLength_ ? totalReceived_ == contentLength_ : totalReceived_ > 0;
  if (!request_.ToFile) return complete && totalReceived_ > 0;
  if (!flush()) return false;
  temp.reset();
  return FinishFile(tempPath, complete);
}

bool TSingleDownloaderThread::FinishFile(const std::string& temp, bool success) {
  // A failed transfer never replaces the file already in place.
  if (!success) return false;
  const std::string& target = request_.FileName;
  size_t slash = target.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0) QV_ForceDirectories(target.substr(0, slash));
  return ReplaceWithCopy(temp, target);
}

// --- The component ------------------------------------------------------------------------------

QM_REGISTER_CLASS(TSingleDownloader, b) {
  b.Str("AcceptTypes", &TSingleDownloader::AcceptTypes);
  b.Str("Agent", &TSingleDownloader::Agent);
  b.Bool("BinaryData", &TSingleDownloader::BinaryData);
  b.Str("URL", &TSingleDownloader::URL);
  b.Bool("UseCache", &TSingleDownloader::UseCache);
  b.Str("FileName", &TSingleDownloader::FileName);
  b.Str("UserName", &TSingleDownloader::UserName);
  b.Str("Password", &TSingleDownloader::Password);
  b.Str("ContentType", &TSingleDownloader::ContentType);
  b.Str("PostQuery", &TSingleDownloader::PostQuery);
  b.Str("Referer", &TSingleDownloader::Referer);
  b.Bool("WaitThread", &TSingleDownloader::WaitThread);
  b.Event("OnProgress", "TOnProgressEvent", &TSingleDownloader::OnProgress);
  b.Event("OnDoneFile", "TOnDoneFileEvent", &TSingleDownloader::OnDoneFile);
  b.Event("OnDoneString", "TOnDoneStringEvent", &TSingleDownloader::OnDoneString);
  b.Event("OnError", "TNotifyEvent", &TSingleDownloader::OnError);
}

TSingleDownloader::TSingleDownloader(TComponent* owner) : TComponent(owner) {
  static ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &TSingleDownloader::WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    return RegisterClassA(&wc);
  }();
  (void)atom;
  // A message-only window where the system has them (2000 and later); a hidden top-level one
  // elsewhere.
  window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (!window_)
    window_ = CreateWindowExA(0, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TSingleDownloader::~TSingleDownloader() {
  *alive_ = false;
  CancelDownload();
  if (window_) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);  // notifications still queued for it are dropped with it
  }
}

LRESULT CALLBACK TSingleDownloader::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    KillTimer(hwnd, wp);
    if (auto* self = reinterpret_cast<TSingleDownloader*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
      try {
        self->TimedOut(static_cast<uint32_t>(wp));
      } catch (...) {  // as below
      }
    }
    return 0;
  }
  if (msg == ProgressMessage() || msg == DoneMessage()) {
    auto* self = reinterpret_cast<TSingleDownloader*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return 0;
    try {
      if (msg == DoneMessage())
        self->Completed(static_cast<uint32_t>(wp));
      else
        self->Progressed(static_cast<uint32_t>(wp));
    } catch (...) {  // a handler's failure must not unwind through the system's dispatcher
    }
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void TSingleDownloader::Start(bool toFile) {
  if (current_) return;
  cancelled_ = false;
  TDownloadRequest r;
  r.AcceptTypes = AcceptTypes;
  r.Agent = Agent;
  r.URL = URL;
  r.FileName = FileName;
  r.UserName = UserName;
  r.Password = Password;
  r.ContentType = ContentType;
  r.PostQuery = PostQuery;
  r.Referer = Referer;
  r.BinaryData = BinaryData;
  r.UseCache = UseCache;
  r.ToFile = toFile;
  r.Limits = Limits;
  auto worker = std::make_shared<TSingleDownloaderThread>(r, OnProgress, window_);
  if (!window_ || !TSingleDownloaderThread::Start(worker)) {
    OnError(this);  // no thread, no transfer: report it as the failure it is
    return;
  }
  current_ = worker;
  // The whole limit holds for the component even where the worker cannot see it: a call that
  // waits for a server sending a byte now and then (the answer's head, say) returns only when
  // the head is complete, and closing its handle does not end it everywhere.
  SetTimer(window_, worker->Id(), std::max<DWORD>(Limits.TotalMs, 1), nullptr);
  if (WaitThread) PumpUntilIdle();
}

void TSingleDownloader::TimedOut(uint32_t id) {
  if (!current_ || current_->Id() != id) return;
  std::shared_ptr<TSingleDownloaderThread> worker = std::move(current_);
  current_.reset();
  worker->Abandon();  // it ends on its own, reporting nothing
  OnError(this);
}

void TSingleDownloader::PumpUntilIdle() {
  std::shared_ptr<bool> alive = alive_;
  const uint32_t id = current_->Id();
  auto waiting = [&] { return *alive && current_ && current_->Id() == id; };
  while (waiting()) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the real message loop
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (!waiting()) return;
    }
    // Sleeps until the next message instead of spinning: the worker's notifications are
    // messages, so nothing is missed.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

void TSingleDownloader::CancelDownload() {
  if (!current_) return;
  std::shared_ptr<TSingleDownloaderThread> worker = std::move(current_);
  current_.reset();
  KillTimer(window_, worker->Id());
  worker->Abandon();
  cancelled_ = true;
}

void TSingleDownloader::Progressed(uint32_t id) {
  if (!current_ || current_->Id() != id) return;  // abandoned: its worker no longer waits
  std::shared_ptr<TSingleDownloaderThread> worker = current_;
  worker->DeliverProgress();  // may destroy this component; only `worker` is used afterwards
}

void TSingleDownloader::Completed(uint32_t id) {
  if (!current_ || current_->Id() != id) return;
  std::shared_ptr<TSingleDownloaderThread> worker = std::move(current_);
  current_.reset();
  KillTimer(window_, id);
  // The component is idle from here on, so a handler may start the next download.
  if (worker->Success()) {
    if (worker->ToFile())
      OnDoneFile(this, worker->FileName(), worker->ContentLength());
    else
      OnDoneString(this, worker->Result());
  } else if (!cancelled_) {
    OnError(this);
  }
}
