#include "runtime/path/path_finder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "path/path_grids.h"
#include "path/reference_planner.h"
#include "runtime/path/planner.h"

namespace quillon {
namespace {

using Cells = std::vector<std::pair<int, int>>;

Cells Rows(const DimArray<double>& result) {
  Cells cells;
  for (int32_t r = 0; r < result.extent0; ++r) {
    cells.emplace_back(static_cast<int>(result.At(r, 0)), static_cast<int>(result.At(r, 1)));
  }
  return cells;
}

void Fill(DimArray<double>& grid, int32_t width, int32_t height, std::vector<double> values) {
  grid.Dimension(width, height, 0, 0);
  for (int32_t i = 0; i < width * height; ++i) grid.At(i % width, i / width) = values[i];
}

// A result array holding something the command must not disturb.
void Sentinel(DimArray<double>& result) { result.FillFromList({7, 8, 9}); }
bool IsSentinel(const DimArray<double>& result) {
  return result.dimensionCount == 1 && result.extent0 == 3 && result.At(2) == 9;
}

TEST(FindPath, WalksAStraightRowOfOnes) {
  DimArray<double> grid, result;
  Fill(grid, 3, 1, {1, 1, 1});
  EXPECT_EQ(FindPath(grid, result, 0.5, 0, 0, 2, 0), 3);
  EXPECT_EQ(Rows(result), (Cells{{0, 0}, {1, 0}, {2, 0}}));
  EXPECT_EQ(result.dimensionCount, 2);
  EXPECT_EQ(FindPath(grid, result, 0.5, 2.9, 0.5, 0, 0), 3);  // coordinates truncate
  EXPECT_EQ(Rows(result), (Cells{{2, 0}, {1, 0}, {0, 0}}));
}

TEST(FindPath, InvalidRequestsLeaveTheResultUntouched) {
  DimArray<double> grid, result;
  Sentinel(result);
  Fill(grid, 2, 2, {0, -1, -5, 0});  // nothing positive
  EXPECT_EQ(FindPath(grid, result, 0, 0, 0, 1, 1), 0);
  Fill(grid, 2, 2, {1, 1, 1, 1});
  EXPECT_EQ(FindPath(grid, result, 0, 1, 1, 1, 1), 0);  // start = goal
  EXPECT_EQ(FindPath(grid, result, 0, 0, 0, 2, 0), 0);  // goal outside
  EXPECT_EQ(FindPath(grid, result, 0, -1, 0, 1, 1), 0);
  EXPECT_EQ(FindPath(grid, result, 0, NAN, 0, 1, 1), 0);
  EXPECT_EQ(FindPath(grid, result, 0, 0, 0, 1e12, 1), 0);
  DimArray<double> line, cube, never;
  line.FillFromList({1, 1, 1});
  EXPECT_EQ(FindPath(line, result, 0, 0, 0, 2, 0), 0);  // not two-dimensional
  cube.Dimension(3, 3, 3, 0);
  for (int i = 0; i < 27; ++i) cube.elements[i] = 1;
  EXPECT_EQ(FindPath(cube, result, 0, 0, 0, 2, 2), 0);
  EXPECT_EQ(FindPath(never, result, 0, 0, 0, 1, 1), 0);
  DimArray<double> forged;  // extents that claim more than the storage holds
  forged.Dimension(4, 4, 0, 0);
  forged.extent0 = 65536;
  forged.extent1 = 65536;
  EXPECT_EQ(FindPath(forged, result, 0, 0, 0, 1, 1), 0);
  EXPECT_TRUE(IsSentinel(result));
}

TEST(FindPath, UnreachableGoalEmptiesTheResult) {
  DimArray<double> grid, result;
  Fill(grid, 3, 1, {1, 1, 0});  // the goal itself is blocked
  Sentinel(result);
  EXPECT_EQ(FindPath(grid, result, 0, 0, 0, 2, 0), 0);
  EXPECT_EQ(result.extent0, 0);
  Fill(grid, 3, 3, {1, 0, 1, 0, 0, 1, 1, 1, 1});  // walled in
  Sentinel(result);
  EXPECT_EQ(FindPath(grid, result, 1, 0, 0, 2, 2), 0);
  EXPECT_EQ(result.extent0, 0);
}

TEST(FindPath, EqualRoutesFollowNeighbourOrderAndFirstInFirstOut) {
  DimArray<double> grid, result;
  Fill(grid, 2, 2, {1, 1, 1, 1});
  // (1, 0) is queued before (0, 1) with the same f, so it is expanded first and wins.
  for (double weight : {0.0, 0.5, 1.0}) {
    EXPECT_EQ(FindPath(grid, result, weight, 0, 0, 1, 1), 3);
    EXPECT_EQ(Rows(result), (Cells{{0, 0}, {1, 0}, {1, 1}})) << weight;
    EXPECT_EQ(FindPath(grid, result, weight, 1, 1, 0, 0), 3);
    EXPECT_EQ(Rows(result), (Cells{{1, 1}, {1, 0}, {0, 0}})) << weight;
  }
  // Uniform cost on a 3 x 3 field: ties all the way, first in first out decides every step.
  Fill(grid, 3, 3, std::vector<double>(9, 1));
  EXPECT_EQ(FindPath(grid, result, 0, 0, 0, 2, 2), 5);
  EXPECT_EQ(Rows(result), (Cells{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}}));
}

TEST(FindPath, TakesTheCheaperDetour) {
  DimArray<double> grid, result;
  Fill(grid, 5, 2,
       {1, 9, 9, 9, 1,  //
        1, 1, 1, 1, 1});
  const Cells detour{{0, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 0}};
  EXPECT_EQ(FindPath(grid, result, 0, 0, 0, 4, 0), 7);
  EXPECT_EQ(Rows(result), detour);
  // The result may be the grid itself.
  EXPECT_EQ(FindPath(grid, grid, 0, 0, 0, 4, 0), 7);
  EXPECT_EQ(Rows(grid), detour);
}

TEST(FindPath, CostsAreRelativeAndWeightsClamp) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 200; ++trial) {
    DimArray<double> grid, scaled, a, b;
    testgrids::RandomCosts(grid, 12, 9, random());
    scaled.CopyFrom(grid);
    double factor = trial % 2 ? 10.0 : 0.5;
    for (int i = 0; i < 12 * 9; ++i) scaled.elements[i] *= factor;
    int sx = random() % 12, sy = random() % 9, gx = random() % 12, gy = random() % 9;
    double w = (trial % 3) * 0.5;
    EXPECT_EQ(FindPath(grid, a, w, sx, sy, gx, gy), FindPath(scaled, b, w, sx, sy, gx, gy));
    EXPECT_EQ(Rows(a), Rows(b));
    EXPECT_EQ(FindPath(grid, a, 5, sx, sy, gx, gy), FindPath(grid, b, 1, sx, sy, gx, gy));
    EXPECT_EQ(Rows(a), Rows(b));
    EXPECT_EQ(FindPath(grid, a, -3, sx, sy, gx, gy), FindPath(grid, b, 0, sx, sy, gx, gy));
    EXPECT_EQ(Rows(a), Rows(b));
    EXPECT_EQ(FindPath(grid, a, NAN, sx, sy, gx, gy), FindPath(grid, b, 0, sx, sy, gx, gy));
    EXPECT_EQ(Rows(a), Rows(b));
  }
}

