// The planner exactly as first designed: a sorted ring buffer with a linear scan for the open
// list, a 256-bucket hash for the closed set and one allocation per node. Quadratic on large
// grids, but its expansion order is the definition the runtime's planner must reproduce.
// Shared by the tests and the benchmark, so everything here is inline.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "runtime/path/planner.h"
#include "runtime/values/dim_array.h"
#include "runtime/values/truncate.h"

namespace quillon::reference {

template <typename T>
class FixedDeque {
 public:
  FixedDeque() = default;
  FixedDeque(const FixedDeque&) = delete;
  FixedDeque& operator=(const FixedDeque&) = delete;
  virtual ~FixedDeque() { Free(); }

  bool Resize(int32_t n) {
    Free();
    if (n <= 0) return false;
    items = new T[n]();
    scratch = new T[n]();
    capacity = n;
    Clear();
    return true;
  }
  int32_t Size() const {
    if (empty) return 0;
    return tail > head ? tail - head : tail + capacity - head;
  }
  bool Full() const { return !empty && head == tail; }
  void Clear() {
    head = tail = 0;
    empty = true;
  }
  T& At(int32_t i) { return items[(head + i) % capacity]; }
  T& Back() { return items[(tail + capacity - 1) % capacity]; }
  bool PushBack(T v) {
    if (capacity == 0 || Full()) return false;
    items[tail] = v;
    tail = (tail + 1) % capacity;
    empty = false;
    return true;
  }
  bool PushFront(T v) {
    if (capacity == 0 || Full()) return false;
    head = (head + capacity - 1) % capacity;
    items[head] = v;
    empty = false;
    return true;
  }
  bool PopBack() {
    if (empty) return false;
    tail = (tail + capacity - 1) % capacity;
    empty = head == tail;
    return true;
  }
  bool PopFront() {
    if (empty) return false;
    head = (head + 1) % capacity;
    empty = head == tail;
    return true;
  }
  bool InsertAt(int32_t i, T v) {
    int32_t size = Size();
    if (i == size) return PushBack(v);
    if (i == 0) return PushFront(v);
    if (Full() || i < 0 || i > size) return false;
    int32_t k = 0;
    for (int32_t j = 0; j < i; ++j) scratch[k++] = At(j);
    scratch[k++] = v;
    for (int32_t j = i; j < size; ++j) scratch[k++] = At(j);
    Compacted(k);
    return true;
  }
  bool EraseAt(int32_t i) {
    int32_t size = Size();
    if (size > 0 && i == size - 1) return PopBack();
    if (size > 0 && i == 0) return PopFront();
    if (empty || i < 0 || i >= size) return false;
    int32_t k = 0;
    for (int32_t j = 0; j < size; ++j) {
      if (j != i) scratch[k++] = At(j);
    }
    Compacted(k);
    return true;
  }

  T* items = nullptr;
  T* scratch = nullptr;
  int32_t capacity = 0;
  int32_t head = 0;
  int32_t tail = 0;
  bool empty = true;

 private:
  void Compacted(int32_t size) {
    std::swap(items, scratch);
    head = 0;
    tail = size % capacity;
    empty = size == 0;
  }
  void Free() {
    delete[] items;
    delete[] scratch;
    items = scratch = nullptr;
    capacity = 0;
  }
};

class NodeHashTable {
 public:
  NodeHashTable() : buckets(new Node*[1]()), bits(0) {}
  NodeHashTable(const NodeHashTable&) = delete;
  NodeHashTable& operator=(const NodeHashTable&) = delete;
  virtual ~NodeHashTable() { delete[] buckets; }

