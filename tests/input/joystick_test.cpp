// Joystick commands on SDL's virtual pads: to the runtime they are plugged-in devices.
#include "runtime/input/joystick.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/core/flow_hooks.h"
#include "runtime/input/input_script.h"
#include "runtime/input/input_state.h"
#include "runtime/input/waiting.h"
#include "runtime/program/program_end.h"

namespace quillon {
namespace {

struct Rumble {
  int calls = 0;
  Uint16 low = 0, high = 0;
};

struct Pad {
  SDL_JoystickID id = -1;
  SDL_Joystick* handle = nullptr;  // the test's own reference, for setting values
};

Pad Attach(const char* name, Rumble* rumble) {
  SDL_VirtualJoystickDesc desc = {};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.naxes = 6;
  desc.nbuttons = 16;
  desc.nhats = 1;
  desc.name = name;
  desc.userdata = rumble;
  if (rumble != nullptr) {
    desc.Rumble = [](void* user, Uint16 low, Uint16 high) {
      auto* r = static_cast<Rumble*>(user);
      ++r->calls;
      r->low = low;
      r->high = high;
      return 0;
    };
  }
  int device = SDL_JoystickAttachVirtualEx(&desc);
  Pad pad;
  pad.handle = SDL_JoystickOpen(device);
  pad.id = SDL_JoystickInstanceID(pad.handle);
  return pad;
}

void Detach(Pad& pad) {
  SDL_JoystickClose(pad.handle);
  pad.handle = nullptr;
  for (int device = 0; device < SDL_NumJoysticks(); ++device) {
    if (SDL_JoystickGetDeviceInstanceID(device) == pad.id) SDL_JoystickDetachVirtual(device);
  }
}

class Joysticks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    a = Attach("Pad A", &rumble);
    b = Attach("Pad B", nullptr);
    ASSERT_NE(a.handle, nullptr) << SDL_GetError();
    ASSERT_NE(b.handle, nullptr) << SDL_GetError();
    OpenInput(input, nullptr, false);
  }
  void TearDown() override {
    CloseInput();
    ClearInputScript();
    for (Pad* pad : {&a, &b, &c}) {
      if (pad->handle != nullptr) Detach(*pad);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  InputState input;
  Rumble rumble;
  Pad a, b, c;
};

TEST_F(Joysticks, CountNamesAndBadIndices) {
  EXPECT_EQ(JoystickCount(), 2);
  EXPECT_EQ(std::string(JoystickName(0).CStr()), "Pad A, Pad A");
  EXPECT_EQ(std::string(JoystickName(1).CStr()), "Pad B, Pad B");
  SDL_JoystickSetVirtualButton(a.handle, 0, 1);
  SDL_JoystickSetVirtualAxis(a.handle, 0, -32768);
  for (double bad : {2.0, -1.0, double(NAN), 1e300, -1e300, double(INFINITY)}) {
    EXPECT_EQ(std::string(JoystickName(bad).CStr()), "") << bad;
    EXPECT_EQ(JoystickX(bad), 0) << bad;
    EXPECT_EQ(JoystickButton(bad, 0), 0) << bad;
  }
  EXPECT_EQ(JoystickButton(0, 0), 128);
  for (double bad : {32.0, -1.0, double(NAN), 1e300, -double(INFINITY)})
    EXPECT_EQ(JoystickButton(0, bad), 0);
}

// Names come in UTF-8 and read in the runtime's code page: a trade mark sign is one of its
// characters, a character it lacks reads as '?'.
TEST_F(Joysticks, NamesInTheRuntimesCodePage) {
  c = Attach("Pad\xE2\x84\xA2 \xC2\xA9 \xE2\x86\x92", nullptr);
  ASSERT_NE(c.handle, nullptr) << SDL_GetError();
  ASSERT_EQ(JoystickCount(), 3);
  EXPECT_EQ(std::string(JoystickName(2).CStr()), "Pad\x99 \xA9 ?, Pad\x99 \xA9 ?");
}

TEST_F(Joysticks, InputOpenedAgainFindsThePadsAgain) {
  InputState again;
  OpenInput(again, nullptr, false);
  EXPECT_EQ(JoystickCount(), 2);
  EXPECT_EQ(std::string(JoystickName(1).CStr()), "Pad B, Pad B");
}

TEST_F(Joysticks, AxesButtonsAndState) {
  EXPECT_NEAR(JoystickX(0), 0, 1e-4);
  SDL_JoystickSetVirtualAxis(a.handle, 0, -32768);
  SDL_JoystickSetVirtualAxis(a.handle, 1, 29000);
  SDL_JoystickSetVirtualAxis(a.handle, 5, 32767);
  SDL_JoystickSetVirtualButton(a.handle, 1, 1);
  EXPECT_EQ(JoystickX(0), -1.0);
  EXPECT_NEAR(JoystickY(0), 29000 / 32767.0, 1e-9);
  EXPECT_EQ(JoystickRZ(0), 1.0);
  EXPECT_EQ(JoystickButton(0, 1), 128);
  EXPECT_EQ(JoystickButton(1, 1), 0);
  double x = 0, y = 0, b1 = 0, b2 = 0;
  JoystickState(x, y, b1, b2);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, 0);  // not a full push
  EXPECT_EQ(b1, 0);
  EXPECT_EQ(b2, 128);
}

TEST_F(Joysticks, HatDirectionsIncludingDiagonals) {
  struct Case {
    Uint8 hat;
    double x, y;
  } cases[] = {{SDL_HAT_CENTERED, 0, 0},  {SDL_HAT_UP, 0, -1},       {SDL_HAT_RIGHT, 1, 0},
               {SDL_HAT_DOWN, 0, 1},      {SDL_HAT_LEFT, -1, 0},     {SDL_HAT_RIGHTUP, 1, -1},
               {SDL_HAT_RIGHTDOWN, 1, 1}, {SDL_HAT_LEFTDOWN, -1, 1}, {SDL_HAT_LEFTUP, -1, -1}};
  for (const Case& k : cases) {
    SDL_JoystickSetVirtualHat(a.handle, 0, k.hat);
    EXPECT_EQ(JoystickHatX(0), k.x) << int(k.hat);
    EXPECT_EQ(JoystickHatY(0), k.y) << int(k.hat);
  }
}

TEST_F(Joysticks, ForceRumblesWithStrengthForItsDuration) {
  JoystickForce(0, 10000, 1, 0);  // half strength
  EXPECT_EQ(rumble.calls, 1);
  EXPECT_EQ(rumble.low, 32767);
  EXPECT_EQ(rumble.high, 32767);
  JoystickCount();  // a read before the time is up leaves it running
  EXPECT_EQ(rumble.low, 32767);
  JoystickForce(0, 30, -1, NAN);
  EXPECT_EQ(rumble.low, 32767);
  JoystickForce(0, 30, -1, 1e9);  // clamped to (-1, 1): full strength
  EXPECT_EQ(rumble.high, 65535);
  SDL_Delay(200);
  JoystickCount();
  EXPECT_EQ(rumble.low, 0);
  EXPECT_EQ(rumble.high, 0);
  int calls = rumble.calls;
  JoystickForce(1, 100, 1, 1);  // neither effect: nothing, no error
  JoystickForce(7, 100, 1, 1);
  EXPECT_EQ(rumble.calls, calls);
  JoystickForce(0, 10000, 1, 1);
  EXPECT_EQ(rumble.low, 65535);
  JoystickForce(0, NAN, 1, 1);  // no duration: stops, never rumbles until further notice
  EXPECT_EQ(rumble.low, 0);
}

TEST_F(Joysticks, HotPlugKeepsIndices) {
  SDL_JoystickSetVirtualAxis(a.handle, 0, -32768);
  EXPECT_EQ(JoystickX(0), -1.0);
  c = Attach("Pad C", nullptr);
  EXPECT_EQ(JoystickCount(), 3);
  EXPECT_EQ(std::string(JoystickName(2).CStr()), "Pad C, Pad C");
  EXPECT_EQ(std::string(JoystickName(0).CStr()), "Pad A, Pad A");
  Detach(a);
  EXPECT_EQ(JoystickX(0), 0);  // unplugged: centred
  EXPECT_EQ(JoystickCount(), 3);
  a = Attach("Pad A", &rumble);  // returns to its own index
  SDL_JoystickSetVirtualButton(a.handle, 2, 1);
  EXPECT_EQ(JoystickButton(0, 2), 128);
  EXPECT_EQ(JoystickCount(), 3);
}

int pumps = 0;

// Each round of the wait pumps the window's messages once: one round means it saw activity.
TEST_F(Joysticks, WaitEndsOnAControllerButton) {
  ProgramFlow counting;
  counting.pumpMessages = [] { ++pumps; };
  InstallProgramFlow(counting);
  WaitForInputActivity();  // takes in the pointer's position
  pumps = 0;
  WaitForInputActivity();
  EXPECT_EQ(pumps, 8);
  SDL_JoystickSetVirtualButton(b.handle, 9, 1);
  pumps = 0;
  WaitForInputActivity();
  EXPECT_EQ(pumps, 1);
  InstallTopLayerFlow();
}

TEST_F(Joysticks, ScriptDrivesAVirtualPad) {
  std::string error;
  for (const char* bad : {"1 pad button 32 down", "1 pad axis 0 2", "1 pad hat sideways",
                          "1 pad axis 6 0", "1 pad shake"}) {
    EXPECT_FALSE(LoadInputScript(bad, &error)) << bad;
  }
  ASSERT_TRUE(LoadInputScript(
      "0 pad attach\n2 pad button 4 down\n2 pad hat up-left\n2 pad axis 1 -1\n4 pad detach\n",
      &error))
      << error;
  uint8_t keys[256];
  ScriptedKeyboard(2, keys);
  EXPECT_EQ(JoystickCount(), 3);
  EXPECT_EQ(JoystickButton(2, 4), 128);
  EXPECT_EQ(JoystickHatX(2), -1);
  EXPECT_EQ(JoystickY(2), -1.0);
  ScriptedKeyboard(4, keys);
  EXPECT_EQ(JoystickButton(2, 4), 0);
}

TEST(InputScript, RepeatStartsEachRoundReleased) {
  EXPECT_FALSE(LoadInputScript("5 key 57 down\n5 repeat\n"));  // an event it never reaches
  ASSERT_TRUE(LoadInputScript("2 key space down\n3 mouse 7 9\n5 repeat\n"));
  uint8_t keys[256];
  for (long frame : {1L, 3L, 5L, 7L, 5003L}) {
    ScriptedKeyboard(frame, keys);
    EXPECT_EQ(keys[57] != 0, frame % 5 >= 2) << frame;
    EXPECT_EQ(ScriptedPointer(frame).x, frame % 5 >= 3 ? 7 : 0) << frame;
  }
  ClearInputScript();
}

}  // namespace
}  // namespace quillon
