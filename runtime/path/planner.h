// A* search over a cost grid: the planner behind FindPath.
//
// The answer is fixed by the expansion order: lowest f first, and among equal f the node put on
// the open list earliest. This planner reaches it with an open list keyed by (f, insertion
// order) and lazy deletion, and flat per-cell arrays with a blocked border, so large grids stay
// fast.
#pragma once

#include <bit>
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
  int32_t hashBits;      // the per-cell arrays need no hash; kept for callers that set it
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

// Cell (x, y) of a width x height grid sits at (x + 1) + (y + 1) * (width + 2) of the cost map
// and of the search's per-cell arrays: a blocked border all round spares the bounds checks.
inline int64_t PaddedCellCount(int32_t width, int32_t height) {
  return (static_cast<int64_t>(width) + 2) * (static_cast<int64_t>(height) + 2);
}

// Fills the padded cost map from width x height costs (x first): each value narrowed to float;
// 0, negative or NaN is blocked (-1), as is the border; positive values become 1 + value / max in
// (1, 2]. Values beyond float range count as the float maximum. Returns false when no cell is
// positive.
bool BuildCostMap(const double* costs, int32_t width, int32_t height, float* costMap);

// Counts the nodes of a search (one per cell reached, at most `capacity`) and builds the chain
// of nodes of a found path. A reached cell's cost and parent live in the CellIndex, so the pool
// holds only the path.
class NodeFactory {
 public:
  NodeFactory() = default;
  NodeFactory(const NodeFactory&) = delete;
  NodeFactory& operator=(const NodeFactory&) = delete;
  virtual ~NodeFactory();

  // Allows n nodes, none in use; n <= 0 does nothing and fails.
  bool Reserve(int32_t n);
  // One more node in use; false when `capacity` are.
  bool Take() { return used < capacity ? (++used, true) : false; }
  // Room for `length` nodes at the start of the pool (kept for the next path; what it held is
  // lost); null when length <= 0 or without memory.
  Node* Chain(int32_t length);

  int32_t capacity = 0;
  Node* pool = nullptr;
  int32_t poolSize = 0;
  int32_t used = 0;
};

// Heap key: f in the high half (bit pattern ordered like the float), push order in the low half,
// so one integer comparison gives lowest f first and, among equal f, the earliest push.
inline uint64_t OpenKey(float f, uint32_t order) {
  uint32_t bits = std::bit_cast<uint32_t>(f + 0.0f);  // -0 sorts as 0
  bits ^= (bits >> 31) ? 0xFFFFFFFFu : 0x80000000u;
  return (static_cast<uint64_t>(bits) << 32) | order;
}

// What the search knows of a reached cell; one record, so an update touches one cache line.
struct CellRecord {
  float g;         // cost so far
  int32_t parent;  // the cell it was reached from; -1 for the start
};

struct OpenEntry {
  uint64_t key;
  int32_t cell;
  float g;  // the cell's g when pushed: it only ever falls, so an older entry no longer matches
};

// Open entries whose f lies ahead of the front: bucket b holds f in [b, b + 1) / 16, so only
// one bucket at a time is sorted, instead of every entry kept in a large heap.
struct OpenBucket {
  OpenEntry* items = nullptr;
  int32_t count = 0;
  int32_t room = 0;
};

// Bucket of an f of the search (finite, not negative): rises with f.
inline int64_t BucketOf(float f) { return static_cast<int64_t>(f * 16.0f); }

// The open list: lazy deletion over five parts, each in key order at its front: a 4-ary min-heap;
// a run of entries that arrived in rising key order; a few entries that arrived below the heap's
// top (as when a greedy search heads for the goal), sorted; a ring of buckets ahead of the front;
// and the lowest bucket taken from the ring, sorted. A cell whose key changes is pushed again and
// its older entries are dropped when they surface, so entries never need to be found. An entry
// above the run's last one joins the run; one below a large heap's top joins the few, whose highest
// then goes to the heap when they are too many; once the heap holds a frontier, one whose bucket
// lies within the ring's reach (beyond `flushedTo`, at most kRingSize further) waits in the
// ring; the rest go to the heap. When the sorted bucket is spent and the ring's lowest bucket is
// not above the heap's top, that bucket is sorted next; then the lowest of the fronts is taken.
// `live` counts open cells (at most `capacity`); the entries are those plus stale ones.
struct OpenList {
  static constexpr int32_t kRingSize = 64;
  static constexpr int32_t kSmallHeap = 16;  // below this the heap is cheaper than the ring
  OpenEntry* heap = nullptr;
  int32_t size = 0;  // heap entries, stale ones included
  int32_t heapRoom = 0;
  OpenEntry* run = nullptr;
  int32_t runHead = 0;  // the run is run[runHead .. runTail)
  int32_t runTail = 0;
  int32_t runRoom = 0;
  OpenBucket ring[kRingSize];  // bucket b in ring[b % kRingSize]
  uint64_t ringFilled = 0;     // bit i: ring[i] holds entries
  int32_t ringCount = 0;       // entries in the ring
  int64_t flushedTo = 0;       // the bucket last sorted; buckets up to it go to the heap
  OpenBucket sorted;           // that bucket, taken from sorted.items[sortedHead .. count)
  int32_t sortedHead = 0;
  uint64_t lastKey = OpenKey(0.0f, 0);  // of the entry taken last
  static constexpr int32_t kFewSize = 8;
  OpenEntry few[kFewSize];  // falling: the lowest last
  int32_t fewCount = 0;
  int32_t entries = 0;     // in all parts
  int32_t maxEntries = 0;  // in all parts: 2 x capacity (must exceed it), compacted when full
  int32_t capacity = 0;
  int32_t live = 0;
  uint32_t nextOrder = 0;
  uint32_t orderLimit = UINT32_MAX;       // orders are renumbered before they reach this
  const CellRecord* costSoFar = nullptr;  // each cell's g, against which entries are checked

