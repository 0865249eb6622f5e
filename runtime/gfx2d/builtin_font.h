// The small font built into the runtime, so text output works without any font file.
#pragma once

#include <cstdint>

#include "runtime/gfx2d/rgba_image.h"

namespace quillon {

constexpr int kBuiltinGlyphCount = 96;  // codes 32 to 127
constexpr int32_t kBuiltinFontWidth = 128;
constexpr int32_t kBuiltinFontHeight = 64;

// Glyph j is code 32 + j: bit 5 * r + c is pixel (c, r) of a 5 x 6 glyph.
extern const uint32_t kBuiltinGlyphs[kBuiltinGlyphCount];

// The 128 x 64 font image (16 x 8 cells of 8 x 8): white glyphs with a dark outline on
// transparent black; codes 0 to 31 stay empty.
RgbaImage BuiltinFont();

}  // namespace quillon
