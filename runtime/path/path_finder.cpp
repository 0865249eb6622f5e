#include "runtime/path/path_finder.h"

#include "runtime/path/planner.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

// The planner reads width x height doubles: the grid must really hold them.
bool IsPlanarGrid(const DimArray<double>& grid) {
  if (grid.dimensionCount != 2 || grid.elements == nullptr) return false;
  if (grid.extent0 <= 0 || grid.extent1 <= 0) return false;
  return static_cast<int64_t>(grid.extent0) * grid.extent1 <= grid.capacity;
}

void WritePath(const Planner& planner, int32_t length, DimArray<double>& result) {
  result.Dimension(length, 2, 0, 0);
  // Rows are within the extents just set: element (row, column) is row + column * stride1.
  planner.CopyPathCells(length, result.elements, result.elements + result.stride1);
}

}  // namespace

double FindPath(const DimArray<double>& grid, DimArray<double>& result, double weight,
                double startX, double startY, double goalX, double goalY) {
  if (!IsPlanarGrid(grid)) return 0.0;
  PlannerSettings settings{};
  settings.startX = TruncateToInt32(startX);
  settings.startY = TruncateToInt32(startY);
  settings.goalX = TruncateToInt32(goalX);
  settings.goalY = TruncateToInt32(goalY);
  settings.diagonalCostSqrt2 = true;
  settings.allowDiagonal = false;
  settings.hashBits = 8;
  settings.weight = ClampWeight(weight);
  settings.width = grid.extent0;
  settings.height = grid.extent1;
  settings.costs = grid.elements;

  AStarPlanner planner;
  planner.chainNodes = false;
  if (!planner.Init(settings)) return 0.0;
  planner.Start();
  if (!planner.Search()) {
    planner.Reset();
    return 0.0;
  }
  int32_t length = planner.NotePath();
  if (length == 0) {
    result.Dimension(0, 0, 0, 0);
    return 0.0;
  }
  // The grid's storage is no longer read, so result may be the grid itself.
  WritePath(planner, length, result);
  planner.Reset();
  return result.extent0;
}

}  // namespace quillon
