// The start sequence across real processes: each test copies the test application into a
// scratch folder of its own with its own "const.dat" (own "App.ID", "App.GUID" and settings
// folder), starts it with switches and texts, and follows its windows and its event log.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "app/CLMain.h"
#include "support/TestSupport.h"
#include "tools/QVTools.h"

using namespace qmtest;

namespace {

int NextId() {
  static int n = 0;
  return static_cast<int>(GetCurrentProcessId() % 20000) * 50 + 1000000 + ++n;
}

struct TEvent {
  std::string kind;
  DWORD pid = 0;
  std::string rest;
};

class TAppDir {
 public:
  // `extra` lines go into the [setting] section of const.dat.
  explicit TAppDir(const std::string& extra = "", int appId = 0)
      : dir_("startup"), id_(appId ? appId : NextId()) {
    config_ = "QmStartupTest-" + std::to_string(id_);
    EXPECT_TRUE(CopyFileA((ProgramDir() + "StartupApp.exe").c_str(), (dir_ / "StartupApp.exe").c_str(), FALSE));
    WriteAll(dir_ / "const.dat", "[setting]\r\nApp.Name=Startup Test\r\nApp.Ver=1.0\r\nApp.ID=" + std::to_string(id_) +
                                     "\r\nApp.GUID={QM-STARTUP-" + std::to_string(id_) + "}\r\nApp.ConfigPath=" +
                                     config_ + "\r\n" + extra);
    RemoveSettings();
  }
  ~TAppDir() {
    for (HANDLE p : processes_) {
      if (WaitForSingleObject(p, 0) == WAIT_TIMEOUT) {
        for (HWND w : Windows(GetProcessId(p))) PostMessageA(w, RegisterWindowMessageA("CL CloseApp"), 0, 0);
        if (WaitForSingleObject(p, 5000) == WAIT_TIMEOUT) TerminateProcess(p, 255);
        WaitForSingleObject(p, 5000);
      }
      CloseHandle(p);
    }
    RemoveSettings();
  }
  TAppDir(const TAppDir&) = delete;
  TAppDir& operator=(const TAppDir&) = delete;

  int Id() const { return id_; }
  // The single-instance mutex of this application on the running system.
  std::string MutexName() const { return InstanceMutexName("{QM-STARTUP-" + std::to_string(id_) + "}"); }
  bool MutexExists() const {
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, MutexName().c_str());
    if (m) CloseHandle(m);
    return m != nullptr;
  }
  const std::string& Path() const { return dir_.Path(); }
  std::string UserSettingsDir() const { return QV_GetShellFolder("AppData") + "\\" + config_; }
  std::string CommonSettingsDir() const { return QV_GetCommonShellFolder("Common AppData") + "\\" + config_; }
  std::string SettingsFile() const {
    std::string u = UserSettingsDir() + "\\setting.dat";
    return Exists(u) ? u : CommonSettingsDir() + "\\setting.dat";
  }

  HANDLE Start(const std::string& args = "") {
    HANDLE p = StartProcess("\"" + (dir_ / "StartupApp.exe") + "\" " + args, dir_.Path());
    EXPECT_NE(p, nullptr) << "CreateProcess failed with error " << GetLastError();
    if (p) processes_.push_back(p);
    return p;
  }
  // Starts and waits for the process to end; its exit code, -1 on time-out.
  int Run(const std::string& args = "", DWORD timeoutMs = 30000) { return WaitExit(Start(args), timeoutMs); }

