#include "runtime/gfx3d/draw_part.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/colour_ramp.h"
#include "runtime/gfx3d/effects3d.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"

namespace quillon {

constexpr GLsizei kStride = sizeof(MeshVertex);

namespace {

// Frame 0 drawn directly needs only these: its static buffer holds them alone, so drawing reads
// half the bytes.
struct CompactVertex {
  float position[3];
  float normal[3];
  float u, v;
  float rgb[3];
};

// Where the arrays of plain drawing find their data.
struct ArrayLayout {
  GLsizei stride;
  size_t position, normal, u, rgb;
};
constexpr ArrayLayout kFullLayout{kStride, offsetof(MeshVertex, position),
                                  offsetof(MeshVertex, normal), offsetof(MeshVertex, u),
                                  offsetof(MeshVertex, rgb)};
constexpr ArrayLayout kCompactLayout{sizeof(CompactVertex), offsetof(CompactVertex, position),
                                     offsetof(CompactVertex, normal), offsetof(CompactVertex, u),
                                     offsetof(CompactVertex, rgb)};

}  // namespace

FrameChoice ChooseFrames(double a, double b, double t, bool animate, int32_t frameCount) {
  FrameChoice choice;
  if (frameCount <= 0) return choice;
  auto clampFrame = [frameCount](double f) -> int32_t {
    if (!(f > 0)) return 0;  // NaN too
    if (f >= frameCount - 1) return frameCount - 1;
    return static_cast<int32_t>(f);
  };
  if (!std::isfinite(t)) t = 0;
  if (!animate) {
    choice.first = clampFrame(a);
    choice.second = clampFrame(b);
    choice.weight = static_cast<float>(t);
    return choice;
  }
  if (!std::isfinite(a)) a = 0;
  if (!std::isfinite(b)) b = 0;
  if (t < 0 || t > 1) t = std::fabs(std::fmod(t, 1.0));
  if (a == b) {
    choice.first = clampFrame(a);
    choice.second = clampFrame(b);
    return choice;
  }
  double pos = a + (b - a) * t;
  double i = std::trunc(pos);
  if (a < b) {
    choice.first = clampFrame(i + 1);
    choice.second = clampFrame(i);
    choice.weight = static_cast<float>(1 - (pos - i));
  } else {
    choice.first = clampFrame(i);
    choice.second = clampFrame(i + 1);
    choice.weight = static_cast<float>(pos - i);
  }
  return choice;
}

float ApproxSquareRoot(float x) {
  uint32_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  bits = (((bits >> 1) - 0x1FC00000u) & 0x7FFFFFFFu) + 0x3F800000u;
  float root = 0;
  std::memcpy(&root, &bits, sizeof root);
  return root;
}

namespace {

float Dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Normalise(float v[3]) {
  float length = std::sqrt(Dot(v, v));
  if (length > 0) {
    for (int i = 0; i < 3; ++i) v[i] /= length;
  }
}

}  // namespace

bool InViewCone(const Rainbows3D& renderer, const float centre[3], float radius) {
  float d[3], v[3];
  for (int i = 0; i < 3; ++i) {
    d[i] = renderer.target[i] - renderer.eye[i];
    v[i] = centre[i] - renderer.eye[i];
  }
  Normalise(d);
  float p = Dot(d, v);
  if (p < 0) return Dot(v, v) <= radius * radius;
  float off[3] = {v[0] - d[0] * p, v[1] - d[1] * p, v[2] - d[2] * p};
  float s = ApproxSquareRoot(p * p) * renderer.viewConeTan * 1.05f;
  return Dot(off, off) < s * s + radius * radius;
}

namespace {

// What one draw works with: the frames, the vertices to send and where they came from.
struct PartDraw {
  const MeshFrame* first;
  const MeshFrame* second;
  float weight;
  bool frameZeroDirect;
  const MeshVertex* vertices;
  int32_t count;
  float light[3];     // effect light in the part's coordinates
  Matrix4 placement;  // the levels composed, once per draw
  Matrix4 toPart;     // its inverse, only while an effect light is on
  bool invertible;
};

// A point of world space in the part's own coordinates.
void IntoPartSpace(const PartDraw& draw, const float world[3], float out[3]) {
  if (!draw.invertible) {
    std::memcpy(out, world, 3 * sizeof(float));
    return;
  }
  float in[4] = {world[0], world[1], world[2], 1};
  float result[4];
  TransformPoint(draw.toPart, in, result);
  float w = result[3] != 0 ? result[3] : 1;
  for (int i = 0; i < 3; ++i) out[i] = result[i] / w;
}

void ShownSphere(const Rainbows3D& renderer, const PartDraw& draw, float centre[3], float& radius) {
  const TransformLevel& level = renderer.levels[0];
  float w = draw.weight;
  for (int i = 0; i < 3; ++i) {
    float a = draw.first->centre[i];
    float b = draw.second->centre[i];
    centre[i] = level.position[i] + (w == 0 ? b : a + (b - a) * w);
  }
  // Mirrored levels (negative scale) are as large as their magnitude.
  float scale =
      std::max({std::fabs(level.scale[0]), std::fabs(level.scale[1]), std::fabs(level.scale[2])});
  radius = std::max(draw.first->radius, draw.second->radius) * scale;
}

// Rebuilds pose from the two frames, the effect data and the texture scroll.
void RebuildPose(const Rainbows3D& renderer, MeshObjectX& part, PartDraw& draw) {
  const MeshVertex* a = draw.first->triangles.Data();
  const MeshVertex* b = draw.second->triangles.Data();
  // Frames read from files need not agree in size: only the vertices all of them have.
  int32_t count =
      std::min({part.pose.Count(), draw.first->triangles.Count(), draw.second->triangles.Count()});
  float w = draw.weight;
  bool effect = renderer.effectLightOn && arb.glActiveTextureARB != nullptr;
  int mode = renderer.effectMode;
  float su = renderer.uvScroll[0];
  float sv = renderer.uvScroll[1];
  MeshVertex* out = part.pose.Data();
  for (int32_t k = 0; k < count; ++k) {
    MeshVertex& o = out[k];
    if (w == 0) {
      o = b[k];
    } else {
      for (int i = 0; i < 3; ++i) {
        o.position[i] = a[k].position[i] + (b[k].position[i] - a[k].position[i]) * w;
        o.normal[i] = a[k].normal[i] + (b[k].normal[i] - a[k].normal[i]) * w;
      }
    }
    if (effect && (mode == EffectBump || mode == EffectCel)) {
      float l[3] = {draw.light[0] - o.position[0], draw.light[1] - o.position[1],
                    draw.light[2] - o.position[2]};
      Normalise(l);
      if (mode == EffectBump) {
        o.light[0] = Dot(a[k].dir2, l) * 0.5f + 0.5f;
        o.light[1] = Dot(a[k].dir3, l) * 0.5f + 0.5f;
        o.light[2] = Dot(o.normal, l) * 0.5f + 0.5f;
      } else {
        o.dir3[0] = std::clamp(Dot(l, o.normal), 0.05f, 0.95f);
        o.dir3[1] = (static_cast<float>(o.colourIndex) + 0.5f) * part.rampRowStep;
      }
    }
    o.u += su;
    o.v += sv;
  }
  draw.vertices = out;
  draw.count = count;
}

bool HasBuffers() {
  return arb.glBindBufferARB != nullptr && arb.glGenBuffersARB != nullptr &&
         arb.glBufferDataARB != nullptr;
}

CompactVertex Compact(const MeshVertex& v) {
  CompactVertex c;
  std::memcpy(c.position, v.position, sizeof c.position);
  std::memcpy(c.normal, v.normal, sizeof c.normal);
  c.u = v.u;
  c.v = v.v;
  std::memcpy(c.rgb, v.rgb, sizeof c.rgb);
  return c;
}

struct CompactHash {
  size_t operator()(const CompactVertex& v) const {
    uint64_t h = 14695981039346656037ull;  // FNV-1a
    const auto* bytes = reinterpret_cast<const uint8_t*>(&v);
    for (size_t k = 0; k < sizeof v; ++k) h = (h ^ bytes[k]) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};
struct CompactEqual {
  bool operator()(const CompactVertex& a, const CompactVertex& b) const {
    return std::memcmp(&a, &b, sizeof a) == 0;
  }
};

// Frame 0 into its static buffers, in the compact layout: the distinct vertices and, when
// corners repeat, the triangles as indices into them.
void UploadFrameZero(MeshObjectX& part, const PartDraw& draw) {
  std::vector<CompactVertex> distinct;
  std::vector<uint32_t> indices(static_cast<size_t>(draw.count));
  std::unordered_map<CompactVertex, uint32_t, CompactHash, CompactEqual> seen;
  seen.reserve(indices.size());
  distinct.reserve(indices.size());
  for (int32_t k = 0; k < draw.count; ++k) {
    CompactVertex c = Compact(draw.vertices[k]);
    auto [at, added] = seen.emplace(c, static_cast<uint32_t>(distinct.size()));
    if (added) distinct.push_back(c);
    indices[static_cast<size_t>(k)] = at->second;
  }
  arb.glGenBuffersARB(1, &part.vertexBuffers[0]);
  arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.vertexBuffers[0]);
  arb.glBufferDataARB(GL_ARRAY_BUFFER_ARB,
                      static_cast<GLsizeiptrARB>(distinct.size() * sizeof(CompactVertex)),
                      distinct.data(), GL_STATIC_DRAW_ARB);
  if (distinct.size() == indices.size()) return;
  arb.glGenBuffersARB(1, &part.indexBuffer);
  arb.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, part.indexBuffer);
  arb.glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB,
                      static_cast<GLsizeiptrARB>(indices.size() * sizeof(uint32_t)),
                      indices.data(), GL_STATIC_DRAW_ARB);
  arb.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  part.indexCount = draw.count;
}

