// The viewer's command line, free of Win32 so that odd command lines can be tested and fuzzed.
//   -a PID    started by the program PID: signal its start event once ready
//   -o FILE   also append every record to FILE, one line each (for scripts)
//   -t TAG    filter on: only this tag (any letter case)
//   -l LEVEL  filter on: highest level that passes
//   -k KINDS  filter on: set of kinds (bit n: kind n), decimal or 0x hex
// Switches begin with "-" or "/"; a value may be quoted. Unknown words are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TViewerArgs {
  uint32_t attachPid = 0;
  std::string outputFile;
  bool filterGiven = false;
  std::string filterTag;
  int32_t filterLevel = 3;
  uint16_t filterKinds = 0;
};

// Splits a command-line tail into words; double quotes group words and are removed.
std::vector<std::string> SplitViewerCommandLine(const std::string& tail);
TViewerArgs ParseViewerArgs(const std::string& tail);
// A decimal or 0x-hexadecimal number; false for anything else or a value beyond `max`.
bool ParseViewerNumber(const std::string& text, uint32_t max, uint32_t* value);
// The command-line tail after the program name as GetCommandLine gives it.
std::string ViewerCommandTail(const std::string& commandLine);
