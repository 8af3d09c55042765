// Cookie files, typed website texts, profile lists (Firefox's and the Chromium browsers'),
// old cookie files: everything parses
// without overruns, a text names either nothing or a clean host that is no public suffix, and no
// host outside a site ever belongs to it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cookies/CookieRules.h"
#include "cookies/LocalState.h"
#include "cookies/PublicSuffixTable.h"
#include "cookies/SiteRule.h"

using namespace cookierules;

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Lowered(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

void CheckSite(const std::string& text) {
  const std::string site = siterule::SiteOfText(text);
  if (site.empty()) return;
  if (site.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-") != std::string::npos) std::abort();
  if (site.find('.') == std::string::npos || site.front() == '.' || site.back() == '.') std::abort();
  if (!siterule::IsIPv4(site) && publicsuffix::IsPublicSuffix(site)) std::abort();
  if (!siterule::IsSite(site)) std::abort();  // what the operations accept
}

// The input split in two: a host and a typed text. A host that belongs to the site must be the
// site itself or end with "." + site (a leading "." aside), whatever its letter case.
void CheckMatch(const std::string& host, const std::string& text) {
  const std::string site = siterule::SiteOfText(text);
  if (!siterule::HostBelongsToSite(host, site)) return;
  std::string h = Lowered(host);
  if (!h.empty() && h[0] == '.') h.erase(0, 1);
  if (h != site && !(EndsWith(h, "." + site) && !siterule::IsIPv4(site))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CookieFileHosts(text);
  CookieFileBelongsToSite(text, "example.com");
  CookieIndexHost(text);
  IsCookieFileName(text);
  FirefoxProfileFolders(text, "C:\\P");
  long long removed = 0;
  const std::string kept = NetscapeCookiesWithout(text, [](const std::string&) { return true; }, &removed);
  if (kept.size() > text.size()) std::abort();
  std::vector<std::string> names;
  if (localstate::ProfileFolderNames(text, &names) && names.size() > localstate::kMaxProfiles) std::abort();
  int major = 0, minor = 0;
  ParseMajorMinor(text, &major, &minor);
  CheckSite(text);
  const size_t cut = text.find('\n');
  if (cut != std::string::npos) CheckMatch(text.substr(0, cut), text.substr(cut + 1));
  CheckMatch(text, "example.com");
  return 0;
}
