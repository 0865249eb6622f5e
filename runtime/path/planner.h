// A* search over a cost grid: the planner behind FindPath.
//
// The answer is fixed by the expansion order: lowest f first, and among equal f the node put on
// the open list earliest. This planner reaches it with a binary heap keyed by (f, insertion
// order) and an index from cell to node, so large grids stay fast.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace quillon {

struct Node {
  Node* parent;
  int32_t x;
  int32_t y;
  float f;
  float g;
  Node* nextInBucket;
};

struct PlannerSettings {
  int32_t startX;
  int32_t startY;
  int32_t goalX;
  int32_t goalY;
  bool diagonalCostSqrt2;
  bool allowDiagonal;
  int32_t nodeCapacity;  // 0: one node per cell
  int32_t openCapacity;  // 0: one entry per cell
  int32_t hashBits;      // the heap and cell index need no hash; kept for callers that set it
  float weight;
  int32_t width;
  int32_t height;
  const double* costs;
};

constexpr float kBlockedCost = -1.0f;
constexpr float kDiagonalFactor = 1.4142137f;

struct NeighbourStep {
  int32_t dx;
  int32_t dy;
  bool diagonal;
};

// The visiting order decides ties, so it is part of the answer.
// clang-format off
inline constexpr NeighbourStep kNeighbourOrder[8] = {
    {-1, -1, true}, {0, -1, false}, {1, -1, true}, {1, 0, false},
    {-1, 0, false}, {-1, 1, true},  {0, 1, false}, {1, 1, true}};
// clang-format on

// 1 from 1 up, 0 below 0; NaN counts as 0 so the keys stay ordered.
float ClampWeight(double weight);

// Cost of entering a cell with cost c from a node whose cost so far is g.
inline float StepCost(float g, float c, bool diagonal, const PlannerSettings& s) {
  return (diagonal && s.diagonalCostSqrt2) ? g + c * kDiagonalFactor : g + c;
}

// f = g + weight (h - g), h the Manhattan distance to the goal.
inline float Priority(float g, int32_t x, int32_t y, const PlannerSettings& s) {
  int32_t h = std::abs(s.goalX - x) + std::abs(s.goalY - y);
  return g + s.weight * (static_cast<float>(h) - g);
}

// Cell value narrowed to float: 0, negative or NaN is blocked (-1); positive values become
// 1 + value / max in (1, 2]. Values beyond float range count as the float maximum. Returns false
// when no cell is positive.
bool BuildCostMap(const double* costs, int64_t cells, float* costMap);

// Hands out nodes in order from one block.
class NodeFactory {
 public:
  NodeFactory() = default;
  NodeFactory(const NodeFactory&) = delete;
  NodeFactory& operator=(const NodeFactory&) = delete;
  virtual ~NodeFactory();

  // Drops every node and makes room for n; n <= 0 (or no memory) does nothing and fails.
  bool Reserve(int32_t n);
  Node* Allocate() { return used < capacity ? &pool[used++] : nullptr; }
  int32_t IndexOf(const Node* node) const { return static_cast<int32_t>(node - pool); }

  int32_t capacity = 0;
  Node* pool = nullptr;
  int32_t used = 0;
};

struct OpenEntry {
  float f;
  int32_t node;
  uint64_t order;
};

// The open list: a binary heap on (f, order) and each node's place in it.
struct OpenList {
  OpenEntry* heap = nullptr;
  int32_t* slotOfNode = nullptr;  // -1 for a node that is not open
  int32_t size = 0;
  int32_t capacity = 0;
  uint64_t nextOrder = 0;

  OpenList() = default;
  OpenList(const OpenList&) = delete;
  OpenList& operator=(const OpenList&) = delete;
  ~OpenList() { Release(); }

  bool Reserve(int32_t entries, int32_t nodes);
  void Release();
  bool Contains(int32_t node) const { return slotOfNode[node] >= 0; }
  bool Push(int32_t node, float f);  // false when full
  int32_t PopLowest();
  // Gives an open node a new key, as if it were taken out and put in again.
  void Requeue(int32_t node, float f);

 private:
  void Place(int32_t slot, const OpenEntry& entry);
  void SiftUp(int32_t slot);
  void SiftDown(int32_t slot);
};

// Which node holds each cell, and how many nodes are closed.
struct CellIndex {
  int32_t* nodeOfCell = nullptr;  // -1 for a cell no node has reached
  int64_t cells = 0;
  int32_t closedCount = 0;

  CellIndex() = default;
  CellIndex(const CellIndex&) = delete;
  CellIndex& operator=(const CellIndex&) = delete;
  ~CellIndex() { Release(); }

  bool Reserve(int64_t cellCount);
  void Release();
};

class Planner {
 public:
  Planner() = default;
  Planner(const Planner&) = delete;
  Planner& operator=(const Planner&) = delete;
  virtual ~Planner();

  virtual void Start();
  virtual bool Search() = 0;
  virtual void Reset();

  bool Init(const PlannerSettings& settings);
  float PathCost() const { return path ? path->g : -1.0f; }
  int32_t PathLength() const;
  int32_t OpenCount() const { return open.size; }
  int32_t ClosedCount() const { return closed.closedCount; }

  bool idle = true;
  NodeFactory nodes;
  PlannerSettings settings{};
  float* costMap = nullptr;
  OpenList open;
  CellIndex closed;
  Node* path = nullptr;

 protected:
  int64_t CellOf(int32_t x, int32_t y) const {
    return x + static_cast<int64_t>(y) * settings.width;
  }
};

class AStarPlanner : public Planner {
 public:
  bool Search() override;

 private:
  // False when the node pool or the open list has run out.
  bool Visit(Node* from, const NeighbourStep& step);
};

}  // namespace quillon
