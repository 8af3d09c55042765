#include "toolkit/EmbeddedBrowser.h"

#include <wininet.h>

#include <algorithm>
#include <map>

#include "platform/Handles.h"
#include "toolkit/SkinPaint.h"

namespace {

const UINT kFetchDone = WM_APP + 0x151;
const int kPad = 10;
unsigned g_nextFetch = 1;

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(std::max(0, n)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

bool IsPngBytes(const std::string& s) { return s.size() > 8 && s.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0; }

bool ReadLocalFile(const std::string& path, std::string* out) {
  TFileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  std::string data;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0) {
    data.append(buf, got);
    if (data.size() > kMaxHtmlSize) break;  // a page longer than this is cut
  }
  *out = std::move(data);
  return true;
}

// A page and its pictures together get this long: a server that sends a byte now and then
// never reaches the limit of a single wait.
const DWORD kFetchTotalMs = 60000;

// Reads a web address whole (up to the page limit) before `deadline` (a tick count); false on
// any failure.
bool FetchUrl(HINTERNET session, const std::string& url, DWORD deadline, std::string* out) {
  if (static_cast<LONG>(deadline - GetTickCount()) <= 0) return false;
  HINTERNET req = InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                   INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 0);
  if (!req) return false;
  DWORD status = 0, len = sizeof status;
  bool ok = true;
  if (HttpQueryInfoA(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &len, nullptr) &&
      (status < 200 || status >= 300))
    ok = false;
  std::string data;
  char buf[16384];
  DWORD got = 0;
  // Only what has arrived is read: a read of more waits for all of it.
  DWORD available = 0;
  while (ok && InternetQueryDataAvailable(req, &available, 0, 0) && available > 0) {
    if (static_cast<LONG>(deadline - GetTickCount()) <= 0 ||
        !InternetReadFile(req, buf, std::min<DWORD>(available, sizeof buf), &got)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    data.append(buf, got);
    if (data.size() > kMaxHtmlSize) break;
  }
  InternetCloseHandle(req);
  if (!ok) return false;
  *out = std::move(data);
  return true;
}

}  // namespace

struct TFetchResult {
  unsigned Id = 0;
  HWND Target = nullptr;
  std::string Url;
  bool Ok = false;
  std::string Body;
  std::map<std::string, std::string> Pictures;  // resolved address -> bytes
};

namespace {

// The worker: fetches the page and its pictures, then posts everything back. It never
// touches the control; a result for a window that is gone is dropped here.
DWORD WINAPI FetchThread(void* param) {
  std::unique_ptr<TFetchResult> r(static_cast<TFetchResult*>(param));
  HINTERNET session = InternetOpenA("Mozilla/4.0 (compatible; Quillmoor)", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                    nullptr, 0);
  if (session) {
    DWORD timeout = 15000;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
      InternetSetOptionA(session, option, &timeout, sizeof timeout);
    const DWORD deadline = GetTickCount() + kFetchTotalMs;
    r->Ok = FetchUrl(session, r->Url, deadline, &r->Body);
    if (r->Ok && !IsPngBytes(r->Body)) {
      THtmlDocument doc = ParseHtml(r->Body);
      int count = 0;
      for (const THtmlItem& item : doc.Items) {
        if (item.Kind != THtmlItem::kImage || item.Src.empty() || count >= 16) continue;
        std::string url = ResolveUrl(r->Url, item.Src);
        if (PictureSource(r->Url, url, nullptr) != TPictureSource::kWeb || r->Pictures.count(url)) continue;
        ++count;
        std::string bytes;
        if (FetchUrl(session, url, deadline, &bytes)) r->Pictures[url] = std::move(bytes);
      }
    }
    InternetCloseHandle(session);
  }
  HWND target = r->Target;
  if (IsWindow(target) && PostMessageA(target, kFetchDone, 0, reinterpret_cast<LPARAM>(r.get()))) r.release();
  return 0;
}

}  // namespace

