// Settings store speed: ReadString through all five layers (1,000 keys in each), and WriteString
// (re-read, change, atomic save under the file's mutex) next to a bare rewrite of the same file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "components/Forms.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "tools/QVTools.h"

#include "Bench.h"

namespace {

std::string Section(const char* prefix, int n) {
  std::string s = "[setting]\r\n";
  for (int i = 0; i < n; ++i) s += std::string(prefix) + std::to_string(i) + "=value" + std::to_string(i) + "\r\n";
  return s;
}

std::string PerSecond(double n) { return QmBenchFmt("%.0f/s", n); }

}  // namespace

int main() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string root = std::string(temp) + "qm-settings-bench\\";
  QV_ForceDirectories(root + "app");
  QV_ForceDirectories(root + "user\\cfg");
  QV_WriteTextFile(Section("C", 1000), root + "app\\const.dat");
  QV_WriteTextFile(Section("O", 1000), root + "app\\oem.const.dat");
  QV_WriteTextFile("[Flag]\r\nAllUsers=0\r\n", root + "user\\cfg\\UserFlag.ini");
  QV_WriteTextFile(Section("U", 1000), root + "user\\cfg\\setting.dat");

  TSettingsSources src;
  src.ModuleFileName = "bench.exe";
  src.AppPath = root + "app\\";
  src.UserBase = root + "user";
  src.CommonBase = root + "common";
  src.CommonWritable = [](const std::string&) { return false; };
  QV_WriteTextFile(Section("C", 1000) + "App.ConfigPath=cfg\r\n", root + "app\\const.dat");

  TForm form(nullptr);
  TCLEngine* engine = new TCLEngine(&form);
  for (int i = 0; i < 1000; ++i) {
    engine->SettingOverwrite()->Add("W" + std::to_string(i) + "=v");
    engine->SettingDefault()->Add("D" + std::to_string(i) + "=v");
  }
  TCLSettings settings(src);

  const char* prefixes[] = {"W", "U", "O", "C", "D"};
  const int reads = 50000;
  size_t sink = 0;
  double t0 = QmBenchNow();
  for (int i = 0; i < reads; ++i)
    sink += settings.ReadString(prefixes[i % 5] + std::to_string((i * 7919) % 1000)).size();
  double readTime = QmBenchNow() - t0;
  if (sink == 0) return 1;
  QmBenchRow("settings ReadString, 5 layers x 1000 keys", PerSecond(reads / readTime), "", 0, "");

  const int writes = 200;
  t0 = QmBenchNow();
  for (int i = 0; i < writes; ++i) settings.WriteString("U" + std::to_string(i), "changed" + std::to_string(i));
  double writeTime = QmBenchNow() - t0;
  const std::string file = settings.SettingsFileName();
  std::string text;
  QV_ReadFileText(file, &text);
  t0 = QmBenchNow();
  for (int i = 0; i < writes; ++i) QV_WriteTextFile(text, file);
  double bareTime = QmBenchNow() - t0;
  const double ratio = (writes / writeTime) / (writes / bareTime);
  QmBenchRow("settings WriteString vs bare file rewrite", PerSecond(writes / writeTime), PerSecond(writes / bareTime),
      ratio, "");
  return 0;
}