// Binds the buffer the vertices go through and returns the base for the array pointers.
const char* UploadVertices(MeshObjectX& part, const PartDraw& draw) {
  if (!HasBuffers()) return reinterpret_cast<const char*>(draw.vertices);
  GLsizeiptrARB size = static_cast<GLsizeiptrARB>(draw.count) * kStride;
  if (draw.frameZeroDirect) {
    if (part.vertexBuffers[0] == 0) UploadFrameZero(part, draw);
    arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.vertexBuffers[0]);
    return nullptr;
  }
  if (part.vertexBuffers[1] == 0) arb.glGenBuffersARB(1, &part.vertexBuffers[1]);
  arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.vertexBuffers[1]);
  if (arb.glMapBufferARB != nullptr && arb.glUnmapBufferARB != nullptr) {
    arb.glBufferDataARB(GL_ARRAY_BUFFER_ARB, size, nullptr, GL_STREAM_DRAW_ARB);
    void* mapped = arb.glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB);
    if (mapped != nullptr) {
      std::memcpy(mapped, draw.vertices, static_cast<size_t>(size));
      if (arb.glUnmapBufferARB(GL_ARRAY_BUFFER_ARB)) return nullptr;
    }
  }
  arb.glBufferDataARB(GL_ARRAY_BUFFER_ARB, size, draw.vertices, GL_STREAM_DRAW_ARB);
  return nullptr;
}

