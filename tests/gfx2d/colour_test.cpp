// The colour helper packs what the drawing commands unpack: red in the low byte.
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/gfx2d/colour.h"

namespace quillon {
namespace {

TEST(Colour, RgbPacksRedLowAndKeepsChannelsInTheirByte) {
  EXPECT_EQ(Rgb(255, 192, 0), 0x00C0FF);  // orange, as the starter draws it
  // Out of range, fractions and non-numbers never spill into the next channel.
  EXPECT_EQ(Rgb(300, -5, NAN), 0x0000FF);
  EXPECT_EQ(Rgb(0.9, 255.7, INFINITY), 0xFFFF00);
}

}  // namespace
}  // namespace quillon
