// Packing, triangle runs, frame bounds and the colour ramp's texels.
#include "runtime/gfx3d/mesh.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mesh_test_helpers.h"
#include "runtime/gfx3d/colour_ramp.h"

namespace quillon {
namespace {

using testing::MeshTest;
using testing::PackedMesh;

// The k of each triangle corner (vertex k of PackedMesh sits at x = k).
std::vector<int> CornerIds(const MeshFrame& frame) {
  std::vector<int> ids;
  for (const MeshVertex& v : frame.triangles.items) ids.push_back(static_cast<int>(v.position[0]));
  return ids;
}

TEST(MeshRuns, StripFanAndListRunsFollowTheirWindingRules) {
  // Index 0 is the marker, index 1 a colour: strip a b c d e is k = 1..5.
  MeshObjectX strip = PackedMesh({MarkerStrip, 0xFF}, {0, 1, 1, 1, 1, 1});
  strip.BuildTriangles();
  EXPECT_EQ(CornerIds(strip.frames[0]), (std::vector<int>{1, 2, 3, 3, 2, 4, 3, 4, 5}));

  MeshObjectX fan = PackedMesh({MarkerFan, 0xFF}, {0, 1, 1, 1, 1});
  fan.BuildTriangles();
  EXPECT_EQ(CornerIds(fan.frames[0]), (std::vector<int>{1, 2, 3, 1, 3, 4}));

  // A list of 7 gives two triangles; a new run after it drops nothing of its own.
  MeshObjectX list =
      PackedMesh({MarkerList, 0xFF, MarkerFan}, {0, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1});
  list.BuildTriangles();
  EXPECT_EQ(CornerIds(list.frames[0]), (std::vector<int>{1, 2, 3, 4, 5, 6, 9, 10, 11}));
  EXPECT_EQ(list.pose.Count(), 9);
  EXPECT_EQ(list.hasColours, 1);
}

TEST(MeshRuns, PlainWhiteAndMarkersAreNoColours) {
  MeshObjectX mesh = PackedMesh({MarkerFan, 0xFFFFFF, 0xFFFFFFFC}, {0, 1, 2, 1});
  mesh.BuildTriangles();
  EXPECT_EQ(mesh.hasColours, 0);
  ASSERT_EQ(mesh.pose.Count(), 3);
  EXPECT_EQ(mesh.pose[1].colour, 0xFFFFFFFCu);  // not a marker: geometry, drawn white
  EXPECT_EQ(mesh.pose[1].rgb[0], 1.0f);
}

TEST(MeshUnpack, IndicesPastTheirTablesReadNothingOutside) {
  MeshObjectX mesh = PackedMesh({0x0000FF}, {0, 0});
  mesh.frames[0].packed[0].normalIndex = 200;
  mesh.frames[0].packed[1].colourIndex = 9;
  // One texture coordinate in a block of exactly one: vertex 1 has none.
  mesh.texU.items = {0.75f};
  mesh.texV.items = {0.75f};
  mesh.texU.items.shrink_to_fit();
  mesh.texV.items.shrink_to_fit();
  MeshVertex a = UnpackVertex(mesh, mesh.frames[0], 0);
  EXPECT_EQ(a.normal[0], NormalTable[0][0]);
  EXPECT_EQ(a.normal[2], NormalTable[0][2]);
  EXPECT_EQ(a.rgb[0], 1.0f);
  EXPECT_EQ(a.rgb[1], 0.0f);
  EXPECT_EQ(a.v, -0.75f);
  MeshVertex b = UnpackVertex(mesh, mesh.frames[0], 1);
  EXPECT_EQ(b.colour, kPlainWhite);
  EXPECT_EQ(b.u, 0.0f);
}

MeshVertex Vertex(float x, float y, float z, uint32_t colour = 0x00FF00) {
  MeshVertex v{};
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  v.normal[2] = 1;
  v.colour = colour;
  return v;
}

TEST(MeshPacking, FlatAxisKeepsScaleOneAndExactValue) {
  MeshObjectX mesh;
  mesh.frames.Append(MeshFrame());
  MeshVertex marker{};
  marker.colour = MarkerFan;
  marker.position[0] = 1000;  // markers do not count for the bounds
  mesh.frames[0].unpacked.Append(marker);
  for (float y : {-2.0f, 0.5f, 7.25f}) mesh.frames[0].unpacked.Append(Vertex(3.7f, y, y * 2));
  mesh.frames[0].unpacked[1].v = 0.5f;
  PackFrames(mesh);
  const MeshFrame& f = mesh.frames[0];
  EXPECT_EQ(f.scale[0], 1.0f);
  EXPECT_EQ(f.unpacked.Count(), 0);
  ASSERT_EQ(f.packed.Count(), 4);
  EXPECT_EQ(mesh.colours.Count(), 2);
  EXPECT_EQ(mesh.texV.Count(), 4);
  const float ys[3] = {-2.0f, 0.5f, 7.25f};
  for (int k = 1; k < 4; ++k) {
    EXPECT_EQ(f.packed[k].q[0], 0);
    MeshVertex v = UnpackVertex(mesh, f, k);
    EXPECT_EQ(v.position[0], 3.7f);
    EXPECT_NEAR(v.position[1], ys[k - 1], f.scale[1]);
    EXPECT_NEAR(v.position[2], ys[k - 1] * 2, f.scale[2]);
  }
  EXPECT_EQ(UnpackVertex(mesh, f, 1).v, -0.5f);  // v flips sign once, on unpacking
  EXPECT_EQ(f.packed[0].q[0], 0);                // a leading marker keeps zero bytes
  EXPECT_EQ(f.packed[1].normalIndex, 5);           // (0, 0, 1) is table entry 5 exactly
}

TEST(MeshPacking, NormalSearchPicksTheClosestEntry) {
  float scaled[3] = {NormalTable[161][0] * 4, NormalTable[161][1] * 4, NormalTable[161][2] * 4};
  EXPECT_EQ(NearestNormalIndex(scaled), 161);
  float zero[3] = {0, 0, 0};
  EXPECT_EQ(NearestNormalIndex(zero), 0);
  float up[3] = {0, 1, 0};
  const float* t = NormalTable[NearestNormalIndex(up)];
  EXPECT_GT(t[1], 0.99f);
}

TEST_F(MeshTest, MoreThan256ColoursKeepTheFirstAndMapTheRestToTheNearest) {
  MeshObjectX mesh;
  mesh.frames.Append(MeshFrame());
  MeshVertex marker{};
  marker.colour = MarkerStrip;
  mesh.frames[0].unpacked.Append(marker);
  // 300 colours: red 0..254 with green 0 come first, then green 1.
  for (uint32_t i = 0; i < 300; ++i) {
    uint32_t colour = i < 255 ? i : (i - 255) | 0x100;
    mesh.frames[0].unpacked.Append(Vertex(static_cast<float>(i), 0, 0, colour));
  }
  mesh.frames[0].unpacked.Append(marker);
  PackFrames(mesh);
  EXPECT_EQ(mesh.colours.Count(), 256);  // the marker and 255 colours
  const MeshFrame& f = mesh.frames[0];
  EXPECT_EQ(mesh.colours[f.packed[300].colourIndex], 0x00002Cu);  // red 44, green 1
  EXPECT_EQ(mesh.colours[f.packed[256].colourIndex], 0x000000u);  // green 1, red 0 -> black
  EXPECT_EQ(mesh.colours[f.packed[301].colourIndex], MarkerStrip);
  std::string log = Log();
  EXPECT_NE(log.find("More than 256 colours"), std::string::npos);
  EXPECT_EQ(log.find("\r\n"), log.size() - 2);  // one line
}

TEST(MeshPacking, ALongColourListGetsNoIndexPastByteRange) {
  // 300 entries, 200 distinct (red 0..199), as a binary file may bring; a new colour cannot be
  // added at index 300, which a byte would wrap to 44.
  MeshObjectX mesh;
  for (uint32_t i = 0; i < 300; ++i) mesh.colours.Append(i < 200 ? i : 0);
  mesh.frames.Append(MeshFrame());
  mesh.frames[0].unpacked.Append(Vertex(0, 0, 0, 0x000107));  // red 7 with a little green
  PackFrames(mesh);
  EXPECT_EQ(mesh.colours[mesh.frames[0].packed[0].colourIndex], 7u);
}

TEST(MeshBounds, CentreIsTheMeanAndRadiusTheFarthestCorner) {
  MeshObjectX mesh;
  mesh.frames.Append(MeshFrame());
  mesh.frames.Append(MeshFrame());
  for (float x : {0.0f, 2.0f, 4.0f, 6.0f}) mesh.frames[0].triangles.Append(Vertex(x, 1, 0));
  ComputeFrameBounds(mesh);
  EXPECT_FLOAT_EQ(mesh.frames[0].centre[0], 3.0f);
  EXPECT_FLOAT_EQ(mesh.frames[0].centre[1], 1.0f);
  EXPECT_FLOAT_EQ(mesh.frames[0].radius, 3.0f);
  EXPECT_EQ(mesh.frames[1].radius, 0.0f);
  MeshFrame copy(mesh.frames[0]);
  EXPECT_EQ(copy.radius, 0.0f);  // bounds are not copied with a frame
  EXPECT_EQ(copy.triangles.Count(), 4);
}

TEST(ColourRamp, RowsLevelsAndWrapOfTheRamp) {
  GrowList<uint32_t> colours;
  for (uint32_t c : {0x0000FFu, MarkerFan, 0x804020u}) colours.Append(c);
  std::vector<uint8_t> t = ColourRampTexels(colours);
  ASSERT_EQ(t.size(), 16u * 4 * 4);
  auto texel = [&](int row, int col) {
    return std::vector<uint8_t>(&t[(row * 16 + col) * 4], &t[(row * 16 + col) * 4 + 4]);
  };
  EXPECT_EQ(texel(0, 0), (std::vector<uint8_t>{100, 0, 0, 255}));
  EXPECT_EQ(texel(0, 15), (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(texel(1, 7), (std::vector<uint8_t>{207, 207, 207, 255}));
  EXPECT_EQ(texel(2, 1),
            (std::vector<uint8_t>{0x20 * 160 / 255, 0x40 * 160 / 255, 0x80 * 160 / 255, 255}));
  for (int col = 0; col < 16; ++col) EXPECT_EQ(texel(3, col), texel(0, col));
  EXPECT_EQ(RampRows(1), 1);
  EXPECT_EQ(RampRows(257), 512);
  EXPECT_EQ(RampRows(20000), 20000);
  // No colours: one grey-level row, nothing read past the empty list.
  EXPECT_EQ(ColourRampTexels(GrowList<uint32_t>()).size(), 64u);
}

}  // namespace
}  // namespace quillon