std::string VariantText(const VARIANT& v) {
  const VARIANT* p = &v;
  if (V_VT(p) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(p)) p = V_VARIANTREF(p);
  if (V_VT(p) == VT_BSTR && V_BSTR(p)) {
    int len = static_cast<int>(SysStringLen(V_BSTR(p)));
    int n = WideCharToMultiByte(CP_ACP, 0, V_BSTR(p), len, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(std::max(0, n)), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, V_BSTR(p), len, &s[0], n, nullptr, nullptr);
    return s;
  }
  if (V_VT(p) == VT_I4) return std::to_string(V_I4(p));
  return "";
}

QM_REGISTER_CLASS(TEmbeddedBrowser, b) {
  b.Event("OnBeforeNavigate2", "TBrowserBeforeNavigate2", &TEmbeddedBrowser::OnBeforeNavigate2);
  b.Event("OnDocumentComplete", "TNotifyEvent", &TEmbeddedBrowser::OnDocumentComplete);
}

TEmbeddedBrowser::TEmbeddedBrowser(TComponent* owner) : TskSkinControl(owner) {
  TabStop = true;
  SetBounds(0, 0, 300, 150);
}

TEmbeddedBrowser::~TEmbeddedBrowser() {
  fetchId_ = 0;
  DestroyHandle();
  for (HFONT f : fonts_) DeleteObject(f);
}

void TEmbeddedBrowser::CreateParams(TCreateParams& p) {
  TskSkinControl::CreateParams(p);
  p.Style |= WS_VSCROLL;
  p.WindowClass.hbrBackground = nullptr;
}

bool TEmbeddedBrowser::Announce(const std::string& url) {
  VARIANT vUrl, vFlags, vFrame, vPost, vHeaders;
  VariantInit(&vUrl);
  VariantInit(&vFlags);
  VariantInit(&vFrame);
  VariantInit(&vPost);
  VariantInit(&vHeaders);
  V_VT(&vUrl) = VT_BSTR;
  std::wstring w = Wide(url);
  V_BSTR(&vUrl) = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  V_VT(&vFlags) = VT_I4;
  V_I4(&vFlags) = 0;
  V_VT(&vFrame) = VT_BSTR;
  V_BSTR(&vFrame) = SysAllocString(L"");
  V_VT(&vHeaders) = VT_BSTR;
  V_BSTR(&vHeaders) = SysAllocString(L"");
  VARIANT_BOOL cancel = VARIANT_FALSE;
  OnBeforeNavigate2(this, nullptr, vUrl, vFlags, vFrame, vPost, vHeaders, cancel);
  VariantClear(&vUrl);
  VariantClear(&vFlags);
  VariantClear(&vFrame);
  VariantClear(&vPost);
  VariantClear(&vHeaders);
  return cancel == VARIANT_FALSE;
}

bool TEmbeddedBrowser::NavigateCached(const std::string& file, const std::string& origin) {
  if (!IsWebAddress(origin) || !Announce(origin)) return false;
  fetchId_ = 0;
  std::string content;
  if (!ReadLocalFile(file, &content)) content = "<h3>The page cannot be shown</h3><p>" + origin + "</p>";
  // Under the origin's address: every rule for a web page's links and pictures holds for the copy.
  ShowDocument(origin, content, IsPngBytes(content));
  return true;
}

bool TEmbeddedBrowser::Navigate(const std::string& url) {
  if (!Announce(url)) return false;

  fetchId_ = 0;  // a fetch still running is forgotten
  if (url.empty() || url == "about:blank") {
    ShowDocument(url, "", false);
    return true;
  }
  std::string local = UrlToLocalPath(url);
  if (!local.empty()) {
    std::string content;
    if (!ReadLocalFile(local, &content))
      content = "<h3>The page cannot be shown</h3><p>" + local + "</p>";  // as a browser would
    ShowDocument(url, content, IsPngBytes(content));
    return true;
  }
  if (IsWebAddress(url)) {
    location_ = url;
    auto* r = new TFetchResult;
    r->Id = fetchId_ = g_nextFetch++;
    r->Target = Handle();
    r->Url = url;
    HANDLE t = CreateThread(nullptr, 0, &FetchThread, r, 0, nullptr);
    if (t) CloseHandle(t);
    else {
      delete r;
      fetchId_ = 0;
    }
  }
  return true;  // other schemes are for the notification's handler alone
}

