// The HTML subset and the embedded browser control: before-navigate on every navigation,
// link clicks included, and Cancel.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/TestSupport.h"
#include "tests/net/HttpTestServer.h"
#include "tests/toolkit/DemoForm.h"
#include "tests/toolkit/ToolkitTestUtil.h"

using namespace qmtest;

TEST(Html, TextLinksPicturesAndWhatIsSkipped) {
  THtmlDocument d = ParseHtml(
      "<html><head><title> My  Page </title><style>p{}</style><script>var a='<b>';</script></head>"
      "<body><h1>Head</h1><p>Hello   <b>bold</b> &amp; <a href='next.htm'>next &lt;page&gt;</a></p>"
      "<!-- <a href='hidden'>x</a> --><img src=\"pic.png\" alt=\"A picture\" width=20>"
      "<ul><li>one<li>two</ul>&#65;&#x42;&unknown;</body></html>");
  EXPECT_EQ(d.Title, "My Page");
  ASSERT_EQ(d.Links.size(), 1u);
  EXPECT_EQ(d.Links[0], "next.htm");
  std::string text = d.PlainText();
  EXPECT_NE(text.find("Head"), std::string::npos);
  EXPECT_NE(text.find("Hello bold & next <page>"), std::string::npos) << text;
  EXPECT_EQ(text.find("var a"), std::string::npos);
  EXPECT_EQ(text.find("hidden"), std::string::npos);
  EXPECT_NE(text.find("AB&unknown;"), std::string::npos) << text;
  bool image = false, linked = false, bold = false;
  for (const THtmlItem& i : d.Items) {
    if (i.Kind == THtmlItem::kImage) image = i.Src == "pic.png" && i.Text == "A picture" && i.Width == 20;
    if (i.Kind == THtmlItem::kText && i.Text.find("next") != std::string::npos) linked = i.Link == 0;
    if (i.Kind == THtmlItem::kText && i.Text == "bold") bold = i.Bold;
  }
  EXPECT_TRUE(image);
  EXPECT_TRUE(linked);
  EXPECT_TRUE(bold);
}

TEST(Html, HostileInputEndsQuietly) {
  const char* inputs[] = {"<", "<a href=", "<a href='x", "<<<>>>", "<img src=x width=99999999999>", "&#99999999;",
                          "<script>never closed", "<!-- never closed", "</b></b></a></ul>", "<a\x01\x02=3>"};
  for (const char* s : inputs) {
    THtmlDocument d = ParseHtml(s);
    for (const THtmlItem& i : d.Items) EXPECT_LE(i.Width, 4096);
  }
  std::string many;
  for (int i = 0; i < 50000; ++i) many += "<br>x";
  EXPECT_LE(ParseHtml(many).Items.size(), kMaxHtmlItems);
}

TEST(Html, ResolvesAddresses) {
  struct {
    const char* base;
    const char* href;
    const char* want;
  } cases[] = {
      {"http://example.com/a/b.htm", "c.htm", "http://example.com/a/c.htm"},
      {"http://example.com/a/b.htm", "../c.htm", "http://example.com/c.htm"},
      {"http://example.com/a/b.htm?x=1", "/root.htm", "http://example.com/root.htm"},
      {"http://example.com", "x.htm", "http://example.com/x.htm"},
      {"https://example.com/a/", "//cdn.example.com/p.png", "https://cdn.example.com/p.png"},
      {"http://example.com/a/b.htm", "wcme:open?x", "wcme:open?x"},
      {"http://example.com/a/b.htm", "#top", "http://example.com/a/b.htm#top"},
      {"C:\\pages\\index.htm", "img/p.png", "C:\\pages\\img\\p.png"},
      {"C:\\pages\\sub\\index.htm", "../up.htm", "C:\\pages\\up.htm"},
      {"file:///C:/pages/index.htm", "next.htm", "C:\\pages\\next.htm"},
      {"C:\\pages\\index.htm", "http://example.com/", "http://example.com/"},
  };
  for (auto& c : cases) EXPECT_EQ(ResolveUrl(c.base, c.href), c.want) << c.base << " + " << c.href;
  EXPECT_EQ(UrlToLocalPath("file:///C:/My%20Pages/a.htm"), "C:\\My Pages\\a.htm");
  EXPECT_EQ(UrlToLocalPath("http://example.com/"), "");
}

