#include "framework/CLSettings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "framework/CLEngine.h"
#include "platform/Handles.h"
#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

namespace {

const char kShowAgainSection[] = "ShowAgain";
const char kShowAgainResultSection[] = "ShowAgainModuleResult";
const char kUserFlagFile[] = "UserFlag.ini";

std::string WithBackslash(const std::string& path) {
  return (!path.empty() && path.back() == '\\') ? path : path + "\\";
}

// A named mutex guarding one file across processes. Object names may not hold backslashes, so
// the name carries a hash of the upper-cased path.
std::string FileMutexName(const std::string& path) {
  uint64_t h = 1469598103934665603ULL;  // FNV-1a
  for (char c : path) {
    char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : (c == '/' ? '\\' : c);
    h = (h ^ static_cast<unsigned char>(u)) * 1099511628211ULL;
  }
  char name[64];
  std::snprintf(name, sizeof name, "QuillmoorFile-%016llx", static_cast<unsigned long long>(h));
  return QV_GlobalObjectName(name);
}

// Runs `change` on the file's text under its mutex and saves the result atomically.
// A file that exists but cannot be read is never overwritten.
template <typename Change>
bool ModifyIniFile(const std::string& path, TIniText* ini, Change change) {
  TKernelHandle mutex(CreateMutexA(nullptr, FALSE, FileMutexName(path).c_str()));
  // Without a mutex (creation refused) the save still happens; it is merely not serialised.
  // A mutex that another writer holds for far too long fails the write instead: writing
  // unserialised could silently undo that writer's change.
  TMutexLock lock;
  if (mutex && !lock.Lock(mutex.get(), 15000)) {
    change(*ini);
    return false;
  }
  std::string text;
  bool missing = false;
  if (QV_ReadFileText(path, &text, &missing)) {
    ini->Parse(text);
  } else if (!missing) {
    change(*ini);  // keep the change for this run, but do not replace a file we could not read
    return false;
  }
  change(*ini);
  std::string updated = ini->Text();
  // Each start records its language and skin again: a file that already says so is left as it
  // is, which spares the start a rewrite and keeps a write of an unchanged value from failing.
  if (!missing && updated == text) return true;
  return QV_ReplaceFileText(path, updated);
}

TIniText LoadIni(const std::string& path) {
  std::string text;
  QV_ReadFileText(path, &text);
  return TIniText(text);
}

}  // namespace

int StrToIntDefA(const std::string& text, int defaultValue) {
  std::string t = TrimA(text);
  size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
  if (i == t.size()) return defaultValue;
  for (size_t j = i; j < t.size(); ++j)
    if (t[j] < '0' || t[j] > '9') return defaultValue;
  errno = 0;
  long long v = std::strtoll(t.c_str(), nullptr, 10);
  if (errno == ERANGE || v > 2147483647LL || v < -2147483648LL) return defaultValue;
  return static_cast<int>(v);
}

namespace {
char DecimalSeparator() {
  char buffer[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 0 && buffer[0])
    return buffer[0];
  return '.';
}
}  // namespace

bool StrToFloatA(const std::string& text, double* value) {
  std::string t = TrimA(text);
  const char sep = DecimalSeparator();
  if (t.empty()) return false;
  for (char& c : t) {
    if (c == sep) c = '.';
    else if (c == '.' && sep != '.') return false;
  }
  for (char c : t)  // no "inf", "nan" or hexadecimal floats
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return false;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (!end || *end != '\0') return false;
  *value = v;
  return true;
}

std::string FloatToStrA(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  std::string s(buffer);
  const char sep = DecimalSeparator();
  for (char& c : s)
    if (c == '.') c = sep;
  return s;
}

TSettingsSources TSettingsSources::FromSystem() {
  TSettingsSources s;
  s.ModuleFileName = QV_GetModuleFileName();
  s.AppPath = QV_GetLongPath(QV_GetAppPath());
  s.UserBase = QV_GetShellFolder("AppData");
  s.CommonBase = QV_GetCommonShellFolder("Common AppData");
  return s;
}

TCLSettings::TCLSettings(const TSettingsSources& sources) {
  appPath_ = sources.AppPath;
  constFile_ = LoadIni(appPath_ + kConstFile);
  oemFile_ = LoadIni(appPath_ + "oem." + kConstFile);
  configFolder_ = ReadString("App.ConfigPath");
  if (configFolder_.empty()) {
    configFolder_ = sources.ModuleFileName;
    for (char& c : configFolder_)
      if (c == '\\' || c == ':' || c == '/') c = '_';
  }
  userPath_ = sources.UserBase + "\\" + configFolder_ + "\\";
  commonPath_ = sources.CommonBase + "\\" + configFolder_ + "\\";
  allUsers_ = DecideAllUsers(sources);

  dataPath_ = allUsers_ ? commonPath_ : userPath_;
  QV_ForceDirectories(dataPath_);
  dataPath_ = WithBackslash(QV_GetLongPath(dataPath_));
  const std::string file = SettingsFileName();
  if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) QV_WriteTextFile(" ", file);
  userFile_ = LoadIni(file);

  runTimes_ = ReadInteger("RunTimes");
  IncrementRunTimes();
}

