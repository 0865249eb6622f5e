#include "runtime/gfx3d/mesh.h"

#include <cmath>
#include <cstring>
#include <unordered_set>

#include "runtime/core/runtime_errors.h"

namespace quillon {

void MarkTrianglesChanged(MeshFrame& frame) {
  static uint64_t lastStamp = 0;
  frame.trianglesStamp = ++lastStamp;
  frame.bvh.reset();
}

MeshFrame::MeshFrame(const MeshFrame& other)
    : unpacked(other.unpacked), triangles(other.triangles), packed(other.packed) {
  MarkTrianglesChanged(*this);
  std::memcpy(offset, other.offset, sizeof offset);
  std::memcpy(scale, other.scale, sizeof scale);
}

MeshFrame& MeshFrame::operator=(const MeshFrame& other) {
  if (this == &other) return *this;
  unpacked = other.unpacked;
  triangles = other.triangles;
  packed = other.packed;
  MarkTrianglesChanged(*this);
  std::memcpy(offset, other.offset, sizeof offset);
  std::memcpy(scale, other.scale, sizeof scale);
  return *this;
}

void ClearMesh(MeshObject& mesh, bool freeStorage) {
  mesh.texU.Clear(freeStorage);
  mesh.texV.Clear(freeStorage);
  mesh.colours.Clear(freeStorage);
  mesh.pose.Clear(freeStorage);
  for (MeshFrame& frame : mesh.frames.items) {
    frame.unpacked.Clear(freeStorage);
    frame.triangles.Clear(freeStorage);
    MarkTrianglesChanged(frame);
    frame.packed.Clear(freeStorage);
  }
  // The frame count always drops to 0; without freeStorage the list keeps its block.
  mesh.frames.Clear(freeStorage);
  mesh.binaryLoaded = 0;
}

namespace {

uint32_t ColourAt(const MeshObject& mesh, uint8_t index) {
  return index < mesh.colours.Count() ? mesh.colours[index] : kPlainWhite;
}

}  // namespace

void SetColourFloats(MeshVertex& v, uint32_t c) {
  if (c >= kFirstNonColour) {
    v.rgb[0] = v.rgb[1] = v.rgb[2] = 1.0f;
    return;
  }
  v.rgb[0] = static_cast<float>(c & 0xFF) / 255.0f;
  v.rgb[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
  v.rgb[2] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
}

MeshVertex UnpackVertex(const MeshObject& mesh, const MeshFrame& frame, int32_t k) {
  const PackedVertex& p = frame.packed[k];
  MeshVertex v{};
  for (int i = 0; i < 3; ++i) {
    v.position[i] = (static_cast<float>(p.q[i]) - frame.offset[i]) * frame.scale[i];
    v.normal[i] = TableNormal(p.normalIndex)[i];
    v.dir2[i] = TableNormal(p.dir2Index)[i];
    v.dir3[i] = TableNormal(p.dir3Index)[i];
  }
  v.colour = ColourAt(mesh, p.colourIndex);
  v.colourIndex = p.colourIndex;
  SetColourFloats(v, v.colour);
  if (k < mesh.texU.Count() && k < mesh.texV.Count()) {
    v.u = mesh.texU[k];
    v.v = -mesh.texV[k];
  }
  return v;
}

uint8_t NearestNormalIndex(const float normal[3]) {
  float n[3] = {normal[0], normal[1], normal[2]};
  float nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  if (nn > 1e-7f) {
    float length = std::sqrt(nn);
    for (float& c : n) c /= length;
    nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  }
  int best = 0;
  float bestDiff = INFINITY;
  for (int t = 0; t < kNormalCount; ++t) {
    const float* e = NormalTable[t];
    float diff = std::fabs(nn - (n[0] * e[0] + n[1] * e[1] + n[2] * e[2]));
    if (diff <= bestDiff) {  // a later entry wins a tie
      best = t;
      bestDiff = diff;
      if (diff == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

namespace {

bool FinitePosition(const MeshVertex& v) {
  return std::isfinite(v.position[0]) && std::isfinite(v.position[1]) &&
         std::isfinite(v.position[2]);
}

uint8_t Quantise(float position, float scale, float offset) {
  float q = position / scale + offset;
  if (!(q >= 0)) return 0;  // also NaN
  if (q >= 255) return 255;
  return static_cast<uint8_t>(q);
}

// Which colour values PackFrames may add: all of them while the mesh has at most 256 distinct
// values; beyond that the first 255 colours (fewer when more than one marker kind must fit).
struct ColourBudget {
  bool overflow = false;
  int32_t realLimit = 256;
  int32_t realKept = 0;
};

ColourBudget PlanColours(const MeshObject& mesh) {
  ColourBudget budget;
  std::unordered_set<uint32_t> seen(mesh.colours.items.begin(), mesh.colours.items.end());
  int markerKinds = 0;
  bool markerSeen[3] = {false, false, false};
  auto note = [&](uint32_t c) {
    if (IsMarker(c) && !markerSeen[MarkerList - c]) {
      markerSeen[MarkerList - c] = true;
      ++markerKinds;
    }
    if (seen.size() <= 256) seen.insert(c);
  };
  for (uint32_t c : mesh.colours.items) note(c);
  for (const MeshFrame& frame : mesh.frames.items) {
    for (const MeshVertex& v : frame.unpacked.items) note(v.colour);
  }
  budget.overflow = seen.size() > 256;
  if (!budget.overflow) return budget;
  budget.realLimit = 256 - markerKinds < 255 ? 256 - markerKinds : 255;
  for (uint32_t c : mesh.colours.items) budget.realKept += IsMarker(c) ? 0 : 1;
  return budget;
}

int32_t ColourDistance(uint32_t a, uint32_t b) {
  int32_t d = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int32_t e =
        static_cast<int32_t>((a >> shift) & 0xFF) - static_cast<int32_t>((b >> shift) & 0xFF);
    d += e * e;
  }
  return d;
}

uint8_t ColourIndexFor(MeshObject& mesh, uint32_t c, ColourBudget& budget) {
  int32_t searchable = mesh.colours.Count() < 256 ? mesh.colours.Count() : 256;
  for (int32_t i = 0; i < searchable; ++i) {
    if (mesh.colours[i] == c) return static_cast<uint8_t>(i);
  }
  bool marker = IsMarker(c);
  if (searchable < 256 && (!budget.overflow || marker || budget.realKept < budget.realLimit)) {
    mesh.colours.Append(c);
    if (!marker) ++budget.realKept;
    return static_cast<uint8_t>(mesh.colours.Count() - 1);
  }
  int32_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (int32_t i = 0; i < searchable; ++i) {
    if (IsMarker(mesh.colours[i])) continue;
    int32_t d = ColourDistance(mesh.colours[i], c);
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return static_cast<uint8_t>(best);
}

void PackOneFrame(MeshObject& mesh, MeshFrame& frame, bool firstFrame, ColourBudget& budget) {
  const std::vector<MeshVertex>& in = frame.unpacked.items;
  float lo[3] = {0, 0, 0};
  float hi[3] = {0, 0, 0};
  bool any = false;
  for (const MeshVertex& v : in) {
    if (v.colour >= kFirstNonColour || !FinitePosition(v)) continue;
    for (int i = 0; i < 3; ++i) {
      if (!any || v.position[i] < lo[i]) lo[i] = v.position[i];
      if (!any || v.position[i] > hi[i]) hi[i] = v.position[i];
    }
    any = true;
  }
  for (int i = 0; i < 3; ++i) {
    // In double: from -3e38 to 3e38 the span itself is past the float range, the step is not.
    float step = static_cast<float>((double(hi[i]) - double(lo[i])) / 255.0);
    if (step == 0) step = 1;
    frame.scale[i] = step;
    frame.offset[i] = -lo[i] / step;
  }
  frame.packed.Reserve(in.size());
  frame.packed.Clear();
  if (firstFrame) {
    mesh.texU.Clear();
    mesh.texV.Clear();
    mesh.texU.Reserve(in.size());
    mesh.texV.Reserve(in.size());
  }
  PackedVertex previous{};
  for (const MeshVertex& v : in) {
    PackedVertex p = previous;
    p.dir2Index = 0;
    p.dir3Index = 0;
    p.colourIndex = ColourIndexFor(mesh, v.colour, budget);
    if (v.colour < kFirstNonColour) {
      p.normalIndex = NearestNormalIndex(v.normal);
      for (int i = 0; i < 3; ++i) p.q[i] = Quantise(v.position[i], frame.scale[i], frame.offset[i]);
    }
    if (firstFrame) {
      mesh.texU.Append(v.u);
      mesh.texV.Append(v.v);
    }
    frame.packed.Append(p);
    previous = p;
  }
  frame.unpacked.Clear();
}

}  // namespace

void PackFrames(MeshObject& mesh) {
  ColourBudget budget = PlanColours(mesh);
  for (int32_t f = 0; f < mesh.frames.Count(); ++f) {
    PackOneFrame(mesh, mesh.frames[f], f == 0, budget);
  }
  if (budget.overflow) {
    ErrorLog("More than 256 colours: later colours drawn as the nearest of the first ones.");
  }
  mesh.binaryLoaded = 0;
}

namespace {

void BuildFrameTriangles(const MeshObject& mesh, MeshFrame& frame) {
  size_t count = 0;
  ForEachRunTriangle(mesh, frame, [&](int32_t, int32_t, int32_t) { count += 3; });
  frame.triangles.Clear();
  frame.triangles.Reserve(count);
  ForEachRunTriangle(mesh, frame, [&](int32_t a, int32_t b, int32_t c) {
    for (int32_t k : {a, b, c}) frame.triangles.Append(UnpackVertex(mesh, frame, k));
  });
}

}  // namespace

void MeshObjectX::BuildTriangles() {
  for (MeshFrame& frame : frames.items) {
    BuildFrameTriangles(*this, frame);
    MarkTrianglesChanged(frame);
  }
  if (frames.Count() > 0) {
    pose = frames[0].triangles;
  } else {
    pose.Clear();
  }
  hasColours = 0;
  for (uint32_t c : colours.items) {
    if (c < kFirstNonColour && c != kPlainWhite) hasColours = 1;
  }
}

void ComputeFrameBounds(MeshObject& mesh) {
  for (MeshFrame& frame : mesh.frames.items) {
    const std::vector<MeshVertex>& t = frame.triangles.items;
    frame.radius = 0;
    if (t.empty()) continue;
    double sum[3] = {0, 0, 0};
    for (const MeshVertex& v : t) {
      for (int i = 0; i < 3; ++i) sum[i] += v.position[i];
    }
    for (int i = 0; i < 3; ++i) frame.centre[i] = static_cast<float>(sum[i] / t.size());
    float largest = 0;
    for (const MeshVertex& v : t) {
      float d2 = 0;
      for (int i = 0; i < 3; ++i) {
        float d = v.position[i] - frame.centre[i];
        d2 += d * d;
      }
      if (d2 > 1e-7f && d2 > largest) largest = d2;
    }
    frame.radius = std::sqrt(largest);
  }
}

}  // namespace quillon
