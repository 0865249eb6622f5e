#include "runtime/input/joystick.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/input/input_state.h"
#include "runtime/input/joystick_internal.h"
#include "runtime/platform/joystick.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

constexpr int kMaxJoysticks = 10;

void NameSlot(InputState& input, int slot, const std::string& name) {
  // The device gives one name: it serves as both the instance and the product name.
  std::string full = name + ", " + name;
  size_t size = sizeof input.joystickNames[slot];
  std::memset(input.joystickNames[slot], 0, size);
  std::memcpy(input.joystickNames[slot], full.data(), std::min(full.size(), size - 1));
}

// A device not yet open: a controller that returns takes its old number, a new one the next.
void AddDevice(InputState& input, int device) {
  for (int i = 0; i < input.joystickCount; ++i) {
    platform::Joystick* j = input.joystickDevices[i];
    if (!platform::JoystickAttached(j) && platform::SameController(j, device)) {
      platform::ReopenJoystick(j, device);
      return;
    }
  }
  if (input.joystickCount >= kMaxJoysticks) return;
  platform::Joystick* j = platform::OpenJoystick(device);
  if (j == nullptr) return;
  input.joystickDevices[input.joystickCount] = j;
  NameSlot(input, input.joystickCount, platform::JoystickDeviceName(j));
  ++input.joystickCount;
}

// Fresh device states, and controllers plugged in since the last look.
InputState* Refresh() {
  InputState* input = CurrentInput();
  if (input == nullptr) return nullptr;
  platform::UpdateJoysticks();
  int devices = platform::JoystickDeviceCount();
  // Each controller still plugged in is a device of its own: when they are as many as the
  // devices, none is new, and every command skips matching each device against the open ones.
  int plugged = static_cast<int>(
      std::count_if(input->joystickDevices, input->joystickDevices + input->joystickCount,
                    [](const platform::Joystick* j) { return platform::JoystickAttached(j); }));
  if (plugged == devices) return input;
  for (int device = 0; device < devices; ++device) {
    if (!platform::JoystickDeviceIsOpen(device)) AddDevice(*input, device);
  }
  return input;
}

// The controller at a caller's index, or -1: no index outside the table.
int Slot(const InputState& input, double index) {
  int32_t t = TruncateToInt32(index);
  return t >= 0 && t < input.joystickCount ? t : -1;
}

platform::JoystickSample Read(double index) {
  InputState* input = Refresh();
  int slot = input != nullptr ? Slot(*input, index) : -1;
  if (slot < 0) return {};
  return platform::ReadJoystick(input->joystickDevices[slot]);
}

double Centred(int32_t raw) { return std::clamp(raw / 32767.0, -1.0, 1.0); }

// Hat readings are hundredths of a degree clockwise from up; a diagonal counts in both of its
// directions, so 4500 is right and up.
int HatX(uint32_t hat) {
  if (hat >= 36000 || hat == 0 || hat == 18000) return 0;
  return hat < 18000 ? 1 : -1;
}

int HatY(uint32_t hat) {
  if (hat >= 36000 || hat == 9000 || hat == 27000) return 0;
  return hat > 9000 && hat < 27000 ? 1 : -1;
}

double Unit(double v) { return std::isnan(v) ? 0.0 : std::clamp(v, -1.0, 1.0); }

}  // namespace

void OpenJoysticks(InputState& input) {
  // Controllers an earlier input record left open would never count as newly plugged.
  platform::StopJoysticks();
  input.joystickCount = 0;
  std::fill(std::begin(input.joystickDevices), std::end(input.joystickDevices), nullptr);
  if (platform::StartJoysticks()) Refresh();
}

void CloseJoysticks(InputState& input) {
  for (int i = 0; i < kMaxJoysticks; ++i) {
    platform::CloseJoystick(input.joystickDevices[i]);
    input.joystickDevices[i] = nullptr;
  }
  std::memset(input.joystickNames, 0, sizeof input.joystickNames);
  input.joystickCount = 0;
  platform::StopJoysticks();
}

bool AnyJoystickActive() {
  InputState* input = Refresh();
  if (input == nullptr) return false;
  for (int i = 0; i < input->joystickCount; ++i) {
    platform::JoystickSample s = platform::ReadJoystick(input->joystickDevices[i]);
    if (std::any_of(std::begin(s.buttons), std::end(s.buttons), [](uint8_t b) { return b; }))
      return true;
    for (int32_t axis : {s.x, s.y, s.z}) {
      if (std::abs(Centred(axis)) > 0.1) return true;
    }
    if (HatX(s.hats[0]) != 0 || HatY(s.hats[0]) != 0) return true;
  }
  return false;
}