void TCLSettings::IncrementRunTimes() {
  // One more than the file holds at the moment of saving, so two starts at once both count;
  // when the file has no counter yet, the layered value read at start counts.
  ModifyIniFile(SettingsFileName(), &userFile_, [this](TIniText& f) {
    std::string current;
    int runs = f.Find(kSection, "RunTimes", &current) ? StrToIntDefA(current, 0) : runTimes_;
    f.Set(kSection, "RunTimes", std::to_string(runs + 1));
  });
}

bool TCLSettings::CommonFolderWritable(const TSettingsSources& sources) const {
  if (!QV_ForceDirectories(commonPath_)) return false;
  if (sources.CommonWritable) return sources.CommonWritable(commonPath_);
  return QV_CheckAccess(GENERIC_WRITE, commonPath_);
}

bool TCLSettings::DecideAllUsers(const TSettingsSources& sources) {
  const std::string flagFile = userPath_ + kUserFlagFile;
  QV_ForceDirectories(userPath_);
  TIniText flags = LoadIni(flagFile);
  std::string value;
  if (flags.Find("Flag", "AllUsers", &value)) {
    if (StrToIntDefA(value, 1) != 0 && !CommonFolderWritable(sources))
      ModifyIniFile(flagFile, &flags, [](TIniText& f) { f.Set("Flag", "AllUsers", "0"); });
  } else {
    const char* v = CommonFolderWritable(sources) ? "1" : "0";
    ModifyIniFile(flagFile, &flags, [v](TIniText& f) { f.Set("Flag", "AllUsers", v); });
  }
  QV_ForceDirectories(userPath_);
  flags = LoadIni(flagFile);
  return !flags.Find("Flag", "AllUsers", &value) || StrToIntDefA(value, 1) != 0;
}

bool TCLSettings::FindInFiles(const std::string& key, std::string* value) const {
  return userFile_.Find(kSection, key, value) || oemFile_.Find(kSection, key, value) ||
         constFile_.Find(kSection, key, value);
}

std::string TCLSettings::ReadString(const std::string& key) const {
  std::string value;
  if (GetEngine() && EngineSettingOverwrite(key, &value)) return value;
  if (FindInFiles(key, &value)) return value;
  if (GetEngine() && EngineSettingDefault(key, &value)) return value;
  TraceTagged("Setting Not Found :" + key, "CLSettings");
  return std::string();
}

int TCLSettings::ReadInteger(const std::string& key) const { return StrToIntDefA(ReadString(key), 0); }
bool TCLSettings::ReadBool(const std::string& key) const { return ReadInteger(key) != 0; }

double TCLSettings::ReadFloat(const std::string& key) const {
  double v = 0;
  return StrToFloatA(ReadString(key), &v) ? v : 0.0;
}

bool TCLSettings::Modify(const std::string& section, const std::string& key, const std::string& value) {
  return ModifyIniFile(SettingsFileName(), &userFile_, [&](TIniText& f) {
    if (!key.empty()) f.Set(section, key, value);
  });
}

bool TCLSettings::WriteString(const std::string& key, const std::string& value) {
  return Modify(kSection, key, value);
}
bool TCLSettings::WriteInteger(const std::string& key, int value) {
  return WriteString(key, std::to_string(value));
}
bool TCLSettings::WriteBool(const std::string& key, bool value) { return WriteString(key, value ? "1" : "0"); }
bool TCLSettings::WriteFloat(const std::string& key, double value) {
  return WriteString(key, FloatToStrA(value));
}

bool TCLSettings::ReadShowAgain(int id) const {
  std::string value;
  if (!userFile_.Find(kShowAgainSection, std::to_string(id), &value)) return true;
  return StrToIntDefA(value, 1) != 0;
}

bool TCLSettings::WriteShowAgain(int id, bool value) {
  return Modify(kShowAgainSection, std::to_string(id), value ? "1" : "0");
}

int TCLSettings::ReadShowAgainResult(int id) const {
  std::string value;
  if (!userFile_.Find(kShowAgainResultSection, std::to_string(id), &value)) return 1;
  return StrToIntDefA(value, 1);
}

bool TCLSettings::WriteShowAgainResult(int id, int value) {
  return Modify(kShowAgainResultSection, std::to_string(id), std::to_string(value));
}

bool TCLSettings::UpdateFile() { return Modify(kSection, "", ""); }

int TCLSettings::InstallAgeDays() const {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME nowFt;
  SystemTimeToFileTime(&st, &nowFt);
  const long long now = (static_cast<long long>(nowFt.dwHighDateTime) << 32) | nowFt.dwLowDateTime;
  std::string app = appPath_;
  if (!app.empty() && app.back() == '\\') app.pop_back();
  long long best = 0;
  bool any = false;
  for (const std::string& folder : {app, userPath_, commonPath_}) {
    FILETIME created;
    if (!QV_GetFileCreationTime(folder, &created)) continue;
    long long c = (static_cast<long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    long long days = (now - c) / 864000000000LL;  // truncated toward zero
    if (!any || days > best) best = days;
    any = true;
  }
  return any ? static_cast<int>(best) : 0;
}

namespace {
TCLSettings* g_settings = nullptr;
}

TCLSettings* GetSettings() {
  if (!g_settings) g_settings = new TCLSettings();
  return g_settings;
}

void FreeSettings() {
  delete g_settings;
  g_settings = nullptr;
}
