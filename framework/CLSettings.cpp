#include "framework/CLSettings.h"

#include <cctype>
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

std::string WithoutBackslash(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// Whether a shell folder names a folder below a drive's root (C:\x) or on a share
// (\\host\share): a root, a path relative to the current drive or folder, or nothing at all
// would put the settings where they do not belong.
bool IsFolderBase(const std::string& path) {
  const std::string p = WithoutBackslash(path);
  const bool drive = p.size() > 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' && p[2] == '\\';
  const bool share = p.size() > 2 && p[0] == '\\' && p[1] == '\\' && p.find('\\', 2) != std::string::npos;
  return drive || share;
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

// The settings files hold a few kilobytes. One far larger is damaged or planted, and reading and
// parsing it whole would stall the start: it counts as unreadable, and is never overwritten.
constexpr DWORD kMaxIniFileBytes = 4 * 1024 * 1024;

// Exactly `base` + "." + a decimal process id + ".tmp", as QV_ReplaceFileText names them.
bool IsTemporaryName(const std::string& candidate, const std::string& base) {
  const std::string suffix = ".tmp";
  if (candidate.size() <= base.size() + 1 + suffix.size()) return false;
  if (!SameTextA(candidate.substr(0, base.size()), base) || candidate[base.size()] != '.') return false;
  if (!SameTextA(candidate.substr(candidate.size() - suffix.size()), suffix)) return false;
  const std::string digits =
      candidate.substr(base.size() + 1, candidate.size() - base.size() - 1 - suffix.size());
  if (digits.size() > 10) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  return true;
}

// One re-read, change and save of an INI file under the file's mutex, so that writers in
// several processes take turns and none saves over a change it has not seen.
class TIniFileSave {
 public:
  enum class TLoad {
    Fresh,    // the text now holds the file
    Missing,  // there is no file: the text is kept as it was
    Refused,  // the mutex stayed busy or the file could not be read: the text is kept, and
              // nothing may be saved over a file whose content is unknown
  };

  explicit TIniFileSave(const std::string& path)
      : path_(path), mutex_(CreateMutexA(nullptr, FALSE, FileMutexName(path).c_str())) {
    // Without a mutex (creation refused) the save still happens, merely unserialised. A mutex
    // that another writer holds for far too long fails the save instead: writing unserialised
    // could silently undo that writer's change.
    if (mutex_ && !lock_.Lock(mutex_.get(), 15000)) busy_ = true;
  }
  TIniFileSave(const TIniFileSave&) = delete;
  TIniFileSave& operator=(const TIniFileSave&) = delete;

  TLoad Load(TIniText* ini) {
    bool missing = false;
    if (busy_) {
      load_ = TLoad::Refused;
    } else if (QV_ReadFileText(path_, &read_, &missing, kMaxIniFileBytes)) {
      ini->Parse(read_);
      load_ = TLoad::Fresh;
    } else {
      load_ = missing ? TLoad::Missing : TLoad::Refused;
    }
    return load_;
  }

  bool Save(const TIniText& ini) {
    if (load_ == TLoad::Refused) return false;
    const std::string updated = ini.Text();
    // Each start records its language and skin again: a file that already says so is left as
    // it is, which spares the start a rewrite and keeps a write of an unchanged value from
    // failing.
    if (load_ == TLoad::Fresh && updated == read_) return true;
    return QV_ReplaceFileText(path_, updated);
  }

  // Deletes the temporary files that writers killed mid-save left beside the file. Only while
  // holding the mutex: a live writer holds it for the whole of its save, so the temporary file
  // of a save in progress is never taken.
  void RemoveStaleTemporaries() {
    if (!lock_.locked()) return;
    const size_t slash = path_.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    const std::string name = path_.substr(folder.size());
    WIN32_FIND_DATAA fd;
    TFindHandle find(FindFirstFileA((path_ + ".*.tmp").c_str(), &fd));
    if (!find) return;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTemporaryName(fd.cFileName, name))
        DeleteFileA((folder + fd.cFileName).c_str());
    } while (FindNextFileA(find.get(), &fd));
  }

 private:
  std::string path_;
  TKernelHandle mutex_;
  TMutexLock lock_;
  bool busy_ = false;
  TLoad load_ = TLoad::Refused;
  std::string read_;
};

// Sets the all-users flag in "UserFlag.ini", merged with the file as it is now.
bool SaveUserFlag(const std::string& path, TIniText* flags, const char* value) {
  TIniFileSave save(path);
  save.Load(flags);
  flags->Set("Flag", "AllUsers", value);
  return save.Save(*flags);
}

