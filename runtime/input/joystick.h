// Joystick commands: up to ten game controllers, numbered from 0 in the order they were found at
// start-up, then as they are plugged in. A controller keeps its number when unplugged and reads
// centred and released until it returns. Every read asks the device afresh. An index is
// truncated toward zero; one below 0, at or beyond JoystickCount(), or not a number gives 0.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// The number of controllers found so far (0 to 10).
double JoystickCount();
// The controller's name ("instance, product"); the empty text for a bad index.
StringValue JoystickName(double index);
// The x, y or z axis, -1 to 1 (centred 0; x -1 left, y -1 up).
double JoystickX(double index);
double JoystickY(double index);
double JoystickZ(double index);
// The rotation axes rx, ry, rz, -1 to 1.
double JoystickRX(double index);
double JoystickRY(double index);
double JoystickRZ(double index);
// 128 while button 0 to 31 is pressed, else 0 (also for any other button number).
double JoystickButton(double index, double button);
// The first hat: -1 left, 1 right (a diagonal counts in both its directions), 0 centred.
double JoystickHatX(double index);
// The first hat: -1 up, 1 down, 0 centred.
double JoystickHatY(double index);
// Controller 0: x and y as -1, 0 or 1 (only a nearly full push counts), buttons 0 and 1 as 128
// while pressed; all 0 without a controller.
void JoystickState(double& x, double& y, double& button1, double& button2);
// Pushes with a constant force toward (fx, fy), each -1 to 1, strength (fx*fx + fy*fy) / 2, for
// duration milliseconds; a pad without force feedback rumbles as strongly, one without either
// does nothing. The controller's previous force stops; a duration of 0 or less only stops it.
void JoystickForce(double index, double duration, double fx, double fy);

}  // namespace quillon
