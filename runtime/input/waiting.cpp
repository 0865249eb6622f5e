#include "runtime/input/waiting.h"

#include "runtime/core/program_flow.h"
#include "runtime/input/input_script.h"
#include "runtime/input/input_state.h"
#include "runtime/input/joystick_internal.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/platform/clock.h"

namespace quillon {

namespace {

struct Remembered {
  double x = -1, y = -1, left = 0, right = 0;
};
Remembered remembered;

bool AnyKeyDown(const InputState& input) {
  for (int code = 0; code < 255; ++code) {
    if (input.keyState[code] & 0x80) return true;
  }
  return false;
}

}  // namespace

void WaitForInputActivity() {
  InputState* input = CurrentInput();
  if (input == nullptr) return;
  for (int round = 0; round < 8; ++round) {
    PumpMessages();
    BeginInputFrame();  // a key tapped during the pump counts too
    if (EscapeEnds() && (input->keyState[1] & 0x80)) EndProgram();
    if (AnyKeyDown(*input)) return;
    Remembered now;
    MouseState(now.x, now.y, now.left, now.right);
    if (now.x != remembered.x || now.y != remembered.y || now.left != remembered.left ||
        now.right != remembered.right) {
      remembered = now;
      return;
    }
    if (AnyJoystickActive()) return;
    platform::SleepMilliseconds(5);
  }
}

void WaitForNextInput() {
  if (InputScriptActive()) {
    ShowScreen();
    return;
  }
  WaitForInputActivity();
}

void WaitMouseClick() {
  while (AnyMouseButton() != 0) WaitForNextInput();
  do {
    WaitForNextInput();
  } while (AnyMouseButton() == 0);
}

}  // namespace quillon
