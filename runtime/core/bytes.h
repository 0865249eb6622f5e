// Little-endian numbers in byte buffers, as every file format and message of the runtime stores
// them, and the ASCII-only letter case its names compare by.
#pragma once

#include <cstdint>

namespace quillon {

// The count (1 to 4) bytes at p as an unsigned little-endian number.
inline uint32_t ReadLittleEndian(const uint8_t* p, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}
inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(ReadLittleEndian(p, 2)); }
inline uint32_t ReadLe32(const uint8_t* p) { return ReadLittleEndian(p, 4); }
inline int32_t ReadLeI32(const uint8_t* p) { return static_cast<int32_t>(ReadLe32(p)); }

// Writes the low count (1 to 4) bytes of value at out, lowest first.
inline void PutLittleEndian(uint8_t* out, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void PutLe16(uint8_t* out, uint32_t value) { PutLittleEndian(out, value, 2); }
inline void PutLe32(uint8_t* out, uint32_t value) { PutLittleEndian(out, value, 4); }

// Lower case for A-Z only: names compare the same whatever the locale or code page.
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace quillon
