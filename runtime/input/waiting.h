// Commands that wait for the player.
#pragma once

namespace quillon {

// Returns when a key is down or the pointer or a button changed, or after about 40 ms; Escape
// (while it ends programs) ends the program here.
void WaitForInputActivity();
// Waits until every mouse button is up, then until one goes down; Escape ends the program.
void WaitMouseClick();

}  // namespace quillon
