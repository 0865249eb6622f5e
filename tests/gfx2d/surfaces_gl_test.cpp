// Surfaces, backgrounds, grabs and saved screens, read back from the window and from files.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "image_test_helpers.h"
#include "runtime/gfx2d/bmp_reader.h"
#include "runtime/gfx2d/surfaces_internal.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/quillon.h"

namespace quillon::testing {
namespace {

constexpr int kWidth = 640, kHeight = 480;

const Surface& SurfaceAt(int n) { return runtimeState.graphics->textures.surfaces[n]; }
const SurfaceTile& Tile(int n, int c, int r) { return SurfaceAt(n).tiles[c * 64 + r]; }
const TextureSlot& Slot(int n) { return runtimeState.graphics->textures.slots[n]; }
int Grid(int n) { return SurfaceAt(n).columns * 10 + SurfaceAt(n).rows; }

// A distinct colour at every pixel of a 640 x 480 picture, so that any shift shows.
std::vector<uint8_t> Picture(int seed) {
  std::vector<uint8_t> rgba(kWidth * kHeight * 4, 255);
  for (int i = 0; i < kWidth * kHeight; ++i) {
    int x = i % kWidth, y = i / kWidth;
    rgba[i * 4] = static_cast<uint8_t>(x + seed);
    rgba[i * 4 + 1] = static_cast<uint8_t>(y);
    rgba[i * 4 + 2] = static_cast<uint8_t>((x >> 8) * 85 + (y >> 8) * 40 + 3 * seed);
  }
  return rgba;
}
std::string Shown(int seed) { return FirstDifference(ReadFrame(), Picture(seed), kWidth); }

class SurfacesTest : public Gfx2dTest {
 protected:
  void TearDown() override {
    SetTextureSizeLimitForTesting(0);
    SetGreenBitsForTesting(0);
    ClearBackground();
    Gfx2dTest::TearDown();
  }
  static std::string Dir() {
    static const std::string dir = MakeTempDir("surfaces");
    return dir;
  }
  static StringValue PictureFile(int seed) {
    std::string path = Dir() + "/picture" + std::to_string(seed) + ".png";
    if (!std::filesystem::exists(path)) WritePng(path, kWidth, kHeight, Picture(seed));
    return StringValue(path.c_str());
  }
  static void ShowPicture(int seed) {
    ASSERT_TRUE(LoadSurface(2, PictureFile(seed).CStr()));
    DrawSurface(2);
    FreeSurface(2);
  }
};

TEST_F(SurfacesTest, LoadedBackgroundIsDrawnUnderEveryFrame) {
  SetTextureSizeLimitForTesting(1024);
  LoadBackground(PictureFile(1));
  ASSERT_EQ(Grid(0), 21);  // 2 x 1 tiles of 512
  for (int c = 0; c < 2; ++c) {
    const SurfaceTile& t = Tile(0, c, 0);
    EXPECT_EQ(t.paddedWidth + t.paddedHeight + t.width + t.height, 4 * 512) << c;
  }
  EXPECT_EQ(Shown(1), "");  // drawn at once
  for (int frame = 0; frame < 3; ++frame) {
    if (frame == 1) FillRect(100, 100, 300, 200, 0xFFFFFF);
    if (frame == 2) SetViewport(100, 50, 0, 0);  // lasts until the frame ends, no longer
    ShowScreen();
    EXPECT_EQ(Shown(1), "") << "frame " << frame;
  }
  uint32_t old = Tile(0, 0, 0).texture;
  LoadBackground(StringValue("no-such-background.png"));
  EXPECT_EQ(Grid(0) + Tile(0, 0, 0).paddedWidth, 0);
  EXPECT_FALSE(glIsTexture(old));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadPixel(319 * i, 239 * i), (Rgba{0, 0, 0, 255})) << i;
}

TEST_F(SurfacesTest, GrabbedTilesRestoreThePicture) {
  ShowPicture(2);
  SetTextureSizeLimitForTesting(1024);
  GrabBackground();
  ASSERT_EQ(Grid(0), 11);
  const SurfaceTile& whole = Tile(0, 0, 0);
  ASSERT_TRUE(arb.anyTextureSize);  // one texture of the area's own size, no padding
  EXPECT_EQ(std::vector<int>({whole.paddedWidth, whole.paddedHeight, whole.width, whole.height}),
            std::vector<int>({640, 480, 640, 480}));
  int tw = 0, th = 0;
  TextureLevel(whole.texture, 0, tw, th);
  EXPECT_EQ(tw * 1000 + th, 640480);
  uint32_t texture = whole.texture;
  GrabBackground();
  EXPECT_EQ(Tile(0, 0, 0).texture, texture);  // the same size is refilled in place
  ClearTo(0, 0, 0);
  DrawSurface(0);
  EXPECT_EQ(Shown(2), "");
  arb.anyTextureSize = false;  // a driver of powers of two only
  GrabBackground();
  arb.anyTextureSize = true;
  EXPECT_EQ(whole.paddedWidth * 10000 + whole.paddedHeight, 10241024);  // 1024 x 1024
  texture = whole.texture;
  SetTextureSizeLimitForTesting(256);
  GrabBackground();
  ASSERT_EQ(Grid(0), 32);
  EXPECT_EQ(Tile(0, 2, 1).width * 1000 + Tile(0, 2, 1).height, 128224);
  EXPECT_FALSE(glIsTexture(texture));
  ClearTo(0, 0, 0);
  DrawSurface(0);
  EXPECT_EQ(Shown(2), "");
}

TEST_F(SurfacesTest, GrabSpriteCopiesTheRectangleAndKeysIn16BitModes) {
  ShowPicture(3);
  LoadSprite(StringValue(FixturePath("sprite5x3.bmp").c_str()), 7);
  GrabSprite(7, 100, 50, 20, 10);
  BindSlotTexture(7, -1, true, nullptr);  // a grab has no mipmapped copy, not even a late one
  double w = 0, h = 0;
  GetSpriteSize(7, w, h);
  int tw = 0, th = 0;
  TextureLevel(Slot(7).texture, 0, tw, th);
  EXPECT_EQ(std::vector<double>({w, h, 1.0 * tw, 1.0 * th, 1.0 * Slot(7).mipTexture}),
            std::vector<double>({20, 10, 32, 32, 0}));
  ClearTo(0, 0, 0);
  DrawSprite(7, 300, 200);
  std::vector<uint8_t> frame = ReadFrame(), picture = Picture(3);
  for (int i = 0; i < 200; ++i) {
    const uint8_t* got = &frame[((200 + i / 20) * kWidth + 300 + i % 20) * 4];
    ASSERT_TRUE(std::equal(got, got + 4, &picture[((50 + i / 20) * kWidth + 100 + i % 20) * 4]));
  }
  // Red 255, green 0 and blue 128 (drawn with alpha 0), 130, 126, 132, 133.
  const int blues[] = {128, 130, 126, 132, 133};
  for (int i = 0; i < 5; ++i) SetPixel(i, 0, 255 + 65536 * blues[i]);
  for (int bits : {8, 5}) {
    SetGreenBitsForTesting(bits);
    GrabSprite(8, 0, 0, 5, 1);
    std::vector<uint8_t> level = TextureLevel(Slot(8).texture, 0, tw, th);
    std::vector<int> alpha;
    for (int i = 0; i < 5; ++i) alpha.push_back(TexelAt(level, tw, i, 0).a);
    EXPECT_EQ(alpha, bits == 8 ? std::vector<int>({0, 255, 255, 255, 255})
                               : std::vector<int>({0, 0, 255, 0, 255}));
  }
  // No rectangle, one larger than any image, or no sprite slot: nothing changes.
  uint32_t font = Slot(FontSlotBase).texture;
  GrabSprite(FontSlotBase, 0, 0, 8, 8);
  GrabSprite(8, 0, 0, 0, 10);
  GrabSprite(8, 0, 0, 10, -1);
  GrabSprite(8, NAN, 0, 1e9, 3);
  GrabSprite(8, 0, 0, 9000, 9000);
  EXPECT_EQ(Slot(FontSlotBase).texture + Slot(8).width, font + 5);
}

TEST_F(SurfacesTest, GrabSpriteRecordsTheSizeAskedFor) {
  // Width and padded width recorded, then the texture's own size.
  auto sizes = [](int slot) {
    GLint tw = 0, th = 0;
    glBindTexture(GL_TEXTURE_2D, Slot(slot).texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    return std::vector<int>({Slot(slot).width, Slot(slot).paddedWidth, tw, th});
  };
  ShowPicture(8);
  // Wider than the screen: the sizes asked for and a texture to match, so the on-screen part
  // draws back 1:1.
  GrabSprite(41, 0, 0, 1100, 10);
  double w = 0, h = 0;
  GetSpriteSize(41, w, h);
  EXPECT_EQ(w * 1000 + h, 1100010);
  EXPECT_EQ(Slot(41).paddedHeight, 32);
  EXPECT_EQ(sizes(41), std::vector<int>({1100, 2048, 2048, 32}));
  ClearTo(0, 0, 0);
  DrawSprite(41, 0, 300);
  std::vector<uint8_t> frame = ReadFrame(), picture = Picture(8);
  EXPECT_TRUE(std::equal(&frame[300 * kWidth * 4], &frame[310 * kWidth * 4], picture.begin()));
  // Past the driver's limit the texture is cut, the record is not; once the limit is lifted,
  // the cut texture is not taken for one of the recorded size.
  SetTextureSizeLimitForTesting(1024);
  GrabSprite(42, 0, 0, 1100, 10);
  EXPECT_EQ(sizes(42), std::vector<int>({1100, 2048, 1024, 32}));
  SetTextureSizeLimitForTesting(0);
  GrabSprite(42, 0, 0, 1100, 10);
  EXPECT_EQ(sizes(42), std::vector<int>({1100, 2048, 2048, 32}));
  // A large grab keeps its record; its texture stays within 64 MiB.
  GrabSprite(43, 0, 0, 8193, 4000);
  std::vector<int> large = sizes(43);
  EXPECT_EQ(large[0] * 100000 + large[1], 8193 * 100000 + 16384);
  EXPECT_LE(int64_t{large[2]} * large[3], 1 << 24);
  EXPECT_GE(large[2], 2048);
  for (int slot : {41, 42, 43}) FreeSlot(slot);
}

TEST_F(SurfacesTest, FadeEndsWithTheNewBackground) {
  LoadBackground(PictureFile(4));
  uint32_t texture = Tile(0, 0, 0).texture;
  EXPECT_EQ(FadeToBackground(StringValue("no-such-background.png")), 0);
  EXPECT_EQ(Tile(0, 0, 0).texture, texture);
  EXPECT_EQ(FadeToBackground(PictureFile(5)), 1);
  EXPECT_EQ(Grid(1) * 100 + Grid(0), 21);
  ClearTo(0, 0, 0);
  DrawSurface(0);
  EXPECT_EQ(Shown(5), "");
}

TEST_F(SurfacesTest, FailedLoadsKeepAndFreeAllSlotsEmptiesSurfaces) {
  ASSERT_TRUE(LoadSurface(5, PictureFile(6).CStr()));
  uint32_t texture = Tile(5, 1, 0).texture;
  EXPECT_FALSE(LoadSurface(5, "no-such-picture.png"));
  EXPECT_EQ(Tile(5, 1, 0).texture, texture);
  FreeAllSlots();
  EXPECT_EQ(Grid(5) + Tile(5, 1, 0).texture, 0u);
  EXPECT_FALSE(glIsTexture(texture));
  LoadFont(StringValue(""), 0);  // start-up's font, for the tests after this one
}

TEST_F(SurfacesTest, SavedScreensAndSpritesReadBackExactly) {
  ShowPicture(7);
  std::vector<uint8_t> frame = ReadFrame();
  std::string bmp = Dir() + "/screen.bmp";
  ASSERT_EQ(SaveScreen(StringValue(bmp.c_str())), 1);
  RgbaImage image;
  ASSERT_TRUE(ReadBmpImage(bmp.c_str(), kNoColourKey, image));
  EXPECT_EQ(FirstDifference(image.pixels, frame, kWidth), "");

  LoadSprite(StringValue(FixturePath("sprite5x3.bmp").c_str()), 3);
  std::string sprite = Dir() + "/sprite.bmp";
  ASSERT_EQ(SaveSprite(3, StringValue(sprite.c_str())), 1);
  EXPECT_EQ(ReadBytes(sprite).size(), 54u + 16 * 3);  // 15 bytes of pixels and one pad byte
  ASSERT_TRUE(ReadBmpImage(sprite.c_str(), kNoColourKey, image));
  ASSERT_EQ(image.width * 10 + image.height, 53);
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ(ImagePixel(image, i % 5, i / 5), SpritePixel(i % 5, i / 5));

  FreeSlot(9);
  std::string missing = Dir() + "/missing/picture.bmp";
  EXPECT_EQ(SaveSprite(9, StringValue((Dir() + "/empty.bmp").c_str())), 0);
  EXPECT_EQ(SaveSprite(70000, StringValue((Dir() + "/empty.bmp").c_str())), 0);
  EXPECT_FALSE(std::filesystem::exists(Dir() + "/empty.bmp"));
  EXPECT_EQ(SaveScreen(StringValue(missing.c_str())) + SaveSprite(3, StringValue(missing.c_str())),
            0);
}

}  // namespace
}  // namespace quillon::testing
