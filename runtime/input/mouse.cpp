#include "runtime/input/mouse.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "runtime/core/flow_hooks.h"
#include "runtime/core/runtime_state.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/input/input_script.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/input.h"

namespace quillon {

namespace {

int16_t Sign(int v) { return static_cast<int16_t>((v > 0) - (v < 0)); }

int16_t Clamp16(long v) { return static_cast<int16_t>(std::clamp<long>(v, -32768, 32767)); }

// A position moved by a step; any position the program may set stays a number after the step.
int32_t MovedBy(int32_t position, int16_t step) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{position} + step, INT32_MIN, INT32_MAX));
}

struct Buttons {
  bool left, right, middle;
  int x, y, wheel;
};

// The pointer as the script or the device reports it for this frame.
Buttons ReadPointer(InputState& input) {
  if (InputScriptActive()) {
    ScriptedMouse m = ScriptedPointer(ShowScreenCount());
    return {m.left, m.right, m.middle, m.x, m.y, m.wheel};
  }
  platform::PumpDeviceState();
  platform::MouseDevice d = platform::ReadMouseDevice();
  int wheel = input.wheelSteps;
  return {d.left, d.right, d.middle, d.x, d.y, wheel};
}

void TakeMovementSample(InputState& input, const Buttons& pointer, MouseSample& s) {
  input.newMouseFrame = 0;
  input.wheelSteps = 0;
  s.wheel = Sign(pointer.wheel);
  if (input.systemPointer == 1 || InputScriptActive()) {
    s.dx = Clamp16(static_cast<long>(pointer.x) - input.mouseX);
    s.dy = Clamp16(static_cast<long>(pointer.y) - input.mouseY);
    input.mouseX = pointer.x;
    input.mouseY = pointer.y;
  } else {
    int dx = 0, dy = 0;
    platform::ReadRelativeMotion(dx, dy);
    s.dx = Clamp16(dx);
    s.dy = Clamp16(dy);
    input.mouseX = MovedBy(input.mouseX, s.dx);
    input.mouseY = MovedBy(input.mouseY, s.dy);
  }
  input.lastDX = s.dx;
  input.lastDY = s.dy;
  input.lastWheel = s.wheel;
}

}  // namespace

MouseSample ReadMouse() {
  MouseSample s;
  InputState* input = CurrentInput();
  if (input == nullptr) return s;
  if (input->newMouseFrame == 0) {
    s.dx = input->lastDX;
    s.dy = input->lastDY;
    s.wheel = input->lastWheel;
  }
  Buttons pointer = ReadPointer(*input);
  if (input->newMouseFrame != 0) TakeMovementSample(*input, pointer, s);
  s.left = pointer.left;
  s.right = pointer.right;
  s.middle = pointer.middle;
  return s;
}

void MouseState(double& x, double& y, double& left, double& right) {
  MouseSample s = ReadMouse();
  InputState* input = CurrentInput();
  OpenGLRainbows* device = runtimeState.graphics;
  if (input != nullptr && device != nullptr) {
    input->mouseX = std::clamp(input->mouseX, 0, std::max(0, device->width - 1));
    input->mouseY = std::clamp(input->mouseY, 0, std::max(0, device->height - 1));
  }
  x = input ? input->mouseX : 0;
  y = input ? input->mouseY : 0;
  left = s.left ? 1.0 : 0.0;
  right = s.right ? 1.0 : 0.0;
}

double MouseAxis(double selector) {
  MouseSample s = ReadMouse();
  switch (std::isfinite(selector) ? static_cast<int>(std::clamp(selector, -1.0, 6.0)) : -1) {
    case 0: return s.dx;
    case 1: return s.dy;
    case 2: return s.wheel;
    case 3: return s.left ? 1.0 : 0.0;
    case 4: return s.right ? 1.0 : 0.0;
    case 5: return s.middle ? 1.0 : 0.0;
    default: return 0.0;
  }
}

double AnyMouseButton() {
  MouseSample s = ReadMouse();
  return (s.left || s.right || s.middle) ? 1.0 : 0.0;
}

void SetMousePosition(double x, double y) {
  InputState* input = CurrentInput();
  if (input == nullptr) return;
  auto truncated = [](double v) {
    return std::isfinite(v) ? static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0)) : 0;
  };
  input->mouseX = truncated(x);
  input->mouseY = truncated(y);
}

void ShowSystemPointer(double on) {
  InputState* input = CurrentInput();
  if (input == nullptr) return;
  uint8_t wanted = on != 0 ? 1 : 0;
  // Start-up hid the pointer over the window while the mouse stays shared: showing it again must
  // work without a switch of the mouse mode.
  if (wanted == 1 && input->systemPointer == 1) platform::ShowPointer(true);
  if (wanted == input->systemPointer) return;
  input->systemPointer = wanted;
  input->mouseCooperation = wanted ? 6 : 5;
  platform::SetExclusiveMouse(input->window, wanted == 0);
  if (wanted) {
    platform::MovePointer(input->window, input->mouseX, input->mouseY);
    platform::ShowPointer(true);
  }
}

}  // namespace quillon
