// The real window under Xvfb: size, caption, display modes, pause on focus loss.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/window.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"

// Counts allocations made through operator new while counting is on. The sanitizer build keeps
// its own allocator (the GL driver frees through it), so it counts nothing there.
static std::atomic<bool> countAllocations{false};
static std::atomic<long> allocations{0};
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCountingAllocations = false;
#else
constexpr bool kCountingAllocations = true;
// The replacements below pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (countAllocations) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace quillon {
namespace {

std::string logDir;

std::string ErrorLogText() {
  std::ifstream in(logDir + "/quillon-" + std::to_string(geteuid()) + "/ErrorLog.txt",
                   std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Start() {
  if (logDir.empty()) {
    logDir = testing::MakeTempDir("window");
    setenv("TMPDIR", logDir.c_str(), 1);
  }
  testing::StartTestRuntime(640, 480);
  ASSERT_NE(runtimeState.graphics, nullptr);
}

std::string Caption() { return platform::WindowCaption(runtimeState.window); }

void ClientSize(int& w, int& h) { platform::GetClientSize(runtimeState.window, w, h); }

// Runs the pump until cond holds or two seconds pass.
template <typename Cond>
bool PumpUntil(Cond cond) {
  for (int i = 0; i < 200 && !cond(); ++i) {
    PumpMessages();
    platform::SleepMilliseconds(10);
  }
  return cond();
}

// Gives the keyboard focus to a window of the window system by its id.
void FocusWindow(uint64_t id, double delaySeconds = 0) {
  std::string command = "xdotool windowfocus --sync " + std::to_string(id);
  if (delaySeconds > 0) {
    command = "(sleep " + std::to_string(delaySeconds) + "; " + command + ") >/dev/null 2>&1 &";
  }
  ASSERT_EQ(std::system(command.c_str()), 0);
}

// A second top-level window to take the focus away from the game.
platform::Window* OtherWindow() {
  static platform::Window* other = nullptr;
  if (other == nullptr) {
    platform::WindowRequest r;
    r.caption = "other";
    r.width = r.height = 40;
    other = platform::CreateWindow(r);
    platform::ShowWindow(other);
    PumpMessages();
  }
  return other;
}

TEST(GameWindow, StartsWithTitleClientSizeAndDriverLine) {
  Start();
  EXPECT_EQ(Caption(), "QuillonTest");
  EXPECT_STREQ(runtimeState.projectTitle.CStr(), "QuillonTest");
  int w = 0, h = 0;
  ClientSize(w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(runtimeState.graphics->ready, 1);
  EXPECT_EQ(runtimeState.graphics->width, 640);
  EXPECT_EQ(runtimeState.autoPause, 1);
  EXPECT_EQ(runtimeState.paused, 0);
  EXPECT_EQ(runtimeState.currentFont, 0);
  EXPECT_DOUBLE_EQ(runtimeState.graphics->frameInterval, 1000.0 / 60);
  // Under Xvfb the GL is Mesa's software rasteriser.
  std::string log = ErrorLogText();
  EXPECT_EQ(log.substr(0, log.find("\r\n")), "OpenGL Software Emulation") << log;
  EXPECT_GT(LastFrameTime(), 0);  // start-up resets the frame times: a fraction of a ms
  EXPECT_NE(GetWindowHandle(), 0);
}

TEST(GameWindow, MultitextureEntryPointsAreFetched) {
  Start();
  EXPECT_NE(arb.glActiveTextureARB, nullptr);
  EXPECT_NE(arb.glGenBuffersARB, nullptr);
  EXPECT_NE(arb.glCreateShaderObjectARB, nullptr);
}

TEST(GameWindow, SetScreenResizesAndKeepsTheCorner) {
  Start();
  int x0 = 0, y0 = 0;
  platform::GetWindowPosition(runtimeState.window, x0, y0);
  SetScreen(800, 640, 0);
  int w = 0, h = 0;
  ClientSize(w, h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 640);
  EXPECT_EQ(runtimeState.graphics->viewportWidth, 800);
  int x1 = 0, y1 = 0;
  platform::GetWindowPosition(runtimeState.window, x1, y1);
  EXPECT_EQ(x1, x0);
  EXPECT_EQ(y1, y0);
  SetScreen(0, 480, 0);  // a zero width keeps the current one
  ClientSize(w, h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(runtimeState.screenWidth, 640);  // the start-up settings stay as written
  SetScreen(-5, 1e300, 0.0 / 0.0);  // nonsense sizes stay in range and keep the window
  ClientSize(w, h);
  EXPECT_EQ(w, 1);
  EXPECT_GE(h, 1);
  EXPECT_LE(h, 16384);
  EXPECT_EQ(IsFullscreen(), 0.0);
  SetScreen(640, 480, 0);
}

TEST(GameWindow, FullscreenNeedsAnExactDisplayMode) {
  Start();
  SetScreen(333, 222, 1);  // no display mode of that size
  EXPECT_EQ(IsFullscreen(), 0.0);
  EXPECT_NE(ErrorLogText().find("No Fullscreen Mode available\r\n"), std::string::npos);
  int w = 0, h = 0;
  ClientSize(w, h);
  EXPECT_EQ(w, 333);
  EXPECT_EQ(h, 222);

  int dw = 0, dh = 0;
  platform::DesktopSize(dw, dh);
  SetScreen(dw, dh, 1);  // the desktop's own mode always exists
  EXPECT_EQ(IsFullscreen(), 1.0);
  EXPECT_EQ(runtimeState.window, runtimeState.graphics->window);
  ClientSize(w, h);
  EXPECT_EQ(w, dw);
  EXPECT_EQ(h, dh);
  SetScreen(640, 480, 0);
  EXPECT_EQ(IsFullscreen(), 0.0);
  ClientSize(w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(Caption(), "QuillonTest");
}

TEST(GameWindow, LosingFocusPausesUntilItReturns) {
  Start();
  ShowScreen();
  SetAutoPause(1);
  FocusWindow(platform::NativeWindowId(OtherWindow()));
  ASSERT_TRUE(PumpUntil([] { return runtimeState.paused == 1; }));
  EXPECT_EQ(Caption(), "QuillonTest <pause>");

  FocusWindow(platform::NativeWindowId(runtimeState.window), 0.4);
  double before = NowMilliseconds();
  ShowScreen();  // held while paused
  EXPECT_GE(NowMilliseconds() - before, 300);
  EXPECT_EQ(runtimeState.paused, 0);
  EXPECT_EQ(Caption(), "QuillonTest");
}

TEST(GameWindow, NoPauseWithoutAutoPauseOrInDebugMode) {
  Start();
  for (int mode = 0; mode < 2; ++mode) {
    SetAutoPause(mode == 0 ? 0 : 1);
    runtimeState.debugMode = mode == 0 ? 0 : 1;
    FocusWindow(platform::NativeWindowId(OtherWindow()));
    PumpUntil([] { return !platform::WindowHasFocus(runtimeState.window); });
    EXPECT_FALSE(platform::WindowHasFocus(runtimeState.window));
    EXPECT_EQ(runtimeState.paused, 0);
    EXPECT_EQ(Caption(), "QuillonTest");
    FocusWindow(platform::NativeWindowId(runtimeState.window));
    PumpUntil([] { return platform::WindowHasFocus(runtimeState.window); });
  }
  runtimeState.debugMode = 0;
  SetAutoPause(1);
}

TEST(GameWindow, ShowScreenPacesAndAllocatesNothing) {
  Start();
  SetFrameRate(60);
  for (int i = 0; i < 3; ++i) ShowScreen();
  allocations = 0;
  countAllocations = true;
  double gridBefore = runtimeState.graphics->nextFrameTime;
  for (int i = 0; i < 30; ++i) ShowScreen();
  countAllocations = false;
  if (kCountingAllocations) {
    EXPECT_EQ(allocations.load(), 0);
  }
  // Thirty frames move the grid by thirty intervals at least (more if a frame was missed).
  EXPECT_GE(runtimeState.graphics->nextFrameTime - gridBefore, 30 * (1000.0 / 60) - 1e-6);
  EXPECT_GE(runtimeState.frameStart, runtimeState.previousFrameStart);
}

// The format search halves the count: 6 is not offered under Xvfb, 3 is.
TEST(GameWindowDeathTest, MultisampleSearchHalvesTheCount) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        runtimeState.sampleCount = 6;
        testing::StartTestRuntime(320, 200);
        GLint samples = 0;
        glGetIntegerv(GL_SAMPLES, &samples);
        std::exit(samples >= 3 ? runtimeState.graphics->sampleCount : 100 + samples);
      },
      ::testing::ExitedWithCode(3), "");
}

TEST(GameWindowDeathTest, NoMultisampleFormatLeavesTheNormalOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        runtimeState.sampleCount = 0;
        testing::StartTestRuntime(320, 200);
        GLint samples = -1;
        glGetIntegerv(GL_SAMPLES, &samples);
        std::exit(runtimeState.graphics->sampleCount == 0 && samples == 0 ? 42 : 1);
      },
      ::testing::ExitedWithCode(42), "");
}

TEST(GameWindow, ClearedFrameAfterShowScreen) {
  Start();
  testing::Rgba black{0, 0, 0, 255};
  ShowScreen();
  EXPECT_EQ(testing::ReadPixel(10, 10), black);
  EXPECT_EQ(testing::ReadPixel(639, 479), black);
}

}  // namespace
}  // namespace quillon