  std::vector<TEvent> Events() const {
    std::vector<TEvent> out;
    // Another process may be appending a line right now: only lines whose end has arrived count.
    std::string text = ReadAll(dir_ / "events.txt");
    const size_t lastEnd = text.rfind('\n');
    text.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      TEvent e;
      size_t a = line.find(' ');
      e.kind = line.substr(0, a);
      if (a != std::string::npos) {
        size_t b = line.find(' ', a + 1);
        e.pid = static_cast<DWORD>(std::stoul(line.substr(a + 1, b - a - 1)));
        if (b != std::string::npos) e.rest = line.substr(b + 1);
      }
      out.push_back(e);
    }
    return out;
  }
  std::vector<TEvent> EventsOf(const std::string& kind, DWORD pid = 0) const {
    std::vector<TEvent> out;
    for (const TEvent& e : Events())
      if (e.kind == kind && (!pid || e.pid == pid)) out.push_back(e);
    return out;
  }
  std::vector<std::string> Commands(DWORD pid = 0) const {
    std::vector<std::string> out;
    for (const TEvent& e : EventsOf("cmd", pid)) out.push_back(e.rest);
    return out;
  }
  bool WaitEvent(const std::string& kind, DWORD pid, size_t count = 1, DWORD timeoutMs = 20000) const {
    return WaitFor([&] { return EventsOf(kind, pid).size() >= count; }, timeoutMs);
  }

  // Top-level "TfrmMain" windows of a process.
  static std::vector<HWND> Windows(DWORD pid) {
    std::vector<HWND> out;
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "TfrmMain", nullptr)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == pid) out.push_back(w);
    }
    return out;
  }
  // Starts an instance and waits until its post-start work is done.
  HANDLE StartReady(const std::string& args = "") {
    HANDLE p = Start(args);
    EXPECT_TRUE(WaitEvent("ready", GetProcessId(p))) << "instance did not get ready";
    return p;
  }

 private:
  void RemoveSettings() {
    RemoveTree(UserSettingsDir());
    RemoveTree(CommonSettingsDir());
  }
  TScratchDir dir_;
  int id_;
  std::string config_;
  std::vector<HANDLE> processes_;
};

// Without a window manager on the virtual display, Wine waits two seconds for every managed
// top-level window that is hidden or destroyed to be withdrawn; that would make each closing
// instance hold its mutex past the restart's wait. The test application's windows are made
// unmanaged (a per-program Wine setting of the test prefix).
class TUnmanagedWindows : public ::testing::Environment {
 public:
  void SetUp() override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\StartupApp.exe\\X11 Driver", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
      RegCloseKey(key);
    }
  }
};
const auto* const kUnmanaged = ::testing::AddGlobalTestEnvironment(new TUnmanagedWindows);

class TEnvVar {
 public:
  TEnvVar(const char* name, const char* value) : name_(name) { SetEnvironmentVariableA(name, value); }
  ~TEnvVar() { SetEnvironmentVariableA(name_, nullptr); }

 private:
  const char* name_;
};

std::string ReadRunTimes(const std::string& settingsFile) {
  std::string text = ReadAll(settingsFile);
  size_t at = text.find("RunTimes=");
  if (at == std::string::npos) return "";
  return text.substr(at + 9, text.find_first_of("\r\n", at) - at - 9);
}

TEST(Startup, InstallAndUninstallSwitchesEndBeforeAnySetting) {
  TAppDir app;
  for (const char* args : {"/i", "-U", "example.com /I", "-u -x"}) {
    EXPECT_EQ(app.Run(args), 0) << args;
  }
  EXPECT_FALSE(Exists(app.UserSettingsDir()));
  EXPECT_FALSE(Exists(app.CommonSettingsDir()));
  // Not even the debug decision was reached.
  EXPECT_TRUE(app.EventsOf("debug").empty());
  EXPECT_EQ(app.EventsOf("exit").size(), 4u);
  // Once settings exist, the switches leave the run counter alone.
  {
    TEnvVar refuse("QM_TEST_CANSTART", "0");
    EXPECT_EQ(app.Run(), 0);
  }
  std::string file = app.SettingsFile();
  std::string before = ReadRunTimes(file);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(app.Run("/i"), 0);
  EXPECT_EQ(app.Run("-u"), 0);
  EXPECT_EQ(ReadRunTimes(file), before);
  // A longer argument that merely begins with the letter is no switch: this one starts.
  TEnvVar refuse("QM_TEST_CANSTART", "0");
  EXPECT_EQ(app.Run("/install"), 0);
  EXPECT_NE(ReadRunTimes(file), before);
}

