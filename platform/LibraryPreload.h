// Loads system libraries on a thread of its own while the program goes on with its start.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Handles.h"

// The libraries stay loaded for the rest of the run (they are the ones the windows need
// anyway); only the thread ends. A library that is missing is skipped: whoever needs it
// finds out as before.
class TLibraryPreload {
 public:
  explicit TLibraryPreload(std::vector<std::string> libraries);
  // Waits for the thread (it never takes long) so that the process does not end while a
  // library's initialisation is half done on it.
  ~TLibraryPreload();
  TLibraryPreload(const TLibraryPreload&) = delete;
  TLibraryPreload& operator=(const TLibraryPreload&) = delete;

  // Loading a few system libraries takes milliseconds; past this the caller goes on without it.
  static constexpr DWORD kWaitMs = 5000;

  // Waits for the loading to end; true when it ended within `timeoutMs` (or never started).
  bool Wait(DWORD timeoutMs = kWaitMs);

 private:
  static DWORD WINAPI ThreadProc(void* names);
  TKernelHandle thread_;
};
