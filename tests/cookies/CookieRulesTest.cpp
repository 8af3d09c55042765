// The platform-free rules: what a typed text names, which hosts belong to it, and the reading of
// cookie-file records, Firefox's profile list and its old cookie file.
#include <gtest/gtest.h>

#include "cookies/CookieRules.h"
#include "cookies/PublicSuffixTable.h"
#include "cookies/SiteRule.h"

using namespace cookierules;

// What a typed text names: a host (reduced from a pasted address), or nothing at all.
TEST(SiteRule, TypedTextsNameASiteOrNone) {
  struct { const char* text; const char* site; } cases[] = {
      {"example.com", "example.com"},
      {"  WWW.Example.COM.  ", "example.com"},
      {"https://www.example.com:8080/p?q", "example.com"},
      {"http://forum.example.com/x#y", "forum.example.com"},
      {"example.com/login", "example.com"},
      {"www.www.example.com", "www.example.com"},
      {"wwwexample.com", "wwwexample.com"},
      {"xn--bcher-kva.example", "xn--bcher-kva.example"},
      {"1.1.1.1", "1.1.1.1"},
      {"foo.github.io", "foo.github.io"},  // the list's private section: a site of its own
      {"b.a.ck", "b.a.ck"},                // one label under a wildcard suffix
      {"x.www.ck", "x.www.ck"},            // under the wildcard's exception
      // Public suffixes, of either section and by wildcard.
      {"com", ""}, {"org", ""}, {"co.uk", ""}, {"www.co.uk", ""}, {"github.io", ""}, {"a.ck", ""},
      {"www.com", ""}, {"www.ck", ""},
      // Texts that name no host: the tricks that used to erase everything among them.
      {"", ""}, {"@", ""}, {"[1]", ""}, {"user@example[1].txt", ""}, {"*.org", ""}, {"ex*mple.com", ""},
      {"ex?mple.com", ""}, {"exa mple.com", ""}, {"\"example.com\"", ""}, {"exa\tmple.com", ""},
      {"example\r\n.com", ""}, {"ex\x7f" "ample.com", ""}, {"\xe4\xf6.example", ""}, {"a_b.example", ""},
      {"localhost", ""}, {"www.", ""}, {".", ""}, {".example.com", ""}, {"example..com", ""},
      {"-a.com", ""}, {"a-.com", ""}, {"..\\x", ""}, {"c:x", ""}, {"example.com:http", ""},
      {"http://user@example.com/", ""}, {"1.2.3", ""}, {"1.2.3.4.5", ""}, {"256.1.1.1", ""},
      {"01.1.1.1", ""}, {"1.1.1.1:x", ""}, {"http://", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(siterule::SiteOfText(c.text), c.site) << "[" << c.text << "]";
  EXPECT_EQ(siterule::SiteOfText(std::string(64, 'a') + ".com"), "");  // a label over 63 letters
  EXPECT_EQ(siterule::SiteOfText(std::string(63, 'a') + ".com"), std::string(63, 'a') + ".com");
  // What the operations accept: a site in that form, nothing to trim, lower or reduce.
  for (const char* site : {"example.com", "www.example.com", "1.1.1.1"}) EXPECT_TRUE(siterule::IsSite(site)) << site;
  for (const char* text : {"Example.com", " example.com", "example.com.", "https://example.com", "com", ""})
    EXPECT_FALSE(siterule::IsSite(text)) << text;
}

TEST(SiteRule, AHostBelongsToItsSiteAndSubDomainsOnly) {
  struct { const char* host; const char* site; bool match; } cases[] = {
      {"example.com", "example.com", true},
      {".example.com", "example.com", true},
      {".forum.Example.COM", "example.com", true},
      {"a.b.example.com", "example.com", true},
      {"notexample.com", "example.com", false},
      {"example.com.evil.net", "example.com", false},
      {"com", "example.com", false},
      {"", "example.com", false},
      {"example.com", "", false},
      {"example.com", "forum.example.com", false},
      {"1.1.1.1", "1.1.1.1", true},
      {"2.1.1.1.1", "1.1.1.1", false},  // an address matches only itself
      {"x.1.1.1.1", "1.1.1.1", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(siterule::HostBelongsToSite(c.host, c.site), c.match) << c.host << " / " << c.site;
  EXPECT_FALSE(std::string(publicsuffix::kListVersion).empty());
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
  EXPECT_TRUE(CookieFileBelongsToSite(text, "example.com"));
  EXPECT_FALSE(CookieFileBelongsToSite(text, "example.net"));
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
    for (const std::string& host : CookieFileHosts(junk))
      EXPECT_FALSE(siterule::HostBelongsToSite(host, "example.com"));
    EXPECT_FALSE(CookieFileBelongsToSite(junk, "example.com"));
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

TEST(CookieRules, FirefoxProfileList) {
  const std::string ini =
      "[General]\r\nStartWithLastProfile=1\r\n\r\n"
      "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/abc.default\r\n\r\n"
      "[Profile1]\r\nName=work\r\nIsRelative=0\r\nPath=D:\\Mail\\Firefox Work\\\r\n\r\n"
      "[Profile2]\r\nIsRelative=1\r\nPath=../../Escape\r\n\r\n"
      "[Profile3]\r\nIsRelative=1\r\nPath=\r\n\r\n"
      "[Install308046B0AF4A39CB]\r\nDefault=Profiles/abc.default\r\n";
  EXPECT_EQ(FirefoxProfileFolders(ini, "C:\\AppData\\Mozilla\\Firefox"),
            (std::vector<std::string>{"C:\\AppData\\Mozilla\\Firefox\\Profiles\\abc.default", "D:\\Mail\\Firefox Work"}));
  EXPECT_TRUE(FirefoxProfileFolders("garbage\x01[", "C:").empty());
}

TEST(CookieRules, NetscapeCookieFileLosesTheSitesLinesOnly) {
  const std::string text =
      "# Netscape HTTP Cookie File\r\n\r\n"
      ".example.com\tTRUE\t/\tFALSE\t2145916800\ta\t1\r\n"
      "#HttpOnly_forum.example.com\tFALSE\t/\tTRUE\t2145916800\tb\t2\r\n"
      "notexample.com\tFALSE\t/\tFALSE\t2145916800\tc\t3\r\n"
      "damaged.example.com\tno tabs enough\r\n"
      "other.org\tFALSE\t/\tFALSE\t2145916800\td\t4";
  long long removed = 0;
  const std::string kept = NetscapeCookiesWithout(
      text, [](const std::string& host) { return siterule::HostBelongsToSite(host, "example.com"); }, &removed);
  EXPECT_EQ(removed, 2);
  EXPECT_EQ(kept, "# Netscape HTTP Cookie File\r\n\r\nnotexample.com\tFALSE\t/\tFALSE\t2145916800\tc\t3\r\n"
                  "damaged.example.com\tno tabs enough\r\nother.org\tFALSE\t/\tFALSE\t2145916800\td\t4");
}

TEST(CookieRules, VersionsAndStatements) {
  struct { const char* text; bool ok; int major, minor; } versions[] = {
      {"3.6.28 (en-US)", true, 3, 6}, {"1.5.0.12", true, 1, 5}, {"120.0", true, 120, 0},
      {"3", false, 0, 0}, {"", false, 0, 0}, {"x.1", false, 0, 0}, {"3.", false, 0, 0}};
  for (const auto& v : versions) {
    int major = 0, minor = 0;
    EXPECT_EQ(ParseMajorMinor(v.text, &major, &minor), v.ok) << v.text;
    if (v.ok) {
      EXPECT_EQ(major * 1000 + minor, v.major * 1000 + v.minor) << v.text;
    }
  }
  EXPECT_EQ(CookieDeleteStatement("moz_cookies", "host", false, "f"), "DELETE FROM \"moz_cookies\"");
  EXPECT_EQ(CookieDeleteStatement("cookies", "host_key", true, "f"), "DELETE FROM \"cookies\" WHERE f(\"host_key\")");
}
