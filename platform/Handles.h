// Owning wrappers for Win32 handles: one owner, movable, never copied (a copy would close the
// handle twice).
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class TUniqueHandle {
 public:
  using Handle = typename Traits::Handle;
  TUniqueHandle() = default;
  explicit TUniqueHandle(Handle h) : handle_(h) {}
  ~TUniqueHandle() { reset(); }
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& other) noexcept : handle_(other.release()) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Handle get() const { return handle_; }
  explicit operator bool() const { return Traits::Valid(handle_); }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle h = Traits::Invalid()) {
    if (Traits::Valid(handle_)) Traits::Close(handle_);
    handle_ = h;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct TKernelTraits {  // handles whose "none" is null: events, mutexes, mappings, tokens
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};
struct TFileTraits {  // CreateFile and FindFirstFile-style handles use INVALID_HANDLE_VALUE
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};
struct TFindTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};
struct TRegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};
struct TViewTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { UnmapViewOfFile(h); }
};

using TKernelHandle = TUniqueHandle<TKernelTraits>;
using TFileHandle = TUniqueHandle<TFileTraits>;
using TFindHandle = TUniqueHandle<TFindTraits>;
using TRegKey = TUniqueHandle<TRegKeyTraits>;
using TMappedView = TUniqueHandle<TViewTraits>;

// Holds a mutex that was obtained by a wait and releases it once.
class TMutexLock {
 public:
  TMutexLock() = default;
  // Waits up to `timeoutMs`; an abandoned mutex counts as obtained.
  TMutexLock(HANDLE mutex, DWORD timeoutMs) { Lock(mutex, timeoutMs); }
  bool Lock(HANDLE mutex, DWORD timeoutMs) {
    unlock();
    DWORD r = WaitForSingleObject(mutex, timeoutMs);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) mutex_ = mutex;
    return locked();
  }
  ~TMutexLock() { unlock(); }
  TMutexLock(const TMutexLock&) = delete;
  TMutexLock& operator=(const TMutexLock&) = delete;
  bool locked() const { return mutex_ != nullptr; }
  void unlock() {
    if (mutex_) ReleaseMutex(mutex_);
    mutex_ = nullptr;
  }

 private:
  HANDLE mutex_ = nullptr;
};
