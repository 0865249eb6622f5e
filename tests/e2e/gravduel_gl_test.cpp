// The real gravduel program, run headless.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "runtime/gfx2d/png_reader.h"
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
  testing::StopWhenLeft guard{dir};
  testing::StartInBackground(dir, Env(dir) +
                                      "QUILLON_FRAMES=20 QUILLON_SCREENSHOT=shot.png "
                                      "QUILLON_SCREENSHOT_EVERY=5 QUILLON_FRAME_LOG=frames.log '" +
                                      kGame + "'");
  ASSERT_EQ(testing::WaitForExit(dir, 60000), 0) << ReadWholeFile(dir + "/stderr");
  EXPECT_NE(ReadWholeFile(dir + "/stdout").find("Init OK\n"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(dir + "/stderr").find("ALSA lib"), std::string::npos);  // no card here

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

  std::string errors =
      ReadWholeFile(dir + "/quillon-" + std::to_string(geteuid()) + "/ErrorLog.txt");
  EXPECT_EQ(errors.substr(0, errors.find("\r\n")), "OpenGL Software Emulation");
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(Gravduel, WindowIsCaptionedAndSizedAndEndsOnCloseRequest) {
  std::string dir = testing::MakeTempDir("e2e");
  testing::StopWhenLeft guard{dir};
  testing::StartInBackground(dir, Env(dir) + "exec '" + kGame + "'");
  // The game keeps a core busy: look now and then, not back to back.
  auto rest = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
  std::string pid;
  ASSERT_TRUE(testing::WaitFor(
      [&] { return !(pid = FirstLine(ReadWholeFile(dir + "/pid"))).empty(); }, rest, 60));
  // The game's window, given the focus: without it the caption says the game is paused.
  std::string id, caption;
  auto captioned = [&] {
    id = FirstLine(testing::Capture("xdotool search --pid " + pid + " 2>/dev/null"));
    if (id.empty()) return false;
    testing::Capture("xdotool windowfocus " + id + " 2>/dev/null");
    caption = FirstLine(testing::Capture("xdotool getwindowname " + id + " 2>/dev/null"));
    return caption == "Gravduel";
  };
  ASSERT_TRUE(testing::WaitFor(captioned, rest, 60))
      << "window '" << id << "' captioned '" << caption << "', status '"
      << ReadWholeFile(dir + "/status") << "', " << ReadWholeFile(dir + "/stderr");
  // The window opens at 640 x 480 and the duel makes it 800 x 640.
  std::string geometry;
  auto resized = [&] {
    geometry = testing::Capture("xdotool getwindowgeometry " + id);
    return geometry.find("Geometry: 800x640") != std::string::npos;
  };
  EXPECT_TRUE(testing::WaitFor(resized, rest, 60)) << geometry;

  // The desktop's request to end (as the close box or a logout sends it) is an orderly end.
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
    testing::StopWhenLeft guard{dir};
    testing::StartInBackground(dir, Env(dir) + "QUILLON_INPUT=keys.txt QUILLON_FRAMES=120 "
                                               "QUILLON_SCREENSHOT=shot.png '" + kGame + "'");
    ASSERT_EQ(testing::WaitForExit(dir, 60000), 0) << ReadWholeFile(dir + "/stderr");
    shot = ReadWholeFile(dir + "/shot.png");
    ASSERT_FALSE(shot.empty());
  }
  EXPECT_TRUE(shots[0] == shots[1]) << "two runs with the same keys drew different frames";
}

// A player's run (real X key events: steer, fire, Escape), recorded, replays unpaced to the
// same pictures.
TEST(Gravduel, RecordedRunReplaysToTheSamePictures) {
  const std::string shots = "QUILLON_SCREENSHOT=shot.png QUILLON_SCREENSHOT_EVERY=5 ";
  std::string played = testing::MakeTempDir("record"), replayed = testing::MakeTempDir("replay");
  testing::StopWhenLeft guard{played}, replayGuard{replayed};
  testing::StartInBackground(played, Env(played) + shots + "QUILLON_RECORD=run.keys '" + kGame + "'");
  auto focused = [&] {
    std::string pid = FirstLine(ReadWholeFile(played + "/pid"));
    std::string id = FirstLine(testing::Capture("xdotool search --pid " + pid + " 2>/dev/null"));
    return !pid.empty() && !id.empty() && testing::Xdotool("windowfocus " + id);
  };
  ASSERT_TRUE(testing::WaitFor(focused, [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }));
  ASSERT_TRUE(testing::Xdotool("keydown Up Left sleep 0.4 keyup Left sleep 0.3 keyup Up keydown "
                               "Control_R sleep 0.5 keyup Control_R sleep 0.3 key Escape"));
  ASSERT_EQ(testing::WaitForExit(played, 60000), 0) << ReadWholeFile(played + "/stderr");
  EXPECT_NE(ReadWholeFile(played + "/run.keys").find(" key 203 up\n"), std::string::npos);

  std::filesystem::copy_file(played + "/run.keys", replayed + "/run.keys");
  testing::StartInBackground(replayed, Env(replayed) + shots +
                                           "QUILLON_INPUT=run.keys QUILLON_UNPACED=1 '" + kGame + "'");
  ASSERT_EQ(testing::WaitForExit(replayed, 60000), 0) << ReadWholeFile(replayed + "/stderr");
  for (std::string name : {"shot-00005.png", "shot-00015.png", "shot.png"}) {
    std::string shot = ReadWholeFile(played + "/" + name);
    EXPECT_TRUE(!shot.empty() && shot == ReadWholeFile(replayed + "/" + name)) << name;
  }
}

