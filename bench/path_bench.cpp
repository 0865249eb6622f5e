// FindPath on open fields, mazes and random costs: the runtime's planner against a textbook A*
// (binary heap with lazy deletion over flat per-cell arrays, same key) and against the reference
// planner, all in the same run. Compare them as ratios; absolute times depend on the machine.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cfloat>
#include <cstdlib>
#include <queue>
#include <string>
#include <vector>

#include "runtime/path/path_finder.h"
#include "runtime/values/truncate.h"
#include "tests/path/path_grids.h"
#include "tests/path/reference_planner.h"

namespace textbook {

using quillon::DimArray;

// (f, push order): lowest f first, among equal f the earliest push, as the runtime decides ties.
struct Entry {
  float f;
  uint64_t order;
  int32_t cell;
};

struct Later {
  bool operator()(const Entry& a, const Entry& b) const {
    return a.f > b.f || (a.f == b.f && a.order > b.order);
  }
};

enum : uint8_t { kNew, kOpen, kClosed };

// The runtime's command written the plain way. A cell whose cost drops while open or closed is
// pushed again under a new order; entries with an older order are skipped when they surface.
double FindPath(const DimArray<double>& grid, DimArray<double>& result, double weight,
                double startX, double startY, double goalX, double goalY) {
  if (grid.dimensionCount != 2 || grid.elements == nullptr) return 0;
  const int32_t width = grid.extent0, height = grid.extent1;
  const int32_t sx = quillon::TruncateToInt32(startX), sy = quillon::TruncateToInt32(startY);
  const int32_t gx = quillon::TruncateToInt32(goalX), gy = quillon::TruncateToInt32(goalY);
  if (sx < 0 || sx >= width || sy < 0 || sy >= height) return 0;
  if (gx < 0 || gx >= width || gy < 0 || gy >= height || (sx == gx && sy == gy)) return 0;
  const float w = quillon::ClampWeight(weight);
  const int32_t cells = width * height;

  std::vector<float> cost(cells);
  float max = 0;
  for (int32_t i = 0; i < cells; ++i) {
    double v = grid.elements[i];
    float c = v > FLT_MAX ? FLT_MAX : static_cast<float>(v);
    cost[i] = c > 0 ? c : -1.0f;
    if (c > max) max = c;
  }
  if (!(max > 0)) return 0;
  for (float& c : cost) {
    if (c != -1.0f) c = 1.0f + c / max;
  }

  std::vector<float> g(cells);
  std::vector<int32_t> parent(cells, -1);
  std::vector<uint64_t> order(cells);
  std::vector<uint8_t> state(cells, kNew);
  std::priority_queue<Entry, std::vector<Entry>, Later> open;
  uint64_t nextOrder = 0;
  const int32_t start = sx + sy * width, goal = gx + gy * width;
  g[start] = 0;
  state[start] = kOpen;
  order[start] = nextOrder;
  open.push({0.0f, nextOrder++, start});

  const int32_t dxs[4] = {0, 1, -1, 0}, dys[4] = {-1, 0, 0, 1};
  bool found = false;
  while (!open.empty()) {
    Entry e = open.top();
    open.pop();
    if (state[e.cell] != kOpen || order[e.cell] != e.order) continue;
    if (e.cell == goal) {
      found = true;
      break;
    }
    state[e.cell] = kClosed;
    const int32_t x = e.cell % width, y = e.cell / width;
    for (int k = 0; k < 4; ++k) {
      const int32_t nx = x + dxs[k], ny = y + dys[k];
      if (nx < 0 || nx >= width || ny < 0 || ny >= height) continue;
      const int32_t n = nx + ny * width;
      if (cost[n] == -1.0f) continue;
      const float ng = g[e.cell] + cost[n];
      if (state[n] != kNew && !(ng < g[n])) continue;
      const float h = static_cast<float>(std::abs(gx - nx) + std::abs(gy - ny));
      const float nf = ng + w * (h - ng);
      g[n] = ng;
      parent[n] = e.cell;
      state[n] = kOpen;
      order[n] = nextOrder;
      open.push({nf, nextOrder++, n});
    }
  }
  if (!found) {
    result.Dimension(0, 0, 0, 0);
    return 0;
  }
  int32_t length = 0;
  for (int32_t c = goal; c >= 0; c = parent[c]) ++length;
  result.Dimension(length, 2, 0, 0);
  int32_t row = length - 1;
  for (int32_t c = goal; c >= 0; c = parent[c], --row) {
    result.At(row, 0, 0, 0) = c % width;
    result.At(row, 1, 0, 0) = c / width;
  }
  return result.extent0;
}

}  // namespace textbook

