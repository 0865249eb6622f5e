// The language's path-finding command.
#pragma once

#include "runtime/values/dim_array.h"

namespace quillon {

// Cheapest 4-connected path over grid (x = first index, y = second; values <= 0 block) from the
// start cell to the goal cell. result becomes n rows of (x, y), start first, goal last; returns
// n. weight blends uniform-cost search (0), A* (0.5) and greedy best-first search (1).
// Invalid cells, start = goal, a grid that is not two-dimensional or has no positive cell: 0,
// result untouched. No path: result emptied, 0.
// Example:
//   DimArray<double> grid;  // 20 x 15 cells: 1 open, 0 a wall, 3 mud (costs three times as much)
//   grid.Dimension(20, 15);
//   for (int y = 0; y < 15; ++y)  // a wall down column 10 with a muddy gap at the bottom
//     for (int x = 0; x < 20; ++x) grid.At(x, y) = x != 10 ? 1 : y < 12 ? 0 : 3;
//   DimArray<double> path;
//   double steps = FindPath(grid, path, 0.5, 1, 1, 18, 1);  // A* around the wall
//   for (int i = 0; i < steps; ++i) {  // a green square on each cell of the way
//     double x = path.At(i, 0) * 32, y = path.At(i, 1) * 32;
//     FillRect(x, y, x + 31, y + 31, 0x00FF00);
//   }
double FindPath(const DimArray<double>& grid, DimArray<double>& result, double weight,
                double startX, double startY, double goalX, double goalY);

}  // namespace quillon
