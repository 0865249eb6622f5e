// The model tool end to end: an OBJ file in, a qmo file the runtime loads out.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillon
