// The per-triangle collision tests and the two ways of running them over a frame's triangles:
// the plain loop over every triangle and the bounding-volume hierarchy, which must agree.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "runtime/gfx3d/mesh.h"

namespace quillon {

struct TriangleBvh;

// Below this many triangles a frame is searched by the plain loop.
constexpr int32_t kBvhMinTriangles = 32;

// True (the default): the commands use the hierarchy; false: the plain loop everywhere.
void UseCollisionBvh(bool on);
bool CollisionBvhInUse();

inline float Dot3(const float* a, const float* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline void Sub3(const float* a, const float* b, float* out) {
  out[0] = a[0] - b[0];
  out[1] = a[1] - b[1];
  out[2] = a[2] - b[2];
}

inline void Cross3(const float* a, const float* b, float* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

// The hits a ray collects: the nearest in front and the nearest behind its start. A hit at
// exactly 0 is neither.
struct RayHits {
  float ahead = std::numeric_limits<float>::infinity();
  float behind = -std::numeric_limits<float>::infinity();
  void Add(float t) {
    if (t > 0 && t < ahead) ahead = t;
    if (t < 0 && t > behind) behind = t;
  }
  // The nearest hit in front, else the nearest behind, else 0.
  double Distance() const {
    if (std::isfinite(ahead)) return ahead;
    if (std::isfinite(behind)) return behind;
    return 0;
  }
};

// The line p0 + t·d against triangle (t0, t1, t2): true with t when it crosses inside. A
// degenerate triangle or a line parallel to its plane is no hit.
inline bool RayTriangle(const float* t0, const float* t1, const float* t2, const float* p0,
                        const float* d, float& t) {
  float e1[3], e2[3], n[3], w[3];
  Sub3(t1, t0, e1);
  Sub3(t2, t0, e2);
  Cross3(e1, e2, n);
  if (n[0] == 0 && n[1] == 0 && n[2] == 0) return false;
  float nd = Dot3(n, d);
  if (nd == 0) return false;
  Sub3(p0, t0, w);
  t = -Dot3(n, w) / nd;
  for (int i = 0; i < 3; ++i) w[i] = p0[i] + t * d[i] - t0[i];
  float uu = Dot3(e1, e1), uv = Dot3(e1, e2), vv = Dot3(e2, e2);
  float wu = Dot3(w, e1), wv = Dot3(w, e2);
  float den = uv * uv - uu * vv;
  float s = (uv * wv - vv * wu) / den;
  float u = (uv * wu - uu * wv) / den;
  return s >= 0 && u >= 0 && s + u <= 1 && s <= 1;
}

// The sphere (c, r) against one triangle; touching the plane at exactly r is no hit. A point
// counts as inside when the angles it sees between the corners add up to 0.99 of a turn.
inline bool SphereTriangle(const float* t0, const float* t1, const float* t2, const float* c,
                           float r) {
  float a[3], b[3], n[3];
  Sub3(t2, t0, a);
  Sub3(t1, t0, b);
  Cross3(a, b, n);
  float len2 = Dot3(n, n);
  if (len2 > 1e-7f) {
    float len = std::sqrt(len2);
    for (float& x : n) x /= len;
  }
  float d = Dot3(n, c) - Dot3(n, t0);
  if (std::fabs(d) >= r) return false;
  float q[3] = {c[0] - n[0] * d, c[1] - n[1] * d, c[2] - n[2] * d};
  const float* corner[3] = {t0, t1, t2};
  float to[3][3];
  float len[3];
  for (int i = 0; i < 3; ++i) {
    Sub3(corner[i], q, to[i]);
    len[i] = std::sqrt(Dot3(to[i], to[i]));
  }
  float angles = 0;
  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    float lp = len[i] * len[j];
    if (lp <= 1e-8f) continue;
    // Rounding can push the cosine just past ±1, where acos has no value.
    angles += std::acos(std::clamp(Dot3(to[i], to[j]) / lp, -1.0f, 1.0f));
  }
  if (angles >= 6.2203535f) return true;
  for (int i = 0; i < 3; ++i) {
    const float* p = corner[i];
    const float* q2 = corner[(i + 1) % 3];
    float e[3], w[3];
    Sub3(q2, p, e);
    Sub3(c, p, w);
    float ee = Dot3(e, e);
    float k = ee > 0 ? std::clamp(Dot3(w, e) / ee, 0.0f, 1.0f) : 0.0f;
    float off[3] = {w[0] - k * e[0], w[1] - k * e[1], w[2] - k * e[2]};
    if (Dot3(off, off) < r * r) return true;
  }
  return false;
}

// Triangle against the solid box centre ± axes[0..2] (any three independent vectors: a
// placement may shear the box). Touching counts as overlap. Separating axes: the box's face
// normals, the triangle's normal and the nine edge-by-axis cross products. Values that overflow
// or are not finite give no overlap.
inline bool BoxTriangle(const float* t0, const float* t1, const float* t2, const float* centre,
                        const float (*axes)[3]) {
  float v[3][3];
  Sub3(t0, centre, v[0]);
  Sub3(t1, centre, v[1]);
  Sub3(t2, centre, v[2]);
  float e[3][3];
  Sub3(v[1], v[0], e[0]);
  Sub3(v[2], v[1], e[1]);
  Sub3(v[0], v[2], e[2]);
  auto separates = [&](const float* l, float scale) {
    float ll = Dot3(l, l);
    // Overflowed arithmetic proves nothing: it separates rather than overlaps.
    if (!std::isfinite(ll)) return true;
    // Nearly parallel pairs give no direction; the other axes cover them.
    if (!(ll > 1e-12f * scale)) return false;
    float p0 = Dot3(v[0], l), p1 = Dot3(v[1], l), p2 = Dot3(v[2], l);
    float lo = std::min({p0, p1, p2}), hi = std::max({p0, p1, p2});
    float radius =
        std::fabs(Dot3(axes[0], l)) + std::fabs(Dot3(axes[1], l)) + std::fabs(Dot3(axes[2], l));
    if (!std::isfinite(p0 + p1 + p2 + radius)) return true;
    return lo > radius || hi < -radius;
  };
  float l[3];
  for (int i = 0; i < 3; ++i) {
    const float* a = axes[(i + 1) % 3];
    const float* b = axes[(i + 2) % 3];
    Cross3(a, b, l);
    if (separates(l, Dot3(a, a) * Dot3(b, b))) return false;
  }
  Cross3(e[0], e[1], l);
  if (separates(l, Dot3(e[0], e[0]) * Dot3(e[1], e[1]))) return false;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      Cross3(e[i], axes[j], l);
      if (separates(l, Dot3(e[i], e[i]) * Dot3(axes[j], axes[j]))) return false;
    }
  }
  return true;
}

// Frame-level searches over count triangles (three vertices each) in part coordinates.
void RayPlain(const MeshVertex* v, int32_t count, const float* p0, const float* d, RayHits& hits);
bool SpherePlain(const MeshVertex* v, int32_t count, const float* c, float r);
bool BoxPlain(const MeshVertex* v, int32_t count, const float* centre, const float (*axes)[3]);

void RayBvh(const TriangleBvh& bvh, const float* p0, const float* d, RayHits& hits);
bool SphereBvh(const TriangleBvh& bvh, const float* c, float r);
bool BoxBvh(const TriangleBvh& bvh, const float* centre, const float (*axes)[3]);

// The frame's hierarchy, built on first use and kept until its triangles change.
const TriangleBvh& FrameBvh(MeshFrame& frame);

}  // namespace quillon
