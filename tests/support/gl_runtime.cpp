#include "support/gl_runtime.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/window.h"
#include "runtime/quillon.h"

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

void FocusGameWindow() {
  uint64_t id = platform::NativeWindowId(runtimeState.window);
  ASSERT_TRUE(Xdotool("windowfocus --sync " + std::to_string(id)));
  for (int i = 0; i < 200 && !platform::WindowHasFocus(runtimeState.window); ++i) {
    PumpMessages();
    platform::SleepMilliseconds(5);
  }
  PumpMessages();
}

std::string MakeTempDir(const char* tag) {
  // Taken once: tests point TMPDIR at their own directories, some of them missing on purpose.
  static const std::string base = std::filesystem::temp_directory_path().string();
  std::string pattern = base + "/quillon-" + tag + "-XXXXXX";
  char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

}  // namespace quillon::testing
