#include "runtime/gfx3d/objects3d.h"

#include <cfloat>
#include <cmath>

#include "runtime/core/runtime_errors.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/gfx3d/draw_part.h"
#include "runtime/gfx3d/effects3d.h"
#include "runtime/gfx3d/mesh_file.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/gl/texture_slots.h"

namespace quillon {

namespace {

// A sprite slot with an image, or -1.
int32_t ImageSlot(double slot) {
  if (!(slot >= 0 && slot < kTextureSlotCount)) return -1;
  TextureSlot* s = FindSlot(static_cast<int32_t>(slot));
  return s != nullptr && s->texture != 0 ? static_cast<int32_t>(slot) : -1;
}

bool HasMipmaps(int32_t slot) {
  TextureSlot* s = FindSlot(slot);
  return s == nullptr || HasMipmappedCopy(*s);
}

// 92 MB of unpacked vertices: far beyond any object built by hand, and bounded.
constexpr int32_t kMaxBuildVertices = 1 << 20;
bool buildLimitLogged = false;

ObjectSlot* SlotFor(double slot) {
  Rainbows3D* renderer = Renderer3D();
  return renderer != nullptr ? ObjectSlotAt(*renderer, slot) : nullptr;
}

// Frame 0 of the object under construction, or null when none is (or it was replaced since).
MeshFrame* BuildFrame(Rainbows3D& renderer) {
  if (renderer.buildSlot < 0 || renderer.buildSlot >= kObjectSlotCount) return nullptr;
  ObjectSlot& slot = renderer.slots[renderer.buildSlot];
  if (slot.parts.Count() < 1 || slot.parts[0].frames.Count() < 1) return nullptr;
  return &slot.parts[0].frames[0];
}

void AppendBuildVertex(MeshFrame& frame, const MeshVertex& vertex) {
  if (frame.unpacked.Count() >= kMaxBuildVertices) {
    if (!buildLimitLogged) ErrorLog("AddVertex: more than 1048576 vertices in one object.");
    buildLimitLogged = true;
    return;
  }
  frame.unpacked.Append(vertex);
}

MeshVertex MarkerVertex(uint32_t marker) {
  MeshVertex v{};
  v.colour = marker;
  v.rgb[0] = v.rgb[1] = v.rgb[2] = 1;
  return v;
}

// A colour argument as a colour value: -1, -2, -3 are the run markers; values that are no
// 32-bit pattern at all count as plain white.
uint32_t ColourValue(double colour) {
  if (!(colour > -2147483649.0 && colour < 4294967296.0)) return kPlainWhite;
  return static_cast<uint32_t>(static_cast<int64_t>(colour));
}

bool FloatCoordinate(double x) { return std::isfinite(x) && std::fabs(x) <= FLT_MAX; }

}  // namespace

double LoadObject(const StringValue& file, double slotNumber) {
  ObjectSlot* slot = SlotFor(slotNumber);
  if (slot == nullptr) return 0;
  StringValue path;
  if (ResolveAssetFile(kLoaderResolver, file.CStr(), path) == 0) return 0;
  // Loading over the object under construction ends its construction: later vertices would
  // otherwise be added to the loaded mesh.
  Rainbows3D* renderer = Renderer3D();
  if (renderer->buildSlot == static_cast<int32_t>(slotNumber)) renderer->buildSlot = -1;
  return LoadObjectSlot(*slot, path.CStr());
}

double SaveObject(const StringValue& file, double slotNumber) {
  ObjectSlot* slot = SlotFor(slotNumber);
  if (slot == nullptr || slot->parts.Count() < 1) return 0;
  return SaveMeshFile(slot->parts[0], file.CStr());
}

void SetObjectTexture(double slot, double secondSlot, double mipmapped) {
  if (LiveDevice() == nullptr) return;
  int32_t first = ImageSlot(slot);
  int32_t second = first >= 0 ? ImageSlot(secondSlot) : -1;
  bool mip = mipmapped != 0 && !std::isnan(mipmapped) && first >= 0 && HasMipmaps(first) &&
             (second < 0 || HasMipmaps(second));
  BindSlotTexture(first, second, mip, nullptr);
}

void DrawObject(double slot, double frame) { DrawObjectBlend(slot, frame, frame, 0, 0); }

void DrawObjectBlend(double slotNumber, double frameA, double frameB, double blend, double flag) {
  Rainbows3D* renderer = Renderer3D();
  ObjectSlot* slot = SlotFor(slotNumber);
  OpenGLRainbows* device = LiveDevice();
  if (slot == nullptr || device == nullptr || slot->parts.Count() == 0) return;
  Flush2DBatch();
  bool animate = flag != 0 && !std::isnan(flag);
  if (!slot->isCompound) {
    MeshObjectX& part = slot->parts[0];
    DrawPart(*renderer, part, ChooseFrames(frameA, frameB, blend, animate, part.frames.Count()));
    return;
  }
  TextureStore& store = device->textures;
  int32_t wasSlot = store.boundSlot;
  int32_t wasSecond = store.boundSecondSlot;
  bool wasMip = store.boundMip;
  int32_t textureCount = slot->textures.Count();
  for (MeshObjectX& part : slot->parts.items) {
    if (textureCount > 0) {
      int32_t a = part.textureA < textureCount ? part.textureA : -1;
      int32_t b = part.textureB < textureCount ? part.textureB : -1;
      BindSlotTexture(a, b, false, slot->textures.Data());
    } else {
      BindSlotTexture(-1, -1, false, nullptr);
    }
    DrawPart(*renderer, part, ChooseFrames(frameA, frameB, blend, animate, part.frames.Count()));
  }
  BindSlotTexture(wasSlot, wasSecond, wasMip, nullptr);
}

void StartObject(double slotNumber) {
  Rainbows3D* renderer = Renderer3D();
  ObjectSlot* slot = SlotFor(slotNumber);
  if (slot == nullptr) return;
  ReleaseObjectSlot(*slot);
  slot->parts.Append(MeshObjectX());
  MeshObjectX& part = slot->parts[0];
  part.frames.Append(MeshFrame());
  part.frames[0].unpacked.Append(MarkerVertex(MarkerStrip));
  renderer->buildSlot = static_cast<int32_t>(slotNumber);
  buildLimitLogged = false;
}

void AddVertex(double x, double y, double z, double u, double v, double colour) {
  Rainbows3D* renderer = Renderer3D();
  MeshFrame* frame = renderer != nullptr ? BuildFrame(*renderer) : nullptr;
  if (frame == nullptr) return;
  uint32_t c = ColourValue(colour);
  if (IsMarker(c)) {
    AppendBuildVertex(*frame, MarkerVertex(c));
    return;
  }
  // A point at no finite place would spoil the packing range of the whole object.
  if (!FloatCoordinate(x) || !FloatCoordinate(y) || !FloatCoordinate(z)) return;
  MeshVertex vertex = MarkerVertex(c);
  vertex.position[0] = static_cast<float>(x);
  vertex.position[1] = static_cast<float>(y);
  vertex.position[2] = static_cast<float>(z);
  vertex.u = FloatCoordinate(u) ? static_cast<float>(u) : 0;
  vertex.v = FloatCoordinate(v) ? static_cast<float>(v) : 0;
  SetColourFloats(vertex, c);
  AppendBuildVertex(*frame, vertex);
}

void NewStrip() {
  Rainbows3D* renderer = Renderer3D();
  MeshFrame* frame = renderer != nullptr ? BuildFrame(*renderer) : nullptr;
  if (frame != nullptr) AppendBuildVertex(*frame, MarkerVertex(MarkerStrip));
}

void EndObject() {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr || renderer->buildSlot < 0) return;
  ObjectSlot& slot = renderer->slots[renderer->buildSlot];
  renderer->buildSlot = -1;
  slot.loaded = true;
  slot.isCompound = false;
  if (slot.parts.Count() < 1) return;
  MeshObjectX& part = slot.parts[0];
  if (part.frames.Count() > 0 && part.frames[0].unpacked.Count() > 2) {
    PackFrames(part);
    if (renderer->qualityMode == 1 || renderer->qualityMode == 2) {
      PrepareNormals(part, renderer->qualityMode);
    }
    part.BuildTriangles();
    ComputeFrameBounds(part);
  } else {
    ClearMesh(part, true);
  }
}

void SetBuildQuality(double n) {
  Rainbows3D* renderer = Renderer3D();
  if (renderer == nullptr || !std::isfinite(n)) return;
  double m = std::fmod(std::trunc(n), 3.0);
  renderer->qualityMode = static_cast<int32_t>(m < 0 ? m + 3 : m);
}

double ObjectVertexCount(double slotNumber) {
  ObjectSlot* slot = SlotFor(slotNumber);
  if (slot == nullptr) return 0;
  double count = 0;
  for (const MeshObjectX& part : slot->parts.items) {
    if (part.frames.Count() > 0) count += part.frames[0].triangles.Count();
  }
  return count;
}

}  // namespace quillon
