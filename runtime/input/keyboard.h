// Keyboard commands: a snapshot of all keys by scan code.
#pragma once

namespace quillon {

void RefreshKeyboard();
double KeyDown(double scanCode);
void SetEscapeEnds(double on);
bool EscapeEnds();

// What ShowScreen does for input each frame: a fresh snapshot and a new mouse frame.
void BeginInputFrame();
// Escape (while the switch is on) or left Alt + F4 is down in the snapshot.
bool EndKeysDown();

}  // namespace quillon