TIniText LoadIni(const std::string& path) {
  std::string text;
  QV_ReadFileText(path, &text, nullptr, kMaxIniFileBytes);
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
  // A shell folder that cannot be found is empty, and the config folder joined to it would
  // name a folder at the root of the current drive, shared by every user and program. The
  // user's settings then stay beside the executable; all-users settings are not used at all.
  const std::string userBase =
      IsFolderBase(sources.UserBase) ? sources.UserBase : WithoutBackslash(appPath_);
  userPath_ = userBase + "\\" + configFolder_ + "\\";
  if (IsFolderBase(sources.CommonBase)) commonPath_ = sources.CommonBase + "\\" + configFolder_ + "\\";
  allUsers_ = !commonPath_.empty() && DecideAllUsers(sources);

  dataPath_ = allUsers_ ? commonPath_ : userPath_;
  QV_ForceDirectories(dataPath_);
  dataPath_ = WithBackslash(QV_GetLongPath(dataPath_));
  const std::string file = SettingsFileName();
  if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) QV_WriteTextFile(" ", file);
  // Loading and counting the start are one turn at the file, so no other start counts in
  // between.
  TIniFileSave save(file);
  save.RemoveStaleTemporaries();
  save.Load(&userFile_);
  runTimes_ = ReadInteger("RunTimes");
  TChange count;
  count.countStart = true;
  Remember(count);
  Apply(count, userFile_);
  if (save.Save(userFile_)) pending_.clear();
}

void TCLSettings::Apply(const TChange& change, TIniText& file) const {
  if (!change.countStart) {
    file.Set(change.section, change.key, change.value);
    return;
  }
  // One more than the file holds at the moment of saving, so two starts at once both count;
  // when the file has no counter yet, the layered value read at start counts.
  std::string current;
  int runs = file.Find(kSection, "RunTimes", &current) ? StrToIntDefA(current, 0) : runTimes_;
  file.Set(kSection, "RunTimes", std::to_string(runs + 1));
}

void TCLSettings::Remember(const TChange& change) {
  for (TChange& held : pending_)
    if (!change.countStart && !held.countStart && SameTextA(held.section, change.section) &&
        SameTextA(held.key, change.key)) {
      held.value = change.value;
      return;
    }
  pending_.push_back(change);
}

bool TCLSettings::Save(const std::vector<TChange>& changes) {
  for (const TChange& change : changes) Remember(change);
  TIniFileSave save(SettingsFileName());
  // A fresh copy of the file has none of the unsaved changes yet; a kept copy already has all
  // but the new ones (applying the start count twice would count the start twice).
  if (save.Load(&userFile_) == TIniFileSave::TLoad::Fresh) {
    for (const TChange& held : pending_) Apply(held, userFile_);
  } else {
    for (const TChange& change : changes) Apply(change, userFile_);
  }
  if (!save.Save(userFile_)) return false;
  pending_.clear();
  return true;
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
  bool decided = true;
  bool saved = true;
  if (flags.Find("Flag", "AllUsers", &value)) {
    decided = StrToIntDefA(value, 1) != 0;
    if (decided && !CommonFolderWritable(sources)) {
      decided = false;
      saved = SaveUserFlag(flagFile, &flags, "0");
    }
  } else {
    decided = CommonFolderWritable(sources);
    saved = SaveUserFlag(flagFile, &flags, decided ? "1" : "0");
  }
  // The file is read again for what another start may have decided meanwhile. When the flag
  // could not be saved, the file does not hold this decision, and reading it back would
  // choose the all-users folder that was just found unwritable.
  QV_ForceDirectories(userPath_);
  flags = LoadIni(flagFile);
  if (!saved || !flags.Find("Flag", "AllUsers", &value)) return decided;
  return StrToIntDefA(value, 1) != 0;
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
  TChange change;
  change.section = section;
  change.key = key;
  change.value = value;
  return Save({change});
}

bool TCLSettings::WriteStrings(const std::vector<std::pair<std::string, std::string>>& values) {
  std::vector<TChange> changes;
  changes.reserve(values.size());
  for (const auto& kv : values) {
    TChange change;
    change.section = kSection;
    change.key = kv.first;
    change.value = kv.second;
    changes.push_back(std::move(change));
  }
  return Save(changes);
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

bool TCLSettings::UpdateFile() { return Save({}); }

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
