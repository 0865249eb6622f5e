// qpack: packs files into the archive the runtime finds at the end of a program file.
//
//   qpack OUTPUT FILE...   appends an archive of the FILEs to OUTPUT (created when missing)
//   qpack -l FILE          lists the archive at the end of FILE
//
// Every position is counted from the end of the file, so the archive block can also be written
// alone and joined to a program later with cat.
#include <lzo/lzo1x.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/bytes.h"
#include "runtime/files/archive.h"

namespace {

using quillon::ArchiveEntry;
using quillon::ArchiveLayout;
using quillon::ArchiveTrailer;

constexpr int64_t kLargestArchive = INT32_MAX;  // every position must fit a signed 32-bit field

struct PackedEntry {
  std::string name;
  int64_t blockOffset = 0;  // from the start of the archive block
  int64_t size = 0;
};

void PutLittleEndian32(std::vector<unsigned char>& out, uint32_t value) {
  uint8_t bytes[4];
  quillon::PutLe32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
    char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& contents) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  struct stat info;
  bool ok = ::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<uint64_t>(info.st_size) <= quillon::kLargestArchiveEntry;
  if (ok) {
    contents.resize(static_cast<size_t>(info.st_size));
    ok = std::fread(contents.data(), 1, contents.size(), file) == contents.size();
  }
  std::fclose(file);
  return ok;
}

// The stored form of one file: its length L, then its LZO1X packing.
bool PackContents(const std::vector<unsigned char>& contents, std::vector<unsigned char>& stored) {
  static std::vector<unsigned char> work(LZO1X_999_MEM_COMPRESS);
  stored.assign(4, 0);
  stored[0] = static_cast<unsigned char>(contents.size());
  stored[1] = static_cast<unsigned char>(contents.size() >> 8);
  stored[2] = static_cast<unsigned char>(contents.size() >> 16);
  stored[3] = static_cast<unsigned char>(contents.size() >> 24);
  // The documented worst case of incompressible input.
  stored.resize(4 + contents.size() + contents.size() / 16 + 64 + 3);
  unsigned char none = 0;
  lzo_uint packed = 0;
  int result = lzo1x_999_compress(contents.empty() ? &none : contents.data(), contents.size(),
                                  stored.data() + 4, &packed, work.data());
  if (result != LZO_E_OK) return false;
  stored.resize(4 + packed);
  return true;
}

bool CheckName(const std::string& name, const std::vector<PackedEntry>& entries,
               const std::string& path) {
  if (name.size() > 255 || !quillon::IsSafeEntryName(name)) {
    std::fprintf(stderr, "qpack: %s: the name cannot be stored in an archive\n", path.c_str());
    return false;
  }
  for (const PackedEntry& e : entries) {
    if (SameNameIgnoringCase(e.name, name)) {
      std::fprintf(stderr, "qpack: %s: an entry named %s is already packed\n", path.c_str(),
                   e.name.c_str());
      return false;
    }
  }
  return true;
}

bool AppendEntry(FILE* out, const std::string& path, int64_t& written,
                 std::vector<PackedEntry>& entries) {
  std::string name = BaseName(path);
  if (!CheckName(name, entries, path)) return false;
  std::vector<unsigned char> contents;
  std::vector<unsigned char> stored;
  if (!ReadWholeFile(path, contents)) {
    std::fprintf(stderr, "qpack: %s: cannot read it, or it is larger than 1 GiB\n", path.c_str());
    return false;
  }
  if (!PackContents(contents, stored)) {
    std::fprintf(stderr, "qpack: %s: compression failed\n", path.c_str());
    return false;
  }
  if (written + static_cast<int64_t>(stored.size()) > kLargestArchive ||
      std::fwrite(stored.data(), 1, stored.size(), out) != stored.size()) {
    std::fprintf(stderr, "qpack: %s: the archive would exceed 2 GiB or cannot be written\n",
                 path.c_str());
    return false;
  }
  entries.push_back({name, written, static_cast<int64_t>(stored.size())});
  std::printf("%-32s %10zu -> %10zu\n", name.c_str(), contents.size(), stored.size());
  written += static_cast<int64_t>(stored.size());
  return true;
}

