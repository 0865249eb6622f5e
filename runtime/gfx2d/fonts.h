// Monospaced bitmap fonts: a 16-column grid of character cells in a font slot.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Font numbers are truncated and clamped to 0 ... 15.
void LoadFont(const StringValue& file, double font);
void SetFont(double font);
void PrintText(const StringValue& text, double x, double y);
void PrintNumber(double value, double x, double y);
void GetFontSize(double& width, double& height);

// Draws text (up to its first zero byte) with font 0 ... 15, top-left of the first cell at
// (ceil(x), ceil(y)) in 2D terms and at depth z.
void DrawText(int32_t font, const char* text, float x, float y, float z);
// Text in the 3D scene: with size 0 centred on the screen point of (x, y, z), otherwise as
// squares of size x cell width world units along the camera's right vector.
void PrintText3D(int32_t font, const char* text, float x, float y, float z, float size);

}  // namespace quillon
