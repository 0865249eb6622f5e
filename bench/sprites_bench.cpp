// Sprites per frame at 60 frames per second: the runtime's DrawSprite and DrawSpriteRotated
// against a plain immediate-mode loop drawing the same quads, in the same run and window.
// Needs a display (run under xvfb-run). Each run also compares the two pictures pixel by pixel.
// Both paths are timed in alternating frames of one run; "speedup" is their ratio.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/gfx2d/png_writer.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/platform/automation.h"
#include "runtime/quillon.h"

namespace {

using namespace quillon;

constexpr int kWidth = 800;
constexpr int kHeight = 640;
constexpr int kSlot = 1;
constexpr int kSide = 32;

struct Placement {
  float x, y, angle;
};

// A round sprite on the colour key, so the alpha test and the padding take part.
std::string WriteSpriteFile() {
  std::vector<uint8_t> rgba(kSide * kSide * 4);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      uint8_t* p = &rgba[(y * kSide + x) * 4];
      float dx = x - 15.5f, dy = y - 15.5f;
      bool inside = dx * dx + dy * dy < 15.5f * 15.5f;
      p[0] = inside ? static_cast<uint8_t>(8 * x) : 255;
      p[1] = inside ? static_cast<uint8_t>(8 * y) : 0;
      p[2] = inside ? 160 : 128;
      p[3] = 255;
    }
  }
  std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                     "/quillon-sprites-bench.png";
  WritePngRgba(path.c_str(), kSide, kSide, rgba.data());
  return path;
}

bool StartBenchRuntime() {
  static bool started = false;
  if (started) return true;
  setenv("QUILLON_NO_DIALOGS", "1", 1);
  platform::ReloadAutomation();
  runtimeState.screenWidth = kWidth;
  runtimeState.screenHeight = kHeight;
  runtimeState.frameRate = 0;
  if (StartRuntime("sprites_bench") != 1.0) return false;
  LoadSprite(StringValue(WriteSpriteFile().c_str()), kSlot);
  double w = 0, h = 0;
  GetSpriteSize(kSlot, w, h);
  started = w == kSide && h == kSide;
  return started;
}

std::vector<Placement> Placements(int count) {
  std::vector<Placement> out(count);
  uint32_t state = 12345;
  auto next = [&state](int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>((state >> 8) % static_cast<uint32_t>(range));
  };
  for (Placement& p : out) {
    p.x = next(kWidth - kSide) + next(100) / 100.0f;
    p.y = next(kHeight - kSide) + next(100) / 100.0f;
    p.angle = next(3600) / 10.0f;
  }
  return out;
}