namespace {

using quillon::DimArray;
using quillon::testgrids::GridKind;

// Both planners allocate megabytes per search. Left alone, the C library moves its mmap and trim
// thresholds after each large free, so the sizes one planner freed last decide whether the next
// one's arrays come back as fresh pages (a page fault each) or from the heap: the peer ran three
// times slower after one layout of the runtime's arrays than after another. Fixed thresholds
// keep every search on reused memory, whoever ran before.
const bool fixedAllocatorThresholds = [] {
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  return true;
}();

enum class Planner { kRuntime, kTextbook, kReference };

const char* KindName(GridKind kind) {
  switch (kind) {
    case GridKind::kOpenField: return "open";
    case GridKind::kMaze: return "maze";
    default: return "random";
  }
}

double Run(Planner planner, const DimArray<double>& grid, DimArray<double>& result, double weight,
           int32_t size, int32_t goalY) {
  switch (planner) {
    case Planner::kRuntime: return quillon::FindPath(grid, result, weight, 0, 0, size - 1, goalY);
    case Planner::kTextbook: return textbook::FindPath(grid, result, weight, 0, 0, size - 1, goalY);
    default: return quillon::reference::FindPath(grid, result, weight, 0, 0, size - 1, goalY);
  }
}

bool SameRows(const DimArray<double>& a, const DimArray<double>& b) {
  if (a.extent0 != b.extent0 || a.extent1 != b.extent1) return false;
  for (int32_t r = 0; r < a.extent0; ++r) {
    if (a.At(r, 0) != b.At(r, 0) || a.At(r, 1) != b.At(r, 1)) return false;
  }
  return true;
}

template <Planner kPlanner>
void BM_FindPath(benchmark::State& state) {
  int32_t size = static_cast<int32_t>(state.range(0));
  GridKind kind = static_cast<GridKind>(state.range(1));
  double weight = state.range(2) / 2.0;
  DimArray<double> grid, result, check;
  quillon::testgrids::MakeGrid(grid, kind, size, 12345);
  int32_t goalY = kind == GridKind::kMaze ? quillon::testgrids::MazeGoalRow(size) : size - 1;
  if (kPlanner == Planner::kTextbook) {  // a faster baseline only counts if it agrees
    Run(Planner::kRuntime, grid, check, weight, size, goalY);
    Run(Planner::kTextbook, grid, result, weight, size, goalY);
    if (!SameRows(result, check)) state.SkipWithError("textbook path differs from the runtime's");
  }
  double length = 0;
  for (auto _ : state) {
    length = Run(kPlanner, grid, result, weight, size, goalY);
    benchmark::DoNotOptimize(length);
  }
  state.SetLabel(std::string(KindName(kind)) + " w=" + std::to_string(weight).substr(0, 3) +
                 " path=" + std::to_string(static_cast<int>(length)));
}

void FastPlanner(benchmark::State& state) { BM_FindPath<Planner::kRuntime>(state); }
void TextbookPlanner(benchmark::State& state) { BM_FindPath<Planner::kTextbook>(state); }
void ReferencePlanner(benchmark::State& state) { BM_FindPath<Planner::kReference>(state); }

}  // namespace

BENCHMARK(FastPlanner)
    ->ArgsProduct({{64, 256, 1024}, {0, 1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(TextbookPlanner)
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
