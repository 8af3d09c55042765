// Language data speed: lookups in a 5,000-key language file, loading a 1 MB file, and merging a
// 100,000-key "SkinRes" into the toolkit's text list. Baselines: a lookup that scans the lines
// for every text (what the index saves), the bare reading of the file's bytes (what the parsing
// and indexing add), and appending the same lines without looking at their names.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lang/CLMultiLang.h"
#include "lang/LanFormat.h"

#include "Bench.h"

namespace {

std::string TempFile(const char* name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

void Write(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  CloseHandle(h);
}

std::string ReadBytes(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string out(GetFileSize(h, nullptr), '\0');
  DWORD n = 0;
  if (!out.empty()) ReadFile(h, &out[0], static_cast<DWORD>(out.size()), &n, nullptr);
  CloseHandle(h);
  return out;
}

// A window section of `keys` texts like the ones a translator asks for.
std::string LanguageText(int keys, size_t valueLength) {
  std::string text = "[Info]\r\nLanguage=Bench\r\n\r\n[TfrmMain]\r\n";
  const std::string value(valueLength, 'x');
  for (int i = 0; i < keys; ++i) text += "ctl" + std::to_string(i) + ".Caption=" + value + "<BR>end\r\n";
  return text;
}

// The lookup without an index: every text scans the lines of its section.
bool ScanLookup(const TStrings& lines, const std::string& section, const std::string& key, std::string* value) {
  bool inSection = false, found = false;
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string line = lines.Get(i);
    std::string_view t = LanTrim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      inSection = LanSameText(LanTrim(t.substr(1, t.size() - 2)), section);
      if (inSection) found = false;
      continue;
    }
    size_t eq = t.find('=');
    if (inSection && eq != std::string_view::npos && LanSameText(LanTrim(t.substr(0, eq)), key)) {
      *value = LanDecodeValue(LanTrim(t.substr(eq + 1)));
      found = true;
    }
  }
  return found;
}


}  // namespace

int main() {
  const int kKeys = 5000;
  const std::string small = TempFile("qm-bench-5000.lan");
  Write(small, LanguageText(kKeys, 24));
  TCLMultiLangData data(nullptr);
  data.LoadLanguage(small);

  // Lookups: every key once per round, as translators and message boxes ask (component name and
  // property apart), half of them missing to exercise the fallback to the default texts too.
  const int kRounds = 200;
  std::string v;
  size_t found = 0;
  double t0 = QmBenchNow();
  for (int r = 0; r < kRounds; ++r)
    for (int i = 0; i < kKeys; ++i)
      found += data.FindText("TfrmMain", "ctl" + std::to_string(i * 2), "Caption", v);
  double indexed = kRounds * kKeys / (QmBenchNow() - t0);

  const int kScanLookups = 400;
  t0 = QmBenchNow();
  for (int i = 0; i < kScanLookups; ++i)
    found += ScanLookup(*data.CurrentData(), "TfrmMain", "ctl" + std::to_string((i * 97) % (2 * kKeys)) + ".Caption", &v);
  double scanned = kScanLookups / (QmBenchNow() - t0);
  QmBenchRow("lang FindText, 5000-key file (lookups/s)", QmBenchFmt("%.0f", indexed), QmBenchFmt("%.0f (line scan)", scanned),
      indexed / scanned, ">= 500000/s");

  // Loading a 1 MB file: reading, splitting into lines and indexing.
  const std::string big = TempFile("qm-bench-1mb.lan");
  std::string text = LanguageText(0, 0);
  for (int i = 0; text.size() < (1u << 20); ++i) text += "ctl" + std::to_string(i) + ".Caption=" + std::string(60, 'y') + "\r\n";
  Write(big, text);
  const int kLoads = 10;
  t0 = QmBenchNow();
  for (int i = 0; i < kLoads; ++i) data.LoadLanguage(big);
  double loadMs = (QmBenchNow() - t0) * 1000 / kLoads;
  t0 = QmBenchNow();
  for (int i = 0; i < kLoads; ++i) found += ReadBytes(big).size();
  double readMs = (QmBenchNow() - t0) * 1000 / kLoads;
  QmBenchRow("lang LoadLanguage, 1 MB file (ms)", QmBenchFmt("%.1f", loadMs), QmBenchFmt("%.1f (bytes read only)", readMs),
      loadMs / (readMs > 0 ? readMs : 1), "<= 100 ms");

  // Merging "SkinRes", as every start does for the skinned toolkit: half of the names are the
  // list's already, the default texts repeat the language's.
  const int kSkinKeys = 100000;
  std::vector<std::string> skinLines{"[SkinRes]"};
  for (int i = 0; i < kSkinKeys; ++i) skinLines.push_back("MI_" + std::to_string(i) + "=text " + std::to_string(i));
  TStringList skinText(skinLines);
  TCLMultiLangData skin(nullptr);
  skin.SetCurrentData(&skinText);
  skin.SetDefaultData(&skinText);
  std::vector<std::string> held;
  for (int i = 0; i < kSkinKeys; i += 2) held.push_back("MI_" + std::to_string(i) + "=held");
  std::string probe;
  skin.FindText("SkinRes", "", "MI_0", probe);  // the index is built at load, not here
  TStringList target(held);
  t0 = QmBenchNow();
  skin.FillSection("SkinRes", &target);
  double fillMs = (QmBenchNow() - t0) * 1000;
  found += target.Count();
  TStringList plain(held);
  t0 = QmBenchNow();
  for (size_t i = 1; i < skinLines.size(); ++i) plain.Add(skinLines[i]);
  double appendMs = (QmBenchNow() - t0) * 1000;
  QmBenchRow("lang FillSection, 100000-key SkinRes (ms)", QmBenchFmt("%.1f", fillMs),
             QmBenchFmt("%.1f (plain append)", appendMs), fillMs / (appendMs > 0 ? appendMs : 1), "<= 500 ms");

  DeleteFileA(small.c_str());
  DeleteFileA(big.c_str());
  return found == 0;  // keeps the work from being optimised away
}
