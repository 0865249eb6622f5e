// Keys and the mouse through real X events (xdotool) and through a script.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "runtime/core/flow_hooks.h"
#include "runtime/input/input_script.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/window.h"
#include "runtime/quillon.h"
#include "runtime/values/random.h"
#include "support/gl_runtime.h"
#include "support/process.h"

namespace quillon {
namespace {

using testing::Xdotool;

std::set<int> KeysDown() {
  std::set<int> down;
  for (int code = 0; code < 256; ++code) {
    if (KeyDown(code) != 0) down.insert(code);
  }
  return down;
}

// Waits until the X server's key events have reached the keyboard snapshot.
std::set<int> KeysDownAfterEvents(bool expectAny) {
  std::set<int> down = KeysDown();
  auto read = [&] {
    testing::PumpAndRest();
    down = KeysDown();
  };
  testing::WaitFor([&] { return down.empty() != expectAny; }, read);
  return down;
}

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    ClearInputScript();
    ASSERT_TRUE(testing::FocusGameWindow());
  }
  void TearDown() override { ClearInputScript(); }
};

struct KeyCase {
  const char* xName;       // what the X keyboard presses
  const char* scriptName;  // what a script line names
  int code;                // the scan code the game sees
};

const KeyCase kKeys[] = {
    {"space", "space", 57},       {"Control_R", "control_r", 157}, {"Up", "up", 200},
    {"Left", "left", 203},        {"Right", "right", 205},         {"Down", "down", 208},
    {"w", "w", 17},               {"a", "a", 30},                  {"s", "s", 31},
    {"d", "d", 32},               {"KP_Enter", "kp_enter", 156},   {"Return", "return", 28},
    {"Control_L", "control_l", 29}, {"Shift_R", "shift_r", 54},    {"F12", "f12", 88},
    {"Delete", "delete", 211},    {"KP_Divide", "kp_divide", 181}, {"Alt_R", "alt_r", 184},
};

TEST_F(Keyboard, DevicesAndScriptSeeTheSameScanCodes) {
  for (const KeyCase& key : kKeys) {
    ASSERT_TRUE(testing::KeyEvents("down", key.xName));
    std::set<int> device = KeysDownAfterEvents(true);
    ASSERT_TRUE(testing::KeyEvents("up", key.xName));
    EXPECT_EQ(device, std::set<int>{key.code}) << key.xName;
    EXPECT_TRUE(KeysDownAfterEvents(false).empty()) << key.xName;

    ASSERT_TRUE(LoadInputScript(std::string("0 key ") + key.scriptName + " down\n"));
    EXPECT_EQ(KeysDown(), device) << key.scriptName;
    ClearInputScript();
  }
}

TEST_F(Keyboard, KeyNumbersUseTheirLowByte) {
  ASSERT_TRUE(LoadInputScript("0 key 1 down\n0 key 57 down\n"));
  EXPECT_EQ(KeyDown(257), 1.0);
  EXPECT_EQ(KeyDown(57.9), 1.0);
  EXPECT_EQ(KeyDown(57 + 65536.0 * 3), 1.0);
  EXPECT_EQ(KeyDown(-199), 1.0);  // -199 is 0xFF39 in 16 bits: scan code 57
  EXPECT_EQ(KeyDown(58), 0.0);
  EXPECT_EQ(KeyDown(1e300), 0.0);
  EXPECT_EQ(KeyDown(0.0 / 0.0), 0.0);
}

TEST_F(Keyboard, ScriptFollowsFrameNumbers) {
  long now = ShowScreenCount();
  std::string script = std::to_string(now + 1) + " key space down\n" + std::to_string(now + 3) +
                       " key 57 up  # released again\n\n";
  ASSERT_TRUE(LoadInputScript(script));
  EXPECT_EQ(KeyDown(57), 0.0);
  ShowScreen();
  EXPECT_EQ(KeyDown(57), 1.0);
  ShowScreen();
  EXPECT_EQ(KeyDown(57), 1.0);
  ShowScreen();
  EXPECT_EQ(KeyDown(57), 0.0);
}

