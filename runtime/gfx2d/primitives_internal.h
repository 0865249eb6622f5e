// The polygon under construction, as the primitives hand it to GL.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/gfx2d/primitives.h"

namespace quillon {

// One vertex as handed to GL: 32 bytes.
struct PolygonVertex {
  float x, y;  // y negated
  float s, t;  // texture coordinates
  float red, green, blue, alpha;
};
static_assert(sizeof(PolygonVertex) == 32);

// The polygon being built. Capacity grows to 512 records, then by 128 at a time.
struct VertexList {
  std::unique_ptr<PolygonVertex[]> records;
  int32_t slot = -1;  // negative: untextured
  int32_t count = 0;
  int32_t capacity = 0;
};

const VertexList& CurrentPolygon();
// Program end: the vertex storage is given back.
void ReleasePolygonVertices();

}  // namespace quillon
