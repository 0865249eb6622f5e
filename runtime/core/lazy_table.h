// Tables of numbered records that cost memory only for the blocks a program uses.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace quillon {

// count records of T in blocks of blockSize, each allocated (default-constructed) on its first
// use: the tables are sized for what a program may use, but a program touches a few entries.
template <typename T, int32_t count, int32_t blockSize>
class LazyTable {
 public:
  // n must be in 0..count-1.
  T& operator[](int32_t n) {
    std::unique_ptr<T[]>& block = blocks[n / blockSize];
    if (block == nullptr) block = std::make_unique<T[]>(blockSize);
    return block[n % blockSize];
  }
  // The record, or null while its block was never touched (every record there is as
  // constructed); allocates nothing, so hot read-only paths stay a few instructions. n must be in
  // 0..count-1, as for operator[].
  T* Find(int32_t n) const {
    const uint32_t i = static_cast<uint32_t>(n);
    T* block = blocks[i / blockSize].get();
    return block != nullptr ? block + i % blockSize : nullptr;
  }
  // Calls f on every record allocated so far; the others are still as constructed.
  template <typename F>
  void ForEach(F&& f) {
    for (std::unique_ptr<T[]>& block : blocks) {
      for (int32_t i = 0; block != nullptr && i < blockSize; ++i) f(block[i]);
    }
  }

 private:
  std::array<std::unique_ptr<T[]>, count / blockSize> blocks;
};

}  // namespace quillon
