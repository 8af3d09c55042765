// The settings store on real files under Wine: creation, the layered lookup, the all-users
// decision, start counting, typed values, and several processes writing at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "framework/CLSettings.h"
#include "platform/Handles.h"
#include "platform/TraceChannel.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

using qmtest::ReadAll;
using qmtest::TScratchDir;
using qmtest::WriteAll;

namespace {

bool g_commonWritable = true;
bool CommonWritableSeam(const std::string&) { return g_commonWritable; }

DWORD WINAPI CloseAfterAMoment(LPVOID handle) {
  Sleep(300);
  CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}

// A world of folders for one store: the program folder and the two application-data bases.
struct TWorld {
  TScratchDir root{"settings"};
  std::string app = root / "app\\";
  std::string user = root / "user";
  std::string common = root / "common";

  TWorld() {
    CreateDirectoryA(app.c_str(), nullptr);
    CreateDirectoryA(user.c_str(), nullptr);
    CreateDirectoryA(common.c_str(), nullptr);
  }
  TSettingsSources Sources() const {
    TSettingsSources s;
    s.ModuleFileName = "C:\\Tools\\App\\app.exe";
    s.AppPath = app;
    s.UserBase = user;
    s.CommonBase = common;
    s.CommonWritable = CommonWritableSeam;
    return s;
  }
  std::string UserDir() const { return user + "\\C__Tools_App_app.exe\\"; }
  std::string CommonDir() const { return common + "\\C__Tools_App_app.exe\\"; }
};

std::string SettingsArgs(const TWorld& w) { return w.app + "|" + w.user + "|" + w.common; }

TSettingsSources SourcesFromArg(const std::string& arg) {
  TSettingsSources s;
  size_t a = arg.find('|'), b = arg.find('|', a + 1);
  s.ModuleFileName = "C:\\Tools\\App\\app.exe";
  s.AppPath = arg.substr(0, a);
  s.UserBase = arg.substr(a + 1, b - a - 1);
  s.CommonBase = arg.substr(b + 1);
  s.CommonWritable = CommonWritableSeam;
  return s;
}

}  // namespace

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override { g_commonWritable = true; }
  TWorld world;
};

TEST_F(SettingsTest, FirstStartWithNoFilesCreatesTheCounterFileExactly) {
  TCLSettings s(world.Sources());
  EXPECT_TRUE(s.AllUsers());
  EXPECT_EQ(s.DataPath(), QV_GetLongPath(world.CommonDir()));
  EXPECT_EQ(s.UserPath(), world.UserDir());
  EXPECT_EQ(s.CommonPath(), world.CommonDir());
  EXPECT_EQ(s.ConfigFolder(), "C__Tools_App_app.exe");
  EXPECT_EQ(s.RunTimes(), 0);
  EXPECT_EQ(ReadAll(s.DataPath() + "setting.dat"), "[setting]\r\nRunTimes=1\r\n\r\n");
  EXPECT_EQ(ReadAll(world.UserDir() + "UserFlag.ini"), "[Flag]\r\nAllUsers=1\r\n\r\n");

  const int before = GetDebugger()->MessageCount;
  EXPECT_EQ(s.ReadString("App.Name"), "");
  EXPECT_EQ(s.ReadInteger("App.ID"), 0);
  EXPECT_FALSE(s.ReadBool("App.Multiple"));
  EXPECT_EQ(GetDebugger()->MessageCount, before + 3);  // one "Setting Not Found :" line each
}

TEST_F(SettingsTest, LayersAndTheEmptyValueThatHidesConstDat) {
  WriteAll(world.app + "const.dat", "[setting]\r\nA=const\r\nB=const\r\nC=const\r\nD=const\r\n");
  WriteAll(world.app + "oem.const.dat", "[setting]\r\nB=oem\r\nC=oem\r\n");
  {
    TCLSettings first(world.Sources());
    ASSERT_TRUE(first.WriteString("C", "user"));
    ASSERT_TRUE(first.WriteString("D", ""));
  }
  TCLSettings s(world.Sources());
  EXPECT_EQ(s.ReadString("A"), "const");
  EXPECT_EQ(s.ReadString("b"), "oem");
  EXPECT_EQ(s.ReadString("C"), "user");
  const int before = GetDebugger()->MessageCount;
  EXPECT_EQ(s.ReadString("D"), "");
  EXPECT_EQ(GetDebugger()->MessageCount, before);  // present, though empty: no trace line
}

