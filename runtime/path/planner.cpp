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

namespace {

// Four cells at a time: the same comparisons and the same correctly rounded division per lane,
// so the map is bit for bit the one a cell-by-cell loop gives.
using Float4 = float __attribute__((vector_size(16)));
using Double4 = double __attribute__((vector_size(32)));

float NarrowCost(double value) {
  if (!(value > 0.0)) return kBlockedCost;  // 0, negative or NaN
  float cost = value > FLT_MAX ? FLT_MAX : static_cast<float>(value);
  return cost > 0.0f ? cost : kBlockedCost;  // a tiny value that narrows to 0
}

}  // namespace

namespace {

// Narrows one row into `out`, keeping the largest cost in max4 / max.
void NarrowRow(const double* costs, int32_t width, float* out, Float4& max4, float& max) {
  const int32_t whole = width - width % 4;
  for (int32_t i = 0; i < whole; i += 4) {
    Double4 value;
    __builtin_memcpy(&value, costs + i, sizeof value);
    // Only values float can hold are narrowed; what is not positive becomes 0, then blocked.
    value = value > FLT_MAX ? FLT_MAX : (value > 0.0 ? value : 0.0);
    Float4 cost = __builtin_convertvector(value, Float4);
    cost = cost > 0.0f ? cost : kBlockedCost;
    __builtin_memcpy(out + i, &cost, sizeof cost);
    max4 = max4 < cost ? cost : max4;
  }
  for (int32_t i = whole; i < width; ++i) {
    out[i] = NarrowCost(costs[i]);
    max = std::max(max, out[i]);
  }
}

}  // namespace

namespace {

// A row of blocked cells and cells of cost `only`, written as -1 and 2: what they cost when no
// other positive value exists (1 + only / only). False, with the row written in part, on another
// value.
bool OneCostRow(const double* costs, int32_t width, float only, float* out) {
  const int32_t whole = width - width % 4;
  using Int4 = int32_t __attribute__((vector_size(16)));
  Int4 others = {0, 0, 0, 0};  // checked once per row: a row of another value is rare
  for (int32_t i = 0; i < whole; i += 4) {
    Double4 value;
    __builtin_memcpy(&value, costs + i, sizeof value);
    value = value > FLT_MAX ? FLT_MAX : (value > 0.0 ? value : 0.0);
    Float4 cost = __builtin_convertvector(value, Float4);
    others |= cost > 0.0f && cost != only;
    cost = cost > 0.0f ? 2.0f : kBlockedCost;
    __builtin_memcpy(out + i, &cost, sizeof cost);
  }
  if ((others[0] | others[1] | others[2] | others[3]) != 0) return false;
  for (int32_t i = whole; i < width; ++i) {
    float cost = NarrowCost(costs[i]);
    if (cost > 0.0f && cost != only) return false;
    out[i] = cost > 0.0f ? 2.0f : kBlockedCost;
  }
  return true;
}

// Open cells of a narrowed map become 1 + value / max.
void ScaleCosts(float* costs, int64_t count, float max) {
  const int64_t whole = count - count % 4;
  const Float4 one = {1.0f, 1.0f, 1.0f, 1.0f};
  const Float4 divisor = {max, max, max, max};
  for (int64_t i = 0; i < whole; i += 4) {
    Float4 cost;
    __builtin_memcpy(&cost, costs + i, sizeof cost);
    cost = cost > 0.0f ? one + cost / divisor : cost;
    __builtin_memcpy(costs + i, &cost, sizeof cost);
  }
  for (int64_t i = whole; i < count; ++i) {
    if (costs[i] > 0.0f) costs[i] = 1.0f + costs[i] / max;
  }
}

}  // namespace

