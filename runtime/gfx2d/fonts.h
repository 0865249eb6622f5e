// Monospaced bitmap fonts: a 16-column grid of character cells in a font slot.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Font numbers are truncated and clamped to 0 ... 15.
// Loads a font image (16 columns of character cells) as that font and makes it current; a file
// that is missing or does not decode gives the built-in font instead.
// Example:
//   LoadFont("bigfont.png", 1);  // 16 cells a row; becomes the current font
//   PrintText("GAME OVER", 240, 200);
void LoadFont(const StringValue& file, double font);
// Makes the font current for PrintText, PrintNumber and GetFontSize.
// Example:
//   SetFont(1);
//   PrintText("SCORE", 8, 8);
//   SetFont(0);  // the built-in font again
void SetFont(double font);
// Draws text with the current font, the top-left of its first cell at (x, y) rounded up.
// Example:
//   double score = 1250;
//   PrintText(StringValue("Score: ") + score, 8, 8);
void PrintText(const StringValue& text, double x, double y);
// Prints the number as NumberToText writes it.
// Example:
//   double lives = 3;
//   PrintNumber(lives, 600, 8);
void PrintNumber(double value, double x, double y);
// The current font's cell size in pixels; 0 and 0 when it holds no image.
// Example:
//   double cellWidth = 0, cellHeight = 0;
//   GetFontSize(cellWidth, cellHeight);
//   StringValue title = "PAUSED";
//   PrintText(title, (640 - TextLength(title) * cellWidth) / 2, 240);  // centred
void GetFontSize(double& width, double& height);

}  // namespace quillon