TEST_F(SettingsTest, RunTimesCountsOnFromTheConstantFile) {
  WriteAll(world.app + "const.dat", "[setting]\r\nRunTimes=41\r\n");
  {
    TCLSettings s(world.Sources());
    EXPECT_EQ(s.RunTimes(), 41);
    EXPECT_NE(ReadAll(s.DataPath() + "setting.dat").find("RunTimes=42\r\n"), std::string::npos);
  }
  TCLSettings again(world.Sources());
  EXPECT_EQ(again.RunTimes(), 42);
  EXPECT_EQ(again.ReadInteger("RunTimes"), 43);
}

TEST_F(SettingsTest, AllUsersFlagFallsBackWhenTheCommonFolderIsNotWritable) {
  CreateDirectoryA(world.UserDir().c_str(), nullptr);
  WriteAll(world.UserDir() + "UserFlag.ini", "[Flag]\r\nAllUsers=1\r\n");
  g_commonWritable = false;
  TCLSettings s(world.Sources());
  EXPECT_FALSE(s.AllUsers());
  EXPECT_EQ(s.DataPath(), QV_GetLongPath(world.UserDir()));
  EXPECT_EQ(ReadAll(world.UserDir() + "UserFlag.ini"), "[Flag]\r\nAllUsers=0\r\n\r\n");
  EXPECT_TRUE(qmtest::Exists(world.UserDir() + "setting.dat"));
  EXPECT_FALSE(qmtest::Exists(world.CommonDir() + "setting.dat"));
}

TEST_F(SettingsTest, AllUsersFlagIsKeptOnceDecided) {
  CreateDirectoryA(world.UserDir().c_str(), nullptr);
  WriteAll(world.UserDir() + "UserFlag.ini", "[Flag]\r\nAllUsers=0\r\n");
  TCLSettings zero(world.Sources());  // writable, but the user chose per-user storage
  EXPECT_FALSE(zero.AllUsers());
  WriteAll(world.UserDir() + "UserFlag.ini", "[Flag]\r\nAllUsers=yes\r\n");
  TCLSettings odd(world.Sources());  // a non-numeric value reads as true
  EXPECT_TRUE(odd.AllUsers());
  g_commonWritable = false;
  WriteAll(world.UserDir() + "UserFlag.ini", "");
  TCLSettings none(world.Sources());
  EXPECT_FALSE(none.AllUsers());
  EXPECT_EQ(ReadAll(world.UserDir() + "UserFlag.ini"), "[Flag]\r\nAllUsers=0\r\n\r\n");
}

// "UserFlag.ini" that cannot be written: the decision just taken counts, not what the file
// (still) says or the default for a missing key.
TEST_F(SettingsTest, AnUnwritableFlagFileKeepsTheDecisionJustTaken) {
  g_commonWritable = false;
  CreateDirectoryA(world.UserDir().c_str(), nullptr);
  // A folder where the file should be: it can be neither read nor written.
  CreateDirectoryA((world.UserDir() + "UserFlag.ini").c_str(), nullptr);
  {
    TCLSettings s(world.Sources());
    EXPECT_FALSE(s.AllUsers());
    EXPECT_EQ(s.DataPath(), QV_GetLongPath(world.UserDir()));
  }
  RemoveDirectoryA((world.UserDir() + "UserFlag.ini").c_str());
  // A read-only file that still asks for the all-users folder, which is not writable.
  const std::string flag = world.UserDir() + "UserFlag.ini";
  WriteAll(flag, "[Flag]\r\nAllUsers=1\r\n");
  SetFileAttributesA(flag.c_str(), FILE_ATTRIBUTE_READONLY);
  {
    TCLSettings s(world.Sources());
    EXPECT_FALSE(s.AllUsers());
    EXPECT_EQ(s.DataPath(), QV_GetLongPath(world.UserDir()));
  }
  SetFileAttributesA(flag.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadAll(flag), "[Flag]\r\nAllUsers=1\r\n");
  EXPECT_FALSE(qmtest::Exists(world.CommonDir() + "setting.dat"));
}

