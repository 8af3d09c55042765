// Cookie files and typed domain texts: records parse without overruns, and a text accepted as
// safe can never widen the file pattern or break out of a command line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cookies/CookieRules.h"

using namespace cookierules;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CookieFileHosts(text);
  CookieFileMatchesDomain(text, "example.com");
  CookieIndexHost(text);
  IsCookieFileName(text);
  if (IsSafeDomainText(text)) {
    const std::string word = SiteWordOf(text);
    if (word.empty() || word.find_first_of("*?\"\\/<>|: ") != std::string::npos) std::abort();
    for (char c : text)
      if (c == '"' || static_cast<unsigned char>(c) < 32) std::abort();
  }
  HostMatchesDomain(text, MatchDomainOf(text));
  return 0;
}