TEST(FindPath, ExtremeCellValuesStayOrdered) {
  DimArray<double> grid, result;
  // NaN blocks; a value beyond float range counts as the float maximum, not infinity.
  Fill(grid, 3, 2,
       {1, NAN, 1,  //
        1, 1e300, 1});
  EXPECT_EQ(FindPath(grid, result, 0, 0, 0, 2, 0), 5);
  EXPECT_EQ(Rows(result), (Cells{{0, 0}, {0, 1}, {1, 1}, {2, 1}, {2, 0}}));
  AStarPlanner planner;
  PlannerSettings s{0, 0, 2, 0, true, false, 0, 0, 8, 0.0f, 3, 2, grid.elements};
  ASSERT_TRUE(planner.Init(s));
  EXPECT_EQ(planner.CellCost(1, 0), kBlockedCost);
  EXPECT_EQ(planner.CellCost(1, 1), 2.0f);
  EXPECT_FLOAT_EQ(planner.CellCost(0, 0), 1.0f);
  EXPECT_EQ(planner.CellCost(3, 0), kBlockedCost);  // outside
}

// Random grids of every shape up to 64 x 64 with blocked cells, ties and random weights: the
// runtime's planner must give exactly the answers of the first design.
TEST(FindPathAgainstReference, IdenticalOnThousandsOfRandomGrids) {
  std::mt19937 random(20240517);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int found = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    int32_t width = 1 + random() % 64, height = 1 + random() % 64;
    DimArray<double> grid;
    grid.Dimension(width, height, 0, 0);
    double blocked = unit(random) * 0.45;
    int costKind = trial % 3;  // all ones (many ties), small integers, reals
    for (int32_t i = 0; i < width * height; ++i) {
      double value = costKind == 0 ? 1 : (costKind == 1 ? 1 + random() % 9 : unit(random) * 50);
      grid.elements[i] = unit(random) < blocked ? -static_cast<double>(random() % 2) : value;
    }
    const double weights[] = {0.0, 0.5, 1.0, unit(random) * 1.4 - 0.2};
    double weight = weights[trial % 4];
    int sx = random() % width, sy = random() % height, gx = random() % width,
        gy = random() % height;
    DimArray<double> fast, slow;
    double n = FindPath(grid, fast, weight, sx, sy, gx, gy);
    ASSERT_EQ(n, reference::FindPath(grid, slow, weight, sx, sy, gx, gy)) << "trial " << trial;
    ASSERT_EQ(Rows(fast), Rows(slow)) << "trial " << trial;
    found += n > 0;
  }
  EXPECT_GT(found, 1000);  // the comparison covered real paths, not just failures
}

