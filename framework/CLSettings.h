// The process-wide layered settings store: the engine's SettingOverwrite list, "setting.dat",
// "oem.const.dat", "const.dat" and the engine's SettingDefault list, first match wins.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/IniText.h"

// Where the store finds its files. FromSystem() gives the real places; tests give folders of
// their own.
struct TSettingsSources {
  std::string ModuleFileName;  // the executable; names the config folder when none is set
  std::string AppPath;         // with trailing backslash
  std::string UserBase;        // per-user application-data folder (no trailing backslash)
  std::string CommonBase;      // all-users application-data folder
  // Whether the all-users folder may be written. Null: the security-descriptor access check.
  // Wine does not enforce file security for root, so tests replace the check here.
  bool (*CommonWritable)(const std::string& commonPath) = nullptr;

  static TSettingsSources FromSystem();
};

class TCLSettings {
 public:
  explicit TCLSettings(const TSettingsSources& sources = TSettingsSources::FromSystem());
  TCLSettings(const TCLSettings&) = delete;
  TCLSettings& operator=(const TCLSettings&) = delete;

  std::string ReadString(const std::string& key) const;
  int ReadInteger(const std::string& key) const;
  bool ReadBool(const std::string& key) const;
  double ReadFloat(const std::string& key) const;

  // Writes return false when "setting.dat" could not be saved; the file then stays as it was
  // and the store goes on working with the change held in memory. Unsaved changes are kept
  // until a save succeeds: every later write and UpdateFile tries them again.
  bool WriteString(const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& key, int value);
  bool WriteBool(const std::string& key, bool value);
  bool WriteFloat(const std::string& key, double value);
  // Several values of section "setting" in one turn at the file (one re-read, one save), for
  // callers that store a batch such as the settings an update answer pushes.
  bool WriteStrings(const std::vector<std::pair<std::string, std::string>>& values);

  bool ReadShowAgain(int id) const;
  bool WriteShowAgain(int id, bool value);
  int ReadShowAgainResult(int id) const;
  bool WriteShowAgainResult(int id, int value);

  // Saves "setting.dat" now (with any changes whose save failed), merged with what other
  // processes wrote meanwhile.
  bool UpdateFile();
  int InstallAgeDays() const;

  bool AllUsers() const { return allUsers_; }
  int RunTimes() const { return runTimes_; }
  const std::string& AppPath() const { return appPath_; }
  const std::string& DataPath() const { return dataPath_; }
  const std::string& UserPath() const { return userPath_; }
  const std::string& CommonPath() const { return commonPath_; }
  const std::string& ConfigFolder() const { return configFolder_; }
  std::string SettingsFileName() const { return dataPath_ + kSettingsFile; }

  static constexpr const char* kSettingsFile = "setting.dat";
  static constexpr const char* kConstFile = "const.dat";
  static constexpr const char* kSection = "setting";

 private:
  // One change of "setting.dat": a value, or (countStart) one more start in "RunTimes".
  struct TChange {
    std::string section, key, value;
    bool countStart = false;
  };

  bool FindInFiles(const std::string& key, std::string* value) const;
  bool DecideAllUsers(const TSettingsSources& sources);
  bool CommonFolderWritable(const TSettingsSources& sources) const;
  bool Modify(const std::string& section, const std::string& key, const std::string& value);
  void Apply(const TChange& change, TIniText& file) const;
  void Remember(const TChange& change);
  // Re-reads "setting.dat" under the file's mutex, applies every unsaved change (`changes`
  // among them) and saves; the changes are forgotten once the save succeeds.
  bool Save(const std::vector<TChange>& changes);

  bool allUsers_ = false;
  TIniText constFile_;
  TIniText oemFile_;
  TIniText userFile_;
  std::string appPath_, dataPath_, userPath_, commonPath_;
  int runTimes_ = 0;
  std::string configFolder_;
  std::vector<TChange> pending_;  // changes not yet in the file, in the order they were made
};

// The process-wide store, created on first use.
TCLSettings* GetSettings();
// Frees the process-wide store; nothing is written then.
void FreeSettings();

// Typed conversions of the store, shared with anything that reads settings-like values.
int StrToIntDefA(const std::string& text, int defaultValue);
bool StrToFloatA(const std::string& text, double* value);
std::string FloatToStrA(double value);
