// The mesh object model: animation frames of quantised vertices, the triangle lists drawn from
// them, and the steps that build one from the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillon {

// The runtime's growable list. Storage is a vector; capacity follows the list's own policy so
// that reserving before bulk reads allocates exactly once.
template <typename T>
struct GrowList {
  std::vector<T> items;
  int32_t growStep = 128;
  int32_t firstCapacity = 512;

  int32_t Count() const { return static_cast<int32_t>(items.size()); }
  T* Data() { return items.data(); }
  const T* Data() const { return items.data(); }
  T& operator[](size_t i) { return items[i]; }
  const T& operator[](size_t i) const { return items[i]; }
  // Grows by growStep while small and by half beyond that, so long appends stay linear.
  void Append(const T& value) {
    if (items.size() == items.capacity()) {
      size_t cap = items.capacity();
      size_t step = cap / 2 > static_cast<size_t>(growStep) ? cap / 2 : growStep;
      items.reserve(cap == 0 ? static_cast<size_t>(firstCapacity) : cap + step);
    }
    items.push_back(value);
  }
  // Room for n elements when n is at least the current capacity; n must be a size the caller
  // has already checked against its input.
  void Reserve(size_t n) {
    if (n >= items.capacity()) items.reserve(n);
  }
  // Count 0; with release the storage is freed too.
  void Clear(bool release = false) {
    items.clear();
    if (release) items.shrink_to_fit();
  }
};

// Colour values from here up are not colours; three of them start a run of triangles.
constexpr uint32_t kFirstNonColour = 0xFFFFFFFCu;
constexpr uint32_t MarkerList = 0xFFFFFFFFu;
constexpr uint32_t MarkerStrip = 0xFFFFFFFEu;
constexpr uint32_t MarkerFan = 0xFFFFFFFDu;
constexpr bool IsMarker(uint32_t c) {
  return c == MarkerList || c == MarkerStrip || c == MarkerFan;
}
// Plain white: a colour, but not one that makes a mesh coloured.
constexpr uint32_t kPlainWhite = 0xFFFFFFu;

// The unpacked vertex; GL reads arrays of it with a stride of 88 bytes.
struct MeshVertex {
  float position[3];
  float normal[3];
  float u;
  float v;
  float light[3];  // bump-mapping light vector, used as a colour array by the renderer
  float dir2[3];
  float dir3[3];  // in cel shading its first two floats carry the ramp coordinates
  uint32_t colour;
  uint8_t colourIndex;
  uint8_t unused[3];
  float rgb[3];
};
static_assert(sizeof(MeshVertex) == 88);
static_assert(offsetof(MeshVertex, position) == 0);
static_assert(offsetof(MeshVertex, normal) == 12);
static_assert(offsetof(MeshVertex, u) == 24);
static_assert(offsetof(MeshVertex, v) == 28);
static_assert(offsetof(MeshVertex, light) == 32);
static_assert(offsetof(MeshVertex, dir2) == 44);
static_assert(offsetof(MeshVertex, dir3) == 56);
static_assert(offsetof(MeshVertex, colour) == 68);
static_assert(offsetof(MeshVertex, colourIndex) == 72);
static_assert(offsetof(MeshVertex, rgb) == 76);

// The quantised vertex.
struct PackedVertex {
  uint8_t q[3];
  uint8_t normalIndex;
  uint8_t dir2Index;
  uint8_t dir3Index;
  uint8_t colourIndex;
};

constexpr int kNormalCount = 162;
// The 162 unit normals packed vertices index, as x y z.
extern const float NormalTable[kNormalCount][3];
// The table entry for a normal index; indices past the table give entry 0.
const float* TableNormal(uint8_t index);

struct TriangleBvh;

// One animation frame. A packed coordinate q unpacks to (q - offset) * scale.
struct MeshFrame {
  GrowList<MeshVertex> unpacked;
  GrowList<MeshVertex> triangles;
  GrowList<PackedVertex> packed;
  float offset[3] = {0, 0, 0};
  float scale[3] = {1, 1, 1};
  float radius = 0;
  float centre[3] = {0, 0, 0};
  // Renewed whenever triangles is rebuilt, cleared or assigned, so the collision hierarchy
  // built from it (triangle_bvh.h) knows when it is stale; copies get their own.
  uint64_t trianglesStamp = 0;
  std::shared_ptr<const TriangleBvh> bvh;

  MeshFrame() = default;
  // Copies lists, offset and scale; radius and centre are not copied.
  MeshFrame(const MeshFrame& other);
  MeshFrame& operator=(const MeshFrame& other);
  MeshFrame(MeshFrame&&) = default;
  MeshFrame& operator=(MeshFrame&&) = default;
};

