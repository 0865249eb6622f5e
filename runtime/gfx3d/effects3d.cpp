#include "runtime/gfx3d/effects3d.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace quillon {

namespace {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Load(const float v[3]) { return {v[0], v[1], v[2]}; }
Vec3 Unit(Vec3 v) {
  float length = std::sqrt(Dot(v, v));
  return length > 0 ? v * (1 / length) : v;
}
uint8_t TableIndex(Vec3 v) {
  float n[3] = {v.x, v.y, v.z};
  return NearestNormalIndex(n);
}

Vec3 PackedPosition(const MeshFrame& frame, int32_t k) {
  const PackedVertex& p = frame.packed[k];
  return {(p.q[0] - frame.offset[0]) * frame.scale[0], (p.q[1] - frame.offset[1]) * frame.scale[1],
          (p.q[2] - frame.offset[2]) * frame.scale[2]};
}

// The texture coordinate of packed vertex k as drawn (v is flipped on unpacking).
void PackedUv(const MeshObject& mesh, int32_t k, float& u, float& v) {
  bool known = k < mesh.texU.Count() && k < mesh.texV.Count();
  u = known ? mesh.texU[k] : 0;
  v = known ? -mesh.texV[k] : 0;
}

bool RealVertex(const MeshObject& mesh, const PackedVertex& p) {
  return p.colourIndex >= mesh.colours.Count() || !IsMarker(mesh.colours[p.colourIndex]);
}

// Replaces each vertex's sum by the total over all vertices at the same corner position.
void WeldByPosition(const MeshObjectX& part, const MeshFrame& frame, std::vector<Vec3>& sum) {
  std::unordered_map<uint32_t, Vec3> byPosition;
  auto key = [&](int32_t k) {
    const uint8_t* q = frame.packed[k].q;
    return static_cast<uint32_t>(q[0] | q[1] << 8 | q[2] << 16);
  };
  int32_t count = frame.packed.Count();
  for (int32_t k = 0; k < count; ++k) {
    if (RealVertex(part, frame.packed[k])) byPosition[key(k)] = byPosition[key(k)] + sum[k];
  }
  for (int32_t k = 0; k < count; ++k) {
    if (RealVertex(part, frame.packed[k])) sum[k] = byPosition[key(k)];
  }
}

// dir2 / dir3 of one frame from the current normal indices.
void FrameTangents(const MeshObjectX& part, MeshFrame& frame, bool welded) {
  int32_t count = frame.packed.Count();
  std::vector<Vec3> tangent(count), bitangent(count);
  ForEachRunTriangle(part, frame, [&](int32_t a, int32_t b, int32_t c) {
    Vec3 p0 = PackedPosition(frame, a), e1 = PackedPosition(frame, b) - p0,
         e2 = PackedPosition(frame, c) - p0;
    float u0, v0, u1, v1, u2, v2;
    PackedUv(part, a, u0, v0);
    PackedUv(part, b, u1, v1);
    PackedUv(part, c, u2, v2);
    float du1 = u1 - u0, dv1 = v1 - v0, du2 = u2 - u0, dv2 = v2 - v0;
    float r = du1 * dv2 - du2 * dv1;
    if (std::fabs(r) < 1e-12f) return;  // no texture mapping on this triangle
    Vec3 t = (e1 * dv2 - e2 * dv1) * (1 / r);
    Vec3 s = (e2 * du1 - e1 * du2) * (1 / r);
    for (int32_t k : {a, b, c}) {
      tangent[k] = tangent[k] + t;
      bitangent[k] = bitangent[k] + s;
    }
  });
  if (welded) {
    WeldByPosition(part, frame, tangent);
    WeldByPosition(part, frame, bitangent);
  }
  for (int32_t k = 0; k < count; ++k) {
    PackedVertex& p = frame.packed[k];
    if (!RealVertex(part, p)) continue;
    Vec3 n = Load(TableNormal(p.normalIndex));
    Vec3 t = tangent[k] - n * Dot(n, tangent[k]);
    if (Dot(t, t) < 1e-12f) {
      // Untextured here: any direction across the normal will do.
      Vec3 axis = std::fabs(n.x) < 0.6f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
      t = axis - n * Dot(n, axis);
    }
    t = Unit(t);
    Vec3 s = Cross(n, t);
    if (Dot(s, bitangent[k]) < 0) s = s * -1;
    p.dir2Index = TableIndex(t);
    p.dir3Index = TableIndex(s);
  }
}

// Normal sums of one frame: per packed vertex, or per corner position when welded.
void FrameNormals(const MeshObjectX& part, MeshFrame& frame, bool welded) {
  int32_t count = frame.packed.Count();
  std::vector<Vec3> sum(count);
  ForEachRunTriangle(part, frame, [&](int32_t a, int32_t b, int32_t c) {
    int32_t corner[3] = {a, b, c};
    Vec3 p[3] = {PackedPosition(frame, a), PackedPosition(frame, b), PackedPosition(frame, c)};
    Vec3 face = Unit(Cross(p[1] - p[0], p[2] - p[0]));
    // Weighted by the angle at each corner, so how a face is split does not tilt the normal.
    for (int i = 0; i < 3; ++i) {
      Vec3 e1 = Unit(p[(i + 1) % 3] - p[i]);
      Vec3 e2 = Unit(p[(i + 2) % 3] - p[i]);
      float angle = std::acos(std::clamp(Dot(e1, e2), -1.0f, 1.0f));
      sum[corner[i]] = sum[corner[i]] + face * angle;
    }
  });
  if (welded) WeldByPosition(part, frame, sum);
  for (int32_t k = 0; k < count; ++k) {
    PackedVertex& p = frame.packed[k];
    if (RealVertex(part, p) && Dot(sum[k], sum[k]) > 0) p.normalIndex = TableIndex(sum[k]);
  }
}

bool HasTangents(const MeshObjectX& part) {
  if (part.frames.Count() == 0) return true;
  for (const PackedVertex& p : part.frames[0].packed.items) {
    if (p.dir2Index != p.dir3Index) return true;
  }
  return false;
}

}  // namespace

