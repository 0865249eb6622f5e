#include "runtime/gfx3d/triangle_bvh.h"

#include <algorithm>
#include <cmath>

#include "runtime/gfx3d/collision3d_internal.h"

namespace quillon {

namespace {

constexpr int32_t kLeafTriangles = 4;
constexpr int kStackDepth = 96;  // median splits keep the depth near log2 of the count

struct Item {
  float lo[3];
  float hi[3];
  int32_t triangle;
};

// A triangle whose angle at its first corner is this flat (sine squared) goes to the loose
// list: the ray test's rounding on it grows without bound.
constexpr double kFlatCorner = 1e-4;
// Boxes grow by this share of the longest edge: more than the inside test of the sphere
// accepts beyond the edges (under 0.008) and the rounding of the other tests.
constexpr double kEdgePad = 0.02;

bool IsLoose(const float* p) {
  for (int i = 0; i < 9; ++i) {
    if (!std::isfinite(p[i])) return true;
  }
  float e1[3], e2[3], n[3];
  Sub3(p + 3, p, e1);
  Sub3(p + 6, p, e2);
  double uu = 0, vv = 0, nn = 0;
  Cross3(e1, e2, n);
  for (int i = 0; i < 3; ++i) {
    uu += double(e1[i]) * e1[i];
    vv += double(e2[i]) * e2[i];
    nn += double(n[i]) * n[i];
  }
  return !(nn >= kFlatCorner * uu * vv);
}

Item ItemOf(const float* p, int32_t triangle) {
  double longest = 0;
  for (int k = 0; k < 3; ++k) {
    const float* a = p + 3 * k;
    const float* b = p + 3 * ((k + 1) % 3);
    double e = 0;
    for (int i = 0; i < 3; ++i) e += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    longest = std::max(longest, e);
  }
  float pad = static_cast<float>(kEdgePad * std::sqrt(longest));
  Item item;
  item.triangle = triangle;
  for (int i = 0; i < 3; ++i) {
    item.lo[i] = std::min({p[i], p[3 + i], p[6 + i]}) - pad;
    item.hi[i] = std::max({p[i], p[3 + i], p[6 + i]}) + pad;
  }
  return item;
}

int32_t BuildNode(std::vector<BvhNode>& nodes, std::vector<Item>& items, int32_t begin,
                  int32_t end) {
  int32_t index = static_cast<int32_t>(nodes.size());
  nodes.push_back({});
  BvhNode node{{items[begin].lo[0], items[begin].lo[1], items[begin].lo[2]},
               {items[begin].hi[0], items[begin].hi[1], items[begin].hi[2]},
               begin,
               end - begin};
  float mid[2][3] = {{INFINITY, INFINITY, INFINITY}, {-INFINITY, -INFINITY, -INFINITY}};
  for (int32_t k = begin; k < end; ++k) {
    for (int i = 0; i < 3; ++i) {
      node.lo[i] = std::min(node.lo[i], items[k].lo[i]);
      node.hi[i] = std::max(node.hi[i], items[k].hi[i]);
      float centre = 0.5f * (items[k].lo[i] + items[k].hi[i]);
      mid[0][i] = std::min(mid[0][i], centre);
      mid[1][i] = std::max(mid[1][i], centre);
    }
  }
  if (end - begin > kLeafTriangles) {
    int axis = 0;
    for (int i = 1; i < 3; ++i) {
      if (mid[1][i] - mid[0][i] > mid[1][axis] - mid[0][axis]) axis = i;
    }
    int32_t half = begin + (end - begin) / 2;
    std::nth_element(items.begin() + begin, items.begin() + half, items.begin() + end,
                     [axis](const Item& a, const Item& b) {
                       return a.lo[axis] + a.hi[axis] < b.lo[axis] + b.hi[axis];
                     });
    BuildNode(nodes, items, begin, half);
    node.first = BuildNode(nodes, items, half, end);
    node.count = 0;
  }
  nodes[index] = node;
  return index;
}

float LargestOf(const float* p, int n) {
  float m = 0;
  for (int i = 0; i < n; ++i) m = std::max(m, std::fabs(p[i]));
  return m;
}

// The parameter span of the line p0 + t·d inside the node's box widened by margin.
bool LineSpan(const BvhNode& node, const float* p0, const float* d, float margin, float& tmin,
              float& tmax) {
  tmin = -INFINITY;
  tmax = INFINITY;
  for (int i = 0; i < 3; ++i) {
    float lo = node.lo[i] - margin, hi = node.hi[i] + margin;
    if (d[i] == 0) {
      if (p0[i] < lo || p0[i] > hi) return false;
      continue;
    }
    float a = (lo - p0[i]) / d[i], b = (hi - p0[i]) / d[i];
    if (a > b) std::swap(a, b);
    tmin = std::max(tmin, a);
    tmax = std::min(tmax, b);
    if (tmin > tmax) return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<const TriangleBvh> BuildTriangleBvh(const MeshVertex* v, int32_t count) {
  auto bvh = std::make_shared<TriangleBvh>();
  std::vector<Item> items;
  items.reserve(count);
  std::vector<float> all(static_cast<size_t>(count) * 9);
  for (int32_t k = 0; k < count; ++k) {
    float* p = &all[static_cast<size_t>(k) * 9];
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < 3; ++i) p[3 * c + i] = v[3 * k + c].position[i];
    }
    if (IsLoose(p)) {
      bvh->loose.insert(bvh->loose.end(), p, p + 9);
      continue;
    }
    bvh->largestCoordinate = std::max(bvh->largestCoordinate, LargestOf(p, 9));
    items.push_back(ItemOf(p, k));
  }
  if (!items.empty()) {
    bvh->nodes.reserve(items.size() / 2 + 1);
    BuildNode(bvh->nodes, items, 0, static_cast<int32_t>(items.size()));
  }
  bvh->corners.reserve(items.size() * 9);
  for (const Item& item : items) {
    const float* p = &all[static_cast<size_t>(item.triangle) * 9];
    bvh->corners.insert(bvh->corners.end(), p, p + 9);
  }
  return bvh;
}

const TriangleBvh& FrameBvh(MeshFrame& frame) {
  const TriangleBvh* have = frame.bvh.get();
  if (have == nullptr || have->source != frame.triangles.Data() ||
      have->vertexCount != frame.triangles.Count() || have->stamp != frame.trianglesStamp) {
    auto built = std::const_pointer_cast<TriangleBvh>(
        BuildTriangleBvh(frame.triangles.Data(), frame.triangles.Count() / 3));
    built->source = frame.triangles.Data();
    built->vertexCount = frame.triangles.Count();
    built->stamp = frame.trianglesStamp;
    frame.bvh = built;
  }
  return *frame.bvh;
}

void RayBvh(const TriangleBvh& bvh, const float* p0, const float* d, RayHits& hits) {
  float t;
  for (size_t k = 0; k + 9 <= bvh.loose.size(); k += 9) {
    const float* p = &bvh.loose[k];
    if (RayTriangle(p, p + 3, p + 6, p0, d, t)) hits.Add(t);
  }
  if (bvh.nodes.empty()) return;
  float p1[3] = {p0[0] + d[0], p0[1] + d[1], p0[2] + d[2]};
  float margin = 1e-5f * (std::max(LargestOf(p0, 3), LargestOf(p1, 3)) + bvh.largestCoordinate);
  int32_t stack[kStackDepth];
  int top = 0;
  stack[top++] = 0;
  while (top > 0) {
    int32_t index = stack[--top];
    const BvhNode& node = bvh.nodes[index];
    float tmin, tmax;
    if (!LineSpan(node, p0, d, margin, tmin, tmax)) continue;
    // Nothing in the box can beat the hits so far: a nearer one in front, or, with none in
    // front yet, a nearer one behind.
    if (tmin > hits.ahead || tmax < hits.behind) continue;
    if (std::isfinite(hits.ahead) && tmax < 0) continue;
    if (node.count > 0) {
      for (int32_t k = node.first; k < node.first + node.count; ++k) {
        const float* p = &bvh.corners[static_cast<size_t>(k) * 9];
        if (RayTriangle(p, p + 3, p + 6, p0, d, t)) hits.Add(t);
      }
      continue;
    }
    // The child whose span begins nearer in front is searched first.
    int32_t first = index + 1, second = node.first;
    float a0, a1, b0, b1;
    bool hitFirst = LineSpan(bvh.nodes[first], p0, d, margin, a0, a1);
    bool hitSecond = LineSpan(bvh.nodes[second], p0, d, margin, b0, b1);
    if (hitFirst && hitSecond && std::max(b0, 0.0f) < std::max(a0, 0.0f)) {
      std::swap(first, second);
      std::swap(hitFirst, hitSecond);
    }
    if (top + 2 > kStackDepth) return;
    if (hitSecond) stack[top++] = second;
    if (hitFirst) stack[top++] = first;
  }
}

bool SphereBvh(const TriangleBvh& bvh, const float* c, float r) {
  for (size_t k = 0; k + 9 <= bvh.loose.size(); k += 9) {
    const float* p = &bvh.loose[k];
    if (SphereTriangle(p, p + 3, p + 6, c, r)) return true;
  }
  if (bvh.nodes.empty()) return false;
  float reach = r + 1e-5f * (LargestOf(c, 3) + r + bvh.largestCoordinate);
  float reach2 = reach * reach;
  int32_t stack[kStackDepth];
  int top = 0;
  stack[top++] = 0;
  while (top > 0) {
    int32_t index = stack[--top];
    const BvhNode& node = bvh.nodes[index];
    float gap2 = 0;
    for (int i = 0; i < 3; ++i) {
      float g = std::max({node.lo[i] - c[i], c[i] - node.hi[i], 0.0f});
      gap2 += g * g;
    }
    if (!(gap2 <= reach2)) continue;
    if (node.count > 0) {
      for (int32_t k = node.first; k < node.first + node.count; ++k) {
        const float* p = &bvh.corners[static_cast<size_t>(k) * 9];
        if (SphereTriangle(p, p + 3, p + 6, c, r)) return true;
      }
      continue;
    }
    if (top + 2 > kStackDepth) return false;
    stack[top++] = node.first;
    stack[top++] = index + 1;
  }
  return false;
}

bool BoxBvh(const TriangleBvh& bvh, const float* centre, const float (*axes)[3]) {
  for (size_t k = 0; k + 9 <= bvh.loose.size(); k += 9) {
    const float* p = &bvh.loose[k];
    if (BoxTriangle(p, p + 3, p + 6, centre, axes)) return true;
  }
  if (bvh.nodes.empty()) return false;
  float lo[3], hi[3];
  float reach = 0;
  for (int i = 0; i < 3; ++i) {
    reach = std::max(reach, std::fabs(centre[i]));
    float extent = std::fabs(axes[0][i]) + std::fabs(axes[1][i]) + std::fabs(axes[2][i]);
    lo[i] = centre[i] - extent;
    hi[i] = centre[i] + extent;
    reach += extent;
  }
  float margin = 1e-5f * (reach + bvh.largestCoordinate);
  int32_t stack[kStackDepth];
  int top = 0;
  stack[top++] = 0;
  while (top > 0) {
    int32_t index = stack[--top];
    const BvhNode& node = bvh.nodes[index];
    bool apart = false;
    for (int i = 0; i < 3; ++i) {
      if (!(node.lo[i] - margin <= hi[i] && lo[i] <= node.hi[i] + margin)) apart = true;
    }
    if (apart) continue;
    if (node.count > 0) {
      for (int32_t k = node.first; k < node.first + node.count; ++k) {
        const float* p = &bvh.corners[static_cast<size_t>(k) * 9];
        if (BoxTriangle(p, p + 3, p + 6, centre, axes)) return true;
      }
      continue;
    }
    if (top + 2 > kStackDepth) return false;
    stack[top++] = node.first;
    stack[top++] = index + 1;
  }
  return false;
}

}  // namespace quillon
