#include "runtime/gl/opengl_rainbows.h"

#include "runtime/core/clock.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/window.h"

namespace quillon {

OpenGLRainbows::OpenGLRainbows() {
  counterFrequency = platform::CounterFrequency();
  hasCounter = counterFrequency > 0 ? 1 : 0;
  nextFrameTime = NowMilliseconds();
}

// The top layer destroys the window first (DestroyGameWindow), while the slots can still be freed.
OpenGLRainbows::~OpenGLRainbows() {
  if (window != nullptr) platform::DestroyWindow(window);
  platform::DeleteGLContext(glContext);
  glContext = nullptr;
}

}  // namespace quillon
