// Sphere, box and ray tests against object slots, and the hierarchy that must agree with the
// plain loop over every triangle.
#include "runtime/gfx3d/collision3d.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/collision3d_internal.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/triangle_bvh.h"

namespace quillon {
namespace {

MeshVertex At(float x, float y, float z) {
  MeshVertex v{};
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  return v;
}

// An n x n grid of quads over [-1, 1]² at height z: 2n² triangles facing +z.
std::vector<MeshVertex> Grid(int n, float z) {
  std::vector<MeshVertex> t;
  float step = 2.0f / n;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      float x0 = -1 + i * step, y0 = -1 + j * step, x1 = x0 + step, y1 = y0 + step;
      for (MeshVertex v : {At(x0, y0, z), At(x1, y0, z), At(x1, y1, z), At(x0, y0, z),
                           At(x1, y1, z), At(x0, y1, z)}) {
        t.push_back(v);
      }
    }
  }
  return t;
}

// A renderer without GL, installed as the runtime's for the commands.
class CollisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = runtimeState.renderer3D;
    runtimeState.renderer3D = renderer.get();
  }
  void TearDown() override {
    runtimeState.renderer3D = saved;
    UseCollisionBvh(true);
  }
  void Fill(int slot, const std::vector<MeshVertex>& triangles) {
    ObjectSlot& s = renderer->slots[slot];
    s.loaded = true;
    s.parts.Append(MeshObjectX());
    MeshObjectX& part = s.parts[s.parts.Count() - 1];
    part.frames.Append(MeshFrame());
    part.frames[0].triangles.items = triangles;
    MarkTrianglesChanged(part.frames[0]);
    ComputeFrameBounds(part);
  }
  std::unique_ptr<Rainbows3D> renderer = std::make_unique<Rainbows3D>(nullptr);
  Rainbows3D* saved = nullptr;
};

// Small grids take the plain loop, large ones the hierarchy: both must meet the contract.
TEST_F(CollisionTest, TouchingIsNoHitAndRaysBehindAreNegative) {
  for (int n : {2, 16}) {
    Fill(1, Grid(n, 0));
    SCOPED_TRACE(n);
    EXPECT_EQ(ObjectHitsSphere(1, 0, 1, 0.3, 0.2, 1), 0);
    EXPECT_EQ(ObjectHitsSphere(1, 0, 1, 0.3, 0.2, 0.999), 1);
    EXPECT_EQ(ObjectHitsSphere(1, 0, 1, 0.3, 0.2, -1), 0);
    EXPECT_EQ(ObjectHitsSphere(1, 0, 0.5, 1.4, 0, 0), 1);  // past an edge, within reach
    EXPECT_EQ(ObjectHitsSphere(1, 0, 0.5, 1.6, 0, 0), 0);
    EXPECT_FLOAT_EQ(ObjectRayDistance(1, 0, 0.3, 0.2, 1, 0, 0, -7), 1);
    EXPECT_FLOAT_EQ(ObjectRayDistance(1, 0, 0.3, 0.2, 1, 0, 0, 2), -1);
    EXPECT_EQ(ObjectRayDistance(1, 0, 1.3, 0.2, 1, 0, 0, -1), 0);
    EXPECT_EQ(ObjectHitsBox(1, 0, 0, 0, 0.5, 0.98, 5), 0);  // width spans z too
    EXPECT_EQ(ObjectHitsBox(1, 0, 0, 0, 0.5, 1.02, 5), 1);
    EXPECT_EQ(ObjectHitsBox(1, 0, 1.6, 0, 0, 1, 1), 0);
    ReleaseObjectSlot(renderer->slots[1]);
  }
}

