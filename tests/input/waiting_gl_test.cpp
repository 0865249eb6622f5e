// The commands that wait for the player, with scripted keys and real X mouse buttons.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "runtime/core/flow_hooks.h"
#include "runtime/input/input_script.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

class Waiting : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    ClearInputScript();
    SetEscapeEnds(1);
  }
  void TearDown() override {
    ClearInputScript();
    SetEscapeEnds(1);
    testing::Xdotool("mouseup 1");
  }
};

TEST_F(Waiting, HeldKeyEndsTheWaitAndEscapeOnlyWhileSwitchedOn) {
  ASSERT_TRUE(LoadInputScript("0 key space down\n"));
  WaitForInputActivity();
  SetEscapeEnds(0);
  ASSERT_TRUE(LoadInputScript("0 key escape down\n"));
  WaitForInputActivity();  // a key like any other: the program goes on
  EXPECT_EQ(KeyDown(1), 1.0);
}

TEST_F(Waiting, MouseClickNeedsAReleaseAndANewPress) {
  ASSERT_TRUE(testing::MovePointerTo(200, 200));
  ASSERT_TRUE(testing::Xdotool("mousedown 1"));
  ASSERT_TRUE(testing::WaitFor([] { return AnyMouseButton() != 0; }, testing::PumpAndRest));
  // The button is down already, so the click that counts comes later, from a second thread:
  // up, down, up... until the wait is over, so a lost event is made good.
  std::atomic<int> turn{0};
  testing::KeepSending clicks(
      "WaitMouseClick to return after a release and a new press",
      [&turn] { testing::Xdotool(turn++ % 2 == 0 ? "mouseup 1" : "mousedown 1"); }, 200, 300);
  WaitMouseClick();
  EXPECT_GE(clicks.Sent(), 2) << "WaitMouseClick returned before a release and a new press";
}

TEST_F(Waiting, ScriptedClickInALaterFrameEndsTheWait) {
  // Scripted buttons change only with frames, so the wait must show them.
  long now = ShowScreenCount();
  ASSERT_TRUE(LoadInputScript(std::to_string(now + 3) + " button left down\n"));
  WaitMouseClick();
  EXPECT_GE(ShowScreenCount(), now + 3);
}

using WaitingDeathTest = Waiting;

TEST_F(WaitingDeathTest, EscapeEndsTheProgramWhileWaiting) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testing::LimitChildLifetime();
        LoadInputScript("0 key escape down\n");
        WaitForInputActivity();
        std::exit(7);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        testing::LimitChildLifetime();
        LoadInputScript("0 key escape down\n");
        WaitMouseClick();
        std::exit(7);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillon
