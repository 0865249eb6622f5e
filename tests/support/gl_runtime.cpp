#include "support/gl_runtime.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/input.h"
#include "runtime/platform/window.h"
#include "runtime/quillon.h"
#include "support/process.h"

namespace quillon::testing {

void StartTestRuntime(int width, int height) {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("QUILLON_NO_DIALOGS", "1", 1);
  platform::ReloadAutomation();
  runtimeState.screenWidth = width;
  runtimeState.screenHeight = height;
  runtimeState.frameRate = 60;
  runtimeState.debugMode = 0;
  ASSERT_EQ(StartRuntime("QuillonTest"), 1.0) << "no window: is DISPLAY set (Xvfb)?";
}

Rgba ReadPixel(int x, int y) {
  Flush2DBatch();  // sprites drawn so far must be in the buffer
  uint8_t p[4] = {0, 0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(x, runtimeState.graphics->height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2], p[3]};
}

void ClearScreen() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool Xdotool(const std::string& arguments) {
  std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

bool KeyEvents(const char* action, const std::string& keyNames) {
  std::string command = "xte";
  size_t start = 0;
  while (start < keyNames.size()) {
    size_t end = keyNames.find(' ', start);
    if (end == std::string::npos) end = keyNames.size();
    if (end > start) command += std::string(" 'key") + action + " " + keyNames.substr(start, end - start) + "'";
    start = end + 1;
  }
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

void LimitChildLifetime() { alarm(static_cast<unsigned>(kEventWaitSeconds)); }

void PumpAndRest() {
  PumpMessages();
  platform::SleepMilliseconds(5);
}

::testing::AssertionResult FocusGameWindow() {
  std::string id = std::to_string(platform::NativeWindowId(runtimeState.window));
  // The runtime's own view may be stale (a focus change not yet read), so the X server is asked
  // as well. The request is repeated now and then: a change can be lost while windows come and go.
  auto focused = [&] {
    return platform::WindowHasFocus(runtimeState.window) &&
           Capture("xdotool getwindowfocus 2>/dev/null") == id + "\n";
  };
  auto nextRequest = std::chrono::steady_clock::now();
  auto requestAndPump = [&] {
    if (std::chrono::steady_clock::now() >= nextRequest) {
      Xdotool("windowfocus " + id);
      nextRequest = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    }
    PumpAndRest();
  };
  bool done = WaitFor(focused, requestAndPump);
  PumpMessages();
  if (done) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the game window never got the keyboard focus";
}

::testing::AssertionResult MovePointerTo(int x, int y) {
  uint64_t id = platform::NativeWindowId(runtimeState.window);
  if (!Xdotool("mousemove --window " + std::to_string(id) + " " + std::to_string(x) + " " +
               std::to_string(y))) {
    return ::testing::AssertionFailure() << "xdotool could not move the pointer";
  }
  platform::MouseDevice seen;
  auto read = [&] {
    platform::PumpDeviceState();
    seen = platform::ReadMouseDevice();
    if (seen.x != x || seen.y != y) platform::SleepMilliseconds(5);
  };
  bool arrived = WaitFor([&] { return seen.x == x && seen.y == y; }, read);
  if (arrived) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the pointer was sent to " << x << "," << y
                                       << " but the runtime reads " << seen.x << "," << seen.y;
}

KeepSending::KeepSending(const char* what, std::function<void()> send, int firstDelayMs,
                         int periodMs)
    : thread([this, what, send = std::move(send), firstDelayMs, periodMs] {
        auto start = std::chrono::steady_clock::now();
        auto limit = start + std::chrono::duration<double>(kEventWaitSeconds);
        auto next = start + std::chrono::milliseconds(firstDelayMs);
        while (!done) {
          auto now = std::chrono::steady_clock::now();
          if (now > limit) {
            std::fprintf(stderr, "gave up after %.0f s: %s\n", kEventWaitSeconds, what);
            std::fflush(stderr);
            std::_Exit(1);
          }
          if (now >= next) {
            ++sent;
            send();
            next = now + std::chrono::milliseconds(periodMs);
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      }) {}

KeepSending::~KeepSending() {
  done = true;
  thread.join();
}

std::string MakeTempDir(const char* tag) {
  // Taken once: tests point TMPDIR at their own directories, some of them missing on purpose.
  static const std::string base = std::filesystem::temp_directory_path().string();
  std::string pattern = base + "/quillon-" + tag + "-XXXXXX";
  char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

}  // namespace quillon::testing
