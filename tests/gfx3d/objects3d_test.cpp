// Objects built from vertices, the frame choice of a draw and the effect-mode preparation,
// without a window.
#include "runtime/gfx3d/objects3d.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "runtime/gfx3d/draw_part.h"
#include "runtime/gfx3d/effects3d.h"
#include "runtime/gfx3d/collision3d.h"
#include "runtime/gfx3d/rainbows3d.h"

namespace quillon {
namespace {

void ExpectChoice(FrameChoice c, int32_t first, int32_t second, float weight) {
  EXPECT_EQ(c.first, first);
  EXPECT_EQ(c.second, second);
  EXPECT_NEAR(c.weight, weight, 1e-6f);
}

TEST(FrameChoiceTest, RangesWeightsAndClamping) {
  // Ascending 0..4 at 0.3: position 1.2 is frame 2 weighted back towards 1.
  ExpectChoice(ChooseFrames(0, 4, 0.3, true, 8), 2, 1, 0.8f);
  // At a whole position the weight is 1: frame 1 itself.
  ExpectChoice(ChooseFrames(0, 4, 0.25, true, 8), 2, 1, 1);
  // Descending 4..0 at 0.3: position 2.8 is frame 2 weighted towards 3.
  ExpectChoice(ChooseFrames(4, 0, 0.3, true, 8), 2, 3, 0.8f);
  // Descending at a whole position: weight exactly 0, so the second frame (i + 1) shows.
  ExpectChoice(ChooseFrames(4, 0, 0.25, true, 8), 3, 4, 0);
  ExpectChoice(ChooseFrames(3, 3, 0.7, true, 8), 3, 3, 0);
  // Positions outside 0..1 wrap to |fmod(t, 1)|.
  ExpectChoice(ChooseFrames(0, 4, 1.3, true, 8), 2, 1, 0.8f);
  ExpectChoice(ChooseFrames(0, 4, -0.3, true, 8), 2, 1, 0.8f);
  // Without the flag the pair is taken as given; frames are clamped to the table.
  ExpectChoice(ChooseFrames(1, 6, 0.4, false, 8), 1, 6, 0.4f);
  ExpectChoice(ChooseFrames(-3, 99, 0.5, false, 4), 0, 3, 0.5f);
  ExpectChoice(ChooseFrames(0, 4, 0.99, true, 4), 3, 3, 1 - 0.96f);
  // Bad numbers from a caller: NaN frames are frame 0, a NaN weight is 0.
  ExpectChoice(ChooseFrames(NAN, 2, NAN, false, 4), 0, 2, 0);
  ExpectChoice(ChooseFrames(NAN, INFINITY, NAN, true, 4), 0, 0, 0);
  ExpectChoice(ChooseFrames(1, 2, 0.5, true, 0), 0, 0, 0);
}

TEST(FrameChoiceTest, ApproximateRootIsCloseInMagnitude) {
  EXPECT_EQ(ApproxSquareRoot(1), 1);
  EXPECT_EQ(ApproxSquareRoot(4), 2);
  for (float x : {0.01f, 0.3f, 2.0f, 77.0f, 1e6f}) {
    EXPECT_NEAR(std::fabs(ApproxSquareRoot(x)), std::sqrt(x), std::sqrt(x) * 0.07f) << x;
  }
}

class BuildObjectTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CreateRenderer3D(); }
  static void TearDownTestSuite() { DestroyRenderer3D(); }
  Rainbows3D& R() { return *Renderer3D(); }
  MeshObjectX& Part(int slot) { return R().slots[slot].parts[0]; }
  void Square(double slot, double quality) {
    SetBuildQuality(quality);
    StartObject(slot);
    AddVertex(0, 0, 0, 0, 0, 0xFF);
    AddVertex(1, 0, 0, 1, 0, 0xFF);
    AddVertex(0, 1, 0, 0, 1, 0xFF);
    AddVertex(1, 1, 0, 1, 1, 0xFF);
    EndObject();
  }
  // Two slopes meeting at a ridge along x = 0, one strip each; the normals at the ridge.
  std::set<std::vector<float>> RidgeNormals(double quality) {
    SetBuildQuality(quality);
    StartObject(4);
    for (double x : {-1.0, 0.0}) {
      NewStrip();
      AddVertex(x, x + 1, 1, 0, 0, 0xFF);
      AddVertex(x + 1, -x, 1, 0, 0, 0xFF);
      AddVertex(x, x + 1, -1, 0, 0, 0xFF);
      AddVertex(x + 1, -x, -1, 0, 0, 0xFF);
    }
    EndObject();
    std::set<std::vector<float>> normals;
    for (const MeshVertex& v : Part(4).frames[0].triangles.items) {
      if (std::fabs(v.position[0]) < 0.01f) normals.insert({v.normal[0], v.normal[1], v.normal[2]});
    }
    return normals;
  }
};