TEST(Html, PicturesOfWebPagesComeFromTheWebOnly) {
  struct {
    const char* page;
    const char* picture;
    TPictureSource want;
    const char* path;
  } cases[] = {
      {"C:\\pages\\index.htm", "C:\\pages\\a.png", TPictureSource::kLocalFile, "C:\\pages\\a.png"},
      {"file:///C:/pages/index.htm", "file:///C:/pages/a%20b.png", TPictureSource::kLocalFile, "C:\\pages\\a b.png"},
      {"C:\\pages\\index.htm", "\\\\host\\share\\x.png", TPictureSource::kNone, ""},
      {"C:\\pages\\index.htm", "file:\\\\host\\share\\x.png", TPictureSource::kNone, ""},
      {"C:\\pages\\index.htm", "//host/share/x.png", TPictureSource::kNone, ""},
      {"C:\\pages\\index.htm", "\\\\?\\C:\\x.png", TPictureSource::kNone, ""},
      {"C:\\pages\\index.htm", "http://example.com/a.png", TPictureSource::kNone, ""},
      {"\\\\host\\share\\index.htm", "\\\\host\\share\\a.png", TPictureSource::kNone, ""},
      {"http://example.com/index.htm", "http://example.com/a.png", TPictureSource::kWeb, ""},
      {"https://example.com/index.htm", "HTTPS://cdn.example.com/a.png", TPictureSource::kWeb, ""},
      {"http://example.com/index.htm", "C:\\Windows\\a.png", TPictureSource::kNone, ""},
      {"http://example.com/index.htm", "file:///C:/a.png", TPictureSource::kNone, ""},
      {"http://example.com/index.htm", "\\\\host\\share\\x.png", TPictureSource::kNone, ""},
      {"http://example.com/index.htm", "ftp://example.com/a.png", TPictureSource::kNone, ""},
  };
  for (auto& c : cases) {
    std::string path;
    EXPECT_EQ(PictureSource(c.page, c.picture, &path), c.want) << c.page << " + " << c.picture;
    EXPECT_EQ(path, c.path) << c.page << " + " << c.picture;
  }
}

namespace {

std::unique_ptr<TForm> BrowserForm(TEmbeddedBrowser** browser) {
  std::unique_ptr<TForm> f = NewPlainForm(400, 300);
  auto* b = new TEmbeddedBrowser(f.get());
  b->SetBounds(0, 0, 400, 300);
  b->SetParent(f.get());
  f->Show();
  *browser = b;
  return f;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

}  // namespace

// A page that shows one large picture many times decodes it once; the pictures of a page
// together stay within one picture's worth of pixels, and beyond it items keep their
// placeholder. The pictures decoded are the ones drawn.
TEST(Browser, PicturesDecodeOncePerAddressWithinOneBudget) {
  TScratchDir dir("pictures");
  WriteAll(dir / "big.png", MakePng(4096, 4096, false, [](int, int) { return 0xFF2060A0u; }));
  WriteAll(dir / "small.png", MakePng(30, 20, false, [](int, int) { return 0xFFE0A020u; }));
  WriteAll(dir / "page.htm", "<p><a href=\"x.htm\"><img src=\"small.png\"></a></p>" +
                                 Repeat("<img src=\"big.png\" width=8 height=8>", 40) + "<img src=\"missing.png\">");
  TEmbeddedBrowser* b = nullptr;
  std::unique_ptr<TForm> f = BrowserForm(&b);
  ASSERT_TRUE(b->Navigate(dir / "page.htm"));
  Pump(100);
  EXPECT_EQ(b->PictureCount(), 2);
  const TskPngImage* first = nullptr;
  int bigItems = 0, smallItem = -1, missingItem = -1;
  for (size_t i = 0; i < b->Document().Items.size(); ++i) {
    const THtmlItem& item = b->Document().Items[i];
    if (item.Kind != THtmlItem::kImage) continue;
    if (item.Src == "small.png") smallItem = static_cast<int>(i);
    if (item.Src == "missing.png") missingItem = static_cast<int>(i);
    if (item.Src != "big.png") continue;
    const TskPngImage* p = b->PictureOf(static_cast<int>(i));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Width(), 4096);
    if (!first) first = p;
    EXPECT_EQ(p, first) << "item " << i << " decoded a copy of its own";
    ++bigItems;
  }
  EXPECT_EQ(bigItems, 40);
  ASSERT_GE(smallItem, 0);
  ASSERT_NE(b->PictureOf(smallItem), nullptr);
  EXPECT_EQ(b->PictureOf(missingItem), nullptr);
  // The small picture, a link, is on the screen in its own colours.
  RECT r = b->LinkRect(0);
  ASSERT_EQ(r.right - r.left, 30);
  EXPECT_EQ(ScreenPixel(b->Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2), RGB(0xE0, 0xA0, 0x20));

