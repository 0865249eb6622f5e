// Commands that wait for the player.
#pragma once

namespace quillon {

// Returns when a key is down or the pointer or a button changed, or after about 40 ms; Escape
// (while it ends programs) ends the program here.
// Example:
//   PrintText("Paused", 290, 240);
//   ShowScreen();
//   while (KeyDown(57) == 0) WaitForInputActivity();  // space resumes
void WaitForInputActivity();
// Waits until every mouse button is up, then until one goes down; Escape ends the program.
// Example:
//   PrintText("Click to continue", 250, 240);
//   ShowScreen();
//   WaitMouseClick();
void WaitMouseClick();

}  // namespace quillon
