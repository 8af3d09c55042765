// The import table of a Windows executable, read from its bytes.
#pragma once

#include <string>
#include <vector>

namespace qmtest {

struct TImportedDll {
  std::string Name;
  std::vector<std::string> Functions;  // imports by ordinal read as "#7"
};

// False, with the reason in *error, for bytes that are no well-formed PE image (32 or 64 bit).
bool ReadPeImports(const std::string& image, std::vector<TImportedDll>* dlls, std::string* error);

}  // namespace qmtest
