// The web banner's choice of address and its cache naming, free of window handles and files: the
// control passes its settings, its folders and a file test.
#pragma once

#include <functional>
#include <string>

namespace bannertext {

// The cache file name of a remote address: every byte other than a letter, a digit, "-" and "_"
// becomes "_", and ".htm" follows, so that a server chooses neither the kind of file nor a name
// the system reads as something else ("CON", "..", "x.lan"). Empty for an address the
// downloader cannot fetch or whose name would pass kMaxCacheStem characters: it cannot be cached.
constexpr size_t kMaxCacheStem = 120;
std::string CacheFileName(const std::string& remoteURL);
// The cache file of a remote address inside the settings folder `dataPath` (trailing backslash
// optional): dataPath\Banners\name; empty when the address cannot be cached.
std::string CacheFilePath(const std::string& dataPath, const std::string& remoteURL);
// Every "%exepath%" (letter case aside) replaced by the program folder, which is given without
// its trailing backslash.
std::string ExpandExePath(const std::string& address, const std::string& exeDir);

// The four settings of a banner named N: "Banner." N ".RemoteURLA", ".URLA", ".RemoteURL", ".URL".
struct TBannerSettings {
  std::string RemoteURLA, URLA, RemoteURL, URL;
};
// The settings keys of a banner name, in the order above.
std::string BannerKey(const std::string& bannerName, const char* suffix);

struct TBannerChoice {
  std::string Shown;      // the address to navigate to (may be empty)
  std::string Remote;     // the remote address in effect (may be empty)
  std::string CacheFile;  // its cache file (empty without one)
  bool Fetch = false;     // the cached copy was not shown: fetch the remote address into CacheFile
  // Shown is the cached copy of Remote: it is to be shown with the rights of Remote, a web page,
  // not with those of a file of this computer.
  bool ShownCached = false;
  // Remote cannot be cached: a web address is shown as it is (Shown), anything else not at all.
  bool Uncachable = false;
};
// The first remote pair wins over the second; a cached remote copy wins over a local address.
TBannerChoice ChooseBanner(const TBannerSettings& settings, const std::string& dataPath,
                           const std::string& exeDir,
                           const std::function<bool(const std::string&)>& fileExists);

}  // namespace bannertext
