// The language's array: up to four dimensions of doubles, texts or plain number records, shaped
// at run time, first index fastest.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>

#include "runtime/values/string_value.h"
#include "runtime/values/truncate.h"

namespace quillon {

// Raises runtime error 7, 8 or 9 in the named command and ends the program. Out of line so that
// At stays small.
[[noreturn, gnu::cold]] void RaiseArrayError(int code, const char* command);

struct NoInlineElements {};

template <typename T>
struct DimArray {
  static constexpr bool kTextElements = std::is_same_v<T, StringValue>;
  static constexpr bool kHasInline = std::is_same_v<T, double>;
  static constexpr int32_t kInlineSlots = 16;
  // Counts beyond this would wrap the slot count.
  static constexpr double kMaxElementCount = 2147483639.0;
  static_assert(
      kTextElements || (std::is_trivially_copyable_v<T> && std::is_standard_layout_v<T>),
      "elements are doubles, texts or plain records whose zero bytes are their cleared state");

  T* elements = nullptr;
  [[no_unique_address]] std::conditional_t<kHasInline, double[kInlineSlots], NoInlineElements>
      inlineElements{};
  int32_t stride1 = 0;
  int32_t stride2 = 0;
  int32_t stride3 = 0;
  int32_t extent0 = 0;
  int32_t extent1 = 0;
  int32_t extent2 = 0;
  int32_t extent3 = 0;
  int32_t dimensionCount = 0;
  int32_t capacity = 0;

  DimArray() = default;
  DimArray(const DimArray&) = delete;
  DimArray& operator=(const DimArray&) = delete;
  ~DimArray() { ReleaseStorage(); }

  void Dimension(double d0, double d1 = 0, double d2 = 0, double d3 = 0);
  void Redimension(double d0, double d1 = 0, double d2 = 0, double d3 = 0);
  void CopyFrom(const DimArray& other);
  void FillFromList(int32_t count, const double* values) requires kHasInline {
    Dimension(count, 0, 0, 0);
    if (values == nullptr) return;
    for (int32_t i = 0; i < count; ++i) elements[i] = values[i];
  }
  void FillFromList(std::initializer_list<double> values) requires kHasInline {
    FillFromList(static_cast<int32_t>(values.size()), values.begin());
  }
  double Bound(double k) const;

  T& At(int32_t i0, int32_t i1 = 0, int32_t i2 = 0, int32_t i3 = 0) {
    if (extent0 == 0) [[unlikely]]
      RaiseArrayError(8, "At");
    if (!Contains(i0, i1, i2, i3)) [[unlikely]]
      RaiseArrayError(9, "At");
    return elements[i0 + i1 * stride1 + i2 * stride2 + i3 * stride3];
  }
  const T& At(int32_t i0, int32_t i1 = 0, int32_t i2 = 0, int32_t i3 = 0) const {
    return const_cast<DimArray*>(this)->At(i0, i1, i2, i3);
  }

  // An unused dimension (extent 0) accepts only index 0: any other index would reach past the
  // storage. A negative extent accepts nothing.
  static int32_t IndexLimit(int32_t extent) { return extent == 0 ? 1 : extent; }
  bool Contains(int32_t i0, int32_t i1, int32_t i2, int32_t i3) const {
    return elements != nullptr && (i0 | i1 | i2 | i3) >= 0 && i0 < extent0 &&
           i1 < IndexLimit(extent1) && i2 < IndexLimit(extent2) && i3 < IndexLimit(extent3);
  }
  // Elements laid out by the shape, in storage order.
  int64_t ShapeCount() const {
    auto atLeastOne = [](int32_t e) { return static_cast<int64_t>(e > 1 ? e : 1); };
    if (extent0 <= 0) return 0;
    return extent0 * atLeastOne(extent1) * atLeastOne(extent2) * atLeastOne(extent3);
  }