TEST_F(Keyboard, MalformedScriptsAreRefusedWithTheLine) {
  std::string error;
  EXPECT_FALSE(LoadInputScript("0 key space sideways\n", &error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
  EXPECT_FALSE(LoadInputScript("# fine\n3 key 300 down\n", &error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  EXPECT_FALSE(LoadInputScript("-1 key 57 down\n", &error));
  EXPECT_FALSE(LoadInputScript("1 jump 57 down\n", &error));
  EXPECT_FALSE(LoadInputScript("1 mouse 10\n", &error));
  for (const char* seed : {"5 seed 1\n", "0 seed -1\n", "0 seed 4294967296\n", "0 seed 3 4\n"}) {
    EXPECT_FALSE(LoadInputScript(seed, &error)) << seed;  // start-up's only, 32 bits
  }
  EXPECT_FALSE(InputScriptActive());
}

TEST_F(Keyboard, ScriptFileSeedsTheGenerator) {
  std::string path = testing::MakeTempDir("seed") + "/run.keys";
  std::ofstream(path) << "0 seed 4294967295  # the largest\n";
  setenv("QUILLON_INPUT", path.c_str(), 1);
  platform::ReloadAutomation();
  LoadInputScriptFromAutomation();
  unsetenv("QUILLON_INPUT");
  platform::ReloadAutomation();
  ClearInputScript();
  uint32_t drawn = NextRandomWord();
  SeedRandom(4294967295u);
  EXPECT_EQ(drawn, NextRandomWord());
}

TEST_F(Keyboard, EscapeIsHarmlessWhileSwitchedOff) {
  SetEscapeEnds(0);
  ASSERT_TRUE(LoadInputScript("0 key escape down\n"));
  for (int i = 0; i < 3; ++i) ShowScreen();
  EXPECT_EQ(KeyDown(1), 1.0);
  SetEscapeEnds(1);
  ClearInputScript();
}

// xdotool's key presses and releases about 12 ms apart: between two snapshots of the keyboard.
TEST_F(Keyboard, TapBetweenTwoFramesIsDownInOneFrame) {
  SetEscapeEnds(0);
  ShowScreen();
  ShowScreen();
  ASSERT_EQ(KeyDown(1), 0.0);
  ASSERT_TRUE(Xdotool("key Escape"));
  // X delivers events in order: once the pointer is seen at its new place the tap has arrived
  // too, and it is over before the next snapshot.
  double x, y, left, right;
  MouseState(x, y, left, right);
  ASSERT_TRUE(testing::MovePointerTo(x == 30 ? 40 : 30, 30));
  int framesDown = 0;
  for (int frame = 0; frame < 4; ++frame) {
    ShowScreen();
    framesDown += KeyDown(1) != 0;
  }
  EXPECT_EQ(framesDown, 1);
  SetEscapeEnds(1);
}

using KeyboardDeathTest = Keyboard;

// Shows frames until a key event ends the program; status 7 when none does for a long while.
void FramesUntilTheEnd() {
  testing::WaitFor([] { return false; }, ShowScreen);
  std::exit(7);
}

TEST_F(KeyboardDeathTest, EscapeEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testing::KeyEvents("down", "Escape");
        FramesUntilTheEnd();
      },
      ::testing::ExitedWithCode(0), "");
  testing::KeyEvents("up", "Escape");
}

TEST_F(KeyboardDeathTest, AltF4EndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testing::KeyEvents("down", "Alt_L F4");
        FramesUntilTheEnd();
      },
      ::testing::ExitedWithCode(0), "");
  testing::KeyEvents("up", "F4 Alt_L");
}

