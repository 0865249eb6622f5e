// Sprite collision on real textures: box rejection, mask mapping, colour keys, truncated
// positions, mask caching, and the word-wide scan against a full scan of random pairs.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "image_test_helpers.h"
#include "runtime/gfx2d/image_writer_internal.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/quillon.h"

namespace quillon::testing {
namespace {

struct Shape {
  int w, h;
  std::vector<uint8_t> alpha;  // top row first; 0 is transparent
  bool Solid(int x, int y) const { return alpha[y * w + x] != 0; }
};

Shape MakeShape(int w, int h, const std::function<int(int, int)>& alpha) {
  Shape s{w, h, std::vector<uint8_t>(w * h)};
  for (int i = 0; i < w * h; ++i) s.alpha[i] = static_cast<uint8_t>(alpha(i % w, i / w));
  return s;
}
Shape Opaque() {
  return MakeShape(10, 10, [](int, int) { return 255; });
}
Shape OnlyPixel(int px, int py, int alpha = 255) {
  return MakeShape(10, 10, [=](int x, int y) { return x == px && y == py ? alpha : 0; });
}
const TextureSlot& Slot(int n) { return runtimeState.graphics->textures.slots[n]; }

// Loads the shape as an RGBA PNG, or keyed: as a BMP with the sprite colour key where alpha is 0.
void Load(int slot, const Shape& s, bool keyed = false) {
  static const std::string dir = MakeTempDir("collision");
  std::string path = dir + (keyed ? "/shape.bmp" : "/shape.png");
  std::vector<uint8_t> bgr(s.w * s.h * 3), rgba(s.w * s.h * 4, 200);
  for (int i = 0; i < s.w * s.h; ++i) {
    uint8_t* p = &bgr[((s.h - 1 - i / s.w) * s.w + i % s.w) * 3];  // bottom row first
    p[0] = s.alpha[i] != 0 ? 40 : 128, p[1] = 0, p[2] = 255;
    rgba[i * 4 + 3] = s.alpha[i];
  }
  if (keyed) {
    ASSERT_TRUE(SaveImage(path.c_str(), bgr.data(), s.w, s.h, s.w));
  } else {
    WritePng(path, s.w, s.h, rgba);
  }
  LoadSprite(StringValue(path.c_str()), slot);
  ASSERT_EQ(Slot(slot).width * 1000 + Slot(slot).height, s.w * 1000 + s.h);
}

bool FullScan(const Shape& a, int xa, int ya, const Shape& b, int xb, int yb) {
  for (int y = std::max(ya, yb); y < std::min(ya + a.h, yb + b.h); ++y) {
    for (int x = std::max(xa, xb); x < std::min(xa + a.w, xb + b.w); ++x) {
      if (a.Solid(x - xa, y - ya) && b.Solid(x - xb, y - yb)) return true;
    }
  }
  return false;
}

using CollisionTest = Gfx2dTest;

TEST_F(CollisionTest, BoxesDecideBeforeAnyMaskIsRead) {
  Load(1, Opaque());
  Load(2, Opaque());
  FreeSlot(3);
  const double apart[][6] = {{1, 0, 0, 2, 10, 0},
                             {1, 0, 0, 2, 0, -10},  // touching edges
                             {1, 0, 0, 3, 0, 0},
                             {1, 0, 0, 40000, 0, 0},                 // a block never used
                             {3, 0, 0, 3, 0, 0},                     // an empty slot
                             {1, 2147483000, 0, 2, -2147483000, 0},  // no 32-bit wrap
                             {-1, 0, 0, 1, 0, 0},
                             {1, 0, 0, 65520, 0, 0},
                             {1e12, 0, 0, 1, 0, 0},
                             {1, 0, 0, NAN, 0, 0}};
  for (const auto& p : apart) EXPECT_EQ(SpriteCollision(p[0], p[1], p[2], p[3], p[4], p[5]), 0);
  EXPECT_TRUE(Slot(1).solidBits == nullptr && Slot(2).solidBits == nullptr);
  // Nor a block of the slot table allocated for a slot never used.
  EXPECT_EQ(runtimeState.graphics->textures.slots.Find(40000), nullptr);
  EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 9, 0), 1);  // one shared column
  EXPECT_TRUE(Slot(1).solidBits != nullptr && Slot(2).solidBits != nullptr);
  // Only the packed bits stay: the alpha bytes they came from are eight times their size.
  EXPECT_TRUE(Slot(1).alphaMask == nullptr && Slot(2).alphaMask == nullptr);
}