// Same expansion order at the planner level, with diagonal steps too: equal path costs, open
// and closed counts.
TEST(FindPathAgainstReference, PlannerCountsMatchWithDiagonals) {
  std::mt19937 random(99);
  for (int trial = 0; trial < 400; ++trial) {
    DimArray<double> grid;
    int32_t size = 2 + random() % 40;
    testgrids::RandomCosts(grid, size, size, random());
    for (int32_t i = 0; i < size * size; ++i) {
      if (random() % 5 == 0) grid.elements[i] = 0;
    }
    PlannerSettings s{};
    s.startX = random() % size;
    s.startY = random() % size;
    s.goalX = random() % size;
    s.goalY = (s.startY + 1 + random() % (size - 1)) % size;
    s.allowDiagonal = trial % 2 == 0;
    s.diagonalCostSqrt2 = trial % 4 == 0;
    s.hashBits = 8;
    s.weight = (trial % 3) * 0.5f;
    s.width = s.height = size;
    s.costs = grid.elements;
    AStarPlanner fast;
    reference::AStarPlanner slow;
    ASSERT_TRUE(fast.Init(s));
    ASSERT_TRUE(slow.Init(s));
    fast.Start();
    slow.Start();
    ASSERT_TRUE(fast.Search());
    ASSERT_TRUE(slow.Search());
    EXPECT_EQ(fast.PathCost(), slow.PathCost()) << trial;
    EXPECT_EQ(fast.PathLength(), slow.PathLength()) << trial;
    EXPECT_EQ(fast.OpenCount(), slow.OpenCount()) << trial;
    EXPECT_EQ(fast.ClosedCount(), slow.ClosedCount()) << trial;
    // The noted steps, diagonal ones too, lead through the reference's cells.
    int32_t length = fast.NotePath();
    ASSERT_EQ(length, slow.PathLength()) << trial;
    std::vector<double> xs(length), ys(length);
    fast.CopyPathCells(length, xs.data(), ys.data());
    int32_t row = length - 1;
    for (const Node* n = slow.path; n != nullptr; n = n->parent, --row) {
      ASSERT_EQ(xs[row], n->x) << trial;
      ASSERT_EQ(ys[row], n->y) << trial;
    }
  }
}

// Grids large enough for frontiers of hundreds of cells, which the open list must grow to hold.
TEST(FindPathAgainstReference, IdenticalOnLargerGrids) {
  std::mt19937 random(777);
  for (int trial = 0; trial < 12; ++trial) {
    int32_t size = 96 + random() % 64;
    auto kind = static_cast<testgrids::GridKind>(trial % 3);
    DimArray<double> grid, fast, slow;
    testgrids::MakeGrid(grid, kind, size, random());
    int32_t goalY = kind == testgrids::GridKind::kMaze ? testgrids::MazeGoalRow(size) : size - 1;
    int32_t startX = kind == testgrids::GridKind::kMaze ? 0 : random() % size;
    double weight = (trial / 3 % 3) * 0.5;
    double n = FindPath(grid, fast, weight, startX, 0, size - 1, goalY);
    ASSERT_GT(n, 0) << trial;
    ASSERT_EQ(n, reference::FindPath(grid, slow, weight, startX, 0, size - 1, goalY)) << trial;
    ASSERT_EQ(Rows(fast), Rows(slow)) << trial;
  }
}

