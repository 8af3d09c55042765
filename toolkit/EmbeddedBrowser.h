// The embedded browser control: shows a local HTML file, a picture or a web page in a child
// window of its own, with the small HTML subset of HtmlLite. Every navigation, a click on a
// link included, is announced first through OnBeforeNavigate2, whose Cancel stops it.
#pragma once

#include <oaidl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/HtmlLite.h"
#include "toolkit/PngImage.h"
#include "toolkit/SkinControls.h"

// ASender, pDisp (always null here: there are no frames), URL, Flags, TargetFrameName,
// PostData, Headers (variants passed by reference), Cancel (a 16-bit Boolean by reference).
using TBrowserBeforeNavigate2 =
    TEvent<TObject*, IDispatch*, VARIANT&, VARIANT&, VARIANT&, VARIANT&, VARIANT&, VARIANT_BOOL&>;
// The text of a variant as 8-bit text (empty for anything that is not text or a number).
std::string VariantText(const VARIANT& v);

// The pixels all pictures of one page may decode to together: one picture of the largest size
// a picture may have and half as much again (some 100 MB of pixels, twice that once drawn).
// Pictures beyond it show their placeholder.
constexpr uint64_t kMaxPagePicturePixels = kMaxPngPixels / 2 * 3;

class TEmbeddedBrowser : public TskSkinControl {
  QM_CLASS(TEmbeddedBrowser, TskSkinControl)
 public:
  explicit TEmbeddedBrowser(TComponent* owner);
  ~TEmbeddedBrowser() override;

  // Announces the navigation; unless cancelled, shows the address: a local file or
  // "file:" address at once, an "http:" or "https:" address when its download completes.
  // An empty address or "about:blank" shows an empty page. Returns false when cancelled.
  bool Navigate(const std::string& url);
  // Shows a local copy of the web page `origin` (a file this program saved) as that web page:
  // the navigation is announced with `origin`, and its links and pictures have a web page's
  // rights, never a local file's (no local pictures, no local files or shares followed).
  // Returns false when cancelled or when `origin` is no web address.
  bool NavigateCached(const std::string& file, const std::string& origin);
  void Refresh();
  void Stop();
  // The address shown (or being fetched) and its document.
  const std::string& LocationURL() const { return location_; }
  const THtmlDocument& Document() const { return doc_; }
  bool Busy() const { return fetchId_ != 0; }
  // Clicks the n-th link of the page as the user would (for keyboard users: Tab moves the
  // highlight between links, Enter follows it).
  bool ClickLink(int index);
  // Where link `index` is drawn, in client coordinates (empty when not visible).
  RECT LinkRect(int index) const;
  // The decoded picture item `item` of the document shows, or null while it shows its
  // placeholder (not loaded, damaged, refused, or beyond the page's budget).
  const TskPngImage* PictureOf(int item) const;
  // How many different pictures the page has decoded.
  int PictureCount() const;

  TBrowserBeforeNavigate2 OnBeforeNavigate2;
  TNotifyEvent OnDocumentComplete;

 protected:
  void CreateParams(TCreateParams& p) override;
  void PaintControl(HDC dc, const RECT& client) override;
  bool Transparent() const override { return false; }
  void WndProc(TMessage& m) override;
  void SkinFontChanged() override;

 private:
  struct TFragment {
    RECT Box;
    int Item;  // index into doc_.Items
    std::string Text;
    int Link;
  };
  bool Announce(const std::string& url);
  void ShowDocument(const std::string& url, const std::string& content, bool isPicture,
                    const std::map<std::string, std::string>* fetched = nullptr);
  int AddPicture(const std::string& bytes, uint64_t* budget);
  static std::string PictureBytes(const std::string& url, const std::string& address,
                                  const std::map<std::string, std::string>* fetched);
  void Layout();
  HFONT FontFor(const THtmlItem& item);
  void ScrollTo(int y);
  int LinkAt(POINT clientPt) const;
  void FetchDone(struct TFetchResult* result);

  std::string location_;
  THtmlDocument doc_;
  std::vector<std::unique_ptr<TskPngImage>> pictures_;  // one per address (empty when not loaded)
  std::vector<int> pictureOfItem_;                       // per item: index into pictures_, or -1
  std::vector<TFragment> fragments_;
  int contentHeight_ = 0;
  int scrollY_ = 0;
  int focusLink_ = -1;
  int hotLink_ = -1;
  unsigned fetchId_ = 0;
  std::vector<HFONT> fonts_;
  std::vector<int> fontKeys_;
};
