// Plumbing of the input layer: its one record: keyboard snapshot, mouse sample and devices.
#pragma once

#include <cstdint>

#include "runtime/platform/events.h"

namespace quillon {

namespace platform {
struct Window;
struct Joystick;
}

struct MouseSample {
  int16_t left = 0, right = 0, middle = 0;
  int16_t dx = 0, dy = 0, wheel = 0;
};

struct InputState {
  int32_t mouseX = 100;
  int32_t mouseY = 100;
  bool directInput = false;     // the device layer answered
  bool keyboardDevice = false;  // scan-code keyboard present
  bool mouseDevice = false;     // exclusive mouse opened
  uint8_t keyState[256] = {};
  platform::Window* window = nullptr;
  uint8_t systemPointer = 0;
  int32_t mouseCooperation = 5;
  int32_t joystickCount = 0;
  platform::Joystick* joystickDevices[10] = {};  // by index; unplugged ones keep theirs
  char joystickNames[10][522] = {};
  uint8_t newMouseFrame = 1;
  int16_t lastDX = 0, lastDY = 0, lastWheel = 0;
  uint16_t scanToVirtualKey[256] = {};
  int32_t wheelSteps = 0;  // wheel events gathered since the last sample
  // Keys that went down since the last frame's snapshot (a tap can be over before it is taken),
  // and those of them the current frame counts as down.
  uint8_t pressedSinceSnapshot[256] = {};
  uint8_t pressedThisFrame[256] = {};
};

// Return codes of OpenInput.
constexpr uint32_t kNoDirectInput = 0x8000000A;
constexpr uint32_t kKeyboardNotAcquired = 0x8000000B;
constexpr uint32_t kMouseNotAcquired = 0x8000000C;

double OpenInput(InputState& input, platform::Window* window, bool exclusiveMouse);
void CloseInput();
// The layout table used when there is no scan-code keyboard.
void FillScanToVirtualKey(InputState& input, bool identity);

// The window procedure hands key, wheel and text events here; dropped while input is closed. A
// key's press is kept for the next frame's snapshot.
void TakeInputEvent(const platform::Event& event);

// The open input layer, or null before start-up.
InputState* CurrentInput();

// Wheel steps added to a running sum. Only the sign is read, so both stay within +-1000 and a
// game that never reads the mouse cannot overflow the sum.
int AddWheelSteps(int sum, int steps);
// What ShowScreen does for input each frame: a fresh snapshot and a new mouse frame.
void BeginInputFrame();
// Escape (while the switch is on) or left Alt + F4 is down in the snapshot.
bool EndKeysDown();
// For loops that show no frame: ends the program as ShowScreen does when the end keys are down
// (error code 0 at the current line).
void EndProgramOnEndKeys();
// The switch of SetEscapeEnds.
bool EscapeEnds();
// The mouse sample of this frame, buttons read now.
MouseSample ReadMouse();
// One try of a command that waits for the player. A script's input changes only with frames, so
// under a script each try shows one; otherwise it waits for input activity without showing any.
void WaitForNextInput();

}  // namespace quillon
