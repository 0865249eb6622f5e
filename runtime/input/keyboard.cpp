#include "runtime/input/keyboard.h"

#include <cmath>
#include <cstring>

#include "runtime/core/flow_hooks.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_state.h"
#include "runtime/input/input_script.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/input.h"

namespace quillon {

namespace {

uint8_t escapeEnds = 1;

// Low 8 bits of the number truncated to 16 bits: 257 is scan code 1; no index leaves the table.
int ScanCodeOf(double n) {
  if (!std::isfinite(n)) return 0;
  double t = std::trunc(std::fmod(n, 65536.0));
  return static_cast<int>(static_cast<int64_t>(t) & 0xFF);
}

bool Down(const InputState& input, int code) {
  if (input.keyboardDevice || InputScriptActive()) return (input.keyState[code] & 0x80) != 0;
  return input.pressedThisFrame[code] != 0 ||
         platform::VirtualKeyDown(input.scanToVirtualKey[code]);
}

}  // namespace

void RefreshKeyboard() {
  InputState* input = CurrentInput();
  if (input == nullptr) return;
  if (InputScriptActive()) {
    ScriptedKeyboard(ShowScreenCount(), input->keyState);
    return;
  }
  // The device state is brought up to date without taking events off the queue, so a close or
  // a focus change still reaches the window procedure.
  platform::PumpDeviceState();
  if (input->keyboardDevice) {
    platform::ReadKeyboard(input->keyState);
    for (int code = 0; code < 256; ++code) {
      if (input->pressedThisFrame[code] != 0) input->keyState[code] = 0x80;
    }
  } else {
    for (int vk = 0; vk < 256; ++vk) input->keyState[vk] = platform::VirtualKeyDown(vk) ? 0x80 : 0;
  }
}

double KeyDown(double scanCode) {
  RefreshKeyboard();
  InputState* input = CurrentInput();
  if (input == nullptr) return 0.0;
  return Down(*input, ScanCodeOf(scanCode)) ? 1.0 : 0.0;
}

void SetEscapeEnds(double on) { escapeEnds = on != 0 ? 1 : 0; }
bool EscapeEnds() { return escapeEnds == 1; }

void BeginInputFrame() {
  InputState* input = CurrentInput();
  if (input == nullptr) return;
  // Keys pressed since the last snapshot count as down for this frame, once.
  std::memcpy(input->pressedThisFrame, input->pressedSinceSnapshot, 256);
  std::memset(input->pressedSinceSnapshot, 0, 256);
  RefreshKeyboard();
  input->newMouseFrame = 1;
}

bool EndKeysDown() {
  InputState* input = CurrentInput();
  if (input == nullptr) return false;
  if (escapeEnds == 1 && Down(*input, 1)) return true;
  return Down(*input, 56) && Down(*input, 62);
}

void EndProgramOnEndKeys() {
  if (!EndKeysDown()) return;
  runtimeState.errorCode = 0;
  runtimeState.errorLine = runtimeState.currentLine;
  EndProgram();
}

}  // namespace quillon
