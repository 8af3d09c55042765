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
  TDownloadAddress address;
  if (ParseDownloadAddress(text, &address)) {
    if (address.Server.empty() || address.Object.empty() || address.Object[0] != '/' || address.Port == 0) std::abort();
    for (char c : address.Server + address.Object)
      if (static_cast<unsigned char>(c) <= ' ' || c == 127) std::abort();
  }
  const std::string escaped = EscapeForCommandLine(text);
  for (char c : escaped)
    if (c == '"' || static_cast<unsigned char>(c) < 32 || c == 127) std::abort();
  BrowserCommandLine("\"browser.exe\" \"%1\" %1", escaped);
  ChannelName(text);
  return 0;
}
