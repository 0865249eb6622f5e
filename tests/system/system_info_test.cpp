// System information, debugger output and functions of other libraries.
#include <gtest/gtest.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

#include "runtime/quillon.h"
#include "runtime/system/system_internal.h"
#include "support/process.h"

namespace quillon {
namespace {

TEST(SystemInfo, KeysInEitherCase) {
  EXPECT_STREQ(SystemInfo("").CStr(), "LINUX");
  EXPECT_STREQ(SystemInfo("device").CStr(), "DESKTOP");
  EXPECT_STREQ(SystemInfo("xyz").CStr(), "NO_DATA");
  EXPECT_STREQ(SystemInfo("TIMES").CStr(), "NO_DATA");

  std::string before = SystemInfo("TIME").CStr();
  std::string lower = SystemInfo("time").CStr();
  std::string after = SystemInfo("Time").CStr();
  EXPECT_TRUE(lower == before || lower == after) << before << " / " << lower;
  // Plain decimal numbers, no leading zeros.
  std::regex format(
      "[1-9][0-9]{3}-([1-9]|1[0-2])-([1-9]|[12][0-9]|3[01]) "
      "([0-9]|1[0-9]|2[0-3]):([0-9]|[1-5][0-9]):([0-9]|[1-5][0-9]|60)");
  EXPECT_TRUE(std::regex_match(lower, format)) << lower;
}

// Run in a second process by MachineIdIsStableAcrossRuns.
TEST(SystemInfo, DISABLED_PrintId) { std::printf("ID=%s\n", SystemInfo("id").CStr()); }

TEST(SystemInfo, MachineIdIsStableAcrossRuns) {
  std::string id = SystemInfo("ID").CStr();
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}"))) << id;
  std::string other = testing::Capture(
      "/proc/" + std::to_string(::getpid()) +
      "/exe --gtest_also_run_disabled_tests --gtest_filter=SystemInfo.DISABLED_PrintId");
  EXPECT_NE(other.find("ID=" + id + "\n"), std::string::npos) << other;
}

TEST(DebugOutput, WithoutADebuggerWritesNothing) {
  ::testing::internal::CaptureStderr();
  DebugOutput("hello");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// What a child traced by this process (a debugger attached) writes on standard error.
std::string TracedChildOutput(void (*body)()) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::dup2(fds[1], 2);
    if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(3);
    body();
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, size_t(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 3 ? "no ptrace" : out;
}

TEST(DebugOutput, WithADebuggerWritesTXAndTheText) {
  std::string out = TracedChildOutput([] { DebugOutput("hello"); });
  if (out == "no ptrace") GTEST_SKIP() << "ptrace is not allowed here";
  EXPECT_EQ(out, "TXhello\n");

  out = TracedChildOutput([] {
    runtimeState.debugMode = 1;
    StringValue name = "libNoSuch.so";
    void* address = nullptr;
    BindLibraryFunction(name, "f", address);
  });
  EXPECT_EQ(out, "TXFailed to load: libnosuch.so\n");
}

TEST(BindLibraryFunction, LoadsOnceForBothSpellingsAndCallsTheFunction) {
  size_t before = LoadedLibraryCount();
  StringValue name = "LIBM.so.6";
  void* address = reinterpret_cast<void*>(1);
  BindLibraryFunction(name, "cos", address);
  EXPECT_STREQ(name.CStr(), "libm.so.6");  // the argument itself is lower-cased
  ASSERT_NE(address, nullptr);
  EXPECT_EQ(reinterpret_cast<double (*)(double)>(address)(0.5), std::cos(0.5));
  StringValue again = "libm.so.6";
  void* second = nullptr;
  BindLibraryFunction(again, "sin", second);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(reinterpret_cast<double (*)(double)>(second)(0.5), std::sin(0.5));
  EXPECT_EQ(LoadedLibraryCount(), before + 1);

  BindLibraryFunction(again, "no_such_function_here", address);
  EXPECT_EQ(address, nullptr);
  StringValue missing = "libno-such-library.so";
  address = reinterpret_cast<void*>(1);
  BindLibraryFunction(missing, "cos", address);
  EXPECT_EQ(address, nullptr);
  EXPECT_EQ(LoadedLibraryCount(), before + 1);
}

TEST(BindLibraryFunction, TriesTheNameAsGivenBeforeLowerCase) {
  // Library names here are case-sensitive: only the spelling given exists.
  StringValue name = "libSDL2-2.0.so.0";
  void* address = nullptr;
  BindLibraryFunction(name, "SDL_GetTicks", address);
  EXPECT_NE(address, nullptr);
  EXPECT_STREQ(name.CStr(), "libsdl2-2.0.so.0");
}

}  // namespace
}  // namespace quillon
