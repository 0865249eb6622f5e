#include "runtime/input/input_state.h"

#include <algorithm>

#include "runtime/core/runtime_state.h"
#include "runtime/input/input_script.h"
#include "runtime/input/joystick_internal.h"
#include "runtime/input/mouse.h"
#include "runtime/input/text_entry_internal.h"
#include "runtime/platform/input.h"

namespace quillon {

namespace {

// Scan code -> virtual key on a German layout; 255 = no key.
struct ScanVirtual {
  uint8_t scan;
  uint8_t virtualKey;
};
constexpr ScanVirtual kGermanLayout[] = {
    {0, 13},    {1, 27},    {11, 48},   {12, 219},  {13, 221},  {14, 8},    {15, 9},
    {16, 81},   {17, 87},   {18, 69},   {19, 82},   {20, 84},   {21, 90},   {22, 85},
    {23, 73},   {24, 79},   {25, 80},   {26, 186},  {27, 187},  {28, 13},   {29, 17},
    {30, 65},   {31, 83},   {32, 68},   {33, 70},   {34, 71},   {35, 72},   {36, 74},
    {37, 75},   {38, 76},   {39, 192},  {40, 222},  {41, 220},  {42, 16},   {43, 191},
    {44, 89},   {45, 88},   {46, 67},   {47, 86},   {48, 66},   {49, 78},   {50, 77},
    {51, 188},  {52, 190},  {53, 189},  {54, 16},   {55, 106},  {56, 18},   {57, 32},
    {58, 0},    {69, 144},  {70, 145},  {71, 103},  {72, 104},  {73, 105},  {74, 109},
    {75, 100},  {76, 101},  {77, 102},  {78, 107},  {79, 97},   {80, 98},   {81, 99},
    {82, 96},   {83, 110},  {86, 226},  {87, 122},  {88, 123},  {156, 13},  {157, 17},
    {181, 111}, {184, 18},  {199, 36},  {200, 38},  {201, 33},  {203, 37},  {205, 39},
    {207, 35},  {208, 40},  {209, 34},  {210, 45},  {211, 46},  {219, 91},  {220, 92},
    {221, 93},
};

InputState* openInput = nullptr;

}  // namespace

void FillScanToVirtualKey(InputState& input, bool identity) {
  for (int i = 0; i < 256; ++i) input.scanToVirtualKey[i] = identity ? i : 255;
  if (identity) return;
  for (int code = 2; code <= 10; ++code) input.scanToVirtualKey[code] = 47 + code;  // 1..9
  for (int code = 59; code <= 68; ++code) input.scanToVirtualKey[code] = 53 + code;  // F1..F10
  for (const ScanVirtual& entry : kGermanLayout) input.scanToVirtualKey[entry.scan] = entry.virtualKey;
}

int AddWheelSteps(int sum, int steps) {
  return std::clamp(sum + std::clamp(steps, -1000, 1000), -1000, 1000);
}

// Wheel steps arrive as events; the mouse sample of the frame takes them. Key presses are kept
// until the next snapshot: a key pressed and released between two would otherwise go unseen.
void TakeInputEvent(const platform::Event& event) {
  if (openInput == nullptr) return;
  if (event.kind == platform::EventKind::MouseWheel) {
    openInput->wheelSteps = AddWheelSteps(openInput->wheelSteps, event.value);
  } else if (event.kind == platform::EventKind::KeyDown && event.value == 0) {
    // A repeat (value non-zero) belongs to a key that was down at an earlier snapshot.
    int code = platform::ScanCodeOfPlatformKey(event.code);
    if (code >= 0 && code < 256) openInput->pressedSinceSnapshot[code] = 1;
  }
  TakeTypingEvent(event);
}

InputState* CurrentInput() { return openInput; }

double OpenInput(InputState& input, platform::Window* window, bool exclusiveMouse) {
  input.window = window;
  openInput = &input;
  LoadInputScriptFromAutomation();
  platform::MouseDevice pointer = platform::ReadMouseDevice();
  input.mouseX = pointer.x;
  input.mouseY = pointer.y;

  input.directInput = true;
  input.keyboardDevice = platform::HasKeyboardDevice();
  FillScanToVirtualKey(input, input.keyboardDevice);
  if (exclusiveMouse) {
    input.mouseDevice = true;
    input.mouseCooperation = 5;
    input.systemPointer = 0;
    platform::SetExclusiveMouse(window, true);
  } else {
    input.systemPointer = 1;
    input.mouseCooperation = 6;
  }
  OpenJoysticks(input);
  return 1;
}

void CloseInput() {
  InputState* input = openInput;
  if (input == nullptr) return;
  if (input->systemPointer == 0) ShowSystemPointer(1);
  CloseJoysticks(*input);
  openInput = nullptr;
}

}  // namespace quillon