TEST_F(SettingsTest, TypedValues) {
  WriteAll(world.app + "const.dat",
           "[setting]\r\nT=true\r\nTwo=2\r\nNeg=-17\r\nBig=99999999999\r\nHex=$1F\r\nF=1.5\r\nBad=1x\r\n");
  TCLSettings s(world.Sources());
  EXPECT_FALSE(s.ReadBool("T"));
  EXPECT_TRUE(s.ReadBool("Two"));
  EXPECT_EQ(s.ReadInteger("Neg"), -17);
  EXPECT_EQ(s.ReadInteger("Big"), 0);
  EXPECT_EQ(s.ReadInteger("Hex"), 0);
  EXPECT_EQ(s.ReadInteger("Bad"), 0);
  EXPECT_DOUBLE_EQ(s.ReadFloat("F"), 1.5);
  EXPECT_DOUBLE_EQ(s.ReadFloat("T"), 0.0);
  ASSERT_TRUE(s.WriteFloat("G", 0.1));
  EXPECT_DOUBLE_EQ(s.ReadFloat("G"), 0.1);
  EXPECT_EQ(s.ReadString("G"), "0.1");
  ASSERT_TRUE(s.WriteBool("On", true));
  ASSERT_TRUE(s.WriteInteger("I", -5));
  EXPECT_EQ(s.ReadString("On"), "1");
  EXPECT_EQ(s.ReadInteger("I"), -5);
}

TEST_F(SettingsTest, ShowAgainPairs) {
  TCLSettings s(world.Sources());
  EXPECT_TRUE(s.ReadShowAgain(90));
  EXPECT_EQ(s.ReadShowAgainResult(90), 1);
  ASSERT_TRUE(s.WriteShowAgain(90, false));
  ASSERT_TRUE(s.WriteShowAgainResult(90, 7));
  TCLSettings again(world.Sources());
  EXPECT_FALSE(again.ReadShowAgain(90));
  EXPECT_EQ(again.ReadShowAgainResult(90), 7);
  EXPECT_EQ(ReadAll(again.DataPath() + "setting.dat"),
            "[setting]\r\nRunTimes=2\r\n\r\n[ShowAgain]\r\n90=0\r\n\r\n"
            "[ShowAgainModuleResult]\r\n90=7\r\n\r\n");
  // Only "setting.dat" answers: a constant file cannot pre-answer a message box.
  WriteAll(world.app + "const.dat", "[ShowAgain]\r\n91=0\r\n");
  TCLSettings third(world.Sources());
  EXPECT_TRUE(third.ReadShowAgain(91));
}

TEST_F(SettingsTest, WritesMergeWithWhatAnotherStoreSaved) {
  TCLSettings a(world.Sources());
  TCLSettings b(world.Sources());
  ASSERT_TRUE(a.WriteString("FromA", "1"));
  ASSERT_TRUE(b.WriteString("FromB", "2"));
  EXPECT_EQ(b.ReadString("FromA"), "1");  // b re-read the file before its write
  const std::string file = ReadAll(a.DataPath() + "setting.dat");
  EXPECT_NE(file.find("FromA=1"), std::string::npos);
  EXPECT_NE(file.find("FromB=2"), std::string::npos);
  EXPECT_NE(file.find("RunTimes=2"), std::string::npos);  // both starts counted
}