 private:
  static int32_t SlotCountFor(double d0, double d1, double d2, double d3);
  T* ObtainStorage(int32_t slots);
  void ReleaseStorage();
  void ReplaceStorage(int32_t slots);
  void ClearForReuse(int32_t slots);
  void SetShape(double d0, double d1, double d2, double d3);
  void SwapWith(DimArray& other);
  void CopyKeptElements(const DimArray& from, const int32_t kept[4]);
  bool UsesInline() const {
    if constexpr (kHasInline) return elements == inlineElements;
    return false;
  }
};

template <typename T>
int32_t DimArray<T>::SlotCountFor(double d0, double d1, double d2, double d3) {
  auto atLeastOne = [](double d) { return d > 1.0 ? d : 1.0; };
  double n = std::trunc(d0 * atLeastOne(d1) * atLeastOne(d2) * atLeastOne(d3));
  if (!(n <= kMaxElementCount)) RaiseArrayError(7, "Dimension");
  // The smallest multiple of 8 strictly above n, so similar sizes reuse the storage.
  return (static_cast<int32_t>(n) & ~7) + 8;
}

template <typename T>
T* DimArray<T>::ObtainStorage(int32_t slots) {
  if constexpr (kHasInline) {
    if (slots <= kInlineSlots) {
      std::fill(inlineElements, inlineElements + kInlineSlots, 0.0);
      return inlineElements;
    }
  }
  size_t count = static_cast<size_t>(slots);
  if constexpr (kTextElements) {
    void* raw = std::malloc(count * sizeof(StringValue));
    if (raw == nullptr) return nullptr;
    T* texts = static_cast<T*>(raw);
    for (size_t i = 0; i < count; ++i) new (texts + i) StringValue();
    return texts;
  } else {
    // calloc leaves large blocks to the kernel's zero pages instead of writing them.
    return static_cast<T*>(std::calloc(count, sizeof(T)));
  }
}

template <typename T>
void DimArray<T>::ReleaseStorage() {
  if (elements == nullptr) return;
  if constexpr (kTextElements) {
    for (int32_t i = 0; i < capacity; ++i) elements[i].~StringValue();
  }
  if (!UsesInline()) std::free(elements);
  elements = nullptr;
  capacity = 0;
}

template <typename T>
void DimArray<T>::ReplaceStorage(int32_t slots) {
  ReleaseStorage();
  elements = ObtainStorage(slots);
  if (elements == nullptr) {
    extent0 = 0;  // leave a consistent empty array behind for the end report
    RaiseArrayError(7, "Dimension");
  }
  capacity = slots;
}

template <typename T>
void DimArray<T>::ClearForReuse(int32_t slots) {
  if constexpr (kTextElements) {
    for (int32_t i = 0; i < slots; ++i) elements[i] = "";
  } else if constexpr (kHasInline) {
    std::fill(elements, elements + capacity, 0.0);
  } else {
    std::memset(static_cast<void*>(elements), 0, static_cast<size_t>(slots) * sizeof(T));
  }
}

template <typename T>
void DimArray<T>::SetShape(double d0, double d1, double d2, double d3) {
  dimensionCount = d3 != 0 ? 4 : (d2 != 0 ? 3 : (d1 == 0 ? 1 : 2));
  extent0 = TruncateToInt32(d0);
  extent1 = TruncateToInt32(d1);
  extent2 = TruncateToInt32(d2);
  extent3 = TruncateToInt32(d3);
  // An unused middle dimension still takes one step, so later indices never alias earlier ones.
  auto step = [](int32_t e) { return e > 1 ? e : 1; };
  stride1 = extent0;
  stride2 = stride1 * step(extent1);
  stride3 = stride2 * step(extent2);
}

template <typename T>
void DimArray<T>::Dimension(double d0, double d1, double d2, double d3) {
  bool emptied = !(d0 >= 1.0);
  if (emptied) d0 = 0.0;
  int32_t slots = SlotCountFor(d0, d1, d2, d3);
  if (capacity < slots || emptied || elements == nullptr) {
    ReplaceStorage(slots);
  } else {
    ClearForReuse(slots);
  }
  SetShape(d0, d1, d2, d3);
}

template <typename T>
double DimArray<T>::Bound(double k) const {
  switch (TruncateToInt32(k)) {
    case 0: return extent0;
    case 1: return extent1;
    case 2: return extent2;
    case 3: return extent3;
    default: return 0.0;
  }
}

template <typename T>
void DimArray<T>::SwapWith(DimArray& other) {
  // Never called with inline storage on either side: that pointer cannot change owners.
  std::swap(elements, other.elements);
  std::swap(capacity, other.capacity);
  std::swap(dimensionCount, other.dimensionCount);
  std::swap(stride1, other.stride1);
  std::swap(stride2, other.stride2);
  std::swap(stride3, other.stride3);
  std::swap(extent0, other.extent0);
  std::swap(extent1, other.extent1);
  std::swap(extent2, other.extent2);
  std::swap(extent3, other.extent3);
}

template <typename T>
void DimArray<T>::CopyKeptElements(const DimArray& from, const int32_t kept[4]) {
  // A kept count of 0 still carries index 0; tuples either side cannot hold are skipped rather
  // than raised, so re-dimensioning an empty array is not an error.
  auto last = [&](int k) { return kept[k] > 1 ? kept[k] : 1; };
  for (int32_t i3 = 0; i3 < last(3); ++i3) {
    for (int32_t i2 = 0; i2 < last(2); ++i2) {
      for (int32_t i1 = 0; i1 < last(1); ++i1) {
        for (int32_t i0 = 0; i0 < last(0); ++i0) {
          if (!from.Contains(i0, i1, i2, i3) || !Contains(i0, i1, i2, i3)) continue;
          At(i0, i1, i2, i3) =
              from.elements[i0 + i1 * from.stride1 + i2 * from.stride2 + i3 * from.stride3];
        }
      }
    }
  }
}

template <typename T>
void DimArray<T>::Redimension(double d0, double d1, double d2, double d3) {
  DimArray fresh;
  fresh.Dimension(d0, d1, d2, d3);
  const double sizes[4] = {d0, d1, d2, d3};
  const int32_t oldExtents[4] = {extent0, extent1, extent2, extent3};
  int32_t kept[4];
  for (int k = 0; k < 4; ++k) {
    double keep = std::min(sizes[k], static_cast<double>(oldExtents[k]));
    kept[k] = keep > 0 ? TruncateToInt32(keep) : 0;  // NaN keeps nothing
  }
  if (fresh.extent0 > 0 && extent0 > 0) fresh.CopyKeptElements(*this, kept);
  if (UsesInline() || fresh.UsesInline()) {
    Dimension(fresh.extent0, fresh.extent1, fresh.extent2, fresh.extent3);
    int64_t count = std::min<int64_t>(ShapeCount(), fresh.ShapeCount());
    for (int64_t i = 0; i < count; ++i) elements[i] = fresh.elements[i];
  } else {
    SwapWith(fresh);
  }
}

template <typename T>
void DimArray<T>::CopyFrom(const DimArray& other) {
  if (&other == this) return;
  Dimension(other.extent0, other.extent1, other.extent2, other.extent3);
  int64_t count = std::min<int64_t>(ShapeCount(), other.ShapeCount());
  if (other.elements == nullptr) count = 0;
  for (int64_t i = 0; i < count; ++i) elements[i] = other.elements[i];
}

}  // namespace quillon
