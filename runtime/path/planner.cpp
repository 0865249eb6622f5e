#include "runtime/path/planner.h"

#include <algorithm>
#include <cfloat>
#include <new>

namespace quillon {

float ClampWeight(double weight) {
  if (weight >= 1.0) return 1.0f;
  if (!(weight >= 0.0)) return 0.0f;
  return static_cast<float>(weight);
}

bool BuildCostMap(const double* costs, int64_t cells, float* costMap) {
  float max = 0.0f;
  for (int64_t i = 0; i < cells; ++i) {
    double value = costs[i];
    float cost = value > FLT_MAX ? FLT_MAX : static_cast<float>(value);
    if (!(cost > 0.0f)) cost = kBlockedCost;  // also a tiny value that narrows to 0, and NaN
    costMap[i] = cost;
    max = std::max(max, cost);
  }
  if (max <= 0.0f) return false;
  for (int64_t i = 0; i < cells; ++i) {
    if (costMap[i] > 0.0f) costMap[i] = 1.0f + costMap[i] / max;
  }
  return true;
}

// --- nodes ---------------------------------------------------------------------------------

NodeFactory::~NodeFactory() { delete[] pool; }

bool NodeFactory::Reserve(int32_t n) {
  if (n <= 0) return false;
  delete[] pool;
  // One block instead of a node per allocation: a million cells cost one call, not a million.
  pool = new (std::nothrow) Node[n];
  capacity = pool ? n : 0;
  used = 0;
  return pool != nullptr;
}

// --- open list -----------------------------------------------------------------------------

namespace {

bool Before(const OpenEntry& a, const OpenEntry& b) {
  return a.f < b.f || (a.f == b.f && a.order < b.order);
}

}  // namespace

bool OpenList::Reserve(int32_t entries, int32_t nodes) {
  Release();
  heap = new (std::nothrow) OpenEntry[entries];
  // Filled in as nodes are handed out; the planner clears what it used.
  slotOfNode = new (std::nothrow) int32_t[nodes];
  if (heap == nullptr || slotOfNode == nullptr) {
    Release();
    return false;
  }
  capacity = entries;
  return true;
}

void OpenList::Release() {
  delete[] heap;
  delete[] slotOfNode;
  heap = nullptr;
  slotOfNode = nullptr;
  size = 0;
  capacity = 0;
  nextOrder = 0;
}

void OpenList::Place(int32_t slot, const OpenEntry& entry) {
  heap[slot] = entry;
  slotOfNode[entry.node] = slot;
}

void OpenList::SiftUp(int32_t slot) {
  OpenEntry entry = heap[slot];
  while (slot > 0) {
    int32_t parent = (slot - 1) / 2;
    if (!Before(entry, heap[parent])) break;
    Place(slot, heap[parent]);
    slot = parent;
  }
  Place(slot, entry);
}

void OpenList::SiftDown(int32_t slot) {
  OpenEntry entry = heap[slot];
  for (;;) {
    int32_t child = 2 * slot + 1;
    if (child >= size) break;
    if (child + 1 < size && Before(heap[child + 1], heap[child])) ++child;
    if (!Before(heap[child], entry)) break;
    Place(slot, heap[child]);
    slot = child;
  }
  Place(slot, entry);
}

bool OpenList::Push(int32_t node, float f) {
  if (size >= capacity) return false;
  heap[size] = OpenEntry{f, node, nextOrder++};
  slotOfNode[node] = size;
  SiftUp(size++);
  return true;
}

int32_t OpenList::PopLowest() {
  int32_t node = heap[0].node;
  slotOfNode[node] = -1;
  if (--size > 0) {
    heap[0] = heap[size];
    SiftDown(0);
  }
  return node;
}

void OpenList::Requeue(int32_t node, float f) {
  int32_t slot = slotOfNode[node];
  heap[slot].f = f;
  heap[slot].order = nextOrder++;
  SiftUp(slot);
  SiftDown(slotOfNode[node]);
}

// --- cell index ----------------------------------------------------------------------------

bool CellIndex::Reserve(int64_t cellCount) {
  Release();
  nodeOfCell = new (std::nothrow) int32_t[cellCount];
  if (nodeOfCell == nullptr) return false;
  std::fill(nodeOfCell, nodeOfCell + cellCount, -1);
  cells = cellCount;
  return true;
}

void CellIndex::Release() {
  delete[] nodeOfCell;
  nodeOfCell = nullptr;
  cells = 0;
  closedCount = 0;
}

// --- planner -------------------------------------------------------------------------------

Planner::~Planner() {
  Planner::Reset();
  delete[] costMap;
}

bool Planner::Init(const PlannerSettings& s) {
  if (s.width <= 0 || s.height <= 0 || s.costs == nullptr) return false;
  int64_t cells = static_cast<int64_t>(s.width) * s.height;
  if (cells > INT32_MAX) return false;
  bool startInside = s.startX >= 0 && s.startX < s.width && s.startY >= 0 && s.startY < s.height;
  bool goalInside = s.goalX >= 0 && s.goalX < s.width && s.goalY >= 0 && s.goalY < s.height;
  if (!startInside || !goalInside || (s.startX == s.goalX && s.startY == s.goalY)) return false;

  Reset();  // while the old settings still say where the used nodes sit
  delete[] costMap;
  settings = PlannerSettings{};
  costMap = new (std::nothrow) float[cells];
  if (costMap == nullptr || !BuildCostMap(s.costs, cells, costMap)) return false;

  int32_t nodeCount = s.nodeCapacity > 0 ? s.nodeCapacity : static_cast<int32_t>(cells);
  int32_t openCount = s.openCapacity > 0 ? s.openCapacity : static_cast<int32_t>(cells);
  if (!nodes.Reserve(nodeCount) || !open.Reserve(openCount, nodeCount) || !closed.Reserve(cells)) {
    return false;
  }
  settings = s;
  settings.weight = ClampWeight(s.weight);
  path = nullptr;
  idle = true;
  return true;
}

void Planner::Start() {
  if (costMap == nullptr || closed.nodeOfCell == nullptr) return;  // never initialised
  idle = false;
  path = nullptr;
  Node* start = nodes.Allocate();
  if (start == nullptr) return;
  *start = Node{nullptr, settings.startX, settings.startY, 0.0f, 0.0f, nullptr};
  int32_t index = nodes.IndexOf(start);
  closed.nodeOfCell[CellOf(start->x, start->y)] = index;
  open.Push(index, start->f);
}

void Planner::Reset() {
  // Only the cells and slots the used nodes touched need clearing: O(nodes), not O(cells).
  for (int32_t i = 0; i < nodes.used; ++i) {
    if (closed.nodeOfCell) closed.nodeOfCell[CellOf(nodes.pool[i].x, nodes.pool[i].y)] = -1;
    if (open.slotOfNode) open.slotOfNode[i] = -1;
  }
  nodes.used = 0;
  open.size = 0;
  open.nextOrder = 0;
  closed.closedCount = 0;
  path = nullptr;
  idle = true;
}

int32_t Planner::PathLength() const {
  int32_t length = 0;
  for (const Node* n = path; n != nullptr; n = n->parent) ++length;
  return length;
}

// --- search --------------------------------------------------------------------------------

bool AStarPlanner::Visit(Node* from, const NeighbourStep& step) {
  const PlannerSettings& s = settings;
  int32_t x = from->x + step.dx;
  int32_t y = from->y + step.dy;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return true;
  int64_t cell = CellOf(x, y);
  float cost = costMap[cell];
  if (cost == kBlockedCost) return true;
  float g = StepCost(from->g, cost, step.diagonal, s);
  float f = Priority(g, x, y, s);

  int32_t index = closed.nodeOfCell[cell];
  if (index < 0) {
    Node* node = nodes.Allocate();
    if (node == nullptr) return false;
    *node = Node{from, x, y, f, g, nullptr};
    index = nodes.IndexOf(node);
    closed.nodeOfCell[cell] = index;
    return open.Push(index, f);
  }
  Node* node = &nodes.pool[index];
  if (!(g < node->g)) return true;
  node->parent = from;
  node->g = g;
  node->f = f;
  if (open.Contains(index)) {
    open.Requeue(index, f);
    return true;
  }
  --closed.closedCount;  // a closed node opens again
  return open.Push(index, f);
}

bool AStarPlanner::Search() {
  while (open.size > 0) {
    Node* node = &nodes.pool[open.PopLowest()];
    if (node->x == settings.goalX && node->y == settings.goalY) {
      ++closed.closedCount;
      idle = true;
      path = node;
      return true;
    }
    for (const NeighbourStep& step : kNeighbourOrder) {
      if (step.diagonal && !settings.allowDiagonal) continue;
      if (!Visit(node, step)) {
        idle = true;
        return false;
      }
    }
    ++closed.closedCount;
  }
  idle = true;
  return true;
}

}  // namespace quillon
