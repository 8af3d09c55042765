// A web banner: an embedded browser that shows the page named by its "Banner." settings, fetched
// once into a cache under the settings folder and shown from there on later runs.
#pragma once

#include <string>

#include "toolkit/EmbeddedBrowser.h"

class TCLWebBanner : public TEmbeddedBrowser {
  QM_CLASS(TCLWebBanner, TEmbeddedBrowser)
 public:
  explicit TCLWebBanner(TComponent* owner);
  // Detaches a pending fetch first, so that no completion reaches a destroyed banner.
  ~TCLWebBanner() override;

  // Published properties.
  std::string BannerName;
  TBrowserBeforeNavigate2 OnUserBeforeNavigate2;
  std::string URL;

  // Chooses the address to show, shows it and starts a fetch when the cached copy is missing.
  void UpdateBanner();
  void Loaded() override;

  // The remote address whose fetch this banner last asked for; empty when none.
  const std::string& PendingRemoteURL() const { return pending_; }

 private:
  void InstallBeforeNavigate();
  void OwnBeforeNavigate(TObject* sender, IDispatch* pDisp, VARIANT& url, VARIANT& flags, VARIANT& target,
                         VARIANT& postData, VARIANT& headers, VARIANT_BOOL& cancel);
  void Downloaded(TObject* sender, const std::string& fileName, int32_t size);

  std::string pending_;
};
