// QV_ExpandPath and QV_CreateProcessEx against a real child process.
#include <gtest/gtest.h>

#include "StubLog.h"
#include "tools/QVTools.h"

using namespace qmtest;

TEST(ProcessTools, ExpandPath) {
  struct { const char* base; const char* path; const char* expanded; } cases[] = {
      {"C:\\App\\", "firefox.exe", "C:\\App\\firefox.exe"},
      {"C:\\App", "firefox.exe", "C:\\App\\firefox.exe"},
      {"C:/App/", "sub/ff.exe", "C:\\App\\sub\\ff.exe"},
      {"C:\\App\\", "..\\ff.exe", "C:\\App\\..\\ff.exe"},
      {"C:\\App\\", "\\Programs\\ff.exe", "C:\\Programs\\ff.exe"},
      {"C:\\App\\", "/Programs/ff.exe", "C:\\Programs\\ff.exe"},
      {"C:\\App\\", "\\", "C:\\App\\\\"},  // a lone "\" is not rooted
      {"C:\\App\\", "", "C:\\App\\"},
      {"C:\\App\\", "D:\\ff.exe", "D:\\ff.exe"},
      {"C:\\App\\", "D:/x/ff.exe", "D:\\x\\ff.exe"},
      {"\\\\server\\share\\", "ff.exe", "ff.exe"},
      {"\\\\server\\share\\", "a/ff.exe", "a\\ff.exe"},
      {"", "a/ff.exe", "a/ff.exe"},           // no drive in the base: unchanged
      {"App\\", "ff.exe", "ff.exe"},
      {"C", "ff.exe", "ff.exe"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QV_ExpandPath(c.base, c.path), c.expanded) << "[" << c.base << "] [" << c.path << "]";
}

TEST(ProcessTools, CreateProcessHidesAndWaits) {
  TScratchDir dir("qvproc");
  const std::string exe = dir / "stub.exe";
  ASSERT_TRUE(stublog::PlaceStub(exe));
  const std::string log = dir / "starts.log";
  stublog::SetLog(log);

  // Hidden and waited for: the stub's record exists as soon as the call returns.
  DWORD t0 = GetTickCount();
  ASSERT_TRUE(QV_CreateProcessEx(exe, "--sleep=1200 a b", true, INFINITE, true));
  EXPECT_GE(GetTickCount() - t0, 1000u);
  std::vector<stublog::TStart> starts = stublog::Read(log);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].CommandLine, "\"" + exe + "\" --sleep=1200 a b");
  EXPECT_EQ(starts[0].Show, SW_HIDE);
  EXPECT_EQ(starts[0].WorkingFolder + "\\", dir.Path());

  // Neither hidden nor waited for: the call returns while the stub still sleeps.
  t0 = GetTickCount();
  ASSERT_TRUE(QV_CreateProcess(exe, "--sleep=1500", false, INFINITE));
  EXPECT_LT(GetTickCount() - t0, 1000u);
  EXPECT_EQ(stublog::Read(log).size(), 1u);
  starts = stublog::WaitForStarts(log, 2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].Show, -1);

  // Waiting is bounded by the time-out.
  t0 = GetTickCount();
  ASSERT_TRUE(QV_CreateProcessEx(exe, "--sleep=3000", false, 300, true));
  EXPECT_LT(GetTickCount() - t0, 2500u);
  stublog::WaitForStarts(log, 3);

  // An empty executable: the parameters are the whole command line.
  const std::string line = "\"" + exe + "\" whole line";
  ASSERT_TRUE(QV_CreateProcess("", line, true, INFINITE));
  starts = stublog::Read(log);
  ASSERT_EQ(starts.size(), 4u);
  EXPECT_EQ(starts[3].CommandLine, line);

  // What cannot start reports false.
  EXPECT_FALSE(QV_CreateProcess(dir / "missing.exe", "", true, INFINITE));
  EXPECT_FALSE(QV_CreateProcess("", "", true, INFINITE));
}

TEST(ProcessTools, CreateProcessResolvesAgainstTheProgramFolder) {
  TScratchDir dir("qvrel");
  const std::string log = dir / "starts.log";
  stublog::SetLog(log);
  // The stub lies beside the test program, so its bare name resolves to it.
  ASSERT_TRUE(QV_CreateProcess("stub_firefox.exe", "rel", true, INFINITE));
  const std::vector<stublog::TStart> starts = stublog::Read(log);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].CommandLine, "\"" + ProgramDir() + "stub_firefox.exe\" rel");
}
