// The appended-archive reader on arbitrary bytes: trailer, directory walk, entry reads and LZO1X
// decompression. Seeds and the broken inputs found so far are in corpus/archive_fuzz/; the
// files tests replay them on every build.
//
//   archive_fuzz -max_len=4096 fuzz/corpus/archive_fuzz
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/files/archive.h"

namespace {

// Entries may all point at the same data; a few extractions per input keep each run short.
constexpr int kMaxExtractions = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* archive = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (archive == nullptr) return 0;
  quillon::ArchiveLayout layout;
  if (quillon::ReadArchiveTrailer(archive, layout) == quillon::ArchiveTrailer::kValid) {
    int extracted = 0;
    quillon::WalkArchiveDirectory(archive, layout, [&](const quillon::ArchiveEntry& entry) {
      std::vector<unsigned char> stored;
      std::vector<unsigned char> contents;
      if (quillon::ReadStoredEntry(archive, entry, stored)) {
        quillon::DecompressStoredEntry(stored, contents);
      }
      if (quillon::ArchiveTempName(entry).find('/') != std::string::npos) __builtin_trap();
      return ++extracted >= kMaxExtractions;
    });
    quillon::ArchiveEntry found;
    quillon::FindArchiveEntry(archive, layout, "gfx/Ship.BMP", found);
  }
  std::fclose(archive);
  return 0;
}
