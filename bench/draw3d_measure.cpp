// Draws 100 tori of 10,000 triangles each, textured and lit by one directional light, three ways
// side by side: with the runtime's 3D commands (StartObject/AddVertex/EndObject, DrawObject under
// SetCamera/SetPosition), straight from one vertex buffer with raw GL (the floor), and with
// Irrlicht when the build found it. Reports ms per frame: the drawing up to glFinish, the whole
// frame with the buffer swap, and the CPU time of the drawing (the software rasteriser's threads
// included), which a loaded machine disturbs far less than the wall clock.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/draw3d_measure [FRAMES [ROUNDS]]
// No side culls back faces. Each side runs in its own process (the runtime owns the process it
// starts in) and saves its last frame as /tmp/quillon-draw3d-SIDE.png, so the pictures can be
// compared.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/draw3d_scene.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/quillon.h"


using namespace draw3d;

namespace {

void StartWindow(const char* title) {
  using namespace quillon;
  setenv("QUILLON_NO_DIALOGS", "1", 1);
  runtimeState.screenWidth = kWidth;
  runtimeState.screenHeight = kHeight;
  runtimeState.frameRate = 0;  // no frame wait: present as fast as the frames come
  if (StartRuntime(title) == 0) EndFailedStartup();
}

// A texture slot holding the checker, with its mipmapped copy, loaded as a program would.
void MakeCheckerSlot(double slot) {
  using namespace quillon;
  std::vector<uint8_t> rgba = CheckerPixels();
  for (int y = 0; y < kTextureSide; y += 4) {  // painted in 4 x 4 blocks: the pattern allows it
    for (int x = 0; x < kTextureSide; x += 4) {
      const uint8_t* p = &rgba[(y * kTextureSide + x) * 4];
      FillRect(x, y, x + 3, y + 3, p[0] + 256.0 * p[1] + 65536.0 * p[2]);
    }
  }
  GrabSprite(slot, 0, 0, kTextureSide, kTextureSide);
  std::string file = "/tmp/quillon-draw3d-checker-" + std::to_string(getpid()) + ".bmp";
  SaveSprite(slot, file.c_str());
  LoadSprite(file.c_str(), slot);
  unlink(file.c_str());
  ShowScreen();
}

[[noreturn]] void RunRuntimeSide(int frames) {
  using namespace quillon;
  StartWindow("Draw 3D: runtime");
  const double kTexture = 1;
  MakeCheckerSlot(kTexture);
  std::vector<Vertex> torus = TorusTriangles();
  for (int k = 0; k < kGrid * kGrid; ++k) {
    StartObject(k + 1);
    AddVertex(0, 0, 0, 0, 0, -1);  // a list run
    for (const Vertex& v : torus) {
      AddVertex(v.position[0], v.position[1], v.position[2], v.u, v.v, 0xFFFFFF);
    }
    EndObject();
  }
  auto draw = [&] {
    Enter3D(kNear, kFar, kFov);
    SetCamera(kEye[0], kEye[1], kEye[2], 0, 0, 0);
    SetLight(0, 0xFFFFFF, 0, 0, 0, kLightDirection[0], kLightDirection[1], kLightDirection[2], 180);
    SetObjectTexture(kTexture, -1, 1);
    for (int k = 0; k < kGrid * kGrid; ++k) {
      double x = 0, z = 0;
      ObjectPosition(k, x, z);
      SetPosition(x, 0, z);
      DrawObject(k + 1, 0);
    }
  };
  Timings t = RunFrames(frames, draw, [] { ShowScreen(); });
  SaveScreen(PicturePath("runtime").c_str());
  Report(t);
  EndProgram();
}

// The floor: every triangle of the scene placed in world space in one static buffer, the same
// texture and light, one glDrawArrays per frame.
[[noreturn]] void RunGlSide(int frames) {
  using namespace quillon;
  StartWindow("Draw 3D: raw GL");
  if (arb.glGenBuffersARB == nullptr) {
    std::fprintf(stderr, "draw3d_measure: no vertex buffers\n");
    std::exit(1);
  }
  std::vector<Vertex> torus = TorusTriangles();
  std::vector<Vertex> scene;
  scene.reserve(torus.size() * kGrid * kGrid);
  for (int k = 0; k < kGrid * kGrid; ++k) {
    double x = 0, z = 0;
    ObjectPosition(k, x, z);
    for (Vertex v : torus) {
      v.position[0] += static_cast<float>(x);
      v.position[2] += static_cast<float>(z);
      scene.push_back(v);
    }
  }
  GLuint buffer = 0;
  arb.glGenBuffersARB(1, &buffer);
  arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
  arb.glBufferDataARB(GL_ARRAY_BUFFER_ARB, scene.size() * sizeof(Vertex), scene.data(),
                      GL_STATIC_DRAW_ARB);
  arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);

