#include "runtime/gfx2d/rgba_image.h"

#include <cstdio>

namespace quillon {

bool ReadImageFileBytes(const char* path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (path == nullptr) return false;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  // The size is asked for first so a huge file is refused before anything is allocated.
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && static_cast<uint64_t>(size) <= kMaxImageFileBytes &&
       std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  std::fclose(file);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace quillon