TEST_F(CollisionTest, MissingSlotsFramesAndBadNumbersGiveNoHit) {
  Fill(2, Grid(16, 0));
  Fill(2, Grid(2, 0));  // a second part
  EXPECT_EQ(ObjectHitsSphere(2, 0, 1, 0, 0, 0), 1);
  for (double slot : {0.0, 3.0, -1.0, 4096.0, 1e12, double(NAN)}) {
    EXPECT_EQ(ObjectHitsSphere(slot, 0, 1, 0, 0, 0), 0) << slot;
    EXPECT_EQ(ObjectHitsBox(slot, 0, 0, 0, 0, 1, 1), 0) << slot;
    EXPECT_EQ(ObjectRayDistance(slot, 0, 0, 0, 1, 0, 0, -1), 0) << slot;
  }
  for (double frame : {1.0, -1.0, 1e12, double(NAN)}) {
    EXPECT_EQ(ObjectHitsSphere(2, frame, 1, 0, 0, 0), 0) << frame;
    EXPECT_EQ(ObjectHitsBox(2, frame, 0, 0, 0, 1, 1), 0) << frame;
    EXPECT_EQ(ObjectRayDistance(2, frame, 0, 0, 1, 0, 0, -1), 0) << frame;
  }
  EXPECT_EQ(ObjectHitsSphere(2, 0, -1, 0, 0, 0.5), 0);
  EXPECT_EQ(ObjectHitsSphere(2, 0, NAN, 0, 0, 0), 0);
  EXPECT_EQ(ObjectHitsBox(2, 0, 0, 0, 0, NAN, 1), 0);
  EXPECT_EQ(ObjectHitsBox(2, 0, 0, 0, 0, 1, -1), 0);
}

// A frame with points at no finite place (one, or every x as a poisoned packing gives), or
// spanning past the float range, is hit by nothing: compared with NaN, no axis separates a box.
TEST_F(CollisionTest, NonFiniteGeometryIsHitByNothing) {
  int slot = 10;
  for (int n : {2, 16}) {  // the plain loop and the hierarchy
    for (float bad : {NAN, INFINITY, 3e38f}) {
      for (bool every : {false, true}) {
        std::vector<MeshVertex> grid = Grid(n, 0);
        grid[4].position[0] = bad;
        grid[5].position[1] = -bad;
        for (MeshVertex& v : grid) v.position[0] = every ? bad : v.position[0];
        Fill(slot, grid);
        for (double at : {1000.0, 0.0}) {
          std::string shown = std::to_string(n) + " " + std::to_string(bad) + " " +
                              std::to_string(every) + " at " + std::to_string(at);
          EXPECT_EQ(ObjectHitsBox(slot, 0, at, at, at, 1, 1), 0) << shown;
          EXPECT_EQ(ObjectHitsSphere(slot, 0, 0.5, at, at, at), 0) << shown;
          EXPECT_EQ(ObjectRayDistance(slot, 0, at, at, at + 1, 0, 0, -1), 0) << shown;
        }
        ++slot;
      }
    }
  }
}

// A placement that scales must scale the shapes into part coordinates too: the transpose of a
// scaled block is not its inverse.
TEST_F(CollisionTest, ScaledAndRotatedPlacementsMoveTheTestShapes) {
  Fill(1, Grid(16, 1));
  TransformLevel& level = renderer->levels[0];
  level.scale[0] = level.scale[1] = level.scale[2] = 2;  // the face lies at world z = 2
  EXPECT_EQ(ObjectHitsSphere(1, 0, 0.5, 0.5, 0.5, 2.3), 1);
  EXPECT_EQ(ObjectHitsSphere(1, 0, 0.5, 0.5, 0.5, 2.6), 0);
  EXPECT_FLOAT_EQ(ObjectRayDistance(1, 0, 0.5, 0.5, 5, 0, 0, -1), 3);
  EXPECT_EQ(ObjectHitsBox(1, 0, 1.5, 1.5, 2.4, 1, 0.9), 1);
  level.scale[2] = 0;  // flattened: nothing to hit
  EXPECT_EQ(ObjectHitsSphere(1, 0, 5, 0, 0, 0), 0);
  EXPECT_EQ(ObjectRayDistance(1, 0, 0.5, 0.5, 5, 0, 0, -1), 0);
  level.scale[0] = level.scale[1] = level.scale[2] = 1;
  level.rotations[0][0] = 90;  // about x: the face now lies at world y = -1
  level.rotations[0][1] = 1;
  level.rotationCount = 1;
  level.position[0] = 10;
  EXPECT_NEAR(ObjectRayDistance(1, 0, 10.5, 3, 0.5, 0, -1, 0), 4, 1e-5);
  EXPECT_EQ(ObjectHitsSphere(1, 0, 0.2, 10.5, -1.1, 0.5), 1);
  EXPECT_EQ(ObjectHitsSphere(1, 0, 0.2, 0.5, -1.1, 0.5), 0);
}

