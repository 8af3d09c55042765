// The engine's registry of background file downloads: each address is fetched at most once in
// the life of the process, and a component that goes away can detach itself from the
// completion of its download.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/SingleDownloader.h"

class TCLDownloadRegistry {
 public:
  TCLDownloadRegistry();
  // Frees every downloader; a busy one cancels itself and reports nothing.
  ~TCLDownloadRegistry();
  TCLDownloadRegistry(const TCLDownloadRegistry&) = delete;
  TCLDownloadRegistry& operator=(const TCLDownloadRegistry&) = delete;

  // Starts downloading `url` into `fileName` with a downloader owned by `owner`, reporting a
  // successful end to `onDone`. An address registered before (letter case aside) starts
  // nothing: the earlier download and its handler stay as they are. Failures are silent.
  void DownloadFile(TComponent* owner, const std::string& url, const std::string& fileName,
                    const TOnDoneFileEvent& onDone);
  // Detaches the completion handler of every download of `url`; the downloads go on.
  void ReleaseDownload(const std::string& url);

  const std::vector<std::string>& DownloadURLs() const { return urls_; }
  // The downloader of each address, same index; null once its owner has freed it.
  const std::vector<TSingleDownloader*>& Downloaders() const { return downloaders_; }

 private:
  // Hears when a downloader is destroyed by its owner before the registry goes, so that the
  // registry neither uses nor frees it again.
  class TWatcher : public TComponent {
   public:
    explicit TWatcher(TCLDownloadRegistry* registry) : TComponent(nullptr), registry_(registry) {}

   protected:
    void Notification(TComponent* c, TOperation op) override;

   private:
    TCLDownloadRegistry* registry_;
  };

  std::unique_ptr<TWatcher> watcher_;
  std::vector<std::string> urls_;
  std::vector<TSingleDownloader*> downloaders_;
};