  OpenList() = default;
  OpenList(const OpenList&) = delete;
  OpenList& operator=(const OpenList&) = delete;
  ~OpenList() { Release(); }

  // Room for `entries` open cells whose g is in `cells`; false (and nothing held) when
  // entries <= 0 or without memory.
  bool Reserve(int32_t entries, const CellRecord* cells);
  void Release();  // frees the arrays; Push fails until the next Reserve
  void Clear();    // empties the list, keeping its arrays
  bool IsLive(const OpenEntry& entry) const { return costSoFar[entry.cell].g == entry.g; }
  int32_t Entries() const { return entries; }
  // Queues a cell under (f, next order). `opens` says the cell was not open before; that fails
  // when `capacity` cells are open already. False also without memory.
  bool Push(int32_t cell, float f, float g, bool opens) {
    if (opens && live >= capacity) return false;
    uint64_t key = OpenKey(f, nextOrder);
    // Keys that arrive in rising order (as on grids of equal costs) queue in the run for free;
    // only the others pay for the ring or the heap.
    bool rising = runHead == runTail || run[runTail - 1].key < key;
    if (rising && runTail < runRoom && nextOrder < orderLimit && Entries() < maxEntries) {
      run[runTail++] = OpenEntry{key, cell, g};
      ++entries;
      ++nextOrder;
      if (opens) ++live;
      return true;
    }
    return PushSlowly(cell, f, g, opens);
  }
  // Takes the open cell of lowest key, dropping stale entries on the way; -1 when none is open.
  int32_t PopLowest();

 private:
  bool PushSlowly(int32_t cell, float f, float g, bool opens);
  bool PushToHeap(const OpenEntry& entry);
  bool PushToRing(int64_t bucket, const OpenEntry& entry);
  bool PushToFew(const OpenEntry& entry);
  OpenEntry TakeFront();             // while the ring, the sorted bucket or the few hold entries
  int64_t LowestRingBucket() const;  // only while ringFilled != 0
  void SortNextBucket();
  void EverythingToHeap();
  void SiftUp(int32_t slot, OpenEntry entry);
  void SiftDown(int32_t slot, OpenEntry entry);
  void RemoveRoot();
  void ShiftRun();
  bool RunHasRoom();
  bool HeapHasRoom();
  void DropStale();
  void Compact();
  void Renumber();
};

// The search's record of every cell: whether a node has reached it and whether that node is
// open or closed, its cost so far and the cell it was reached from.
struct CellIndex {
  enum : uint8_t { kUnseen = 0, kOpen = 1, kClosed = 2 };
  uint8_t* state = nullptr;
  CellRecord* record = nullptr;  // valid once the cell is reached
  int64_t cells = 0;
  int32_t closedCount = 0;

  CellIndex() = default;
  CellIndex(const CellIndex&) = delete;
  CellIndex& operator=(const CellIndex&) = delete;
  ~CellIndex() { Release(); }

  // cellCount unseen cells; false (and nothing held) without memory.
  bool Reserve(int64_t cellCount);
  void Release();
  void Clear();  // every cell unseen again
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
  float PathCost() const { return pathCell >= 0 ? closed.record[pathCell].g : -1.0f; }
  int32_t PathLength() const;
  // PathLength(), walking the path once and noting its steps in the cell states, which the
  // finished search no longer needs (the next Start clears them).
  int32_t NotePath();
  // After NotePath: the path's cells from the start (row 0) to the goal (row length - 1); length
  // is what NotePath returned. Without notes nothing is written.
  void CopyPathCells(int32_t length, double* xs, double* ys) const;
  // Cost of entering cell (x, y) after Init: -1 when blocked or outside.
  float CellCost(int32_t x, int32_t y) const {
    bool inside = costMap && x >= 0 && x < settings.width && y >= 0 && y < settings.height;
    return inside ? costMap[CellOf(x, y)] : kBlockedCost;
  }
  int32_t OpenCount() const { return open.live; }
  int32_t ClosedCount() const { return closed.closedCount; }

  bool idle = true;
  NodeFactory nodes;
  PlannerSettings settings{};
  float* costMap = nullptr;
  OpenList open;
  CellIndex closed;
  Node* path = nullptr;
  // The goal cell after a successful search, else -1; the path runs back along the parents in
  // closed.record.
  int32_t pathCell = -1;
  int32_t notedLength = 0;  // steps noted by NotePath, plus one
  // False: a found path is left in the cell records only and `path` stays null. A caller that
  // copies the cells out (FindPath) saves building a node per path cell.
  bool chainNodes = true;

 protected:
  int64_t CellOf(int32_t x, int32_t y) const {
    return x + 1 + (static_cast<int64_t>(y) + 1) * stride;
  }
  int32_t stride = 0;  // a row of the padded cell arrays: width + 2
};

class AStarPlanner : public Planner {
 public:
  bool Search() override;

 private:
  // The search loop for one kind of step set and priority; false when the node pool or the open
  // list has run out.
  template <bool kDiagonal, bool kHeuristic>
  bool Expand();
  // Builds the chain of nodes from the goal cell back to the start; false without memory.
  bool TracePath(int32_t goal);
};

}  // namespace quillon
