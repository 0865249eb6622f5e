// The graphics device: window, context, display mode, pacing and the texture store.
#pragma once

#include <cstdint>

#include "runtime/gl/texture_slots.h"

namespace quillon {

namespace platform {
struct Window;
struct GLContext;
}  // namespace platform

class OpenGLRainbows {
 public:
  OpenGLRainbows();
  virtual ~OpenGLRainbows();
  OpenGLRainbows(const OpenGLRainbows&) = delete;
  OpenGLRainbows& operator=(const OpenGLRainbows&) = delete;

  TextureStore textures;

  platform::Window* window = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t colourBits = 0;
  uint8_t displayModeChanged = 0;
  int32_t sampleCount = 0;
  int32_t viewportX = 0;
  int32_t viewportY = 0;
  int32_t viewportWidth = 0;
  int32_t viewportHeight = 0;
  uint8_t ready = 0;
  double nextFrameTime = 0;
  double frameInterval = 0;
  double counterFrequency = 0;
  int32_t hasCounter = 0;
  void* instance = nullptr;
  platform::GLContext* glContext = nullptr;
};

}  // namespace quillon
