// Pixels, lines, rectangles and polygons as they land in the back buffer.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "image_test_helpers.h"
#include "runtime/gfx2d/primitives_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/quillon.h"

namespace quillon::testing {
namespace {

constexpr Rgba kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255};

// Every pixel of the rectangle is white where lit says so, else black.
void ExpectLit(int x0, int y0, int x1, int y1, const std::function<bool(int, int)>& lit) {
  std::vector<uint8_t> frame = ReadFrame();
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      ASSERT_EQ(TexelAt(frame, runtimeState.graphics->width, x, y), lit(x, y) ? kWhite : kBlack)
          << x << "," << y;
    }
  }
}

void Polygon(double slot, std::initializer_list<std::array<double, 4>> vertices, double colour) {
  BeginPolygon(slot);
  for (const auto& v : vertices) AddPolygonVertex(v[0], v[1], v[2], v[3], colour);
  EndPolygon();
}

using PrimitivesTest = Gfx2dTest;

TEST_F(PrimitivesTest, RectanglesAndLinesIncludeBothEnds) {
  FillRect(10, 10, 5, 5, 0xFFFFFF);
  FillRect(3, 4, 3, 4, 0xFFFFFF);
  FillRect(30, 7, 39, 7, 0xFFFFFF);  // one row
  FillRect(50, 9, 50, 0, 0xFFFFFF);  // one column
  DrawLine(0, 20, 9, 20, 0xFFFFFF);
  DrawLine(20, 25, 20, 21, 0xFFFFFF);
  DrawLine(30, 20, 34, 24, 0xFFFFFF);
  FillRect(NAN, 0, 5, 5, 0xFFFFFF);  // not numbers: nothing to draw
  DrawLine(0, 0, INFINITY, 0, 0xFFFFFF);
  ExpectLit(0, 0, 60, 30, [](int x, int y) {
    return (x >= 5 && x <= 10 && y >= 5 && y <= 10) || (x == 3 && y == 4) ||
           (y == 7 && x >= 30 && x <= 39) || (x == 50 && y <= 9) || (y == 20 && x <= 9) ||
           (x == 20 && y >= 21 && y <= 25) || (x >= 30 && x <= 34 && y - 20 == x - 30);
  });
}

TEST_F(PrimitivesTest, ColoursAlphaModeAndReadBack) {
  SetAlphaMode(-0.5);
  glBlendFunc(GL_ONE, GL_ZERO);  // shows what the pixel hands to blending
  SetPixel(5, 5, 0xFFFFFF);
  EXPECT_EQ(ReadPixel(5, 5), (Rgba{127, 127, 127, 127}));
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 2.0f);  // the alpha mode's again
  SetAlphaMode(0);
  SetPixel(6, 5, SpriteColourKey);
  EXPECT_EQ(ReadPixel(6, 5), (Rgba{255, 0, 128, 0}));
  for (double c : {0x123456, 0xFF00FF, 0x000001, 0x8000FF}) {
    SetPixel(639, 479, c);
    EXPECT_EQ(GetPixel(639.9, 479.9), c);
  }
  for (double x : {-1.0, 640.0, 1.0 * NAN}) EXPECT_EQ(GetPixel(x, 0), 0) << x;
  EXPECT_EQ(GetPixel(0, 480), 0);
  // The sprite binding and the alpha test survive a primitive in between.
  LoadSprite(StringValue(FixturePath("sprite5x3.bmp").c_str()), 3);
  DrawSprite(3, 20, 20);
  SetPixel(0, 0, 0xFFFFFF);
  DrawSprite(3, 30, 20);
  EXPECT_EQ(ScreenPixel(31, 21), SpritePixel(1, 1));
  EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
}

TEST_F(PrimitivesTest, PolygonsCullDrawAgainAndIgnoreBadSlots) {
  Polygon(-1, {{10, 10}, {30, 10}, {10, 30}}, 0xFFFFFF);  // clockwise on the monitor
  EXPECT_EQ(ScreenPixel(12, 12), kBlack);
  Polygon(-1, {{10, 10}, {10, 30}, {30, 10}}, 0xFFFFFF);
  EXPECT_EQ(ScreenPixel(12, 12), kWhite);
  EXPECT_EQ(ScreenPixel(28, 28), kBlack);
  for (double slot : {1.0 * FontSlotBase, -2.0, -0.5}) {  // -0.5 is slot 0
    ClearTo(0, 0, 0);
    BeginPolygon(slot);  // a font slot is no polygon slot: the list stays
    EndPolygon();
    EXPECT_EQ(ScreenPixel(12, 12), slot == FontSlotBase ? kWhite : kBlack) << slot;
  }
  // Key-coloured vertices have alpha 0, which the alpha test drops.
  Polygon(-1, {{10, 10}, {10, 30}, {30, 10}}, SpriteColourKey);
  EXPECT_EQ(ScreenPixel(12, 12), kBlack);
}

TEST_F(PrimitivesTest, TexturedPolygonMapsImagePixels) {
  LoadSprite(StringValue(FixturePath("sprite5x3.bmp").c_str()), 3);
  Polygon(3, {{20, 33, 0, 3}, {25, 33, 5, 3}, {25, 30, 5, 0}, {20, 30, 0, 0}}, 0xFFFFFF);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(ScreenPixel(20 + i % 5, 30 + i / 5), SpritePixel(i % 5, i / 5)) << i;
  }
  EXPECT_EQ(ScreenPixel(25, 30), kBlack);
}

TEST_F(PrimitivesTest, LargePolygonGrowsTheList) {
  BeginPolygon(-1);
  for (int i = 0; i < 1000; ++i) {
    double angle = 2 * M_PI * i / 1000;  // counter-clockwise on the monitor
    AddPolygonVertex(100 + 60 * std::cos(angle), 100 - 60 * std::sin(angle), 0, 0, 0xFFFFFF);
  }
  EXPECT_EQ(CurrentPolygon().count * 10000 + CurrentPolygon().capacity, 1000 * 10000 + 1024);
  EndPolygon();
  std::vector<uint8_t> frame = ReadFrame();
  for (int i = 0; i < 141 * 141; ++i) {
    int x = 30 + i % 141, y = 30 + i / 141;
    double d = std::hypot(x + 0.5 - 100, y + 0.5 - 100);
    if (d < 59 || d > 61) {  // not on the edge, where the fan's chords cut
      ASSERT_EQ(TexelAt(frame, runtimeState.graphics->width, x, y), d < 60 ? kWhite : kBlack)
          << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace quillon::testing
