// Monospaced bitmap fonts: a 16-column grid of character cells in a font slot.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Font numbers are truncated and clamped to 0 ... 15.
// Loads a font image (16 columns of character cells) as that font and makes it current; a file
// that is missing or does not decode gives the built-in font instead.
void LoadFont(const StringValue& file, double font);
// Makes the font current for PrintText, PrintNumber and GetFontSize.
void SetFont(double font);
// Draws text with the current font, the top-left of its first cell at (x, y) rounded up.
void PrintText(const StringValue& text, double x, double y);
// Prints the number as NumberToText writes it.
void PrintNumber(double value, double x, double y);
// The current font's cell size in pixels; 0 and 0 when it holds no image.
void GetFontSize(double& width, double& height);

}  // namespace quillon
