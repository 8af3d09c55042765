// The application engine. This unit holds, for now, only what the settings store needs of it:
// the process-wide engine and its two setting lists.
#pragma once

#include <string>
#include <vector>

class TCLEngine;

// The process-wide engine: the first engine created, or null.
TCLEngine* GetEngine();

// Looks `key` up in a list of name=value lines: the name is the text before the first "=",
// lines without "=" are ignored, names compare without regard to case, the first match wins.
bool FindNameValue(const std::vector<std::string>& lines, const std::string& key, std::string* value);

// The engine's SettingOverwrite and SettingDefault lists, consulted while an engine exists.
bool EngineSettingOverwrite(const std::string& key, std::string* value);
bool EngineSettingDefault(const std::string& key, std::string* value);
