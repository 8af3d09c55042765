// The texts built into the main window's language data: the current copy (sections in the
// order "LibRes", "AppRes", "TfrmMain") and the default copy ("AppRes", "LibRes", "TfrmMain"),
// each section followed by an empty line. The main window's stored data carries the same lines
// (CurrentData and DefaultData); code that builds the language data itself uses these.
#pragma once

#include <string>
#include <vector>

const std::vector<std::string>& BuiltInCurrentTexts();
const std::vector<std::string>& BuiltInDefaultTexts();
