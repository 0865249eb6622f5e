// The real window under Xvfb: size, caption, display modes, pause on focus loss.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/window.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"
#include "support/process.h"

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

// Gives the keyboard focus to a window of the window system by its id, and again every second
// in case the change is lost, while the pump runs until cond holds; false when it never does.
template <typename Cond>
bool FocusUntil(uint64_t id, Cond cond) {
  std::string focus = "windowfocus " + std::to_string(id);
  auto next = std::chrono::steady_clock::now();
  auto requestAndPump = [&] {
    if (std::chrono::steady_clock::now() >= next) {
      testing::Xdotool(focus);
      next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    }
    testing::PumpAndRest();
  };
  return testing::WaitFor(cond, requestAndPump);
}

bool GameHasFocus() { return platform::WindowHasFocus(runtimeState.window); }

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
  EXPECT_DOUBLE_EQ(runtimeState.graphics->frameInterval, 1000.0 / 60);  // not 59 per second
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
  ASSERT_TRUE(
      FocusUntil(platform::NativeWindowId(OtherWindow()), [] { return runtimeState.paused == 1; }));
  EXPECT_EQ(Caption(), "QuillonTest <pause>");

  // A second thread gives the focus back (again and again, should a change be lost) once
  // ShowScreen is under way; ShowScreen must not return before that.
  std::string focus =
      "windowfocus " + std::to_string(platform::NativeWindowId(runtimeState.window));
  testing::KeepSending giveFocusBack(
      "the paused ShowScreen to return after the focus came back",
      [focus] { testing::Xdotool(focus); }, 300);
  ShowScreen();
  EXPECT_GE(giveFocusBack.Sent(), 1) << "ShowScreen returned while the game was paused";
  EXPECT_EQ(runtimeState.paused, 0);
  EXPECT_EQ(Caption(), "QuillonTest");
}

TEST(GameWindow, NoPauseWithoutAutoPauseOrInDebugMode) {
  Start();
  for (int mode = 0; mode < 2; ++mode) {
    SetAutoPause(mode == 0 ? 0 : 1);
    runtimeState.debugMode = mode == 0 ? 0 : 1;
    ASSERT_TRUE(
        FocusUntil(platform::NativeWindowId(OtherWindow()), [] { return !GameHasFocus(); }));
    EXPECT_EQ(runtimeState.paused, 0);
    EXPECT_EQ(Caption(), "QuillonTest");
    ASSERT_TRUE(FocusUntil(platform::NativeWindowId(runtimeState.window), GameHasFocus));
  }
  runtimeState.debugMode = 0;
  SetAutoPause(1);
}

// A program that must say goodbye first (a network game) takes the end requests over: the
// title it sets stays under the pause mark, turning the pause off releases a pause under way,
// and the desktop's request to end (SIGTERM here) is noted instead of ending the process.
TEST(GameWindow, ProgramCanTakeOverTitlePauseAndClose) {
  Start();
  SetAutoPause(1);
  SetWindowTitle(StringValue("Duel - blue"));
  ASSERT_TRUE(
      FocusUntil(platform::NativeWindowId(OtherWindow()), [] { return runtimeState.paused == 1; }));
  EXPECT_EQ(Caption(), "Duel - blue <pause>");
  SetAutoPause(0);
  EXPECT_EQ(runtimeState.paused, 0);
  EXPECT_EQ(Caption(), "Duel - blue");

  SetCloseEnds(0);
  EXPECT_EQ(CloseRequested(), 0);
  ASSERT_EQ(kill(getpid(), SIGTERM), 0);
  EXPECT_TRUE(testing::WaitFor([] { return CloseRequested() == 1; }, testing::PumpAndRest));
  EXPECT_EQ(CloseRequested(), 0);  // once per request
  SetCloseEnds(1);
  SetAutoPause(1);
  SetWindowTitle(StringValue("QuillonTest"));
  ASSERT_TRUE(FocusUntil(platform::NativeWindowId(runtimeState.window), GameHasFocus));
}

