// The process-wide verbs of a program: end it, run one frame, dispatch the window's messages.
// Any subsystem may call them; the top layer supplies how they are done (flow_hooks.h).
#pragma once

namespace quillon {

// Never returns: the end statement, Escape, Alt+F4 and the close box all end here. Exit status
// 0, or the code of the fatal runtime error that is ending the program.
// Example:
//   if (KeyDown(16) != 0) EndProgram();  // Q quits
[[noreturn]] void EndProgram();
// Presents the frame at the next point of the frame grid and prepares the next one (blending
// off, alpha 1, 2D state reset, background surface 0 drawn); ends the program on Escape or
// Alt+F4; holds the game while the window is inactive.
// Example:
//   for (;;) {  // the frame loop: draw everything, then present it
//     FillRect(0, 0, 639, 479, 0x402010);
//     PrintText("Press Escape to quit", 8, 8);
//     ShowScreen();
//   }
void ShowScreen();
// Dispatches every waiting window message (focus, close, keys); always 1.
// Example:
//   // A long load between frames: keep the window answering.
//   for (int level = 1; level <= 8; ++level) {
//     LoadSprite(StringValue("level") + level + ".png", 100 + level);
//     PumpMessages();
//   }
double PumpMessages();

}  // namespace quillon
