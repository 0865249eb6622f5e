#include "runtime/core/opengl_rainbows.h"

#include "runtime/core/pacing.h"
#include "runtime/core/window.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/window.h"

namespace quillon {

OpenGLRainbows::OpenGLRainbows() {
  counterFrequency = platform::CounterFrequency();
  hasCounter = counterFrequency > 0 ? 1 : 0;
  nextFrameTime = NowMilliseconds();
}

OpenGLRainbows::~OpenGLRainbows() {
  if (window != nullptr) DestroyGameWindow(*this);
  platform::DeleteGLContext(glContext);
  glContext = nullptr;
}

}  // namespace quillon
