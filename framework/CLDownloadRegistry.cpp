#include "framework/CLDownloadRegistry.h"

#include "framework/CLEngine.h"
#include "tools/QVTools.h"
#include "tools/UrlText.h"

TCLDownloadRegistry::TCLDownloadRegistry() : watcher_(new TWatcher(this)) {}

TCLDownloadRegistry::~TCLDownloadRegistry() {
  for (TSingleDownloader*& d : downloaders_) {
    TSingleDownloader* doomed = d;
    d = nullptr;
    if (doomed) {
      watcher_->RemoveFreeNotification(doomed);
      delete doomed;  // leaves its owner's list as it goes
    }
  }
}

void TCLDownloadRegistry::TWatcher::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op != TOperation::opRemove) return;
  for (TSingleDownloader*& d : registry_->downloaders_)
    if (d == c) d = nullptr;
}

void TCLDownloadRegistry::DownloadFile(TComponent* owner, const std::string& url, const std::string& fileName,
                                       const TOnDoneFileEvent& onDone) {
  for (const std::string& known : urls_)
    if (urltext::SameTextNoCase(known, url)) return;
  auto* downloader = new TSingleDownloader(owner);
  watcher_->FreeNotification(downloader);
  downloaders_.push_back(downloader);
  urls_.push_back(url);
  size_t slash = fileName.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0) QV_ForceDirectories(fileName.substr(0, slash));
  downloader->URL = url;
  downloader->FileName = fileName;
  downloader->OnDoneFile = onDone;
  downloader->DownloadToFile();
}

void TCLDownloadRegistry::ReleaseDownload(const std::string& url) {
  for (size_t i = 0; i < urls_.size(); ++i)
    if (urltext::SameTextNoCase(urls_[i], url) && downloaders_[i]) downloaders_[i]->OnDoneFile = nullptr;
}

// --- The engine's members -----------------------------------------------------------------------

void TCLEngine::DownloadFile(const std::string& url, const std::string& fileName, const TOnDoneFileEvent& onDone) {
  if (!downloads_) downloads_ = std::make_shared<TCLDownloadRegistry>();
  downloads_->DownloadFile(Application(), url, fileName, onDone);
}

void TCLEngine::ReleaseDownload(const std::string& url) {
  if (downloads_) downloads_->ReleaseDownload(url);
}
