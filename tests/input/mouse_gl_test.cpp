// The pointer and the exclusive mouse through real X events (xdotool).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/input/input_script.h"
#include "runtime/platform/input.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

class Mouse : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    ClearInputScript();
  }
  void TearDown() override { ShowSystemPointer(1); }
};

// The child starts the runtime afresh, so no other test has touched the pointer yet.
TEST(MouseDeathTest, StartUpHidesThePointerOverTheWindow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testing::StartTestRuntime();
        if (platform::PointerShown()) std::exit(1);
        ShowSystemPointer(1);  // the shared mouse's pointer comes back on request
        std::exit(platform::PointerShown() ? 42 : 2);
      },
      ::testing::ExitedWithCode(42), "");
}

// Moves the pointer by (dx, dy) and sums the movement of the frames that follow until that much
// has arrived.
void MoveAndSumFrames(int dx, int dy, int& sumX, int& sumY) {
  sumX = sumY = 0;
  ASSERT_TRUE(
      testing::Xdotool("mousemove_relative -- " + std::to_string(dx) + " " + std::to_string(dy)));
  auto frame = [&] {
    ShowScreen();
    sumX += static_cast<int>(MouseAxis(0));
    sumY += static_cast<int>(MouseAxis(1));
  };
  bool arrived = testing::WaitFor([&] { return sumX >= dx && sumY <= dy; }, frame);
  ASSERT_TRUE(arrived) << "moved by " << sumX << "," << sumY;
}

TEST_F(Mouse, ExclusiveMouseHidesThePointerAndAddsUpMovement) {
  ASSERT_TRUE(testing::FocusGameWindow());
  ShowSystemPointer(0);
  EXPECT_FALSE(platform::PointerShown());
  SetMousePosition(100, 200);
  ShowScreen();
  MouseAxis(0);  // whatever the switch itself moved
  SetMousePosition(100, 200);
  int dx = 0, dy = 0;
  MoveAndSumFrames(7, -5, dx, dy);
  EXPECT_EQ(dx, 7);
  EXPECT_EQ(dy, -5);
  double x, y, left, right;
  MouseState(x, y, left, right);
  EXPECT_EQ(x, 107);
  EXPECT_EQ(y, 195);

  // At the edge of the number range the sum stops there, then the screen clamps it.
  SetMousePosition(2147483647.0, -2147483648.0);
  MoveAndSumFrames(7, -5, dx, dy);
  MouseState(x, y, left, right);
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 0);

  // Back to the shared pointer: shown again where the runtime's position is.
  SetMousePosition(320, 240);
  ShowSystemPointer(1);
  EXPECT_TRUE(platform::PointerShown());
  platform::MouseDevice seen;
  auto read = [&] {
    testing::PumpAndRest();
    seen = platform::ReadMouseDevice();
  };
  EXPECT_TRUE(testing::WaitFor([&] { return seen.x == 320 && seen.y == 240; }, read))
      << seen.x << "," << seen.y;
}

}  // namespace
}  // namespace quillon
