// Reading the frame being drawn back from GL, for 2D, 3D picking and the automation alike.
#pragma once

#include <cstdint>

namespace quillon {

// The back buffer's pixels of the rectangle with bottom-left (x, y), tightly packed, bottom row
// first, in the GL format given (GL_RGB, GL_BGR, GL_RGBA, GL_BGRA; unsigned bytes). Draws the
// pending 2D batch first, so the read sees every command before it.
void ReadFramePixels(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t format,
                     void* pixels);

}  // namespace quillon