  void SetBits(int32_t b) {
    b = b > 24 ? 24 : (b < 0 ? 0 : b);
    b &= ~1;
    delete[] buckets;
    buckets = new Node*[size_t{1} << b]();
    bits = b;
  }
  int32_t BucketCount() const { return 1 << bits; }
  int32_t BucketOf(int32_t x, int32_t y) const {
    int32_t s = bits / 2;
    int32_t m = (1 << s) - 1;
    return (x & m) | ((y & m) << s);
  }
  Node* Find(int32_t x, int32_t y) {
    foundLink = &buckets[BucketOf(x, y)];
    for (Node* n = *foundLink; n != nullptr; foundLink = &n->nextInBucket, n = n->nextInBucket) {
      if (n->x == x && n->y == y) return found = n;
    }
    return found = nullptr;
  }
  void EraseFound() {
    if (found == nullptr) return;
    *foundLink = found->nextInBucket;
    found->nextInBucket = nullptr;
    found = nullptr;
  }
  bool Insert(Node* node) {
    Node** head = &buckets[BucketOf(node->x, node->y)];
    for (Node* n = *head; n != nullptr; n = n->nextInBucket) {
      if (n == node) return false;
    }
    node->nextInBucket = *head;
    *head = node;
    return true;
  }
  template <typename Visit>
  void ForEach(Visit visit) {
    for (int32_t b = 0; b < BucketCount(); ++b) {
      for (Node* n = buckets[b]; n != nullptr; n = n->nextInBucket) visit(n);
    }
  }
  void Clear() {
    for (int32_t b = 0; b < BucketCount(); ++b) buckets[b] = nullptr;
  }

  Node** buckets;
  int32_t bits;

 private:
  Node** foundLink = nullptr;
  Node* found = nullptr;
};

class NodeFactory {
 public:
  NodeFactory() = default;
  NodeFactory(const NodeFactory&) = delete;
  NodeFactory& operator=(const NodeFactory&) = delete;
  virtual ~NodeFactory() { Free(); }

  bool Reserve(int32_t n) {
    if (n <= 0) return false;
    Free();
    pool = new Node*[n];
    for (int32_t i = 0; i < n; ++i) pool[i] = new Node();
    capacity = n;
    used = 0;
    return true;
  }
  Node* Allocate() { return used < capacity ? pool[used++] : nullptr; }
  void GiveBack() {
    if (used > 0) --used;
  }

  int32_t capacity = 0;
  Node** pool = nullptr;
  int32_t used = 0;

 private:
  void Free() {
    for (int32_t i = 0; i < capacity; ++i) delete pool[i];
    delete[] pool;
    pool = nullptr;
    capacity = 0;
  }
};

class Planner {
 public:
  Planner() = default;
  Planner(const Planner&) = delete;
  Planner& operator=(const Planner&) = delete;
  virtual ~Planner() {
    Planner::Reset();
    delete[] costMap;
  }
  virtual void Start() {
    idle = false;
    path = nullptr;
    Node* n = nodes.Allocate();
    if (n == nullptr) return;
    n->parent = nullptr;
    n->x = settings.startX;
    n->y = settings.startY;
    n->g = 0;
    open.PushBack(n);
  }
  virtual bool Search() = 0;
  virtual void Reset() {
    for (int32_t i = 0; i < open.Size(); ++i) {
      if (open.At(i) != nullptr) nodes.GiveBack();
    }
    closed.ForEach([this](Node*) { nodes.GiveBack(); });
    open.Clear();
    closed.Clear();
    path = nullptr;
    idle = true;
  }

  bool Init(const PlannerSettings& s) {
    if (s.startX < 0 || s.startX >= s.width || s.startY < 0 || s.startY >= s.height) return false;
    if (s.goalX < 0 || s.goalX >= s.width || s.goalY < 0 || s.goalY >= s.height) return false;
    if (s.startX == s.goalX && s.startY == s.goalY) return false;
    delete[] costMap;
    settings = PlannerSettings{};
    int32_t cells = s.width * s.height;
    costMap = new float[cells];
    float max = 0;
    for (int32_t i = 0; i < cells; ++i) {
      float v = s.costs[i] > FLT_MAX ? FLT_MAX : static_cast<float>(s.costs[i]);
      costMap[i] = v > 0 ? v : -1.0f;
      if (v > max) max = v;
    }
    if (!(max > 0)) return false;
    for (int32_t i = 0; i < cells; ++i) {
      if (costMap[i] != -1.0f) costMap[i] = 1.0f + costMap[i] / max;
    }
    nodes.Reserve(s.nodeCapacity != 0 ? s.nodeCapacity : cells);
    open.Resize(s.openCapacity != 0 ? s.openCapacity : cells);
    closed.SetBits(s.hashBits);
    settings = s;
    path = nullptr;
    settings.weight = ClampWeight(settings.weight);
    idle = true;
    return true;
  }
  float PathCost() const { return path ? path->g : -1.0f; }
  int32_t PathLength() const {
    int32_t n = 0;
    for (Node* p = path; p != nullptr; p = p->parent) ++n;
    return n;
  }
  int32_t OpenCount() const { return open.Size(); }
  int32_t ClosedCount() {
    int32_t n = 0;
    closed.ForEach([&n](Node*) { ++n; });
    return n;
  }