TEST_F(SettingsTest, AFailedSaveIsReportedAndTheFileStaysWhole) {
  TCLSettings s(world.Sources());
  ASSERT_TRUE(s.WriteString("Kept", "yes"));
  const std::string file = s.DataPath() + "setting.dat";
  const std::string before = ReadAll(file);
  // A read-only "setting.dat" cannot be replaced.
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(s.WriteString("New", "value"));
  // The next write re-reads the file, which does not hold the first change.
  EXPECT_FALSE(s.WriteShowAgain(5, false));
  EXPECT_EQ(ReadAll(file), before);
  EXPECT_EQ(s.ReadString("New"), "value");  // the store goes on with the changes in memory
  EXPECT_FALSE(s.ReadShowAgain(5));
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(s.WriteString("After", "1"));
  EXPECT_EQ(ReadAll(file), "[setting]\r\nRunTimes=1\r\nKept=yes\r\nNew=value\r\nAfter=1\r\n\r\n"
                           "[ShowAgain]\r\n5=0\r\n\r\n");
  EXPECT_EQ(s.ReadString("New"), "value");
  EXPECT_FALSE(s.ReadShowAgain(5));
  // No temporary files are left beside it.
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((s.DataPath() + "*.tmp").c_str(), &fd);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(SettingsTest, UpdateFileSavesWhatAFailedWriteLeftAndThenForgetsIt) {
  TCLSettings s(world.Sources());
  const std::string file = s.SettingsFileName();
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(s.WriteString("Skin", "Graphite"));
  EXPECT_FALSE(s.WriteString("Skin", "Meadow"));  // the later value of a key replaces the first
  EXPECT_FALSE(s.UpdateFile());
  EXPECT_EQ(s.ReadString("Skin"), "Meadow");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(s.UpdateFile());
  EXPECT_EQ(ReadAll(file), "[setting]\r\nRunTimes=1\r\nSkin=Meadow\r\n\r\n");
  // Once saved, the change is no longer replayed: it does not undo another store's later one.
  TCLSettings other(world.Sources());
  ASSERT_TRUE(other.WriteString("Skin", "Frost"));
  EXPECT_TRUE(s.WriteString("Language", "Deutsch"));
  EXPECT_EQ(s.ReadString("Skin"), "Frost");
  TCLSettings third(world.Sources());
  EXPECT_EQ(third.ReadString("Skin"), "Frost");
  EXPECT_EQ(third.ReadString("Language"), "Deutsch");
}

// A start whose count could not be saved counts once, when the next save succeeds, whether the
// file could not be replaced (read-only) or not even read (held open by another program).
TEST_F(SettingsTest, ABatchOfValuesIsOneMergedWriteAndIsKeptWhenItsSaveFails) {
  TCLSettings s(world.Sources());
  TCLSettings other(world.Sources());
  ASSERT_TRUE(other.WriteString("Theirs", "1"));
  // Written in order, a repeated key keeping its last value, merged with the other store's.
  ASSERT_TRUE(s.WriteStrings({{"A", "1"}, {"B", "2"}, {"a", "3"}}));
  const std::string file = s.SettingsFileName();
  EXPECT_EQ(ReadAll(file), "[setting]\r\nRunTimes=2\r\nTheirs=1\r\nA=3\r\nB=2\r\n\r\n");
  // A batch that cannot be saved stays in memory and goes with the next save.
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(s.WriteStrings({{"C", "4"}, {"B", "5"}}));
  EXPECT_EQ(s.ReadString("C"), "4");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(s.UpdateFile());
  EXPECT_EQ(ReadAll(file), "[setting]\r\nRunTimes=2\r\nTheirs=1\r\nA=3\r\nB=5\r\nC=4\r\n\r\n");
  // An empty batch is a save like UpdateFile.
  EXPECT_TRUE(s.WriteStrings({}));
}

TEST_F(SettingsTest, AStartCountThatCouldNotBeSavedIsSavedLaterOnce) {
  std::string file;
  {
    TCLSettings first(world.Sources());
    file = first.SettingsFileName();
  }
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    TCLSettings second(world.Sources());
    EXPECT_EQ(second.RunTimes(), 1);
    EXPECT_FALSE(second.WriteString("A", "1"));
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(second.WriteString("B", "2"));
    EXPECT_EQ(ReadAll(file), "[setting]\r\nRunTimes=2\r\nA=1\r\nB=2\r\n\r\n");
  }
  HANDLE locked = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  TCLSettings third(world.Sources());
  EXPECT_FALSE(third.WriteString("C", "3"));
  EXPECT_FALSE(third.WriteString("D", "4"));
  CloseHandle(locked);
  EXPECT_TRUE(third.UpdateFile());
  EXPECT_EQ(ReadAll(file), "[setting]\r\nRunTimes=3\r\nA=1\r\nB=2\r\nC=3\r\nD=4\r\n\r\n");
}

// Writing the value the file already holds changes nothing on disk: even a read-only file
// takes it, while a new value for it is still refused.
TEST_F(SettingsTest, AnUnchangedValueLeavesTheFileAsItIs) {
  TCLSettings s(world.Sources());
  ASSERT_TRUE(s.WriteString("Language", "Deutsch"));
  const std::string file = s.DataPath() + "setting.dat";
  const std::string before = ReadAll(file);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(s.WriteString("Language", "Deutsch"));
  EXPECT_FALSE(s.WriteString("Language", "Chinese"));
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadAll(file), before);
  // A file in another layout (LF line ends) is still brought into the store's own.
  WriteAll(file, "[setting]\nLanguage=Deutsch\n");
  EXPECT_TRUE(s.WriteString("Language", "Deutsch"));
  EXPECT_EQ(ReadAll(file), "[setting]\r\nLanguage=Deutsch\r\n\r\n");
}

