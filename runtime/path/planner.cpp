#include "runtime/path/planner.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
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

bool NodeFactory::Reserve(int32_t n, int32_t cells) {
  if (n <= 0 || cells <= 0) return false;
  delete[] pool;
  // One block, left uninitialised: a node is filled when its cell is first reached, so a search
  // that stays local touches only the pages it uses.
  pool = new (std::nothrow) Node[cells];
  capacity = pool ? n : 0;
  used = 0;
  return pool != nullptr;
}

// --- open list -----------------------------------------------------------------------------

bool OpenList::Reserve(int32_t entries, const Node* pool) {
  Release();
  if (entries <= 0) return false;
  int64_t slots = std::min<int64_t>(2 * static_cast<int64_t>(entries), INT32_MAX);
  heap = new (std::nothrow) OpenEntry[slots];
  if (heap == nullptr) return false;
  room = static_cast<int32_t>(slots);
  capacity = entries;
  nodes = pool;
  return true;
}

void OpenList::Release() {
  delete[] heap;
  heap = nullptr;
  room = 0;
  capacity = 0;
  nodes = nullptr;
  Clear();
}

void OpenList::Clear() {
  size = 0;
  live = 0;
  nextOrder = 0;
}

void OpenList::SiftUp(int32_t slot, OpenEntry entry) {
  while (slot > 0) {
    int32_t parent = (slot - 1) / 4;
    if (heap[parent].key < entry.key) break;
    heap[slot] = heap[parent];
    slot = parent;
  }
  heap[slot] = entry;
}

void OpenList::SiftDown(int32_t slot, OpenEntry entry) {
  for (;;) {
    int32_t first = 4 * slot + 1;
    int32_t best;
    if (first + 4 <= size) {
      // Full families are the common case: pick the least child without branches.
      const OpenEntry* c = heap + first;
      int32_t a = c[1].key < c[0].key ? 1 : 0;
      int32_t b = c[3].key < c[2].key ? 3 : 2;
      best = first + (c[b].key < c[a].key ? b : a);
    } else {
      if (first >= size) break;
      best = first;
      for (int32_t child = first + 1; child < size; ++child) {
        if (heap[child].key < heap[best].key) best = child;
      }
    }
    if (entry.key < heap[best].key) break;
    heap[slot] = heap[best];
    slot = best;
  }
  heap[slot] = entry;
}

void OpenList::DropStale() {
  int32_t kept = 0;
  for (int32_t i = 0; i < size; ++i) {
    if (IsLive(heap[i])) heap[kept++] = heap[i];
  }
  size = kept;
}

void OpenList::Compact() {
  DropStale();
  for (int32_t slot = (size - 2) / 4; slot >= 0; --slot) SiftDown(slot, heap[slot]);
}

void OpenList::Renumber() {
  DropStale();
  // A sorted array is a heap, and numbering it in order keeps every comparison as it was.
  std::sort(heap, heap + size,
            [](const OpenEntry& a, const OpenEntry& b) { return a.key < b.key; });
  for (int32_t i = 0; i < size; ++i) {
    heap[i].key = (heap[i].key & 0xFFFFFFFF00000000u) | static_cast<uint32_t>(i);
  }
  nextOrder = static_cast<uint32_t>(size);
}

bool OpenList::Push(int32_t node, float f, float g, bool opens) {
  if (opens && live >= capacity) return false;
  if (nextOrder >= orderLimit) Renumber();
  if (size >= room) Compact();
  if (size >= room) return false;  // only when room could not be twice the capacity
  SiftUp(size++, OpenEntry{OpenKey(f, nextOrder++), node, g});
  if (opens) ++live;
  return true;
}

int32_t OpenList::PopLowest() {
  while (live > 0) {
    OpenEntry top = heap[0];
    if (--size > 0) SiftDown(0, heap[size]);
    if (IsLive(top)) {
      --live;
      return top.node;
    }
  }
  size = 0;  // whatever is left is stale
  return -1;
}

// --- cell index ----------------------------------------------------------------------------

bool CellIndex::Reserve(int64_t cellCount) {
  Release();
  // Zeroed pages straight from the system: no pass over a large grid before the search starts.
  state = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(cellCount), 1));
  if (state == nullptr) return false;
  cells = cellCount;
  return true;
}

void CellIndex::Release() {
  std::free(state);
  state = nullptr;
  cells = 0;
  closedCount = 0;
}