TEST_F(CollisionTest, MaskMappingKeysAndTruncation) {
  Load(1, OnlyPixel(9, 9));
  Load(2, OnlyPixel(0, 0));
  Load(3, MakeShape(10, 10, [](int x, int y) { return x + y == 0 ? 0 : 255; }));
  Load(4, OnlyPixel(9, 0));
  Load(5, MakeShape(10, 10, [](int x, int) { return x == 0 ? 255 : 0; }), true);
  Load(6, Opaque());
  Load(7, MakeShape(10, 10, [](int, int) { return 1; }));  // nearly transparent is solid
  Load(8, OnlyPixel(2, 3, 0));                             // nothing solid at all
  Load(9, OnlyPixel(2, 3));
  const double cases[][7] = {
      {1, 0, 0, 2, 9, 9, 1},      {2, 9, 9, 1, 0, 0, 1},        // only screen pixel (9, 9)
      {1, 0, 0, 3, 9, 9, 0},      {3, 9, 9, 1, 0, 0, 0},        //
      {4, 0, 9, 2, 9, 9, 1},      {4, 0, 0, 2, 9, 9, 0},        // rows are not mirrored
      {5, 0, 0, 6, 1, 0, 0},      {5, 0, 0, 6, -9, 0, 1},       // key colour over solid pixels
      {7, 0, 0, 6, 5, 5, 1},      {8, 0, 0, 8, 0, 0, 0},        //
      {6, 3.9, 0, 6, 13, 0, 0},   {6, 3.9, 0, 6, 12.9, 0, 1},   // 3.9 is 3, not 4
      {6, -0.5, 0, 6, -10, 0, 0}, {6, 0, -0.5, 6, 0, -9.9, 1},  // -0.5 is 0, not -1
      {9, 7, 8, 9, 7, 8, 1},      {9, 7, 8, 9, 8, 8, 0}};       // against itself
  for (const auto& c : cases) {
    EXPECT_EQ(SpriteCollision(c[0], c[1], c[2], c[3], c[4], c[5]), c[6])
        << c[0] << " at " << c[1] << "," << c[2] << " and " << c[3] << " at " << c[4] << ","
        << c[5];
  }
}

TEST_F(CollisionTest, ReloadAndGrabDiscardTheMask) {
  Load(1, Opaque());
  Load(2, Opaque());
  EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 0, 0), 1);
  Load(1, OnlyPixel(0, 0, 0));
  EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 0, 0), 0);
  // Grabs take the framebuffer's alpha: white is solid, the key colour is drawn with alpha 0.
  FillRect(0, 0, 9, 9, 0xFFFFFF);
  GrabSprite(1, 0, 0, 10, 10);
  EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 0, 0), 1);
  FillRect(0, 0, 9, 9, SpriteColourKey);
  GrabSprite(1, 0, 0, 10, 10);  // the same texture, refilled
  EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 0, 0), 0);
}

// Random shapes up to maxWidth x maxHeight at random places within the spreads, loaded from slot
// 100 on (every fourth keyed), tested in random pairs against the full scan; both answers must
// occur often.
void MatchFullScan(uint32_t seed, int maxWidth, int maxHeight, int spread, int spreadY) {
  std::mt19937 random(seed);
  auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  constexpr int kFirstSlot = 100, kShapes = 40;
  std::vector<Shape> shapes;
  for (int i = 0; i < kShapes; ++i) {
    int density = uniform(0, 100);  // sparse shapes make misses, dense ones hits
    shapes.push_back(MakeShape(uniform(1, maxWidth), uniform(1, maxHeight), [&](int, int) {
      return uniform(0, 999) < density ? uniform(1, 255) : 0;
    }));
    Load(kFirstSlot + i, shapes.back(), i % 4 == 0);
  }
  int hits = 0, misses = 0;
  for (int n = 0; n < 20000; ++n) {
    int a = uniform(0, kShapes - 1), b = uniform(0, kShapes - 1);
    int xa = uniform(-spread, spread), ya = uniform(-spreadY, spreadY),
        yb = uniform(-spreadY, spreadY);
    // With wide shapes half the pairs sit a word edge apart, give or take a pixel.
    int xb =
        n % 2 || spread < 64 ? uniform(-spread, spread) : xa + 64 * uniform(-2, 2) + uniform(-1, 1);
    bool want = FullScan(shapes[a], xa, ya, shapes[b], xb, yb);
    ASSERT_EQ(SpriteCollision(kFirstSlot + a, xa, ya, kFirstSlot + b, xb, yb), want ? 1 : 0)
        << a << " at " << xa << "," << ya << " and " << b << " at " << xb << "," << yb;
    (want ? hits : misses)++;
  }
  EXPECT_GT(std::min(hits, misses), 2000) << hits << " hits, " << misses << " misses";
}

TEST_F(CollisionTest, SmallShapesMatchFullScanOnRandomPairs) {
  MatchFullScan(20261207, 24, 24, 8, 8);
}

// Rows of several words: every shift between the two masks, and overlaps ending on, before and
// after each word edge.
TEST_F(CollisionTest, WideShapesMatchFullScanAcrossWordEdges) { MatchFullScan(7, 200, 8, 140, 3); }

// One solid pixel per row on a diagonal, met by solid bars of widths around the read and word
// sizes at every column, both ways round: each pixel answers alone, at every bit of a word.
TEST_F(CollisionTest, BarsFindEachPixelOfADiagonal) {
  Load(1, MakeShape(140, 140, [](int x, int y) { return x == y ? 255 : 0; }));
  const int widths[] = {1, 7, 8, 9, 56, 57, 58, 59, 63, 64, 65, 121, 128, 129};
  for (int w : widths) {
    Load(2, MakeShape(w, 1, [](int, int) { return 255; }));
    for (int row = 0; row < 140; ++row) {
      for (int x = -w; x <= 140; ++x) {
        const double want = x <= row && row < x + w ? 1 : 0;
        ASSERT_EQ(SpriteCollision(1, 0, 0, 2, x, row), want) << w << " wide at " << x << "," << row;
        ASSERT_EQ(SpriteCollision(2, x, row, 1, 0, 0), want) << w << " wide at " << x << "," << row;
      }
    }
  }
}

}  // namespace
}  // namespace quillon::testing
