// The real gravduel program, run headless.
#include <gtest/gtest.h>

#include <filesystem>
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
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_TRUE(testing::PngSize(dir + "/shot-00005.png", w, h));
  EXPECT_TRUE(testing::PngSize(dir + "/shot-00010.png", w, h));
  EXPECT_FALSE(std::filesystem::exists(dir + "/shot-00004.png"));

  // One line per presented frame after the header: start-up presents twice, then 19 more.
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
  std::string geometry = testing::Capture("xdotool getwindowgeometry " + id);
  EXPECT_NE(geometry.find("Geometry: 640x480"), std::string::npos) << geometry;

  // The desktop's request to end (as the close box or a logout sends it) is an orderly end.
  std::string pid = ReadWholeFile(dir + "/pid");
  ASSERT_FALSE(pid.empty());
  testing::Capture("kill -TERM " + pid);
  EXPECT_EQ(testing::WaitForExit(dir, 20000), 0) << ReadWholeFile(dir + "/stderr");
}

}  // namespace
}  // namespace quillon
