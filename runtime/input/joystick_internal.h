// Plumbing of the joystick commands: start-up, end, the wait's check and the script's pad.
#pragma once

#include <istream>

namespace quillon {

struct InputState;

// The controllers plugged in now, up to ten, in the system's order (a step of OpenInput).
void OpenJoysticks(InputState& input);
// Stops their forces and releases them (a step of CloseInput).
void CloseJoysticks(InputState& input);
// A button down, x, y or z beyond 0.1, or the hat pressed on any controller.
bool AnyJoystickActive();

// Script lines "FRAME pad ...": attach, detach, button N down|up, axis N VALUE (-1 to 1),
// hat up|up-right|right|...|centre. Reads the words after "pad"; false when they are not one of
// these.
bool ParseScriptedPad(std::istream& in, int& op, int& number, int& value, bool& down);
void ApplyScriptedPad(int op, int number, int value, bool down);

}  // namespace quillon
