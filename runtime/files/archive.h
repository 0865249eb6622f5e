// The archive appended to a file: LZO1X-packed entries, a directory, and a trailer of "sbX" plus
// the directory position. Everything read from the file is checked before it is used.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

constexpr int kArchiveTrailerSize = 7;
// An entry decompresses to at most this many bytes, whatever its stored length says.
constexpr uint32_t kLargestArchiveEntry = 1u << 30;

struct ArchiveLayout {
  int64_t fileSize = 0;
  int32_t directoryPosition = 0;  // D as stored: from the start when >= 0, else from the end
  int64_t directoryStart = 0;     // D counted from the start of the file
};

struct ArchiveEntry {
  std::string name;
  int32_t offset = 0;  // as stored, counted like D
  int32_t size = 0;    // stored bytes: L and the packed contents
  int64_t dataStart = 0;
};

enum class ArchiveTrailer { kValid, kMissing, kDamaged };

// kMissing: no "sbX" at the end; kDamaged: the directory position lies outside the file.
ArchiveTrailer ReadArchiveTrailer(FILE* archive, ArchiveLayout& layout);

// Visits the entries in directory order until visit returns true (then true). Entries whose name
// or data range is unusable are passed over; a directory that runs off its end stops the walk.
bool WalkArchiveDirectory(FILE* archive, const ArchiveLayout& layout,
                          const std::function<bool(const ArchiveEntry&)>& visit);

// The first entry whose name equals the part of wantedPath after its last "/" or "\", in any
// letter case.
bool FindArchiveEntry(FILE* archive, const ArchiveLayout& layout, const char* wantedPath,
                      ArchiveEntry& found);

bool ReadStoredEntry(FILE* archive, const ArchiveEntry& entry, std::vector<unsigned char>& stored);
// Stored bytes to contents: the 32-bit length L, then LZO1X data that must yield exactly L bytes.
bool DecompressStoredEntry(const std::vector<unsigned char>& stored,
                           std::vector<unsigned char>& contents);

// A name that cannot leave the directory it is put in.
bool IsSafeEntryName(const std::string& name);
// The name an extracted entry gets in the process's private directory: the resolver number, a
// serial number, and the entry's extension when it is short (some loaders go by it). Always far
// below the file-name limit, whatever the entry's name.
std::string ArchiveTempName(const ArchiveEntry& entry, int resolver = 0, uint32_t serial = 0);

}  // namespace quillon
