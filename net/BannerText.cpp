#include "net/BannerText.h"

#include "tools/UrlText.h"

namespace bannertext {

std::string CacheFileName(const std::string& remoteURL) {
  std::string name = remoteURL;
  for (char& c : name)
    if (c == '/' || c == ':' || c == '\\' || c == '?' || c == '&' || c == '=') c = '_';
  return name;
}

std::string CacheFilePath(const std::string& dataPath, const std::string& remoteURL) {
  std::string path = dataPath;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + "Banners\\" + CacheFileName(remoteURL);
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
    if (fileExists(choice.CacheFile)) choice.Shown = choice.CacheFile;
  };
  tryRemote(settings.RemoteURLA);
  if (choice.Shown.empty() && !settings.URLA.empty()) choice.Shown = ExpandExePath(settings.URLA, exeDir);
  // The second remote address counts only when the first is not set; its cached copy replaces a
  // first local address.
  if (choice.Remote.empty()) tryRemote(settings.RemoteURL);
  if (choice.Shown.empty() && !settings.URL.empty()) choice.Shown = ExpandExePath(settings.URL, exeDir);
  choice.Fetch = !choice.Remote.empty() && choice.CacheFile != choice.Shown;
  return choice;
}

}  // namespace bannertext
