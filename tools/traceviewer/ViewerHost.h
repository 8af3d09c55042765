// The viewer's side of the shared-memory queue: creates the mapping, the events and the queue
// mutex, drains records on a thread of its own, appends them to an optional log file and hands
// them on. The program may be hostile or broken, so everything read back from the mapping is
// checked; a damaged queue is emptied and reading goes on.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/TraceQueue.h"

class TViewerHost {
 public:
  using TOnRecords = std::function<void(std::vector<TTraceRecord>&&)>;

  TViewerHost() = default;
  ~TViewerHost();
  TViewerHost(const TViewerHost&) = delete;
  TViewerHost& operator=(const TViewerHost&) = delete;

  // Creates (or takes over) the named objects; false with a reason on failure.
  bool Create(std::string* error);
  // Appends every record to the file from now on; false when it cannot be opened.
  bool OpenLog(const std::string& path);
  // Starts draining; `onRecords` runs on the drain thread.
  bool Start(TOnRecords onRecords);
  // Drains what is left and stops the thread.
  void Stop();
  // Publishes a filter for the program and raises the filter-changed field.
  void SetFilter(const TTraceFilterFields& filter);

  LONG Resyncs() const { return resyncs_; }

 private:
  static DWORD WINAPI ThreadMain(LPVOID self);
  void Run();
  // Takes every unread record under the queue mutex; false when the mutex is gone.
  void DrainOnce(std::vector<TTraceRecord>* records);
  void RepairHeader(uint8_t* header);
  void WriteLog(const std::vector<TTraceRecord>& records);

  TKernelHandle mapping_, queueEvent_, queueMutex_, flushEvent_, stopEvent_, thread_;
  TMappedView view_;
  TFileHandle log_;
  TTraceGeometry geometry_;
  TOnRecords onRecords_;
  volatile LONG resyncs_ = 0;
};
