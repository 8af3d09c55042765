#include "net/AboutText.h"

#include <cstring>

#include "tools/UrlText.h"

namespace abouttext {

std::string ReplaceAll(const std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(what, pos)) != std::string::npos; pos = hit + what.size()) {
    out.append(text, pos, hit - pos);
    out += with;
  }
  out.append(text, pos, std::string::npos);
  return out;
}

std::string ComposeAboutText(const TAboutInputs& in) {
  std::string text = in.Line1;
  text += "\r\n" + ReplaceAll(in.Line2, "{1}", in.Version);
  text += "\r\n" + in.Copyright;
  if (!in.LanguageName.empty() && in.LanguageName != "English")
    text += "\r\n" + ReplaceAll(ReplaceAll(in.Line3, "{1}", in.LanguageName), "{2}", in.Translator);
  return text;
}

TAccessWordWatch::TAction TAccessWordWatch::KeyUp(unsigned key) {
  const size_t wordLength = std::strlen(kAccessWord);
  // The text never shrinks, so once it is longer than the word it can never equal it again;
  // keeping one character more than the word is enough and bounds the memory.
  if (typed_.size() <= wordLength) typed_.push_back(static_cast<char>(key & 0xFF));
  if (key == 27) return kClose;
  if (typed_.size() == wordLength && urltext::SameTextNoCase(typed_, kAccessWord)) return kUnlock;
  return kNone;
}

}  // namespace abouttext
