// The qmo reader and writer: the format's own cases and damaged files of every kind.
#include "runtime/gfx3d/mesh_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mesh_test_helpers.h"

namespace quillon {
namespace {

using testing::QmoBytes;

class MeshFileTest : public testing::MeshTest {
 protected:
  // Loads bytes written to a file; the path is what the log must name.
  bool Load(const std::vector<uint8_t>& bytes, bool unpack = false) {
    path = Path("m.qmo");
    testing::WriteBytes(path, bytes);
    return LoadMeshFile(mesh, path.c_str(), unpack);
  }
  bool LoadText(const std::string& text) {
    return Load(std::vector<uint8_t>(text.begin(), text.end()));
  }
  // False, a cleared mesh and exactly "# read error" and the path in the log.
  void ExpectReadError(const std::vector<uint8_t>& bytes) {
    EXPECT_FALSE(Load(bytes));
    EXPECT_EQ(mesh.frames.Count(), 0);
    EXPECT_EQ(mesh.colours.Count(), 0);
    EXPECT_EQ(mesh.texU.Count(), 0);
    EXPECT_EQ(Log(), "# read error\r\n" + path + "\r\n");
    std::remove((LogPath()).c_str());
  }
  void ExpectTextReadError(const std::string& text) {
    ExpectReadError(std::vector<uint8_t>(text.begin(), text.end()));
  }
  MeshObjectX mesh;
  std::string path;
};

// One frame of 3 vertices in a fan, colours {fan marker, red}.
QmoBytes SmallFile() {
  QmoBytes b;
  b.Head(1, 2, 4).I32(static_cast<int32_t>(MarkerFan)).I32(0xFF);
  for (float x : {0.0f, 0.0f, 0.25f, 0.5f, 1.0f, 0.0f, 1.0f, 1.0f}) b.F32(x);
  b.FrameHead(4).U8({0, 0, 0, 0, 0, 1, 2, 3, 5, 1, 4, 5, 6, 7, 1, 7, 8, 9, 161, 1});
  return b;
}

TEST_F(MeshFileTest, OnlyVersionOnePointOhTwoIsRead) {
  for (double version : {1.025, 1.0}) {
    QmoBytes b;
    b.Head(0, 0, 0, version);
    EXPECT_FALSE(Load(b.bytes));
    EXPECT_EQ(Log(), "Wrong .qmo version.\r\n# read error\r\n" + path + "\r\n");
    std::remove((LogPath()).c_str());
  }
  QmoBytes empty;
  empty.Head(0, 0, 0, 1.02);
  EXPECT_TRUE(Load(empty.bytes));  // F = 0 is an empty mesh, not a failure
  EXPECT_EQ(mesh.binaryLoaded, 1);
  EXPECT_EQ(Log(), "");
}

TEST_F(MeshFileTest, BinaryFieldsLandInTheModelAndSaveIsByteIdentical) {
  std::vector<uint8_t> original = SmallFile().bytes;
  ASSERT_TRUE(Load(original, true));
  ASSERT_EQ(mesh.frames.Count(), 1);
  const MeshFrame& f = mesh.frames[0];
  ASSERT_EQ(f.packed.Count(), 4);
  EXPECT_EQ(f.packed[3].normalIndex, 161);
  EXPECT_EQ(f.packed[2].q[2], 6);
  ASSERT_EQ(f.unpacked.Count(), 4);  // markers included
  EXPECT_EQ(f.unpacked[1].v, -0.5f);
  EXPECT_EQ(f.unpacked[3].position[2], 9.0f);
  EXPECT_EQ(f.unpacked[3].rgb[0], 1.0f);
  mesh.BuildTriangles();
  EXPECT_EQ(mesh.pose.Count(), 3);

  std::string saved = Path("saved.qmo");
  ASSERT_EQ(SaveMeshFile(mesh, saved.c_str()), 1);
  EXPECT_EQ(testing::ReadBytes(saved), original);
  EXPECT_EQ(SaveMeshFile(mesh, (dir + "/no/such/folder.qmo").c_str()), 0);
  EXPECT_FALSE(LoadMeshFile(mesh, (dir + "/missing.qmo").c_str(), false));
  EXPECT_EQ(Log(), "");  // a file that cannot be opened is not logged
  // A folder opens, and claims a size of 2^63 - 1; it reads as an empty, damaged file.
  EXPECT_FALSE(LoadMeshFile(mesh, dir.c_str(), false));
  EXPECT_EQ(Log(), "# read error\r\n" + dir + "\r\n");
}

TEST_F(MeshFileTest, TextVariantBecomesPackedFans) {
  ASSERT_TRUE(
      LoadText("QMOA 1.1 # a comment right after a token\n"
               "2  0.25 0.5   1 0\n"
               "1\t 255 0 256  3  0 0 1 1 2 0\r\n"
               "2\n3  0 0 0 0 0 1#x\n  1 0 0 0 0 1  0 1 0 0 0 1\n"
               "3  0 0 5 0 0 1  2 0 5 0 0 1  0 2 5 0 0 1\n"));
  ASSERT_EQ(mesh.frames.Count(), 2);
  EXPECT_EQ(mesh.binaryLoaded, 0);
  ASSERT_EQ(mesh.frames[0].packed.Count(), 4);  // the fan marker and 3 corners
  ASSERT_EQ(mesh.colours.Count(), 2);
  EXPECT_EQ(mesh.colours[0], MarkerFan);
  EXPECT_EQ(mesh.colours[1], 0x0000FFu);  // blue 256 keeps its low byte
  mesh.BuildTriangles();
  ComputeFrameBounds(mesh);
  ASSERT_EQ(mesh.pose.Count(), 3);
  EXPECT_EQ(mesh.pose[0].u, 0.25f);
  EXPECT_EQ(mesh.pose[0].v, -0.5f);
  EXPECT_EQ(mesh.pose[1].u, 1.0f);
  EXPECT_NEAR(mesh.pose[1].position[0], 1.0f, 1.0f / 255);
  EXPECT_NEAR(mesh.frames[1].triangles[1].position[0], 2.0f, 2.0f / 255);
  EXPECT_EQ(mesh.frames[1].triangles[2].position[2], 5.0f);
  EXPECT_GT(mesh.pose[0].normal[2], 0.99f);
  EXPECT_EQ(mesh.frames[0].unpacked.Count(), 0);
}

TEST_F(MeshFileTest, TextTokenRules) {
  // Below version 1.1 there are no normals; a 2000-byte token is cut, not overflowed.
  std::string longToken = "0." + std::string(1998, '0');
  ASSERT_TRUE(LoadText("QMOA 1.0 0 1 9 9 9 3 0 0 0 0 0 0 1 1 " + longToken + " 0 0"));
  ASSERT_EQ(mesh.frames[0].packed.Count(), 4);
  EXPECT_EQ(mesh.frames[0].packed[1].normalIndex, 0);
  ExpectTextReadError("QMOA 1.2 0 0 0");
  ExpectTextReadError("qmoa 1.0 0 0 0");
  ExpectTextReadError("");
}

TEST_F(MeshFileTest, TextIndicesMustNameExistingVerticesAndPairs) {
  ExpectTextReadError("QMOA 1.0 0 1 0 0 0 3 0 0 1 0 5 0 1 2 0 0 0 1 1 1");  // vertex 5 of 2
  ExpectTextReadError("QMOA 1.0 0 1 0 0 0 3 0 0 1 0 -1 0 1 3 0 0 0 1 1 1 2 2 2");
  ExpectTextReadError("QMOA 1.0 1 0 0 1 0 0 0 3 0 0 1 3 2 0 1 3 0 0 0 1 1 1 2 2 2");  // uv 3 of 1
  // Every frame must have the vertices the polygons name.
  ExpectTextReadError("QMOA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 2 3 0 0 0 1 1 1 2 2 2 2 0 0 0 1 1 1");
}

TEST_F(MeshFileTest, TextCountsBeyondTheFileAreRejected) {
  ExpectTextReadError("QMOA 1.0 2000000000 1 2");
  ExpectTextReadError("QMOA 1.0 0 1 0 0 0 1e9");
  // A count outside the int32 range means no entries.
  EXPECT_TRUE(LoadText("QMOA 1.0 0 0 5e9"));
  EXPECT_EQ(mesh.frames.Count(), 0);
}

TEST_F(MeshFileTest, FewPolygonsTimesManyFramesCannotBlowUp) {
  // 400 corners on vertex 0 times 3000 one-vertex frames would be 1.2 million vertices from a
  // 30 KB file.
  std::string text = "QMOA 1.0 0 1 0 0 0 400";
  for (int i = 0; i < 400; ++i) text += " 0 0";
  text += " 3000";
  for (int i = 0; i < 3000; ++i) text += " 1 0 0 0";
  ExpectTextReadError(text);
}

TEST_F(MeshFileTest, DamagedBinaryFilesFailCleanly) {
  std::vector<uint8_t> good = SmallFile().bytes;
  // Cut anywhere inside the frame block.
  for (size_t cut : {good.size() - 1, good.size() - 5, good.size() - 20, size_t{40}}) {
    ExpectReadError(std::vector<uint8_t>(good.begin(), good.begin() + cut));
  }
  // Colour index 2 with 2 colours.
  std::vector<uint8_t> colour = good;
  colour.back() = 2;
  ExpectReadError(colour);
  // Negative and huge counts, before anything is allocated for them.
  for (int32_t bad : {-1, 0x7FFFFFFF, 0x40000000}) {
    QmoBytes f;
    f.Head(bad, 0, 0);
    ExpectReadError(f.bytes);
    QmoBytes l;
    l.Head(1, bad, 0);
    ExpectReadError(l.bytes);
    QmoBytes t;
    t.Head(1, 0, bad);
    ExpectReadError(t.bytes);
    QmoBytes n;
    n.Head(1, 1, 0).I32(0).FrameHead(bad);
    ExpectReadError(n.bytes);
  }
}

TEST_F(MeshFileTest, EveryFrameHasOneVertexPerTextureCoordinate) {
  // T = 1, N = 2: vertex 1 has no texture coordinate.
  QmoBytes more;
  more.Head(1, 1, 1).I32(0xFF).F32(0).F32(0).FrameHead(2).U8({1, 1, 1, 0, 0, 2, 2, 2, 0, 0});
  ExpectReadError(more.bytes);
  // Frames of different lengths.
  QmoBytes ragged;
  ragged.Head(2, 1, 1).I32(0xFF).F32(0).F32(0).FrameHead(1).U8({1, 1, 1, 0, 0});
  ragged.FrameHead(2).U8({1, 1, 1, 0, 0, 2, 2, 2, 0, 0});
  ExpectReadError(ragged.bytes);
  // A normal index past the table is entry 0.
  QmoBytes normal;
  normal.Head(1, 1, 1).I32(0xFF).F32(0).F32(0).FrameHead(1).U8({1, 1, 1, 250, 0});
  ASSERT_TRUE(Load(normal.bytes, true));
  EXPECT_EQ(mesh.frames[0].unpacked[0].normal[0], NormalTable[0][0]);
}

TEST_F(MeshFileTest, AFileWithoutTextureCoordinatesLoadsWithUvZero) {
  QmoBytes untextured;
  untextured.Head(2, 1, 0).I32(0xFF);
  for (int f = 0; f < 2; ++f) untextured.FrameHead(3).U8({1, 1, 1, 0, 0, 2, 2, 2, 0, 0, 9, 9, 9, 0, 0});
  ASSERT_TRUE(Load(untextured.bytes, true));
  ASSERT_EQ(mesh.frames.Count(), 2);
  EXPECT_EQ(mesh.frames[1].unpacked[2].position[0], 9.0f);
  EXPECT_EQ(mesh.frames[1].unpacked[2].u, 0.0f);
  EXPECT_EQ(mesh.frames[1].unpacked[2].v, 0.0f);
  // Without texture coordinates the first frame's count binds the others.
  QmoBytes uneven;
  uneven.Head(2, 1, 0).I32(0xFF);
  uneven.FrameHead(3).U8({1, 1, 1, 0, 0, 2, 2, 2, 0, 0, 9, 9, 9, 0, 0});
  uneven.FrameHead(1).U8({1, 1, 1, 0, 0});
  ExpectReadError(uneven.bytes);
}

// Not-finite coordinates never reach a frame: one would make every coordinate of it NaN.
TEST_F(MeshFileTest, NonFiniteCoordinatesAreRefused) {
  for (const char* bad : {"nan", "inf", "-inf", "1e39"}) {
    ExpectTextReadError(std::string("QMOA 1.0 0 1 255 0 0 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 ") + bad +
                        " 1 0");
  }
  const float inf = std::numeric_limits<float>::infinity();
  // Offsets and scales that are not finite, or unpack past the float range.
  const float heads[][2] = {{std::nanf(""), 1}, {0, inf}, {-inf, 1}, {0, 3e38f}, {-1e36f, 1e4f}};
  for (const auto& h : heads) {
    QmoBytes b;
    b.Head(1, 1, 0).I32(0xFF).I32(1);
    for (int i = 0; i < 3; ++i) b.F32(i == 1 ? h[0] : 0);
    for (int i = 0; i < 3; ++i) b.F32(i == 1 ? h[1] : 1);
    b.U8({1, 1, 1, 0, 0});
    ExpectReadError(b.bytes);
  }
}

TEST_F(MeshFileTest, TextWriterRoundTripsTheTriangles) {
  ASSERT_TRUE(Load(SmallFile().bytes));
  mesh.BuildTriangles();
  std::string text = Path("m.txt");
  ASSERT_EQ(SaveMeshText(mesh, text.c_str()), 1);
  MeshObjectX again;
  ASSERT_TRUE(LoadMeshFile(again, text.c_str(), false));
  again.BuildTriangles();
  ASSERT_EQ(again.pose.Count(), mesh.pose.Count());
  for (int i = 0; i < mesh.pose.Count(); ++i) {
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(again.pose[i].position[a], mesh.pose[i].position[a], 9.0f / 255);
    }
    EXPECT_EQ(again.pose[i].v, mesh.pose[i].v);
    EXPECT_EQ(again.pose[i].colour, mesh.pose[i].colour);
  }
}

}  // namespace
}  // namespace quillon
