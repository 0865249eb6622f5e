// The tools' command lines: --help, --version, the error line and the two failure codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/process.h"

namespace quillon {
namespace {

class ToolCommandLineTest : public ::testing::TestWithParam<const char*> {
 protected:
  // The exit status; out and err keep what the tool printed.
  int Run(const std::string& arguments) {
    std::string line = std::string(QUILLON_BINARY_DIR) + "/" + GetParam() + " " + arguments +
                       " >" + dir + "tool.out 2>" + dir + "tool.err";
    int status = std::system(line.c_str());
    out = testing::ReadWholeFile(dir + "tool.out");
    err = testing::ReadWholeFile(dir + "tool.err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string dir = ::testing::TempDir() + GetParam() + "-", out, err;  // tools run side by side
};

TEST_P(ToolCommandLineTest, ExplainsItselfAndTellsAWrongLineFromAFailure) {
  const std::string tool = GetParam();
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_EQ(out.rfind("usage: " + tool + " ", 0), 0u) << out;
  EXPECT_EQ(Run("--version"), 0);
  EXPECT_EQ(out, tool + " (Quillon) " QUILLON_VERSION "\n");
  EXPECT_EQ(Run("--no-such-option"), 2);
  EXPECT_EQ(err.rfind(tool + ": unknown ", 0), 0u) << err;
  // Nothing can be read or made below a plain file; the line ends with the file that failed.
  std::string file = dir + "tool.out/sub";
  EXPECT_EQ(Run(tool == "qmo"     ? "info " + file
                : tool == "qpack" ? dir + "new.pak " + file
                                  : file),
            1);
  if (tool == "make-assets") file += "/ship1";
  EXPECT_TRUE(err.rfind(tool + ": ", 0) == 0 && err.ends_with(": " + file + "\n")) << err;
}

INSTANTIATE_TEST_SUITE_P(EachTool, ToolCommandLineTest,
                         ::testing::Values("qpack", "qmo", "make-assets"));

}  // namespace
}  // namespace quillon
