// Damaged archives: whatever the file says, a lookup resolves nothing it should not, writes
// nothing outside the temporary directory, and never crashes or allocates what the file claims.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_test_helpers.h"
#include "runtime/files/archive.h"
#include "runtime/files/asset_resolver.h"

namespace quillon {
namespace {

using testing_files::ArchiveFile;
using testing_files::BuildArchive;
using testing_files::FilesBelow;
using testing_files::FileTest;
using testing_files::PutLittleEndian32;
using testing_files::ReadBytesOf;
using testing_files::WriteBytesTo;

class DamagedArchiveTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    good = BuildArchive("program", {{"a.txt", "alpha alpha alpha"}, {"b.txt", "bravo"}}, true);
  }
  // Installs bytes as the program file and resolves name through fresh resolvers.
  int ResolveIn(const std::string& bytes, const char* name) {
    WriteBytesTo(Path("game"), bytes);
    CreateAssetResolvers(Path("game"));
    StringValue path;
    int found = ResolveAssetFile(kLoaderResolver, name, path);
    if (found == 1) resolvedBytes = ReadBytesOf(path.CStr());
    return found;
  }
  // Nothing but the program and an empty temporary directory.
  void ExpectNothingWritten() {
    DestroyAssetResolvers();
    EXPECT_EQ(FilesBelow(root), (std::set<std::string>{"game", "tmp"}));
  }
  ArchiveFile good;
  std::string resolvedBytes;
};

TEST_F(DamagedArchiveTest, TheUndamagedArchiveResolves) {
  ASSERT_EQ(ResolveIn(good.bytes, "a.txt"), 1);
  EXPECT_EQ(resolvedBytes, "alpha alpha alpha");
}

TEST_F(DamagedArchiveTest, TruncatedAtEveryLengthResolvesNothing) {
  for (size_t length = 0; length < good.bytes.size(); ++length) {
    std::string cut = good.bytes.substr(0, length);
    EXPECT_EQ(ResolveIn(cut, "a.txt"), 0) << length;
    EXPECT_EQ(ResolveIn(cut, "b.txt"), 0) << length;
  }
  ExpectNothingWritten();
}

TEST_F(DamagedArchiveTest, DirectoryPositionOutsideTheFileResolvesNothingForGood) {
  const size_t field = good.bytes.size() - 4;
  const int64_t size = static_cast<int64_t>(good.bytes.size());
  for (int64_t d : {size + 10, size, size - 7, size - 1, -size - 1, int64_t{-7}, int64_t{-1},
                    int64_t{INT32_MIN}, int64_t{INT32_MAX}}) {
    std::string bytes = good.bytes;
    PutLittleEndian32(bytes, field, static_cast<uint32_t>(static_cast<int32_t>(d)));
    EXPECT_EQ(ResolveIn(bytes, "a.txt"), 0) << d;
    EXPECT_EQ(AssetResolverAt(kLoaderResolver)->archiveUsable, 0) << d;
  }
  ExpectNothingWritten();
}

TEST_F(DamagedArchiveTest, EntryDataOutsideTheFileIsPassedOver) {
  const auto& a = good.entries[0];
  const int32_t size = static_cast<int32_t>(good.bytes.size());
  struct Damage {
    int32_t offset;
    int32_t storedSize;
  };
  // Offsets are counted from the end here, so they are negative when sound.
  for (Damage d :
       {Damage{1, a.storedSize}, Damage{-size - 1, a.storedSize}, Damage{a.storedOffset, 1 << 30},
        Damage{a.storedOffset, -5}, Damage{a.storedOffset, 3}, Damage{-7, 7},
        Damage{INT32_MIN, a.storedSize}, Damage{-8, 4}}) {
    std::string bytes = good.bytes;
    PutLittleEndian32(bytes, a.offsetField, static_cast<uint32_t>(d.offset));
    PutLittleEndian32(bytes, a.offsetField + 4, static_cast<uint32_t>(d.storedSize));
    EXPECT_EQ(ResolveIn(bytes, "a.txt"), 0) << d.offset << " " << d.storedSize;
    ASSERT_EQ(ResolveIn(bytes, "b.txt"), 1);  // the walk goes on past a bad entry
    EXPECT_EQ(resolvedBytes, "bravo");
  }
}