TEST(Startup, StopSwitchEndsOnlyTheSameApplication) {
  TAppDir mine, other;
  HANDLE a = mine.StartReady();
  HANDLE b = other.StartReady();
  // "/s" from our folder ends our instance and leaves the other application's running.
  EXPECT_EQ(mine.Run("/S"), 0);
  EXPECT_EQ(WaitExit(a, 10000), 0);
  EXPECT_EQ(WaitForSingleObject(b, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the other application was stopped";
  EXPECT_EQ(mine.EventsOf("window").size(), 1u);  // the stopping start showed nothing
  // With no instance running, "/s" just ends.
  EXPECT_EQ(mine.Run("-s"), 0);
  EXPECT_EQ(mine.EventsOf("window").size(), 1u);
}

TEST(Startup, RestartClosesWaitsAndStarts) {
  TAppDir app;
  HANDLE first = app.StartReady();
  DWORD t0 = GetTickCount();
  HANDLE second = app.Start("/r");
  EXPECT_EQ(WaitExit(first, 10000), 0);
  ASSERT_TRUE(app.WaitEvent("window", GetProcessId(second))) << ReadAll(app.Path() + "events.txt");
  EXPECT_GE(GetTickCount() - t0, 2000u);  // it waited before starting
  EXPECT_EQ(TAppDir::Windows(GetProcessId(second)).size(), 1u);
}

TEST(Startup, AutorunSwitchNeedsAppAutorun) {
  {
    TAppDir missing;
    EXPECT_EQ(missing.Run("/a"), 0);
    EXPECT_TRUE(missing.EventsOf("window").empty());
    EXPECT_EQ(missing.EventsOf("debug").size(), 0u);  // ended before CanStart
  }
  {
    TAppDir off("App.Autorun=0\r\n");
    EXPECT_EQ(off.Run("-A"), 0);
    EXPECT_TRUE(off.EventsOf("window").empty());
  }
  TAppDir on("App.Autorun=1\r\n");
  HANDLE p = on.Start("/a");
  EXPECT_TRUE(on.WaitEvent("window", GetProcessId(p)));
}

TEST(Startup, SecondStartRelaysItsTextExactly) {
  TAppDir app;
  HANDLE first = app.StartReady();
  DWORD pid = GetProcessId(first);
  EXPECT_TRUE(app.MutexExists());
  EXPECT_EQ(app.Run("example.com"), 0);
  ASSERT_TRUE(app.WaitEvent("cmd", pid));
  EXPECT_EQ(app.Commands(pid), (std::vector<std::string>{"11:example.com"}));
  // A switch first relays nothing; a later text shows that nothing came in between.
  EXPECT_EQ(app.Run("/d example.com"), 0);
  EXPECT_EQ(app.Run("-h example.com"), 0);
  EXPECT_EQ(app.Run("\"two words\""), 0);
  ASSERT_TRUE(app.WaitEvent("cmd", pid, 2));
  EXPECT_EQ(app.Commands(pid), (std::vector<std::string>{"11:example.com", "9:two words"}));
  EXPECT_EQ(TAppDir::Windows(pid).size(), 1u);
  EXPECT_EQ(app.EventsOf("window").size(), 1u);  // second starts never make a window
}

TEST(Startup, FirstInstanceHandsItsOwnTextToOnCmdFile) {
  TAppDir app;
  HANDLE first = app.Start("example.com");
  ASSERT_TRUE(app.WaitEvent("cmd", GetProcessId(first)));
  EXPECT_EQ(app.Commands(), (std::vector<std::string>{"11:example.com"}));
}

TEST(Startup, BusyInstanceIsNotBroughtForwardButGetsTheTextAndHiddenStartIsShownLater) {
  TAppDir app;
  WriteAll(app.Path() + "hold.flag", "");
  HANDLE first = app.Start("/h");
  DWORD pid = GetProcessId(first);
  ASSERT_TRUE(app.WaitEvent("holding", pid));
  std::vector<HWND> wins = TAppDir::Windows(pid);
  ASSERT_EQ(wins.size(), 1u);
  EXPECT_FALSE(IsWindowVisible(wins[0]));  // started hidden
  EXPECT_EQ(app.Run("example.com"), 0);
  ASSERT_TRUE(app.WaitEvent("cmd", pid));
  EXPECT_EQ(app.Commands(pid), (std::vector<std::string>{"11:example.com"}));
  EXPECT_FALSE(IsWindowVisible(wins[0])) << "a busy instance was brought forward";
  DeleteFileA((app.Path() + "hold.flag").c_str());
  ASSERT_TRUE(app.WaitEvent("ready", pid));
  // Start-up has finished: a second start now shows the hidden window.
  EXPECT_EQ(app.Run(), 0);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(wins[0]) != FALSE; }, 5000));
}

