// The per-part preparation behind the effect modes: normals and tangent directions (bump
// mapping), the edge table and light-facing flags, and the shadow volume.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/gfx3d/mesh.h"

namespace quillon {

// Normals and tangent directions of a built object, written as table indices into every
// frame's packed vertices (call BuildTriangles afterwards). Variant 1 averages a vertex's
// normal (and tangents) over the triangles of its own run that use it, so the object creases
// where runs meet; variant 2 averages over every triangle with a corner at the same position,
// so it is smooth throughout. Other variants change nothing.
void PrepareNormals(MeshObjectX& part, int32_t variant);

// Tangent directions for bump mapping, once per part: dir2 along increasing u, dir3 along
// increasing v (image up in the normal map), both perpendicular to the vertex normal, averaged
// per vertex (variant 2: per corner position, as PrepareNormals). Stored as packed dir2Index
// and dir3Index in every frame. Returns true when it changed the packed vertices (then the
// triangles are rebuilt and the part's static vertex buffer must be refilled).
bool PrepareTangents(MeshObjectX& part, int32_t variant);

// Fills edgeNeighbours from frame 0's triangles, once: entry 3t + e names the triangle and edge
// sharing the edge from corner e to corner e + 1 of triangle t (corners matched by position),
// or (-1, -1) for an open edge.
void BuildEdgeNeighbours(MeshObjectX& part);

// faceFlags: 1 for each triangle of the list whose front faces the point light, else 0.
void ComputeFaceFlags(MeshObjectX& part, const MeshVertex* triangles, int32_t count,
                      const float light[3]);

// The sides of the part's shadow volume, as quads of homogeneous points: every edge between a
// light-facing triangle and an open edge or a triangle turned away, extruded to infinity away
// from the light (w = 0). Counted with depth-pass inversion, so no caps are needed while the
// camera is outside the volume. out gets x, y, z, w per point (its storage is kept for reuse).
void BuildShadowVolume(const MeshObjectX& part, const MeshVertex* triangles, int32_t count,
                       const float light[3], std::vector<float>& out);

}  // namespace quillon
