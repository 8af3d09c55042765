// Helpers for the test programs: scratch folders, whole-file access and child processes that
// run a registered function of the same test program.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qmtest {

// A fresh empty folder under the temporary folder, removed with its content on destruction.
class TScratchDir {
 public:
  explicit TScratchDir(const std::string& tag);
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;
  const std::string& Path() const { return path_; }  // with trailing backslash
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void RemoveTree(const std::string& path);
std::string ReadAll(const std::string& path);
bool Exists(const std::string& path);
void WriteAll(const std::string& path, const std::string& text);

// Child processes: a test program registers functions by name; RunChild starts the same
// program with "--qm-child=NAME" and the arguments, which runs only that function and exits
// with its result.
using TChildMain = std::function<int(const std::vector<std::string>& args)>;
struct TChildRegistration {
  TChildRegistration(const char* name, TChildMain fn);
};
#define QM_CHILD(name)                                                                        \
  static int QmChild_##name(const std::vector<std::string>& args);                           \
  static ::qmtest::TChildRegistration qmChildReg_##name(#name, QmChild_##name);              \
  static int QmChild_##name([[maybe_unused]] const std::vector<std::string>& args)

// Starts a child; returns its process handle (the caller closes it), null on failure.
HANDLE StartChild(const std::string& name, const std::vector<std::string>& args = {});
// Starts a child and waits up to `timeoutMs`; returns its exit code, or -1 on failure/time-out.
int RunChild(const std::string& name, const std::vector<std::string>& args = {},
             DWORD timeoutMs = 60000);
// Starts any program with a command line; returns the process handle or null.
HANDLE StartProcess(const std::string& commandLine, const std::string& currentDir = "");
// Waits for a process and returns its exit code; -1 on time-out (the process is then ended).
int WaitExit(HANDLE process, DWORD timeoutMs);

// Folder of the running test program, with trailing backslash.
std::string ProgramDir();
// The build's dist folder (QM_DIST_DIR in the environment), with trailing backslash; empty
// when not set.
std::string DistDir();

// Waits until `condition` holds, pumping this thread's messages; false on time-out.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

}  // namespace qmtest
