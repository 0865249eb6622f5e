// Commands that wait for the player.
#pragma once

namespace quillon {

// Returns when a key, a mouse button or the pointer changes, or after about 40 ms.
void WaitForInputActivity();
// Waits until every mouse button is up, then until one goes down.
void WaitMouseClick();

}  // namespace quillon
