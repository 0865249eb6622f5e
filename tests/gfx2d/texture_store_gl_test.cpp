// Loading files into slots, as the textures and the pixels on screen show it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "image_test_helpers.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/quillon.h"

namespace quillon::testing {
namespace {

TextureSlot& Slot(int n) { return runtimeState.graphics->textures.slots[n]; }
void Load(const char* fixture, double slot) {
  LoadSprite(StringValue(FixturePath(fixture).c_str()), slot);
}

void ExpectEmpty(int n) {
  const TextureSlot& s = Slot(n);
  EXPECT_TRUE(s.texture == 0 && s.mipTexture == 0 && s.alphaMask == nullptr) << n;
  EXPECT_TRUE(s.paddedWidth == -1 && s.paddedHeight == -1 && s.width == 0 && s.height == 0) << n;
}

using TextureStoreTest = Gfx2dTest;

TEST_F(TextureStoreTest, PaddedTexturesHoldTheImageFlipped) {
  Load("sprite5x3.bmp", 3);
  double w = 0, h = 0;
  GetSpriteSize(3, w, h);
  EXPECT_EQ(w * 10 + h, 53);
  EXPECT_EQ(Slot(3).paddedWidth * 10 + Slot(3).paddedHeight, 84);
  EXPECT_EQ(SpriteTextureName(3), Slot(3).texture);
  int tw = 0, th = 0;
  std::vector<uint8_t> level = TextureLevel(Slot(3).texture, 0, tw, th);
  ASSERT_EQ(tw * 10 + th, 84);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(TexelAt(level, tw, x, 2 - y), SpritePixel(x, y));
  }
  EXPECT_EQ(TexelAt(level, tw, 5, 0).a + TexelAt(level, tw, 0, 3).a, 0);
  // Drawn 1:1 every pixel shows its own image pixel, so the far corner is at (5/8, 3/4).
  DrawSprite(3, 20, 30);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(ScreenPixel(20 + x, 30 + y), SpritePixel(x, y));
  }
  Load("pixel1x1.bmp", 4);
  EXPECT_EQ(Slot(4).paddedWidth * 10 + Slot(4).paddedHeight, 22);
  EXPECT_EQ(TextureLevel(Slot(4).texture, 0, tw, th).size(), 2u * 2 * 4);
}

TEST_F(TextureStoreTest, FormatsAndColourKeysOnScreen) {
  const Rgba background{0, 0, 90, 255};
  struct Case {
    const char* file;
    Rgba keyPixel;  // image pixel (0, 0), of the key colour 255, 0, 128
  } cases[] = {{"key24.bmp", background},
               {"key_rgb.png", background},
               {"key_palette.png", background},
               {"key_rgba.png", {255, 0, 128, 255}}};
  for (const Case& c : cases) {
    ClearTo(0, 0, 90);
    Load(c.file, 5);
    DrawSprite(5, 40, 40);
    EXPECT_EQ(ScreenPixel(40, 40), c.keyPixel) << c.file;
    EXPECT_EQ(ScreenPixel(41, 40), (Rgba{255, 0, 127, 255})) << c.file;
  }
  Load("rgb16.png", 6);
  DrawSprite(6, 0, 0);
  EXPECT_EQ(ScreenPixel(0, 0), (Rgba{0x12, 0x56, 0x9A, 255}));
  Load("topdown.bmp", 8);
  DrawSprite(8, 60, 60);
  EXPECT_EQ(ScreenPixel(60, 60), SpritePixel(0, 2));
  Load("palette8.bmp", 8);
  DrawSprite(8, 60, 60);
  EXPECT_EQ(ScreenPixel(65, 62), (Rgba{214, 175, 28, 255}));
  ::testing::internal::CaptureStdout();
  Load("grey_alpha.png", 6);
  Load("palette4.bmp", 8);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ExpectEmpty(6);
  ExpectEmpty(8);
}

