#include "runtime/program/window.h"

#include <GL/gl.h>

#include <algorithm>
#include <string>

#include "runtime/core/clock.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/render_state.h"
#include "runtime/gfx2d/render_state_internal.h"
#include "runtime/gfx2d/texture_store.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/system.h"
#include "runtime/platform/window.h"
#include "runtime/program/screen.h"
#include "runtime/sound/sound_device.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

bool softwareRenderingSeen = false;
uint8_t closeEnds = 1;
uint8_t closeRequested = 0;
constexpr int kLargestWindowSide = 16384;

platform::Window* CreateCentredWindow(int width, int height, int sampleCount) {
  int desktopWidth = 0, desktopHeight = 0;
  platform::DesktopSize(desktopWidth, desktopHeight);
  platform::WindowRequest request;
  request.caption = "Quillon";
  request.x = (desktopWidth - width) / 2;
  request.y = (desktopHeight - height) / 2;
  request.width = width > 0 ? width : 1;
  request.height = height > 0 ? height : 1;
  request.sampleCount = sampleCount;
  return platform::CreateWindow(request);
}

// The window must always be the one RuntimeState and the window procedure know.
void AdoptWindow(OpenGLRainbows& device, platform::Window* window) {
  device.window = window;
  if (runtimeState.graphics == &device) runtimeState.window = window;
}

bool MakeCurrentOrRetry(OpenGLRainbows& device) {
  if (device.glContext == nullptr) device.glContext = platform::CreateGLContext(device.window);
  if (device.glContext == nullptr) return false;
  if (platform::MakeContextCurrent(device.window, device.glContext)) return true;
  platform::DeleteGLContext(device.glContext);
  device.glContext = platform::CreateGLContext(device.window);
  platform::MakeContextCurrent(device.window, device.glContext);
  return device.glContext != nullptr;
}

// Halves the sample count until the desktop offers a window with that many; the window that
// passed is handed back so it need not be made twice.
platform::Window* FindMultisampleWindow(int& samples, int width, int height) {
  for (int n = samples; n != 0; n /= 2) {
    platform::Window* window = CreateCentredWindow(width, height, n);
    if (window != nullptr) {
      samples = n;
      return window;
    }
  }
  samples = 0;
  return nullptr;
}

void CheckDriver() {
  if (softwareRenderingSeen) return;
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (platform::IsSoftwareRenderer(renderer)) {
    platform::ShowMessageBox(
        "!!OpenGL Software Emulation!!",
        "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
        "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\nper HARDWARE "
        "unterst\xFCtzt!",
        platform::MessageKind::Warning);
    ErrorLog("OpenGL Software Emulation");
    softwareRenderingSeen = true;
  } else {
    ErrorLog("OpenGL Hardware Support");
  }
}

// Several scripted programs share one display in a soak run, and only one can have the focus.
void SetPauseCaption(bool paused) {
  if (runtimeState.debugMode != 0 || runtimeState.autoPause != 1) return;
  if (platform::GetAutomation().noPause) return;
  StringValue caption = runtimeState.projectTitle;
  if (paused) caption += " <pause>";
  platform::SetWindowCaption(runtimeState.window, caption.CStr());
  runtimeState.paused = paused ? 1 : 0;
}

}  // namespace

bool CreateGameWindow(OpenGLRainbows& device, void* module, int width, int height, int colourBits,
                      int frameRate, int sampleCount) {
  device.frameInterval = FrameIntervalFor(frameRate);
  if (!platform::InitVideo()) return false;
  device.instance = module;
  device.sampleCount = sampleCount;

  platform::Window* window = CreateCentredWindow(width, height, 0);
  if (window == nullptr) return false;
  AdoptWindow(device, window);

  if (colourBits == 0) colourBits = platform::DesktopBitsPerPixel();
  int clientWidth = 0, clientHeight = 0;
  platform::GetClientSize(window, clientWidth, clientHeight);
  if (width == 0) width = clientWidth;
  if (height == 0) height = clientHeight;
  device.displayModeChanged = 0;
  device.colourBits = colourBits;
  device.width = width;
  device.height = height;

  if (!MakeCurrentOrRetry(device)) return false;

  if (device.sampleCount != 0) {
    int samples = device.sampleCount;
    platform::Window* multisampled = FindMultisampleWindow(samples, width, height);
    device.sampleCount = samples;
    if (multisampled != nullptr) {
      DestroyGameWindow(device);
      AdoptWindow(device, multisampled);
      platform::DeleteGLContext(device.glContext);
      device.glContext = nullptr;
      if (!MakeCurrentOrRetry(device)) return false;
    }
  }

  CheckDriver();

  device.displayModeChanged = 0;
  device.colourBits = colourBits;
  device.height = height;
  device.width = width;
  device.nextFrameTime = NowMilliseconds();

  FetchArbEntryPoints();

  platform::KeepScreenAwake();
  platform::ShowWindow(device.window);
  Reset2DState(0, 0, 0, 0);
  device.ready = 1;
  return true;
}

