// Picking against a 100,352-triangle terrain: ObjectRayDistance and ObjectHitsSphere through the
// bounding-volume hierarchy against the plain loop over every triangle, same queries, same run.
// Rays come from above at random points (most hit) and spheres sit near the surface (about
// three in four touch). No window is needed: the tests never reach GL outside debug mode.
// "hit share" counts the queries run; a partial last pass through them makes the two modes
// differ a little.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "runtime/core/runtime_state.h"
#include "runtime/gfx3d/collision3d.h"
#include "runtime/gfx3d/collision3d_internal.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/triangle_bvh.h"

namespace {

using namespace quillon;

constexpr int kSide = 224;  // 2 · 224² = 100,352 triangles
constexpr int kSlot = 1;
constexpr int kQueries = 1024;

float Height(float x, float z) { return 5 * std::sin(x / 7) * std::cos(z / 9) + 0.02f * x; }

MeshVertex At(float x, float z) {
  MeshVertex v{};
  v.position[0] = x;
  v.position[1] = Height(x, z);
  v.position[2] = z;
  return v;
}

struct Scene {
  std::unique_ptr<Rainbows3D> renderer = std::make_unique<Rainbows3D>(nullptr);
  std::vector<std::array<double, 6>> rays;
  std::vector<std::array<double, 4>> spheres;

  Scene() {
    runtimeState.renderer3D = renderer.get();
    ObjectSlot& slot = renderer->slots[kSlot];
    slot.parts.Append(MeshObjectX());
    MeshObjectX& part = slot.parts[0];
    part.frames.Append(MeshFrame());
    std::vector<MeshVertex>& t = part.frames[0].triangles.items;
    float step = 200.0f / kSide;
    for (int i = 0; i < kSide; ++i) {
      for (int j = 0; j < kSide; ++j) {
        float x0 = -100 + i * step, z0 = -100 + j * step, x1 = x0 + step, z1 = z0 + step;
        for (MeshVertex v :
             {At(x0, z0), At(x0, z1), At(x1, z1), At(x0, z0), At(x1, z1), At(x1, z0)}) {
          t.push_back(v);
        }
      }
    }
    MarkTrianglesChanged(part.frames[0]);
    ComputeFrameBounds(part);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int k = 0; k < kQueries; ++k) {
      double x = 110 * unit(rng), z = 110 * unit(rng);
      rays.push_back({x, 40, z, 0.3 * unit(rng), -1, 0.3 * unit(rng)});
      spheres.push_back({x, Height(x, z) + 0.6 * unit(rng), z, 0.5});
    }
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

// Runs query(k) over the scene's queries, with the hierarchy when the argument is non-zero, and
// reports the share of hits.
template <typename Query>
void MeasureQueries(benchmark::State& state, Query query) {
  UseCollisionBvh(state.range(0) != 0);
  size_t k = 0;
  double hits = 0;
  for (auto _ : state) {
    double result = query(k++ % kQueries);
    hits += result > 0;
    benchmark::DoNotOptimize(result);
  }
  state.counters["hit share"] = hits / state.iterations();
  UseCollisionBvh(true);
}

void RayDistance(benchmark::State& state) {
  Scene& scene = TheScene();
  MeasureQueries(state, [&](size_t k) {
    const auto& r = scene.rays[k];
    return ObjectRayDistance(kSlot, 0, r[0], r[1], r[2], r[3], r[4], r[5]);
  });
}
BENCHMARK(RayDistance)->ArgName("bvh")->Arg(0)->Arg(1);

void HitsSphere(benchmark::State& state) {
  Scene& scene = TheScene();
  MeasureQueries(state, [&](size_t k) {
    const auto& s = scene.spheres[k];
    return ObjectHitsSphere(kSlot, 0, s[3], s[0], s[1], s[2]);
  });
}
BENCHMARK(HitsSphere)->ArgName("bvh")->Arg(0)->Arg(1);

// The one-off cost the first accelerated query of a frame pays.
void BuildHierarchy(benchmark::State& state) {
  MeshFrame& frame = TheScene().renderer->slots[kSlot].parts[0].frames[0];
  for (auto _ : state) {
    auto bvh = BuildTriangleBvh(frame.triangles.Data(), frame.triangles.Count() / 3);
    benchmark::DoNotOptimize(bvh);
  }
}
BENCHMARK(BuildHierarchy)->Unit(benchmark::kMillisecond);

}  // namespace
