// Start-up without a display must fail loudly, not run a game without a window.
#include <gtest/gtest.h>

#include <string>

#include "support/gl_runtime.h"
#include "support/process.h"

namespace quillon {
namespace {

TEST(Startup, NoDisplayEndsWithAMessageAndAFailureStatus) {
  std::string dir = testing::MakeTempDir("nodisplay");
  testing::StopWhenLeft guard{dir};
  testing::StartInBackground(dir, "TMPDIR='" + dir +
                                      "' DISPLAY=:4711 WAYLAND_DISPLAY= SDL_VIDEODRIVER=x11 '" +
                                      QUILLON_GRAVDUEL_PATH + "'");
  EXPECT_EQ(testing::WaitForExit(dir, 30000), 2);
  EXPECT_NE(testing::ReadWholeFile(dir + "/stderr").find("The game window could not be created"),
            std::string::npos);
  EXPECT_EQ(testing::ReadWholeFile(dir + "/stdout").find("Init OK"), std::string::npos);
}

}  // namespace
}  // namespace quillon