double EnterWindowed(OpenGLRainbows& device) {
  if (device.displayModeChanged == 1) platform::LeaveFullscreenMode(device.window);
  platform::SetWindowBordered(device.window, true);
  platform::SetWindowTopmost(device.window, false);
  int x = 0, y = 0;
  if (!platform::GetWindowPosition(device.window, x, y)) {
    int desktopWidth = 0, desktopHeight = 0;
    platform::DesktopSize(desktopWidth, desktopHeight);
    x = (desktopWidth - device.width) / 2;
    y = (desktopHeight - device.height) / 2;
  }
  platform::SetClientSize(device.window, device.width, device.height);
  platform::SetWindowPosition(device.window, x, y);
  platform::ShowWindow(device.window);
  platform::RaiseWindow(device.window);
  Reset2DState(0, 0, 0, 0);
  device.displayModeChanged = 0;
  return 1;
}

double EnterFullscreen(OpenGLRainbows& device) {
  int desktopBits = platform::DesktopBitsPerPixel();
  bool withDepth = device.colourBits != 0 && device.colourBits != desktopBits;
  bool available =
      (withDepth && platform::HasDisplayMode(device.width, device.height, device.colourBits)) ||
      platform::HasDisplayMode(device.width, device.height, 0);
  if (!available) {
    ErrorLog("No Fullscreen Mode available");
    EnterWindowed(device);
    return 0;
  }
  int bits = withDepth && platform::HasDisplayMode(device.width, device.height, device.colourBits)
                 ? device.colourBits
                 : 0;

  platform::Window* oldWindow = device.window;
  // The interval itself survives the new window: 1000 / (1000 / 60) truncates to 59.
  double interval = device.frameInterval;
  bool created = CreateGameWindow(device, device.instance, device.width, device.height,
                                  device.colourBits, 0, device.sampleCount);
  device.frameInterval = interval;
  if (!created) return 0;
  if (oldWindow != device.window) platform::DestroyWindow(oldWindow);
  Reset2DState(0, 0, 0, 0);
  if (!platform::EnterFullscreenMode(device.window, device.width, device.height, bits)) {
    ErrorLog("No Fullscreen Mode available");
    EnterWindowed(device);
    return 0;
  }
  platform::ShowWindow(device.window);
  platform::RaiseWindow(device.window);
  device.displayModeChanged = 1;
  return 1;
}

double SuspendDisplay(OpenGLRainbows& device) {
  if (device.displayModeChanged == 1) platform::LeaveFullscreenMode(device.window);
  platform::HideWindow(device.window);
  device.displayModeChanged = 0;
  return 1;
}

void DestroyGameWindow(OpenGLRainbows& device) {
  if (device.window == nullptr) return;
  FreeAllSlots(device);  // while the context is still current
  EnterWindowed(device);
  platform::MakeContextCurrent(device.window, nullptr);
  platform::DestroyWindow(device.window);
  AdoptWindow(device, nullptr);
  device.ready = 0;
}

void SetScreen(double width, double height, double fullscreen) {
  OpenGLRainbows* device = runtimeState.graphics;
  if (device == nullptr) return;
  // No window system makes a window of a negative or absurd size: keep the request in range.
  auto side = [](double v) { return std::clamp(TruncateToInt32(v), -1, kLargestWindowSide); };
  int w = side(width);
  int h = side(height);
  if (w != 0) device->width = std::max(w, 1);
  if (h != 0) device->height = std::max(h, 1);
  if (TruncateToInt32(fullscreen) != 0) {
    EnterFullscreen(*device);
  } else {
    EnterWindowed(*device);
  }
  if (runtimeState.input != nullptr) runtimeState.input->window = runtimeState.window;
  SetSoundWindow(runtimeState.window);
  for (int i = 0; i < 5; ++i) ShowScreen();
}

double IsFullscreen() {
  OpenGLRainbows* device = runtimeState.graphics;
  return device != nullptr && device->displayModeChanged == 1 ? 1.0 : 0.0;
}

void SetAutoPause(double flag) {
  // Turned off while paused, the pause would otherwise last until the focus came back.
  if (flag == 0 && runtimeState.paused == 1) SetPauseCaption(false);
  runtimeState.autoPause = flag != 0 ? 1 : 0;
}

void SetWindowTitle(const StringValue& title) {
  runtimeState.projectTitle = title;
  StringValue caption = title;
  if (runtimeState.paused == 1) caption += " <pause>";
  if (runtimeState.window != nullptr) platform::SetWindowCaption(runtimeState.window, caption.CStr());
}

void SetCloseEnds(double on) { closeEnds = on != 0 ? 1 : 0; }

double CloseRequested() {
  double requested = closeRequested;
  closeRequested = 0;
  return requested;
}

double GetWindowHandle() {
  return static_cast<double>(platform::NativeWindowId(runtimeState.window));
}

void WindowProcedure(const platform::Event& event) {
  // Events of a window that was replaced (fullscreen switch) no longer concern anyone.
  if (event.windowId != 0 && event.windowId != platform::WindowId(runtimeState.window)) return;
  switch (event.kind) {
    case platform::EventKind::Activated: SetPauseCaption(false); break;
    case platform::EventKind::Deactivated:
    case platform::EventKind::Minimised: SetPauseCaption(true); break;
    case platform::EventKind::Close:
    case platform::EventKind::Quit:
      if (closeEnds == 1) EndProgram();
      closeRequested = 1;
      break;
    case platform::EventKind::KeyDown:
    case platform::EventKind::KeyUp:
    case platform::EventKind::MouseWheel:
    case platform::EventKind::TextInput:
      TakeInputEvent(event);
      break;
    default: break;
  }
}

}  // namespace quillon