TEST(Startup, MultipleInstancesRunSideBySideAndRelayNothing) {
  TAppDir app("App.Multiple=1\r\n");
  HANDLE a = app.StartReady();
  EXPECT_FALSE(app.MutexExists());  // not even created
  HANDLE b = app.StartReady("example.com");
  EXPECT_EQ(TAppDir::Windows(GetProcessId(a)).size(), 1u);
  EXPECT_EQ(TAppDir::Windows(GetProcessId(b)).size(), 1u);
  ASSERT_TRUE(app.WaitEvent("cmd", GetProcessId(b)));
  EXPECT_TRUE(app.Commands(GetProcessId(a)).empty());  // the text stayed with its own start
}

TEST(Startup, ApplicationsWithOtherIdsAreNeverTakenForEachOther) {
  TAppDir one, two;
  HANDLE a = one.StartReady();
  HANDLE b = two.StartReady();
  EXPECT_EQ(one.Run("for-one"), 0);
  EXPECT_EQ(two.Run("for-two"), 0);
  ASSERT_TRUE(one.WaitEvent("cmd", GetProcessId(a)));
  ASSERT_TRUE(two.WaitEvent("cmd", GetProcessId(b)));
  EXPECT_EQ(one.Commands(), (std::vector<std::string>{"7:for-one"}));
  EXPECT_EQ(two.Commands(), (std::vector<std::string>{"7:for-two"}));
}

TEST(Startup, CtrlShiftStartTurnsDebugModeOnUnlessDisabled) {
  // Wine gives a started process no way to see keys held for it, so the test application
  // reads Ctrl and Shift as held when asked to (QM_TEST_KEYS).
  TEnvVar refuse("QM_TEST_CANSTART", "0");
  {
    TAppDir app;
    EXPECT_EQ(app.Run(), 0);
    TEnvVar keys("QM_TEST_KEYS", "ctrlshift");
    EXPECT_EQ(app.Run(), 0);
    auto d = app.EventsOf("debug");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].rest, "0");
    EXPECT_EQ(d[1].rest, "1");
  }
  TAppDir disabled("Debug.Disabled=1\r\nDebug.Enabled=1\r\n");
  {
    TEnvVar keys("QM_TEST_KEYS", "ctrlshift");
    EXPECT_EQ(disabled.Run(), 0);
  }
  EXPECT_EQ(disabled.Run("/D"), 0);  // the switch wins over the veto
  auto d = disabled.EventsOf("debug");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].rest, "0");
  EXPECT_EQ(d[1].rest, "1");
  // The setting alone, without keys or switch.
  TAppDir enabled("Debug.Enabled=1\r\n");
  EXPECT_EQ(enabled.Run(), 0);
  auto e = enabled.EventsOf("debug");
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].rest, "1");
}

