#include "toolkit/HtmlLite.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
std::string LowerStr(std::string s) {
  for (char& c : s) c = Lower(c);
  return s;
}
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

void AppendUtf8AsAnsi(std::string* out, unsigned long code) {
  // Texts are 8-bit in the ANSI code page; characters beyond Latin-1 show as '?'.
  if (code == 0xA0) out->push_back(' ');
  else if (code > 0 && code < 256) out->push_back(static_cast<char>(code));
  else out->push_back('?');
}

std::string DecodeEntities(const std::string& s) {
  static const struct {
    const char* name;
    unsigned char ch;
  } kNamed[] = {{"amp", '&'},  {"lt", '<'},    {"gt", '>'},    {"quot", '"'},  {"apos", '\''},
                {"nbsp", ' '}, {"copy", 0xA9}, {"reg", 0xAE},  {"middot", 0xB7}, {"laquo", 0xAB},
                {"raquo", 0xBB}};
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out.push_back(s[i]);
      continue;
    }
    size_t semi = s.find(';', i + 1);
    if (semi == std::string::npos || semi - i > 10) {
      out.push_back('&');
      continue;
    }
    std::string name = s.substr(i + 1, semi - i - 1);
    bool done = false;
    if (!name.empty() && name[0] == '#') {
      bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
      const char* digits = name.c_str() + (hex ? 2 : 1);
      char* end = nullptr;
      unsigned long code = std::strtoul(digits, &end, hex ? 16 : 10);
      if (end && *end == 0 && *digits) {
        AppendUtf8AsAnsi(&out, code);
        done = true;
      }
    } else {
      for (auto& n : kNamed)
        if (name == n.name) {
          out.push_back(static_cast<char>(n.ch));
          done = true;
          break;
        }
    }
    if (done) i = semi;
    else out.push_back('&');
  }
  return out;
}

struct TTag {
  std::string Name;  // lower case, without "/"
  bool Closing = false;
  std::vector<std::pair<std::string, std::string>> Attrs;
  std::string Attr(const char* n) const {
    for (auto& a : Attrs)
      if (a.first == n) return a.second;
    return "";
  }
};

// Parses the tag starting at s[i] == '<'; returns the position after it.
size_t ParseTag(const std::string& s, size_t i, TTag* tag) {
  size_t p = i + 1;
  if (p < s.size() && s[p] == '/') {
    tag->Closing = true;
    ++p;
  }
  while (p < s.size() && (std::isalnum(static_cast<unsigned char>(s[p])) || s[p] == '!' || s[p] == '-'))
    tag->Name.push_back(Lower(s[p++]));
  for (;;) {
    while (p < s.size() && (IsSpace(s[p]) || s[p] == '/')) ++p;
    if (p >= s.size()) return p;
    if (s[p] == '>') return p + 1;
    std::string name;
    while (p < s.size() && !IsSpace(s[p]) && s[p] != '=' && s[p] != '>' && s[p] != '/') name.push_back(Lower(s[p++]));
    while (p < s.size() && IsSpace(s[p])) ++p;
    std::string value;
    if (p < s.size() && s[p] == '=') {
      ++p;
      while (p < s.size() && IsSpace(s[p])) ++p;
      if (p < s.size() && (s[p] == '"' || s[p] == '\'')) {
        char q = s[p++];
        size_t end = s.find(q, p);
        if (end == std::string::npos) end = s.size();
        value = s.substr(p, end - p);
        p = std::min(s.size(), end + 1);
      } else {
        while (p < s.size() && !IsSpace(s[p]) && s[p] != '>') value.push_back(s[p++]);
      }
    }
    if (name.empty()) {
      ++p;  // a stray character: skip it so the loop always advances
      continue;
    }
    if (tag->Attrs.size() < 32) tag->Attrs.emplace_back(name, DecodeEntities(value));
  }
}

int ClampSize(const std::string& v) {
  int n = std::atoi(v.c_str());
  return std::clamp(n, 0, 4096);
}

