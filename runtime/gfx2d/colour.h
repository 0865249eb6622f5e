// Colours: every command that takes one, 2D and 3D, takes it packed as 0xBBGGRR, red in the low
// byte (red + 256 * green + 65536 * blue), so 0x0000FF is red and 0xFF0000 blue.
#pragma once

namespace quillon {

// The packed colour of red, green and blue, each 0 to 255 (truncated, and clamped to that
// range; not a number counts as 0).
// Example:
//   double orange = Rgb(255, 160, 0);  // 0x00A0FF
//   FillRect(10, 10, 49, 29, orange);
double Rgb(double red, double green, double blue);

}  // namespace quillon
