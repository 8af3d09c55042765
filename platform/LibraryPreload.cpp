#include "platform/LibraryPreload.h"

#include <memory>

namespace {

// Loading takes little stack; the default of the executable (a megabyte or more) would only
// reserve address space for nothing.
constexpr SIZE_T kThreadStackBytes = 64 * 1024;

}  // namespace

TLibraryPreload::TLibraryPreload(std::vector<std::string> libraries) {
  // The thread owns its list: should a library's start outlast the wait at the end, nothing it
  // reads has been freed under it.
  auto* names = new std::vector<std::string>(std::move(libraries));
  DWORD id = 0;
  thread_.reset(CreateThread(nullptr, kThreadStackBytes, &ThreadProc, names, STACK_SIZE_PARAM_IS_A_RESERVATION, &id));
  // Without a thread (no memory) the libraries load where they are first needed, as without this.
  if (!thread_) delete names;
}

TLibraryPreload::~TLibraryPreload() { Wait(); }

bool TLibraryPreload::Wait(DWORD timeoutMs) {
  return !thread_ || WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI TLibraryPreload::ThreadProc(void* param) {
  std::unique_ptr<std::vector<std::string>> names(static_cast<std::vector<std::string>*>(param));
  for (const std::string& name : *names) LoadLibraryA(name.c_str());
  return 0;
}
