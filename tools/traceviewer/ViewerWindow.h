// The viewer's window: a filter bar over a list of records (time with milliseconds, process,
// thread, tag, text), newest at the bottom and followed as lines arrive.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/TraceQueue.h"
#include "tools/traceviewer/ViewerHost.h"

class TViewerWindow {
 public:
  static constexpr const char* kClassName = "QmTraceViewerWindow";
  static constexpr size_t kMaxLines = 200000;  // older lines leave the list
  // Control identifiers (scripts and tests reach the controls through them).
  enum : int { IDC_FILTER = 100, IDC_LEVEL, IDC_TAG, IDC_KINDS, IDC_APPLY, IDC_CLEAR, IDC_LINES, IDC_STATUS };

  explicit TViewerWindow(TViewerHost& host) : host_(host) {}
  bool Create(const std::string& title, int showCmd);
  HWND Handle() const { return hwnd_; }
  // Puts a filter into the bar and publishes it.
  void ApplyFilter(const TTraceFilterFields& filter);
  // Called on the drain thread: queues the records and wakes the window.
  void Deliver(std::vector<TTraceRecord>&& records);

 private:
  struct TLine {
    std::string time, process, thread, tag, text;
  };
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void Layout();
  void TakePending();
  void OnApplyClick();
  void OnClearClick();
  void UpdateStatus();
  void OnGetDispInfo(NMLVDISPINFOA* info);

  TViewerHost& host_;
  HWND hwnd_ = nullptr;
  HWND cbFilter_ = nullptr, lblLevel_ = nullptr, edtLevel_ = nullptr, lblTag_ = nullptr,
       edtTag_ = nullptr, lblKinds_ = nullptr, edtKinds_ = nullptr, btnApply_ = nullptr,
       btnClear_ = nullptr, lvLines_ = nullptr, lblStatus_ = nullptr;
  std::deque<TLine> lines_;
  unsigned long long total_ = 0;
  std::mutex pendingLock_;
  std::vector<TTraceRecord> pending_;
  bool posted_ = false;
};
