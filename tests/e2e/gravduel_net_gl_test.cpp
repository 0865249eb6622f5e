// Two real gravduel processes on loopback, each with its own input script, in lockstep.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "runtime/gfx2d/png_reader.h"
#include "support/gl_runtime.h"
#include "support/process.h"

namespace quillon {
namespace {

using testing::ReadWholeFile;
using Clock = std::chrono::steady_clock;

// Away from the default port and from another test run's.
int Port(int n) { return 20000 + static_cast<int>(getpid() % 15000) + n; }

// One player: the game on an X server of its own (a second window on the same display would
// take the focus and pause the first during its start-up), with its own input script.
struct Side {
  std::string dir = testing::MakeTempDir("netduel");
  testing::StopWhenLeft guard{dir};
  ~Side() { Kill(); }

  void Start(const std::string& arguments, const std::string& script) {
    std::ofstream(dir + "/keys.txt") << script;
    testing::StartInBackground(
        dir, "xvfb-run -a -s '-screen 0 1024x768x24 -noreset' sh -c 'echo $$ >game.pid; exec env "
             "TMPDIR=. QUILLON_NO_DIALOGS=1 QUILLON_INPUT=keys.txt QUILLON_SCREENSHOT=shot.png " +
                 std::string(QUILLON_GRAVDUEL_PATH) + " " + arguments + "'");
  }
  void Kill() const { testing::Capture("kill -KILL $(cat '" + dir + "/game.pid') 2>/dev/null"); }
  // The rest of the first report line that starts with what, or "" when there is none yet.
  std::string Report(const std::string& what) const {
    std::string out = ReadWholeFile(dir + "/stdout");
    size_t at = out.find("gravduel: " + what);
    if (at == std::string::npos) return "";
    size_t end = out.find('\n', at);
    return end == std::string::npos ? "" : out.substr(at + 10 + what.size(), end - at - 10 - what.size());
  }
  // Waits up to seconds for the report; "" when it never came.
  std::string WaitForReport(const std::string& what, double seconds = 60) const {
    auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    std::string rest;
    while ((rest = Report(what)).empty() && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return rest;
  }
  std::string Errors() const { return ReadWholeFile(dir + "/stderr"); }
};

std::string Host(int port, const std::string& more = "") {
  return "--host " + std::to_string(port) + more;
}
std::string Join(int port, const std::string& more = "") {
  return "--join 127.0.0.1 " + std::to_string(port) + more;
}

// The joiner turns with the cursor key while it fires with Space, so that whatever frames its
// controls land on, one bullet leaves straight up at 90 degrees, towards the host's ship.
const char* kSweepAndFire = "60 key left down\n60 key space down\n110 key left up\n110 key space up\n";

TEST(NetDuel, TwoProcessesPlayTheSameGame) {
  Side host, joiner;
  host.Start(Host(Port(0), " --frames 600"), "100 key d down\n130 key d up\n");
  ASSERT_FALSE(host.WaitForReport("waiting for an opponent").empty()) << host.Errors();
  joiner.Start(Join(Port(0)), kSweepAndFire);
  ASSERT_EQ(testing::WaitForExit(host.dir, 90000), 0) << host.Errors();
  ASSERT_EQ(testing::WaitForExit(joiner.dir, 30000), 0) << joiner.Errors();

  std::string end = host.Report("final frame ");
  ASSERT_EQ(end.substr(0, 4), "600 ") << ReadWholeFile(host.dir + "/stdout");
  EXPECT_EQ(joiner.Report("final frame "), end);  // checksum, hit points and scores
  // The joiner's bullet cost the host's ship (blue, A) hit points; B was not hit.
  double hullA = 0, hullB = 0;
  ASSERT_EQ(std::sscanf(end.c_str() + end.find("hit points"), "hit points %lf %lf", &hullA, &hullB), 2);
  EXPECT_LT(hullA, 100);
  EXPECT_EQ(hullB, 100);

  RgbaImage a, b;
  ASSERT_TRUE(ReadPngImage((host.dir + "/shot.png").c_str(), -1, a));
  ASSERT_TRUE(ReadPngImage((joiner.dir + "/shot.png").c_str(), -1, b));
  EXPECT_EQ(a.width, 800);
  EXPECT_TRUE(a.pixels == b.pixels) << "frame 600 looks different on the two machines";
}

TEST(NetDuel, HostNoticesAKilledJoinerWithinFiveSeconds) {
  Side host, joiner;
  host.Start(Host(Port(1)), "");
  ASSERT_FALSE(host.WaitForReport("waiting for an opponent").empty()) << host.Errors();
  joiner.Start(Join(Port(1)), "");
  ASSERT_FALSE(joiner.WaitForReport("frame 60 ").empty()) << joiner.Errors();
  joiner.Kill();
  auto killed = Clock::now();
  EXPECT_FALSE(host.WaitForReport("the opponent went silent", 10).empty());
  EXPECT_LE(Clock::now() - killed, std::chrono::seconds(5));
  EXPECT_EQ(testing::WaitForExit(host.dir, 30000), 0) << host.Errors();
}

TEST(NetDuel, EscapeTellsTheOtherSide) {
  Side host, joiner;
  host.Start(Host(Port(2)), "");
  ASSERT_FALSE(host.WaitForReport("waiting for an opponent").empty()) << host.Errors();
  joiner.Start(Join(Port(2)), "150 key escape down\n");
  EXPECT_EQ(testing::WaitForExit(joiner.dir, 60000), 0) << joiner.Errors();
  EXPECT_FALSE(joiner.Report("you left").empty());
  EXPECT_FALSE(host.WaitForReport("the opponent left").empty());
  EXPECT_EQ(testing::WaitForExit(host.dir, 30000), 0) << host.Errors();
}

// The test switch moves the host's ship by a pixel on the joiner's side only.
TEST(NetDuel, ForcedDesyncEndsBothWithinASecond) {
  Side host, joiner;
  host.Start(Host(Port(3)), "");
  ASSERT_FALSE(host.WaitForReport("waiting for an opponent").empty()) << host.Errors();
  joiner.Start(Join(Port(3), " --test-desync 121"), "");
  for (Side* side : {&host, &joiner}) {
    std::string frame = side->WaitForReport("out of step with the opponent at frame ");
    ASSERT_FALSE(frame.empty()) << ReadWholeFile(side->dir + "/stdout");
    EXPECT_GT(std::stol(frame), 121);
    EXPECT_LE(std::stol(frame), 121 + 60);  // the checksums go round every 60 frames
    EXPECT_EQ(testing::WaitForExit(side->dir, 30000), 0) << side->Errors();
  }
}

}  // namespace
}  // namespace quillon