  std::vector<uint8_t> rgba = CheckerPixels();
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTextureSide, kTextureSide, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.data());

  auto draw = [&] {
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    double f = kNear * std::tan(kFov / 2 * Pi() / 180), aspect = double(kWidth) / kHeight;
    glFrustum(-aspect * f, aspect * f, -f, f, kNear, kFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Look-at from the eye to the origin with y up.
    double fx = kEye[0], fy = kEye[1], fz = kEye[2];
    double fl = std::sqrt(fx * fx + fy * fy + fz * fz);
    fx /= fl, fy /= fl, fz /= fl;
    double sx = fz, sy = 0, sz = -fx;  // up x f
    double sl = std::sqrt(sx * sx + sz * sz);
    sx /= sl, sz /= sl;
    double ux = fy * sz - fz * sy, uy = fz * sx - fx * sz, uz = fx * sy - fy * sx;
    double m[16] = {sx, ux, fx, 0, sy, uy, fy, 0, sz, uz, fz, 0, 0, 0, 0, 1};
    glMultMatrixd(m);
    glTranslated(-kEye[0], -kEye[1], -kEye[2]);

    // Everything the picture needs and nothing more: 2D drawing leaves back-face culling, flat
    // shading and the alpha test on, which would make the floor cheaper than the same picture.
    glDisable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    double dl = std::sqrt(kLightDirection[0] * kLightDirection[0] +
                          kLightDirection[1] * kLightDirection[1] +
                          kLightDirection[2] * kLightDirection[2]);
    GLfloat position[4] = {static_cast<GLfloat>(-kLightDirection[0] / dl),
                           static_cast<GLfloat>(-kLightDirection[1] / dl),
                           static_cast<GLfloat>(-kLightDirection[2] / dl), 0};
    GLfloat white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vertex), reinterpret_cast<void*>(0));
    glNormalPointer(GL_FLOAT, sizeof(Vertex), reinterpret_cast<void*>(12));
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), reinterpret_cast<void*>(24));
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(scene.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    arb.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glDisable(GL_LIGHTING);
  };
  Timings t = RunFrames(frames, draw, [] { ShowScreen(); });
  SaveScreen(PicturePath("gl").c_str());
  Report(t);
  EndProgram();
}

// One way of drawing and what its rounds measured.
struct Side {
  const char* name;
  const char* label;
  std::vector<double> drawMedian, frameMedian, cpu;  // one entry per round
  bool failed = false;
};

void MeasureRound(const char* self, int frames, Side& side) {
  std::string command =
      std::string("'") + self + "' --side " + side.name + " " + std::to_string(frames);
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) {
    side.failed = true;
    return;
  }
  char line[256] = {0};
  double drawMedian = 0, drawMean = 0, frameMedian = 0, frameMean = 0, cpu = 0;
  bool got = false;
  while (std::fgets(line, sizeof line, child) != nullptr) {
    if (std::sscanf(line, "%lf %lf %lf %lf %lf", &drawMedian, &drawMean, &frameMedian, &frameMean,
                    &cpu) == 5) {
      got = true;
    }
  }
  if (pclose(child) != 0 || !got) {
    side.failed = true;
    return;
  }
  side.drawMedian.push_back(drawMedian);
  side.frameMedian.push_back(frameMedian);
  side.cpu.push_back(cpu);
}

