// qpack: packs files into the archive the runtime finds at the end of a program file.
//
//   qpack OUTPUT FILE...   appends an archive of the FILEs to OUTPUT (created when missing)
//   qpack -l FILE          lists the archive at the end of FILE
// A failed run leaves OUTPUT as it was: shortened back to its old size, or gone again when the
// run made it. Exit status 1: the packing failed; 2: the command line was wrong.
//
// Every position is counted from the end of the file, so the archive block can also be written
// alone and joined to a program later with cat.
#include <fcntl.h>
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
#include "tools/tool_cli.h"

namespace {

using quillon::ArchiveEntry;
using quillon::ArchiveLayout;
using quillon::ArchiveTrailer;
using quillon::tool::Fail;

constexpr char kTool[] = "qpack";
constexpr char kUsage[] =
    "usage: qpack OUTPUT FILE...   append an archive of the FILEs to OUTPUT\n"
    "       qpack -l FILE          list the archive at the end of FILE\n"
    "       qpack --help | --version\n";

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
    Fail(kTool, "the name cannot be stored in an archive", path);
    return false;
  }
  for (const PackedEntry& e : entries) {
    if (SameNameIgnoringCase(e.name, name)) {
      Fail(kTool, "an entry named " + e.name + " is already packed", path);
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
    Fail(kTool, "cannot read it, or it is no file of at most 1 GiB", path);
    return false;
  }
  if (!PackContents(contents, stored)) {
    Fail(kTool, "compression failed", path);
    return false;
  }
  if (written + static_cast<int64_t>(stored.size()) > kLargestArchive ||
      std::fwrite(stored.data(), 1, stored.size(), out) != stored.size()) {
    Fail(kTool, "the archive would exceed 2 GiB or cannot be written", path);
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

// OUTPUT opened for appending. made: this run created it, so a failure removes it again.
FILE* OpenOutput(const std::string& output, bool& made) {
  struct stat info;
  made = ::stat(output.c_str(), &info) != 0;
  int fd = ::open(output.c_str(), O_RDWR | O_APPEND | O_CREAT | (made ? O_EXCL : 0), 0666);
  if (fd < 0) return nullptr;
  FILE* out = ::fdopen(fd, "ab+");
  if (out == nullptr) ::close(fd);
  return out;
}

// Puts OUTPUT back as the run found it.
void Restore(FILE* out, const std::string& output, bool made, off_t originalSize) {
  bool restored = made ? ::unlink(output.c_str()) == 0
                       : ::ftruncate(::fileno(out), originalSize) == 0;
  if (!restored) Fail(kTool, "could not remove the partial archive", output);
}

int Pack(const std::string& output, const std::vector<std::string>& inputs) {
  bool made = false;
  FILE* out = OpenOutput(output, made);
  if (out == nullptr) return Fail(kTool, "cannot open it for appending", output);
  bool ok = !AlreadyCarriesArchive(out);
  if (!ok) Fail(kTool, "it already ends with an archive", output);
  std::fseek(out, 0, SEEK_END);
  off_t originalSize = ::ftello(out);
  int64_t written = 0;
  std::vector<PackedEntry> entries;
  for (size_t i = 0; ok && i < inputs.size(); ++i) {
    ok = AppendEntry(out, inputs[i], written, entries);
  }
  if (ok) {
    std::vector<unsigned char> tail = DirectoryAndTrailer(entries, written);
    ok = written + static_cast<int64_t>(tail.size()) <= kLargestArchive &&
         std::fwrite(tail.data(), 1, tail.size(), out) == tail.size();
    if (!ok) Fail(kTool, "the directory cannot be written", output);
  }
  if (std::fflush(out) != 0) ok = false;
  if (!ok) Restore(out, output, made, originalSize);
  if (std::fclose(out) != 0 && ok) {
    ok = false;
    Fail(kTool, "the archive could not be written to the end", output);
  }
  if (ok) std::printf("%zu files packed into %s\n", entries.size(), output.c_str());
  return ok ? 0 : quillon::tool::kFailed;
}

int List(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Fail(kTool, "cannot open it", path);
  ArchiveLayout layout;
  ArchiveTrailer trailer = quillon::ReadArchiveTrailer(file, layout);
  if (trailer != ArchiveTrailer::kValid) {
    std::fclose(file);
    return Fail(kTool,
                trailer == ArchiveTrailer::kMissing ? "no archive at its end"
                                                    : "the archive's directory lies outside it",
                path);
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
  using quillon::tool::UsageError;
  if (quillon::tool::AnsweredHelpOrVersion(argc, argv, kTool, kUsage)) return 0;
  if (argc >= 2 && std::strcmp(argv[1], "-l") == 0) {
    return argc == 3 ? List(argv[2]) : UsageError(kTool, "-l takes one FILE", kUsage);
  }
  if (argc >= 2 && argv[1][0] == '-') {
    return UsageError(kTool, std::string("unknown option ") + argv[1], kUsage);
  }
  if (argc < 3) return UsageError(kTool, "an OUTPUT and at least one FILE are needed", kUsage);
  if (lzo_init() != LZO_E_OK) return Fail(kTool, "the compressor could not start", "liblzo2");
  return Pack(argv[1], std::vector<std::string>(argv + 2, argv + argc));
}