TEST_F(SettingsTest, AnUnreadableSettingsFileIsNeverOverwritten) {
  TCLSettings s(world.Sources());
  const std::string file = s.DataPath() + "setting.dat";
  ASSERT_TRUE(s.WriteString("Kept", "yes"));
  const std::string before = ReadAll(file);
  HANDLE locked = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(s.WriteString("Other", "x"));
  CloseHandle(locked);
  EXPECT_EQ(ReadAll(file), before);
}

// A damaged or planted "setting.dat" far beyond any real one: the start neither stalls nor
// replaces it, and the store works on from the other layers.
TEST_F(SettingsTest, AHugeSettingsFileCountsAsUnreadable) {
  std::string file;
  {
    TCLSettings first(world.Sources());
    file = first.SettingsFileName();
  }
  {
    std::string block = "[setting]\r\nRunTimes=7\r\n";
    while (block.size() < (1u << 20)) block += "Filler" + std::to_string(block.size()) + "=xxxxxxxxxxxxxxxx\r\n";
    block.resize(1u << 20);
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    for (int i = 0; i < 64; ++i) WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
    CloseHandle(h);
  }
  WriteAll(world.app + "const.dat", "[setting]\r\nApp.Name=Layered\r\n");
  const std::string head = ReadAll(file).substr(0, 4096);
  const DWORD start = GetTickCount();
  TCLSettings s(world.Sources());
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(s.RunTimes(), 0) << "nothing of the file is read";
  EXPECT_EQ(s.ReadString("App.Name"), "Layered");
  EXPECT_FALSE(s.WriteString("Language", "Deutsch"));
  EXPECT_EQ(s.ReadString("Language"), "Deutsch");
  EXPECT_FALSE(s.UpdateFile());
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 64u << 20);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(ReadAll(file).substr(0, 4096), head);
}

TEST_F(SettingsTest, AFileOfManySectionsLoadsQuickly) {
  std::string file;
  {
    TCLSettings first(world.Sources());
    file = first.SettingsFileName();
  }
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "[s" + std::to_string(i) + "]\r\nk=1\r\n\r\n";
  text += "[setting]\r\nRunTimes=5\r\n\r\n";
  WriteAll(file, text);
  const DWORD start = GetTickCount();
  TCLSettings s(world.Sources());
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(s.RunTimes(), 5);
  // Every section is kept, in its place.
  std::string expected = text;
  expected.replace(expected.size() - 5, 1, "6");
  EXPECT_EQ(ReadAll(file), expected);
}

TEST_F(SettingsTest, ASaveWaitsBrieflyForAReaderThatHoldsTheFile) {
  TCLSettings s(world.Sources());
  const std::string file = s.SettingsFileName();
  // Another program reads the file without sharing delete access (a rename over it fails
  // while it is open) and lets go a moment later.
  HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE closer = CreateThread(nullptr, 0, CloseAfterAMoment, reader, 0, nullptr);
  EXPECT_TRUE(s.WriteString("AfterReader", "1"));
  WaitForSingleObject(closer, 5000);
  CloseHandle(closer);
  EXPECT_NE(ReadAll(file).find("AfterReader=1"), std::string::npos);
}

