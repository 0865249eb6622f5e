// Keyboard commands: a snapshot of all keys by scan code (W A S D are 17 30 31 32 on every
// layout), taken by every ShowScreen and by KeyDown.
#pragma once

namespace quillon {

// Takes a fresh snapshot of every key now.
// Example:
//   RefreshKeyboard();  // one snapshot, then KeyDown for each key of the frame
//   double left = KeyDown(203), right = KeyDown(205);
void RefreshKeyboard();
// 1 while the key with that scan code (low byte of the number, 0 to 255) is down, else 0; a key
// tapped since the last snapshot counts as down once. Refreshes the snapshot first.
// Example:
//   double paddleX = 288;
//   paddleX += 6 * (KeyDown(205) - KeyDown(203));  // cursor right, left (see the scan codes below)
//   if (KeyDown(57) != 0) PlaySound(0, 0, 1);      // space
double KeyDown(double scanCode);
// Non-zero (the default): Escape ends the program at the next ShowScreen or wait; 0: Escape is
// an ordinary key. Alt+F4 always ends it.
// Example:
//   SetEscapeEnds(0);  // Escape opens the game's own menu instead of quitting
//   if (KeyDown(1) != 0) PrintText("Quit? Y/N", 280, 240);
void SetEscapeEnds(double on);

}  // namespace quillon