TEST(GameWindow, ShowScreenPacesAndAllocatesNothing) {
  Start();
  SetFrameRate(60);
  const double interval = 1000.0 / 60;
  for (int i = 0; i < 3; ++i) ShowScreen();
  struct Frame {
    double grid, startBefore;      // before ShowScreen
    double start, previous, next;  // what it left
    double after;                  // the clock once it returned
  } frames[30];
  allocations = 0;
  countAllocations = true;
  for (Frame& f : frames) {
    f.grid = runtimeState.graphics->nextFrameTime;
    f.startBefore = runtimeState.frameStart;
    ShowScreen();
    f.after = NowMilliseconds();
    f.start = runtimeState.frameStart;
    f.previous = runtimeState.previousFrameStart;
    f.next = runtimeState.graphics->nextFrameTime;
  }
  countAllocations = false;
  if (kCountingAllocations) {
    EXPECT_EQ(allocations.load(), 0);
  }
  for (const Frame& f : frames) {
    EXPECT_EQ(f.previous, f.startBefore);
    EXPECT_GT(f.start, f.startBefore);
    // Released only once its grid point had passed; the grid then moves on by whole intervals
    // to the first point after the release.
    EXPECT_GT(f.after, f.grid);
    double steps = (f.next - f.grid) / interval;
    EXPECT_GE(steps, 1 - 1e-9);
    EXPECT_NEAR(steps, std::round(steps), 1e-6);
    EXPECT_LT(f.next - interval, f.after);
  }
}

TEST(GameWindow, ShowScreenUndoesTheAlphaModeOfTheLastFrame) {
  Start();
  ShowScreen();
  SetAlphaMode(-0.5);  // half-transparent drawing for the rest of this frame
  ShowScreen();
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(runtimeState.graphics->textures.globalAlpha, 1.0f);
  FillRect(10, 10, 19, 19, 0xFFFFFF);
  EXPECT_EQ(testing::ReadPixel(15, 15), (testing::Rgba{255, 255, 255, 255}));
}

constexpr int kGrabbed = 7;
constexpr testing::Rgba kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255};

// Pictures made on the screen itself: a white 8 x 8 sprite and a background with a red square.
void MakePictures() {
  testing::ClearScreen();
  FillRect(0, 0, 7, 7, 0xFFFFFF);
  GrabSprite(kGrabbed, 0, 0, 8, 8);
  testing::ClearScreen();
  FillRect(100, 100, 119, 119, 0x0000FF);
  GrabBackground();
}

double GrabbedSize() {
  double w = 0, h = 0;
  GetSpriteSize(kGrabbed, w, h);
  return w * 100 + h;
}

// The context outlives the window that EnterFullscreen replaces, and with it every texture.
TEST(GameWindow, SlotsAndTheBackgroundSurviveTheSwitchToFullscreen) {
  Start();
  MakePictures();
  int dw = 0, dh = 0;
  platform::DesktopSize(dw, dh);
  SetScreen(dw, dh, 1);
  ASSERT_EQ(IsFullscreen(), 1.0);
  EXPECT_EQ(GrabbedSize(), 808);
  ShowScreen();
  EXPECT_EQ(testing::ReadPixel(110, 110), kRed);  // the background under the new frame
  DrawSprite(kGrabbed, 300, 300);
  EXPECT_EQ(testing::ReadPixel(303, 303), kWhite);
  SetScreen(640, 480, 0);
  ClearBackground();
  FreeSlot(kGrabbed);
}

// Windows of this process as the X server lists them.
int WindowsOfThisProcess() {
  std::string ids = testing::Capture("xdotool search --pid " + std::to_string(getpid()));
  return static_cast<int>(std::count(ids.begin(), ids.end(), '\n'));
}

// With multisampling every window creation makes a second window and destroys the first one
// with every texture: at start-up, and again inside the switch to fullscreen.
TEST(GameWindowDeathTest, MultisampleWindowReplacesTheFirstAndEmptiesTheStore) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        runtimeState.sampleCount = 3;
        testing::StartTestRuntime(320, 200);
        int failed = WindowsOfThisProcess() == 1 ? 0 : 1;
        MakePictures();
        failed |= GrabbedSize() == 808 ? 0 : 2;
        int dw = 0;
        int dh = 0;
        platform::DesktopSize(dw, dh);
        SetScreen(dw, dh, 1);
        failed |= IsFullscreen() == 1.0 ? 0 : 4;
        failed |= GrabbedSize() == 0 ? 0 : 8;
        failed |= runtimeState.graphics->sampleCount == 3 ? 0 : 16;
        failed |= WindowsOfThisProcess() == 1 ? 0 : 32;
        std::exit(failed == 0 ? 42 : failed);
      },
      ::testing::ExitedWithCode(42), "");
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
