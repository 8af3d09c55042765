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

TEST(BannerText, CacheNames) {
  EXPECT_EQ(CacheFileName("http://example.com/b.htm?id=3"), "http___example.com_b.htm_id_3");
  EXPECT_EQ(CacheFileName("a\\b&c=d:e"), "a_b_c_d_e");
  EXPECT_EQ(CacheFilePath("C:\\data\\", "http://x/y"), "C:\\data\\Banners\\http___x_y");
  EXPECT_EQ(CacheFilePath("C:\\data", "http://x/y"), "C:\\data\\Banners\\http___x_y");
  EXPECT_EQ(ExpandExePath("%EXEPATH%\\banner\\top.htm;%exepath%", "C:\\Q"), "C:\\Q\\banner\\top.htm;C:\\Q");
  EXPECT_EQ(BannerKey("About", "RemoteURLA"), "Banner.About.RemoteURLA");
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
  const std::string cache = kData + "Banners\\http___example.com_b.htm_id_3";
  TBannerChoice c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, "http://local/page");
  EXPECT_EQ(c.Remote, s.RemoteURL);
  EXPECT_EQ(c.CacheFile, cache);
  EXPECT_TRUE(c.Fetch);
  files.present.insert(cache);
  c = ChooseBanner(s, kData, kExe, files.Test());
  EXPECT_EQ(c.Shown, cache);
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
