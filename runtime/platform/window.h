// The game window, its GL context and the display modes.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::platform {

struct Window;     // opaque: one top-level window able to carry a GL context
struct GLContext;  // opaque: one GL rendering context

// Starts the video layer once per process; false when there is no display.
bool InitVideo();
const char* LastError();

struct WindowRequest {
  const char* caption = "";
  int x = 0, y = 0;          // top-left of the client area on the desktop
  int width = 0, height = 0; // client size
  int colourBits = 0;        // 0 = the desktop's
  int sampleCount = 0;       // multisample count for the pixel format, 0 = none
};

// Creates a hidden window whose pixel format is RGBA 8-8-8-8, depth 16, stencil 8, double
// buffered (with sampleCount samples when asked); null when no such format exists.
Window* CreateWindow(const WindowRequest& request);
void DestroyWindow(Window* window);
uint32_t WindowId(Window* window);
// The window system's own id of the window (what desktop tools call it).
uint64_t NativeWindowId(Window* window);

void SetWindowCaption(Window* window, const char* text);  // 8-bit code-page text
std::string WindowCaption(Window* window);                 // as the desktop shows it (UTF-8)
void GetClientSize(Window* window, int& width, int& height);
bool GetWindowPosition(Window* window, int& x, int& y);
void SetWindowPosition(Window* window, int x, int y);
void SetClientSize(Window* window, int width, int height);
void SetWindowBordered(Window* window, bool bordered);
void SetWindowTopmost(Window* window, bool topmost);
void ShowWindow(Window* window);
void HideWindow(Window* window);
void RaiseWindow(Window* window);
bool WindowHasFocus(Window* window);

void DesktopSize(int& width, int& height);
int DesktopBitsPerPixel();
// The desktop offers a mode of exactly this size (and depth, when bits is non-zero).
bool HasDisplayMode(int width, int height, int bits);
// Switches the window to an exact display mode of the desktop; false when the desktop offers
// none of that size (and depth, when bits is non-zero).
bool EnterFullscreenMode(Window* window, int width, int height, int bits);
// Back to the desktop mode and a normal window.
void LeaveFullscreenMode(Window* window);

GLContext* CreateGLContext(Window* window);
bool MakeContextCurrent(Window* window, GLContext* context);
void DeleteGLContext(GLContext* context);
void SwapWindowBuffers(Window* window);
void* GetGLProcAddress(const char* name);
// The GL_RENDERER string names a software rasteriser.
bool IsSoftwareRenderer(const char* renderer);

void KeepScreenAwake();

}  // namespace quillon::platform
