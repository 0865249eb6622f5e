#include "file_test_helpers.h"

#include <lzo/lzo1x.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/file_channels_internal.h"
#include "support/process.h"

namespace quillon::testing_files {

namespace fs = std::filesystem;

std::string ReadBytesOf(const std::string& path) { return testing::ReadWholeFile(path); }

void WriteBytesTo(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

std::set<std::string> FilesBelow(const std::string& root) {
  std::set<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    found.insert(fs::relative(e.path(), root).string());
  }
  return found;
}

std::set<std::string> RegularFilesBelow(const std::string& root) {
  std::set<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) found.insert(fs::relative(e.path(), root).string());
  }
  return found;
}

std::string RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

void FileTest::SetUp() {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  root = std::string(QUILLON_BINARY_DIR) + "/test-tmp/files-" + info->test_suite_name() + "-" +
         info->name();
  if (!::testing::internal::InDeathTestChild()) fs::remove_all(root);
  fs::create_directories(root + "/tmp");
  tmp = root + "/tmp/";
  setenv("TMPDIR", tmp.c_str(), 1);
}

void FileTest::TearDown() {
  CloseAllFileChannels();
  DestroyAssetResolvers();
}

void PutLittleEndian32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

namespace {

std::string Pack(const std::string& contents) {
  static bool ready = lzo_init() == LZO_E_OK;
  EXPECT_TRUE(ready);
  std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
  std::string out(contents.size() + contents.size() / 16 + 64 + 3, '\0');
  lzo_uint packed = 0;
  unsigned char none = 0;
  lzo1x_1_compress(
      contents.empty() ? &none : reinterpret_cast<const unsigned char*>(contents.data()),
      contents.size(), reinterpret_cast<unsigned char*>(out.data()), &packed, work.data());
  out.resize(packed);
  std::string stored(4, '\0');
  PutLittleEndian32(stored, 0, static_cast<uint32_t>(contents.size()));
  return stored + out;
}

}  // namespace

ArchiveFile BuildArchive(const std::string& prefix, std::vector<ArchiveFileEntry> entries,
                         bool fromEnd) {
  ArchiveFile archive;
  archive.bytes = prefix;
  for (ArchiveFileEntry& e : entries) {
    std::string stored = Pack(e.contents);
    e.dataStart = archive.bytes.size();
    e.storedSize = static_cast<int32_t>(stored.size());
    archive.bytes += stored;
  }
  archive.directoryStart = archive.bytes.size();
  size_t directorySize = 1;
  for (const ArchiveFileEntry& e : entries) directorySize += 1 + e.name.size() + 8;
  const int64_t total = static_cast<int64_t>(archive.bytes.size() + directorySize + 7);
  auto counted = [&](size_t position) {
    return static_cast<int32_t>(fromEnd ? static_cast<int64_t>(position) - total
                                        : static_cast<int64_t>(position));
  };
  for (ArchiveFileEntry& e : entries) {
    archive.bytes += static_cast<char>(e.name.size());
    archive.bytes += e.name;
    e.offsetField = archive.bytes.size();
    e.storedOffset = counted(e.dataStart);
    archive.bytes += std::string(8, '\0');
    PutLittleEndian32(archive.bytes, e.offsetField, static_cast<uint32_t>(e.storedOffset));
    PutLittleEndian32(archive.bytes, e.offsetField + 4, static_cast<uint32_t>(e.storedSize));
  }
  archive.bytes += '\0';
  archive.bytes += "sbX";
  archive.bytes += std::string(4, '\0');
  PutLittleEndian32(archive.bytes, archive.bytes.size() - 4,
                    static_cast<uint32_t>(counted(archive.directoryStart)));
  archive.entries = std::move(entries);
  return archive;
}

::testing::AssertionResult IsPrivateTempFile(const std::string& path, const std::string& tmp,
                                             const std::string& extension) {
  fs::path file(path);
  fs::path directory = file.parent_path();
  struct stat info;
  if (directory.parent_path().string() + "/" != tmp) {
    return ::testing::AssertionFailure() << path << " is not in a directory right below " << tmp;
  }
  if (lstat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      (info.st_mode & 07777) != 0700 || info.st_uid != geteuid()) {
    return ::testing::AssertionFailure() << directory << " is not a directory of this user only";
  }
  std::string name = file.filename().string();
  if (name.size() < extension.size() ||
      name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
    return ::testing::AssertionFailure() << name << " does not end in " << extension;
  }
  return ::testing::AssertionSuccess();
}

void LimitAddressSpace() {
#if defined(__SANITIZE_ADDRESS__)
  return;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return;
#endif
#endif
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  statm >> pages;
  rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (256u << 20);
  struct rlimit r = {limit, limit};
  setrlimit(RLIMIT_AS, &r);
}

int RunCommand(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace quillon::testing_files
