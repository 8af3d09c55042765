// The small HTML subset the embedded browser shows: text with bold, italic and headings,
// paragraphs and line breaks, lists as indented lines, links and pictures. Scripts, styles and
// everything unknown are skipped. Platform-free, so it can be fuzzed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t kMaxHtmlSize = 2u * 1024 * 1024;  // longer pages are cut here
constexpr size_t kMaxHtmlItems = 20000;            // and pages with more pieces than this

struct THtmlItem {
  enum TKind { kText, kLineBreak, kParagraphBreak, kImage, kRule };
  TKind Kind = kText;
  std::string Text;  // Text: the words (blanks collapsed); Image: the alternative text
  bool Bold = false;
  bool Italic = false;
  int Heading = 0;   // 1..6 inside <hN>, else 0
  int Indent = 0;    // list depth
  int Link = -1;     // index into THtmlDocument::Links, or -1
  std::string Src;   // Image: the picture's address as written
  int Width = 0;     // Image: width and height attributes, 0 when absent
  int Height = 0;
};

struct THtmlDocument {
  std::string Title;
  std::vector<std::string> Links;  // addresses as written in href
  std::vector<THtmlItem> Items;
  // The visible text, paragraphs separated by blank lines (for tests and screen readers).
  std::string PlainText() const;
};

THtmlDocument ParseHtml(const std::string& html);

// Resolves `href` against the address of the page it appears on. Pages are either web
// addresses ("http://host/dir/page.htm") or local files ("C:\dir\page.htm", "file:///C:/...").
std::string ResolveUrl(const std::string& base, const std::string& href);
// A local file path for a "file:" address or a plain path; empty for anything else.
std::string UrlToLocalPath(const std::string& url);
// An "http:" or "https:" address.
bool IsWebAddress(const std::string& url);

// Where a picture of a page may come from. A page from the web gets its pictures from the web
// only: it must not make the program open the computer's files, nor network shares, whose
// server would receive the user's credentials. A page that is a file of this computer gets
// them from its files, never from a share ("\\host\share\x.png"); its web pictures are not
// fetched. `pictureUrl` is the resolved address; for kLocalFile, `localPath` is the file.
enum class TPictureSource { kNone, kLocalFile, kWeb };
TPictureSource PictureSource(const std::string& pageUrl, const std::string& pictureUrl, std::string* localPath);
