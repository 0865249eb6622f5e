// Joystick commands: up to ten game controllers, numbered from 0 in the order they were found at
// start-up, then as they are plugged in. A controller keeps its number when unplugged and reads
// centred and released until it returns. Every read asks the device afresh. An index is
// truncated toward zero; one below 0, at or beyond JoystickCount(), or not a number gives 0.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// The number of controllers found so far (0 to 10).
// Example:
//   for (double pad = 0; pad < JoystickCount(); ++pad) {
//     PrintText(JoystickName(pad), 8, 20 + 16 * pad);
//   }
double JoystickCount();
// The controller's name ("instance, product"); the empty text for a bad index.
// Example:
//   if (JoystickCount() > 0) PrintText(StringValue("Pad: ") + JoystickName(0), 8, 8);
StringValue JoystickName(double index);
// The x, y or z axis, -1 to 1 (centred 0; x -1 left, y -1 up).
// Example:
//   double shipX = 320, shipY = 240, throttle = 0;
//   shipX += 5 * JoystickX(0);  // the left stick
//   shipY += 5 * JoystickY(0);
//   throttle = (1 - JoystickZ(0)) / 2;  // a throttle lever: 0 to 1
double JoystickX(double index);
double JoystickY(double index);
double JoystickZ(double index);
// The rotation axes rx, ry, rz, -1 to 1.
// Example:
//   double aimX = JoystickRX(0), aimY = JoystickRY(0);  // right stick
//   double aim = ArcTan2Deg(aimY, aimX);
//   double twist = JoystickRZ(0);
double JoystickRX(double index);
double JoystickRY(double index);
double JoystickRZ(double index);
// 128 while button 0 to 31 is pressed, else 0 (also for any other button number).
// Example:
//   if (JoystickButton(0, 0) != 0) PlaySound(1, 0, 1);  // button 0 fires
double JoystickButton(double index, double button);
// The first hat: -1 left, 1 right (a diagonal counts in both its directions), 0 centred.
// Example:
//   double cursorX = 0;
//   cursorX += JoystickHatX(0);  // the d-pad moves through a menu
double JoystickHatX(double index);
// The first hat: -1 up, 1 down, 0 centred.
// Example:
//   double menuRow = 0;
//   menuRow += JoystickHatY(0);  // down is +1
double JoystickHatY(double index);
// Controller 0: x and y as -1, 0 or 1 (only a nearly full push counts), buttons 0 and 1 as 128
// while pressed; all 0 without a controller.
// Example:
//   double dx = 0, dy = 0, fire = 0, jump = 0;
//   JoystickState(dx, dy, fire, jump);
//   double playerX = 100;
//   playerX += 4 * dx;
void JoystickState(double& x, double& y, double& button1, double& button2);
// Pushes with a constant force toward (fx, fy), each -1 to 1, strength (fx*fx + fy*fy) / 2, for
// duration milliseconds; a pad without force feedback rumbles as strongly, one without either
// does nothing. The controller's previous force stops; a duration of 0 or less only stops it.
// Example:
//   JoystickForce(0, 300, 0.5, 0);  // a 0.3 s push to the right when the car hits a wall
void JoystickForce(double index, double duration, double fx, double fy);

}  // namespace quillon
