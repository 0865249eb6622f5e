// Sprite drawing read back from the window: placement, rotation, zoom, culling, alpha modes,
// viewports, billboards, and batched drawing against a plain immediate-mode loop.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "image_test_helpers.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/platform/window.h"
#include "runtime/quillon.h"

namespace quillon::testing {
namespace {

constexpr int kSprite = 3, kWhite = 4, kPalette = 5;
constexpr Rgba kBlack{0, 0, 0, 255};

class SpritesTest : public Gfx2dTest {
 protected:
  void SetUp() override {
    Gfx2dTest::SetUp();
    LoadSprite(StringValue(FixturePath("sprite5x3.bmp").c_str()), kSprite);
    LoadSprite(StringValue(FixturePath("white4x4.bmp").c_str()), kWhite);
    LoadSprite(StringValue(FixturePath("palette8.bmp").c_str()), kPalette);
  }
  // The 5 x 3 sprite with image pixel (ix, iy) at (x, y) + map(ix, iy).
  template <typename Map>
  void ExpectSprite(int x, int y, Map map, int tolerance = 0) {
    for (int i = 0; i < 15; ++i) {
      int ix = i % 5, iy = i / 5, sx = 0, sy = 0;
      map(ix, iy, sx, sy);
      Rgba got = ScreenPixel(x + sx, y + sy), want = SpritePixel(ix, iy);
      EXPECT_LE(std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b),
                tolerance)
          << "image pixel " << ix << "," << iy;
    }
  }
  int Lit(int x0, int y0, int x1, int y1) {
    int lit = 0;
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) lit += ScreenPixel(x, y) != kBlack;
    }
    return lit;
  }
};

auto Upright = [](int ix, int iy, int& sx, int& sy) { sx = ix, sy = iy; };
auto HalfTurn = [](int ix, int iy, int& sx, int& sy) { sx = 4 - ix, sy = 2 - iy; };

TEST_F(SpritesTest, DrawSpriteRoundsUpAndEmptySlotsDrawNothing) {
  DrawSprite(kSprite, 10.2, -0.5);
  ExpectSprite(11, 0, Upright);
  EXPECT_EQ(Lit(5, 0, 25, 10), 15);
  DrawSprite(40, 100, 100);
  DrawSpriteStretched(40, 100, 100, 50, 50);
  DrawSpriteRotoZoom(40, 100, 100, 30, 4);
  EXPECT_EQ(Lit(90, 90, 160, 160), 0);
}

TEST_F(SpritesTest, RotoZoomCentresOnTheIntegerHalf) {
  // At whole x, y the quad spans x - 0.5 ... x + 4.5: each pixel centre lies between four
  // texels and shows their mean.
  DrawSpriteRotoZoom(kSprite, 40, 40, 0, 1);
  for (int i = 0; i < 8; ++i) {
    int x = i % 4, y = i / 4;
    Rgba a = SpritePixel(x, y), b = SpritePixel(x + 1, y), c = SpritePixel(x, y + 1),
         d = SpritePixel(x + 1, y + 1);
    EXPECT_NEAR(ScreenPixel(40 + x, 40 + y).g, (a.g + b.g + c.g + d.g) / 4.0, 1.5) << x << "," << y;
  }
  // Half a pixel on it lands on whole pixels; 90 degrees turns the top row up the left side.
  ClearTo(0, 0, 0);
  DrawSpriteRotated(kSprite, 40.5, 40.5, 0);
  ExpectSprite(40, 40, Upright, 2);
  ClearTo(0, 0, 0);
  DrawSpriteRotated(kSprite, 40.5, 40.5, 90);
  ExpectSprite(
      41, 39, [](int ix, int iy, int& sx, int& sy) { sx = iy, sy = 4 - ix; }, 4);
  EXPECT_EQ(Lit(30, 30, 55, 55), 15);
  ClearTo(0, 0, 0);
  DrawSpriteRotoZoom(kSprite, 40.5, 40.5, 0, -1);  // negative zoom: half a turn
  ExpectSprite(40, 40, HalfTurn, 2);
  ClearTo(0, 0, 0);
  DrawSpriteRotoZoom(kWhite, 4, 4, 0, 2);  // centre (6, 6), 8 x 8 from 2 to 9
  EXPECT_EQ(Lit(0, 0, 20, 20), 64);
  EXPECT_NE(ScreenPixel(2, 2), kBlack);
  EXPECT_NE(ScreenPixel(9, 9), kBlack);
}

