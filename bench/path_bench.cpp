// FindPath on open fields, mazes and random costs: the runtime's planner against the reference
// planner in the same run. Compare the two as ratios; absolute times depend on the machine.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "runtime/path/path_finder.h"
#include "tests/path/path_grids.h"
#include "tests/path/reference_planner.h"

namespace {

using quillon::DimArray;
using quillon::testgrids::GridKind;

const char* KindName(GridKind kind) {
  switch (kind) {
    case GridKind::kOpenField: return "open";
    case GridKind::kMaze: return "maze";
    default: return "random";
  }
}

template <bool kReference>
void BM_FindPath(benchmark::State& state) {
  int32_t size = static_cast<int32_t>(state.range(0));
  GridKind kind = static_cast<GridKind>(state.range(1));
  double weight = state.range(2) / 2.0;
  DimArray<double> grid, result;
  quillon::testgrids::MakeGrid(grid, kind, size, 12345);
  int32_t goalY = kind == GridKind::kMaze ? quillon::testgrids::MazeGoalRow(size) : size - 1;
  double length = 0;
  for (auto _ : state) {
    if constexpr (kReference) {
      length = quillon::reference::FindPath(grid, result, weight, 0, 0, size - 1, goalY);
    } else {
      length = quillon::FindPath(grid, result, weight, 0, 0, size - 1, goalY);
    }
    benchmark::DoNotOptimize(length);
  }
  state.SetLabel(std::string(KindName(kind)) + " w=" + std::to_string(weight).substr(0, 3) +
                 " path=" + std::to_string(static_cast<int>(length)));
}

void FastPlanner(benchmark::State& state) { BM_FindPath<false>(state); }
void ReferencePlanner(benchmark::State& state) { BM_FindPath<true>(state); }

}  // namespace

BENCHMARK(FastPlanner)
    ->ArgsProduct({{64, 256, 1024}, {0, 1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ReferencePlanner)
    ->ArgsProduct({{64, 256}, {0, 1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);
// The reference is quadratic here: one search per case, and by default only the cases that end
// within seconds. The others take it minutes each (an open field at weight 0 alone tens of
// seconds); QUILLON_BENCH_SLOW_REFERENCE=1 adds them.
BENCHMARK(ReferencePlanner)
    ->Args({1024, 1, 0})
    ->Args({1024, 0, 2})
    ->Args({1024, 2, 2})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

namespace {

const bool slowReferenceRegistered = [] {
  if (std::getenv("QUILLON_BENCH_SLOW_REFERENCE") == nullptr) return false;
  for (int64_t kind : {0, 1, 2}) {
    for (int64_t weight : {0, 1, 2}) {
      bool registered = (kind == 1 && weight == 0) || (kind != 1 && weight == 2);
      if (registered) continue;
      benchmark::RegisterBenchmark("ReferencePlanner", ReferencePlanner)
          ->Args({1024, kind, weight})
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}();

}  // namespace
