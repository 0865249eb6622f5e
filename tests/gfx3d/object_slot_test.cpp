// Loading an object slot: one mesh, or a compound file of meshes (without textures here; the
// textured cases need GL and sit in object_slot_gl_test.cpp).
#include "runtime/gfx3d/object_slot.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "mesh_test_helpers.h"
#include "runtime/gfx3d/mesh_file.h"

namespace quillon {
namespace {

using testing::QmoBytes;

class ObjectSlotTest : public testing::MeshTest {
 protected:
  // A one-triangle mesh at x offset x.
  void WriteMesh(const std::string& path, uint8_t x) {
    QmoBytes b;
    b.Head(1, 1, 3).I32(0x00FF00);
    for (int i = 0; i < 6; ++i) b.F32(0);
    b.FrameHead(3).U8({x, 0, 0, 0, 0, x, 10, 0, 0, 0, x, 0, 10, 0, 0});
    testing::WriteBytes(path, b.bytes);
  }
  ObjectSlot slot;
};

TEST_F(ObjectSlotTest, OneMeshNeedsAFrameWithVertices) {
  QmoBytes empty;
  empty.Head(0, 0, 0);
  testing::WriteBytes(Path("empty.qmo"), empty.bytes);
  EXPECT_EQ(LoadObjectSlot(slot, Path("empty.qmo").c_str()), 0);
  EXPECT_FALSE(slot.loaded);
  EXPECT_EQ(LoadObjectSlot(slot, Path("missing.qmo").c_str()), 0);

  WriteMesh(Path("tri.qmo"), 4);
  ASSERT_EQ(LoadObjectSlot(slot, Path("tri.qmo").c_str()), 1);
  EXPECT_TRUE(slot.loaded);
  EXPECT_FALSE(slot.isCompound);
  ASSERT_EQ(slot.parts.Count(), 1);
  EXPECT_EQ(slot.parts[0].pose.Count(), 3);
  EXPECT_EQ(slot.parts[0].hasColours, 1);
  EXPECT_GT(slot.parts[0].frames[0].radius, 0.0f);

  ReleaseObjectSlot(slot);
  EXPECT_EQ(slot.parts.Count(), 0);
  EXPECT_FALSE(slot.loaded);
}

TEST_F(ObjectSlotTest, CompoundNamesAreRelativeToItsFolder) {
  std::filesystem::create_directories(Path("data"));
  WriteMesh(Path("data/wheel.qmo"), 7);
  WriteMesh(Path("wheel.qmo"), 99);  // the same name beside the caller must not be taken
  testing::WriteText(Path("data/car.txt"),
                     ";QMW compound\r\n[objects]\r\ncount=3\r\n1=wheel.qmo\r\n2=gone.qmo\r\n"
                     "3=wheel.qmo\r\n3ta=-4\r\n");
  ASSERT_EQ(LoadObjectSlot(slot, Path("data/car.txt").c_str()), 1);
  EXPECT_TRUE(slot.loaded);
  EXPECT_TRUE(slot.isCompound);
  ASSERT_EQ(slot.parts.Count(), 3);
  ASSERT_EQ(slot.parts[0].pose.Count(), 3);
  EXPECT_EQ(slot.parts[0].pose[0].position[0], 7.0f);
  EXPECT_EQ(slot.parts[1].frames.Count(), 0);  // a mesh that fails leaves an empty part
  EXPECT_EQ(slot.parts[2].pose.Count(), 3);
  EXPECT_EQ(slot.textures.Count(), 0);
  // Without textures every number draws untextured; negative numbers are kept.
  EXPECT_EQ(slot.parts[0].textureA, -1);
  EXPECT_EQ(slot.parts[2].textureA, -4);
}

TEST_F(ObjectSlotTest, CompoundCountsBeyondItsKeysAllocateNothing) {
  testing::WriteText(Path("big.txt"),
                     ";QMW\n[textures]\ncount=2000000000\n[objects]\ncount=1e12\n1=none.qmo\n");
  EXPECT_TRUE(LoadCompoundObject(Path("big.txt").c_str(), slot));
  EXPECT_EQ(slot.textures.Count(), 1);  // cut to the one entry the section holds
  EXPECT_EQ(slot.parts.Count(), 0);     // 1e12 is outside int32: no entries
  EXPECT_TRUE(LoadCompoundObject(Path("missing.txt").c_str(), slot));
  EXPECT_TRUE(slot.loaded);
  EXPECT_TRUE(slot.isCompound);
}

}  // namespace
}  // namespace quillon
