// A bounding-volume hierarchy over one frame's triangles for the collision tests. Every box is
// widened around its triangles by more than the tests' rounding can reach, so a search through
// it tests every triangle the plain loop would find a hit on.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/gfx3d/mesh.h"

namespace quillon {

struct BvhNode {
  float lo[3];
  float hi[3];
  // A leaf holds count triangles from first; an inner node (count 0) has its first child next
  // to it and its second at first.
  int32_t first;
  int32_t count;
};

struct TriangleBvh {
  // What it was built from; stale once any of these differ from the frame's.
  const MeshVertex* source = nullptr;
  int32_t vertexCount = 0;
  uint64_t stamp = 0;
  std::vector<BvhNode> nodes;
  std::vector<float> corners;  // 9 floats per triangle, in leaf order
  // Slivers whose ray test rounding is not bounded by their size: searched every time.
  std::vector<float> loose;
  float largestCoordinate = 0;  // of every corner, for the rounding margin of a search
};

// Builds over count triangles (three vertices each).
std::shared_ptr<const TriangleBvh> BuildTriangleBvh(const MeshVertex* v, int32_t count);

}  // namespace quillon
