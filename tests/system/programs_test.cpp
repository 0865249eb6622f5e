// Running other programs: exit codes, arguments exactly as split, no shell, no zombies.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/quillon.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// What the started program printed on the standard output it inherits from us.
std::string OutputOf(const char* commandLine, double& started) {
  std::string path = testing::MakeTempDir("run") + "/out";
  std::fflush(stdout);
  int saved = ::dup(1);
  int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, 1);
  ::close(file);
  double code = -1;
  started = RunProgram(commandLine, 1, 0, code);
  ::dup2(saved, 1);
  ::close(saved);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(RunProgram, WaitsAndGivesTheExitCode) {
  double code = -1;
  EXPECT_EQ(RunProgram("sh -c \"exit 3\"", 1, 1, code), 1.0);
  EXPECT_EQ(code, 3.0);
  EXPECT_EQ(RunProgram("sh -c \"kill -TERM $$\"", 1, 0, code), 1.0);
  EXPECT_EQ(code, 128.0 + SIGTERM);

  code = -1;
  EXPECT_EQ(RunProgram("no-such-program-quillon", 1, 0, code), 0.0);
  EXPECT_EQ(code, 0.0);
  EXPECT_EQ(RunProgram("   ", 1, 0, code), 0.0);
}

TEST(RunProgram, ArgumentsArriveExactlyAndNoShellSeesThem) {
  double started = 0;
  std::string out = OutputOf(
      "printf \"[%s]\\n\" \"two words\" \"say \\\"hi\\\"\" a;b $(id) *.txt 'q' c:\\dir\\", started);
  EXPECT_EQ(started, 1.0);
  EXPECT_EQ(out, "[two words]\n[say \"hi\"]\n[a;b]\n[$(id)]\n[*.txt]\n['q']\n[c:\\dir\\]\n");
}

TEST(RunProgram, TheChildGetsNoneOfTheRuntimesOpenFiles) {
  int fd = ::open("/dev/null", O_RDONLY);  // inherited unless the start closes it
  ASSERT_GE(fd, 3);
  std::string line = "sh -c \"[ -e /proc/self/fd/" + std::to_string(fd) + " ] && exit 5\"";
  double code = -1;
  EXPECT_EQ(RunProgram(line.c_str(), 1, 0, code), 1.0);
  EXPECT_EQ(code, 1.0);  // the test failed: no such descriptor
  ::close(fd);
}

// Children of this process that ended and were never waited for.
int ZombieChildren() {
  int zombies = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    if (parent == ::getpid() && state == 'Z') ++zombies;
  }
  return zombies;
}

TEST(RunProgram, AChildNobodyWaitsForIsReaped) {
  double code = -1;
  ASSERT_EQ(RunProgram("true", 0, 0, code), 1.0);
  EXPECT_EQ(code, 0.0);
  // The child ends at once; its reaping happens in the background, so look until it is gone.
  int zombies = 1;
  for (int i = 0; i < 500 && zombies > 0; ++i) {
    ::usleep(10000);
    zombies = ZombieChildren();
  }
  EXPECT_EQ(zombies, 0);
}

}  // namespace
}  // namespace quillon