TEST(Gravduel, UnreadableInputScriptIsRefused) {
  std::string dir = testing::MakeTempDir("duel");
  std::ofstream(dir + "/keys.txt") << "10 key nosuchkey down\n";
  testing::StopWhenLeft guard{dir};
  testing::StartInBackground(dir, Env(dir) + "QUILLON_INPUT=keys.txt '" + kGame + "'");
  EXPECT_EQ(testing::WaitForExit(dir, 60000), 2);
  EXPECT_NE(ReadWholeFile(dir + "/stderr").find("line 1"), std::string::npos);
}

struct Shot {
  RgbaImage image;
  int Channel(int x, int y, int c) const {
    return image.pixels[(static_cast<size_t>(y) * image.width + x) * 4 + c];
  }
  // The red channel of a region, for comparing what was drawn there.
  std::string Region(int x0, int y0, int w, int h) const {
    std::string bytes;
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) bytes += static_cast<char>(Channel(x, y, 0));
    }
    return bytes;
  }
};

Shot LoadShot(const std::string& path) {
  Shot shot;
  ReadPngImage(path.c_str(), -1, shot.image);
  return shot;
}

// The demo duel of the run command: B flies into the sun, A scores; Escape ends it.
TEST(Gravduel, DemoDuelScoresAndEndsOnEscape) {
  std::string dir = testing::MakeTempDir("demo");
  std::string keys = ReadWholeFile(std::string(QUILLON_SOURCE_DIR) + "/game/demo/duel.keys");
  ASSERT_FALSE(keys.empty());
  std::ofstream(dir + "/keys.txt") << keys << "330 key escape down\n";
  testing::StopWhenLeft guard{dir};
  testing::StartInBackground(dir, Env(dir) + "QUILLON_INPUT=keys.txt QUILLON_SCREENSHOT=shot.png "
                                             "QUILLON_SCREENSHOT_EVERY=10 '" + kGame + "'");
  ASSERT_EQ(testing::WaitForExit(dir, 90000), 0) << ReadWholeFile(dir + "/stderr");

  Shot first = LoadShot(dir + "/shot-00010.png");
  ASSERT_EQ(first.image.width, 800);
  // Both ships at their start places, the sun in the middle, the HUD drawn.
  EXPECT_GT(first.Channel(316, 116, 2), 150);  // ship A is blue
  EXPECT_GT(first.Channel(316, 516, 0), 150);  // ship B is red
  EXPECT_GT(first.Channel(400, 336, 0), 200);  // the sun
  std::string hudA = first.Region(730, 50, 60, 16);
  EXPECT_NE(hudA.find_first_not_of('\0'), std::string::npos);

  // A's score, right-hand side: the same before the kill, different after it.
  Shot before = LoadShot(dir + "/shot-00100.png");
  Shot after = LoadShot(dir + "/shot.png");
  ASSERT_EQ(after.image.width, 800);
  EXPECT_EQ(first.Region(730, 180, 40, 16), before.Region(730, 180, 40, 16));
  EXPECT_NE(before.Region(730, 180, 40, 16), after.Region(730, 180, 40, 16));
  EXPECT_EQ(before.Region(30, 180, 40, 16), after.Region(30, 180, 40, 16));  // B did not score
}

TEST(Gravduel, WithoutTheBackdropTheFieldIsBlackButTheSunShines) {
  std::string dir = testing::MakeTempDir("nobackdrop");
  std::filesystem::path game(kGame);
  std::filesystem::copy(game.parent_path() / "sun", dir + "/sun");
  std::filesystem::copy(game.parent_path() / "ship1", dir + "/ship1");
  std::filesystem::copy(game.parent_path() / "ship2", dir + "/ship2");
  std::filesystem::copy_file(game, dir + "/gravduel");
  testing::StopWhenLeft guard{dir};
  testing::StartInBackground(dir, Env(dir) + "QUILLON_FRAMES=12 QUILLON_SCREENSHOT=shot.png ./gravduel");
  ASSERT_EQ(testing::WaitForExit(dir, 60000), 0) << ReadWholeFile(dir + "/stderr");
  Shot shot = LoadShot(dir + "/shot.png");
  ASSERT_EQ(shot.image.width, 800);
  EXPECT_EQ(shot.Channel(200, 300, 0) + shot.Channel(200, 300, 1) + shot.Channel(200, 300, 2), 0);
  EXPECT_GT(shot.Channel(400, 336, 0), 200);
  // Without the small font file the HUD still shows its numbers in the built-in font.
  EXPECT_NE(shot.Region(730, 50, 60, 16).find_first_not_of('\0'), std::string::npos);
}

}  // namespace
}  // namespace quillon
