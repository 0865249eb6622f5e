// Keyboard commands: a snapshot of all keys by scan code (W A S D are 17 30 31 32 on every
// layout), taken by every ShowScreen and by KeyDown.
#pragma once

namespace quillon {

// Takes a fresh snapshot of every key now.
void RefreshKeyboard();
// 1 while the key with that scan code (low byte of the number, 0 to 255) is down, else 0; a key
// tapped since the last snapshot counts as down once. Refreshes the snapshot first.
double KeyDown(double scanCode);
// Non-zero (the default): Escape ends the program at the next ShowScreen or wait; 0: Escape is
// an ordinary key. Alt+F4 always ends it.
void SetEscapeEnds(double on);

}  // namespace quillon