void CellIndex::Clear() {
  if (state) std::memset(state, kUnseen, static_cast<size_t>(cells));
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

  Reset();
  delete[] costMap;
  settings = PlannerSettings{};
  costMap = new (std::nothrow) float[cells];
  if (costMap == nullptr || !BuildCostMap(s.costs, cells, costMap)) return false;

  int32_t cellCount = static_cast<int32_t>(cells);
  int32_t nodeCount = s.nodeCapacity > 0 ? s.nodeCapacity : cellCount;
  // A cell has at most one node, so no more than one entry per cell is ever open.
  int32_t openCount = s.openCapacity > 0 ? std::min(s.openCapacity, cellCount) : cellCount;
  if (!nodes.Reserve(nodeCount, cellCount) || !open.Reserve(openCount, nodes.pool) ||
      !closed.Reserve(cells)) {
    return false;
  }
  settings = s;
  settings.weight = ClampWeight(s.weight);
  path = nullptr;
  idle = true;
  return true;
}

void Planner::Start() {
  if (costMap == nullptr || closed.state == nullptr || open.heap == nullptr) return;
  if (nodes.used > 0) Reset();  // a second start begins a fresh search
  idle = false;
  path = nullptr;
  int32_t cell = static_cast<int32_t>(CellOf(settings.startX, settings.startY));
  Node* start = nodes.Allocate(cell);
  if (start == nullptr) return;
  *start = Node{nullptr, settings.startX, settings.startY, 0.0f, 0.0f, nullptr};
  closed.state[cell] = CellIndex::kOpen;
  open.Push(cell, start->f, start->g, true);
}

void Planner::Reset() {
  if (nodes.used > 0) closed.Clear();
  closed.closedCount = 0;
  nodes.used = 0;
  open.Clear();
  path = nullptr;
  idle = true;
}

int32_t Planner::PathLength() const {
  int32_t length = 0;
  for (const Node* n = path; n != nullptr; n = n->parent) ++length;
  return length;
}

// --- search --------------------------------------------------------------------------------

inline bool AStarPlanner::Visit(Node* from, int32_t fromCell, const NeighbourStep& step) {
  const PlannerSettings& s = settings;
  int32_t x = from->x + step.dx;
  int32_t y = from->y + step.dy;
  if (static_cast<uint32_t>(x) >= static_cast<uint32_t>(s.width) ||
      static_cast<uint32_t>(y) >= static_cast<uint32_t>(s.height)) {
    return true;
  }
  int32_t cell = fromCell + step.dx + step.dy * s.width;
  float cost = costMap[cell];
  if (cost == kBlockedCost) return true;
  float g = StepCost(from->g, cost, step.diagonal, s);
  Node* node = &nodes.pool[cell];
  uint8_t& state = closed.state[cell];
  uint8_t was = state;
  if (was == CellIndex::kUnseen) {
    if (nodes.Allocate(cell) == nullptr) return false;
    node->x = x;
    node->y = y;
    node->nextInBucket = nullptr;
  } else if (!(g < node->g)) {
    return true;
  }
  // New, reopened from closed, or open with a better cost: queued again under a fresh order.
  float f = Priority(g, x, y, s);
  node->parent = from;
  node->g = g;
  node->f = f;
  if (was == CellIndex::kClosed) --closed.closedCount;
  state = CellIndex::kOpen;
  return open.Push(cell, f, g, was != CellIndex::kOpen);
}

bool AStarPlanner::Search() {
  const int32_t goal = static_cast<int32_t>(CellOf(settings.goalX, settings.goalY));
  for (int32_t cell; (cell = open.PopLowest()) >= 0;) {
    Node* node = &nodes.pool[cell];
    if (cell == goal) {
      closed.state[cell] = CellIndex::kClosed;
      ++closed.closedCount;
      idle = true;
      path = node;
      return true;
    }
    bool ok;
    if (settings.allowDiagonal) {
      ok = true;
      for (const NeighbourStep& step : kNeighbourOrder) ok = ok && Visit(node, cell, step);
    } else {
      ok = Visit(node, cell, kNeighbourOrder[1]) && Visit(node, cell, kNeighbourOrder[3]) &&
           Visit(node, cell, kNeighbourOrder[4]) && Visit(node, cell, kNeighbourOrder[6]);
    }
    if (!ok) {
      idle = true;
      return false;
    }
    closed.state[cell] = CellIndex::kClosed;
    ++closed.closedCount;
  }
  idle = true;
  return true;
}

}  // namespace quillon