TEST_F(SettingsTest, InstallAgeDaysTakesTheOldestFolder) {
  TCLSettings s(world.Sources());
  EXPECT_EQ(s.InstallAgeDays(), 0);
  std::string app = world.app.substr(0, world.app.size() - 1);
  HANDLE dir = CreateFileA(app.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(dir, INVALID_HANDLE_VALUE);
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
  t.QuadPart -= 10ULL * 864000000000ULL + 36000000000ULL;  // ten days and an hour ago
  ft.dwLowDateTime = t.LowPart;
  ft.dwHighDateTime = t.HighPart;
  ASSERT_TRUE(SetFileTime(dir, &ft, nullptr, &ft));
  CloseHandle(dir);
  EXPECT_EQ(s.InstallAgeDays(), 10);
}

// A shell folder that cannot be found (empty, a bare drive root, a relative path) never puts the
// settings into a folder at a drive's root: without an all-users folder they go to the user's
// own, and without that too they stay beside the executable.
TEST_F(SettingsTest, MissingShellFoldersNeverPutSettingsAtTheRoot) {
  const std::string beside = world.app + "qm-settings-test-root\\";
  const struct {
    std::string user, common, dataPath;
  } cases[] = {
      {world.user, "", world.user + "\\qm-settings-test-root\\"},
      {world.user, "C:\\", world.user + "\\qm-settings-test-root\\"},
      {world.user, "common", world.user + "\\qm-settings-test-root\\"},
      {"", "", beside},
      {"\\", world.common, world.common + "\\qm-settings-test-root\\"},
  };
  WriteAll(world.app + "const.dat", "[setting]\r\nApp.ConfigPath=qm-settings-test-root\r\n");
  for (const auto& c : cases) {
    TSettingsSources src = world.Sources();
    src.UserBase = c.user;
    src.CommonBase = c.common;
    TCLSettings s(src);
    EXPECT_EQ(s.DataPath(), QV_GetLongPath(c.dataPath)) << "user '" << c.user << "' common '" << c.common << "'";
    EXPECT_TRUE(qmtest::Exists(c.dataPath + "setting.dat"));
    EXPECT_FALSE(qmtest::Exists("\\qm-settings-test-root")) << "a folder at the drive's root";
    EXPECT_FALSE(qmtest::Exists("C:\\qm-settings-test-root"));
    qmtest::RemoveTree(c.dataPath);
  }
}

// --- Several processes -------------------------------------------------------------------------

QM_CHILD(write_keys) {
  TCLSettings s(SourcesFromArg(args.at(0)));
  for (int i = 0; i < 200; ++i)
    if (!s.WriteString(args.at(1) + std::to_string(i), std::to_string(i))) return 1;
  return 0;
}

// Writes without end; signals the named event once its first write is saved.
QM_CHILD(write_forever) {
  TCLSettings s(SourcesFromArg(args.at(0)));
  TKernelHandle saved(OpenEventA(EVENT_MODIFY_STATE, FALSE, args.at(1).c_str()));
  const std::string big(2000, 'x');
  for (unsigned i = 0;; ++i)
    if (s.WriteString("Key" + std::to_string(i % 50), big + std::to_string(i)) && saved) {
      SetEvent(saved.get());
      saved.reset();
    }
}

TEST_F(SettingsTest, TwoProcessesWriting200KeysEachLoseNothing) {
  { TCLSettings create(world.Sources()); }
  HANDLE a = qmtest::StartChild("write_keys", {SettingsArgs(world), "A."});
  HANDLE b = qmtest::StartChild("write_keys", {SettingsArgs(world), "B."});
  EXPECT_EQ(qmtest::WaitExit(a, 120000), 0);
  EXPECT_EQ(qmtest::WaitExit(b, 120000), 0);
  CloseHandle(a);
  CloseHandle(b);
  TCLSettings s(world.Sources());
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(s.ReadString("A." + std::to_string(i)), std::to_string(i));
    EXPECT_EQ(s.ReadString("B." + std::to_string(i)), std::to_string(i));
  }
  EXPECT_EQ(s.RunTimes(), 3);
}