class MeshObject {
 public:
  // Slot 0: turns packed frames into triangle lists; nothing in the plain mesh.
  virtual void BuildTriangles() {}

  GrowList<MeshFrame> frames;
  GrowList<MeshVertex> pose;  // the triangle vertices shown now
  GrowList<float> texU;       // one per packed vertex position, shared by all frames
  GrowList<float> texV;
  GrowList<uint32_t> colours;
  int32_t binaryLoaded = 0;
};

// Calls emit(a, b, c) with the packed-vertex indices of each triangle the frame's runs make. A
// marker colour starts a list, strip or fan run; a frame starts in a list run.
template <typename Emit>
void ForEachRunTriangle(const MeshObject& mesh, const MeshFrame& frame, Emit emit) {
  int32_t slot[3];
  int n = 0;
  int parity = 0;
  uint32_t kind = MarkerList;
  for (int32_t k = 0; k < frame.packed.Count(); ++k) {
    uint8_t index = frame.packed[k].colourIndex;
    uint32_t c = index < mesh.colours.Count() ? mesh.colours[index] : kPlainWhite;
    if (IsMarker(c)) {
      n = 0;
      parity = 0;
      kind = c;
      continue;
    }
    slot[n++] = k;
    if (n < 3) continue;
    emit(slot[0], slot[1], slot[2]);
    n = 2;
    if (kind == MarkerList) {
      n = 0;
    } else if (kind == MarkerFan) {
      slot[1] = slot[2];
    } else {
      slot[parity] = slot[2];
      parity ^= 1;
    }
  }
}

// One 8-byte entry per triangle edge for the shadow pass.
struct EdgeNeighbour {
  int32_t triangle;
  int32_t edge;
};

class MeshObjectX : public MeshObject {
 public:
  // Strip, fan and list runs into each frame's triangles; pose and hasColours follow.
  void BuildTriangles() override;

  uint32_t vertexBuffers[2] = {0, 0};  // frame 0 as drawn directly, the rebuilt pose
  int32_t hasColours = 0;
  uint32_t rampTexture = 0;  // 0: none
  float rampRowStep = 1;
  GrowList<EdgeNeighbour> edgeNeighbours;
  GrowList<int8_t> faceFlags;
  int32_t textureA = 0;
  int32_t textureB = 0;
  // With indexCount above 0, vertexBuffers[0] holds frame 0's distinct vertices and indexBuffer
  // its triangles as indices into them: shared corners are lit and transformed once.
  uint32_t indexBuffer = 0;
  int32_t indexCount = 0;
};

// Empties texU, texV, colours, pose and every frame's lists; freeStorage also releases their
// storage and the frames. binaryLoaded becomes 0.
void ClearMesh(MeshObject& mesh, bool freeStorage);
// The same, and with freeStorage also the edge data, vertex buffers and ramp texture (GL names
// are deleted only when non-zero, so a mesh that never met GL needs no context).
void ClearMesh(MeshObjectX& mesh, bool freeStorage);
// Deletes the buffers of frame 0 as drawn directly, so that the next draw uploads it again.
void DeleteFrameZeroBuffers(MeshObjectX& mesh);

// The unpacked form of packed vertex k of the frame. Indices past the normal table, the colour
// list or the texture coordinates give table entry 0, plain white and (0, 0).
MeshVertex UnpackVertex(const MeshObject& mesh, const MeshFrame& frame, int32_t k);
// v.rgb from a colour value (red in the low byte); run markers and other non-colours are white.
void SetColourFloats(MeshVertex& v, uint32_t c);

// Quantises every frame's unpacked vertices into its packed list, fills colours (more than 256
// distinct values keep the first ones and map the rest to the nearest kept, with one log line)
// and texU/texV from frame 0, and empties the unpacked lists. binaryLoaded becomes 0. The
// packing range spans finite positions only, so it stays finite; a non-finite position (which
// the loaders refuse) packs to byte 0.
void PackFrames(MeshObject& mesh);
// Index of the table normal closest to n (normalised first unless nearly zero).
uint8_t NearestNormalIndex(const float n[3]);
// Code that changes a frame's triangles in place calls this, so collision caches rebuild.
void MarkTrianglesChanged(MeshFrame& frame);
// Each frame's centre (mean of its triangle positions) and radius (largest distance to it).
void ComputeFrameBounds(MeshObject& mesh);

}  // namespace quillon
