// SpriteCollision as the game calls it, every bullet every frame, against a plain row-by-row
// scan of the same cached masks in the same run. Needs a display (run under xvfb-run).
// Cases: pairs the boxes reject (the masks must stay unread), overlapping opaque 64 x 64
// pairs (a hit at once), overlapping 64 x 64 pairs that never touch (every pixel probed), and
// a round bullet over a round ship at random overlapping positions (the usual hit test).
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "runtime/gfx2d/png_writer.h"
#include "runtime/gfx2d/texture_store_internal.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/platform/automation.h"
#include "runtime/quillon.h"

namespace {

using namespace quillon;

enum Slot { kOpaque = 1, kLeftHalf, kRightHalf, kShip, kBullet, kUntouchedA, kUntouchedB };

struct Placement {
  int slotA;
  double xA, yA;
  int slotB;
  double xB, yB;
};

void LoadShape(int slot, int side, const std::function<bool(int, int)>& solid) {
  std::vector<uint8_t> rgba(side * side * 4, 255);
  for (int i = 0; i < side * side; ++i) rgba[i * 4 + 3] = solid(i % side, i / side) ? 255 : 0;
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/quillon-collision-bench.png";
  WritePngRgba(path.c_str(), side, side, rgba.data());
  LoadSprite(StringValue(path.c_str()), slot);
}

bool Round(int x, int y, int side) {
  double r = side / 2.0, dx = x + 0.5 - r, dy = y + 0.5 - r;
  return dx * dx + dy * dy < r * r;
}

bool StartBenchRuntime() {
  static bool started = false;
  if (started) return true;
  setenv("QUILLON_NO_DIALOGS", "1", 1);
  platform::ReloadAutomation();
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 0;
  if (StartRuntime("collision_bench") != 1.0) return false;
  LoadShape(kOpaque, 64, [](int, int) { return true; });
  LoadShape(kLeftHalf, 64, [](int x, int) { return x < 32; });
  LoadShape(kRightHalf, 64, [](int x, int) { return x >= 32; });
  LoadShape(kShip, 64, [](int x, int y) { return Round(x, y, 64); });
  LoadShape(kBullet, 8, [](int x, int y) { return Round(x, y, 8); });
  LoadShape(kUntouchedA, 64, [](int, int) { return true; });
  LoadShape(kUntouchedB, 64, [](int, int) { return true; });
  started = true;
  return true;
}

const TextureSlot& SlotAt(int n) { return runtimeState.graphics->textures.slots[n]; }

// The plain way: the whole overlap row by row, top to bottom, stopping at the first hit.
double PlainScan(const Placement& p) {
  const TextureSlot& a = SlotAt(p.slotA);
  const TextureSlot& b = SlotAt(p.slotB);
  int xa = static_cast<int>(p.xA), ya = static_cast<int>(p.yA);
  int xb = static_cast<int>(p.xB), yb = static_cast<int>(p.yB);
  int left = std::max(xa, xb), right = std::min(xa + a.width, xb + b.width);
  int top = std::max(ya, yb), bottom = std::min(ya + a.height, yb + b.height);
  if (left >= right || top >= bottom) return 0;
  const uint8_t* maskA = AlphaMask(p.slotA);
  const uint8_t* maskB = AlphaMask(p.slotB);
  for (int y = top; y < bottom; ++y) {
    const uint8_t* rowA = maskA + (ya + a.height - 1 - y) * a.paddedWidth;
    const uint8_t* rowB = maskB + (yb + b.height - 1 - y) * b.paddedWidth;
    for (int x = left; x < right; ++x) {
      if (rowA[x - xa] != 0 && rowB[x - xb] != 0) return 1;
    }
  }
  return 0;
}

std::vector<Placement> Placements(const std::string& kind) {
  std::vector<Placement> out;
  std::mt19937 random(7);
  auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int i = 0; i < 1024; ++i) {
    if (kind == "rejected") {
      // Anywhere on screen but never on the sprite at the centre.
      double x = uniform(0, 576), y = uniform(0, 416);
      if (x > 288 - 64 && x < 352 && y > 208 - 64 && y < 272) x = 0;
      out.push_back({kUntouchedA, 288, 208, kUntouchedB, x, y});
    } else if (kind == "hit_early") {
      out.push_back(
          {kOpaque, 100, 100, kOpaque, 100.0 + uniform(-60, 60), 100.0 + uniform(-60, 60)});
    } else if (kind == "full_scan") {
      out.push_back({kLeftHalf, 100, 100, kRightHalf, 100, 100});
    } else {
      out.push_back({kShip, 100, 100, kBullet, 100.0 + uniform(-7, 63), 100.0 + uniform(-7, 63)});
    }
  }
  return out;
}

void Collide(benchmark::State& state, const std::string& kind, bool plain) {
  if (!StartBenchRuntime()) {
    state.SkipWithError("no window: run under xvfb-run");
    return;
  }
  std::vector<Placement> placements = Placements(kind);
  double hits = 0;
  for (auto _ : state) {
    for (const Placement& p : placements) {
      double hit = plain ? PlainScan(p) : SpriteCollision(p.slotA, p.xA, p.yA, p.slotB, p.xB, p.yB);
      hits += hit;
      benchmark::DoNotOptimize(hit);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(placements.size()));
  state.counters["hit_share"] = hits / static_cast<double>(state.iterations() * placements.size());
  if (kind == "rejected") {
    state.counters["masks_read"] =
        (SlotAt(kUntouchedA).alphaMask != nullptr) + (SlotAt(kUntouchedB).alphaMask != nullptr);
  }
}

void BM_Rejected(benchmark::State& s) { Collide(s, "rejected", false); }
void BM_Rejected_Plain(benchmark::State& s) { Collide(s, "rejected", true); }
void BM_OpaqueHitEarly(benchmark::State& s) { Collide(s, "hit_early", false); }
void BM_OpaqueHitEarly_Plain(benchmark::State& s) { Collide(s, "hit_early", true); }
void BM_NoTouchFullScan(benchmark::State& s) { Collide(s, "full_scan", false); }
void BM_NoTouchFullScan_Plain(benchmark::State& s) { Collide(s, "full_scan", true); }
void BM_BulletOverShip(benchmark::State& s) { Collide(s, "bullet", false); }
void BM_BulletOverShip_Plain(benchmark::State& s) { Collide(s, "bullet", true); }

BENCHMARK(BM_Rejected);
BENCHMARK(BM_Rejected_Plain);
BENCHMARK(BM_OpaqueHitEarly);
BENCHMARK(BM_OpaqueHitEarly_Plain);
BENCHMARK(BM_NoTouchFullScan);
BENCHMARK(BM_NoTouchFullScan_Plain);
BENCHMARK(BM_BulletOverShip);
BENCHMARK(BM_BulletOverShip_Plain);

}  // namespace