class TBuilder {
 public:
  explicit TBuilder(THtmlDocument* doc) : doc_(doc) {}
  void Text(const std::string& raw) {
    std::string t = DecodeEntities(raw);
    std::string words;
    for (char c : t) {
      if (IsSpace(c)) {
        if (!pendingSpace_ && !atLineStart_) pendingSpace_ = true;
        continue;
      }
      if (pendingSpace_ && !atLineStart_) words.push_back(' ');
      pendingSpace_ = false;
      words.push_back(c);
      atLineStart_ = false;
    }
    if (pendingSpace_ && !words.empty()) {
      words.push_back(' ');
      pendingSpace_ = false;
    }
    if (words.empty()) return;
    THtmlItem item = Style(THtmlItem::kText);
    item.Text = words;
    Push(item);
  }
  void Break(THtmlItem::TKind kind) {
    if (doc_->Items.empty()) return;
    THtmlItem::TKind last = doc_->Items.back().Kind;
    if (kind == THtmlItem::kParagraphBreak && last == THtmlItem::kParagraphBreak) return;
    if (kind == THtmlItem::kParagraphBreak && last == THtmlItem::kLineBreak) doc_->Items.back().Kind = kind;
    else Push(Style(kind));
    atLineStart_ = true;
    pendingSpace_ = false;
  }
  void Image(const TTag& tag) {
    THtmlItem item = Style(THtmlItem::kImage);
    item.Src = tag.Attr("src");
    item.Text = tag.Attr("alt");
    item.Width = ClampSize(tag.Attr("width"));
    item.Height = ClampSize(tag.Attr("height"));
    Push(item);
    atLineStart_ = false;
  }
  void Rule() {
    Break(THtmlItem::kLineBreak);
    Push(Style(THtmlItem::kRule));
    atLineStart_ = true;
  }
  int bold = 0, italic = 0, heading = 0, indent = 0, link = -1;

 private:
  THtmlItem Style(THtmlItem::TKind kind) const {
    THtmlItem i;
    i.Kind = kind;
    i.Bold = bold > 0 || heading > 0;
    i.Italic = italic > 0;
    i.Heading = heading;
    i.Indent = std::min(indent, 8);
    i.Link = link;
    return i;
  }
  void Push(const THtmlItem& i) {
    if (doc_->Items.size() < kMaxHtmlItems) doc_->Items.push_back(i);
  }
  THtmlDocument* doc_;
  bool pendingSpace_ = false;
  bool atLineStart_ = true;
};

}  // namespace

THtmlDocument ParseHtml(const std::string& input) {
  const std::string html = input.size() > kMaxHtmlSize ? input.substr(0, kMaxHtmlSize) : input;
  THtmlDocument doc;
  TBuilder b(&doc);
  size_t i = 0;
  std::string skipUntil;  // inside <script>, <style>, <head>: skip to its end tag
  bool inTitle = false;
  while (i < html.size()) {
    size_t lt = html.find('<', i);
    if (lt == std::string::npos) lt = html.size();
    if (lt > i && skipUntil.empty()) {
      std::string text = html.substr(i, lt - i);
      if (inTitle) doc.Title += DecodeEntities(text);
      else b.Text(text);
    }
    if (lt >= html.size()) break;
    if (html.compare(lt, 4, "<!--") == 0) {
      size_t end = html.find("-->", lt + 4);
      i = end == std::string::npos ? html.size() : end + 3;
      continue;
    }
    TTag tag;
    i = ParseTag(html, lt, &tag);
    const std::string& n = tag.Name;
    if (!skipUntil.empty()) {
      if (tag.Closing && n == skipUntil) skipUntil.clear();
      continue;
    }
    if (!tag.Closing && (n == "script" || n == "style")) {
      skipUntil = n;
      continue;
    }
    if (n == "title") {
      inTitle = !tag.Closing;
      continue;
    }
    int delta = tag.Closing ? -1 : 1;
    if (n == "b" || n == "strong") b.bold = std::max(0, b.bold + delta);
    else if (n == "i" || n == "em") b.italic = std::max(0, b.italic + delta);
    else if (n.size() == 2 && n[0] == 'h' && n[1] >= '1' && n[1] <= '6') {
      b.Break(THtmlItem::kParagraphBreak);
      b.heading = tag.Closing ? 0 : n[1] - '0';
    } else if (n == "p" || n == "div" || n == "table" || n == "tr" || n == "blockquote") {
      b.Break(n == "p" || n == "blockquote" ? THtmlItem::kParagraphBreak : THtmlItem::kLineBreak);
    } else if (n == "br") {
      b.Break(THtmlItem::kLineBreak);
    } else if (n == "ul" || n == "ol") {
      b.indent = std::max(0, b.indent + delta);
      b.Break(THtmlItem::kLineBreak);
    } else if (n == "li" && !tag.Closing) {
      b.Break(THtmlItem::kLineBreak);
      b.Text("\x95 ");
    } else if (n == "hr") {
      b.Rule();
    } else if (n == "img" && !tag.Closing) {
      b.Image(tag);
    } else if (n == "a") {
      if (tag.Closing) {
        b.link = -1;
      } else {
        std::string href = tag.Attr("href");
        if (!href.empty() && doc.Links.size() < 1000) {
          doc.Links.push_back(href);
          b.link = static_cast<int>(doc.Links.size()) - 1;
        }
      }
    }
  }
  std::string t;
  for (char c : doc.Title) {
    if (IsSpace(c)) {
      if (!t.empty() && t.back() != ' ') t.push_back(' ');
    } else {
      t.push_back(c);
    }
  }
  while (!t.empty() && t.back() == ' ') t.pop_back();
  doc.Title = t;
  return doc;
}

