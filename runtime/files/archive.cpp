#include "runtime/files/archive.h"
#include "runtime/core/bytes.h"

#include <lzo/lzo1x.h>
#include <sys/types.h>

#include <cstring>

namespace quillon {

namespace {

// One byte of LZO1X data never yields 256 or more; anything claiming more is a lie.
constexpr uint64_t kLargestExpansion = 256;
constexpr uint64_t kExpansionSlack = 1024;
constexpr int kEntryFieldsSize = 8;           // offset and size after the name
constexpr size_t kLongestKeptExtension = 16;  // with its dot

bool ReadAt(FILE* file, int64_t position, void* out, size_t count) {
  if (::fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) return false;
  return std::fread(out, 1, count, file) == count;
}

// Where directory and entry data may lie: before the trailer.
int64_t DataLimit(const ArchiveLayout& layout) { return layout.fileSize - kArchiveTrailerSize; }

int64_t CountedLikeDirectory(const ArchiveLayout& layout, int32_t stored) {
  return layout.directoryPosition >= 0 ? stored : layout.fileSize + stored;
}

bool EntryDataInside(const ArchiveLayout& layout, const ArchiveEntry& entry) {
  if (entry.size < 4 || entry.dataStart < 0) return false;
  return entry.dataStart + entry.size <= DataLimit(layout);
}

bool SameNameIgnoringCase(const std::string& a, const char* b, size_t bLength) {
  if (a.size() != bLength) return false;
  for (size_t i = 0; i < bLength; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool LzoReady() {
  static const bool ready = lzo_init() == LZO_E_OK;
  return ready;
}

}  // namespace

ArchiveTrailer ReadArchiveTrailer(FILE* archive, ArchiveLayout& layout) {
  layout = ArchiveLayout();
  if (::fseeko(archive, 0, SEEK_END) != 0) return ArchiveTrailer::kMissing;
  int64_t size = ::ftello(archive);
  if (size < kArchiveTrailerSize) return ArchiveTrailer::kMissing;
  unsigned char trailer[kArchiveTrailerSize];
  if (!ReadAt(archive, size - kArchiveTrailerSize, trailer, sizeof trailer) ||
      std::memcmp(trailer, "sbX", 3) != 0) {
    return ArchiveTrailer::kMissing;
  }
  layout.fileSize = size;
  layout.directoryPosition = ReadLeI32(trailer + 3);
  layout.directoryStart = CountedLikeDirectory(layout, layout.directoryPosition);
  // At least the terminating zero must fit before the trailer.
  if (layout.directoryStart < 0 || layout.directoryStart >= DataLimit(layout)) {
    return ArchiveTrailer::kDamaged;
  }
  return ArchiveTrailer::kValid;
}

bool WalkArchiveDirectory(FILE* archive, const ArchiveLayout& layout,
                          const std::function<bool(const ArchiveEntry&)>& visit) {
  const int64_t limit = DataLimit(layout);
  int64_t position = layout.directoryStart;
  // Every entry takes at least nine bytes of a bounded range, so the walk always ends.
  while (position < limit) {
    unsigned char nameLength = 0;
    if (!ReadAt(archive, position, &nameLength, 1) || nameLength == 0) return false;
    if (position + 1 + nameLength + kEntryFieldsSize > limit) return false;
    unsigned char record[255 + kEntryFieldsSize];
    if (!ReadAt(archive, position + 1, record, nameLength + kEntryFieldsSize)) return false;
    position += 1 + nameLength + kEntryFieldsSize;

    ArchiveEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(record), nameLength);
    entry.offset = ReadLeI32(record + nameLength);
    entry.size = ReadLeI32(record + nameLength + 4);
    entry.dataStart = CountedLikeDirectory(layout, entry.offset);
    if (!IsSafeEntryName(entry.name) || !EntryDataInside(layout, entry)) continue;
    if (visit(entry)) return true;
  }
  return false;
}

bool FindArchiveEntry(FILE* archive, const ArchiveLayout& layout, const char* wantedPath,
                      ArchiveEntry& found) {
  if (wantedPath == nullptr) return false;
  const char* base = wantedPath;
  for (const char* p = wantedPath; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  size_t baseLength = std::strlen(base);
  if (baseLength == 0) return false;
  return WalkArchiveDirectory(archive, layout, [&](const ArchiveEntry& entry) {
    if (!SameNameIgnoringCase(entry.name, base, baseLength)) return false;
    found = entry;
    return true;
  });
}

bool ReadStoredEntry(FILE* archive, const ArchiveEntry& entry, std::vector<unsigned char>& stored) {
  stored.clear();
  if (entry.size < 4 || entry.dataStart < 0) return false;
  // The walk checked the range against the file; the read checks that the file still has it.
  stored.resize(static_cast<size_t>(entry.size));
  if (!ReadAt(archive, entry.dataStart, stored.data(), stored.size())) {
    stored.clear();
    return false;
  }
  return true;
}

bool DecompressStoredEntry(const std::vector<unsigned char>& stored,
                           std::vector<unsigned char>& contents) {
  contents.clear();
  if (stored.size() < 4 || !LzoReady()) return false;
  uint64_t length = ReadLe32(stored.data());
  uint64_t packed = stored.size() - 4;
  if (length > kLargestArchiveEntry || length > packed * kLargestExpansion + kExpansionSlack) {
    return false;
  }
  contents.resize(static_cast<size_t>(length));
  unsigned char none = 0;  // lzo wants a real pointer even for an empty result
  unsigned char* out = contents.empty() ? &none : contents.data();
  lzo_uint outLength = static_cast<lzo_uint>(length);
  int result = lzo1x_decompress_safe(stored.data() + 4, static_cast<lzo_uint>(packed), out,
                                     &outLength, nullptr);
  if (result != LZO_E_OK || outLength != length) {
    contents.clear();
    return false;
  }
  return true;
}

bool IsSafeEntryName(const std::string& name) {
  if (name.empty()) return false;
  if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return false;
  return name.find("..") == std::string::npos;
}

std::string ArchiveTempName(const ArchiveEntry& entry, int resolver, uint32_t serial) {
  std::string name = std::to_string(resolver) + "-" + std::to_string(serial);
  size_t dot = entry.name.rfind('.');
  if (dot != std::string::npos && entry.name.size() - dot <= kLongestKeptExtension) {
    name += entry.name.substr(dot);
  }
  return name;
}

}  // namespace quillon
