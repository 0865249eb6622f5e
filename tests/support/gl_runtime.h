// Starts the real runtime (window, GL context) once per test process and reads pixels back.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace quillon::testing {

// Starts the runtime with a client area of width x height the first time it is called; later
// calls return at once. Tests of one process share the window.
void StartTestRuntime(int width = 640, int height = 480);

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

// Back-buffer pixel at (x, y) in screen coordinates (origin top-left).
Rgba ReadPixel(int x, int y);
// Clears the back buffer to opaque black.
void ClearScreen();

// Runs xdotool with the given arguments against the test display; true on success.
bool Xdotool(const std::string& arguments);
// Presses (down) or releases (up) keys by their X names, one after the other, as a keyboard
// would: no modifier is added on the way.
bool KeyEvents(const char* action, const std::string& keyNames);
// Gives the keyboard focus to the game window and waits until the runtime has seen it; false
// (and why) when it never arrives.
::testing::AssertionResult FocusGameWindow();
// Moves the pointer to (x, y) of the game window's client area and waits until the runtime's
// device reads it there.
::testing::AssertionResult MovePointerTo(int x, int y);

// How long a test waits for an event of the window system before it gives up: generous, since a
// loaded machine can take seconds, but bounded, since a lost event must not hang the test.
constexpr double kEventWaitSeconds = 30;

// Runs step() until done() holds; false when kEventWaitSeconds pass first.
template <typename Done, typename Step>
bool WaitFor(Done done, Step step, double seconds = kEventWaitSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    step();
  }
  return true;
}
// For the child of a death test: ends it with SIGALRM once kEventWaitSeconds pass, so a wait
// that never returns fails the test instead of hanging it.
void LimitChildLifetime();
// One round of waiting for the window system: the messages dispatched, then a short rest.
void PumpAndRest();

// For a command that blocks until the window system tells it something: runs send() on a
// second thread after firstDelayMs and again every periodMs until the object is destroyed, so a
// lost event is sent again. When kEventWaitSeconds pass first the process ends with status 1
// and a message naming what never happened, instead of hanging the test.
class KeepSending {
 public:
  KeepSending(const char* what, std::function<void()> send, int firstDelayMs = 0,
              int periodMs = 1000);
  ~KeepSending();
  // How many times send() has been started so far.
  int Sent() const { return sent; }

 private:
  std::atomic<bool> done{false};
  std::atomic<int> sent{0};
  std::thread thread;
};

// A fresh empty directory under the system temporary directory.
std::string MakeTempDir(const char* tag);

}  // namespace quillon::testing
