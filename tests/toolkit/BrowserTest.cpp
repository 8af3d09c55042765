// The HTML subset and the embedded browser control: before-navigate on every navigation,
// link clicks included, and Cancel.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
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
