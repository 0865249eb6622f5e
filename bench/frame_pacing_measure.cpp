// Presents 600 empty frames at 60 per second once with each frame wait (blocking on events until
// shortly before the grid point, then spinning; and spinning throughout, QUILLON_PACING=spin) and
// reports side by side how far each release lies from its grid point and what the wait cost in
// CPU-seconds per second of wall time.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/frame_pacing_measure
// Each wait runs in its own process, since the runtime owns the process it starts in.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/platform/automation.h"
#include "runtime/quillon.h"

namespace {

constexpr int kFrames = 600;

struct Stats {
  double median = 0, p99 = 0, max = 0;
};

Stats Summarise(std::vector<double> v) {
  Stats s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  auto at = [&](double q) { return v[static_cast<size_t>(q * (v.size() - 1))]; };
  s.median = at(0.5);
  s.p99 = at(0.99);
  s.max = v.back();
  return s;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string LogPath(const char* wait) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp ? tmp : "/tmp") + "/quillon-frame-pacing-" + wait + ".log";
}

// The child: runs the frames and writes "cpuPerSecond" to standard output.
[[noreturn]] void RunFrames(const char* wait) {
  using namespace quillon;
  setenv("QUILLON_FRAME_LOG", LogPath(wait).c_str(), 1);
  setenv("QUILLON_NO_DIALOGS", "1", 1);
  if (std::strcmp(wait, "spin") == 0) {
    setenv("QUILLON_PACING", "spin", 1);
  } else {
    unsetenv("QUILLON_PACING");
  }
  platform::ReloadAutomation();
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  if (StartRuntime("Frame pacing") == 0) EndFailedStartup();
  for (int i = 0; i < 10; ++i) ShowScreen();  // settle on the grid
  double cpuBefore = CpuSeconds();
  double wallBefore = NowMilliseconds();
  for (int i = 0; i < kFrames; ++i) ShowScreen();
  double cpu = CpuSeconds() - cpuBefore;
  double wall = (NowMilliseconds() - wallBefore) / 1000.0;
  std::printf("%.4f\n", cpu / wall);
  std::fflush(stdout);
  EndProgram();
}

struct Result {
  Stats distance;
  Stats interval;
  double cpuPerSecond = -1;
  int early = 0;
  int frames = 0;
};

bool Measure(const char* self, const char* wait, Result& result) {
  std::string command = std::string("'") + self + "' --frames " + wait;
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return false;
  char line[128] = {0};
  bool gotCpu = false;
  while (std::fgets(line, sizeof line, child) != nullptr) {
    if (std::sscanf(line, "%lf", &result.cpuPerSecond) == 1) gotCpu = true;
  }
  if (pclose(child) != 0 || !gotCpu) return false;

  std::ifstream in(LogPath(wait));
  std::string text;
  std::vector<double> distances, intervals;
  double previousRelease = -1;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    long frame;
    double frameStart, swapReturned, gridPoint, released;
    fields >> frame >> frameStart >> swapReturned >> gridPoint >> released;
    if (frame <= 12) continue;  // start-up frames and the settling ones
    ++result.frames;
    double distance = released - gridPoint;
    if (distance < 0) ++result.early;
    distances.push_back(std::abs(distance));
    if (previousRelease >= 0) intervals.push_back(released - previousRelease);
    previousRelease = released;
  }
  result.distance = Summarise(distances);
  result.interval = Summarise(intervals);
  return result.frames > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--frames") == 0) RunFrames(argv[2]);

  const char* waits[] = {"block", "spin"};
  Result results[2];
  for (int i = 0; i < 2; ++i) {
    if (!Measure(argv[0], waits[i], results[i])) {
      std::fprintf(stderr, "frame_pacing_measure: the %s run failed\n", waits[i]);
      return 1;
    }
  }
  std::printf("%d frames at 60 Hz per wait (ms; |release - grid point|)\n", kFrames);
  std::printf("%-28s %14s %14s\n", "", "block+spin", "spin");
  auto row = [&](const char* what, double a, double b) {
    std::printf("%-28s %14.4f %14.4f\n", what, a, b);
  };
  row("distance median", results[0].distance.median, results[1].distance.median);
  row("distance p99", results[0].distance.p99, results[1].distance.p99);
  row("distance max", results[0].distance.max, results[1].distance.max);
  row("interval median", results[0].interval.median, results[1].interval.median);
  row("interval p99", results[0].interval.p99, results[1].interval.p99);
  row("released early (frames)", results[0].early, results[1].early);
  row("CPU-seconds per second", results[0].cpuPerSecond, results[1].cpuPerSecond);
  std::printf("CPU ratio block+spin / spin: %.2f\n",
              results[0].cpuPerSecond / results[1].cpuPerSecond);
  return 0;
}
