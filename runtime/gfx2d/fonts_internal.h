// Text drawing for the other graphics code: 2D text by font number, and text in the 3D scene.
#pragma once

#include <cstdint>

namespace quillon {

// Draws text (up to its first zero byte) with font 0 ... 15, top-left of the first cell at
// (ceil(x), ceil(y)) in 2D terms and at depth z.
void DrawText(int32_t font, const char* text, float x, float y, float z);

// Text in the 3D scene: with size 0 centred on the screen point of (x, y, z), otherwise as
// squares of size x cell width world units along the camera's right vector.
void PrintText3D(int32_t font, const char* text, float x, float y, float z, float size);

}  // namespace quillon