bool BuildCostMap(const double* costs, int32_t width, int32_t height, float* costMap) {
  const int64_t stride = static_cast<int64_t>(width) + 2;
  const int64_t cells = PaddedCellCount(width, height);
  float only = kBlockedCost;  // the first positive value
  for (int64_t i = 0, n = static_cast<int64_t>(width) * height; i < n && only <= 0.0f; ++i) {
    only = NarrowCost(costs[i]);
  }
  if (only <= 0.0f) return false;
  std::fill(costMap, costMap + stride + 1, kBlockedCost);  // the top border and a left one
  // Grids of walls and one floor cost (the usual case) are done in this pass; the first row
  // with another value turns to the general way.
  int32_t y = 0;
  auto row = [&](int32_t y) { return costMap + (y + 1) * stride + 1; };
  auto gridRow = [&](int32_t y) { return costs + static_cast<int64_t>(y) * width; };
  for (; y < height && OneCostRow(gridRow(y), width, only, row(y)); ++y) {
    row(y)[width] = row(y)[width + 1] = kBlockedCost;  // this row's right border, the next left
  }
  const int32_t oneCostRows = y;
  Float4 max4 = {only, only, only, only};
  float max = only;
  for (; y < height; ++y) {
    NarrowRow(gridRow(y), width, row(y), max4, max);
    row(y)[width] = row(y)[width + 1] = kBlockedCost;
  }
  std::fill(costMap + (height + 1) * stride + 1, costMap + cells, kBlockedCost);
  if (oneCostRows == height) return true;
  max = std::max(max, std::max(std::max(max4[0], max4[1]), std::max(max4[2], max4[3])));
  // The first rows hold 2 for `only`; the rest narrowed values.
  const int64_t firstNarrowed = (oneCostRows + 1) * stride;
  const float onlyCost = 1.0f + only / max;
  for (int64_t i = 0; i < firstNarrowed; ++i) {
    if (costMap[i] > 0.0f) costMap[i] = onlyCost;
  }
  ScaleCosts(costMap + firstNarrowed, cells - firstNarrowed, max);
  return true;
}

// --- nodes ---------------------------------------------------------------------------------

NodeFactory::~NodeFactory() { delete[] pool; }

bool NodeFactory::Reserve(int32_t n) {
  if (n <= 0) return false;
  capacity = n;
  used = 0;
  return true;
}

Node* NodeFactory::Chain(int32_t length) {
  if (length <= 0) return nullptr;
  if (length > poolSize) {
    delete[] pool;
    pool = new (std::nothrow) Node[length];
    poolSize = pool ? length : 0;
  }
  return pool;
}

// --- open list -----------------------------------------------------------------------------

namespace {

constexpr int32_t kFirstRoom = 16;
constexpr int32_t kFirstRunRoom = 256;
constexpr int32_t kBucketMost = 4096;

// The least of a slot's children; `first` is the first child, `end` one past the last.
inline int32_t LeastChild(const OpenEntry* heap, int32_t first, int32_t end) {
  if (first + 4 <= end) {
    // Full families are the common case: pick without branches.
    const OpenEntry* c = heap + first;
    int32_t a = c[1].key < c[0].key ? 1 : 0;
    int32_t b = c[3].key < c[2].key ? 3 : 2;
    return first + (c[b].key < c[a].key ? b : a);
  }
  int32_t best = first;
  for (int32_t child = first + 1; child < end; ++child) {
    if (heap[child].key < heap[best].key) best = child;
  }
  return best;
}

}  // namespace

bool OpenList::Reserve(int32_t entries, const CellRecord* cells) {
  Release();
  if (entries <= 0) return false;
  maxEntries =
      static_cast<int32_t>(std::min<int64_t>(2 * static_cast<int64_t>(entries), INT32_MAX));
  // The arrays start small and double: most searches keep only a thin frontier open.
  int32_t first = std::min(maxEntries, kFirstRoom);
  // The run slides back to the front of its array whenever it reaches the end, so it gets
  // room for a while at once.
  int32_t firstRun = std::min(maxEntries, kFirstRunRoom);
  heap = new (std::nothrow) OpenEntry[first];
  run = new (std::nothrow) OpenEntry[firstRun];
  if (heap == nullptr || run == nullptr) {
    Release();
    return false;
  }
  heapRoom = first;
  runRoom = firstRun;
  capacity = entries;
  costSoFar = cells;
  return true;
}

void OpenList::Release() {
  delete[] heap;
  delete[] run;
  heap = run = nullptr;
  for (OpenBucket& bucket : ring) {
    delete[] bucket.items;
    bucket = OpenBucket{};
  }
  delete[] sorted.items;
  sorted = OpenBucket{};
  heapRoom = runRoom = maxEntries = capacity = 0;
  costSoFar = nullptr;
  Clear();
}

