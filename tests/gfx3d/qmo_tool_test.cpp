// The model tool end to end: an OBJ file in, a qmo file the runtime loads out.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

#include "mesh_test_helpers.h"
#include "runtime/gfx3d/mesh_file.h"

namespace quillon {
namespace {

class QmoToolTest : public testing::MeshTest {
 protected:
  int Run(const std::string& arguments) {
    std::string command =
        std::string(QUILLON_QMO_PATH) + " " + arguments + " > " + Path("out.txt") + " 2>&1";
    return std::system(command.c_str());
  }
};

TEST_F(QmoToolTest, ImportedObjUnpacksWithinOneQuantisationStep) {
  const float known[4][3] = {{-3, 0, 1}, {7, 0, 1}, {7, 2.5f, -4}, {-3, 2.5f, 1}};
  std::string obj = "mtllib m.mtl\n";
  for (const auto& v : known) {
    obj += "v " + std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) +
           "\n";
  }
  obj += "vt 0 0\nvt 1 0\nvt 1 0.25\nvt 0 0.25\nusemtl green\nf 1/1 2/2 3/3 4/4\n";
  testing::WriteText(Path("quad.obj"), obj);
  testing::WriteText(Path("m.mtl"), "newmtl green\nKd 0 1 0\n");
  ASSERT_EQ(Run("import " + Path("quad.obj") + " " + Path("quad.qmo")), 0);

  MeshObjectX mesh;
  ASSERT_TRUE(LoadMeshFile(mesh, Path("quad.qmo").c_str(), false));
  mesh.BuildTriangles();
  ASSERT_EQ(mesh.frames.Count(), 1);
  ASSERT_EQ(mesh.pose.Count(), 6);
  const float* step = mesh.frames[0].scale;
  int matched = 0;
  for (const MeshVertex& v : mesh.pose.items) {
    EXPECT_EQ(v.colour, 0x00FF00u);
    for (const auto& k : known) {
      if (std::fabs(v.position[0] - k[0]) <= step[0] &&
          std::fabs(v.position[1] - k[1]) <= step[1] &&
          std::fabs(v.position[2] - k[2]) <= step[2]) {
        ++matched;
        // Import flips v to run down; unpacking flips it back: the file's v, modulo 1.
        float drawnV = k[1] == 0 ? 0.0f : 0.25f;
        EXPECT_NEAR(std::fmod(v.v + 2.0f, 1.0f), drawnV, 1e-6) << k[0] << " " << k[1];
        break;
      }
    }
  }
  EXPECT_EQ(matched, 6);

  ASSERT_EQ(Run("info " + Path("quad.qmo")), 0);
  std::vector<uint8_t> info = testing::ReadBytes(Path("out.txt"));
  EXPECT_NE(std::string(info.begin(), info.end()).find("2 triangles"), std::string::npos);
  ASSERT_EQ(Run("text " + Path("quad.qmo") + " " + Path("quad.txt")), 0);
  MeshObjectX text;
  ASSERT_TRUE(LoadMeshFile(text, Path("quad.txt").c_str(), false));
  EXPECT_NE(Run("import " + Path("missing.obj") + " " + Path("x.qmo")), 0);
}

// Text to standard output goes to the stream as it is: appended output keeps what was there.
// Colour values that are no run marker are shown as colours.
TEST_F(QmoToolTest, TextAppendsToRedirectedOutputAndInfoShowsColours) {
  testing::QmoBytes b;
  b.Head(1, 2, 4).I32(static_cast<int32_t>(MarkerFan)).I32(static_cast<int32_t>(0xFFFFFFFC));
  for (int i = 0; i < 8; ++i) b.F32(0);
  b.FrameHead(4).U8({0, 0, 0, 0, 0, 1, 1, 1, 0, 1, 2, 2, 2, 0, 1, 3, 1, 2, 0, 1});
  testing::WriteBytes(Path("m.qmo"), b.bytes);
  testing::WriteText(Path("log.txt"), "earlier line\n");
  std::string command = std::string(QUILLON_QMO_PATH) + " text " + Path("m.qmo") + " >> " +
                        Path("log.txt") + " && " + QUILLON_QMO_PATH + " text " + Path("m.qmo") +
                        " >> " + Path("log.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<uint8_t> bytes = testing::ReadBytes(Path("log.txt"));
  std::string log(bytes.begin(), bytes.end());
  EXPECT_EQ(log.rfind("earlier line\nQMOA 1.1\n", 0), 0u);
  EXPECT_NE(log.find("QMOA", log.find("QMOA") + 1), std::string::npos);  // both runs are there
  ASSERT_EQ(Run("info " + Path("m.qmo")), 0);
  bytes = testing::ReadBytes(Path("out.txt"));
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("colours: fan-marker FFFFFFFC\n"),
            std::string::npos);
}

TEST_F(QmoToolTest, FaceIndexPastTheVerticesIsRefusedNotACrash) {
  testing::WriteText(Path("bad.ply"),
                     "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                     "property float y\nproperty float z\nelement face 2\n"
                     "property list uchar int vertex_indices\nend_header\n"
                     "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 0 1 99999999\n");
  int status = Run("import " + Path("bad.ply") + " " + Path("bad.qmo"));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);  // a shell reports a crash as 128 + signal
  std::vector<uint8_t> said = testing::ReadBytes(Path("out.txt"));
  EXPECT_NE(std::string(said.begin(), said.end()).find("cannot read"), std::string::npos);
}

TEST_F(QmoToolTest, Md2FramesBecomeAnimationFrames) {
  // One triangle, two frames; frame f is moved by 10 f along the file's z axis.
  testing::QmoBytes md2;
  md2.U8({'I', 'D', 'P', '2'});
  for (int32_t v : {8, 64, 64, 52, 0, 3, 3, 1, 1, 2, 68, 68, 80, 92, 196, 200}) md2.I32(v);
  md2.U8({0, 0, 0, 0, 64, 0, 0, 0, 0, 0, 64, 0, 0, 0, 1, 0, 2, 0, 0, 0, 1, 0, 2, 0});
  for (int f = 0; f < 2; ++f) {
    md2.F32(1).F32(1).F32(1).F32(0).F32(0).F32(10.0f * f);
    for (int i = 0; i < 16; ++i) md2.U8({0});
    md2.U8({0, 0, 0, 0, 100, 0, 0, 0, 0, 100, 0, 0});
  }
  md2.I32(0);
  testing::WriteBytes(Path("tri.md2"), md2.bytes);
  ASSERT_EQ(Run("import " + Path("tri.md2") + " " + Path("tri.qmo")), 0);
  MeshObjectX mesh;
  ASSERT_TRUE(LoadMeshFile(mesh, Path("tri.qmo").c_str(), false));
  mesh.BuildTriangles();
  ComputeFrameBounds(mesh);
  ASSERT_EQ(mesh.frames.Count(), 2);
  EXPECT_EQ(mesh.hasColours, 0);  // no colour of its own: plain white, not the importer's grey
  float moved = 0;
  for (int a = 0; a < 3; ++a)
    moved += std::fabs(mesh.frames[1].centre[a] - mesh.frames[0].centre[a]);
  EXPECT_NEAR(moved, 10.0f, 0.5f);
}

}  // namespace
}  // namespace quillon
