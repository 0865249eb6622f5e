// Resident memory, side by side in one run: an empty 640 x 480 runtime window against a bare SDL
// window with a GL context (the floor any program on this stack pays), the same window drawing
// one textured quad (what a software driver's shader compiler adds on the first draw, which the
// runtime's "Loading..." text makes), and the scripted duel played headless. Each runs in its own
// process; its peak resident size comes from wait4. The peers run this same program, so they
// load the runtime's libraries too.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/memory_measure build/gravduel KEYS
// with KEYS the duel script, game/demo/duel.keys.
#include <GL/gl.h>
#include <SDL.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/platform/automation.h"
#include "runtime/quillon.h"

namespace {

constexpr int kFrames = 60;

[[noreturn]] void RunEmptyWindow() {
  using namespace quillon;
  setenv("QUILLON_NO_DIALOGS", "1", 1);
  platform::ReloadAutomation();
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  if (StartRuntime("Empty window") == 0) EndFailedStartup();
  for (;;) ShowScreen();  // QUILLON_FRAMES ends it
}

// One small blended texture drawn as a quad through client arrays, as the runtime draws sprites:
// the first draw is what makes a software driver compile its shaders.
void DrawTexturedQuad() {
  static GLuint texture = 0;
  if (texture == 0) {
    unsigned char pixels[16 * 16 * 4];
    for (unsigned i = 0; i < sizeof pixels; ++i) pixels[i] = static_cast<unsigned char>(i * 7);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  }
  const GLfloat quad[] = {0, 0, -0.5f, -0.5f, 0, 1, 0, 0.5f,  -0.5f, 0,
                          1, 1, 0.5f,  0.5f,  0, 0, 1, -0.5f, 0.5f,  0};
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glInterleavedArrays(GL_T2F_V3F, 0, quad);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

[[noreturn]] void RunBareWindow(bool drawQuad) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) std::exit(1);
  SDL_Window* window = SDL_CreateWindow("Bare", 0, 0, 640, 480, SDL_WINDOW_OPENGL);
  if (window == nullptr || SDL_GL_CreateContext(window) == nullptr) std::exit(1);
  const char* frames = std::getenv("QUILLON_FRAMES");  // as the runtime reads it
  for (int i = 0, n = frames ? std::atoi(frames) : kFrames; i < n; ++i) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (drawQuad) DrawTexturedQuad();
    SDL_GL_SwapWindow(window);
    for (SDL_Event e; SDL_PollEvent(&e) != 0;) {
    }
    SDL_Delay(16);
  }
  std::exit(0);
}

// Peak resident megabytes of the child running argv, or -1.
double PeakMegabytes(char* const argv[]) {
  pid_t child = fork();
  if (child == 0) {
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--empty") == 0) RunEmptyWindow();
  if (argc == 2 && std::strcmp(argv[1], "--bare") == 0) RunBareWindow(false);
  if (argc == 2 && std::strcmp(argv[1], "--bare-quad") == 0) RunBareWindow(true);
  std::string self = argv[0];
  char empty[] = "--empty", bare[] = "--bare", bareQuad[] = "--bare-quad";
  char* emptyArgs[] = {self.data(), empty, nullptr};
  char* bareArgs[] = {self.data(), bare, nullptr};
  char* bareQuadArgs[] = {self.data(), bareQuad, nullptr};
  setenv("QUILLON_FRAMES", std::to_string(kFrames).c_str(), 0);
  std::printf("%-40s %10s\n", "peak resident size", "MB");
  std::printf("%-40s %10.1f\n", "bare SDL + GL window (peer)", PeakMegabytes(bareArgs));
  std::printf("%-40s %10.1f\n", "bare window + one textured quad (peer)",
              PeakMegabytes(bareQuadArgs));
  std::printf("%-40s %10.1f\n", "empty 640 x 480 runtime window", PeakMegabytes(emptyArgs));
  if (argc == 3) {
    // The duel as scripts/run plays it, without screenshots.
    setenv("QUILLON_INPUT", argv[2], 1);
    setenv("QUILLON_FRAMES", "360", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    char* duelArgs[] = {argv[1], nullptr};
    std::printf("%-40s %10.1f\n", "headless duel, 360 frames", PeakMegabytes(duelArgs));
  }
  return 0;
}