void OpenList::Clear() {
  size = runHead = runTail = live = entries = 0;
  for (OpenBucket& bucket : ring) bucket.count = 0;
  ringFilled = 0;
  ringCount = 0;
  flushedTo = 0;
  sorted.count = sortedHead = 0;
  fewCount = 0;
  lastKey = OpenKey(0.0f, 0);
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
  for (int32_t first; (first = 4 * slot + 1) < size;) {
    int32_t best = LeastChild(heap, first, size);
    if (entry.key < heap[best].key) break;
    heap[slot] = heap[best];
    slot = best;
  }
  heap[slot] = entry;
}

void OpenList::RemoveRoot() {
  // The last entry nearly always belongs near the bottom: move the hole all the way down along
  // the least children, then let the last entry rise from there.
  OpenEntry last = heap[--size];
  int32_t hole = 0;
  for (int32_t first; (first = 4 * hole + 1) < size;) {
    int32_t best = LeastChild(heap, first, size);
    heap[hole] = heap[best];
    hole = best;
  }
  SiftUp(hole, last);
}

namespace {

// Doubles `room` (up to `most`, from kFirstRoom when 0) keeping the first `keep` entries; false
// without memory.
bool Grow(OpenEntry*& items, int32_t& room, int32_t most, int32_t keep) {
  int64_t wanted = room > 0 ? 2 * static_cast<int64_t>(room) : kFirstRoom;
  int32_t grown = static_cast<int32_t>(std::min<int64_t>(wanted, most));
  if (grown <= room) return false;
  OpenEntry* bigger = new (std::nothrow) OpenEntry[grown];
  if (bigger == nullptr) return false;
  std::copy(items, items + keep, bigger);
  delete[] items;
  items = bigger;
  room = grown;
  return true;
}

// The f of a key (the inverse of OpenKey's high half).
inline float KeyF(uint64_t key) {
  uint32_t bits = static_cast<uint32_t>(key >> 32);
  bits ^= (bits >> 31) ? 0x80000000u : 0xFFFFFFFFu;
  return std::bit_cast<float>(bits);
}

}  // namespace

// Moves the run to the front of its array.
void OpenList::ShiftRun() {
  std::copy(run + runHead, run + runTail, run);
  runTail -= runHead;
  runHead = 0;
}

bool OpenList::RunHasRoom() {
  if (runTail < runRoom) return true;
  // Sliding costs the run's length, so only once half the array lies behind it.
  if (runHead < runRoom / 2 && Grow(run, runRoom, maxEntries, runTail)) return true;
  if (runHead == 0) return false;
  ShiftRun();
  return true;
}

// The heap keeps room for the ring's and the sorted bucket's entries too, so moving them over
// never needs memory.
bool OpenList::HeapHasRoom() {
  while (Entries() - (runTail - runHead) >= heapRoom) {
    if (!Grow(heap, heapRoom, maxEntries, size)) return false;
  }
  return true;
}

bool OpenList::PushToHeap(const OpenEntry& entry) {
  if (!HeapHasRoom()) return false;
  SiftUp(size++, entry);
  return true;
}

bool OpenList::PushToRing(int64_t bucket, const OpenEntry& entry) {
  if (!HeapHasRoom()) return false;
  int32_t slot = static_cast<int32_t>(bucket & (kRingSize - 1));
  OpenBucket& b = ring[slot];
  if (b.count == b.room) {
    // A bucket holds a slice of the frontier; beyond that the heap takes the rest, so the
    // ring's arrays stay small.
    if (b.room >= kBucketMost) return PushToHeap(entry);
    if (!Grow(b.items, b.room, maxEntries, b.count)) return false;
  }
  b.items[b.count++] = entry;
  ringFilled |= uint64_t{1} << slot;
  ++ringCount;
  return true;
}

int64_t OpenList::LowestRingBucket() const {
  // Bucket flushedTo + 1 + k sits in slot (flushedTo + 1 + k) % kRingSize.
  int shift = static_cast<int>((flushedTo + 1) & (kRingSize - 1));
  return flushedTo + 1 + std::countr_zero(std::rotr(ringFilled, shift));
}

