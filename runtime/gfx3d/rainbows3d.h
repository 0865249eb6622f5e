// The 3D renderer's record: object slots, transform levels, camera, projection, lights, the
// effect light and shader programs. Commands reach it through Renderer3D().
#pragma once

#include <cstdint>

#include "runtime/core/lazy_table.h"
#include "runtime/gfx3d/matrix4.h"
#include "runtime/gfx3d/object_slot.h"

namespace quillon {

class OpenGLRainbows;

constexpr int32_t kObjectSlotCount = 4096;
constexpr int32_t kTransformLevels = 16;
constexpr int32_t kLevelEntries = 16;  // rotations, and matrices, per level
constexpr int32_t kShaderSlotCount = 255;

enum EffectMode : uint8_t { EffectBump = 1, EffectCel = 2, EffectShadow = 3 };

struct TransformLevel {
  int32_t matrixCount = 0;
  int32_t rotationCount = 0;
  float rotations[kLevelEntries][4] = {};  // angle in degrees, axis x, y, z
  float scale[3] = {1, 1, 1};
  float position[3] = {0, 0, 0};
  float matrices[kLevelEntries][16] = {};  // column-major
};

struct ShaderProgram {
  uint32_t program = 0;
  uint32_t vertexShader = 0;
  uint32_t fragmentShader = 0;
};

class Rainbows3D {
 public:
  explicit Rainbows3D(OpenGLRainbows* device);
  // Releases every slot: GL names are deleted, so the context must still be alive.
  virtual ~Rainbows3D();
  Rainbows3D(const Rainbows3D&) = delete;
  Rainbows3D& operator=(const Rainbows3D&) = delete;

  // Allocated 64 slots at a time on first use: most programs fill a few, many none.
  LazyTable<ObjectSlot, kObjectSlotCount, 64> slots;
  uint32_t currentProgram = 0;  // GL program handle in use, 0 for fixed function
  ShaderProgram programs[kShaderSlotCount];
  bool shadowPassActive = false;
  int8_t cullMode = 0;  // 0 off, 1 clockwise fronts, -1 counter-clockwise fronts
  TransformLevel levels[kTransformLevels];
  int32_t currentLevel = 0;
  float cameraMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float uvScroll[2] = {0, 0};
  uint8_t enabledLights = 0;  // bit k: GL_LIGHT0 + k
  bool sphereMapping = false;
  OpenGLRainbows* graphics = nullptr;
  bool effectLightOn = false;
  uint8_t effectMode = 0;
  float effectPosition[3] = {0, 0, 0};
  float effectColour[3] = {1, 1, 1};
  float up[3] = {0, 1, 0};
  float eye[3] = {0, 0, 0};
  float target[3] = {0, 0, -1};
  float viewConeTan = 1;
  float nearPlane = 1;
  float farPlane = 1000;
  int32_t qualityMode = 2;
  int32_t buildSlot = -1;  // the slot under construction, -1 for none
  // Pushes beyond the last level: each does nothing, and so does the pop that matches it.
  int32_t ignoredPushes = 0;
};

// The runtime's renderer; nullptr before start-up and after the end (commands then do nothing).
Rainbows3D* Renderer3D();
// Made at start-up bound to the graphics device; destroyed in the end sequence before the
// window, so slot textures and buffers are released while the context lives.
void CreateRenderer3D();
void DestroyRenderer3D();

// Slot number from a caller: the slot, or nullptr for NaN, negative or past the table.
ObjectSlot* ObjectSlotAt(Rainbows3D& renderer, double slot);

// The placement of the next drawn object: for every level up to the current one, its matrices
// in the order added, the translation, the rotations in reverse order, the scale.
Matrix4 ComposePlacement(const Rainbows3D& renderer);
// Multiplies the GL modelview matrix by ComposePlacement.
void ApplyPlacement(const Rainbows3D& renderer);
// Pops the GL matrix of every level above 0 and returns to level 0.
void PopAllLevels(Rainbows3D& renderer);

// The stencil pass that marks shadowed pixels. Ending it darkens them and restores drawing
// state; ending a pass that is not running does nothing.
void BeginShadowPass(Rainbows3D& renderer);
void EndShadowPass(Rainbows3D& renderer);

// After every frame: plain textures for the texture-selection command, fixed-function drawing.
void ResetFrame3DState();

}  // namespace quillon