TEST_F(KeyboardDeathTest, ScriptedEscapeEndsWithTheDebugReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs this test again: both must agree on the directory.
  std::string dir = std::string(QUILLON_BINARY_DIR) + "/test-tmp/scripted-escape";
  if (!::testing::internal::InDeathTestChild()) std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  setenv("TMPDIR", dir.c_str(), 1);
  EXPECT_EXIT(
      {
        runtimeState.debugMode = 1;
        LoadInputScript(std::to_string(ShowScreenCount() + 2) + " key 1 down\n");
        for (int i = 0; i < 10; ++i) ShowScreen();
        std::exit(7);
      },
      ::testing::ExitedWithCode(0), "");
  std::string log =
      testing::ReadWholeFile(dir + "/quillon-" + std::to_string(geteuid()) + "/ErrorLog.txt");
  const std::string report = "-End On Line\r\n0\r\n-1\r\n0\r\n0\r\n";
  ASSERT_GE(log.size(), report.size());
  EXPECT_EQ(log.substr(log.size() - report.size()), report);
}

// --- mouse -------------------------------------------------------------------------------------

TEST_F(Keyboard, MovementIsSampledOncePerFrame) {
  ASSERT_TRUE(testing::MovePointerTo(50, 60));
  ShowScreen();
  MouseAxis(0);
  ASSERT_TRUE(testing::MovePointerTo(90, 100));
  ShowScreen();
  double first = MouseAxis(0);
  ASSERT_TRUE(testing::MovePointerTo(20, 30));
  EXPECT_EQ(MouseAxis(0), first);
  EXPECT_EQ(first, 40);
  EXPECT_EQ(MouseAxis(1), 40);
  ShowScreen();
  EXPECT_EQ(MouseAxis(0), -70);
}

TEST_F(Keyboard, SelectorsOutsideTheTableGiveZero) {
  ASSERT_TRUE(LoadInputScript("0 button left down\n0 button 3 down\n0 mouse 5 5\n"));
  ShowScreen();
  EXPECT_EQ(MouseAxis(3), 1.0);
  EXPECT_EQ(MouseAxis(4), 0.0);
  EXPECT_EQ(MouseAxis(5), 1.0);
  EXPECT_EQ(AnyMouseButton(), 1.0);
  for (double k : {6.0, -1.0, 7.5, 1e12, -1e12, 0.0 / 0.0}) EXPECT_EQ(MouseAxis(k), 0.0) << k;
}

TEST_F(Keyboard, MouseStateStaysInsideTheClientArea) {
  ASSERT_TRUE(LoadInputScript("0 mouse 5000 -40\n"));
  ShowScreen();
  double x, y, left, right;
  MouseState(x, y, left, right);
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 0);
  SetMousePosition(-50, 5000);
  MouseState(x, y, left, right);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 479);
  SetMousePosition(1e20, -1e20);
  MouseState(x, y, left, right);
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 0);
}

// Waits until the window procedure has handed over that many wheel steps.
bool WheelStepsArrive(int steps) {
  return testing::WaitFor([steps] { return CurrentInput()->wheelSteps == steps; },
                          testing::PumpAndRest);
}

TEST_F(Keyboard, WheelGivesItsSign) {
  ASSERT_TRUE(testing::MovePointerTo(100, 100));
  ShowScreen();
  MouseAxis(2);
  ASSERT_TRUE(Xdotool("click --repeat 3 4"));  // three steps away from the user
  ASSERT_TRUE(WheelStepsArrive(3));
  ShowScreen();
  EXPECT_EQ(MouseAxis(2), 1.0);
  EXPECT_EQ(MouseAxis(2), 1.0);  // the same frame repeats its sample
  ShowScreen();
  EXPECT_EQ(MouseAxis(2), 0.0);
  ASSERT_TRUE(Xdotool("click 5"));
  ASSERT_TRUE(WheelStepsArrive(-1));
  ShowScreen();
  EXPECT_EQ(MouseAxis(2), -1.0);
}

TEST_F(Keyboard, ScriptedWheelSumsKeepTheirSign) {
  long f = ShowScreenCount() + 1;
  std::string script;
  for (int i = 0; i < 5; ++i) script += std::to_string(f) + " wheel 2000000000\n";
  script += std::to_string(f + 1) + " wheel -2147483647\n";
  ASSERT_TRUE(LoadInputScript(script));
  ShowScreen();
  EXPECT_EQ(MouseAxis(2), 1.0);
  ShowScreen();
  EXPECT_EQ(MouseAxis(2), -1.0);
}

}  // namespace
}  // namespace quillon