bool OpenList::PushToFew(const OpenEntry& entry) {
  if (!HeapHasRoom()) return false;
  if (fewCount == kFewSize) {  // the highest makes way
    SiftUp(size++, few[0]);
    std::copy(few + 1, few + fewCount, few);
    --fewCount;
  }
  int32_t j = fewCount++;
  for (; j > 0 && few[j - 1].key < entry.key; --j) few[j] = few[j - 1];
  few[j] = entry;
  return true;
}

void OpenList::SortNextBucket() {
  int64_t next = LowestRingBucket();
  int32_t slot = static_cast<int32_t>(next & (kRingSize - 1));
  sorted.count = sortedHead = 0;
  std::swap(sorted, ring[slot]);  // the spent array serves the ring
  ringFilled &= ~(uint64_t{1} << slot);
  ringCount -= sorted.count;
  flushedTo = next;
  OpenEntry* items = sorted.items;
  if (sorted.count > 24) {
    std::sort(items, items + sorted.count,
              [](const OpenEntry& a, const OpenEntry& b) { return a.key < b.key; });
    return;
  }
  for (int32_t i = 1; i < sorted.count; ++i) {  // a bucket holds a few entries
    OpenEntry entry = items[i];
    int32_t j = i;
    for (; j > 0 && entry.key < items[j - 1].key; --j) items[j] = items[j - 1];
    items[j] = entry;
  }
}

void OpenList::EverythingToHeap() {
  for (int32_t i = 0; i < fewCount; ++i) SiftUp(size++, few[i]);
  fewCount = 0;
  for (int32_t i = sortedHead; i < sorted.count; ++i) SiftUp(size++, sorted.items[i]);
  sorted.count = sortedHead = 0;
  for (OpenBucket& bucket : ring) {
    for (int32_t i = 0; i < bucket.count; ++i) SiftUp(size++, bucket.items[i]);
    bucket.count = 0;
  }
  ringFilled = 0;
  ringCount = 0;
}

void OpenList::DropStale() {
  int32_t kept = 0;
  for (int32_t i = 0; i < size; ++i) {
    if (IsLive(heap[i])) heap[kept++] = heap[i];
  }
  size = kept;
  kept = 0;
  for (int32_t i = runHead; i < runTail; ++i) {
    if (IsLive(run[i])) run[kept++] = run[i];
  }
  runHead = 0;
  runTail = kept;
  kept = 0;
  for (int32_t i = sortedHead; i < sorted.count; ++i) {
    if (IsLive(sorted.items[i])) sorted.items[kept++] = sorted.items[i];
  }
  sortedHead = 0;
  sorted.count = kept;
  kept = 0;
  for (int32_t i = 0; i < fewCount; ++i) {
    if (IsLive(few[i])) few[kept++] = few[i];
  }
  fewCount = kept;
  for (int32_t slot = 0; slot < kRingSize; ++slot) {
    OpenBucket& b = ring[slot];
    kept = 0;
    for (int32_t i = 0; i < b.count; ++i) {
      if (IsLive(b.items[i])) b.items[kept++] = b.items[i];
    }
    ringCount -= b.count - kept;
    b.count = kept;
    if (kept == 0) ringFilled &= ~(uint64_t{1} << slot);
  }
  entries = size + runTail + sorted.count + fewCount + ringCount;
}

void OpenList::Compact() {
  DropStale();
  if (size < 2) return;
  for (int32_t slot = (size - 2) / 4; slot >= 0; --slot) SiftDown(slot, heap[slot]);
}

void OpenList::Renumber() {
  EverythingToHeap();
  DropStale();
  // Sorted, the heap is still a heap; numbering both sorted sequences in their merged order
  // keeps every comparison as it was.
  std::sort(heap, heap + size,
            [](const OpenEntry& a, const OpenEntry& b) { return a.key < b.key; });
  uint32_t order = 0;
  auto renumber = [&order](OpenEntry& entry) {
    entry.key = (entry.key & 0xFFFFFFFF00000000u) | order++;
  };
  int32_t i = 0, j = runHead;
  while (i < size || j < runTail) {
    bool fromHeap = j == runTail || (i < size && heap[i].key < run[j].key);
    renumber(fromHeap ? heap[i++] : run[j++]);
  }
  nextOrder = order;
}