  bool idle = true;
  NodeFactory nodes;
  PlannerSettings settings{};
  float* costMap = nullptr;
  FixedDeque<Node*> open;
  NodeHashTable closed;
  Node* path = nullptr;
};

class AStarPlanner : public Planner {
 public:
  bool Search() override {
    while (open.Size() > 0) {
      Node* n = open.Back();
      open.PopBack();
      if (n->x == settings.goalX && n->y == settings.goalY) {
        closed.Insert(n);
        idle = true;
        path = n;
        return true;
      }
      for (const NeighbourStep& step : kNeighbourOrder) {
        if (step.diagonal && !settings.allowDiagonal) continue;
        if (!Visit(n, step)) return false;
      }
      closed.Insert(n);
    }
    idle = true;
    return true;
  }

 private:
  bool Visit(Node* n, const NeighbourStep& step) {
    int32_t x = n->x + step.dx;
    int32_t y = n->y + step.dy;
    if (x < 0 || x >= settings.width || y < 0 || y >= settings.height) return true;
    float c = costMap[x + y * settings.width];
    if (c == -1.0f) return true;
    float g = StepCost(n->g, c, step.diagonal, settings);
    float f = Priority(g, x, y, settings);
    if (Node* m = closed.Find(x, y)) {
      if (g < m->g) {
        closed.EraseFound();
        Update(m, n, g, f);
        return InsertOpen(m);
      }
      return true;
    }
    for (int32_t i = open.Size() - 1; i >= 0; --i) {
      Node* m = open.At(i);
      if (m->x != x || m->y != y) continue;
      if (g < m->g) {
        open.EraseAt(i);
        Update(m, n, g, f);
        return InsertOpen(m);
      }
      return true;
    }
    Node* m = nodes.Allocate();
    if (m == nullptr) return false;
    m->x = x;
    m->y = y;
    Update(m, n, g, f);
    return InsertOpen(m);
  }
  static void Update(Node* m, Node* parent, float g, float f) {
    m->parent = parent;
    m->g = g;
    m->f = f;
  }
  // Sorted from highest f at the front to lowest at the back; a new node goes in front of every
  // node of equal f, so the earliest of them is expanded first.
  bool InsertOpen(Node* m) {
    int32_t low = 0;
    int32_t high = open.Size();
    while (low < high) {
      int32_t mid = (low + high) / 2;
      if (open.At(mid)->f <= m->f)
        high = mid;
      else
        low = mid + 1;
    }
    return open.InsertAt(low, m);
  }
};

inline double FindPath(const DimArray<double>& grid, DimArray<double>& result, double weight,
                       double startX, double startY, double goalX, double goalY) {
  if (grid.dimensionCount != 2 || grid.elements == nullptr) return 0;
  PlannerSettings s{};
  s.startX = TruncateToInt32(startX);
  s.startY = TruncateToInt32(startY);
  s.goalX = TruncateToInt32(goalX);
  s.goalY = TruncateToInt32(goalY);
  s.diagonalCostSqrt2 = true;
  s.hashBits = 8;
  s.weight = ClampWeight(weight);
  s.width = grid.extent0;
  s.height = grid.extent1;
  s.costs = grid.elements;
  AStarPlanner planner;
  if (!planner.Init(s)) return 0;
  planner.Start();
  if (!planner.Search()) {
    planner.Reset();
    return 0;
  }
  int32_t n = planner.PathLength();
  if (n == 0) {
    result.Dimension(0, 0, 0, 0);
    return 0;
  }
  result.Dimension(n, 2, 0, 0);
  int32_t row = n - 1;
  for (Node* p = planner.path; p != nullptr; p = p->parent, --row) {
    result.At(row, 0, 0, 0) = p->x;
    result.At(row, 1, 0, 0) = p->y;
  }
  planner.Reset();
  return result.extent0;
}

}  // namespace quillon::reference
