// Starts the real runtime (window, GL context) once per test process and reads pixels back.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::testing {

// Starts the runtime with a client area of width x height the first time it is called; later
// calls return at once. Tests of one process share the window.
void StartTestRuntime(int width = 640, int height = 480);

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

// Back-buffer pixel at (x, y) in screen coordinates (origin top-left).
Rgba ReadPixel(int x, int y);
// Clears the back buffer to opaque black.
void ClearScreen();

// Runs xdotool with the given arguments against the test display; true on success.
bool Xdotool(const std::string& arguments);
// Presses (down) or releases (up) keys by their X names, one after the other, as a keyboard
// would: no modifier is added on the way.
bool KeyEvents(const char* action, const std::string& keyNames);
// Gives the keyboard focus to the game window and waits until the runtime has seen it.
void FocusGameWindow();

// A fresh empty directory under the system temporary directory.
std::string MakeTempDir(const char* tag);

}  // namespace quillon::testing
