// The start-up preload: libraries named to it are loaded by its thread and stay loaded; a name
// the system lacks is passed over without stopping the rest.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/LibraryPreload.h"

namespace {

// Libraries the test program itself never loads, so that seeing them loaded proves the preload.
constexpr const char* kFirst = "riched20.dll";
constexpr const char* kSecond = "msftedit.dll";

TEST(LibraryPreloadTest, LoadsEveryPresentLibraryAndSkipsMissingOnes) {
  ASSERT_EQ(GetModuleHandleA(kFirst), nullptr);
  ASSERT_EQ(GetModuleHandleA(kSecond), nullptr);
  {
    TLibraryPreload preload({kFirst, "no-such-library-here.dll", kSecond});
    EXPECT_TRUE(preload.Wait(10000));
    EXPECT_NE(GetModuleHandleA(kFirst), nullptr);
  }
  // The thread has ended with its owner; what it loaded is still there for the windows.
  EXPECT_NE(GetModuleHandleA(kFirst), nullptr);
  EXPECT_NE(GetModuleHandleA(kSecond), nullptr);
}

}  // namespace
