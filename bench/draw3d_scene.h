// The scene the 3D drawing measurement draws on every side: 100 tori of 10,000 triangles in a
// 10 x 10 grid, a checker texture, one directional light, and the timed frame loop.
#pragma once

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace draw3d {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kGrid = 10;                 // 10 x 10 objects
constexpr int kRings = 50, kSides = 100;  // 2 * 50 * 100 = 10,000 triangles per torus
constexpr int kTrianglesPerObject = 2 * kRings * kSides;
constexpr double kSpacing = 12, kMajor = 4, kMinor = 1.5;
constexpr double kFov = 45, kNear = 1, kFar = 1000;
constexpr double kEye[3] = {0, 90, 120};
constexpr double kLightDirection[3] = {-0.4, -1, -0.3};
constexpr int kWarmUp = 20;
constexpr int kTextureSide = 256;

struct Vertex {
  float position[3];
  float normal[3];
  float u, v;
};

inline double Pi() { return std::acos(-1.0); }

// One torus lying in the xz plane about the origin, as a plain triangle list.
inline std::vector<Vertex> TorusTriangles() {
  auto at = [](int ring, int side) {
    double a = 2 * Pi() * ring / kRings, b = 2 * Pi() * side / kSides;
    double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    Vertex v{};
    v.position[0] = static_cast<float>((kMajor + kMinor * cb) * ca);
    v.position[1] = static_cast<float>(kMinor * sb);
    v.position[2] = static_cast<float>((kMajor + kMinor * cb) * sa);
    v.normal[0] = static_cast<float>(cb * ca);
    v.normal[1] = static_cast<float>(sb);
    v.normal[2] = static_cast<float>(cb * sa);
    v.u = static_cast<float>(4.0 * ring / kRings);
    v.v = static_cast<float>(1.0 * side / kSides);
    return v;
  };
  std::vector<Vertex> out;
  out.reserve(3 * kTrianglesPerObject);
  for (int r = 0; r < kRings; ++r) {
    for (int s = 0; s < kSides; ++s) {
      Vertex a = at(r, s), b = at(r + 1, s), c = at(r + 1, s + 1), d = at(r, s + 1);
      // Counter-clockwise seen from outside.
      for (const Vertex& v : {a, d, c, a, c, b}) out.push_back(v);
    }
  }
  return out;
}

inline void ObjectPosition(int k, double& x, double& z) {
  x = (k % kGrid - (kGrid - 1) / 2.0) * kSpacing;
  z = (k / kGrid - (kGrid - 1) / 2.0) * kSpacing;
}

// A checker of two warm colours with a thin dark grid, RGBA bytes, row 0 at the top.
inline std::vector<uint8_t> CheckerPixels() {
  std::vector<uint8_t> rgba(kTextureSide * kTextureSide * 4);
  for (int y = 0; y < kTextureSide; ++y) {
    for (int x = 0; x < kTextureSide; ++x) {
      uint8_t* p = &rgba[(y * kTextureSide + x) * 4];
      bool light = ((x / 32) + (y / 32)) % 2 == 0;
      bool line = x % 32 == 0 || y % 32 == 0;
      p[0] = line ? 40 : light ? 240 : 200;
      p[1] = line ? 30 : light ? 200 : 90;
      p[2] = line ? 30 : light ? 120 : 60;
      p[3] = 255;
    }
  }
  return rgba;
}

inline std::string PicturePath(const char* side) {
  return std::string("/tmp/quillon-draw3d-") + side + ".png";
}

inline double NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// Times of the measured frames, ms: drawing up to glFinish, and frame start to frame start; and
// the CPU time of all the process's threads (the rasteriser's included) per frame, which a
// loaded machine disturbs far less than the wall-clock times.
struct Timings {
  std::vector<double> draw, frame;
  double cpuPerFrame = 0;
};

inline double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

inline void Report(const Timings& t) {
  auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  auto mean = [](const std::vector<double>& v) {
    double s = 0;
    for (double x : v) s += x;
    return v.empty() ? 0.0 : s / v.size();
  };
  std::printf("%.3f %.3f %.3f %.3f %.3f\n", median(t.draw), mean(t.draw), median(t.frame),
              mean(t.frame), t.cpuPerFrame);
  std::fflush(stdout);
}

// Frame loop shared by the sides: draw() draws the scene into a cleared frame, present() shows it
// and clears the next one.
template <typename Draw, typename Present>
Timings RunFrames(int frames, Draw draw, Present present) {
  Timings t;
  double previousStart = -1, cpu = 0;
  for (int i = 0; i < kWarmUp + frames; ++i) {
    glFinish();  // the clear of the frame is not part of the drawing
    double start = NowMs(), cpuStart = CpuMs();
    draw();
    glFinish();
    double end = NowMs(), cpuEnd = CpuMs();
    if (i >= kWarmUp) {
      cpu += cpuEnd - cpuStart;
      t.draw.push_back(end - start);
      if (previousStart >= 0) t.frame.push_back(start - previousStart);
    }
    previousStart = start;
    if (i + 1 < kWarmUp + frames) present();
  }
  t.cpuPerFrame = cpu / frames;
  return t;
}

// Draws the scene as Irrlicht scene nodes and reports like the other sides; shared: the torus as
// an indexed mesh with shared vertices (Irrlicht's usual form), else 30,000 separate vertices.
[[noreturn]] void RunIrrlichtSide(int frames, bool shared);

}  // namespace draw3d