TEST_F(SpritesTest, StretchedAndZoomed) {
  DrawSpriteStretched(kSprite, 50, 50, -10, 6);  // mirrored: faces away, culled
  DrawSpriteStretched(kSprite, 50, 50, 10, -6);
  EXPECT_EQ(Lit(30, 30, 70, 70), 0);
  DrawSpriteStretched(kSprite, 50, 50, -5, -3);  // both: half a turn
  ExpectSprite(45, 47, HalfTurn);
  auto zoomed = [&](double zx, double zy) {
    ClearTo(0, 0, 0);
    DrawSpriteZoomed(kSprite, 20, 30, zx, zy);
    std::vector<Rgba> pixels;
    for (int i = 0; i < 30 * 25; ++i) pixels.push_back(ScreenPixel(10 + i % 30, 20 + i / 30));
    return pixels;
  };
  std::vector<Rgba> positive = zoomed(2, 2);
  EXPECT_EQ(zoomed(-2, 2), positive);
  EXPECT_EQ(zoomed(-2, -2), positive);
  // 10 x 6 about the centre of where DrawSprite would put it: from ceil(17.5), ceil(28.5).
  EXPECT_EQ(Lit(10, 20, 40, 45), 60);
  EXPECT_NE(ScreenPixel(18, 29), kBlack);
  EXPECT_NE(ScreenPixel(27, 34), kBlack);
}

