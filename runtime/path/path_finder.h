// The language's path-finding command.
#pragma once

#include "runtime/values/dim_array.h"

namespace quillon {

// Cheapest 4-connected path over grid (x = first index, y = second; values <= 0 block) from the
// start cell to the goal cell. result becomes n rows of (x, y), start first, goal last; returns
// n. weight blends uniform-cost search (0), A* (0.5) and greedy best-first search (1).
// Invalid cells, start = goal, a grid that is not two-dimensional or has no positive cell: 0,
// result untouched. No path: result emptied, 0.
double FindPath(const DimArray<double>& grid, DimArray<double>& result, double weight,
                double startX, double startY, double goalX, double goalY);

}  // namespace quillon
