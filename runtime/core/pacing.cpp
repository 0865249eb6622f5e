#include "runtime/core/pacing.h"

#include <GL/gl.h>

#include "runtime/core/automation.h"
#include "runtime/core/opengl_rainbows.h"
#include "runtime/core/program_end.h"
#include "runtime/core/runtime_state.h"
#include "runtime/core/window.h"
#include "runtime/gfx2d/render_state.h"
#include "runtime/gfx2d/sprite_batch.h"
#include "runtime/gfx2d/surfaces.h"
#include "runtime/input/keyboard.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/events.h"
#include "runtime/platform/window.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

double (*testClock)() = nullptr;
long showScreenCount = 0;

// Dispatches one waiting event; false when the queue is empty.
bool DispatchOneMessage() {
  platform::Event event;
  if (!platform::PollEvent(event)) return false;
  WindowProcedure(event);
  return true;
}

}  // namespace

void SetClockForTesting(double (*clock)()) { testClock = clock; }

double NowMilliseconds() {
  if (testClock != nullptr) return testClock();
  static const double frequency = platform::CounterFrequency();
  if (frequency > 0) return static_cast<double>(platform::CounterValue()) * 1000.0 / frequency;
  return static_cast<double>(platform::TickMilliseconds());
}

double PumpMessages() {
  while (DispatchOneMessage()) {
  }
  return 1;
}

void WaitForFrameGrid(OpenGLRainbows& device) {
  double now;
  for (;;) {
    if (DispatchOneMessage()) continue;
    now = NowMilliseconds();
    if (now > device.nextFrameTime) break;
  }
  double next = device.nextFrameTime + device.frameInterval;
  if (device.frameInterval > 0) {
    while (next < now) next += device.frameInterval;
  }
  device.nextFrameTime = next;
}

void PresentFrame(OpenGLRainbows& device) {
  Flush2DBatch();
  CaptureFrameForAutomation(device);
  platform::SwapWindowBuffers(device.window);
  double swapReturned = NowMilliseconds();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  double gridPoint = device.nextFrameTime;
  WaitForFrameGrid(device);
  LogPresentedFrame(swapReturned, gridPoint, NowMilliseconds());
}

void ShowScreen() {
  RuntimeState& rs = runtimeState;
  rs.previousFrameStart = rs.frameStart;
  rs.frameStart = NowMilliseconds();
  ++showScreenCount;

  while (rs.paused == 1) {
    PumpMessages();
    platform::SleepMilliseconds(100);
  }

  BeginInputFrame();
  if (EndKeysDown()) {
    rs.errorCode = 0;
    rs.errorLine = rs.currentLine;
    EndProgram();
  }

  OpenGLRainbows* device = rs.graphics;
  if (device == nullptr) return;
  PresentFrame(*device);

  // Undo any alpha mode of the last frame.
  glEnable(GL_BLEND);
  glDisable(GL_BLEND);
  device->textures.globalAlpha = 1.0f;
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  // The 2D state first: a viewport the last frame left behind must not shift the background.
  Reset2DState(0, 0, 0, 0);
  DrawSurface(0);  // the background under every frame; an empty one leaves the frame black

  if (AutomationFrameLimitReached(showScreenCount)) EndProgram();
}

void SetFrameRate(double framesPerSecond) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr) return;
  int n = TruncateToInt32(framesPerSecond);
  device->frameInterval = n > 0 ? 1000.0 / n : 2.0;
}

double ElapsedMilliseconds() { return NowMilliseconds() - runtimeState.startTime; }

// Never below 1 ms: games divide by it, and right after start-up the two times nearly coincide.
double LastFrameTime() {
  double d = NowMilliseconds() - runtimeState.previousFrameStart;
  return d >= 1 ? d : 1;
}

long ShowScreenCount() { return showScreenCount; }

}  // namespace quillon
