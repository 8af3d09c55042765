// Update server answers: whatever arrives, the pushed settings are storable and none reaches a
// protected key, the page to open is a web address, and nothing shows without the magic word.
// Banner addresses come from those pushes, so their cache names are checked here too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/BannerText.h"
#include "net/UpdateAnswer.h"
#include "tools/UrlText.h"

using namespace updatetext;

namespace {

void Check(const std::string& answer, const TAnswerInputs& in) {
  const TAnswerOutcome o = ProcessAnswer(answer, in);
  if (!o.MagicMatched && (!o.Settings.empty() || o.Show == kShowNewVersion || o.Show == kShowLastVersion))
    std::abort();
  if (!in.Manual && (o.Show == kShowLastVersion || o.Show == kShowNetError)) std::abort();
  if (!o.Page.empty() && !IsWebAddress(o.Page)) std::abort();
  // However long the answer, what it may push stays bounded.
  if (o.Settings.size() > kMaxPushedLines) std::abort();
  for (const auto& kv : o.Settings) {
    const std::string& key = kv.first;
    if (!IsStorableKey(key)) std::abort();
    if (key.size() > kMaxPushedKey || kv.second.size() > kMaxPushedValue) std::abort();
    if (urltext::StartsWithNoCase(key, "Banner.")) {
      if (!IsBannerAddress(kv.second)) std::abort();
      continue;
    }
    if (CheckModifyPush(key, kv.second) != kPushAllowed) std::abort();
    if (urltext::SameTextNoCase(key, "FireFoxPath") || urltext::StartsWithNoCase(key, "App.") ||
        urltext::StartsWithNoCase(key, "Path.") || urltext::StartsWithNoCase(key, "Debug."))
      std::abort();
    if (urltext::StartsWithNoCase(key, "URL.") && !IsWebAddress(kv.second)) std::abort();
    if (kv.first.find_first_of("\r\n") != std::string::npos || kv.second.find_first_of("\r\n") != std::string::npos)
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The first line of the input doubles as the expected magic word, so that matching answers
  // are reached as often as failing ones.
  const std::string firstLine = text.substr(0, text.find_first_of("\r\n"));
  TAnswerInputs in;
  in.MagicWord = firstLine.size() > 10 ? firstLine.substr(10) : std::string();
  for (int mode = 0; mode < 4; ++mode) {
    in.Manual = mode & 1;
    in.AutoCheck = mode & 2;
    in.RunTimes = mode;
    Check(text, in);
  }
  int n = 0;
  ParseDecimal(text, &n);
  const std::string name = bannertext::CacheFileName(text);
  if (!name.empty()) {
    if (name.size() != text.size() + 4 || name.compare(name.size() - 4, 4, ".htm") != 0) std::abort();
    for (size_t i = 0; i + 4 < name.size(); ++i) {
      const char c = name[i];
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
        std::abort();
    }
  }
  bannertext::TBannerSettings s{text, firstLine, text, firstLine};
  bannertext::ChooseBanner(s, "C:\\d", "C:\\e", [&](const std::string& f) { return f.size() % 2 == 0; });
  return 0;
}
