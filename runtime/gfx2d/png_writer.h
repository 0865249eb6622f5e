// Writes 8-bit RGBA pictures as PNG files.
#pragma once

#include <cstdint>

namespace quillon {

// rgba holds height rows of width pixels, top row first; false when the file cannot be written.
// whiteBackground adds a background-colour chunk of white for viewers to show behind alpha.
bool WritePngRgba(const char* path, int width, int height, const uint8_t* rgba,
                  bool whiteBackground = false);

}  // namespace quillon