// Rebuilding a frame's triangles in the same storage must not leave a stale hierarchy.
TEST_F(CollisionTest, RebuiltTrianglesReplaceTheHierarchy) {
  ObjectSlot& s = renderer->slots[5];
  s.parts.Append(MeshObjectX());
  MeshObjectX& part = s.parts[0];
  part.colours.Append(0xFF);
  part.frames.Append(MeshFrame());
  for (uint8_t i = 0; i < 8; ++i) {
    for (uint8_t j = 0; j < 8; ++j) {
      for (int k : {0, 1, 2, 0, 2, 3}) {
        uint8_t x = i + (k == 1 || k == 2), y = j + (k >= 2);
        part.frames[0].packed.Append(PackedVertex{{x, y, 0}, 0, 0, 0, 0});
      }
    }
  }
  part.BuildTriangles();
  ComputeFrameBounds(part);
  EXPECT_FLOAT_EQ(ObjectRayDistance(5, 0, 3.5, 3.5, 10, 0, 0, -1), 10);
  const MeshVertex* storage = part.frames[0].triangles.Data();
  part.frames[0].offset[2] = -4;  // every vertex rises to z = 4
  part.BuildTriangles();
  ComputeFrameBounds(part);
  ASSERT_EQ(part.frames[0].triangles.Data(), storage);
  EXPECT_FLOAT_EQ(ObjectRayDistance(5, 0, 3.5, 3.5, 10, 0, 0, -1), 6);
}

// Random triangles (slivers included) and shapes: the hierarchy finds exactly what the plain
// loop finds.
TEST(TriangleBvh, AgreesWithThePlainLoop) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(-1, 1);
  std::vector<MeshVertex> tris;
  for (int k = 0; k < 3000; ++k) {
    float c[3] = {10 * unit(rng), 10 * unit(rng), 10 * unit(rng)};
    float size = k % 10 == 0 ? 3.0f : 0.5f;
    for (int v = 0; v < 3; ++v) {
      float f = (k % 17 == 0 && v == 2) ? 1e-4f : 1;  // a sliver now and then
      tris.push_back(At(c[0] + size * f * unit(rng), c[1] + size * f * unit(rng),
                        c[2] + size * f * unit(rng)));
    }
  }
  for (MeshVertex v : Grid(30, 0)) tris.push_back(At(4 * v.position[0], 3, 4 * v.position[1]));
  int32_t count = static_cast<int32_t>(tris.size() / 3);
  auto bvh = BuildTriangleBvh(tris.data(), count);
  int rayHits = 0, sphereHits = 0, boxHits = 0;
  for (int q = 0; q < 3000; ++q) {
    float p[3] = {12 * unit(rng), 12 * unit(rng), 12 * unit(rng)};
    float d[3] = {unit(rng), unit(rng), unit(rng)};
    // Every other query aims at an edge of a triangle: rounding decides those hits.
    const float* a = tris[3 * (q * 7 % count)].position;
    const float* b = tris[3 * (q * 7 % count) + 1].position;
    const float* c = tris[3 * (q * 7 % count) + 2].position;
    float k = 0.5f * (unit(rng) + 1);
    float edge[3] = {a[0] + k * (b[0] - a[0]), a[1] + k * (b[1] - a[1]), a[2] + k * (b[2] - a[2])};
    if (q % 2 == 0) {
      for (int i = 0; i < 3; ++i) d[i] = edge[i] - p[i];
    }
    RayHits plain, fast;
    RayPlain(tris.data(), count, p, d, plain);
    RayBvh(*bvh, p, d, fast);
    // Hits behind count only while nothing is ahead, and the search stops looking for them.
    ASSERT_EQ(plain.Distance(), fast.Distance()) << q;
    rayHits += std::isfinite(plain.ahead);
    float r = 0.05f + 0.5f * (unit(rng) + 1);
    if (q % 2 == 0) {
      // Just past the edge and just off the plane: the inside test's tolerance reaches it
      // though the sphere does not reach the triangle.
      float e[3], f[3], n[3], out[3];
      Sub3(b, a, e);
      Sub3(c, a, f);
      Cross3(e, f, n);
      Cross3(e, n, out);
      float lo = std::sqrt(Dot3(out, out)), ln = std::sqrt(Dot3(n, n)), le = std::sqrt(Dot3(e, e));
      float side = Dot3(out, f) > 0 ? -1 : 1, push = 0.006f * le * (unit(rng) + 1) / 2;
      r = 2 * push;
      float h = r * (0.9f + 0.1f * unit(rng));
      for (int i = 0; i < 3; ++i) p[i] = edge[i] + side * push * out[i] / lo + h * n[i] / ln;
    }
    bool sphere = SpherePlain(tris.data(), count, p, r);
    ASSERT_EQ(sphere, SphereBvh(*bvh, p, r)) << q;
    sphereHits += sphere;
    float axes[3][3];
    for (auto& a : axes) {
      for (float& x : a) x = 0.4f * unit(rng);
    }
    bool box = BoxPlain(tris.data(), count, p, axes);
    ASSERT_EQ(box, BoxBvh(*bvh, p, axes)) << q;
    boxHits += box;
  }
  // Both outcomes must occur often, or the comparison proves little.
  EXPECT_GT(rayHits, 500);
  EXPECT_GT(sphereHits, 300);
  EXPECT_LT(sphereHits, 2700);
  EXPECT_GT(boxHits, 300);
  EXPECT_LT(boxHits, 2700);
}

