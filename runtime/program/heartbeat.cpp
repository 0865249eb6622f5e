#include "runtime/program/heartbeat.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "runtime/core/clock.h"
#include "runtime/core/flow_hooks.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/render_state.h"
#include "runtime/gfx2d/render_state_internal.h"
#include "runtime/gfx2d/surfaces.h"
#include "runtime/gfx2d/surfaces_internal.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/shadow_pass_hook.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/media/media_internal.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/events.h"
#include "runtime/platform/window.h"
#include "runtime/program/automation.h"
#include "runtime/program/screen.h"
#include "runtime/program/window.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

// Blocking on the event queue wakes late by up to a millisecond or so, so it hands over this long
// before the grid point. A sleep on an absolute deadline covers what is left but a short stretch
// that is spun, since a kernel wake is still late by some tens of microseconds.
constexpr double kEventMargin = 2.0;
constexpr double kSpinMargin = 0.15;
// A blocking wait never sleeps longer than this, so a clock that jumps is noticed.
constexpr int kLongestBlock = 50;

// Dispatches one waiting event; false when the queue is empty.
bool DispatchOneMessage() {
  platform::Event event;
  if (!platform::PollEvent(event)) return false;
  WindowProcedure(event);
  return true;
}

// Sleeps on the event queue for up to ms milliseconds, dispatching what arrives.
void WaitForMessage(int ms) {
  platform::Event event;
  if (platform::WaitEvent(event, std::min(ms, kLongestBlock))) WindowProcedure(event);
}

// The first grid point at or after now, counted from the one after next by division: a long
// stall or a tiny interval must not cost one step per missed point.
double NextGridPoint(double next, double interval, double now) {
  next += interval;
  if (!(interval > 0) || next >= now) return next;
  next += std::ceil((now - next) / interval) * interval;
  // Where the clock is so large that the interval vanishes in rounding, the grid restarts now.
  return next >= now ? next : now;
}

void WaitWhilePaused() {
  while (runtimeState.paused == 1) {
    PumpWindowMessages();
    WaitForMessage(100);
  }
}

}  // namespace

void PumpWindowMessages() {
  while (DispatchOneMessage()) {
  }
}

void WaitForFrameGrid(OpenGLRainbows& device) {
  if (platform::GetAutomation().unpaced) {  // a script runs as fast as the frames are drawn
    PumpWindowMessages();
    device.nextFrameTime = NowMilliseconds();
    return;
  }
  const bool spin = platform::GetAutomation().spinPacing;
  double now;
  for (;;) {
    if (DispatchOneMessage()) continue;
    now = NowMilliseconds();
    double left = device.nextFrameTime - now;
    if (left < 0) break;
    if (spin || left <= kSpinMargin) continue;
    if (left - kEventMargin >= 1) {
      WaitForMessage(static_cast<int>(left - kEventMargin));
    } else {
      platform::SleepPrecisely(left - kSpinMargin);  // events that come meanwhile wait this long
    }
  }
  device.nextFrameTime = NextGridPoint(device.nextFrameTime, device.frameInterval, now);
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

void RunShowScreen() {
  RuntimeState& rs = runtimeState;
  rs.previousFrameStart = rs.frameStart;
  rs.frameStart = NowMilliseconds();
  CountShowScreen();
  KeepMusicLooping();

  WaitWhilePaused();

  BeginInputFrame();
  EndProgramOnEndKeys();

  OpenGLRainbows* device = rs.graphics;
  if (device == nullptr) return;
  EndShadowPassIfRunning();  // its darkening belongs to this frame
  PresentFrame(*device);

  // Undo any alpha mode of the last frame.
  glEnable(GL_BLEND);
  glDisable(GL_BLEND);
  device->textures.globalAlpha = 1.0f;
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  // The 2D state first: a viewport the last frame left behind must not shift the background.
  Reset2DState(0, 0, 0, 0);
  DrawSurface(0);  // the background under every frame; an empty one leaves the frame black
  ResetFrame3DState();

  if (AutomationFrameLimitReached(ShowScreenCount())) EndProgram();
}

void SetFrameRate(double framesPerSecond) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr) return;
  device->frameInterval = FrameIntervalFor(TruncateToInt32(framesPerSecond));
}

}  // namespace quillon
