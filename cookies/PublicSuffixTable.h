// The public-suffix list as sorted tables, made at build time from the system's copy of the list
// (scripts/make-public-suffix.py). Platform-free.
#pragma once

#include <cstddef>
#include <string>

namespace publicsuffix {

struct TTable {
  const char* const* Rules;  // sorted by strcmp, lower-case ASCII
  size_t Count;
};

extern const char kListVersion[];
extern const TTable kPlainRules;      // "co.uk": the suffix itself
extern const TTable kWildcardRules;   // "ck" of "*.ck": every label under it
extern const TTable kExceptionRules;  // "www.ck" of "!www.ck": not a suffix after all

// Whether a lower-case host is itself a public suffix: named by a rule, one label under a
// wildcard rule's base and not an exception, or a single label (every top-level name is one).
bool IsPublicSuffix(const std::string& host);

}  // namespace publicsuffix