void BeginFrame() {
  Flush2DBatch();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void EndFrame() {
  Flush2DBatch();
  glFinish();
}

void RuntimeSprites(const std::vector<Placement>& placements, bool rotated) {
  for (const Placement& p : placements) {
    if (rotated) {
      DrawSpriteRotated(kSlot, p.x, p.y, p.angle);
    } else {
      DrawSprite(kSlot, p.x, p.y);
    }
  }
}

enum class Reference { SameQuads, MatrixStack };

// The plain way: one immediate-mode fan per sprite, bound texture and all. With SameQuads the
// corners of rotated sprites are computed here as the runtime computes them; MatrixStack rotates
// through glTranslatef/glRotatef instead, which rounds differently in the last bits.
void ImmediateSprites(const std::vector<Placement>& placements, bool rotated, Reference reference) {
  const TextureSlot& s = runtimeState.graphics->textures.slots[kSlot];
  float w = static_cast<float>(s.width), h = static_cast<float>(s.height);
  float u = w / static_cast<float>(s.paddedWidth), v = h / static_cast<float>(s.paddedHeight);
  float hx = w * 0.5f, hy = h * 0.5f;
  BindSlotTexture(kSlot, -1, false, nullptr);
  for (const Placement& p : placements) {
    glBindTexture(GL_TEXTURE_2D, s.texture);
    float cx = p.x + static_cast<float>(s.width / 2);
    float cy = -(p.y + static_cast<float>(s.height / 2));
    float corners[4][2] = {{-hx, -hy}, {hx, -hy}, {hx, hy}, {-hx, hy}};
    const float tex[4][2] = {{0, 0}, {u, 0}, {u, v}, {0, v}};
    if (!rotated) {
      float left = std::ceil(p.x), top = std::ceil(p.y);
      float upright[4][2] = {
          {left, -(top + h)}, {left + w, -(top + h)}, {left + w, -top}, {left, -top}};
      std::memcpy(corners, upright, sizeof corners);
    } else if (reference == Reference::SameQuads) {
      float radians = static_cast<float>(p.angle * M_PI / 180.0);
      float sn = std::sin(radians), cs = std::cos(radians);
      for (auto& c : corners) {
        float gx = c[0], gy = c[1];
        c[0] = cx + (cs * gx - sn * gy);
        c[1] = cy + (sn * gx + cs * gy);
      }
    } else {
      glPushMatrix();
      glTranslatef(cx, cy, 0);
      glRotatef(p.angle, 0, 0, 1);
    }
    glBegin(GL_TRIANGLE_FAN);
    for (int i = 0; i < 4; ++i) {
      glTexCoord2f(tex[i][0], tex[i][1]);
      glVertex2f(corners[i][0], corners[i][1]);
    }
    glEnd();
    if (rotated && reference == Reference::MatrixStack) glPopMatrix();
  }
}

std::vector<uint8_t> ReadFrame() {
  std::vector<uint8_t> pixels(kWidth * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// Pixels in which the runtime's picture differs from the reference's.
double DifferingPixels(const std::vector<Placement>& placements, bool rotated,
                       Reference reference) {
  BeginFrame();
  RuntimeSprites(placements, rotated);
  EndFrame();
  std::vector<uint8_t> runtime = ReadFrame();
  BeginFrame();
  ImmediateSprites(placements, rotated, reference);
  EndFrame();
  std::vector<uint8_t> immediate = ReadFrame();
  int differing = 0;
  for (size_t i = 0; i < runtime.size(); i += 4) {
    if (std::memcmp(&runtime[i], &immediate[i], 3) != 0) {
      ++differing;
    }
  }
  return differing;
}

double FrameMilliseconds(const std::function<void()>& draw) {
  auto begin = std::chrono::steady_clock::now();
  BeginFrame();
  draw();
  EndFrame();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
      .count();
}

// The runtime's frames and the reference's alternate, so both see the same load on a shared
// machine; the benchmark's own time is the runtime's.
void CompareFrames(benchmark::State& state, bool rotated, Reference reference) {
  if (!StartBenchRuntime()) {
    state.SkipWithError("no window or no sprite: run under xvfb-run");
    return;
  }
  std::vector<Placement> placements = Placements(static_cast<int>(state.range(0)));
  double runtimeTotal = 0, referenceTotal = 0;
  for (auto _ : state) {
    double runtime = FrameMilliseconds([&] { RuntimeSprites(placements, rotated); });
    referenceTotal += FrameMilliseconds([&] { ImmediateSprites(placements, rotated, reference); });
    runtimeTotal += runtime;
    state.SetIterationTime(runtime / 1000.0);
  }
  double frames = static_cast<double>(state.iterations());
  double perFrame = 1000.0 / 60.0 * static_cast<double>(placements.size()) * frames;
  state.counters["runtime_sprites_per_60Hz_frame"] = perFrame / runtimeTotal;
  state.counters["immediate_sprites_per_60Hz_frame"] = perFrame / referenceTotal;
  state.counters["speedup"] = referenceTotal / runtimeTotal;
  // 0 means the two pictures are identical.
  state.counters["pixels_differing"] = DifferingPixels(placements, rotated, reference);
}

void BM_DrawSprite(benchmark::State& state) { CompareFrames(state, false, Reference::SameQuads); }
void BM_DrawSpriteRotated(benchmark::State& state) {
  CompareFrames(state, true, Reference::SameQuads);
}
// Against the rotation on the matrix stack: a draw call per sprite, and last-bit differences.
void BM_DrawSpriteRotatedVsMatrixStack(benchmark::State& state) {
  CompareFrames(state, true, Reference::MatrixStack);
}

BENCHMARK(BM_DrawSprite)->Arg(2000)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3);
BENCHMARK(BM_DrawSpriteRotated)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3);
BENCHMARK(BM_DrawSpriteRotatedVsMatrixStack)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3);

}  // namespace
