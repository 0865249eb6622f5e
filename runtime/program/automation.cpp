#include "runtime/program/automation.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/png_writer.h"
#include "runtime/gl/frame_read.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/platform/automation.h"

namespace quillon {

namespace {

struct CapturedFrame {
  std::vector<uint8_t> pixels;  // RGBA, top row first
  int width = 0;
  int height = 0;
};

CapturedFrame lastFrame;
long presentedFrames = 0;
FILE* frameLog = nullptr;

void ReadBackBuffer(OpenGLRainbows& device, CapturedFrame& frame) {
  frame.width = device.width;
  frame.height = device.height;
  size_t rowBytes = static_cast<size_t>(frame.width) * 4;
  frame.pixels.resize(rowBytes * frame.height);  // allocates only when the size changes
  ReadFramePixels(0, 0, frame.width, frame.height, GL_RGBA, frame.pixels.data());
  // GL rows run bottom-up; files run top-down.
  for (int y = 0; y < frame.height / 2; ++y) {
    uint8_t* a = frame.pixels.data() + rowBytes * y;
    uint8_t* b = frame.pixels.data() + rowBytes * (frame.height - 1 - y);
    for (size_t i = 0; i < rowBytes; ++i) std::swap(a[i], b[i]);
  }
  // The window has no alpha to show; save what the player saw.
  for (size_t i = 3; i < frame.pixels.size(); i += 4) frame.pixels[i] = 255;
}

void SaveFrame(const CapturedFrame& frame, const std::string& path) {
  if (frame.pixels.empty()) return;
  if (!WritePngRgba(path.c_str(), frame.width, frame.height, frame.pixels.data())) {
    std::fprintf(stderr, "screenshot: could not write %s\n", path.c_str());
  }
}

std::string NumberedPath(const std::string& path, long frame) {
  std::string stem = path;
  std::string extension = ".png";
  size_t dot = path.rfind('.');
  if (dot != std::string::npos && path.find('/', dot) == std::string::npos) {
    stem = path.substr(0, dot);
    extension = path.substr(dot);
  }
  char number[32];
  std::snprintf(number, sizeof number, "-%05ld", frame);
  return stem + number + extension;
}

}  // namespace

void CaptureFrameForAutomation(OpenGLRainbows& device) {
  const platform::Automation& a = platform::GetAutomation();
  ++presentedFrames;
  if (a.screenshot.empty() || device.width <= 0 || device.height <= 0) return;
  ReadBackBuffer(device, lastFrame);
  if (a.screenshotEvery > 0 && presentedFrames % a.screenshotEvery == 0) {
    SaveFrame(lastFrame, NumberedPath(a.screenshot, presentedFrames));
  }
}

void LogPresentedFrame(double swapReturned, double gridPoint, double released) {
  const platform::Automation& a = platform::GetAutomation();
  if (a.frameLog.empty()) return;
  if (frameLog == nullptr) {
    frameLog = std::fopen(a.frameLog.c_str(), "w");
    if (frameLog == nullptr) return;
    std::fputs("# frame frameStart swapReturned gridPoint released (ms)\n", frameLog);
  }
  std::fprintf(frameLog, "%ld %.4f %.4f %.4f %.4f\n", presentedFrames, runtimeState.frameStart,
               swapReturned, gridPoint, released);
  std::fflush(frameLog);  // readable while the program runs, and kept if it dies
}

bool AutomationFrameLimitReached(long showScreenCount) {
  long limit = platform::GetAutomation().frames;
  return limit > 0 && showScreenCount >= limit;
}

void FinishAutomation() {
  const platform::Automation& a = platform::GetAutomation();
  if (!a.screenshot.empty()) SaveFrame(lastFrame, a.screenshot);
  if (frameLog != nullptr) {
    std::fclose(frameLog);
    frameLog = nullptr;
  }
}

}  // namespace quillon
