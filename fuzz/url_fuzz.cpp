// Addresses and queries from pages, settings and server answers: decoding, query parsing,
// version text, the address split and the command-line escaping.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/UrlText.h"

using namespace urltext;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string decoded;
  UrlDecode(text, &decoded);
  // What the encoder makes, the decoder takes back.
  std::string back;
  if (!UrlDecode(UrlEncode(text), &back) || back != text) std::abort();
  TQueryPairs pairs;
  ParseQuery(text, &pairs, true);
  ParseQuery(text, &pairs, false);
  pairs.Lines();
  VersionToInt(text);
  AppendQuery(text, text);
  std::string server, object;
  SplitDownloadAddress(text, &server, &object);
  const std::string escaped = EscapeForCommandLine(text);
  for (char c : escaped)
    if (c == '"' || static_cast<unsigned char>(c) < 32 || c == 127) std::abort();
  BrowserCommandLine("\"browser.exe\" \"%1\" %1", escaped);
  ChannelName(text);
  return 0;
}