std::string THtmlDocument::PlainText() const {
  std::string out;
  for (const THtmlItem& i : Items) {
    switch (i.Kind) {
      case THtmlItem::kText: out += i.Text; break;
      case THtmlItem::kImage: out += i.Text; break;
      case THtmlItem::kLineBreak: case THtmlItem::kRule: out += "\n"; break;
      case THtmlItem::kParagraphBreak: out += "\n\n"; break;
    }
  }
  return out;
}

namespace {

bool HasScheme(const std::string& s, size_t* colon) {
  size_t c = s.find(':');
  if (c == std::string::npos || c < 2) return false;  // "C:" is a drive, not a scheme
  for (size_t i = 0; i < c; ++i) {
    char ch = s[i];
    if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '+' || ch == '-' || ch == '.')) return false;
  }
  if (colon) *colon = c;
  return true;
}

bool IsLocalPath(const std::string& s) {
  return (s.size() >= 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]))) ||
         (s.size() >= 2 && s[0] == '\\' && s[1] == '\\');
}

// Removes "." and ".." segments of a path whose separator is `sep`.
std::string NormalizePath(const std::string& path, char sep, size_t keep) {
  std::vector<std::string> parts;
  std::string head = path.substr(0, keep);
  std::string rest = path.substr(keep);
  size_t start = 0;
  for (;;) {
    size_t end = rest.find(sep, start);
    std::string seg = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (seg != ".") {
      parts.push_back(seg);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::string out = head;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out.push_back(sep);
    out += parts[i];
  }
  return out;
}

}  // namespace

std::string UrlToLocalPath(const std::string& url) {
  if (IsLocalPath(url)) return url;
  std::string lower = LowerStr(url.substr(0, 8));
  if (lower.compare(0, 5, "file:") != 0) return "";
  std::string p = url.substr(5);
  while (!p.empty() && p[0] == '/') p.erase(0, 1);
  std::string out;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '%' && i + 2 < p.size() && std::isxdigit(static_cast<unsigned char>(p[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(p[i + 2]))) {
      out.push_back(static_cast<char>(std::strtol(p.substr(i + 1, 2).c_str(), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(p[i] == '/' ? '\\' : p[i]);
    }
  }
  return IsLocalPath(out) ? out : "";
}

std::string ResolveUrl(const std::string& base, const std::string& href) {
  if (href.empty()) return base;
  if (HasScheme(href, nullptr) || IsLocalPath(href)) return href;
  if (href[0] == '#') {
    size_t hash = base.find('#');
    return base.substr(0, hash) + href;
  }
  std::string local = UrlToLocalPath(base);
  if (!local.empty()) {
    std::string rel = href;
    std::replace(rel.begin(), rel.end(), '/', '\\');
    size_t cut = rel.find_first_of("?#");
    if (cut != std::string::npos) rel.erase(cut);
    if (rel[0] == '\\') return local.substr(0, 2) + rel;
    size_t slash = local.find_last_of('\\');
    std::string dir = slash == std::string::npos ? "" : local.substr(0, slash + 1);
    return NormalizePath(dir + rel, '\\', 3);
  }
  size_t colon = 0;
  if (!HasScheme(base, &colon)) return href;
  std::string scheme = base.substr(0, colon + 1);
  if (href.compare(0, 2, "//") == 0) return scheme + href;
  size_t hostStart = base.compare(colon + 1, 2, "//") == 0 ? colon + 3 : colon + 1;
  size_t pathStart = base.find('/', hostStart);
  std::string origin = pathStart == std::string::npos ? base : base.substr(0, pathStart);
  size_t q = origin.find_first_of("?#");
  if (q != std::string::npos) origin.erase(q);
  if (href[0] == '/') return origin + NormalizePath(href, '/', 0);
  std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
  size_t cut = path.find_first_of("?#");
  if (cut != std::string::npos) path.erase(cut);
  path = path.substr(0, path.find_last_of('/') + 1);
  return origin + NormalizePath(path + href, '/', 0);
}

bool IsWebAddress(const std::string& url) {
  std::string l = LowerStr(url.substr(0, 8));
  return l.compare(0, 7, "http://") == 0 || l.compare(0, 8, "https://") == 0;
}

namespace {

// A share or device path: "\\host\share", "\\?\...", "\\.\..." (either slash).
bool IsSharePath(const std::string& p) {
  return p.size() >= 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/');
}

}  // namespace

TPictureSource PictureSource(const std::string& pageUrl, const std::string& pictureUrl, std::string* localPath) {
  if (IsWebAddress(pageUrl)) return IsWebAddress(pictureUrl) ? TPictureSource::kWeb : TPictureSource::kNone;
  std::string page = UrlToLocalPath(pageUrl);
  std::string path = UrlToLocalPath(pictureUrl);
  if (page.empty() || path.empty() || IsSharePath(path)) return TPictureSource::kNone;
  if (localPath) *localPath = path;
  return TPictureSource::kLocalFile;
}
