// The one way out: exit statuses, the error log and the debug end report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/file_channels.h"
#include "runtime/program/debugger.h"
#include "runtime/program/program_end.h"
#include "runtime/values/dim_array.h"

namespace quillon {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ProgramEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Death tests run the test again in a child process: both must agree on the directory.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::string(QUILLON_BINARY_DIR) + "/test-tmp/end-" + info->name();
    if (!::testing::internal::InDeathTestChild()) std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    setenv("TMPDIR", dir.c_str(), 1);
    runtimeState.debugMode = 0;
    runtimeState.errorCode = 0;
    runtimeState.errorLine = 0;
    runtimeState.currentLine = 0;
    runtimeState.currentModule = 0;
  }
  std::string Log() {
    return ReadFile(dir + "/quillon-" + std::to_string(geteuid()) + "/ErrorLog.txt");
  }
  std::string dir;
};

TEST_F(ProgramEndTest, ErrorLogAppendsCrLfLinesAndStartsEmpty) {
  ErrorLog("first");
  ErrorLog("second");
  EXPECT_EQ(Log(), "first\r\nsecond\r\n");
  ResetErrorLog();
  EXPECT_EQ(Log(), "");
  ErrorLog("");
  EXPECT_EQ(Log(), "\r\n");
}

TEST_F(ProgramEndTest, ErrorLogInMissingDirectoryIsDroppedSilently) {
  setenv("TMPDIR", (dir + "/missing/deeper").c_str(), 1);
  ErrorLog("lost");
  EXPECT_EQ(Log(), "");
}

TEST_F(ProgramEndTest, RaiseRecordsCodeAndCurrentLine) {
  MarkSourceLine(2, 41);
  EXPECT_EQ(RaiseRuntimeError(8), 8);
  EXPECT_EQ(runtimeState.errorCode, 8);
  EXPECT_EQ(runtimeState.errorLine, 41);
  EXPECT_EQ(runtimeState.currentModule, 2);
}

TEST_F(ProgramEndTest, EndStatementExitsWithZero) {
  EXPECT_EXIT(EndProgram(), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Log(), "");  // no report without debug mode
}

TEST_F(ProgramEndTest, FatalErrorsNameTheCommandAndWhatWentWrong) {
  DimArray<double> list;
  list.Dimension(3);
  EXPECT_EXIT(list.At(3), ::testing::ExitedWithCode(9),
              "runtime error 9 at line 0: array index out of range in At\n");
  EXPECT_EXIT(ReadByte(8), ::testing::ExitedWithCode(7),
              "runtime error 7 at line 0: file channel outside 0 to 7 in ReadByte\n");
  EXPECT_EXIT(WriteLine(2, StringValue("x")), ::testing::ExitedWithCode(3),
              "runtime error 3 at line 0: no file open on the channel in WriteLine\n");
}

TEST_F(ProgramEndTest, FatalErrorExitsWithItsCodeAndSaysSo) {
  EXPECT_EXIT(EndProgramOnError(9), ::testing::ExitedWithCode(9), "runtime error 9 at line 0");
  EXPECT_EXIT(EndProgramOnError(7), ::testing::ExitedWithCode(7), "runtime error 7");
  EXPECT_EQ(Log(), "");
}

TEST_F(ProgramEndTest, RecordedErrorDoesNotMakeALaterNormalEndFail) {
  EXPECT_EXIT(
      {
        RaiseRuntimeError(3);  // a file command records 3 and the program goes on
        EndProgram();
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(ProgramEndTest, DebugReportOfAnIndexError) {
  runtimeState.debugMode = 1;
  EXPECT_EXIT(EndProgramOnError(9), ::testing::ExitedWithCode(9), "");
  EXPECT_EQ(Log(), "-End On Line\r\n9\r\n-1\r\n0\r\n0\r\n");
}

TEST_F(ProgramEndTest, DebugReportOfAnEscapeEnd) {
  runtimeState.debugMode = 1;
  EXPECT_EXIT(
      {
        // What the end keys do: code 0 at the current line, then the orderly end.
        runtimeState.errorCode = 0;
        runtimeState.errorLine = runtimeState.currentLine;
        EndProgram();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Log(), "-End On Line\r\n0\r\n-1\r\n0\r\n0\r\n");
}

TEST_F(ProgramEndTest, DebugReportUsesTwoSignificantDigits) {
  runtimeState.debugMode = 1;
  EXPECT_EXIT(
      {
        MarkSourceLine(0.5, 1234);
        EndProgramOnError(8);
      },
      ::testing::ExitedWithCode(8), "runtime error 8 at line 1234");
  EXPECT_EQ(Log(), "-End On Line\r\n8\r\n1.2e+03\r\n1.2e+03\r\n0.5\r\n");
}

TEST_F(ProgramEndTest, BreakpointWithoutDebuggerDoesNothing) {
  runtimeState.paused = 1;
  ::testing::internal::CaptureStderr();
  DebugBreakpoint(255);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(runtimeState.paused, 1);
  runtimeState.paused = 0;
}

}  // namespace
}  // namespace quillon