void UnbindBuffer() {
  if (HasBuffers()) arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

bool Multitexture() {
  return arb.glActiveTextureARB != nullptr && arb.glClientActiveTextureARB != nullptr;
}

GLenum Dot3Combine() {
  static const GLenum mode = std::strstr(ExtensionString(), "GL_EXT_texture_env_dot3") != nullptr
                                 ? GL_DOT3_RGB_EXT
                                 : GL_DOT3_RGB_ARB;
  return mode;
}

// What the arrays enabled, so that they can be switched off again.
struct ArrayState {
  bool texUnit0 = false;
  bool texUnit1 = false;
  bool colours = false;
  bool normals = false;
  bool sphere = false;
  bool bump = false;
  bool ramp = false;
  GLint unit1Texture = 0;
  GLboolean unit1Enabled = GL_FALSE;
};

void TexCoordArray(GLenum unit, const char* base, size_t offset, GLsizei stride = kStride) {
  if (arb.glClientActiveTextureARB != nullptr) arb.glClientActiveTextureARB(unit);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, stride, base + offset);
}

// The effect arrays (light vectors, ramp coordinates) exist only in the full layout.
ArrayState EnableArrays(const Rainbows3D& renderer, const MeshObjectX& part, const char* base,
                        const ArrayLayout& layout) {
  ArrayState s;
  const OpenGLRainbows* device = runtimeState.graphics;
  int32_t bound = device != nullptr ? device->textures.boundSlot : -1;
  int32_t boundSecond = device != nullptr ? device->textures.boundSecondSlot : -1;
  bool multi = Multitexture();
  int mode = renderer.effectLightOn && multi ? renderer.effectMode : 0;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, layout.stride, base + layout.position);
  s.texUnit0 = bound >= 0 || mode == EffectBump;
  s.texUnit1 = multi && bound >= 0 && boundSecond >= 0;
  if (mode == EffectCel) {
    s.ramp = true;
    s.texUnit1 = true;
    arb.glActiveTextureARB(GL_TEXTURE1_ARB);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.unit1Texture);
    s.unit1Enabled = glIsEnabled(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, part.rampTexture);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    arb.glActiveTextureARB(GL_TEXTURE0_ARB);
    TexCoordArray(GL_TEXTURE1_ARB, base, offsetof(MeshVertex, dir3));
  } else if (s.texUnit1) {
    TexCoordArray(GL_TEXTURE1_ARB, base, layout.u, layout.stride);
  }
  if (s.texUnit0) TexCoordArray(GL_TEXTURE0_ARB, base, layout.u, layout.stride);
  if (mode == EffectBump) {
    // Unit 0: the normal map dotted with the light vector the colours carry; unit 1 modulates.
    s.bump = true;
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<GLint>(Dot3Combine()));
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PRIMARY_COLOR_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
    s.colours = true;
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, kStride, base + offsetof(MeshVertex, light));
  } else if (part.hasColours != 0) {
    s.colours = true;
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, layout.stride, base + layout.rgb);
  }
  if (renderer.enabledLights != 0 || renderer.sphereMapping) {
    s.normals = true;
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, layout.stride, base + layout.normal);
  }
  if (renderer.sphereMapping) {
    s.sphere = true;
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
  }
  return s;
}

