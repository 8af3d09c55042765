#include "cookies/LocalState.h"

namespace localstate {

namespace {

class TReader {
 public:
  explicit TReader(const std::string& text) : text_(text) {}

  // The document: one object, nothing after it but blanks.
  bool Document(std::vector<std::string>* names) {
    names_ = names;
    if (!Object(0, kTop)) return false;
    Blanks();
    return at_ == text_.size();
  }

 private:
  // Where an object sits: only the keys of top.profile.info_cache are kept.
  enum TPlace { kTop, kProfile, kInfoCache, kElsewhere };

  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool Take(char c) {
    Blanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool Peek(char c) {
    Blanks();
    return at_ < text_.size() && text_[at_] == c;
  }

  static void AppendUtf8(unsigned code, std::string* out) {
    if (code < 0x80) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code >> 6)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xE0 | (code >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  bool Hex4(unsigned* code) {
    if (text_.size() - at_ < 4) return false;
    *code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      *code <<= 4;
      if (c >= '0' && c <= '9') *code |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') *code |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') *code |= static_cast<unsigned>(c - 'A' + 10);
      else return false;
    }
    return true;
  }

  // A string; surrogate pairs are kept as two three-byte sequences, which no plain folder name
  // holds anyway.
  bool String(std::string* out) {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out->push_back(e); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          unsigned code = 0;
          if (!Hex4(&code)) return false;
          AppendUtf8(code, out);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  bool Literal(const char* word) {
    for (size_t i = 0; word[i]; ++i)
      if (at_ + i >= text_.size() || text_[at_ + i] != word[i]) return false;
    for (size_t i = 0; word[i]; ++i) ++at_;
    return true;
  }

  bool Number() {
    const size_t from = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    while (at_ < text_.size() && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.' ||
                                  text_[at_] == 'e' || text_[at_] == 'E' || text_[at_] == '+' || text_[at_] == '-'))
      ++at_;
    return at_ > from && text_[at_ - 1] != '-';
  }

  bool Value(size_t depth, TPlace place) {
    if (depth > kMaxDepth) return false;
    Blanks();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{': return Object(depth, place);
      case '[': return Array(depth);
      case '"': {
        std::string ignored;
        return String(&ignored);
      }
      case 't': return Literal("true");
      case 'f': return Literal("false");
      case 'n': return Literal("null");
      default: return Number();
    }
  }

  bool Array(size_t depth) {
    if (!Take('[')) return false;
    if (Take(']')) return true;
    do {
      if (!Value(depth + 1, kElsewhere)) return false;
    } while (Take(','));
    return Take(']');
  }

  bool Object(size_t depth, TPlace place) {
    if (depth > kMaxDepth || !Take('{')) return false;
    if (Take('}')) return true;
    do {
      std::string key;
      if (!Peek('"') || !String(&key) || !Take(':')) return false;
      TPlace inner = kElsewhere;
      if (place == kTop && key == "profile") inner = kProfile;
      else if (place == kProfile && key == "info_cache") inner = kInfoCache;
      if (place == kInfoCache) {
        if (names_->size() >= kMaxProfiles) return false;
        names_->push_back(key);
      }
      if (!Value(depth + 1, inner)) return false;
    } while (Take(','));
    return Take('}');
  }

  const std::string& text_;
  size_t at_ = 0;
  std::vector<std::string>* names_ = nullptr;
};

}  // namespace

bool ProfileFolderNames(const std::string& json, std::vector<std::string>* names) {
  names->clear();
  if (!TReader(json).Document(names)) {
    names->clear();
    return false;
  }
  return !names->empty();
}

}  // namespace localstate