  // Three different pictures of 2900 x 2900: the third would pass the budget.
  ASSERT_LT(2 * 2900 * 2900, kMaxPagePicturePixels);
  ASSERT_GT(3 * 2900 * 2900, kMaxPagePicturePixels);
  for (const char* name : {"p1.png", "p2.png", "p3.png"})
    WriteAll(dir / name, MakePng(2900, 2900, false, [](int, int) { return 0xFF808080u; }));
  WriteAll(dir / "three.htm", "<img src=p1.png><img src=p2.png><img src=p3.png><img src=p1.png>");
  ASSERT_TRUE(b->Navigate(dir / "three.htm"));
  EXPECT_EQ(b->PictureCount(), 2);
  std::vector<const TskPngImage*> shown;
  for (size_t i = 0; i < b->Document().Items.size(); ++i) shown.push_back(b->PictureOf(static_cast<int>(i)));
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_NE(shown[0], nullptr);
  EXPECT_NE(shown[1], nullptr);
  EXPECT_EQ(shown[2], nullptr);
  EXPECT_EQ(shown[3], shown[0]);
}

// A page from the web shows the pictures it gets from the web; its local and share pictures
// are never opened, and its links to local files are not followed.
TEST(Browser, WebPagesNeverOpenLocalFilesOrShares) {
  static THttpTestServer server(23);
  ASSERT_TRUE(server.Listening()) << "cannot listen at port 80 on 127.0.23.x";
  TScratchDir dir("webpage");
  std::string local = dir / "local.png";
  WriteAll(local, MakePng(10, 10, false, [](int, int) { return 0xFF00FF00u; }));
  std::string localUrl = "file:///" + local;
  std::replace(localUrl.begin(), localUrl.end(), '\\', '/');
  const std::string page = "<p><img src=\"web.png\"><img src=\"" + local + "\"><img src=\"" + localUrl +
                           "\"><img src=\"\\\\" + server.Host() + "\\share\\x.png\"></p><a href=\"" + local +
                           "\">local</a> <a href=\"next.htm\">next</a>";
  const std::string web = MakePng(12, 12, false, [](int, int) { return 0xFF0000FFu; });
  server.SetHandler([&](THttpConnection& conn, const std::string&, const std::string& path) {
    if (path == "/page.htm") THttpTestServer::Ok(conn, page);
    else if (path == "/web.png") THttpTestServer::Ok(conn, web);
    else THttpTestServer::Ok(conn, "<p>next</p>");
  });
  TEmbeddedBrowser* b = nullptr;
  std::unique_ptr<TForm> f = BrowserForm(&b);
  int navigations = 0;
  b->OnBeforeNavigate2 = [&](TObject*, IDispatch*, VARIANT&, VARIANT&, VARIANT&, VARIANT&, VARIANT&, VARIANT_BOOL&) {
    ++navigations;
  };
  std::string url = "http://" + server.Host() + "/page.htm";
  ASSERT_TRUE(b->Navigate(url));
  ASSERT_TRUE(WaitFor([&] { return !b->Busy(); }, 20000));
  EXPECT_EQ(b->LocationURL(), url);
  EXPECT_EQ(b->PictureCount(), 1);
  int decoded = 0;
  for (size_t i = 0; i < b->Document().Items.size(); ++i)
    if (const TskPngImage* p = b->PictureOf(static_cast<int>(i))) {
      EXPECT_EQ(b->Document().Items[i].Src, "web.png");
      EXPECT_EQ(p->Width(), 12);
      ++decoded;
    }
  EXPECT_EQ(decoded, 1);
  // The link to the local file leads nowhere; the one to the web does.
  EXPECT_FALSE(b->ClickLink(0));
  EXPECT_EQ(navigations, 1);
  EXPECT_EQ(b->LocationURL(), url);
  EXPECT_TRUE(b->ClickLink(1));
  EXPECT_EQ(navigations, 2);
  ASSERT_TRUE(WaitFor([&] { return !b->Busy(); }, 20000));
  EXPECT_EQ(b->LocationURL(), "http://" + server.Host() + "/next.htm");
}

