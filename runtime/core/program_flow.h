// The process-wide verbs of a program: end it, run one frame, dispatch the window's messages.
// Any subsystem may call them; the top layer supplies how they are done (flow_hooks.h).
#pragma once

namespace quillon {

// Never returns: the end statement, Escape, Alt+F4 and the close box all end here. Exit status
// 0, or the code of the fatal runtime error that is ending the program.
[[noreturn]] void EndProgram();
// Presents the frame at the next point of the frame grid and prepares the next one (blending
// off, alpha 1, 2D state reset, background surface 0 drawn); ends the program on Escape or
// Alt+F4; holds the game while the window is inactive.
void ShowScreen();
// Dispatches every waiting window message (focus, close, keys); always 1.
double PumpMessages();

}  // namespace quillon