TEST_F(SettingsTest, AWriterKilledMidSaveLeavesAWholeFile) {
  std::string dataPath;
  {
    TCLSettings create(world.Sources());
    ASSERT_TRUE(create.WriteString("Sentinel", "here"));
    dataPath = create.DataPath();
  }
  const std::string big(2000, 'x');
  srand(GetTickCount());
  for (int round = 0; round < 4; ++round) {
    const std::string eventName = "qm-settings-saved-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(round);
    TKernelHandle saved(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    HANDLE w = qmtest::StartChild("write_forever", {SettingsArgs(world), eventName});
    ASSERT_NE(w, nullptr);
    // Killed only once it has saved: a child killed before its first save proves nothing.
    EXPECT_EQ(WaitForSingleObject(saved.get(), 60000), WAIT_OBJECT_0) << "round " << round;
    Sleep(rand() % 300);
    TerminateProcess(w, 9);
    WaitForSingleObject(w, 10000);
    CloseHandle(w);
    const std::string text = ReadAll(dataPath + "setting.dat");
    TIniText ini(text);
    std::string v;
    ASSERT_TRUE(ini.Find("setting", "Sentinel", &v)) << "round " << round;
    EXPECT_EQ(v, "here");
    ASSERT_TRUE(ini.Find("setting", "Key0", &v)) << "the child's first write, round " << round;
    for (int k = 0; k < 50; ++k)
      if (ini.Find("setting", "Key" + std::to_string(k), &v)) {
        EXPECT_EQ(v.compare(0, big.size(), big), 0) << "Key" << k;
        EXPECT_EQ(static_cast<int>(std::atoi(v.c_str() + big.size()) % 50), k) << v.substr(big.size());
      }
    EXPECT_EQ(TIniText(text).Text(), text) << "the file ends mid-line";
  }
  // The next start clears away what a killed save left, and only that.
  const char* stale[] = {"setting.dat.4242.tmp", "SETTING.DAT.17.TMP"};
  const char* others[] = {"setting.dat.abc.tmp", "setting.dat..tmp", "setting.dat.12.tmp.bak",
                          "other.dat.12.tmp", "setting.dat.12345678901.tmp", "xsetting.dat.12.tmp"};
  for (const char* name : stale) WriteAll(dataPath + name, "[setting]\r\nHalf=");
  for (const char* name : others) WriteAll(dataPath + name, "not ours");
  TCLSettings next(world.Sources());
  for (const char* name : stale) EXPECT_FALSE(qmtest::Exists(dataPath + name)) << name;
  for (const char* name : others) EXPECT_TRUE(qmtest::Exists(dataPath + name)) << name;
  // Nor is any temporary file of the killed child left (the folder holds only the decoys).
  WIN32_FIND_DATAA fd;
  TFindHandle find(FindFirstFileA((dataPath + "*.tmp").c_str(), &fd));
  std::set<std::string> found;
  if (find) {
    do {
      found.insert(fd.cFileName);
    } while (FindNextFileA(find.get(), &fd));
  }
  EXPECT_EQ(found, (std::set<std::string>{"setting.dat.abc.tmp", "setting.dat..tmp", "other.dat.12.tmp",
                                          "setting.dat.12345678901.tmp", "xsetting.dat.12.tmp"}));
}

// The real places: the prefix's "AppData" shell folder and a config folder named after the
// running program.
QM_CHILD(system_store) {
  TCLSettings* s = GetSettings();
  std::string expectedConfig = QV_GetModuleFileName();
  for (char& c : expectedConfig)
    if (c == '\\' || c == ':' || c == '/') c = '_';
  bool ok = s->ConfigFolder() == expectedConfig &&
            s->UserPath() == QV_GetShellFolder("AppData") + "\\" + expectedConfig + "\\" &&
            s->AppPath() == QV_GetAppPath() && qmtest::Exists(s->SettingsFileName());
  int runs = s->RunTimes();
  FreeSettings();
  return ok ? 100 + runs % 100 : 1;
}

TEST(SettingsSystem, GetSettingsUsesTheShellFoldersAndCountsEachStart) {
  int first = qmtest::RunChild("system_store");
  int second = qmtest::RunChild("system_store");
  ASSERT_GE(first, 100);
  EXPECT_EQ(second, 100 + (first - 100 + 1) % 100);
}

// A full disk (run by full-disk-test.sh on a small drive): a save that cannot be written is
// reported and leaves the file as it was; the store goes on working.
QM_CHILD(full_disk) {
  const std::string root = args.at(0);  // e.g. "Q:\\", the small drive
  TSettingsSources src;
  src.ModuleFileName = "C:\\full\\disk.exe";
  src.AppPath = root;
  src.UserBase = root + "user";
  src.CommonBase = root + "common";
  src.CommonWritable = [](const std::string&) { return false; };
  TCLSettings s(src);
  if (!s.WriteString("Kept", "before the disk filled up")) return 2;
  const std::string before = ReadAll(s.SettingsFileName());
  // Fill the drive.
  HANDLE filler = CreateFileA((root + "filler.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (filler == INVALID_HANDLE_VALUE) return 3;
  std::string block(4096, 'x');
  DWORD written = 0;
  for (int i = 0; i < 100000 && WriteFile(filler, block.data(), 4096, &written, nullptr) && written == 4096; ++i) {
  }
  for (DWORD n = 2048; n >= 1; n /= 2)
    while (WriteFile(filler, block.data(), n, &written, nullptr) && written == n) {
    }
  CloseHandle(filler);
  if (s.WriteString("Big", std::string(8192, 'y'))) return 4;  // cannot fit
  if (ReadAll(s.SettingsFileName()) != before) return 5;       // untouched
  if (s.ReadString("Kept") != "before the disk filled up") return 6;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((s.DataPath() + "*.tmp").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    FindClose(h);
    return 7;  // a temporary file was left behind
  }
  DeleteFileA((root + "filler.bin").c_str());
  return s.WriteString("After", "room again") ? 0 : 8;
}
