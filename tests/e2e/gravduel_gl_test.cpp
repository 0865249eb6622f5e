// The real gravduel program, run headless.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/gl_runtime.h"
#include "support/process.h"

namespace quillon {
namespace {

using testing::ReadWholeFile;

const std::string kGame = QUILLON_GRAVDUEL_PATH;

std::string Env(const std::string& dir) {
  return "TMPDIR='" + dir + "' QUILLON_NO_DIALOGS=1 ";
}

TEST(Gravduel, FrameLimitEndsTheRunWithScreenshotsAndFrameLog) {
  std::string dir = testing::MakeTempDir("e2e");
  testing::StartInBackground(dir, Env(dir) +
                                      "QUILLON_FRAMES=20 QUILLON_SCREENSHOT=shot.png "
                                      "QUILLON_SCREENSHOT_EVERY=5 QUILLON_FRAME_LOG=frames.log '" +
                                      kGame + "'");
  ASSERT_EQ(testing::WaitForExit(dir, 60000), 0) << ReadWholeFile(dir + "/stderr");
  EXPECT_NE(ReadWholeFile(dir + "/stdout").find("Init OK\n"), std::string::npos);

  int w = 0, h = 0;
  ASSERT_TRUE(testing::PngSize(dir + "/shot.png", w, h));
  EXPECT_EQ(w, 800);  // the duel's own screen size
  EXPECT_EQ(h, 640);
  EXPECT_TRUE(testing::PngSize(dir + "/shot-00005.png", w, h));
  EXPECT_TRUE(testing::PngSize(dir + "/shot-00010.png", w, h));
  EXPECT_FALSE(std::filesystem::exists(dir + "/shot-00004.png"));

  // One line per presented frame after the header: start-up presents once before its own
  // ShowScreen, then one per ShowScreen (start-up's, five of the screen change, the duel's).
  std::string log = ReadWholeFile(dir + "/frames.log");
  size_t lines = 0;
  for (char c : log) lines += c == '\n';
  EXPECT_EQ(lines, 1u + 21u) << log;

  std::string errors = ReadWholeFile(dir + "/ErrorLog.txt");
  EXPECT_EQ(errors.substr(0, errors.find("\r\n")), "OpenGL Software Emulation");
}

TEST(Gravduel, WindowIsCaptionedAndSizedAndEndsOnCloseRequest) {
  std::string dir = testing::MakeTempDir("e2e");
  testing::StartInBackground(dir, Env(dir) + "exec '" + kGame + "'");
  std::string id;
  for (int i = 0; i < 300 && id.empty(); ++i) {
    id = testing::Capture("xdotool search --name '^Gravduel$' 2>/dev/null | head -n 1");
    if (id.empty()) testing::Capture("sleep 0.05");
  }
  ASSERT_FALSE(id.empty()) << "no window captioned Gravduel";
  id.erase(id.find_last_not_of("\n") + 1);
  // The window opens at 640 x 480 and the duel makes it 800 x 640.
  std::string geometry;
  for (int i = 0; i < 200 && geometry.find("Geometry: 800x640") == std::string::npos; ++i) {
    geometry = testing::Capture("xdotool getwindowgeometry " + id);
  }
  EXPECT_NE(geometry.find("Geometry: 800x640"), std::string::npos) << geometry;

  // The desktop's request to end (as the close box or a logout sends it) is an orderly end.
  std::string pid = ReadWholeFile(dir + "/pid");
  ASSERT_FALSE(pid.empty());
  testing::Capture("kill -TERM " + pid);
  EXPECT_EQ(testing::WaitForExit(dir, 20000), 0) << ReadWholeFile(dir + "/stderr");
}

// Frames, not the clock, drive the duel: the same keys give the same pictures.
TEST(Gravduel, ScriptedDuelIsDeterministic) {
  const std::string script =
      "10 key w down\n40 key w up\n"
      "10 key control_r down\n10 key left down\n30 key left up\n90 key control_r up\n"
      "50 key space down\n70 key space up\n";
  std::string shots[2];
  for (std::string& shot : shots) {
    std::string dir = testing::MakeTempDir("duel");
    std::ofstream(dir + "/keys.txt") << script;
    testing::StartInBackground(dir, Env(dir) + "QUILLON_INPUT=keys.txt QUILLON_FRAMES=120 "
                                               "QUILLON_SCREENSHOT=shot.png '" + kGame + "'");
    ASSERT_EQ(testing::WaitForExit(dir, 60000), 0) << ReadWholeFile(dir + "/stderr");
    shot = ReadWholeFile(dir + "/shot.png");
    ASSERT_FALSE(shot.empty());
  }
  EXPECT_TRUE(shots[0] == shots[1]) << "two runs with the same keys drew different frames";
}

TEST(Gravduel, UnreadableInputScriptIsRefused) {
  std::string dir = testing::MakeTempDir("duel");
  std::ofstream(dir + "/keys.txt") << "10 key nosuchkey down\n";
  testing::StartInBackground(dir, Env(dir) + "QUILLON_INPUT=keys.txt '" + kGame + "'");
  EXPECT_EQ(testing::WaitForExit(dir, 60000), 2);
  EXPECT_NE(ReadWholeFile(dir + "/stderr").find("line 1"), std::string::npos);
}

}  // namespace
}  // namespace quillon
