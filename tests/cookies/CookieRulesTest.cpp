// The platform-free rules: which typed texts are refused, the site word, host matching and the
// reading of cookie-file records.
#include <gtest/gtest.h>

#include "cookies/CookieRules.h"

using namespace cookierules;

TEST(CookieRules, UnsafeTextsAreRefused) {
  const char* refused[] = {"", ".", ".com", "www.", "WWW.", "www..com", "exa\"mple.com",
                           "exa\\mple.com", "a/b.com", "*.com", "ex*ample.com", "ex?mple.com",
                           "a<b.com", "a>b.com", "a|b.com", "c:.com", "example.com:80",
                           "exa mple.com", " example.com", "example.com ", "exa\tmple.com",
                           "example\r\n.com", "ex\x7f" "ample.com", "\x01"};
  for (const char* text : refused) EXPECT_FALSE(IsSafeDomainText(text)) << "[" << text << "]";
  const char* accepted[] = {"example.com", "www.example.com", "forum.example.com", "localhost",
                            "example", "xn--bcher-kva.example", "my-site_1.co.uk", "www.www.com",
                            "wwwexample.com", "\xe4\xf6.example", "100%.com", "a&b=c#d.com"};
  for (const char* text : accepted) EXPECT_TRUE(IsSafeDomainText(text)) << "[" << text << "]";
}

TEST(CookieRules, SiteWordDropsLeadingWwwOnly) {
  struct { const char* text; const char* domain; const char* site; } cases[] = {
      {"example.com", "example.com", "example"},
      {"www.example.com", "example.com", "example"},
      {"WwW.Example.com", "Example.com", "Example"},
      {"forum.example.com", "forum.example.com", "forum"},
      {"www.forum.example.com", "forum.example.com", "forum"},
      {"localhost", "localhost", "localhost"},
      {"www", "www", "www"},  // no dot: the whole text, not a prefix
      {"wwwexample.com", "wwwexample.com", "wwwexample"},
      {"www.www.com", "www.com", "www"},
      {"www.", "", ""},
      {".example.com", ".example.com", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchDomainOf(c.text), c.domain) << c.text;
    EXPECT_EQ(SiteWordOf(c.text), c.site) << c.text;
  }
}

TEST(CookieRules, HostMatchesDomainAndSubDomains) {
  struct { const char* host; const char* domain; bool match; } cases[] = {
      {"example.com", "example.com", true},
      {".example.com", "example.com", true},
      {"forum.example.com", "example.com", true},
      {".forum.Example.COM", "example.com", true},
      {"EXAMPLE.COM", "Example.Com", true},
      {"a.b.example.com", "example.com", true},
      {"notexample.com", "example.com", false},
      {"example.com.evil.net", "example.com", false},
      {"example.org", "example.com", false},
      {"com", "example.com", false},
      {"", "example.com", false},
      {".", "example.com", false},
      {"example.com", "", false},
      {"..example.com", "example.com", true},  // a damaged host still ends with ".example.com"
      {"example.com", "forum.example.com", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HostMatchesDomain(c.host, c.domain), c.match) << c.host << " / " << c.domain;
}

namespace {
std::string Record(const std::string& name, const std::string& value, const std::string& hostPath,
                   const char* eol = "\n") {
  std::string r;
  for (const std::string& line : {name, value, hostPath, std::string("9728"), std::string("2914986496"),
                                  std::string("31119351"), std::string("1840399408"),
                                  std::string("30946433"), std::string("*")})
    r += line + eol;
  return r;
}
}  // namespace

TEST(CookieRules, CookieFileRecords) {
  // Several records, CR LF and LF, a value that is itself "*".
  const std::string text = Record("a", "1", "example.org/") + Record("b", "*", ".forum.example.com/x/y", "\r\n") +
                           Record("c", "3", "other.net/");
  EXPECT_EQ(CookieFileHosts(text), (std::vector<std::string>{"example.org", ".forum.example.com", "other.net"}));
  EXPECT_TRUE(CookieFileMatchesDomain(text, "example.com"));
  EXPECT_FALSE(CookieFileMatchesDomain(text, "example.net"));
  // The file's last line may lack its line end.
  std::string last = Record("a", "1", "example.com/");
  last.pop_back();
  EXPECT_EQ(CookieFileHosts(last), (std::vector<std::string>{"example.com"}));

  // A damaged record (a line lost) costs only that record.
  std::string damaged = Record("a", "1", "lost.example.com/");
  damaged.erase(damaged.find("9728\n"), 5);
  damaged += Record("d", "4", "kept.example.com/");
  EXPECT_EQ(CookieFileHosts(damaged), (std::vector<std::string>{"kept.example.com"}));

  // Texts that are no cookie file give no hosts, and never read out of bounds.
  for (const std::string& junk : {std::string(), std::string("*"), std::string("\n\n\n"),
                                  std::string(20, '*'), std::string("a\nb\nexample.com/\n*\n"),
                                  std::string("\r\r\r\r\r\r\r\r\r"), std::string(100, '\n')}) {
    for (const std::string& host : CookieFileHosts(junk)) EXPECT_FALSE(HostMatchesDomain(host, "example.com"));
    EXPECT_FALSE(CookieFileMatchesDomain(junk, "example.com"));
  }
}

TEST(CookieRules, CookieFileNames) {
  for (const char* name : {"user@example[1].txt", "CM89HDI5.TXT", ".txt", "a.Txt"}) EXPECT_TRUE(IsCookieFileName(name)) << name;
  for (const char* name : {"notes.txt2", "index.dat", "txt", "a.tx", "", "a.txt.bak"})
    EXPECT_FALSE(IsCookieFileName(name)) << name;
}

TEST(CookieRules, CookieIndexHost) {
  EXPECT_EQ(CookieIndexHost("Cookie:user@example.com/"), "example.com");
  EXPECT_EQ(CookieIndexHost("cookie:root@forum.example.com/path/x"), "forum.example.com");
  EXPECT_EQ(CookieIndexHost("Cookie:user@localhost"), "localhost");
  EXPECT_EQ(CookieIndexHost("Cookie:nouser"), "");
  EXPECT_EQ(CookieIndexHost("Visited:user@example.com/"), "");
  EXPECT_EQ(CookieIndexHost(""), "");
}
