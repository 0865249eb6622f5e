// A movie as a player would see it: CPU time of PlayMovie at the game rates 60 and 10 against
// ffplay on the same clip, in a window of the same size, under the same X server and audio
// driver, and the offset between picture and sound PlayMovie saw. Run under Xvfb:
//   SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null xvfb-run -a build/bench/media_measure
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/clip_helpers.h"
#include "runtime/media/media_internal.h"
#include "runtime/quillon.h"

extern char** environ;

namespace {

constexpr double kClipSeconds = 10;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double WallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

struct Run {
  double cpu = -1, wall = 0;
};

// ffplay's own user and system time, all its threads, from its exit; cpu -1 when it did not run.
Run Ffplay(const std::string& clip) {
  const char* argv[] = {"ffplay", "-autoexit", "-x", "640", "-y", "480", "-loglevel", "error",
                        "-noborder", clip.c_str(), nullptr};
  Run run;
  double start = WallSeconds();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "ffplay", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    return run;
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return run;
  }
  run.wall = WallSeconds() - start;
  run.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
            usage.ru_stime.tv_usec * 1e-6;
  return run;
}

Run Played(const std::string& clip, int gameRate, quillon::MoviePictures pictures) {
  quillon::SetFrameRate(gameRate);
  quillon::ChooseMoviePictures(pictures);
  Run run;
  double cpu = CpuSeconds(), start = WallSeconds();
  quillon::PlayMovie(quillon::StringValue(clip.c_str()));
  run.wall = WallSeconds() - start;
  run.cpu = CpuSeconds() - cpu;
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillon;
  std::string clip = "/tmp/quillon-media-measure-" + std::to_string(getpid()) + ".mkv";
  testing::ClipSpec spec{.width = 640, .height = 480, .fps = 30, .frames = 300, .toneHz = 440};
  spec.moving = true;
  if (!testing::WriteClip(clip, spec)) return 1;

  // The peer first, before this process opens the display it shares.
  Run peer = Ffplay(clip);
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Media measure") == 0) return 1;
  std::printf("640x480 30 fps clip, %.0f s, sound 44.1 kHz stereo; window 640x480\n",
              kClipSeconds);
  std::printf("%-32s %12s %10s %9s %12s %11s %8s %8s\n", "player", "CPU-s/s clip", "x ffplay",
              "wall s", "offset med", "offset max", "shown", "dropped");
  if (peer.cpu < 0) {
    std::printf("%-32s (not run: ffplay missing or failed)\n", "ffplay");
  } else {
    std::printf("%-32s %12.3f %10s %9.2f\n", "ffplay", peer.cpu / kClipSeconds, "1.00",
                peer.wall);
  }
  struct Case {
    const char* name;
    int rate;
    MoviePictures pictures;
  };
  for (Case c : {Case{"PlayMovie, game at 60", 60, MoviePictures::Automatic},
                 Case{"PlayMovie, game at 10", 10, MoviePictures::Automatic},
                 Case{"PlayMovie, game at 60, planes", 60, MoviePictures::Planes}}) {
    Run run = Played(clip, c.rate, c.pictures);
    const MovieReport& r = LastMovieReport();
    std::string name = std::string(c.name) + (r.drewPlanes ? " (planes)" : " (RGBA)");
    char ratio[16] = "-";
    if (peer.cpu > 0) std::snprintf(ratio, sizeof ratio, "%.2f", run.cpu / peer.cpu);
    std::printf("%-32s %12.3f %10s %9.2f %9.1f ms %8.1f ms %8d %8d\n", name.c_str(),
                run.cpu / kClipSeconds, ratio, run.wall, r.medianOffsetMs, r.worstOffsetMs,
                r.framesShown, r.framesDropped);
  }
  std::remove(clip.c_str());
  EndProgram();
}
