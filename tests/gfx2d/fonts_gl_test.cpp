// Fonts on screen: cell grids of differently shaped images, code wrapping, placement, the
// built-in font, font numbers, and text placed in 3D.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "image_test_helpers.h"
#include "runtime/gfx2d/builtin_font.h"
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/fonts_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/quillon.h"

namespace quillon::testing {
namespace {

constexpr Rgba kBlack{0, 0, 0, 255};

// The fixture fonts' cells are flat: red = column * 16 + 8, green = row * 16 + 8, blue 128.
Rgba Cell(int code) {
  return {static_cast<uint8_t>(code % 16 * 16 + 8), static_cast<uint8_t>(code / 16 * 16 + 8), 128,
          255};
}

void Load(const char* fixture, double font) {
  LoadFont(StringValue(fixture[0] ? FixturePath(fixture).c_str() : ""), font);
}

double CellSize() {  // width * 100 + height
  double w = 0, h = 0;
  GetFontSize(w, h);
  return w * 100 + h;
}

class FontsTest : public Gfx2dTest {
 protected:
  void TearDown() override {
    SetFont(0);
    Gfx2dTest::TearDown();
  }
};

TEST_F(FontsTest, CellGridsAndCodeWrapping) {
  Load("font256x128.png", 1);  // 8 rows of 16 x 16: codes 0-127
  EXPECT_EQ(CellSize(), 1616);
  PrintText(StringValue("A\xE9"), 0, 0);
  EXPECT_EQ(ScreenPixel(8, 8), Cell('A'));
  EXPECT_EQ(ScreenPixel(24, 8), Cell(105)) << "233 wraps to 105";
  Load("font128x256.png", 2);  // 16 rows of 8 x 16: codes 0-255
  EXPECT_EQ(CellSize(), 816);
  PrintText(StringValue("\xE9\n"), 0, 100);
  EXPECT_EQ(ScreenPixel(4, 108), Cell(233));
  EXPECT_EQ(ScreenPixel(12, 108), Cell('\n')) << "control codes are cells like any other";
  Load("font256x256.png", 3);  // not narrower than tall: 8 rows of 16 x 32
  EXPECT_EQ(CellSize(), 1632);
  SetFont(1);
  EXPECT_EQ(CellSize(), 1616);
}

TEST_F(FontsTest, TwoEightPixelCellsCoverExactlyTheirQuads) {
  Load("font128x64.png", 4);
  PrintText(StringValue("AB"), 10, 20);
  for (int y = 18; y <= 29; ++y) {
    for (int x = 8; x <= 27; ++x) {
      bool inside = x >= 10 && x <= 25 && y >= 20 && y <= 27;
      ASSERT_EQ(ScreenPixel(x, y), !inside ? kBlack : Cell(x < 18 ? 'A' : 'B')) << x << "," << y;
    }
  }
  ClearTo(0, 0, 0);
  PrintNumber(-12.5, 9.01, 0);  // the number's text, the corner rounded up
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ScreenPixel(14 + 8 * i, 4), Cell("-12.5"[i]));
  EXPECT_EQ(ScreenPixel(54, 4), kBlack);
}

TEST_F(FontsTest, MissingFilesAndFontNumbers) {
  for (const char* file : {"no-such-font.bmp", "make-fixtures.sh", ""}) {
    Load(file, 3);
    EXPECT_EQ(runtimeState.currentFont, 3);
    EXPECT_EQ(CellSize(), 808) << "built-in font for '" << file << "'";
    EXPECT_EQ(runtimeState.graphics->textures.slots[FontSlotBase + 3].paddedWidth, 128);
  }
  Load("font128x256.png", 20);
  EXPECT_EQ(runtimeState.currentFont, 15);
  EXPECT_EQ(runtimeState.graphics->textures.slots[FontSlotBase + 15].height, 256);
  const double numbers[][2] = {{-2, 0}, {15.9, 15}, {1e300, 15}, {std::nan(""), 0}, {7.9, 7}};
  for (const auto& n : numbers) {
    SetFont(n[0]);
    EXPECT_EQ(runtimeState.currentFont, n[1]) << n[0];
  }
}

TEST_F(FontsTest, EveryBuiltInGlyphIsDrawnWithItsOutline) {
  Load("", 0);
  ClearTo(100, 100, 100);
  const Rgba grey{100, 100, 100, 255}, white{255, 255, 255, 255}, outline{8, 8, 8, 255};
  for (int row = 0; row < 6; ++row) {
    std::string line;
    for (int c = 0; c < 16; ++c) line += static_cast<char>(32 + row * 16 + c);
    PrintText(StringValue(line.c_str()), 20, 20 + row * 10);
  }
  for (int j = 0; j < kBuiltinGlyphCount; ++j) {
    auto on = [glyph = kBuiltinGlyphs[j]](int x, int y) {
      int c = x - 1, r = y - 1;
      return c >= 0 && c < 5 && r >= 0 && r < 6 && ((glyph >> (5 * r + c)) & 1);
    };
    for (int p = 0; p < 64; ++p) {
      int x = p % 8, y = p / 8;
      bool near = on(x - 1, y) || on(x + 1, y) || on(x, y - 1) || on(x, y + 1);
      ASSERT_EQ(ScreenPixel(20 + j % 16 * 8 + x, 20 + j / 16 * 10 + y), on(x, y) ? white
                                                                        : near   ? outline
                                                                                 : grey)
          << "code " << 32 + j << " pixel " << x << "," << y;
    }
  }
  // The bit order, worked out by hand from glyph 00A5394E: bit 5r + c is (c, r), one pixel in.
  const char* const letterA = "..ooo....o###o...o#o#o...o###o...o#o#o...o#o#o....o.o...........";
  for (int p = 0; p < 64; ++p) {
    char c = letterA[p];
    EXPECT_EQ(ScreenPixel(28 + p % 8, 40 + p / 8), c == '#'   ? white
                                                   : c == 'o' ? outline
                                                              : grey)
        << p;
  }
  ClearTo(100, 100, 100);
  PrintText(StringValue("\x01\x1F\xE9i"), 0, 0);  // empty cells, then 233 drawn as 105 'i'
  for (int p = 0; p < 64; ++p) {
    EXPECT_EQ(ScreenPixel(p % 16, p / 16), grey);
    EXPECT_EQ(ScreenPixel(16 + p % 8, p / 8), ScreenPixel(24 + p % 8, p / 8)) << p;
  }
}

TEST_F(FontsTest, TextIn3D) {
  Load("font128x64.png", 0);
  glEnable(GL_CULL_FACE);
  // Size 0: the point (100, -50, 0) is pixel (100, 50) in the 2D matrices; the text is centred
  // on it (3 x 8 / 2 to the left) and 64 / 8 above.
  PrintText3D(0, "ABC", 100, -50, 0, 0);
  std::vector<Rgba> shown;
  for (int x = 80; x < 120; ++x) shown.push_back(ScreenPixel(x, 45));
  ClearTo(0, 0, 0);
  DrawText(0, "ABC", 88, 42, 0);
  for (int x = 80; x < 120; ++x) EXPECT_EQ(ScreenPixel(x, 45), shown[x - 80]) << x;
  EXPECT_EQ(shown[8], Cell('A'));
  // Size 2: squares of 16 units along the camera's right vector, starting 1.5 squares left.
  ClearTo(0, 0, 0);
  PrintText3D(0, "ABC", 200, -100, 0, 2);
  EXPECT_EQ(ScreenPixel(176, 84), Cell('A'));
  EXPECT_EQ(ScreenPixel(223, 99), Cell('C'));
  EXPECT_EQ(ScreenPixel(224, 90), kBlack);
  EXPECT_EQ(ScreenPixel(175, 90), kBlack);
  // A camera looking from behind mirrors the quads; culling is off for them and on again after.
  ClearTo(0, 0, 0);
  glScalef(-1, 1, 1);
  PrintText3D(0, "A", -300, -100, 0, 1);
  glLoadIdentity();
  EXPECT_EQ(ScreenPixel(296, 96), Cell('A'));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

}  // namespace
}  // namespace quillon::testing