void DisableArrays(const ArrayState& s) {
  glDisableClientState(GL_VERTEX_ARRAY);
  if (s.colours) glDisableClientState(GL_COLOR_ARRAY);
  if (s.normals) glDisableClientState(GL_NORMAL_ARRAY);
  if (s.texUnit1) {
    arb.glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  if (arb.glClientActiveTextureARB != nullptr) arb.glClientActiveTextureARB(GL_TEXTURE0_ARB);
  if (s.texUnit0) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  if (s.sphere) {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
  }
  if (s.bump) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  if (s.ramp) {
    arb.glActiveTextureARB(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(s.unit1Texture));
    if (!s.unit1Enabled) glDisable(GL_TEXTURE_2D);
    arb.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
}

// The black rim of cel shading: the pose pushed outwards, drawn with the other winding.
void DrawCelOutline(const Rainbows3D& renderer, MeshObjectX& part, PartDraw& draw) {
  float eye[3], centre[3];
  IntoPartSpace(draw, renderer.eye, eye);
  for (int i = 0; i < 3; ++i) centre[i] = draw.second->centre[i];
  float d[3] = {eye[0] - centre[0], eye[1] - centre[1], eye[2] - centre[2]};
  float offset = std::sqrt(Dot(d, d)) * renderer.viewConeTan * 0.003f;
  for (int32_t k = 0; k <= renderer.currentLevel && k < kTransformLevels; ++k) {
    float sy = renderer.levels[k].scale[1];
    offset /= sy * sy;
  }
  if (!(offset <= draw.second->radius / 8 && offset >= 1e-7f)) return;
  MeshVertex* pose = part.pose.Data();
  for (int32_t k = 0; k < draw.count; ++k) {
    for (int i = 0; i < 3; ++i) pose[k].position[i] += pose[k].normal[i] * offset;
  }
  draw.vertices = pose;
  draw.frameZeroDirect = false;
  const char* base = UploadVertices(part, draw);
  GLboolean lighting = glIsEnabled(GL_LIGHTING);
  GLboolean unit0 = glIsEnabled(GL_TEXTURE_2D);
  GLboolean unit1 = GL_FALSE;
  if (Multitexture()) {
    arb.glActiveTextureARB(GL_TEXTURE1_ARB);
    unit1 = glIsEnabled(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_2D);
    arb.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glFrontFace(renderer.cullMode > 0 ? GL_CCW : GL_CW);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glColor4f(0, 0, 0, colour[3]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, kStride, base);
  glDrawArrays(GL_TRIANGLES, 0, draw.count);
  glDisableClientState(GL_VERTEX_ARRAY);
  glColor4fv(colour);
  glFrontFace(renderer.cullMode > 0 ? GL_CW : GL_CCW);
  if (lighting) glEnable(GL_LIGHTING);
  if (unit0) glEnable(GL_TEXTURE_2D);
  if (unit1) {
    arb.glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    arb.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
}

// Shadow mode: the part's shadow volume into the stencil buffer, nothing on screen. Only while
// the shadow pass runs, since otherwise the volume would be drawn in colour.
void DrawShadowVolume(const Rainbows3D& renderer, MeshObjectX& part, const PartDraw& draw) {
  static std::vector<float> volume;  // reused from draw to draw
  BuildEdgeNeighbours(part);
  ComputeFaceFlags(part, draw.vertices, draw.count, draw.light);
  BuildShadowVolume(part, draw.vertices, draw.count, draw.light, volume);
  if (!renderer.shadowPassActive || volume.empty()) return;
  GLboolean culling = glIsEnabled(GL_CULL_FACE);
  GLboolean alphaTest = glIsEnabled(GL_ALPHA_TEST);
  glDisable(GL_CULL_FACE);  // both sides of the volume count
  glDisable(GL_ALPHA_TEST);
  UnbindBuffer();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glMultMatrixf(draw.placement.m);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(4, GL_FLOAT, 0, volume.data());
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(volume.size() / 4));
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
  if (culling) glEnable(GL_CULL_FACE);
  if (alphaTest) glEnable(GL_ALPHA_TEST);
}

void PrepareEffect(const Rainbows3D& renderer, MeshObjectX& part) {
  if (renderer.effectMode == EffectCel) {
    BuildColourRamp(part);
  } else if (renderer.effectMode == EffectBump && PrepareTangents(part, renderer.qualityMode)) {
    DeleteFrameZeroBuffers(part);  // frame 0 changed: upload it again
  }
}

}  // namespace

void DrawPart(Rainbows3D& renderer, MeshObjectX& part, const FrameChoice& frames) {
  int32_t frameCount = part.frames.Count();
  if (frameCount == 0 || part.frames[0].packed.Count() == 0) return;
  PartDraw draw{};
  draw.first = &part.frames[std::clamp(frames.first, 0, frameCount - 1)];
  draw.second = &part.frames[std::clamp(frames.second, 0, frameCount - 1)];
  draw.weight = frames.weight;
  float centre[3], radius = 0;
  ShownSphere(renderer, draw, centre, radius);
  if (!InViewCone(renderer, centre, radius)) return;
  float alpha = renderer.graphics != nullptr ? renderer.graphics->textures.globalAlpha : 1;
  glColor4f(alpha, alpha, alpha, alpha);

  bool effect = renderer.effectLightOn;
  draw.placement = ComposePlacement(renderer);
  if (effect) {
    draw.invertible = InvertMatrix(draw.placement, draw.toPart);
    PrepareEffect(renderer, part);
    IntoPartSpace(draw, renderer.effectPosition, draw.light);
  }
  if (part.pose.Count() == 0) part.BuildTriangles();
  bool direct =
      !effect && draw.weight == 0 && renderer.uvScroll[0] == 0 && renderer.uvScroll[1] == 0;
  if (direct) {
    draw.vertices = draw.second->triangles.Data();
    draw.count = draw.second->triangles.Count();
    draw.frameZeroDirect = draw.second == &part.frames[0];
  } else {
    RebuildPose(renderer, part, draw);
  }
  if (draw.count <= 0) return;
  if (effect && renderer.effectMode == EffectShadow) {
    DrawShadowVolume(renderer, part, draw);
    return;
  }

  const char* base = UploadVertices(part, draw);
  bool compact = draw.frameZeroDirect && HasBuffers();
  ArrayState arrays = EnableArrays(renderer, part, base, compact ? kCompactLayout : kFullLayout);
  // The colours carry the light vectors of the normal map: scene lights must not shade them.
  bool unlit = arrays.bump && glIsEnabled(GL_LIGHTING);
  if (unlit) glDisable(GL_LIGHTING);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glMultMatrixf(draw.placement.m);
  if (compact && part.indexCount == draw.count) {
    arb.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, part.indexBuffer);
    glDrawElements(GL_TRIANGLES, part.indexCount, GL_UNSIGNED_INT, nullptr);
    arb.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  } else {
    glDrawArrays(GL_TRIANGLES, 0, draw.count);
  }
  if (unlit) glEnable(GL_LIGHTING);
  DisableArrays(arrays);
  if (effect && renderer.effectMode == EffectCel && renderer.cullMode != 0) {
    DrawCelOutline(renderer, part, draw);
  }
  glPopMatrix();
  UnbindBuffer();
}

}  // namespace quillon
