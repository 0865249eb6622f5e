// The mesh steps that need GL: compound textures, the colour ramp texture and their release.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "mesh_test_helpers.h"
#include "runtime/gfx3d/colour_ramp.h"
#include "runtime/gfx3d/object_slot.h"
#include "runtime/gl/sprite_batch.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

using testing::QmoBytes;

// A 2 x 2 24-bit BMP of one colour.
std::vector<uint8_t> Bmp(uint8_t red, uint8_t green, uint8_t blue) {
  QmoBytes b;
  b.U8({'B', 'M'}).I32(70).I32(0).I32(54).I32(40).I32(2).I32(2);
  b.U8({1, 0, 24, 0}).I32(0).I32(16).I32(2835).I32(2835).I32(0).I32(0);
  for (int row = 0; row < 2; ++row) b.U8({blue, green, red, blue, green, red, 0, 0});
  return b.bytes;
}

class MeshGlTest : public testing::MeshTest {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    MeshTest::SetUp();
  }
};

TEST_F(MeshGlTest, CompoundTextureNumbersAreOneBasedAndBoundedByTheList) {
  testing::WriteBytes(Path("red.bmp"), Bmp(255, 0, 0));
  testing::WriteBytes(Path("green.bmp"), Bmp(0, 255, 0));
  QmoBytes mesh;
  mesh.Head(1, 1, 3).I32(0xFF);
  for (int i = 0; i < 6; ++i) mesh.F32(0);
  mesh.FrameHead(3).U8({0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 9, 0, 0, 0});
  testing::WriteBytes(Path("part.qmo"), mesh.bytes);
  testing::WriteText(Path("thing.txt"),
                     ";QMW\n[textures]\ncount=3\n1=red.bmp\n2=green.bmp\n3=missing.png\n"
                     "[objects]\ncount=4\n1=part.qmo\n1ta=2\n1tb=1\n2=part.qmo\n"
                     "3=part.qmo\n3ta=1\n3tb=0\n4=part.qmo\n4ta=4\n4tb=3\n");
  ObjectSlot slot;
  ASSERT_EQ(LoadObjectSlot(slot, Path("thing.txt").c_str()), 1);
  ASSERT_EQ(slot.textures.Count(), 3);
  EXPECT_TRUE(glIsTexture(slot.textures[0]));
  EXPECT_TRUE(glIsTexture(slot.textures[1]));
  EXPECT_EQ(slot.textures[2], 0u);  // a texture that fails leaves its entry unset
  ASSERT_EQ(slot.parts.Count(), 4);
  EXPECT_EQ(slot.parts[0].textureA, 1);
  EXPECT_EQ(slot.parts[0].textureB, 0);
  EXPECT_EQ(slot.parts[1].textureA, 0);  // missing keys
  EXPECT_EQ(slot.parts[1].textureB, 0);
  EXPECT_EQ(slot.parts[2].textureA, 0);  // 1 and 0 both select the first texture
  EXPECT_EQ(slot.parts[2].textureB, 0);
  EXPECT_EQ(slot.parts[3].textureA, -1);  // beyond the list: untextured
  EXPECT_EQ(slot.parts[3].textureB, 2);
  EXPECT_EQ(slot.parts[3].pose.Count(), 3);

  uint32_t red = slot.textures[0];
  ReleaseObjectSlot(slot);
  EXPECT_FALSE(glIsTexture(red));
  EXPECT_EQ(slot.textures.Count(), 0);
}

TEST_F(MeshGlTest, ReloadingACompoundDeletesTheOldTextures) {
  testing::WriteBytes(Path("red.bmp"), Bmp(255, 0, 0));
  testing::WriteText(Path("one.txt"), ";QMW\n[textures]\ncount=1\n1=red.bmp\n");
  ObjectSlot slot;
  ASSERT_TRUE(LoadCompoundObject(Path("one.txt").c_str(), slot));
  ASSERT_EQ(slot.textures.Count(), 1);
  uint32_t red = slot.textures[0];
  ASSERT_TRUE(glIsTexture(red));
  ASSERT_TRUE(LoadCompoundObject(Path("missing.txt").c_str(), slot));
  EXPECT_EQ(slot.textures.Count(), 0);
  EXPECT_FALSE(glIsTexture(red));
}

TEST_F(MeshGlTest, ColourRampIsUploadedOnceAndReleasedWithTheMesh) {
  MeshObjectX mesh = testing::PackedMesh({0x0000FF, MarkerFan, 0x00FF00}, {1, 0, 0, 0});
  BuildColourRamp(mesh);
  ASSERT_NE(mesh.rampTexture, 0u);
  EXPECT_EQ(mesh.rampRowStep, 0.25f);
  uint32_t ramp = mesh.rampTexture;
  BuildColourRamp(mesh);
  EXPECT_EQ(mesh.rampTexture, ramp);

  glBindTexture(GL_TEXTURE_2D, ramp);
  GLint width = 0, height = 0, format = 0, wrapS = 0, wrapT = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 4);
  EXPECT_EQ(format, GL_RGBA8);
  EXPECT_EQ(wrapS, GL_CLAMP);
  EXPECT_EQ(wrapT, GL_REPEAT);
  std::vector<uint8_t> texels(16 * 4 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  // Rows: red, the fan marker (grey levels), green, and red again for the fourth.
  const uint8_t levels[16] = {100, 160, 160, 160, 160, 160, 160, 207,
                              255, 255, 255, 255, 255, 255, 255, 255};
  const int lit[4][3] = {{1, 0, 0}, {1, 1, 1}, {0, 1, 0}, {1, 0, 0}};
  std::vector<uint8_t> expected;
  for (const auto& row : lit) {
    for (uint8_t level : levels) {
      expected.insert(expected.end(), {uint8_t(row[0] * level), uint8_t(row[1] * level),
                                       uint8_t(row[2] * level), 255});
    }
  }
  EXPECT_EQ(texels, expected);

  ClearMesh(mesh, true);
  EXPECT_EQ(mesh.rampTexture, 0u);
  EXPECT_FALSE(glIsTexture(ramp));
}

}  // namespace
}  // namespace quillon
