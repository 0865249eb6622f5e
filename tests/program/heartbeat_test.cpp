// Frame pacing against a clock the test controls.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/clock.h"
#include "runtime/core/flow_hooks.h"
#include "runtime/core/runtime_state.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/program/heartbeat.h"
#include "runtime/program/screen.h"

namespace quillon {
namespace {

// Each read of the clock advances it by one step, so a spin makes progress.
double fakeNow = 0;
double fakeStep = 0;
int clockReads = 0;
double FakeClock() {
  ++clockReads;
  double now = fakeNow;
  fakeNow += fakeStep;
  return now;
}

class PacingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClockForTesting(FakeClock);
    clockReads = 0;
    runtimeState.graphics = &device;
  }
  void TearDown() override {
    SetClockForTesting(nullptr);
    runtimeState.graphics = nullptr;
  }
  OpenGLRainbows device;
};

TEST_F(PacingTest, LateFrameReturnsAtOnceAndSkipsMissedGridPoints) {
  device.frameInterval = 20;
  device.nextFrameTime = 1000;
  fakeNow = 1045;
  fakeStep = 0.01;
  WaitForFrameGrid(device);
  EXPECT_EQ(clockReads, 1);
  EXPECT_DOUBLE_EQ(device.nextFrameTime, 1060);
}

TEST_F(PacingTest, EarlyFrameSpinsPastTheGridPoint) {
  device.frameInterval = 20;
  device.nextFrameTime = 1000;
  fakeNow = 990;
  fakeStep = 0.5;
  WaitForFrameGrid(device);
  EXPECT_GT(fakeNow, 1000);        // it waited until the clock passed the grid point
  EXPECT_EQ(clockReads, 22);       // 990, 990.5, ... 1000.5: one read past 1000
  EXPECT_DOUBLE_EQ(device.nextFrameTime, 1020);
}

TEST_F(PacingTest, FrameExactlyOnTheGridPointStillWaits) {
  device.frameInterval = 20;
  device.nextFrameTime = 1000;
  fakeNow = 1000;
  fakeStep = 1;
  WaitForFrameGrid(device);
  EXPECT_EQ(clockReads, 2);  // 1000 is not past 1000
  EXPECT_DOUBLE_EQ(device.nextFrameTime, 1020);
}

TEST_F(PacingTest, FrameRateSetsTheInterval) {
  SetFrameRate(50);
  EXPECT_DOUBLE_EQ(device.frameInterval, 20);
  SetFrameRate(60);
  EXPECT_DOUBLE_EQ(device.frameInterval, 1000.0 / 60);
  for (double rate : {0.0, -1.0, 0.5, -30.0, 1e300, 0.0 / 0.0}) {
    SetFrameRate(rate);
    EXPECT_DOUBLE_EQ(device.frameInterval, 2.0) << rate;
  }
  SetFrameRate(99.9);
  EXPECT_DOUBLE_EQ(device.frameInterval, 1000.0 / 99);
}

TEST_F(PacingTest, TimersFollowTheClock) {
  fakeStep = 0;
  runtimeState.startTime = 500;
  runtimeState.previousFrameStart = 700;
  fakeNow = 750;
  EXPECT_DOUBLE_EQ(ElapsedMilliseconds(), 250);
  EXPECT_DOUBLE_EQ(LastFrameTime(), 50);
  fakeNow = 700;  // right after start-up both frame times are now
  EXPECT_DOUBLE_EQ(LastFrameTime(), 1);
  fakeNow = 690;
  EXPECT_DOUBLE_EQ(LastFrameTime(), 1);
  fakeNow = 700.25;  // a fraction of a millisecond is a real frame time
  EXPECT_DOUBLE_EQ(LastFrameTime(), 0.25);
}

TEST(Clock, RealClockIsMonotonicMilliseconds) {
  double a = NowMilliseconds();
  double b = NowMilliseconds();
  EXPECT_GE(b, a);
  EXPECT_GT(a, 0);
  OpenGLRainbows device;
  EXPECT_EQ(device.hasCounter, 1);
  EXPECT_GT(device.counterFrequency, 0);
  EXPECT_GE(device.nextFrameTime, a);
}

// Each way of waiting (event queue, deadline sleep, spin) hands over only after the grid point.
TEST(Clock, RealWaitNeverReleasesBeforeTheGridPoint) {
  OpenGLRainbows device;
  device.frameInterval = 1000.0 / 60;
  for (double ahead : {0.05, 0.1, 0.3, 0.9, 1.7, 2.5, 3.4, 6.0}) {
    device.nextFrameTime = NowMilliseconds() + ahead;
    double gridPoint = device.nextFrameTime;
    WaitForFrameGrid(device);
    EXPECT_GT(NowMilliseconds(), gridPoint) << ahead << " ms ahead";
  }
}

}  // namespace
}  // namespace quillon