// Directory, terminator and trailer, with every position counted back from the block's end.
std::vector<unsigned char> DirectoryAndTrailer(const std::vector<PackedEntry>& entries,
                                               int64_t entryBytes) {
  int64_t directoryBytes = 1;
  for (const PackedEntry& e : entries) directoryBytes += 1 + e.name.size() + 8;
  int64_t blockSize = entryBytes + directoryBytes + quillon::kArchiveTrailerSize;
  std::vector<unsigned char> out;
  for (const PackedEntry& e : entries) {
    out.push_back(static_cast<unsigned char>(e.name.size()));
    out.insert(out.end(), e.name.begin(), e.name.end());
    PutLittleEndian32(out, static_cast<uint32_t>(static_cast<int32_t>(e.blockOffset - blockSize)));
    PutLittleEndian32(out, static_cast<uint32_t>(e.size));
  }
  out.push_back(0);
  out.insert(out.end(), {'s', 'b', 'X'});
  PutLittleEndian32(out, static_cast<uint32_t>(static_cast<int32_t>(entryBytes - blockSize)));
  return out;
}

bool AlreadyCarriesArchive(FILE* file) {
  ArchiveLayout layout;
  return quillon::ReadArchiveTrailer(file, layout) != ArchiveTrailer::kMissing;
}

int Pack(const std::string& output, const std::vector<std::string>& inputs) {
  FILE* out = std::fopen(output.c_str(), "ab+");
  if (out == nullptr) {
    std::fprintf(stderr, "qpack: %s: cannot open it for appending\n", output.c_str());
    return 1;
  }
  if (AlreadyCarriesArchive(out)) {
    std::fprintf(stderr, "qpack: %s already ends with an archive\n", output.c_str());
    std::fclose(out);
    return 1;
  }
  std::fseek(out, 0, SEEK_END);
  off_t originalSize = ::ftello(out);
  int64_t written = 0;
  std::vector<PackedEntry> entries;
  bool ok = true;
  for (const std::string& input : inputs) {
    if (!(ok = AppendEntry(out, input, written, entries))) break;
  }
  if (ok) {
    std::vector<unsigned char> tail = DirectoryAndTrailer(entries, written);
    ok = written + static_cast<int64_t>(tail.size()) <= kLargestArchive &&
         std::fwrite(tail.data(), 1, tail.size(), out) == tail.size();
    if (!ok) std::fprintf(stderr, "qpack: %s: the directory cannot be written\n", output.c_str());
  }
  if (std::fflush(out) != 0) ok = false;
  // A failed run leaves the output as it found it.
  if (!ok && ::ftruncate(::fileno(out), originalSize) != 0) {
    std::fprintf(stderr, "qpack: %s: could not remove the partial archive\n", output.c_str());
  }
  if (std::fclose(out) != 0) ok = false;
  if (ok) std::printf("%zu files packed into %s\n", entries.size(), output.c_str());
  return ok ? 0 : 1;
}

int List(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "qpack: %s: cannot open it\n", path.c_str());
    return 1;
  }
  ArchiveLayout layout;
  ArchiveTrailer trailer = quillon::ReadArchiveTrailer(file, layout);
  if (trailer != ArchiveTrailer::kValid) {
    std::fprintf(stderr, "qpack: %s: %s\n", path.c_str(),
                 trailer == ArchiveTrailer::kMissing ? "no archive at its end"
                                                     : "the archive's directory lies outside it");
    std::fclose(file);
    return 1;
  }
  quillon::WalkArchiveDirectory(file, layout, [](const ArchiveEntry& entry) {
    std::printf("%-32s %10d stored bytes\n", entry.name.c_str(), entry.size);
    return false;
  });
  std::fclose(file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "-l") == 0) return List(argv[2]);
  if (argc < 3 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: qpack OUTPUT FILE...   append an archive of the FILEs to OUTPUT\n"
                 "       qpack -l FILE          list the archive at the end of FILE\n");
    return 2;
  }
  if (lzo_init() != LZO_E_OK) {
    std::fprintf(stderr, "qpack: the compressor could not start\n");
    return 1;
  }
  return Pack(argv[1], std::vector<std::string>(argv + 2, argv + argc));
}
