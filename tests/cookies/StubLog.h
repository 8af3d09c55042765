// The stand-in browser of the cookie tests (StubFirefox.cpp) and the lines it records.
#pragma once

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace stublog {

struct TStart {
  std::string CommandLine, Module, WorkingFolder;
  int Show = -1;  // -1: no show state was passed
};

// The stub as built beside the test program.
inline std::string StubPath() { return qmtest::ProgramDir() + "stub_firefox.exe"; }

// Copies the stub to `path`; false when it cannot.
inline bool PlaceStub(const std::string& path) { return CopyFileA(StubPath().c_str(), path.c_str(), FALSE) != FALSE; }

// Points every stub started from now on at `log`.
inline void SetLog(const std::string& log) { SetEnvironmentVariableA("QM_STUB_LOG", log.c_str()); }

inline std::vector<TStart> Read(const std::string& log) {
  std::vector<TStart> starts;
  const std::string text = qmtest::ReadAll(log);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) break;  // a line still being written
    std::vector<std::string> fields;
    size_t f = pos;
    for (;;) {
      size_t tab = text.find('\t', f);
      if (tab == std::string::npos || tab > end) {
        fields.push_back(text.substr(f, end - f));
        break;
      }
      fields.push_back(text.substr(f, tab - f));
      f = tab + 1;
    }
    if (fields.size() == 4) starts.push_back({fields[0], fields[1], fields[2], std::atoi(fields[3].c_str())});
    pos = end + 1;
  }
  return starts;
}

// Waits until the log holds `count` starts; returns them.
inline std::vector<TStart> WaitForStarts(const std::string& log, size_t count, DWORD timeoutMs = 20000) {
  qmtest::WaitFor([&] { return Read(log).size() >= count; }, timeoutMs);
  return Read(log);
}

}  // namespace stublog
