// Path finding: a map of cells that cost more or less to cross, the cheapest way across found
// with FindPath; the left mouse button sets the goal, the right one the start, keys 1-3 the search.
#include <cmath>

#include "runtime/quillon.h"

using namespace quillon;

namespace {

const double kCell = 32;  // pixels per map cell
// '.' road costs 1 to enter, ':' grass 3, '~' water 9; '#' is a wall (cost 0: never entered).
const char* kMap[15] = {
    "..........#.........", "..::::....#...:::::.", "..::::....#...:::::.", "..........#.........",
    "#######...#..######.", "......#......#......", ".~~~~.#.::::.#.~~~~.", ".~~~~.#.::::.#.~~~~.",
    ".~~~~...::::...~~~~.", ".~~~~.#######..~~~~.", "......#.....#.......", "~~~~~~#.::..#.~~~~~~",
    "......#.::..#.~~~~~~", "..:::.......#.......", "..:::...~~~~#.......",
};

double CostOf(char c) { return c == '.' ? 1 : c == ':' ? 3 : c == '~' ? 9 : 0; }
double ColourOf(double cost) {  // red + 256 * green + 65536 * blue
  return cost == 1 ? 0x90C8D8 : cost == 3 ? 0x30A040 : cost == 9 ? 0x805830 : 0x303030;
}

// A square in the middle of the cell, size pixels wide.
void MarkCell(double x, double y, double size, double colour) {
  double left = x * kCell + (kCell - size) / 2, top = y * kCell + (kCell - size) / 2;
  FillRect(left, top, left + size - 1, top + size - 1, colour);
}

[[noreturn]] void GameMain() {
  // The grid: first index x (0-19), second y (0-14); each element the cost of entering the cell.
  DimArray<double> grid;
  grid.Dimension(20, 15);
  for (int y = 0; y < 15; ++y) {
    for (int x = 0; x < 20; ++x) grid.At(x, y) = CostOf(kMap[y][x]);
  }

  DimArray<double> path;  // FindPath fills it with rows of (x, y), start first
  double startX = 1, startY = 1, goalX = 18, goalY = 1, weight = 0.5;
  double leftWas = 0, rightWas = 0;
  const char* names[3] = {"uniform cost (1)", "A* (2)", "greedy (3)"};
  for (;;) {
    double mx = 0, my = 0, left = 0, right = 0;
    MouseState(mx, my, left, right);
    double cx = std::trunc(mx / kCell), cy = std::trunc(my / kCell);
    bool onMap = cy < 15 && grid.At(cx, cy) > 0;  // a wall or the status line is no place
    if (left != 0 && leftWas == 0 && onMap) {     // pressed this frame
      goalX = cx;
      goalY = cy;
    }
    if (right != 0 && rightWas == 0 && onMap) {
      startX = cx;
      startY = cy;
    }
    leftWas = left;
    rightWas = right;
    // The weight blends uniform-cost search (0), A* (0.5) and greedy best-first search (1).
    for (int k = 0; k < 3; ++k) {
      if (KeyDown(2 + k) != 0) weight = k * 0.5;  // scan codes 2, 3, 4: keys 1, 2, 3
    }

    double steps = FindPath(grid, path, weight, startX, startY, goalX, goalY);

    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 20; ++x) {
        FillRect(x * kCell, y * kCell, x * kCell + kCell - 2, y * kCell + kCell - 2,
                 ColourOf(grid.At(x, y)));
      }
    }
    double cost = 0;
    for (int i = 0; i < steps; ++i) {
      double x = path.At(i, 0), y = path.At(i, 1);
      if (i > 0) cost += grid.At(x, y);  // the start cell is not entered
      if (i + 1 < steps) {               // a thick line to the next cell's centre
        double x2 = path.At(i + 1, 0), y2 = path.At(i + 1, 1);
        for (int d = -1; d <= 1; ++d) {
          DrawLine(x * kCell + 15 + d, y * kCell + 15 + d, x2 * kCell + 15 + d, y2 * kCell + 15 + d,
                   0x00E0FF);
        }
      }
      MarkCell(x, y, 8, 0x00E0FF);  // yellow
    }
    MarkCell(startX, startY, 18, 0xFFFFFF);
    MarkCell(goalX, goalY, 18, 0x0000FF);

    StringValue status = StringValue(names[(int)(weight * 2)]) + ": ";
    status += steps > 0 ? StringValue(steps) + " cells, cost " + cost : StringValue("no path");
    PrintText(status, 8, 486);
    PrintText("road 1  grass 3  water 9 | left: goal, right: start", 8, 500);
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 512;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Path finding") == 0) EndFailedStartup();
  GameMain();
}
