// Cost grids for the path tests and the benchmark.
#pragma once

#include <cstdint>
#include <random>

#include "runtime/values/dim_array.h"

namespace quillon::testgrids {

enum class GridKind { kOpenField, kMaze, kRandomCosts };

inline void OpenField(DimArray<double>& grid, int32_t width, int32_t height) {
  grid.Dimension(width, height, 0, 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) grid.At(x, y) = 1;
}

// Corridors two cells tall between walls whose gaps alternate ends, so the path snakes across
// the whole grid; one row of each corridor has scattered blocks, the other is always clear.
inline bool MazeWallRow(int32_t y) { return y % 3 == 2; }
inline bool MazeClearRow(int32_t y) { return y % 3 == 1; }

inline void Maze(DimArray<double>& grid, int32_t width, int32_t height, uint32_t seed) {
  std::mt19937 random(seed);
  OpenField(grid, width, height);
  for (int32_t y = 0; y < height; ++y) {
    int32_t gap = (y / 3) % 2 == 0 ? width - 1 : 0;
    for (int32_t x = 0; x < width; ++x) {
      if (MazeWallRow(y) && x != gap) grid.At(x, y) = 0;
      bool inner = x > 0 && x + 1 < width;  // the gap columns always lead on
      if (inner && !MazeWallRow(y) && !MazeClearRow(y) && random() % 8 == 0) grid.At(x, y) = 0;
    }
  }
}

// The clear row of the last corridor: always reachable from (0, 0).
inline int32_t MazeGoalRow(int32_t height) {
  int32_t y = height - 1;
  while (y > 0 && !MazeClearRow(y)) --y;
  return y;
}

inline void RandomCosts(DimArray<double>& grid, int32_t width, int32_t height, uint32_t seed) {
  std::mt19937 random(seed);
  grid.Dimension(width, height, 0, 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) grid.At(x, y) = 1 + random() % 9;
}

inline void MakeGrid(DimArray<double>& grid, GridKind kind, int32_t size, uint32_t seed) {
  switch (kind) {
    case GridKind::kOpenField: OpenField(grid, size, size); break;
    case GridKind::kMaze: Maze(grid, size, size, seed); break;
    case GridKind::kRandomCosts: RandomCosts(grid, size, size, seed); break;
  }
}

}  // namespace quillon::testgrids
