#include <SDL.h>
#include <SDL_syswm.h>
#include <strings.h>

#include <cstring>
#include <string>

#include "runtime/platform/system.h"
#include "runtime/platform/window.h"

namespace quillon::platform {

namespace {

SDL_Window* Sdl(Window* window) { return reinterpret_cast<SDL_Window*>(window); }

void SetPixelFormatAttributes(int sampleCount) {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, sampleCount > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, sampleCount > 0 ? sampleCount : 0);
}

int DisplayOf(Window* window) {
  int display = window ? SDL_GetWindowDisplayIndex(Sdl(window)) : 0;
  return display < 0 ? 0 : display;
}

}  // namespace

bool InitVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  // The runtime keeps the screen awake itself; key repeat and focus rules stay the desktop's.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
  return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0;
}

const char* LastError() { return SDL_GetError(); }

Window* CreateWindow(const WindowRequest& request) {
  if (!InitVideo()) return nullptr;
  SetPixelFormatAttributes(request.sampleCount);
  std::string caption = Cp1252ToUtf8(request.caption);
  SDL_Window* window = SDL_CreateWindow(caption.c_str(), request.x, request.y, request.width,
                                        request.height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  return reinterpret_cast<Window*>(window);
}

void DestroyWindow(Window* window) {
  if (window != nullptr) SDL_DestroyWindow(Sdl(window));
}

uint32_t WindowId(Window* window) { return window ? SDL_GetWindowID(Sdl(window)) : 0; }

uint64_t NativeWindowId(Window* window) {
  if (window == nullptr) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(Sdl(window), &info)) return SDL_GetWindowID(Sdl(window));
#if defined(SDL_VIDEO_DRIVER_X11)
  if (info.subsystem == SDL_SYSWM_X11) return static_cast<uint64_t>(info.info.x11.window);
#endif
  return SDL_GetWindowID(Sdl(window));
}

void SetWindowCaption(Window* window, const char* text) {
  if (window != nullptr) SDL_SetWindowTitle(Sdl(window), Cp1252ToUtf8(text).c_str());
}

std::string WindowCaption(Window* window) {
  return window ? std::string(SDL_GetWindowTitle(Sdl(window))) : std::string();
}

void GetClientSize(Window* window, int& width, int& height) {
  width = height = 0;
  if (window != nullptr) SDL_GetWindowSize(Sdl(window), &width, &height);
}

bool GetWindowPosition(Window* window, int& x, int& y) {
  if (window == nullptr) return false;
  SDL_GetWindowPosition(Sdl(window), &x, &y);
  return true;
}

void SetWindowPosition(Window* window, int x, int y) {
  if (window != nullptr) SDL_SetWindowPosition(Sdl(window), x, y);
}

void SetClientSize(Window* window, int width, int height) {
  if (window != nullptr) SDL_SetWindowSize(Sdl(window), width, height);
}

void SetWindowBordered(Window* window, bool bordered) {
  if (window != nullptr) SDL_SetWindowBordered(Sdl(window), bordered ? SDL_TRUE : SDL_FALSE);
}

void SetWindowTopmost(Window* window, bool topmost) {
  if (window != nullptr) SDL_SetWindowAlwaysOnTop(Sdl(window), topmost ? SDL_TRUE : SDL_FALSE);
}

void ShowWindow(Window* window) {
  if (window != nullptr) SDL_ShowWindow(Sdl(window));
}

void HideWindow(Window* window) {
  if (window != nullptr) SDL_HideWindow(Sdl(window));
}

void RaiseWindow(Window* window) {
  if (window != nullptr) SDL_RaiseWindow(Sdl(window));
}

bool WindowHasFocus(Window* window) {
  return window != nullptr && (SDL_GetWindowFlags(Sdl(window)) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void DesktopSize(int& width, int& height) {
  SDL_DisplayMode mode;
  if (InitVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    width = mode.w;
    height = mode.h;
  } else {
    width = height = 0;
  }
}

int DesktopBitsPerPixel() {
  SDL_DisplayMode mode;
  if (!InitVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 32;
  int bits = SDL_BITSPERPIXEL(mode.format);
  return bits == 24 ? 32 : bits;  // a 24-bit desktop still stores 32 bits a pixel
}

namespace {

bool FindDisplayMode(int display, int width, int height, int bits, SDL_DisplayMode& found) {
  int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
    if (mode.w != width || mode.h != height) continue;
    int modeBits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    if (bits != 0 && modeBits != bits && !(bits == 32 && modeBits == 24)) continue;
    found = mode;
    return true;
  }
  return false;
}

}  // namespace

bool HasDisplayMode(int width, int height, int bits) {
  SDL_DisplayMode mode;
  return InitVideo() && FindDisplayMode(0, width, height, bits, mode);
}

bool EnterFullscreenMode(Window* window, int width, int height, int bits) {
  SDL_DisplayMode mode;
  if (window == nullptr || !FindDisplayMode(DisplayOf(window), width, height, bits, mode)) {
    return false;
  }
  if (SDL_SetWindowDisplayMode(Sdl(window), &mode) != 0) return false;
  return SDL_SetWindowFullscreen(Sdl(window), SDL_WINDOW_FULLSCREEN) == 0;
}

void LeaveFullscreenMode(Window* window) {
  if (window != nullptr) SDL_SetWindowFullscreen(Sdl(window), 0);
}

GLContext* CreateGLContext(Window* window) {
  if (window == nullptr) return nullptr;
  return reinterpret_cast<GLContext*>(SDL_GL_CreateContext(Sdl(window)));
}

bool MakeContextCurrent(Window* window, GLContext* context) {
  return SDL_GL_MakeCurrent(Sdl(window), reinterpret_cast<SDL_GLContext>(context)) == 0;
}

void DeleteGLContext(GLContext* context) {
  if (context != nullptr) SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(context));
}

void SwapWindowBuffers(Window* window) {
  if (window != nullptr) SDL_GL_SwapWindow(Sdl(window));
}

void* GetGLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool IsSoftwareRenderer(const char* renderer) {
  if (renderer == nullptr) return false;
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
    for (const char* p = renderer; *p; ++p) {
      if (strncasecmp(p, name, std::strlen(name)) == 0) return true;
    }
  }
  return false;
}

void KeepScreenAwake() { SDL_DisableScreenSaver(); }

}  // namespace quillon::platform
