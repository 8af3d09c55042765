// What every benchmark shares: the clock, and the row format scripts/run-bench.sh gathers into
// one table ("name<TAB>measured<TAB>baseline<TAB>ratio<TAB>goal").
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// Seconds from the performance counter.
inline double QmBenchNow() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// printf-style formatting of one number.
inline std::string QmBenchFmt(const char* format, double v) {
  char b[64];
  std::snprintf(b, sizeof b, format, v);
  return b;
}

// One table row; a ratio of zero or less (nothing to compare with) leaves its column empty.
inline void QmBenchRow(const std::string& name, const std::string& measured, const std::string& baseline,
                       double ratio, const std::string& goal) {
  std::printf("%s\t%s\t%s\t%s\t%s\n", name.c_str(), measured.c_str(), baseline.c_str(),
              ratio > 0 ? QmBenchFmt("%.2f", ratio).c_str() : "", goal.c_str());
  std::fflush(stdout);
}