TEST_F(BuildObjectTest, VerticesMakeRunsAndShortObjectsRelease) {
  Square(1, 0);
  EXPECT_TRUE(R().slots[1].loaded);
  EXPECT_EQ(ObjectVertexCount(1), 6);
  EXPECT_EQ(R().buildSlot, -1);
  AddVertex(5, 5, 5, 0, 0, 0xFF);  // after EndObject: nothing
  NewStrip();
  EXPECT_EQ(Part(1).frames[0].unpacked.Count(), 0);

  // A list run of 7 vertices makes two triangles; a non-finite vertex is left out.
  StartObject(2);
  AddVertex(0, 0, 0, 0, 0, -1);
  for (int k = 0; k < 7; ++k) AddVertex(k, k * k, 1, 0, 0, 0xFF00);
  AddVertex(NAN, 0, 0, 0, 0, 0xFF00);
  AddVertex(1e300, 0, 0, 0, 0, 0xFF00);
  EndObject();
  EXPECT_EQ(ObjectVertexCount(2), 6);

  // StartObject's strip mark and one vertex: the part is released, the slot loaded but empty.
  StartObject(3);
  AddVertex(1, 2, 3, 0, 0, 0xFF);
  EndObject();
  EXPECT_TRUE(R().slots[3].loaded);
  EXPECT_EQ(Part(3).frames.Count(), 0);
  EXPECT_EQ(ObjectVertexCount(3), 0);

  // Bad slot numbers start nothing, so the vertices after them go nowhere.
  StartObject(-1);
  StartObject(NAN);
  StartObject(4096);
  AddVertex(0, 0, 0, 0, 0, 0xFF);
  EndObject();
  EXPECT_EQ(R().buildSlot, -1);
  EXPECT_EQ(ObjectVertexCount(3), 0);
}

// Coordinates at the ends of the float range: the packing span passes it, the step does not.
TEST_F(BuildObjectTest, VerticesAcrossTheWholeFloatRangePackFinite) {
  StartObject(5);
  AddVertex(-3e38, 0, 0, 0, 0, 0xFF);
  AddVertex(3e38, 0, 0, 0, 0, 0xFF);
  AddVertex(0, 1, 0, 0, 0, 0xFF);
  AddVertex(NAN, 2, 0, 0, 0, 0xFF);  // dropped
  EndObject();
  const MeshFrame& frame = Part(5).frames[0];
  ASSERT_EQ(frame.triangles.Count(), 3);
  EXPECT_NEAR(frame.triangles[0].position[0], -3e38, 3e38 / 255);
  EXPECT_NEAR(frame.triangles[1].position[0], 3e38, 3e38 / 255);
  EXPECT_NEAR(frame.triangles[2].position[1], 1, 1.0 / 255);
  EXPECT_EQ(ObjectHitsBox(5, 0, 1000, 1000, 1000, 1, 1), 0);
}

TEST_F(BuildObjectTest, SavedObjectsLoadBackAndMissingFilesGiveZero) {
  std::string dir = ::testing::TempDir();
  std::string path = dir + "/square.qmo";
  Square(8, 0);
  EXPECT_EQ(SaveObject(path.c_str(), 8), 1);
  EXPECT_EQ(SaveObject((dir + "/no/such/dir/x.qmo").c_str(), 8), 0);
  EXPECT_EQ(SaveObject(path.c_str(), 9), 0);                          // no mesh in the slot
  EXPECT_EQ(LoadObject(path.c_str(), 9), 1);
  EXPECT_EQ(ObjectVertexCount(9), 6);
  EXPECT_EQ(LoadObject((dir + "/missing.qmo").c_str(), 9), 0);
  EXPECT_EQ(ObjectVertexCount(9), 6);  // an unresolved name leaves the slot alone
  EXPECT_EQ(LoadObject(path.c_str(), -2), 0);
  // Loading over an object being built ends the building.
  StartObject(9);
  EXPECT_EQ(LoadObject(path.c_str(), 9), 1);
  AddVertex(7, 7, 7, 0, 0, 0xFF);
  EndObject();
  EXPECT_EQ(ObjectVertexCount(9), 6);
}