void TEmbeddedBrowser::Refresh() {
  if (!location_.empty()) Navigate(location_);
}

void TEmbeddedBrowser::Stop() { fetchId_ = 0; }

void TEmbeddedBrowser::FetchDone(TFetchResult* result) {
  std::unique_ptr<TFetchResult> r(result);
  if (r->Id != fetchId_ || fetchId_ == 0) return;  // a navigation came after it
  fetchId_ = 0;
  std::string body = r->Ok ? r->Body : "<h3>The page cannot be shown</h3><p>" + r->Url + "</p>";
  ShowDocument(r->Url, body, r->Ok && IsPngBytes(body), &r->Pictures);
}

int TEmbeddedBrowser::AddPicture(const std::string& bytes, uint64_t* budget) {
  auto picture = std::make_unique<TskPngImage>();
  std::string error;
  // Beyond the page's budget, or damaged: the item keeps its placeholder.
  if (!bytes.empty() && picture->LoadFromData(bytes, &error, *budget))
    *budget -= static_cast<uint64_t>(picture->Width()) * picture->Height();
  pictures_.push_back(std::move(picture));
  return static_cast<int>(pictures_.size()) - 1;
}

// The bytes of picture `address` of page `url`: a local file or what the fetch brought along.
std::string TEmbeddedBrowser::PictureBytes(const std::string& url, const std::string& address,
                                           const std::map<std::string, std::string>* fetched) {
  std::string path, bytes;
  switch (PictureSource(url, address, &path)) {
    case TPictureSource::kLocalFile:
      ReadLocalFile(path, &bytes);
      break;
    case TPictureSource::kWeb:
      if (fetched) {
        auto it = fetched->find(address);
        if (it != fetched->end()) bytes = it->second;
      }
      break;
    case TPictureSource::kNone:
      break;
  }
  return bytes;
}

void TEmbeddedBrowser::ShowDocument(const std::string& url, const std::string& content, bool isPicture,
                                    const std::map<std::string, std::string>* fetched) {
  location_ = url;
  pictures_.clear();
  pictureOfItem_.clear();
  // Every picture of the page is decoded once, whatever the number of items showing it, and
  // all of them together within one budget of pixels: a page cannot take the process's
  // address space with copies of one large picture or with many of them.
  uint64_t budget = kMaxPagePicturePixels;
  if (isPicture) {
    doc_ = THtmlDocument();
    THtmlItem item;
    item.Kind = THtmlItem::kImage;
    doc_.Items.push_back(item);
    pictureOfItem_.assign(1, AddPicture(content, &budget));
  } else {
    doc_ = ParseHtml(content);
    pictureOfItem_.assign(doc_.Items.size(), -1);
    std::map<std::string, int> byAddress;
    for (size_t i = 0; i < doc_.Items.size(); ++i) {
      if (doc_.Items[i].Kind != THtmlItem::kImage) continue;
      std::string address = ResolveUrl(url, doc_.Items[i].Src);
      auto known = byAddress.find(address);
      if (known == byAddress.end())
        known = byAddress.emplace(address, AddPicture(PictureBytes(url, address, fetched), &budget)).first;
      pictureOfItem_[i] = known->second;
    }
  }
  focusLink_ = hotLink_ = -1;
  scrollY_ = 0;
  if (HWND h = HandleIfAllocated()) SetWindowTextA(h, doc_.Title.c_str());
  Layout();
  OnDocumentComplete(this);
}

const TskPngImage* TEmbeddedBrowser::PictureOf(int item) const {
  if (item < 0 || item >= static_cast<int>(pictureOfItem_.size()) || pictureOfItem_[static_cast<size_t>(item)] < 0)
    return nullptr;
  const TskPngImage* p = pictures_[static_cast<size_t>(pictureOfItem_[static_cast<size_t>(item)])].get();
  return p->Empty() ? nullptr : p;
}

int TEmbeddedBrowser::PictureCount() const {
  int n = 0;
  for (const auto& p : pictures_) n += p->Empty() ? 0 : 1;
  return n;
}

