// The about window's text and its access word, free of window handles: the window gathers the
// texts and settings and feeds the keys it sees.
#pragma once

#include <string>

namespace abouttext {

// Every occurrence of `what` (letter case counts) replaced by `with`, in one pass.
std::string ReplaceAll(const std::string& text, const std::string& what, const std::string& with);

struct TAboutInputs {
  std::string Line1;          // "TfrmCLAboutForm.CopyRightLine1"
  std::string Line2;          // "TfrmCLAboutForm.CopyRightLine2", "{1}" the version
  std::string Line3;          // "TfrmCLAboutForm.CopyRightLine3", "{1}" language, "{2}" translator
  std::string Version;        // "App.Ver"
  std::string Copyright;      // "App.Copyright"
  std::string LanguageName;   // the engine's current language
  std::string Translator;     // named by the current language file
};
// The about lines joined by CR LF: name, version, copyright and, unless the language is empty or
// exactly "English", the translated-by line.
std::string ComposeAboutText(const TAboutInputs& in);

// The keys released in the about window, watched for the access word "quendalsor" (letter case
// aside), which counts only as the very first keys typed.
class TAccessWordWatch {
 public:
  enum TAction { kNone, kClose, kUnlock };
  // Takes one released key (a virtual-key code; its low byte is its character). Escape asks to
  // close; the key that completes the access word unlocks.
  TAction KeyUp(unsigned key);
  // Every key seen so far as characters (kept only as far as it can still matter).
  const std::string& Typed() const { return typed_; }
  // The caption shown once unlocked.
  std::string UnlockedCaption() const { return typed_ + " :-]"; }

  static constexpr const char* kAccessWord = "quendalsor";

 private:
  std::string typed_;
};

}  // namespace abouttext