TEST_F(TextureStoreTest, FailedReloadEmptiesTheSlot) {
  Load("sprite5x3.bmp", 7);
  GLuint old = Slot(7).texture;
  ASSERT_TRUE(glIsTexture(old));
  Load("no-such-image.bmp", 7);
  ExpectEmpty(7);
  EXPECT_FALSE(glIsTexture(old));
}

TEST_F(TextureStoreTest, BleedingInSpriteSlotsOnly) {
  Load("bleed_sprite.bmp", 9);  // red at image (3, 3) = texture row 4, on the key colour
  LoadFont(StringValue(FixturePath("bleed_font.bmp").c_str()), 5);  // the same on black
  int tw = 0, th = 0;
  std::vector<uint8_t> sprite = TextureLevel(Slot(9).texture, 0, tw, th);
  EXPECT_EQ(TexelAt(sprite, tw, 3, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(TexelAt(sprite, tw, 4, 4), (Rgba{255, 0, 0, 0}));
  EXPECT_EQ(TexelAt(sprite, tw, 5, 4), (Rgba{0, 0, 0, 0}));
  std::vector<uint8_t> font = TextureLevel(Slot(FontSlotBase + 5).texture, 0, tw, th);
  EXPECT_EQ(TexelAt(font, tw, 3, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(TexelAt(font, tw, 4, 4), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(Slot(FontSlotBase + 5).mipTexture, 0u);
  GLint filter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);  // the font's, bound last
  EXPECT_EQ(filter, GL_NEAREST);
}

TEST_F(TextureStoreTest, MipmappedCopyOnFirst3DUseAndBumpMap) {
  Load("palette8.bmp", 10);            // an 8 x 4 texture
  EXPECT_EQ(Slot(10).mipTexture, 0u);  // 2D drawing never needs it
  BindSlotTexture(10, -1, true, nullptr);
  GLuint mip = Slot(10).mipTexture;
  ASSERT_NE(mip, 0u);
  BindSlotTexture(10, -1, true, nullptr);
  EXPECT_EQ(Slot(10).mipTexture, mip);
  int w = 0, h = 0;
  std::vector<uint8_t> level = TextureLevel(mip, 0, w, h);
  EXPECT_EQ(level, TextureLevel(Slot(10).texture, 0, w, h));
  int32_t lw = w, lh = h;
  for (int n = 1; lw > 1 || lh > 1; ++n) {
    NextMipLevel(level, lw, lh);
    EXPECT_EQ(TextureLevel(mip, n, w, h), level) << "level " << n;
    EXPECT_EQ(w * 100 + h, lw * 100 + lh) << "level " << n;
  }
  LoadBumpSprite(StringValue(FixturePath("white4x4.bmp").c_str()), 11);
  std::vector<uint8_t> normals = TextureLevel(Slot(11).texture, 0, w, h);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(TexelAt(normals, w, i % 4, i / 4), (Rgba{127, 127, 255, 255}));
  BindSlotTexture(11, -1, true, nullptr);
  EXPECT_EQ(TextureLevel(Slot(11).mipTexture, 0, w, h), normals);
}

TEST_F(TextureStoreTest, AlphaMaskRowZeroIsTheLastImageRow) {
  Load("key24.bmp", 12);  // keyed out: (0,0) (2,0) (1,1)
  const uint8_t* mask = AlphaMask(12);
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(mask, mask + 8),
            (std::vector<uint8_t>{255, 0, 255, 255, 0, 255, 0, 255}));
  EXPECT_EQ(AlphaMask(12), mask);
  EXPECT_EQ(AlphaMask(13), nullptr);
  EXPECT_EQ(AlphaMask(kTextureSlotCount), nullptr);
  Load("key24.bmp", 12);
  EXPECT_EQ(Slot(12).alphaMask, nullptr);
}

TEST_F(TextureStoreTest, SlotNumbersOutsideTheSpriteRangeDoNothing) {
  std::vector<int32_t> fontWidths;
  for (int n = FontSlotBase; n < kTextureSlotCount; ++n) fontWidths.push_back(Slot(n).width);
  for (double bad : {-1.0, 65520.0, 65536.0, 1e12, -1e300, std::nan("")}) {
    Load("sprite5x3.bmp", bad);
    double w = 9, h = 9;
    GetSpriteSize(bad, w, h);
    EXPECT_EQ(w + h + SpriteTextureName(bad), 0) << bad;
    DrawSprite(bad, 0, 0);
  }
  for (int n = FontSlotBase; n < kTextureSlotCount; ++n)
    EXPECT_EQ(Slot(n).width, fontWidths[n - FontSlotBase]);
  EXPECT_EQ(ScreenPixel(0, 0), (Rgba{0, 0, 0, 255}));
  Load("pixel1x1.bmp", 65519.9);  // truncated toward zero: the last sprite slot
  EXPECT_EQ(Slot(65519).width, 1);
}

GLint BoundOn(GLenum unit, bool& enabled) {
  arb.glActiveTextureARB(unit);
  enabled = glIsEnabled(GL_TEXTURE_2D);
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  arb.glActiveTextureARB(GL_TEXTURE0_ARB);
  return name;
}

TEST_F(TextureStoreTest, BindingWithAndWithoutMultitexturing) {
  ASSERT_NE(arb.glActiveTextureARB, nullptr);
  Load("sprite5x3.bmp", 20);
  Load("pixel1x1.bmp", 21);
  bool on0 = false, on1 = false;
  BindSlotTexture(20, 21, true, nullptr);
  EXPECT_EQ(BoundOn(GL_TEXTURE0_ARB, on0), static_cast<GLint>(Slot(21).mipTexture));
  EXPECT_EQ(BoundOn(GL_TEXTURE1_ARB, on1), static_cast<GLint>(Slot(20).mipTexture));
  EXPECT_TRUE(on0 && on1);
  std::vector<uint32_t> names(kTextureSlotCount, 0);
  names[20] = Slot(21).texture;
  BindSlotTexture(20, -1, false, names.data());
  EXPECT_EQ(BoundOn(GL_TEXTURE0_ARB, on0), static_cast<GLint>(Slot(21).texture));
  BoundOn(GL_TEXTURE1_ARB, on1);
  EXPECT_FALSE(on1);
  BindSlotTexture(-1, -1, false, nullptr);
  BoundOn(GL_TEXTURE0_ARB, on0);
  EXPECT_FALSE(on0);
  EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));

  auto saved = arb.glActiveTextureARB;
  arb.glActiveTextureARB = nullptr;
  BindSlotTexture(20, 5, false, nullptr);  // one unit: the second slot plays no part
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  arb.glActiveTextureARB = saved;
  EXPECT_EQ(name, static_cast<GLint>(Slot(20).texture));
  EXPECT_EQ(runtimeState.graphics->textures.boundSecondSlot, 5);
  glDisable(GL_COLOR_MATERIAL);
}

TEST_F(TextureStoreTest, FreeAllSlotsEmptiesEverySlot) {
  Load("sprite5x3.bmp", 30);
  LoadFont(StringValue(""), 2);
  ASSERT_NE(AlphaMask(30), nullptr);
  GLuint textures[] = {Slot(30).texture, Slot(30).mipTexture, Slot(FontSlotBase + 2).texture};
  DrawSprite(30, 0, 0);  // still in the batch: it must be drawn before its texture goes
  FreeAllSlots(*runtimeState.graphics);
  for (GLuint t : textures) EXPECT_FALSE(glIsTexture(t));
  ExpectEmpty(30);
  ExpectEmpty(FontSlotBase + 2);
  EXPECT_EQ(ReadPixel(0, 0), SpritePixel(0, 0));
}

}  // namespace
}  // namespace quillon::testing