void PrepareNormals(MeshObjectX& part, int32_t variant) {
  if (variant != 1 && variant != 2) return;
  for (MeshFrame& frame : part.frames.items) {
    FrameNormals(part, frame, variant == 2);
    FrameTangents(part, frame, variant == 2);
  }
}

bool PrepareTangents(MeshObjectX& part, int32_t variant) {
  if (HasTangents(part)) return false;
  for (MeshFrame& frame : part.frames.items) FrameTangents(part, frame, variant == 2);
  if (!HasTangents(part)) return false;  // nothing to draw anyway
  part.BuildTriangles();
  return true;
}

namespace {

struct PositionKey {
  uint32_t bits[3];
  bool operator==(const PositionKey& o) const { return std::memcmp(bits, o.bits, 12) == 0; }
};
struct PositionHash {
  size_t operator()(const PositionKey& k) const {
    return (static_cast<size_t>(k.bits[0]) * 73856093u) ^
           (static_cast<size_t>(k.bits[1]) * 19349663u) ^
           (static_cast<size_t>(k.bits[2]) * 83492791u);
  }
};

}  // namespace

void BuildEdgeNeighbours(MeshObjectX& part) {
  if (part.frames.Count() == 0) return;
  const GrowList<MeshVertex>& tris = part.frames[0].triangles;
  int32_t triangles = tris.Count() / 3;
  if (part.edgeNeighbours.Count() == triangles * 3) return;
  std::unordered_map<PositionKey, int32_t, PositionHash> ids;
  std::vector<int32_t> id(static_cast<size_t>(triangles) * 3);
  for (int32_t k = 0; k < triangles * 3; ++k) {
    PositionKey key;
    std::memcpy(key.bits, tris[k].position, 12);
    id[k] = ids.emplace(key, static_cast<int32_t>(ids.size())).first->second;
  }
  part.edgeNeighbours.items.assign(static_cast<size_t>(triangles) * 3, EdgeNeighbour{-1, -1});
  std::unordered_map<uint64_t, int32_t> open;  // edge by its two corner ids -> entry
  for (int32_t t = 0; t < triangles; ++t) {
    for (int32_t e = 0; e < 3; ++e) {
      uint32_t a = static_cast<uint32_t>(id[t * 3 + e]);
      uint32_t b = static_cast<uint32_t>(id[t * 3 + (e + 1) % 3]);
      if (a == b) continue;  // a collapsed edge has no neighbour
      uint64_t key = a < b ? (uint64_t{a} << 32 | b) : (uint64_t{b} << 32 | a);
      auto found = open.find(key);
      if (found == open.end()) {
        open.emplace(key, t * 3 + e);
        continue;
      }
      int32_t other = found->second;
      part.edgeNeighbours[t * 3 + e] = {other / 3, other % 3};
      part.edgeNeighbours[other] = {t, e};
      open.erase(found);  // a third triangle on the edge stays open
    }
  }
}

void ComputeFaceFlags(MeshObjectX& part, const MeshVertex* triangles, int32_t count,
                      const float light[3]) {
  int32_t n = count / 3;
  part.faceFlags.items.resize(static_cast<size_t>(n));
  Vec3 l = Load(light);
  for (int32_t t = 0; t < n; ++t) {
    Vec3 a = Load(triangles[t * 3].position);
    Vec3 face =
        Cross(Load(triangles[t * 3 + 1].position) - a, Load(triangles[t * 3 + 2].position) - a);
    part.faceFlags[t] = Dot(face, l - a) > 0 ? 1 : 0;
  }
}

void BuildShadowVolume(const MeshObjectX& part, const MeshVertex* triangles, int32_t count,
                       const float light[3], std::vector<float>& out) {
  out.clear();
  int32_t n = count / 3;
  if (part.faceFlags.Count() < n) return;
  bool paired = part.edgeNeighbours.Count() == n * 3;
  Vec3 l = Load(light);
  auto point = [&out](Vec3 p, float w) {
    out.push_back(p.x);
    out.push_back(p.y);
    out.push_back(p.z);
    out.push_back(w);
  };
  for (int32_t t = 0; t < n; ++t) {
    if (part.faceFlags[t] == 0) continue;
    for (int32_t e = 0; e < 3; ++e) {
      int32_t other = paired ? part.edgeNeighbours[t * 3 + e].triangle : -1;
      if (other >= 0 && other < n && part.faceFlags[other] != 0) continue;
      Vec3 a = Load(triangles[t * 3 + e].position);
      Vec3 b = Load(triangles[t * 3 + (e + 1) % 3].position);
      point(a, 1);
      point(b, 1);
      point(b - l, 0);
      point(a - l, 0);
    }
  }
}

}  // namespace quillon