TEST(Startup, SecondStartWithoutAnAnsweringWindowGivesUpAfterAboutFiveSeconds) {
  TAppDir app;
  // The test holds the mutex itself: a first instance that never makes its window.
  HANDLE held = CreateMutexA(nullptr, FALSE, app.MutexName().c_str());
  ASSERT_NE(held, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  DWORD t0 = GetTickCount();
  EXPECT_EQ(app.Run("example.com"), 0);
  DWORD took = GetTickCount() - t0;
  CloseHandle(held);
  EXPECT_GE(took, 4500u) << "gave up without waiting for the window";
  EXPECT_LT(took, 20000u);
  EXPECT_EQ(app.EventsOf("exit").size(), 1u);
  EXPECT_TRUE(app.EventsOf("window").empty());
  EXPECT_TRUE(app.Commands().empty());
}

// The previous copy is closing: its window is gone, its process still holds the mutex. A start
// made then waits for the mutex to be freed and runs, rather than ending without a word.
TEST(Startup, StartWhileThePreviousCopyClosesRunsOnceTheMutexIsFreed) {
  TAppDir app;
  HANDLE held = CreateMutexA(nullptr, FALSE, app.MutexName().c_str());
  ASSERT_NE(held, nullptr);
  HANDLE p = app.Start("example.com");
  ASSERT_NE(p, nullptr);
  Sleep(1500);
  EXPECT_TRUE(app.EventsOf("exit").empty()) << "gave up while the mutex was held";
  CloseHandle(held);
  EXPECT_TRUE(app.WaitEvent("window", GetProcessId(p)));
  EXPECT_TRUE(WaitFor([&] { return app.Commands(GetProcessId(p)).size() == 1; }, 20000));
  EXPECT_EQ(app.Commands(GetProcessId(p)), std::vector<std::string>{"11:example.com"});
}

TEST(Startup, TwentyStartsAtOnceGiveOneWindowAndEveryText) {
  TAppDir app;
  std::vector<HANDLE> starts;
  std::vector<std::string> expected;
  for (int i = 0; i < 20; ++i) {
    std::string text = "relay-" + std::to_string(i);
    expected.push_back(std::to_string(text.size()) + ":" + text);
    starts.push_back(app.Start(text));
  }
  // Every start but one ends by itself once its text is delivered.
  int ended = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        ended = 0;
        for (HANDLE p : starts) ended += WaitForSingleObject(p, 0) == WAIT_OBJECT_0;
        return ended == 19;
      },
      90000))
      << ended << " of 19 ended";
  HANDLE running = nullptr;
  for (HANDLE p : starts)
    if (WaitForSingleObject(p, 0) == WAIT_TIMEOUT) running = p;
  ASSERT_NE(running, nullptr);
  DWORD pid = GetProcessId(running);
  EXPECT_EQ(app.EventsOf("window").size(), 1u);
  EXPECT_EQ(TAppDir::Windows(pid).size(), 1u);
  ASSERT_TRUE(app.WaitEvent("cmd", pid, 20, 20000))
      << app.Commands(pid).size() << " texts arrived\n" << ReadAll(app.Path() + "events.txt");
  std::vector<std::string> got = app.Commands(pid);
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
}

BOOL CALLBACK CollectText(HWND w, LPARAM lp) {
  char buffer[1024] = {};
  GetWindowTextA(w, buffer, sizeof buffer);
  *reinterpret_cast<std::string*>(lp) += std::string(buffer) + "\n";
  return TRUE;
}