bool OpenList::PushSlowly(int32_t cell, float f, float g, bool opens) {
  if (opens && live >= capacity) return false;
  if (nextOrder >= orderLimit) Renumber();
  if (Entries() >= maxEntries) {
    Compact();
    if (Entries() >= maxEntries) return false;  // only when 2 x capacity overflows
  }
  OpenEntry entry{OpenKey(f, nextOrder), cell, g};
  // Keys that arrive in rising order (as on grids of equal costs) queue in the run for free;
  // only the others pay for the ring or the heap.
  if (runHead == runTail || run[runTail - 1].key < entry.key) {
    if (!RunHasRoom()) return false;
    run[runTail++] = entry;
  } else if (size >= kSmallHeap && entry.key < heap[0].key) {
    if (!PushToFew(entry)) return false;
  } else {
    int64_t bucket = BucketOf(f);
    // With the ring empty its reach may move on, to the front of the search.
    if (ringFilled == 0) flushedTo = std::max(flushedTo, BucketOf(KeyF(lastKey)));
    bool ahead = size >= kSmallHeap && bucket > flushedTo && bucket - flushedTo <= kRingSize;
    if (!(ahead ? PushToRing(bucket, entry) : PushToHeap(entry))) return false;
  }
  ++entries;
  ++nextOrder;
  if (opens) ++live;
  return true;
}

OpenEntry OpenList::TakeFront() {
  // The ring's lowest bucket may hold what comes first once the sorted one is spent.
  if (ringFilled != 0 && sortedHead == sorted.count &&
      (size == 0 || BucketOf(KeyF(heap[0].key)) >= LowestRingBucket())) {
    SortNextBucket();
  }
  uint64_t runKey = runHead < runTail ? run[runHead].key : UINT64_MAX;
  uint64_t sortedKey = sortedHead < sorted.count ? sorted.items[sortedHead].key : UINT64_MAX;
  uint64_t heapKey = size > 0 ? heap[0].key : UINT64_MAX;  // orders stay below UINT32_MAX
  uint64_t fewKey = fewCount > 0 ? few[fewCount - 1].key : UINT64_MAX;
  OpenEntry top;
  if (fewKey < runKey && fewKey < heapKey && fewKey < sortedKey) {
    top = few[--fewCount];
  } else if (sortedKey < runKey && sortedKey < heapKey) {
    top = sorted.items[sortedHead++];
  } else if (runKey < heapKey) {
    top = run[runHead++];
  } else {
    top = heap[0];
    RemoveRoot();
  }
  return top;
}

int32_t OpenList::PopLowest() {
  while (live > 0) {
    OpenEntry top;
    if (ringFilled != 0 || sortedHead < sorted.count || fewCount > 0) {
      top = TakeFront();
    } else if (runHead < runTail && (size == 0 || run[runHead].key < heap[0].key)) {
      top = run[runHead++];
    } else {
      top = heap[0];
      RemoveRoot();
    }
    if (runHead == runTail) runHead = runTail = 0;
    --entries;
    if (IsLive(top)) {
      --live;
      lastKey = top.key;
      return top.cell;
    }
  }
  // Whatever is left is stale.
  size = runHead = runTail = entries = 0;
  for (OpenBucket& bucket : ring) bucket.count = 0;
  ringFilled = 0;
  ringCount = 0;
  sorted.count = sortedHead = fewCount = 0;
  return -1;
}

// --- cell index ----------------------------------------------------------------------------

bool CellIndex::Reserve(int64_t cellCount) {
  Release();
  state = new (std::nothrow) uint8_t[cellCount];
  record = new (std::nothrow) CellRecord[cellCount];
  if (state == nullptr || record == nullptr) {
    Release();
    return false;
  }
  cells = cellCount;
  Clear();
  return true;
}