HFONT TEmbeddedBrowser::FontFor(const THtmlItem& item) {
  int key = item.Heading * 8 + (item.Bold ? 4 : 0) + (item.Italic ? 2 : 0) + (item.Link >= 0 ? 1 : 0);
  for (size_t i = 0; i < fontKeys_.size(); ++i)
    if (fontKeys_[i] == key) return fonts_[i];
  const TSkinFont& base = Skin()->Desc().ControlFont;
  static const int kHeadingSize[] = {0, 22, 18, 15, 14, 13, 12};
  int size = item.Heading ? std::max(base.Height, kHeadingSize[item.Heading]) : base.Height;
  LOGFONTA lf = {};
  lf.lfHeight = -size;
  lf.lfWeight = item.Bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = item.Italic;
  lf.lfUnderline = item.Link >= 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lstrcpynA(lf.lfFaceName, base.Face.c_str(), LF_FACESIZE);
  HFONT f = CreateFontIndirectA(&lf);
  fonts_.push_back(f);
  fontKeys_.push_back(key);
  return f;
}

void TEmbeddedBrowser::SkinFontChanged() {
  for (HFONT f : fonts_) DeleteObject(f);
  fonts_.clear();
  fontKeys_.clear();
  Layout();
}

void TEmbeddedBrowser::Layout() {
  fragments_.clear();
  contentHeight_ = 0;
  HWND h = HandleIfAllocated();
  if (!h) return;
  RECT client;
  GetClientRect(h, &client);
  int right = std::max<int>(client.right - kPad, kPad + 40);
  HDC dc = GetDC(h);
  int y = kPad, lineH = 0, lineStart = kPad, x = kPad;
  auto newLine = [&](int extra) {
    y += (lineH ? lineH : 14) + extra;
    lineH = 0;
    x = lineStart;
  };
  bool lineEmpty = true;
  for (size_t i = 0; i < doc_.Items.size(); ++i) {
    const THtmlItem& item = doc_.Items[i];
    int indentX = kPad + item.Indent * 18;
    if (lineEmpty) {
      lineStart = indentX;
      x = std::max(x, lineStart);
    }
    switch (item.Kind) {
      case THtmlItem::kText: {
        HFONT font = FontFor(item);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        size_t p = 0;
        const std::string& t = item.Text;
        while (p < t.size()) {
          size_t end = t.find(' ', p + 1);
          end = end == std::string::npos ? t.size() : end;
          std::string word = t.substr(p, end - p);
          if (lineEmpty && !word.empty() && word[0] == ' ') word.erase(0, 1);
          SIZE s = {0, 0};
          GetTextExtentPoint32A(dc, word.c_str(), static_cast<int>(word.size()), &s);
          if (x + s.cx > right && !lineEmpty) {
            newLine(0);
            if (!word.empty() && word[0] == ' ') {
              word.erase(0, 1);
              GetTextExtentPoint32A(dc, word.c_str(), static_cast<int>(word.size()), &s);
            }
          }
          if (!word.empty()) {
            TFragment f{{x, y, x + s.cx, y + tm.tmHeight}, static_cast<int>(i), word, item.Link};
            // Words of one piece on one line become one fragment.
            if (!fragments_.empty() && fragments_.back().Item == f.Item && fragments_.back().Box.top == y &&
                fragments_.back().Box.right == x) {
              fragments_.back().Text += word;
              fragments_.back().Box.right = x + s.cx;
            } else {
              fragments_.push_back(f);
            }
            x += s.cx;
            lineH = std::max<int>(lineH, tm.tmHeight);
            lineEmpty = false;
          }
          p = end;
        }
        SelectObject(dc, old);
        break;
      }
      case THtmlItem::kLineBreak:
        newLine(0);
        lineEmpty = true;
        break;
      case THtmlItem::kParagraphBreak:
        if (!lineEmpty || y > kPad) newLine(8);
        lineEmpty = true;
        break;
      case THtmlItem::kRule:
        fragments_.push_back(TFragment{{indentX, y + 4, right, y + 5}, static_cast<int>(i), "", -1});
        lineH = 9;
        newLine(0);
        lineEmpty = true;
        break;
      case THtmlItem::kImage: {
        const TskPngImage* pic = PictureOf(static_cast<int>(i));
        int w = item.Width, hgt = item.Height;
        if (pic && !pic->Empty()) {
          if (!w && !hgt) {
            w = pic->Width();
            hgt = pic->Height();
          } else if (!w) {
            w = pic->Width() * hgt / std::max(1, pic->Height());
          } else if (!hgt) {
            hgt = pic->Height() * w / std::max(1, pic->Width());
          }
        } else if (!w || !hgt) {
          SIZE s = SkTextSize(dc, item.Text.empty() ? "[picture]" : item.Text, FontFor(item), DT_SINGLELINE);
          w = s.cx + 8;
          hgt = s.cy + 6;
        }
        int maxW = right - lineStart;
        if (w > maxW) {
          hgt = hgt * maxW / std::max(1, w);
          w = maxW;
        }
        if (x + w > right && !lineEmpty) newLine(0);
        fragments_.push_back(TFragment{{x, y, x + w, y + hgt}, static_cast<int>(i), "", item.Link});
        x += w + 4;
        lineH = std::max(lineH, hgt);
        lineEmpty = false;
        break;
      }
    }
  }
  ReleaseDC(h, dc);
  contentHeight_ = y + lineH + kPad;
  SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, contentHeight_, static_cast<UINT>(client.bottom), 0, 0};
  scrollY_ = std::clamp(scrollY_, 0, std::max(0, contentHeight_ - static_cast<int>(client.bottom)));
  si.nPos = scrollY_;
  SetScrollInfo(h, SB_VERT, &si, TRUE);
  InvalidateRect(h, nullptr, FALSE);
}

