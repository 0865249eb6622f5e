// The QUILLON_INPUT script reader on arbitrary text, then the scripted devices frame by frame.
// A refused script names its line and leaves no script active; an accepted one only ever holds
// keys at 0 or 0x80 and the wheel within +-1000, and replaying it from the start (what a step
// back does) gives the same state as walking up to the frame.
//
//   input_script_fuzz -max_len=4096 fuzz/corpus/input_script_fuzz
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/input/input_script.h"

namespace {

constexpr long kWalkedFrames = 16;

struct DeviceState {
  uint8_t keys[256];
  quillon::ScriptedMouse mouse;
};

DeviceState StateAt(long frame) {
  DeviceState state;
  quillon::ScriptedKeyboard(frame, state.keys);
  state.mouse = quillon::ScriptedPointer(frame);
  for (uint8_t key : state.keys) {
    if (key != 0 && key != 0x80) __builtin_trap();
  }
  if (state.mouse.wheel < -1000 || state.mouse.wheel > 1000) __builtin_trap();
  return state;
}

bool Same(const DeviceState& a, const DeviceState& b) {
  return std::memcmp(a.keys, b.keys, sizeof a.keys) == 0 && a.mouse.x == b.mouse.x &&
         a.mouse.y == b.mouse.y && a.mouse.left == b.mouse.left && a.mouse.right == b.mouse.right &&
         a.mouse.middle == b.mouse.middle && a.mouse.wheel == b.mouse.wheel;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillon::ClearInputScript();
  std::string error;
  if (!quillon::LoadInputScript(std::string(reinterpret_cast<const char*>(data), size), &error)) {
    if (error.rfind("line ", 0) != 0 || quillon::InputScriptActive()) __builtin_trap();
    return 0;
  }
  if (!quillon::InputScriptActive()) __builtin_trap();
  DeviceState walked[kWalkedFrames];
  for (long frame = 0; frame < kWalkedFrames; ++frame) walked[frame] = StateAt(frame);
  StateAt(LONG_MAX);
  for (long frame = kWalkedFrames - 1; frame >= 0; --frame) {
    if (!Same(StateAt(frame), walked[frame])) __builtin_trap();
  }
  quillon::ClearInputScript();
  return 0;
}
