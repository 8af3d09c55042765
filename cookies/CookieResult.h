// What a cookie operation did, told truthfully to the person who asked for it.
#pragma once

enum class TClearStatus {
  NotFound,           // the browser or its cookie store is not on this computer
  NothingToRemove,    // the store was read, and nothing in it was asked for
  Done,               // everything asked for is gone
  HandedToExtension,  // the companion extension was started to do it; the program cannot see it end
  Busy,               // a running browser holds the store: it stays as it was
  Failed,             // something asked for could not be removed, or the store could not be read
  Refused,            // the typed text names no website: nothing was touched
};

struct TClearResult {
  TClearStatus Status = TClearStatus::NotFound;
  long long Removed = 0;  // rows of a database or lines of a cookie file; files of Internet Explorer
};

inline TClearResult ClearResultOf(TClearStatus status, long long removed = 0) {
  TClearResult r;
  r.Status = status;
  r.Removed = removed;
  return r;
}

// The outcome of several stores of one request: the gravest status, the removed counts added.
inline TClearResult Combine(const TClearResult& a, const TClearResult& b) {
  TClearResult r;
  r.Status = static_cast<int>(a.Status) > static_cast<int>(b.Status) ? a.Status : b.Status;
  r.Removed = a.Removed + b.Removed;
  return r;
}
