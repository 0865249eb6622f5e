// The tools' command lines: --help, --version, the error line and the two failure codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/process.h"

namespace quillon {
namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

class ToolCommandLineTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    dir = ::testing::TempDir() + "tools-" + GetParam();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  Outcome Run(const std::string& arguments) {
    std::string line = std::string(QUILLON_BINARY_DIR) + "/" + GetParam() + " " + arguments +
                       " >'" + dir + "/out' 2>'" + dir + "/err'";
    int status = std::system(line.c_str());
    Outcome o;
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = testing::ReadWholeFile(dir + "/out");
    o.err = testing::ReadWholeFile(dir + "/err");
    return o;
  }
  std::string dir;
};

TEST_P(ToolCommandLineTest, ExplainsItselfAndTellsAWrongLineFromAFailure) {
  const std::string tool = GetParam();
  Outcome help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: " + tool + " ", 0), 0u) << help.out;
  Outcome version = Run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, tool + " (Quillon) " + QUILLON_VERSION + "\n");

  Outcome wrong = Run("--no-such-option");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err.rfind(tool + ": unknown ", 0), 0u) << wrong.err;

  // A failure names the file at the end of its line on standard error.
  std::string missing = dir + "/missing/file";
  std::string arguments = tool == "qpack" ? "'" + dir + "/out.pak' '" + missing + "'"
                          : tool == "qmo" ? "info '" + missing + "'"
                                          : "'" + dir + "/out/sub'";  // below a plain file
  if (tool == "make-assets") missing = dir + "/out/sub/ship1";
  Outcome failed = Run(arguments);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err.rfind(tool + ": ", 0), 0u) << failed.err;
  EXPECT_NE(failed.err.find(": " + missing + "\n"), std::string::npos) << failed.err;
}

INSTANTIATE_TEST_SUITE_P(EachTool, ToolCommandLineTest,
                         ::testing::Values("qpack", "qmo", "make-assets"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name == "make-assets" ? std::string("make_assets") : name;
                         });

}  // namespace
}  // namespace quillon
