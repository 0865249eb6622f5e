// Text entry: the characters keys type (Windows-1252, as the keyboard layout types them with
// Shift, AltGr and Caps Lock), and lines typed over the frozen picture.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// The character of a key newly pressed since the last call ("" when none): Backspace gives
// character 8, either Enter 10; modifiers, arrows and function keys give none. A held key gives
// its character once; Shift turns a-z into A-Z. Works in a loop of the program's own without
// frames: it dispatches the window's messages, so the close box works, and Escape (while it ends
// programs) or Alt+F4 ends the program as in ShowScreen.
StringValue ReadKeyChar();
// Waits until a key that types a character is newly pressed; other keys and the mouse do not end
// it. Shows no frames (one per try under an input script, whose frames must go on); Escape (while
// it ends programs) ends the program.
void WaitKeyPress();
// Lets the player edit text with the current font at (x, y) (truncated) over the frozen picture,
// a cursor "_" blinking every 21 frames without typing; Backspace removes the last character, Enter
// ends. Shows a frame per pass; uses surface 3, which is empty afterwards.
void InputText(StringValue& text, double x, double y);
// InputText on an empty line, read as a number: "12.5x" gives 12.5, no number 0.
void InputNumber(double& value, double x, double y);

}  // namespace quillon
