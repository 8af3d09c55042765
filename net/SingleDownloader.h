// The HTTP client: a non-visual component that fetches one resource at a time over HTTP/1.0 or
// HTTPS on a worker thread, into a string or a file, and reports on the user-interface thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "components/Components.h"
#include "platform/Handles.h"

// (Sender, announced length or 0, body bytes received so far); Sender is the worker.
using TOnProgressEvent = TEvent<TObject*, int32_t, int32_t>;
// (Sender, target file, announced length).
using TOnDoneFileEvent = TEvent<TObject*, const std::string&, int32_t>;
// (Sender, the whole body).
using TOnDoneStringEvent = TEvent<TObject*, const std::string&>;

// A download to a string fails once its body passes this size, so that a hostile or broken
// server cannot exhaust the program's memory.
constexpr int32_t kMaxStringDownload = 16 * 1024 * 1024;
// Body reads are made in chunks of this size.
constexpr DWORD kDownloadChunk = 1025;

// How long a transfer may take, in milliseconds, so that a server that stalls or trickles holds
// no thread, socket or window for long: to make the connection, for each send and each wait for
// the next byte, and for the whole answer. Each wait is also cut to what is left of the whole.
struct TTransferLimits {
  DWORD ConnectMs = 15000;
  DWORD IdleMs = 30000;
  DWORD TotalMs = 60000;
};
// The limits in effect for new downloaders: the ones above, each shortened by the settings
// "Net.ConnectLimit", "Net.IdleLimit" and "Net.TotalLimit" (milliseconds) where they hold a
// smaller positive number. A setting can only shorten a limit, never lift it.
TTransferLimits TransferLimitsFromSettings();

// The request values of one transfer, copied when it starts.
struct TDownloadRequest {
  std::string AcceptTypes, Agent, URL, FileName, UserName, Password, ContentType, PostQuery, Referer;
  bool BinaryData = false;
  bool UseCache = false;
  bool ToFile = false;
  TTransferLimits Limits;
};

// The Internet handles of one transfer, each closed exactly once: by the worker as it ends, or
// earlier from the user-interface thread when the transfer is abandoned. On Windows closing a
// handle also ends a call blocked on it; where it does not, the time limits end that call.
class TTransferHandles {
 public:
  using HINTERNET = void*;  // as wininet.h has it, which stays out of this header
  TTransferHandles() = default;
  ~TTransferHandles() { CloseAll(); }
  TTransferHandles(const TTransferHandles&) = delete;
  TTransferHandles& operator=(const TTransferHandles&) = delete;
  // Takes ownership of `h` and returns it; after CloseAll it closes `h` at once and returns null,
  // so a worker that was abandoned mid-way opens nothing that stays open.
  HINTERNET Add(HINTERNET h);
  // Closes every handle, the last opened first. Any thread; later calls do nothing.
  void CloseAll();
  // Whether CloseAll ran: the handles' values must not be used any more (the system may give
  // them to new handles).
  bool Closed() const { return closed_; }

 private:
  std::mutex lock_;
  std::vector<HINTERNET> handles_;
  std::atomic<bool> closed_{false};
};

// One transfer. It lives as long as its thread runs and, when its completion is to be reported,
// until the owning component has run the completion step: both hold a shared reference.
// Only the fields marked as such are touched by both threads; everything else belongs to the
// worker until it has posted its completion.
class TSingleDownloaderThread : public TObject {
  QM_CLASS(TSingleDownloaderThread, TObject)
 public:
  TSingleDownloaderThread(const TDownloadRequest& request, const TOnProgressEvent& onProgress,
                          HWND notifyWindow);
  ~TSingleDownloaderThread() override;

  // Starts the thread; the thread keeps `self` alive until it ends. False when no thread could
  // be created.
  static bool Start(const std::shared_ptr<TSingleDownloaderThread>& self);

  // User-interface thread: the cancel of the component. Detaches progress and completion, marks
  // the transfer failed, closes its Internet handles and asks the worker to stop.
  void Abandon();
  // User-interface thread: runs the progress handler if still attached and releases the
  // worker, which waits for it.
  void DeliverProgress();

  // Test seam: the flags of the latest request opened by any worker. Wine's WinInet keeps no
  // answer cache, so whether a request bypasses the cache cannot be seen from outside there.
  static std::atomic<DWORD> LastRequestFlags;
  // Test seam: worker threads still running in this process, abandoned ones included.
  static int RunningWorkers() { return running_; }

  uint32_t Id() const { return id_; }
  bool Success() const { return success_; }
  bool ToFile() const { return request_.ToFile; }
  const std::string& FileName() const { return request_.FileName; }
  const std::string& Result() const { return result_; }
  int32_t ContentLength() const { return contentLength_; }
  int32_t TotalReceived() const { return totalReceived_; }

 private:
  static DWORD WINAPI ThreadProc(void* param);
  static DWORD WINAPI CloseProc(void* param);
  void Execute();
  bool Transfer();
  bool Terminated() const { return terminated_ || handles_->Closed(); }
  // Posts the progress notification and waits until it ran or the transfer was abandoned.
  void ReportProgress();
  bool FinishFile(const std::string& temp, bool success);

  TDownloadRequest request_;
  std::string result_;
  int32_t contentLength_ = 0;
  bool hasContentLength_ = false;
  uint32_t lastChunk_ = 0;
  int32_t totalReceived_ = 0;
  TOnProgressEvent onProgress_;  // user-interface thread only

  const uint32_t id_;
  const HWND notifyWindow_;
  // Shared between the threads: single values, one writer each way.
  std::atomic<bool> success_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> progressAttached_{false};
  std::atomic<bool> completionAttached_{true};
  TKernelHandle progressDone_;  // auto-reset: the handler ran
  TKernelHandle abandoned_;     // manual-reset: set by Abandon, wakes a waiting worker
  // Shared with the thread that closes them when the transfer is abandoned.
  std::shared_ptr<TTransferHandles> handles_ = std::make_shared<TTransferHandles>();
  static std::atomic<int> running_;
};

class TSingleDownloader : public TComponent {
  QM_CLASS(TSingleDownloader, TComponent)
 public:
  explicit TSingleDownloader(TComponent* owner);
  ~TSingleDownloader() override;

  void DownloadToFile() { Start(true); }
  void DownloadToString() { Start(false); }
  void CancelDownload();
  bool Busy() const { return static_cast<bool>(current_); }

  std::string AcceptTypes = "*/*";
  std::string Agent;
  bool BinaryData = false;
  std::string URL;
  bool UseCache = false;
  std::string FileName;
  std::string UserName;
  std::string Password;
  std::string ContentType;
  std::string PostQuery;
  std::string Referer;
  bool WaitThread = false;
  // Not published: the time limits of the transfers this component starts.
  TTransferLimits Limits = TransferLimitsFromSettings();
  TOnProgressEvent OnProgress;
  TOnDoneFileEvent OnDoneFile;
  TOnDoneStringEvent OnDoneString;
  TNotifyEvent OnError;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Start(bool toFile);
  void Completed(uint32_t id);
  // The whole limit of transfer `id` passed: it is abandoned and reported as failed.
  void TimedOut(uint32_t id);
  void Progressed(uint32_t id);
  // Pumps this thread's messages until the current transfer is over; false when the component
  // was destroyed meanwhile.
  void PumpUntilIdle();

  HWND window_ = nullptr;  // hidden message window receiving the worker's notifications
  std::shared_ptr<TSingleDownloaderThread> current_;
  bool cancelled_ = false;
  // Cleared by the destructor; a pump or handler that outlives the component checks it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
