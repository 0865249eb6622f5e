// The image work done before a texture is made: padding, colour bleeding, the mipmap filter and
// the normal map of bump loads. No window needed.
#include "runtime/gfx2d/texture_upload.h"

#include <gtest/gtest.h>

#include <cmath>

#include "image_test_helpers.h"

namespace quillon::testing {
namespace {

TEST(TextureUpload, PaddedSizeDoublesAtLeastOnce) {
  const int32_t sides[][2] = {{0, 2}, {1, 2}, {2, 2}, {3, 4}, {5, 8}, {640, 1024}, {1024, 1024}};
  for (const auto& side : sides) EXPECT_EQ(PaddedSize(side[0]), side[1]) << side[0];
  EXPECT_EQ(PaddedSize(5, 16), 32);  // grabs start from 16
}

TEST(TextureUpload, BleedingAveragesOpaqueNeighboursOffTheBorder) {
  TextureBuffer buffer{8, 8, std::vector<uint8_t>(8 * 8 * 4, 0)};
  auto at = [&](int x, int row) { return &buffer.pixels[(row * 8 + x) * 4]; };
  auto set = [&](int x, int row, Rgba c) { std::copy(&c.r, &c.r + 4, at(x, row)); };
  auto get = [&](int x, int row) {
    uint8_t* p = at(x, row);
    return Rgba{p[0], p[1], p[2], p[3]};
  };
  set(2, 2, {255, 0, 0, 255});
  set(4, 2, {0, 10, 255, 1});   // any alpha above 0 counts as opaque
  set(0, 5, {0, 255, 0, 255});  // on the outer border: never a source
  BleedColours(buffer);
  EXPECT_EQ(get(3, 2), (Rgba{127, 5, 127, 0}));  // two sources, truncated means
  EXPECT_EQ(get(1, 1), (Rgba{255, 0, 0, 0}));
  EXPECT_EQ(get(1, 5), (Rgba{0, 0, 0, 0}));      // only the border pixel beside it
  EXPECT_EQ(get(2, 2), (Rgba{255, 0, 0, 255}));  // opaque pixels keep their colour
}

TEST(TextureUpload, MipLevelsWeighTheTexelsOfTheRule) {
  // 4 x 4, every channel 10 x + 40 y.
  std::vector<uint8_t> level(4 * 4 * 4);
  auto v = [](int x, int y) { return 10 * x + 40 * y; };
  for (int i = 0; i < 64; ++i) level[i] = static_cast<uint8_t>(v(i / 4 % 4, i / 16));
  int32_t width = 4, height = 4;
  NextMipLevel(level, width, height);
  ASSERT_EQ(width, 2);
  ASSERT_EQ(height, 2);
  EXPECT_EQ(level[0], (4 * v(0, 0) + 2 * v(1, 0) + 2 * v(1, 2) + v(0, 2)) / 9);
  EXPECT_EQ(level[4], (2 * v(2, 0) + v(2, 2)) / 3);  // last column
  EXPECT_EQ(level[8], (2 * v(0, 2) + v(1, 2)) / 3);  // last row
  EXPECT_EQ(level[12], v(2, 2));                     // both
  NextMipLevel(level, width, height);
  EXPECT_EQ(width * height, 1);
  EXPECT_EQ(level.size(), 4u);
}

TEST(TextureUpload, NormalMapTiltsWithTheSlopeAndWraps) {
  // Blue rises 51 per column: heights 0, 0.2, 0.4, 0.6, dropping where the edge wraps.
  RgbaImage image;
  ResizeImage(image, 4, 3);
  for (int i = 0; i < 12; ++i) image.pixels[i * 4 + 2] = static_cast<uint8_t>(51 * (i % 4));
  RgbaImage normals = NormalMap(image);
  auto expect = [](double dx) {
    double n = 1 / std::sqrt(dx * dx + 1);
    return Rgba{static_cast<uint8_t>((dx * n + 1) * 127.5), 127,
                static_cast<uint8_t>((n + 1) * 127.5), 0};
  };
  EXPECT_EQ(ImagePixel(normals, 1, 1), expect(-1.6));  // (0.4 - 0) x 4 uphill to the right
  EXPECT_EQ(ImagePixel(normals, 0, 2), expect(1.6));   // left neighbour wraps to 0.6
}

}  // namespace
}  // namespace quillon::testing
