// The banner's cache naming and its choice of address.
#include <gtest/gtest.h>

#include <set>

#include "net/BannerText.h"

using namespace bannertext;

namespace {

const std::string kData = "C:\\data\\";
const std::string kExe = "C:\\Program Files\\Q";

struct TFiles {
  std::set<std::string> present;
  std::vector<std::string> asked;
  std::function<bool(const std::string&)> Test() {
    return [this](const std::string& f) {
      asked.push_back(f);
      return present.count(f) > 0;
    };
  }
};

}  // namespace

TEST(BannerText, CacheNamesHoldOnlyLettersDigitsDashAndUnderscoreAndEndInHtm) {
  struct Case { std::string url, name; } cases[] = {
      {"http://example.com/b.htm?id=3", "http___example_com_b_htm_id_3.htm"},
      {"https://h-1/a_b/x.lan", "https___h-1_a_b_x_lan.htm"},
      {"http://h/..\\..\\x\\Far.lan", "http___h_______x_Far_lan.htm"},
      {"http://h/CON", "http___h_CON.htm"},
      {"http://h/\xE9t\xE9", "http___h__t_.htm"},
      {"http://h/" + std::string(kMaxCacheStem - 9, 'a'), "http___h_" + std::string(kMaxCacheStem - 9, 'a') + ".htm"},
      // Cannot be cached: too long, or nothing the downloader fetches.
      {"http://h/" + std::string(kMaxCacheStem - 8, 'a'), ""},
      {"\\\\host\\share\\b.htm", ""}, {"file:///C:/b.htm", ""}, {"ftp://h/b", ""}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CacheFileName(c.url), c.name) << c.url;
  EXPECT_EQ(CacheFilePath("C:\\data\\", "http://x/y"), "C:\\data\\Banners\\http___x_y.htm");
  EXPECT_EQ(CacheFilePath("C:\\data", "http://x/y"), "C:\\data\\Banners\\http___x_y.htm");
  EXPECT_EQ(CacheFilePath("C:\\data", "file:///C:/x"), "");
  EXPECT_EQ(ExpandExePath("%EXEPATH%\\banner\\top.htm;%exepath%", "C:\\Q"), "C:\\Q\\banner\\top.htm;C:\\Q");
  EXPECT_EQ(BannerKey("About", "RemoteURLA"), "Banner.About.RemoteURLA");
}

// A web address too long to cache is shown as it is, with a web page's rights; a remote address
// that is no web address is shown not at all, and neither is fetched.
TEST(BannerText, AnUncachableRemoteIsShownUncachedOrNotAtAll) {
  TFiles files;
  TBannerSettings s;
  s.RemoteURL = "http://h/" + std::string(kMaxCacheStem, 'x');
  s.URL = "local";
  TBannerChoice c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_TRUE(c.Uncachable);
  EXPECT_EQ(c.Shown, s.RemoteURL);
  EXPECT_FALSE(c.ShownCached);
  EXPECT_FALSE(c.Fetch);
  s.RemoteURL = "\\\\host\\share\\b.htm";
  c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_TRUE(c.Uncachable);
  EXPECT_EQ(c.Shown, "local");
  EXPECT_FALSE(c.Fetch);
  EXPECT_TRUE(files.asked.empty());
}

TEST(BannerText, LocalOnly) {
  TFiles files;
  TBannerSettings s;
  s.URL = "%exepath%\\banner\\top.htm";
  const TBannerChoice c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, kExe + "\\banner\\top.htm");
  EXPECT_FALSE(c.Fetch);
  EXPECT_TRUE(files.asked.empty());
  // Nothing set: an empty address and no fetch.
  const TBannerChoice none = ChooseBanner(TBannerSettings(), kData, kExe, files.Test());
  EXPECT_EQ(none.Shown, "");
  EXPECT_FALSE(none.Fetch);
}

TEST(BannerText, SecondRemoteFetchedUntilCachedThenShownFromCache) {
  TFiles files;
  TBannerSettings s;
  s.RemoteURL = "http://example.com/b.htm?id=3";
  s.URL = "http://local/page";
  const std::string cache = kData + "Banners\\http___example_com_b_htm_id_3.htm";
  TBannerChoice c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, "http://local/page");
  EXPECT_EQ(c.Remote, s.RemoteURL);
  EXPECT_EQ(c.CacheFile, cache);
  EXPECT_TRUE(c.Fetch);
  files.present.insert(cache);
  c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, cache);
  EXPECT_TRUE(c.ShownCached);
  EXPECT_FALSE(c.Fetch);
}

TEST(BannerText, FirstRemoteMissingFallsToSecondLocalAndHidesSecondRemote) {
  TFiles files;
  TBannerSettings s;
  s.RemoteURLA = "http://a/1";
  s.RemoteURL = "http://b/2";
  s.URL = "second-local";
  files.present.insert(CacheFilePath(kData, s.RemoteURL));  // not to be used
  const TBannerChoice c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, "second-local");
  EXPECT_EQ(c.Remote, "http://a/1");
  EXPECT_TRUE(c.Fetch);
  EXPECT_EQ(files.asked, std::vector<std::string>{CacheFilePath(kData, "http://a/1")});
}

TEST(BannerText, CachedSecondRemoteBeatsFirstLocal) {
  TFiles files;
  TBannerSettings s;
  s.URLA = "first-local";
  s.RemoteURL = "http://b/2";
  s.URL = "second-local";
  TBannerChoice c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, "first-local");
  EXPECT_TRUE(c.Fetch);
  files.present.insert(CacheFilePath(kData, s.RemoteURL));
  c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, CacheFilePath(kData, s.RemoteURL));
  EXPECT_FALSE(c.Fetch);
  // A cached first remote copy wins over everything else.
  s.RemoteURLA = "http://a/1";
  files.present.insert(CacheFilePath(kData, s.RemoteURLA));
  c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, CacheFilePath(kData, s.RemoteURLA));
  EXPECT_FALSE(c.Fetch);
}

TEST(BannerText, CacheComparisonCountsLetterCase) {
  // A local address that names the cache file in other letters is not the cached copy shown.
  TFiles files;
  TBannerSettings s;
  s.RemoteURLA = "http://a/1";
  s.URLA = "c:\\DATA\\Banners\\http___a_1";
  const TBannerChoice c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, s.URLA);
  EXPECT_TRUE(c.Fetch);
}