TEST_F(SpritesTest, AlphaModesApplyToLaterDraws) {
  DrawSprite(kWhite, 0, 0);
  SetAlphaMode(-0.5);  // colour and alpha halved, then blended over black: a quarter
  DrawSprite(kWhite, 10, 0);
  SetAlphaMode(0.1);  // alpha 0.1 fails the alpha test
  DrawSprite(kWhite, 20, 0);
  SetAlphaMode(-0.1);
  DrawSprite(kWhite, 30, 0);
  SetAlphaMode(3);  // additive, full strength
  DrawSprite(kSprite, 0, 0);
  SetAlphaMode(0);
  DrawSprite(kWhite, 50, 0);
  EXPECT_NEAR(ScreenPixel(11, 1).r, 64, 1);
  EXPECT_EQ(ScreenPixel(21, 1), kBlack);
  EXPECT_EQ(ScreenPixel(31, 1), kBlack);
  EXPECT_EQ(ScreenPixel(0, 0), (Rgba{255, 255, 255, 255}));  // white plus red
  EXPECT_EQ(ScreenPixel(3, 2), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(ScreenPixel(51, 1), (Rgba{255, 255, 255, 255}));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  ClearTo(100, 0, 0);
  SetAlphaMode(3);
  DrawSprite(kSprite, 0, 0);
  EXPECT_EQ(ScreenPixel(1, 1), (Rgba{140, 50, 60, 255}));
}

TEST_F(SpritesTest, ViewportMovesTheOriginAndKeepsTheFullSize) {
  SetViewport(100, 50, 0, 0);
  DrawSprite(kSprite, 0, 0);
  DrawSprite(kSprite, 537, 0);  // from 637: the right part falls outside
  ExpectSprite(100, 50, Upright);
  EXPECT_EQ(ScreenPixel(639, 50), SpritePixel(2, 0));
  // Numbers no GL takes are clamped, not undefined: the origin ends far off the screen (so
  // nothing shows) and the size is the whole area, since a width of 0 means that.
  SetViewport(1e300, -1e300, std::nan(""), 5);
  const OpenGLRainbows& device = *runtimeState.graphics;
  EXPECT_EQ(device.viewportX, 1 << 24);
  EXPECT_EQ(device.viewportY, -(1 << 24));
  EXPECT_EQ(device.viewportWidth, 640);
  EXPECT_EQ(device.viewportHeight, 480);
  ClearTo(0, 0, 0);
  DrawSprite(kWhite, 0, 0);
  EXPECT_EQ(Lit(0, 0, 639, 479), 0);
  SetViewport(0, 0, 0, 0);
  double w = 0, h = 0;
  GetScreenSize(w, h);
  EXPECT_EQ(w * 1000 + h, 640480);
}

TEST_F(SpritesTest, BillboardStandsOnItsPointAndRestoresTheBinding) {
  BindSlotTexture(kSprite, -1, false, nullptr);
  // With the 2D matrices the camera's right is +x and up is screen up: the 4 x 4 image is
  // 2 x 2 units at scale 1 and 6 x 6 at scale 3, standing on (100, -200).
  DrawBillboard(kWhite, 100, -200, 0, 1);
  EXPECT_EQ(Lit(90, 190, 110, 210), 4);
  EXPECT_NE(ScreenPixel(99, 198), kBlack);
  EXPECT_EQ(runtimeState.graphics->textures.boundSlot, kSprite);
  DrawBillboard(kWhite, 100, -200, 0, 3);
  EXPECT_EQ(Lit(90, 185, 110, 210), 36);
}

// The same sprites drawn one immediate-mode fan at a time, rotating on the matrix stack.
void ImmediateSprite(int slot, float x, float y, float angle, bool rotated) {
  const TextureSlot& s = runtimeState.graphics->textures.slots[slot];
  float w = static_cast<float>(s.width), h = static_cast<float>(s.height);
  float u = w / static_cast<float>(s.paddedWidth), v = h / static_cast<float>(s.paddedHeight);
  float left = std::ceil(x), top = -std::ceil(y), right = left + w, bottom = top - h;
  BindSlotTexture(slot, -1, false, nullptr);
  glPushMatrix();
  if (rotated) {
    glTranslatef(x + static_cast<float>(s.width / 2), -(y + static_cast<float>(s.height / 2)), 0);
    glRotatef(angle, 0, 0, 1);
    left = -w / 2, right = w / 2, top = h / 2, bottom = -h / 2;
  }
  glBegin(GL_TRIANGLE_FAN);
  glTexCoord2f(0, 0), glVertex2f(left, bottom);
  glTexCoord2f(u, 0), glVertex2f(right, bottom);
  glTexCoord2f(u, v), glVertex2f(right, top);
  glTexCoord2f(0, v), glVertex2f(left, top);
  glEnd();
  glPopMatrix();
}

std::vector<uint8_t> Frame() {
  Flush2DBatch();
  std::vector<uint8_t> pixels(640 * 480 * 4);
  glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// Pixels differing between two frames, and pixels lit in the first.
std::pair<int, int> Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int differing = 0, lit = 0;
  for (size_t i = 0; i < a.size(); i += 4) {
    differing += std::memcmp(&a[i], &b[i], 3) != 0;
    lit += (a[i] | a[i + 1] | a[i + 2]) != 0;
  }
  return {differing, lit};
}

// Draws count sprites of three slots both ways, under the current matrices.
std::pair<int, int> BatchedAgainstImmediate(int count, bool rotated) {
  uint32_t seed = 7;
  auto next = [&seed](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>((seed >> 8) % static_cast<uint32_t>(range));
  };
  std::vector<float> values;
  for (int i = 0; i < count * 3; ++i) values.push_back(next(660) - 20 + next(1000) / 1000.0f);
  for (int i = 0; i < count; ++i) {
    const float* p = &values[i * 3];
    if (rotated) {
      DrawSpriteRotated(kSprite + i % 3, p[0], p[1] * 0.75f, p[2]);
    } else {
      DrawSprite(kSprite + i % 3, p[0], p[1] * 0.75f);
    }
  }
  std::vector<uint8_t> batched = Frame();
  ClearTo(0, 0, 0);
  for (int i = 0; i < count; ++i) {
    const float* p = &values[i * 3];
    ImmediateSprite(kSprite + i % 3, p[0], p[1] * 0.75f, p[2], rotated);
  }
  return Compare(batched, Frame());
}

TEST_F(SpritesTest, BatchesDrawWhatImmediateDrawingDraws) {
  auto [differing, lit] = BatchedAgainstImmediate(3000, false);  // several batches
  EXPECT_GT(lit, 20000);
  EXPECT_EQ(differing, 0);
  // Rotating the corners here rather than on the matrix stack moves a few edge and filter
  // positions in their last bits, never the picture.
  ClearTo(0, 0, 0);
  std::tie(differing, lit) = BatchedAgainstImmediate(1500, true);
  EXPECT_GT(lit, 10000);
  EXPECT_LT(differing, lit / 100);
  // Magnified by other matrices, upright sprites must still be filtered linearly.
  ClearTo(0, 0, 0);
  glScalef(3, 3, 1);
  std::tie(differing, lit) = BatchedAgainstImmediate(60, false);
  glLoadIdentity();
  EXPECT_GT(lit, 1000);
  EXPECT_EQ(differing, 0);
}

// Triangles handed to GL while draw runs and the batch is flushed, counted before clipping
// (clipping quietly drops most non-finite corners).
int TrianglesSentBy(const std::function<void()>& draw) {
  static auto begin =
      reinterpret_cast<PFNGLBEGINQUERYPROC>(platform::GetGLProcAddress("glBeginQuery"));
  static auto end = reinterpret_cast<PFNGLENDQUERYPROC>(platform::GetGLProcAddress("glEndQuery"));
  static auto result = reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(
      platform::GetGLProcAddress("glGetQueryObjectuiv"));
  static auto generate =
      reinterpret_cast<PFNGLGENQUERIESPROC>(platform::GetGLProcAddress("glGenQueries"));
  if (begin == nullptr || end == nullptr || result == nullptr || generate == nullptr) return -1;
  static GLuint query = 0;
  if (query == 0) generate(1, &query);
  Flush2DBatch();
  begin(GL_PRIMITIVES_GENERATED, query);
  draw();
  Flush2DBatch();
  end(GL_PRIMITIVES_GENERATED);
  GLuint count = 0;
  result(query, GL_QUERY_RESULT, &count);
  return static_cast<int>(count);
}

TEST_F(SpritesTest, NonFiniteArgumentsDrawAndChangeNothing) {
  for (double mode : {NAN, INFINITY, -INFINITY}) {
    SetAlphaMode(-0.5);
    SetAlphaMode(mode);
    float colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    GLint source = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    EXPECT_EQ(runtimeState.graphics->textures.globalAlpha, 0.5f) << mode;
    EXPECT_EQ(colour[3], 0.5f) << mode;
    EXPECT_EQ(source, GL_SRC_ALPHA) << mode;
  }
  SetAlphaMode(0);
  const double inf = INFINITY, huge = 1e300;  // huge is finite, but not as a float
  const std::function<void()> draws[] = {
      [&] { DrawSprite(kWhite, NAN, 10); },
      [&] { DrawSprite(kWhite, 10, -inf); },
      [&] { DrawSprite(kWhite, huge, 10); },
      [&] { DrawSpriteRotated(kWhite, 10, 10, NAN); },
      [&] { DrawSpriteRotated(kWhite, 10, 10, inf); },
      [&] { DrawSpriteRotoZoom(kWhite, 10, 10, 0, NAN); },
      [&] { DrawSpriteRotoZoom(kWhite, 10, 10, 0, -inf); },
      [&] { DrawSpriteRotoZoom(kWhite, 10, 10, 0, 1e38); },
      [&] { DrawSpriteRotoZoom(kWhite, inf, 10, 30, 1); },
      [&] { DrawSpriteStretched(kWhite, 10, 10, inf, 10); },
      [&] { DrawSpriteStretched(kWhite, -inf, 10, 5, 5); },
      [&] { DrawSpriteStretched(kWhite, 10, 10, 5, NAN); },
      [&] { DrawSpriteZoomed(kWhite, 10, 10, inf, 1); },
      [&] { DrawSpriteZoomed(kWhite, 10, NAN, 1, 1); },
      [&] { DrawBillboard(kWhite, 100, -200, 0, inf); },
      [&] { DrawBillboard(kWhite, NAN, -200, 0, 1); },
  };
  for (size_t i = 0; i < std::size(draws); ++i) EXPECT_EQ(TrianglesSentBy(draws[i]), 0) << i;
  EXPECT_EQ(Compare(ReadFrame(), std::vector<uint8_t>(640 * 480 * 4)).second, 0);
  // The count does see finite draws, however far off screen.
  EXPECT_EQ(TrianglesSentBy([] { DrawSpriteRotoZoom(kWhite, 1e30, 10, 30, 2); }), 2);
  EXPECT_EQ(TrianglesSentBy([] { DrawBillboard(kWhite, 100, -200, 0, 1); }), 2);
}

}  // namespace
}  // namespace quillon::testing