// The error box of a process (a dialog window of it) whose text holds `part`; null when none
// appears in time. `text` receives the box's text.
HWND WaitForErrorBox(DWORD pid, const std::string& part, std::string* text) {
  HWND box = nullptr;
  // The box is found as soon as it exists; its text is set a moment later.
  WaitFor(
      [&] {
        HWND w = nullptr;
        while ((w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          text->clear();
          EnumChildWindows(w, &CollectText, reinterpret_cast<LPARAM>(text));
          if (owner == pid && text->find(part) != std::string::npos) {
            box = w;
            return true;
          }
        }
        return false;
      },
      20000);
  return box;
}

TEST(Startup, DamagedStoredWindowDataIsReportedAtStart) {
  TAppDir app;
  TEnvVar damaged("QM_TEST_DAMAGED", "1");
  HANDLE p = app.Start();
  std::string text;
  HWND box = WaitForErrorBox(GetProcessId(p), "Error reading", &text);
  ASSERT_NE(box, nullptr) << text;
  EXPECT_NE(text.find("Error reading stored data of TfrmMain, line 3: unknown property Bogus of TCLEngine"),
            std::string::npos)
      << text;
  EXPECT_TRUE(app.EventsOf("window").empty());  // no half-made window
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitExit(p, 10000), 1);
}

TEST(Startup, AnErrorOfAnyKindWhileMakingTheMainWindowIsShownAndEndsTheRun) {
  TAppDir app;
  TEnvVar raise("QM_TEST_THROW", "1");
  HANDLE p = app.Start();
  std::string text;
  HWND box = WaitForErrorBox(GetProcessId(p), "could not be created", &text);
  ASSERT_NE(box, nullptr) << text << ReadAll(app.Path() + "events.txt");
  EXPECT_TRUE(app.EventsOf("window").empty());
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitExit(p, 10000), 1);
  EXPECT_EQ(app.EventsOf("exit").size(), 1u);  // RunApplication returned rather than the process dying
}

TEST(InstanceMutex, TheFirstCreatorWinsAndAFailureToCreateCountsAsFirst) {
  const std::string name = "QmInstanceMutexTest-" + std::to_string(GetCurrentProcessId());
  EXPECT_TRUE(QV_CreateInstanceMutex(name));
  EXPECT_FALSE(QV_CreateInstanceMutex(name));
  EXPECT_FALSE(QV_CreateInstanceMutex(name));  // the first handle is still held

  // A name an event holds cannot be a mutex; that is no reason not to start.
  const std::string eventName = name + "-event";
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, eventName.c_str());
  ASSERT_NE(event, nullptr);
  HANDLE probe = CreateMutexA(nullptr, FALSE, eventName.c_str());
  EXPECT_EQ(probe, nullptr) << "the name was creatable after all";
  if (probe) CloseHandle(probe);
  EXPECT_TRUE(QV_CreateInstanceMutex(eventName));
  EXPECT_TRUE(QV_CreateInstanceMutex(eventName));
  CloseHandle(event);
}

TEST(InstanceMutex, TheBareNameOnlyWhereThereIsNoGlobalNamespace) {
  struct Case {
    DWORD platform, major;
    const char* expect;
  } cases[] = {
      {VER_PLATFORM_WIN32_WINDOWS, 4, "{G}"},        // Windows 95, 98, Me
      {VER_PLATFORM_WIN32_NT, 4, "{G}"},             // NT 4
      {VER_PLATFORM_WIN32_NT, 3, "{G}"},             // NT 3.51
      {VER_PLATFORM_WIN32s, 3, "{G}"},
      {VER_PLATFORM_WIN32_NT, 5, "Global\\{G}"},     // 2000, XP, Server 2003
      {VER_PLATFORM_WIN32_NT, 6, "Global\\{G}"},     // Vista and later
      {VER_PLATFORM_WIN32_NT, 10, "Global\\{G}"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InstanceMutexName("{G}", c.platform, c.major), c.expect) << c.platform << " " << c.major;
  EXPECT_EQ(InstanceMutexName("", VER_PLATFORM_WIN32_NT, 5), "Global\\");  // an empty "App.GUID"
  // This prefix reports a system of the NT line from 2000 on.
  EXPECT_EQ(InstanceMutexName("{G}"), "Global\\{G}");
}

}  // namespace
