// Import slots of the program's own. Every call of a function a DLL exports goes through its
// import slot (`__imp__Name@N` on 32-bit x86, `__imp_Name` on x86-64); an object linked into
// each executable ahead of the import libraries that defines the slot keeps the name, and with
// it perhaps the whole DLL, out of the import table. The slot leads to a thunk that looks the
// system's function up by name on its first call.
//
// The thunks may run before anything of this program is initialised (the threads runtime calls
// some while the process attaches), so a TSystemFunction is constant-initialised and its lookup
// uses only kernel32 functions every system has.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

namespace qmlegacy {

// A system function found by name on first use. Threads that race on the first call find the
// same address and store the same answer.
class TSystemFunction {
 public:
  // `ntOnly`: asked for only on NT-based systems, since what Windows 95/98/Me export under such
  // a name (if anything) does not do the job.
  constexpr TSystemFunction(const char* dll, const char* name, bool ntOnly = false)
      : dll_(dll), name_(name), ntOnly_(ntOnly) {}
  template <typename Fn>
  Fn Get() {
    return reinterpret_cast<Fn>(Address());
  }

 private:
  void* Address() {
    void* known = address_.load(std::memory_order_acquire);
    if (!known) {
      void* found = Lookup();
      known = found ? found : Missing();
      address_.store(known, std::memory_order_release);
    }
    return known == Missing() ? nullptr : known;
  }
  void* Lookup() const {
    if (ntOnly_ && (GetVersion() & 0x80000000u) != 0) return nullptr;
    HMODULE module = GetModuleHandleA(dll_);
    // Loaded for good: the remembered address points into it for the rest of the run.
    if (!module) module = LoadLibraryA(dll_);
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name_)) : nullptr;
  }
  // Its address marks a function the system does not have.
  static void* Missing() {
    static char missing;
    return &missing;
  }

  const char* dll_;
  const char* name_;
  bool ntOnly_;
  std::atomic<void*> address_{nullptr};
};

// The bytes of arguments a __stdcall function removes from the stack: the N of its "@N".
template <typename F>
struct TArgumentBytes;
template <typename R, typename... A>
struct TArgumentBytes<R(WINAPI*)(A...)> {
  static constexpr size_t value = (size_t{0} + ... + ((sizeof(A) + 3) / 4 * 4));
};

// A thunk for a function of type `Fn` that calls what `Function` finds, or, where the system has
// no such function, sets ERROR_CALL_NOT_IMPLEMENTED and returns `Failure::Value()`.
template <typename Fn>
struct TThunk;
template <typename R, typename... A>
struct TThunk<R(WINAPI*)(A...)> {
  template <TSystemFunction* Function, typename Failure>
  static R WINAPI Call(A... args) {
    if (auto real = Function->template Get<R(WINAPI*)(A...)>()) return real(args...);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return Failure::Value();
  }
};

}  // namespace qmlegacy

// A slot has the type of the declared function, so the compiler checks each thunk's parameters
// and calling convention against the system's; on 32-bit x86 the "@N" of the slot's name must
// also match the parameters, or the linker would leave the system's slot in place.
#if defined(__i386__)
#define QM_SLOT_SYMBOL(name, bytes) "__imp__" #name "@" #bytes
#define QM_CHECK_BYTES(name, bytes)                                            \
  static_assert(qmlegacy::TArgumentBytes<decltype(&::name)>::value == (bytes), \
                #name ": the decorated name does not match the parameters")
#else
#define QM_SLOT_SYMBOL(name, bytes) "__imp_" #name
#define QM_CHECK_BYTES(name, bytes) static_assert(true)
#endif
// The slot of `name`, holding `thunk`.
#define QM_IMPORT_SLOT_OF(name, bytes, thunk)        \
  QM_CHECK_BYTES(name, bytes);                       \
  extern "C" __attribute__((used)) decltype(&::name) \
      const qmImportSlot_##name __asm__(QM_SLOT_SYMBOL(name, bytes)) = thunk
