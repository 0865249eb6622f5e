// Shared by the file tests: a fresh directory per test, whole-file reads and writes, and an
// archive writer of the tests' own, independent of the packer tool.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace quillon::testing_files {

std::string ReadBytesOf(const std::string& path);
void WriteBytesTo(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Every path below root, relative to it.
std::set<std::string> FilesBelow(const std::string& root);
// Only the regular files below root, relative to it.
std::set<std::string> RegularFilesBelow(const std::string& root);
// Random bytes that repeat for a given seed.
std::string RandomBytes(size_t count, uint32_t seed);

// Each test gets root/ with root/tmp/ as $TMPDIR. Death tests run the test again in a child,
// which must find the same directories.
class FileTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return root + "/" + name; }
  std::string root;
  std::string tmp;  // with its trailing '/'
};

struct ArchiveFileEntry {
  std::string name;
  std::string contents;
  // Filled in by BuildArchive: where the stored fields and data sit in the returned file.
  int32_t storedOffset = 0;
  int32_t storedSize = 0;
  size_t offsetField = 0;
  size_t dataStart = 0;
};

struct ArchiveFile {
  std::string bytes;
  size_t directoryStart = 0;
  std::vector<ArchiveFileEntry> entries;
};

// prefix plays the program; fromEnd counts positions back from the end (D < 0).
ArchiveFile BuildArchive(const std::string& prefix, std::vector<ArchiveFileEntry> entries,
                         bool fromEnd);
void PutLittleEndian32(std::string& bytes, size_t at, uint32_t value);

// An extracted entry: a file ending in extension, in a directory of its own right below tmp
// that only this user may enter.
::testing::AssertionResult IsPrivateTempFile(const std::string& path, const std::string& tmp,
                                             const std::string& extension);

// Caps this process's address space a little above what it uses now, so that a huge allocation
// fails instead of succeeding lazily. Does nothing under the address sanitizer, which reserves
// terabytes of shadow memory.
void LimitAddressSpace();

// Runs a shell command; returns its exit status, or -1 when it did not exit normally.
int RunCommand(const std::string& command);

}  // namespace quillon::testing_files