void CellIndex::Release() {
  delete[] state;
  delete[] record;
  state = nullptr;
  record = nullptr;
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
  int64_t padded = PaddedCellCount(s.width, s.height);
  if (padded > INT32_MAX) return false;
  bool startInside = s.startX >= 0 && s.startX < s.width && s.startY >= 0 && s.startY < s.height;
  bool goalInside = s.goalX >= 0 && s.goalX < s.width && s.goalY >= 0 && s.goalY < s.height;
  if (!startInside || !goalInside || (s.startX == s.goalX && s.startY == s.goalY)) return false;

  Reset();
  delete[] costMap;
  settings = PlannerSettings{};
  stride = 0;
  int32_t cellCount = static_cast<int32_t>(cells);
  int32_t nodeCount = s.nodeCapacity > 0 ? s.nodeCapacity : cellCount;
  // A cell has at most one node, so no more than one entry per cell is ever open.
  int32_t openCount = s.openCapacity > 0 ? std::min(s.openCapacity, cellCount) : cellCount;
  costMap = new (std::nothrow) float[padded];
  bool ready = costMap != nullptr && BuildCostMap(s.costs, s.width, s.height, costMap) &&
               nodes.Reserve(nodeCount) && closed.Reserve(padded) &&
               open.Reserve(openCount, closed.record);
  if (!ready) {
    delete[] costMap;  // without a cost map, Start does nothing
    costMap = nullptr;
    return false;
  }
  settings = s;
  settings.weight = ClampWeight(s.weight);
  stride = s.width + 2;
  path = nullptr;
  idle = true;
  return true;
}

void Planner::Start() {
  if (costMap == nullptr || closed.state == nullptr || open.heap == nullptr) return;
  if (nodes.used > 0) Reset();  // a second start begins a fresh search
  idle = false;
  path = nullptr;
  pathCell = -1;
  if (!nodes.Take()) return;
  int32_t cell = static_cast<int32_t>(CellOf(settings.startX, settings.startY));
  closed.state[cell] = CellIndex::kOpen;
  closed.record[cell] = CellRecord{0.0f, -1};
  open.Push(cell, 0.0f, 0.0f, true);
}

void Planner::Reset() {
  if (nodes.used > 0) closed.Clear();
  notedLength = 0;
  closed.closedCount = 0;
  nodes.used = 0;
  open.Clear();
  path = nullptr;
  pathCell = -1;
  idle = true;
}

int32_t Planner::PathLength() const {
  int32_t length = 0;
  // Each cell of the path holds one node in use, so no chain is longer.
  for (int32_t c = pathCell; c >= 0 && length < nodes.used; c = closed.record[c].parent) ++length;
  return length;
}

// --- search --------------------------------------------------------------------------------

namespace {

// Divides cells (below 2^31) by a row length (2 < stride < 2^31) with one multiplication: with
// m = 2^64 / stride rounded up, the high half of cell * m is the quotient exactly.
struct RowDivider {
  explicit RowDivider(int32_t stride)
      : stride(stride), magic(UINT64_MAX / static_cast<uint64_t>(stride) + 1) {}
  void CellXY(int32_t cell, int32_t& x, int32_t& y) const {
    unsigned __int128 product = static_cast<unsigned __int128>(static_cast<uint64_t>(cell)) * magic;
    y = static_cast<int32_t>(product >> 64);
    x = cell - y * stride - 1;
    --y;
  }
  int32_t stride;
  uint64_t magic;
};

}  // namespace

int32_t Planner::NotePath() {
  if (pathCell < 0) return 0;
  // A step is the parent's offset, (dy + 1) * 3 + dx + 1; note i is the step from row
  // length - 1 - i. The states hold at least one byte per cell in use.
  int32_t length = 1;
  for (int32_t c = pathCell, parent; (parent = closed.record[c].parent) >= 0 && length < nodes.used;
       c = parent, ++length) {
    int32_t delta = parent - c;
    int32_t dy = delta > 1 ? 1 : (delta < -1 ? -1 : 0);
    closed.state[length - 1] = static_cast<uint8_t>((dy + 1) * 3 + delta - dy * stride + 1);
  }
  notedLength = length;
  return length;
}

void Planner::CopyPathCells(int32_t length, double* xs, double* ys) const {
  if (length <= 0 || length != notedLength) return;
  int32_t x, y;
  RowDivider(stride).CellXY(pathCell, x, y);
  for (int32_t row = length - 1;; --row) {
    xs[row] = x;
    ys[row] = y;
    if (row == 0) break;
    uint8_t step = closed.state[length - 1 - row];
    x += step % 3 - 1;
    y += step / 3 - 1;
  }
}

