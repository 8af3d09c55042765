#include "net/BannerText.h"

#include "tools/UrlText.h"

namespace bannertext {

std::string CacheFileName(const std::string& remoteURL) {
  urltext::TDownloadAddress address;
  if (remoteURL.size() > kMaxCacheStem || !urltext::ParseDownloadAddress(remoteURL, &address)) return "";
  std::string name = remoteURL;
  for (char& c : name) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!kept) c = '_';
  }
  return name + ".htm";
}

std::string CacheFilePath(const std::string& dataPath, const std::string& remoteURL) {
  const std::string name = CacheFileName(remoteURL);
  if (name.empty()) return "";
  std::string path = dataPath;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + "Banners\\" + name;
}

std::string ExpandExePath(const std::string& address, const std::string& exeDir) {
  return urltext::ReplaceAllNoCase(address, "%exepath%", exeDir);
}

std::string BannerKey(const std::string& bannerName, const char* suffix) {
  return "Banner." + bannerName + "." + suffix;
}

TBannerChoice ChooseBanner(const TBannerSettings& settings, const std::string& dataPath,
                           const std::string& exeDir,
                           const std::function<bool(const std::string&)>& fileExists) {
  TBannerChoice choice;
  auto tryRemote = [&](const std::string& remote) {
    choice.Remote = remote;
    if (remote.empty()) return;
    choice.CacheFile = CacheFilePath(dataPath, remote);
    if (choice.CacheFile.empty()) {
      choice.Uncachable = true;
      // The browser fetches a web page itself, with a web page's rights; anything else (a share,
      // a file) is no remote banner.
      urltext::TDownloadAddress web;
      const bool scheme = urltext::StartsWithNoCase(remote, "http://") || urltext::StartsWithNoCase(remote, "https://");
      if (scheme && urltext::ParseDownloadAddress(remote, &web)) choice.Shown = remote;
    } else if (fileExists(choice.CacheFile)) {
      choice.Shown = choice.CacheFile;
      choice.ShownCached = true;
    }
  };
  tryRemote(settings.RemoteURLA);
  if (choice.Shown.empty() && !settings.URLA.empty()) choice.Shown = ExpandExePath(settings.URLA, exeDir);
  // The second remote address counts only when the first is not set; its cached copy replaces a
  // first local address.
  if (choice.Remote.empty()) tryRemote(settings.RemoteURL);
  if (choice.Shown.empty() && !settings.URL.empty()) choice.Shown = ExpandExePath(settings.URL, exeDir);
  choice.ShownCached = choice.ShownCached && choice.Shown == choice.CacheFile;
  choice.Fetch = !choice.Remote.empty() && !choice.CacheFile.empty() && choice.CacheFile != choice.Shown;
  return choice;
}

}  // namespace bannertext
