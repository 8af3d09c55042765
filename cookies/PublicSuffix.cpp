#include "cookies/PublicSuffixTable.h"

#include <algorithm>
#include <cstring>

namespace publicsuffix {

namespace {

bool Holds(const TTable& table, const std::string& name) {
  const char* const* end = table.Rules + table.Count;
  const char* const* at = std::lower_bound(table.Rules, end, name.c_str(),
                                           [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
  return at != end && name == *at;
}

}  // namespace

// A rule longer than the host cannot match it, so only rules of the host's own length decide:
// the host as a plain rule, or its parent as a wildcard base.
bool IsPublicSuffix(const std::string& host) {
  const size_t dot = host.find('.');
  if (dot == std::string::npos) return true;
  if (Holds(kExceptionRules, host)) return false;
  return Holds(kPlainRules, host) || Holds(kWildcardRules, host.substr(dot + 1));
}

}  // namespace publicsuffix