TEST(Browser, LinkClickRaisesBeforeNavigateAndCancelStopsIt) {
  TScratchDir dir("browser");
  WriteAll(dir / "pic.png", DiscPng(24, 0x3080C0));
  WriteAll(dir / "index.htm",
           "<html><title>Start</title><body><h2>Banner</h2><p><a href=\"next.htm\">Go next</a> "
           "<img src=\"pic.png\"></p></body></html>");
  WriteAll(dir / "next.htm", "<p>Second page</p>");

  std::unique_ptr<TForm> holder = NewPlainForm(400, 200);
  TForm* f = holder.get();
  auto* b = new TEmbeddedBrowser(f);
  b->SetBounds(0, 0, 400, 200);
  b->SetParent(f);
  f->Show();

  std::vector<std::string> urls;
  bool cancel = true;
  b->OnBeforeNavigate2 = [&](TObject* sender, IDispatch*, VARIANT& url, VARIANT& flags, VARIANT&, VARIANT&, VARIANT&,
                             VARIANT_BOOL& c) {
    EXPECT_EQ(sender, b);
    EXPECT_EQ(V_VT(&flags), VT_I4);
    urls.push_back(VariantText(url));
    if (urls.size() > 1 && cancel) c = VARIANT_TRUE;
  };
  ASSERT_TRUE(b->Navigate(dir / "index.htm"));
  Pump(100);
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0], dir / "index.htm");
  EXPECT_EQ(b->Document().Title, "Start");
  EXPECT_EQ(GetWindowTextLengthA(b->Handle()), 5);

  // A click on the link, as the mouse gives it.
  RECT r = b->LinkRect(0);
  ASSERT_GT(r.right, r.left);
  LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageA(b->Handle(), WM_MOUSEMOVE, 0, at);
  PostMessageA(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(b->Handle(), WM_LBUTTONUP, 0, at);
  Pump(150);
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[1], dir / "next.htm");
  EXPECT_EQ(b->LocationURL(), dir / "index.htm");  // cancelled: still the first page

  cancel = false;
  PostMessageA(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(b->Handle(), WM_LBUTTONUP, 0, at);
  Pump(150);
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_EQ(b->LocationURL(), dir / "next.htm");
  EXPECT_NE(b->Document().PlainText().find("Second page"), std::string::npos);

  // A navigation by program is announced too; a missing page shows a message, not a crash.
  b->Navigate(dir / "missing.htm");
  EXPECT_EQ(urls.size(), 4u);
  EXPECT_NE(b->Document().PlainText().find("cannot be shown"), std::string::npos);
}