void TEmbeddedBrowser::PaintControl(HDC dc, const RECT& client) {
  std::shared_ptr<const TskSkin> skin = Skin();
  const TSkinDescription& d = skin->Desc();
  SkFillRect(dc, client, d.EditBack);
  for (const TFragment& f : fragments_) {
    RECT box = f.Box;
    OffsetRect(&box, 0, -scrollY_);
    if (box.bottom < client.top || box.top > client.bottom) continue;
    const THtmlItem& item = doc_.Items[static_cast<size_t>(f.Item)];
    if (item.Kind == THtmlItem::kRule) {
      SkFillRect(dc, box, d.PanelBorder);
    } else if (item.Kind == THtmlItem::kImage) {
      if (const TskPngImage* pic = PictureOf(f.Item)) {
        pic->DrawStretched(dc, box);
      } else {
        SkRoundFrame(dc, box, 0, d.EditBorder);
        RECT t = box;
        InflateRect(&t, -4, -3);
        SkText(dc, item.Text.empty() ? "[picture]" : item.Text, t, FontFor(item), d.DisabledText,
               DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      }
    } else {
      COLORREF c = f.Link < 0 ? d.EditText : f.Link == hotLink_ ? d.LinkHot : d.Link;
      SkText(dc, f.Text, box, FontFor(item), c, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
    if (f.Link >= 0 && f.Link == focusLink_ && HandleIfAllocated() && GetFocus() == HandleIfAllocated()) {
      RECT fr = box;
      InflateRect(&fr, 1, 0);
      SkFocusRect(dc, fr, d.Focus);
    }
  }
}

int TEmbeddedBrowser::LinkAt(POINT pt) const {
  pt.y += scrollY_;
  for (const TFragment& f : fragments_)
    if (f.Link >= 0 && PtInRect(&f.Box, pt)) return f.Link;
  return -1;
}

RECT TEmbeddedBrowser::LinkRect(int index) const {
  for (const TFragment& f : fragments_)
    if (f.Link == index) {
      RECT r = f.Box;
      OffsetRect(&r, 0, -scrollY_);
      return r;
    }
  return RECT{0, 0, 0, 0};
}

bool TEmbeddedBrowser::ClickLink(int index) {
  if (index < 0 || index >= static_cast<int>(doc_.Links.size())) return false;
  std::string target = ResolveUrl(location_, doc_.Links[static_cast<size_t>(index)]);
  // A page from the web does not lead to the computer's files or to network shares.
  if (IsWebAddress(location_) && !UrlToLocalPath(target).empty()) return false;
  return Navigate(target);
}

void TEmbeddedBrowser::ScrollTo(int y) {
  HWND h = HandleIfAllocated();
  if (!h) return;
  RECT client;
  GetClientRect(h, &client);
  y = std::clamp(y, 0, std::max(0, contentHeight_ - static_cast<int>(client.bottom)));
  if (y == scrollY_) return;
  scrollY_ = y;
  SetScrollPos(h, SB_VERT, y, TRUE);
  InvalidateRect(h, nullptr, FALSE);
}

void TEmbeddedBrowser::WndProc(TMessage& m) {
  HWND h = HandleIfAllocated();
  switch (m.Msg) {
    case kFetchDone:
      FetchDone(reinterpret_cast<TFetchResult*>(m.LParam));
      m.Result = 0;
      return;
    case WM_SIZE:
      TskSkinControl::WndProc(m);
      Layout();
      return;
    case WM_VSCROLL: {
      RECT client;
      GetClientRect(h, &client);
      SCROLLINFO si = {sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(h, SB_VERT, &si);
      switch (LOWORD(m.WParam)) {
        case SB_LINEUP: ScrollTo(scrollY_ - 20); break;
        case SB_LINEDOWN: ScrollTo(scrollY_ + 20); break;
        case SB_PAGEUP: ScrollTo(scrollY_ - client.bottom + 20); break;
        case SB_PAGEDOWN: ScrollTo(scrollY_ + client.bottom - 20); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(si.nTrackPos); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(contentHeight_); break;
      }
      m.Result = 0;
      return;
    }
    case WM_MOUSEWHEEL:
      ScrollTo(scrollY_ - static_cast<short>(HIWORD(m.WParam)) * 60 / WHEEL_DELTA);
      m.Result = 0;
      return;
    case WM_MOUSEMOVE: {
      POINT pt = {static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
      int link = LinkAt(pt);
      if (link != hotLink_) {
        hotLink_ = link;
        InvalidateRect(h, nullptr, FALSE);
      }
      break;
    }
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT && hotLink_ >= 0) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        m.Result = TRUE;
        return;
      }
      break;
    case WM_LBUTTONDOWN:
      ::SetFocus(h);
      m.Result = 0;
      return;
    case WM_LBUTTONUP: {
      POINT pt = {static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
      int link = LinkAt(pt);
      if (link >= 0) ClickLink(link);
      m.Result = 0;
      return;
    }
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(h, nullptr, FALSE);
      break;
    case WM_KEYDOWN: {
      int links = static_cast<int>(doc_.Links.size());
      switch (m.WParam) {
        case VK_UP: ScrollTo(scrollY_ - 20); m.Result = 0; return;
        case VK_DOWN: ScrollTo(scrollY_ + 20); m.Result = 0; return;
        case VK_PRIOR: ScrollTo(scrollY_ - 200); m.Result = 0; return;
        case VK_NEXT: ScrollTo(scrollY_ + 200); m.Result = 0; return;
        case VK_HOME: ScrollTo(0); m.Result = 0; return;
        case VK_END: ScrollTo(contentHeight_); m.Result = 0; return;
        case VK_LEFT:
        case VK_RIGHT:
          if (links > 0) {
            focusLink_ = m.WParam == VK_RIGHT ? (focusLink_ + 1) % links : (focusLink_ + links - 1) % links;
            RECT r = LinkRect(focusLink_);
            RECT client;
            GetClientRect(h, &client);
            if (r.top < 0 || r.bottom > client.bottom) ScrollTo(scrollY_ + r.top - 20);
            InvalidateRect(h, nullptr, FALSE);
          }
          m.Result = 0;
          return;
        case VK_RETURN:
        case VK_SPACE:
          if (focusLink_ >= 0) {
            ClickLink(focusLink_);
            m.Result = 0;
            return;
          }
          break;
      }
      break;
    }
  }
  TskSkinControl::WndProc(m);
}