// A save that cannot write every byte reports 0 and leaves the file saved before as it was.
TEST_F(BuildObjectTest, AFailedSaveKeepsTheOldFile) {
  std::string dir = ::testing::TempDir() + "/failed-save";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directory(dir);
  std::string path = dir + "/square.qmo";
  Square(8, 0);
  ASSERT_EQ(SaveObject(path.c_str(), 8), 1);
  uintmax_t size = std::filesystem::file_size(path);
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);  // a write past the cap fails with EFBIG instead
    struct rlimit cap = {16, 16};
    setrlimit(RLIMIT_FSIZE, &cap);
    StartObject(8);
    for (int k = 0; k < 20; ++k) AddVertex(k, k % 2, 0, 0, 0, 0xFF);
    EndObject();
    _exit(SaveObject(path.c_str(), 8) == 0 ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(std::filesystem::file_size(path), size);
  EXPECT_EQ(LoadObject(path.c_str(), 9), 1);
  EXPECT_EQ(ObjectVertexCount(9), 6);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) files += entry.exists();
  EXPECT_EQ(files, 1);  // no half-written file left beside it
  EXPECT_EQ(SaveObject(dir.c_str(), 8), 0);  // a folder is not a file to replace
  EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST_F(BuildObjectTest, QualityVariantsCreaseOrSmoothWhereRunsMeet) {
  EXPECT_EQ(RidgeNormals(1).size(), 2u);  // each run keeps its own slope's normal
  std::set<std::vector<float>> smooth = RidgeNormals(2);
  ASSERT_EQ(smooth.size(), 1u);
  EXPECT_NEAR((*smooth.begin())[1], 1, 1e-5f);  // straight up, between the slopes
  SetBuildQuality(-1);                          // modulo 3
  EXPECT_EQ(R().qualityMode, 2);
  SetBuildQuality(NAN);
  EXPECT_EQ(R().qualityMode, 2);
}

TEST_F(BuildObjectTest, TangentsFollowTheTextureAxes) {
  Square(6, 2);
  // u grows along x; the drawn v is the negated given v, so it grows along -y.
  for (const MeshVertex& v : Part(6).frames[0].triangles.items) {
    EXPECT_NEAR(v.normal[2], 1, 0.01f);
    EXPECT_NEAR(v.dir2[0], 1, 0.1f);
    EXPECT_NEAR(v.dir3[1], -1, 0.1f);
  }
  // Without them (quality 0, as a file loads), the first bump draw adds them, once, across the
  // normal there is.
  Square(10, 0);
  MeshObjectX& plain = Part(10);
  EXPECT_TRUE(PrepareTangents(plain, 1));
  EXPECT_FALSE(PrepareTangents(plain, 1));
  for (const MeshVertex& v : plain.frames[0].triangles.items) {
    EXPECT_GT(v.dir2[0], 0.5f);
    EXPECT_NEAR(v.dir2[0] * v.normal[0] + v.dir2[1] * v.normal[1] + v.dir2[2] * v.normal[2], 0,
                0.2f);
  }
}

TEST_F(BuildObjectTest, ShadowVolumeRisesFromTheLitSilhouette) {
  Square(7, 0);
  MeshObjectX& part = Part(7);
  BuildEdgeNeighbours(part);
  ASSERT_EQ(part.edgeNeighbours.Count(), 6);
  int shared = 0;
  for (int32_t k = 0; k < 6; ++k) {
    EdgeNeighbour n = part.edgeNeighbours[k];
    if (n.triangle < 0) continue;
    ++shared;
    EXPECT_EQ(part.edgeNeighbours[n.triangle * 3 + n.edge].triangle, k / 3);
  }
  EXPECT_EQ(shared, 2);  // the diagonal, seen from both triangles

  const GrowList<MeshVertex>& tris = part.frames[0].triangles;
  std::vector<float> volume;
  float above[3] = {0.5f, 0.5f, 5};
  ComputeFaceFlags(part, tris.Data(), tris.Count(), above);
  EXPECT_EQ(part.faceFlags[0] + part.faceFlags[1], 2);
  BuildShadowVolume(part, tris.Data(), tris.Count(), above, volume);
  ASSERT_EQ(volume.size(), 4u * 4 * 4);  // four outline edges, one quad each
  for (size_t q = 0; q < volume.size(); q += 16) {
    EXPECT_EQ(volume[q + 3], 1);
    EXPECT_EQ(volume[q + 7], 1);
    EXPECT_EQ(volume[q + 11], 0);  // extruded to infinity, away from the light
    EXPECT_LT(volume[q + 10], 0);
  }
  float below[3] = {0.5f, 0.5f, -5};
  ComputeFaceFlags(part, tris.Data(), tris.Count(), below);
  BuildShadowVolume(part, tris.Data(), tris.Count(), below, volume);
  EXPECT_TRUE(volume.empty());
}

}  // namespace
}  // namespace quillon