// Reference overlap: the triangle in box coordinates (where the box is [-1, 1]³) clipped by
// the six faces of the box grown by grow; overlap when anything is left.
bool ClippedOverlap(const float (*tri)[3], const float* centre, const float (*axes)[3],
                    double grow) {
  double m[3][3], inv[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m[i][j] = axes[j][i];
  }
  double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
      inv[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
    }
  }
  std::vector<std::array<double, 3>> poly;
  for (int v = 0; v < 3; ++v) {
    std::array<double, 3> p{};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) p[i] += inv[i][j] * (tri[v][j] - centre[j]);
    }
    poly.push_back(p);
  }
  for (int axis = 0; axis < 3; ++axis) {
    for (double sign : {1.0, -1.0}) {
      std::vector<std::array<double, 3>> out;
      for (size_t k = 0; k < poly.size(); ++k) {
        const auto& a = poly[k];
        const auto& b = poly[(k + 1) % poly.size()];
        double da = 1 + grow - sign * a[axis], db = 1 + grow - sign * b[axis];
        if (da >= 0) out.push_back(a);
        if ((da >= 0) != (db >= 0)) {
          std::array<double, 3> p;
          for (int i = 0; i < 3; ++i) p[i] = a[i] + (b[i] - a[i]) * da / (da - db);
          out.push_back(p);
        }
      }
      poly = out;
      if (poly.empty()) return false;
    }
  }
  return true;
}

TEST(BoxTriangle, AgreesWithClippingOnRandomTrianglesAndBoxes) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> unit(-1, 1);
  int overlaps = 0;
  for (int q = 0; q < 20000; ++q) {
    float tri[3][3], centre[3], axes[3][3];
    for (auto& v : tri) {
      for (float& x : v) x = 2 * unit(rng);
    }
    for (float& x : centre) x = unit(rng);
    for (auto& a : axes) {
      for (float& x : a) x = unit(rng);
    }
    if (q % 2 == 0) {  // an upright box turned about y, as a plain placement gives
      float angle = 3 * unit(rng), hx = 0.2f + unit(rng) * 0.1f, hy = 0.5f + 0.3f * unit(rng);
      float box[3][3] = {{hx * std::cos(angle), 0, hx * std::sin(angle)},
                         {0, hy, 0},
                         {-hx * std::sin(angle), 0, hx * std::cos(angle)}};
      std::copy(&box[0][0], &box[0][0] + 9, &axes[0][0]);
    }
    bool sat = BoxTriangle(tri[0], tri[1], tri[2], centre, axes);
    if (ClippedOverlap(tri, centre, axes, -1e-4)) {
      EXPECT_TRUE(sat) << q;
    }
    if (!ClippedOverlap(tri, centre, axes, 1e-4)) {
      EXPECT_FALSE(sat) << q;
    }
    overlaps += sat;
  }
  EXPECT_GT(overlaps, 2000);
  EXPECT_LT(overlaps, 18000);
}

}  // namespace
}  // namespace quillon
