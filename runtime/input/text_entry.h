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
// Example:
//   StringValue name;
//   StringValue typed = ReadKeyChar();
//   if (typed == "\b" && TextLength(name) > 0) name = MidText(name, 0, TextLength(name) - 1);
//   else if (TextLength(typed) > 0 && CharCode(typed) >= 32) name += typed;
//   PrintText(name, 8, 8);
StringValue ReadKeyChar();
// Waits until a key that types a character is newly pressed; other keys and the mouse do not end
// it. Shows no frames (one per try under an input script, whose frames must go on); Escape (while
// it ends programs) ends the program.
// Example:
//   PrintText("Press any key", 260, 240);
//   ShowScreen();
//   WaitKeyPress();
void WaitKeyPress();
// Lets the player edit text with the current font at (x, y) (truncated) over the frozen picture,
// a cursor "_" blinking every 21 frames without typing; Backspace removes the last character, Enter
// ends. Shows a frame per pass; uses surface 3, which is empty afterwards.
// Example:
//   StringValue name = "Player";
//   PrintText("Your name:", 200, 240);
//   InputText(name, 300, 240);  // Enter ends
void InputText(StringValue& text, double x, double y);
// InputText on an empty line, read as a number: "12.5x" gives 12.5, no number 0.
// Example:
//   double level = 1;
//   PrintText("Start at level:", 200, 240);
//   InputNumber(level, 340, 240);
void InputNumber(double& value, double x, double y);

}  // namespace quillon
