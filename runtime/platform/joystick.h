// Game controllers: open devices, their state in the classic joystick layout, constant force or
// rumble, and the virtual pad an input script drives.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::platform {

// One controller the runtime opened; it keeps its identity after being unplugged.
struct Joystick;

// A reading: axes -32768..32767, hats in hundredths of a degree clockwise from up (all bits set
// when centred), button bytes 128 while pressed.
struct JoystickSample {
  int32_t x = 0, y = 0, z = 0, rx = 0, ry = 0, rz = 0;
  int32_t sliders[2] = {0, 0};
  uint32_t hats[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  uint8_t buttons[32] = {};
};

constexpr uint32_t kHatCentred = 0xFFFFFFFF;

// Starts the controller subsystem; false when there is none (no controller then reads).
bool StartJoysticks();
// Ends the subsystem; the caller closes its controllers first.
void StopJoysticks();
// Brings device states and the list of plugged devices up to date.
void UpdateJoysticks();

// Devices plugged now, in the system's order.
int JoystickDeviceCount();
// Opens device n of that list; null when it cannot be opened.
Joystick* OpenJoystick(int device);
// Whether device n is one already open (as a controller still plugged in).
bool JoystickDeviceIsOpen(int device);
// Whether device n is the same kind of controller as j (a controller that returns).
bool SameController(const Joystick* j, int device);
// Binds j to device n again after it was unplugged; false when it cannot be opened.
bool ReopenJoystick(Joystick* j, int device);
// Releases the effects and the device.
void CloseJoystick(Joystick* j);

bool JoystickAttached(const Joystick* j);
// The name in the runtime's 8-bit code page.
std::string JoystickDeviceName(const Joystick* j);
// The current state; a controller that is unplugged reads centred and released.
JoystickSample ReadJoystick(const Joystick* j);

// A constant force with direction (dirX, dirY), each -32767..32767, magnitude 0..10000 for the
// given time: through the force-feedback device when it has a constant effect (the previous
// effect released first), else as rumble of the same strength, else nothing. A time of 0 only
// stops the previous force.
void PlayJoystickForce(Joystick* j, int32_t dirX, int32_t dirY, int32_t magnitude,
                       uint32_t milliseconds);

// The input script's virtual pad: 6 axes, 32 buttons, one hat. Attach adds it as a newly plugged
// controller (no-op while attached); detach unplugs it.
bool AttachScriptPad();
void DetachScriptPad();
void SetScriptPadButton(int button, bool down);
void SetScriptPadAxis(int axis, int16_t value);
void SetScriptPadHat(uint32_t hundredths);

}  // namespace quillon::platform
