// Presents 600 empty frames at 60 per second and reports, from the frame log, how far each
// release lies from its grid point and how long the frame intervals were.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/frame_pacing_measure
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/platform/automation.h"
#include "runtime/quillon.h"

namespace {

struct Stats {
  double min, median, p99, max;
};

Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&](double q) { return v[static_cast<size_t>(q * (v.size() - 1))]; };
  return {v.front(), at(0.5), at(0.99), v.back()};
}

void Print(const char* what, const Stats& s) {
  std::printf("%-34s min %8.4f  median %8.4f  p99 %8.4f  max %8.4f ms\n", what, s.min, s.median,
              s.p99, s.max);
}

}  // namespace

int main() {
  using namespace quillon;
  std::string log = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                    "/quillon-frame-pacing.log";
  setenv("QUILLON_FRAME_LOG", log.c_str(), 1);
  setenv("QUILLON_NO_DIALOGS", "1", 1);
  platform::ReloadAutomation();
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  if (StartRuntime("Frame pacing") == 0) EndFailedStartup();

  const int kFrames = 600;
  for (int i = 0; i < kFrames; ++i) ShowScreen();

  std::ifstream in(log);
  std::string line;
  std::vector<double> early, late, intervals;
  double previousRelease = -1;
  int frames = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    long frame;
    double frameStart, swapReturned, gridPoint, released;
    fields >> frame >> frameStart >> swapReturned >> gridPoint >> released;
    if (frame <= 3) continue;  // start-up frames are not on the game's grid yet
    ++frames;
    double distance = released - gridPoint;
    (distance < 0 ? early : late).push_back(distance);
    if (previousRelease >= 0) intervals.push_back(released - previousRelease);
    previousRelease = released;
  }
  std::printf("frames measured: %d, released before their grid point: %zu\n", frames, early.size());
  if (!late.empty()) Print("release - grid point", Summarise(late));
  if (!intervals.empty()) Print("release interval (16.667 expected)", Summarise(intervals));
  EndProgram();
}