TEST_F(DamagedArchiveTest, StoredLengthMustMatchAndIsNeverAllocatedBlindly) {
  std::string bytes = good.bytes;
  PutLittleEndian32(bytes, good.entries[0].dataStart, 0xFFFFFFFFu);
  WriteBytesTo(Path("game"), bytes);
  // 4 GiB, in a child with a capped address space, so that trying the allocation would abort.
  EXPECT_EXIT(
      {
        testing_files::LimitAddressSpace();
        CreateAssetResolvers(Path("game"));
        StringValue path;
        std::exit(ResolveAssetFile(kLoaderResolver, "a.txt", path) == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  for (uint32_t length : {16u, 18u, 0u, 1000000u}) {  // the entry holds 17 bytes
    PutLittleEndian32(bytes, good.entries[0].dataStart, length);
    EXPECT_EQ(ResolveIn(bytes, "a.txt"), 0) << length;
  }
  ExpectNothingWritten();
}

TEST_F(DamagedArchiveTest, NamesThatCouldLeaveTheTemporaryDirectoryAreRejected) {
  ArchiveFile evil = BuildArchive("program",
                                  {{"../escape.txt", "out"},
                                   {"..\\escape.txt", "out"},
                                   {"..", "out"},
                                   {"a..b", "out"},
                                   {"sub/x.txt", "out"},
                                   {std::string("nul\0x", 5), "out"},
                                   {"fine.txt", "in"}},
                                  true);
  for (const char* name : {"../escape.txt", "..\\escape.txt", "x/..", "a..b", "sub/x.txt",
                           "escape.txt", "x.txt", "nul"}) {
    EXPECT_EQ(ResolveIn(evil.bytes, name), 0) << name;
  }
  EXPECT_EQ(FilesBelow(root), (std::set<std::string>{"game", "tmp"}));
  EXPECT_EQ(ResolveIn(evil.bytes, "fine.txt"), 1);
}

TEST_F(DamagedArchiveTest, DirectoryThatRunsOffItsEndResolvesNothing) {
  // No terminating zero: the last entry's fields would run into the trailer.
  std::string bytes = good.bytes;
  const size_t terminator = bytes.size() - 8;
  ASSERT_EQ(bytes[terminator], '\0');
  bytes[terminator] = 'x';
  EXPECT_EQ(ResolveIn(bytes, "missing.txt"), 0);
  // A name length that reaches past the end.
  bytes = good.bytes;
  bytes[good.directoryStart] = static_cast<char>(255);
  EXPECT_EQ(ResolveIn(bytes, "a.txt"), 0);
  ExpectNothingWritten();
}

TEST_F(DamagedArchiveTest, FuzzCorpusInputsResolveOnlyIntoTheTemporaryDirectory) {
  const std::string corpus = std::string(QUILLON_SOURCE_DIR) + "/fuzz/corpus/archive_fuzz";
  ASSERT_TRUE(std::filesystem::is_directory(corpus));
  int inputs = 0;
  for (const auto& file : std::filesystem::directory_iterator(corpus)) {
    std::string bytes = ReadBytesOf(file.path().string());
    std::vector<std::string> names;
    if (FILE* f = fmemopen(bytes.data(), bytes.size(), "rb")) {
      ArchiveLayout layout;
      if (ReadArchiveTrailer(f, layout) == ArchiveTrailer::kValid) {
        WalkArchiveDirectory(f, layout, [&](const ArchiveEntry& e) {
          names.push_back(e.name);
          return names.size() >= 16;
        });
      }
      std::fclose(f);
    }
    names.push_back("a.txt");
    for (const std::string& name : names) {
      if (ResolveIn(bytes, name.c_str()) == 1) {
        EXPECT_EQ(testing_files::RegularFilesBelow(tmp).size(), 1u) << file.path();
      }
    }
    DestroyAssetResolvers();
    EXPECT_EQ(FilesBelow(root), (std::set<std::string>{"game", "tmp"})) << file.path();
    ++inputs;
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
}  // namespace quillon
