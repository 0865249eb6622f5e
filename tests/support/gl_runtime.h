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

// A fresh empty directory under the system temporary directory.
std::string MakeTempDir(const char* tag);

}  // namespace quillon::testing