bool AStarPlanner::TracePath(int32_t goal) {
  // A path holds at most every node in use; only the part it fills is touched.
  Node* chain = nodes.Chain(nodes.used);
  if (chain == nullptr) return false;
  const RowDivider rows(stride);
  int32_t length = 0;
  for (int32_t c = goal; c >= 0 && length < nodes.used; c = closed.record[c].parent) {
    Node& n = chain[length++];
    rows.CellXY(c, n.x, n.y);
    n.g = closed.record[c].g;
    n.f = closed.record[c].parent >= 0 ? Priority(n.g, n.x, n.y, settings) : 0.0f;
    n.nextInBucket = nullptr;
  }
  // Goal first; each node's parent is the next one, the start's is null.
  for (int32_t i = 0; i + 1 < length; ++i) chain[i].parent = &chain[i + 1];
  chain[length - 1].parent = nullptr;
  path = chain;
  return true;
}

// One loop per step set and priority, so the common case (four steps) carries no diagonal
// tests and a weight of 0 (f = g exactly) no heuristic.
template <bool kDiagonal, bool kHeuristic>
bool AStarPlanner::Expand() {
  constexpr int kSteps = kDiagonal ? 8 : 4;
  constexpr int kStraight[4] = {1, 3, 4, 6};  // the order's horizontal and vertical steps
  const PlannerSettings& s = settings;
  int32_t offset[kSteps], dx[kSteps], dy[kSteps];
  bool scaled[kSteps];
  for (int k = 0; k < kSteps; ++k) {
    const NeighbourStep& step = kNeighbourOrder[kDiagonal ? k : kStraight[k]];
    dx[k] = step.dx;
    dy[k] = step.dy;
    offset[k] = step.dx + step.dy * stride;
    scaled[k] = step.diagonal && s.diagonalCostSqrt2;
  }
  const RowDivider rows(stride);
  const int32_t goal = static_cast<int32_t>(CellOf(s.goalX, s.goalY));
  const float* cost = costMap;
  uint8_t* state = closed.state;
  CellRecord* record = closed.record;
  for (int32_t cell; (cell = open.PopLowest()) >= 0;) {
    if (cell == goal) {
      state[cell] = CellIndex::kClosed;
      ++closed.closedCount;
      idle = true;
      pathCell = cell;
      if (chainNodes && !TracePath(cell)) pathCell = -1;
      return pathCell >= 0;
    }
    int32_t x = 0, y = 0;
    if constexpr (kHeuristic) rows.CellXY(cell, x, y);
    const float g = record[cell].g;
#pragma GCC unroll 8
    for (int k = 0; k < kSteps; ++k) {
      const int32_t next = cell + offset[k];
      const float c = cost[next];
      if (c == kBlockedCost) continue;  // the border included
      const float nextG = (kDiagonal && scaled[k]) ? g + c * kDiagonalFactor : g + c;
      const uint8_t was = state[next];
      if (was == CellIndex::kUnseen) {
        if (!nodes.Take()) return idle = true, false;
      } else if (!(nextG < record[next].g)) {
        continue;
      }
      // New, reopened from closed, or open with a better cost: queued again under a fresh order.
      record[next] = CellRecord{nextG, cell};
      if (was == CellIndex::kClosed) --closed.closedCount;
      state[next] = CellIndex::kOpen;
      // With weight 0, g + 0 (h - g) is g exactly.
      float f = kHeuristic ? Priority(nextG, x + dx[k], y + dy[k], s) : nextG;
      if (!open.Push(next, f, nextG, was != CellIndex::kOpen)) return idle = true, false;
    }
    state[cell] = CellIndex::kClosed;
    ++closed.closedCount;
  }
  idle = true;
  return true;
}

bool AStarPlanner::Search() {
  if (open.live == 0) {  // never started, or nothing left
    idle = true;
    return true;
  }
  bool heuristic = settings.weight != 0.0f;
  if (settings.allowDiagonal) return heuristic ? Expand<true, true>() : Expand<true, false>();
  return heuristic ? Expand<false, true>() : Expand<false, false>();
}

}  // namespace quillon