// Small node and open-list limits, stale entries compacted away and push orders renumbered every
// few pushes: the same answers, the same failures when a limit is reached.
TEST(FindPathAgainstReference, TightLimitsAndRenumberedOrders) {
  std::mt19937 random(4242);
  int failed = 0, found = 0;
  for (int trial = 0; trial < 600; ++trial) {
    DimArray<double> grid;
    int32_t size = 2 + random() % 24;
    testgrids::RandomCosts(grid, size, size, random());
    for (int32_t i = 0; i < size * size; ++i) {
      if (random() % 4 == 0) grid.elements[i] = trial % 3 == 0 ? 0 : 1;  // ties when 1
    }
    PlannerSettings s{};
    s.startX = random() % size;
    s.startY = random() % size;
    s.goalX = random() % size;
    s.goalY = (s.startY + 1 + random() % (size - 1)) % size;
    s.allowDiagonal = trial % 2 == 0;
    s.diagonalCostSqrt2 = true;
    s.nodeCapacity = trial % 5 == 0 ? 1 + random() % (size * size) : 0;
    s.openCapacity = 1 + random() % (4 * size);
    s.hashBits = 8;
    s.weight = (random() % 5) * 0.25f;
    s.width = s.height = size;
    s.costs = grid.elements;
    AStarPlanner fast;
    reference::AStarPlanner slow;
    ASSERT_TRUE(fast.Init(s));
    ASSERT_TRUE(slow.Init(s));
    if (trial % 4 < 2) {
      fast.open.orderLimit = 1 + random() % 16;
    } else {
      fast.open.maxEntries = fast.open.capacity + 1;  // stale entries are dropped early and often
    }
    fast.Start();
    slow.Start();
    bool finished = fast.Search();
    ASSERT_EQ(finished, slow.Search()) << trial;
    failed += !finished;
    if (!finished) continue;
    found += fast.path != nullptr;
    ASSERT_EQ(fast.PathCost(), slow.PathCost()) << trial;
    ASSERT_EQ(fast.PathLength(), slow.PathLength()) << trial;
    EXPECT_EQ(fast.OpenCount(), slow.OpenCount()) << trial;
    EXPECT_EQ(fast.ClosedCount(), slow.ClosedCount()) << trial;
    for (const Node *a = fast.path, *b = slow.path; a && b; a = a->parent, b = b->parent) {
      ASSERT_EQ(std::make_pair(a->x, a->y), std::make_pair(b->x, b->y)) << trial;
    }
  }
  EXPECT_GT(failed, 100);  // both outcomes were compared
  EXPECT_GT(found, 100);
}

TEST(Planner, RunsOutOfNodesWithoutCrashingAndResets) {
  DimArray<double> grid;
  testgrids::OpenField(grid, 20, 20);
  PlannerSettings s{0, 0, 19, 19, true, false, 5, 0, 8, 0.0f, 20, 20, grid.elements};
  AStarPlanner planner;
  // Never initialised: the open list is empty, so the search is over at once, without a path.
  EXPECT_TRUE(planner.Search());
  EXPECT_EQ(planner.path, nullptr);
  EXPECT_TRUE(planner.idle);
  ASSERT_TRUE(planner.Init(s));
  planner.Start();
  EXPECT_FALSE(planner.Search());  // five nodes cannot cover the field
  planner.Reset();
  EXPECT_TRUE(planner.idle);
  EXPECT_EQ(planner.OpenCount(), 0);
  EXPECT_EQ(planner.ClosedCount(), 0);
  s.nodeCapacity = 0;
  ASSERT_TRUE(planner.Init(s));  // the same planner searches again from a clean state
  planner.Start();
  ASSERT_TRUE(planner.Search());
  EXPECT_EQ(planner.PathLength(), 39);
  EXPECT_FLOAT_EQ(planner.PathCost(), 38 * 2.0f);
  planner.Start();  // again on the same cost map, which the first search marked
  ASSERT_TRUE(planner.Search());
  EXPECT_EQ(planner.PathLength(), 39);
  EXPECT_FLOAT_EQ(planner.PathCost(), 38 * 2.0f);
  s.goalX = s.startX;
  s.goalY = s.startY;
  EXPECT_FALSE(planner.Init(s));
}

TEST(Planner, FailedSetUpAfterASearchLeavesNothingToSearch) {
  DimArray<double> grid;
  testgrids::OpenField(grid, 6, 4);
  PlannerSettings s{0, 0, 5, 3, true, false, 0, 0, 8, 0.5f, 6, 4, grid.elements};
  AStarPlanner planner;
  ASSERT_TRUE(planner.Init(s));
  planner.Start();
  ASSERT_TRUE(planner.Search());
  EXPECT_EQ(planner.PathLength(), 9);
  for (int32_t i = 0; i < 24; ++i) grid.elements[i] = 0;
  EXPECT_FALSE(planner.Init(s));  // nothing positive
  planner.Start();
  EXPECT_TRUE(planner.Search());
  EXPECT_EQ(planner.path, nullptr);
  EXPECT_EQ(planner.ClosedCount(), 0);
}

}  // namespace
}  // namespace quillon