double MedianOf(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string LoadAverage() {
  FILE* f = std::fopen("/proc/loadavg", "r");
  char text[128] = {0};
  if (f != nullptr) {
    if (std::fgets(text, sizeof text, f) == nullptr) text[0] = 0;
    std::fclose(f);
  }
  std::string s = text;
  while (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--side") == 0) {
    int frames = std::atoi(argv[3]);
    if (std::strcmp(argv[2], "runtime") == 0) RunRuntimeSide(frames);
#ifdef QUILLON_BENCH_IRRLICHT
    if (std::strcmp(argv[2], "irrlicht") == 0) RunIrrlichtSide(frames, true);
    if (std::strcmp(argv[2], "irrlicht-unshared") == 0) RunIrrlichtSide(frames, false);
#endif
    if (std::strcmp(argv[2], "gl") == 0) RunGlSide(frames);
    return 2;
  }
  // FRAMES per side in all, split over ROUNDS rounds that take the sides in turn, so that a
  // change in the machine's load falls on every side alike.
  int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (frames < 2) frames = 300;
  if (rounds < 1) rounds = 3;
  int perRound = std::max(2, frames / rounds);

  std::vector<Side> sides;
  sides.push_back(Side{"gl", "raw GL, one buffer (floor)", {}, {}, {}, false});
  sides.push_back(Side{"runtime", "runtime DrawObject", {}, {}, {}, false});
#ifdef QUILLON_BENCH_IRRLICHT
  sides.push_back(Side{"irrlicht", "Irrlicht, shared vertices", {}, {}, {}, false});
  sides.push_back(Side{"irrlicht-unshared", "Irrlicht, 30,000 vertices", {}, {}, {}, false});
#else
  std::printf("Irrlicht side not built: libirrlicht-dev is missing\n");
#endif
  std::printf("load before: %s\n", LoadAverage().c_str());
  for (int round = 0; round < rounds; ++round) {
    for (Side& side : sides) {
      if (!side.failed) MeasureRound(argv[0], perRound, side);
      if (side.failed) std::fprintf(stderr, "draw3d_measure: the %s run failed\n", side.name);
    }
  }
  std::printf("load after:  %s\n", LoadAverage().c_str());
  std::printf("%d objects x %d triangles, %dx%d, %d rounds of %d frames per side\n", kGrid * kGrid,
              kTrianglesPerObject, kWidth, kHeight, rounds, perRound);
  std::printf("ms per frame, median over the rounds of each round's median; CPU: all threads\n");
  std::printf("%-28s %11s %11s %11s %9s %9s\n", "", "draw+finish", "whole frame", "CPU",
              "draw/floor", "CPU/floor");
  double floorDraw = sides[0].failed ? 0 : MedianOf(sides[0].drawMedian);
  double floorCpu = sides[0].failed ? 0 : MedianOf(sides[0].cpu);
  bool all = true;
  for (const Side& side : sides) {
    if (side.failed) {
      std::printf("%-28s %11s\n", side.label, "failed");
      all = false;
      continue;
    }
    double draw = MedianOf(side.drawMedian), cpu = MedianOf(side.cpu);
    std::printf("%-28s %11.2f %11.2f %11.2f %9.2f %9.2f\n", side.label, draw,
                MedianOf(side.frameMedian), cpu, floorDraw > 0 ? draw / floorDraw : 0.0,
                floorCpu > 0 ? cpu / floorCpu : 0.0);
  }
  std::printf("pictures: /tmp/quillon-draw3d-*.png\n");
  return all ? 0 : 1;
}
