#include "net/CLWebBanner.h"

#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "net/BannerText.h"
#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

QM_REGISTER_CLASS(TCLWebBanner, b) {
  b.Str("BannerName", &TCLWebBanner::BannerName);
  b.Event("OnUserBeforeNavigate2", "TBrowserBeforeNavigate2", &TCLWebBanner::OnUserBeforeNavigate2);
  b.Str("URL", &TCLWebBanner::URL);
}

namespace {

// A cache file counts only as a file: a remote address such as ".." names a folder.
bool CacheFileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ExeDir() {
  std::string dir = QV_GetAppPath();
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

}  // namespace

TCLWebBanner::TCLWebBanner(TComponent* owner) : TEmbeddedBrowser(owner) {}

TCLWebBanner::~TCLWebBanner() {
  TCLEngine* engine = GetEngine();
  if (!pending_.empty() && engine) engine->ReleaseDownload(pending_);
}

void TCLWebBanner::InstallBeforeNavigate() {
  OnBeforeNavigate2 = TBrowserBeforeNavigate2::Bind(this, &TCLWebBanner::OwnBeforeNavigate);
}

void TCLWebBanner::Loaded() {
  TEmbeddedBrowser::Loaded();
  if (!BannerName.empty())
    UpdateBanner();
  else
    InstallBeforeNavigate();
}

void TCLWebBanner::UpdateBanner() {
  InstallBeforeNavigate();
  TCLSettings* s = GetSettings();
  bannertext::TBannerSettings settings;
  settings.RemoteURLA = s->ReadString(bannertext::BannerKey(BannerName, "RemoteURLA"));
  settings.URLA = s->ReadString(bannertext::BannerKey(BannerName, "URLA"));
  settings.RemoteURL = s->ReadString(bannertext::BannerKey(BannerName, "RemoteURL"));
  settings.URL = s->ReadString(bannertext::BannerKey(BannerName, "URL"));
  const bannertext::TBannerChoice choice =
      bannertext::ChooseBanner(settings, s->DataPath(), ExeDir(), &CacheFileExists);
  URL = choice.Shown;
  if (choice.Uncachable)
    TraceTagged("Banner " + BannerName + ": " + choice.Remote +
                    (choice.Shown == choice.Remote ? " cannot be cached, shown uncached" : " is no web address, not shown"),
                "CLBanner");
  if (choice.ShownCached)
    NavigateCached(choice.Shown, choice.Remote);
  else
    Navigate(choice.Shown);
  TCLEngine* engine = GetEngine();
  if (!choice.Fetch || !engine) return;
  if (!pending_.empty()) engine->ReleaseDownload(pending_);
  engine->DownloadFile(choice.Remote, choice.CacheFile, TOnDoneFileEvent::Bind(this, &TCLWebBanner::Downloaded));
  pending_ = choice.Remote;
}

void TCLWebBanner::OwnBeforeNavigate(TObject* sender, IDispatch* pDisp, VARIANT& url, VARIANT& flags,
                                     VARIANT& target, VARIANT& postData, VARIANT& headers,
                                     VARIANT_BOOL& cancel) {
  if (TCLEngine* engine = GetEngine())
    engine->HandleBeforeNavigate(sender, pDisp, url, flags, target, postData, headers, cancel);
  OnUserBeforeNavigate2(sender, pDisp, url, flags, target, postData, headers, cancel);
}

void TCLWebBanner::Downloaded(TObject*, const std::string& fileName, int32_t) {
  const std::string origin = pending_;
  pending_.clear();
  NavigateCached(fileName, origin);
  URL = fileName;
}
