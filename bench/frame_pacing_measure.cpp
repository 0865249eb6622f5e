// Presents 600 empty frames at 60 per second once with each frame wait (blocking on events, then
// a deadline sleep, then a short spin; spinning throughout, QUILLON_PACING=spin) and with a peer:
// a bare SDL window whose loop sleeps with SDL_Delay until the grid point. Reports side by side
// how far each release lies from its grid point and what the wait cost in CPU-seconds per second
// of wall time. `--load N` keeps N busy processes running meanwhile.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/frame_pacing_measure [--load 2]
// Each wait runs in its own process, since the runtime owns the process it starts in.
#include <GL/gl.h>
#include <SDL.h>
#include <signal.h>
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

// The peer: the plainest SDL loop on the same grid, writing the same log lines.
[[noreturn]] void RunPeerFrames() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) std::exit(1);
  SDL_Window* window = SDL_CreateWindow("Frame pacing peer", 0, 0, 640, 480, SDL_WINDOW_OPENGL);
  if (window == nullptr || SDL_GL_CreateContext(window) == nullptr) std::exit(1);
  SDL_GL_SetSwapInterval(0);
  const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
  auto now = [&] { return SDL_GetPerformanceCounter() * 1000.0 / frequency; };
  std::FILE* log = std::fopen(LogPath("sdl-delay").c_str(), "w");
  if (log == nullptr) std::exit(1);
  double next = now(), cpuBefore = 0, wallBefore = 0;
  for (int frame = 1; frame <= kFrames + 10; ++frame) {
    if (frame == 11) cpuBefore = CpuSeconds(), wallBefore = now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    for (SDL_Event e; SDL_PollEvent(&e) != 0;) {
    }
    double grid = next, left = grid - now();
    if (left > 0) SDL_Delay(static_cast<Uint32>(left + 0.5));
    double released = now();
    std::fprintf(log, "%d 0 0 %.4f %.4f\n", frame + 2, grid, released);
    next += 1000.0 / 60;
    while (next < released) next += 1000.0 / 60;
  }
  double cpu = CpuSeconds() - cpuBefore, wall = (now() - wallBefore) / 1000.0;
  std::fclose(log);
  std::printf("%.4f\n", cpu / wall);
  std::exit(0);
}

// Busy processes for the loaded run; killed by the caller.
std::vector<pid_t> StartLoad(int count) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    pid_t child = fork();
    if (child == 0) {
      volatile uint64_t n = 0;
      while (true) n = n + 1;
    }
    if (child > 0) children.push_back(child);
  }
  return children;
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
  if (argc == 3 && std::strcmp(argv[1], "--frames") == 0) {
    if (std::strcmp(argv[2], "sdl-delay") == 0) RunPeerFrames();
    RunFrames(argv[2]);
  }
  int load = argc == 3 && std::strcmp(argv[1], "--load") == 0 ? std::atoi(argv[2]) : 0;
  std::vector<pid_t> busy = StartLoad(load);

  const char* waits[] = {"block", "spin", "sdl-delay"};
  Result results[3];
  bool ok = true;
  for (int i = 0; i < 3 && ok; ++i) {
    ok = Measure(argv[0], waits[i], results[i]);
    if (!ok) std::fprintf(stderr, "frame_pacing_measure: the %s run failed\n", waits[i]);
  }
  for (pid_t child : busy) kill(child, SIGKILL), waitpid(child, nullptr, 0);
  if (!ok) return 1;
  std::printf("%d frames at 60 Hz per wait, %d busy processes beside (ms; |release - grid|)\n",
              kFrames, load);
  std::printf("%-28s %14s %14s %14s\n", "", "block+sleep", "spin", "SDL_Delay peer");
  auto row = [&](const char* what, auto field) {
    std::printf("%-28s %14.4f %14.4f %14.4f\n", what, static_cast<double>(field(results[0])),
                static_cast<double>(field(results[1])), static_cast<double>(field(results[2])));
  };
  row("distance median", [](const Result& r) { return r.distance.median; });
  row("distance p99", [](const Result& r) { return r.distance.p99; });
  row("distance max", [](const Result& r) { return r.distance.max; });
  row("interval median", [](const Result& r) { return r.interval.median; });
  row("interval p99", [](const Result& r) { return r.interval.p99; });
  row("released early (frames)", [](const Result& r) { return r.early; });
  row("CPU-seconds per second", [](const Result& r) { return r.cpuPerSecond; });
  return 0;
}
