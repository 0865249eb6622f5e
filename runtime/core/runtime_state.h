// The one process-wide record every subsystem is reached through.
#pragma once

#include <cstdint>

#include "runtime/values/string_value.h"

namespace quillon {

// Each subsystem owns its record; the state points at it by type.
class OpenGLRainbows;
class Rainbows3D;
struct AssetResolver;
struct InputState;
struct MediaWindow;
struct NetGame;
struct SoundDevice;
struct SoundSlot;
namespace platform {
struct Window;
}

struct RuntimeState {
  MediaWindow* mediaWindow = nullptr;
  platform::Window* window = nullptr;
  StringValue projectTitle;
  uint8_t autoPause = 0;
  uint8_t paused = 0;
  int32_t exclusiveMouse = 0;
  int32_t frameRate = 0;
  int32_t fullscreen = 0;
  int32_t debugMode = 0;
  int32_t sampleCount = 0;
  int32_t screenHeight = 0;
  int32_t screenWidth = 0;
  double errorLine = 0;
  double errorCode = 0;
  double currentModule = 0;
  double currentLine = 0;
  SoundSlot* soundSlots = nullptr;
  SoundDevice* sound = nullptr;
  InputState* input = nullptr;
  StringValue commandLine;
  Rainbows3D* renderer3D = nullptr;
  OpenGLRainbows* graphics = nullptr;
  NetGame* network = nullptr;
  int32_t currentFont = 0;
  double frameStart = 0;
  double previousFrameStart = 0;
  double startTime = 0;
  AssetResolver* assetArchives[2] = {nullptr, nullptr};
};

extern RuntimeState runtimeState;

}  // namespace quillon