double JoystickCount() {
  InputState* input = Refresh();
  return input != nullptr ? input->joystickCount : 0;
}

StringValue JoystickName(double index) {
  InputState* input = Refresh();
  int slot = input != nullptr ? Slot(*input, index) : -1;
  return slot < 0 ? StringValue("") : StringValue(input->joystickNames[slot]);
}

double JoystickX(double index) { return Centred(Read(index).x); }
double JoystickY(double index) { return Centred(Read(index).y); }
double JoystickZ(double index) { return Centred(Read(index).z); }
double JoystickRX(double index) { return Centred(Read(index).rx); }
double JoystickRY(double index) { return Centred(Read(index).ry); }
double JoystickRZ(double index) { return Centred(Read(index).rz); }

double JoystickButton(double index, double button) {
  int32_t b = TruncateToInt32(button);
  return b >= 0 && b < 32 ? Read(index).buttons[b] : 0;
}

double JoystickHatX(double index) { return HatX(Read(index).hats[0]); }
double JoystickHatY(double index) { return HatY(Read(index).hats[0]); }

void JoystickState(double& x, double& y, double& button1, double& button2) {
  platform::JoystickSample s = Read(0);
  x = std::trunc(s.x / 30000.0);
  y = std::trunc(s.y / 30000.0);
  button1 = s.buttons[0];
  button2 = s.buttons[1];
}

void JoystickForce(double index, double duration, double fx, double fy) {
  InputState* input = Refresh();
  int slot = input != nullptr ? Slot(*input, index) : -1;
  if (slot < 0) return;
  fx = Unit(fx);
  fy = Unit(fy);
  double ms = std::isnan(duration) ? 0.0 : std::clamp(std::trunc(duration), 0.0, 2147483647.0);
  platform::PlayJoystickForce(input->joystickDevices[slot], static_cast<int32_t>(fx * 32767),
                              static_cast<int32_t>(fy * 32767),
                              static_cast<int32_t>((fx * fx + fy * fy) * 10000 * 0.5),
                              static_cast<uint32_t>(ms));
}

// The script's pad ---------------------------------------------------------------------------

namespace {

enum PadOp { kPadAttach, kPadDetach, kPadButton, kPadAxis, kPadHat };

struct HatWord {
  const char* word;
  uint32_t hundredths;
};
constexpr HatWord kHatWords[] = {
    {"centre", platform::kHatCentred},
    {"center", platform::kHatCentred},
    {"up", 0},
    {"up-right", 4500},
    {"right", 9000},
    {"down-right", 13500},
    {"down", 18000},
    {"down-left", 22500},
    {"left", 27000},
    {"up-left", 31500},
};

}  // namespace

bool ParseScriptedPad(std::istream& in, int& op, int& number, int& value, bool& down) {
  std::string what, word;
  if (!(in >> what)) return false;
  if (what == "attach" || what == "detach") {
    op = what == "attach" ? kPadAttach : kPadDetach;
    return true;
  }
  if (what == "button") {
    op = kPadButton;
    if (!(in >> number >> word) || number < 0 || number >= 32) return false;
    down = word == "down";
    return down || word == "up";
  }
  if (what == "axis") {
    op = kPadAxis;
    double v = 0;
    if (!(in >> number >> v) || number < 0 || number >= 6 || !(v >= -1 && v <= 1)) return false;
    value = static_cast<int>(std::lround(v * 32767));
    return true;
  }
  if (what == "hat" && in >> word) {
    op = kPadHat;
    for (const HatWord& h : kHatWords) {
      if (word == h.word) return value = static_cast<int>(h.hundredths), true;
    }
  }
  return false;
}

void ApplyScriptedPad(int op, int number, int value, bool down) {
  switch (op) {
    case kPadAttach: platform::AttachScriptPad(); break;
    case kPadDetach: platform::DetachScriptPad(); break;
    case kPadButton: platform::SetScriptPadButton(number, down); break;
    case kPadAxis: platform::SetScriptPadAxis(number, static_cast<int16_t>(value)); break;
    case kPadHat: platform::SetScriptPadHat(static_cast<uint32_t>(value)); break;
    default: break;
  }
}

}  // namespace quillon
