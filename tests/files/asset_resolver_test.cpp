// Resolving names: disk first, then the archive appended to the program file, through the two
// resolvers and their temporary files; and the packer that makes such archives.
#include "runtime/files/asset_resolver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_test_helpers.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_errors.h"

namespace quillon {
namespace {

using testing_files::ArchiveFile;
using testing_files::BuildArchive;
using testing_files::Exists;
using testing_files::FilesBelow;
using testing_files::FileTest;
using testing_files::IsPrivateTempFile;
using testing_files::ReadBytesOf;
using testing_files::RegularFilesBelow;
using testing_files::RunCommand;
using testing_files::WriteBytesTo;

const std::string kQpack = std::string(QUILLON_BINARY_DIR) + "/qpack";

class AssetResolverTest : public FileTest {
 protected:
  // A program file of prefix bytes with an archive of these entries appended.
  ArchiveFile MakeProgram(std::vector<testing_files::ArchiveFileEntry> entries,
                          bool fromEnd = true) {
    ArchiveFile archive = BuildArchive("#!program bytes\n", std::move(entries), fromEnd);
    WriteBytesTo(Path("game"), archive.bytes);
    CreateAssetResolvers(Path("game"));
    return archive;
  }
  // Resolves and hands back the resolved file's bytes, or "<none>".
  std::string Resolved(const char* name, int resolver = kLoaderResolver) {
    StringValue path("stale");
    if (ResolveAssetFile(resolver, name, path) == 0) {
      EXPECT_EQ(path.length, 0u);
      return "<none>";
    }
    lastPath = path.CStr();
    return ReadBytesOf(lastPath);
  }
  std::string lastPath;
};

TEST_F(AssetResolverTest, WithoutResolversOnlyFilesOnDiskAreFound) {
  WriteBytesTo(Path("here.txt"), "on disk");
  StringValue path;
  EXPECT_EQ(ResolveAssetFile(kLoaderResolver, Path("here.txt").c_str(), path), 1);
  EXPECT_EQ(std::string(path.CStr()), Path("here.txt"));
  EXPECT_EQ(ResolveAssetFile(kMediaResolver, Path("missing.txt").c_str(), path), 0);
  EXPECT_EQ(path.length, 0u);
  EXPECT_EQ(ResolveAssetFile(kLoaderResolver, nullptr, path), 0);
  EXPECT_EQ(ResolveAssetFile(5, Path("here.txt").c_str(), path), 1);    // no such resolver: disk
  EXPECT_EQ(ResolveAssetFile(kLoaderResolver, root.c_str(), path), 0);  // a directory
  path = Path("here.txt").c_str();  // the name may live in the path's own buffer
  EXPECT_EQ(ResolveAssetFile(kLoaderResolver, path.CStr(), path), 1);
  EXPECT_EQ(std::string(path.CStr()), Path("here.txt"));
}

TEST_F(AssetResolverTest, NameOnDiskWinsOverArchiveEntry) {
  MakeProgram({{"ship.bmp", "from the archive"}});
  std::filesystem::create_directories(Path("gfx"));
  WriteBytesTo(Path("gfx/ship.bmp"), "from the disk");
  EXPECT_EQ(Resolved(Path("gfx/ship.bmp").c_str()), "from the disk");
  EXPECT_EQ(lastPath, Path("gfx/ship.bmp"));
  EXPECT_TRUE(FilesBelow(tmp).empty());
}

TEST_F(AssetResolverTest, ArchiveMatchUsesTheLastPartInAnyCase) {
  MakeProgram({{"other.wav", "noise"}, {"ship.bmp", "ship pixels"}, {"SHIP.BMP", "second"}});
  EXPECT_EQ(Resolved("gfx/Ship.BMP"), "ship pixels");  // the first of equal names
  EXPECT_TRUE(IsPrivateTempFile(lastPath, tmp, ".bmp"));
  EXPECT_EQ(Resolved("gfx\\sub\\SHIP.bmp"), "ship pixels");
  EXPECT_EQ(Resolved("OTHER.WAV"), "noise");
  EXPECT_EQ(Resolved("ship"), "<none>");
  EXPECT_EQ(Resolved("gfx/"), "<none>");
}

TEST_F(AssetResolverTest, PositionsCountedFromTheStartWorkToo) {
  MakeProgram({{"a.txt", "first"}, {"b.txt", std::string(5000, 'b')}}, /*fromEnd=*/false);
  EXPECT_EQ(Resolved("b.txt"), std::string(5000, 'b'));
  EXPECT_TRUE(IsPrivateTempFile(lastPath, tmp, ".txt"));
}

TEST_F(AssetResolverTest, EachCallDeletesItsResolversPreviousTemporaryFile) {
  MakeProgram({{"a.txt", "A"}, {"b.txt", "B"}, {"song.ogg", "music"}});
  EXPECT_EQ(Resolved("song.ogg", kMediaResolver), "music");
  std::string music = lastPath;
  EXPECT_EQ(Resolved("a.txt"), "A");
  std::string first = lastPath;
  EXPECT_EQ(Resolved("b.txt"), "B");
  EXPECT_FALSE(Exists(first));
  EXPECT_EQ(Resolved("missing.txt"), "<none>");  // a miss deletes too
  EXPECT_EQ(RegularFilesBelow(tmp), std::set<std::string>{music.substr(tmp.size())});

  DestroyAssetResolvers();
  EXPECT_TRUE(FilesBelow(tmp).empty());  // the files and their directory
  EXPECT_EQ(AssetResolverAt(kLoaderResolver), nullptr);
  EXPECT_EQ(Resolved("a.txt"), "<none>");  // after program end: disk only
}

TEST_F(AssetResolverTest, ProgramEndDeletesTheTemporaryFiles) {
  MakeProgram({{"a.txt", "A"}, {"b.txt", "B"}});
  EXPECT_EXIT(
      {
        StringValue path;
        ResolveAssetFile(kLoaderResolver, "a.txt", path);
        ResolveAssetFile(kMediaResolver, "b.txt", path);
        if (RegularFilesBelow(tmp).size() != 2) std::exit(9);
        EndProgram();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(FilesBelow(tmp).empty());
}

TEST_F(AssetResolverTest, TheResolversNeverShareATemporaryFile) {
  MakeProgram({{"song.ogg", "music"}, {"a.txt", "A"}});
  EXPECT_EQ(Resolved("song.ogg", kMediaResolver), "music");
  std::string music = lastPath;
  EXPECT_EQ(Resolved("song.ogg"), "music");
  EXPECT_NE(lastPath, music);
  EXPECT_EQ(Resolved("a.txt"), "A");  // deletes the loader's copy only
  EXPECT_EQ(ReadBytesOf(music), "music");
}

TEST_F(AssetResolverTest, AnotherRunningProgramKeepsItsOwnFiles) {
  MakeProgram({{"a.txt", "mine"}});
  EXPECT_EQ(Resolved("a.txt"), "mine");
  std::string mine = lastPath;
  EXPECT_TRUE(IsPrivateTempFile(mine, tmp, ".txt"));
  // The child plays a second copy of the game, with the same archive and temporary directory.
  EXPECT_EXIT(
      {
        CreateAssetResolvers(Path("game"));
        StringValue path;
        if (ResolveAssetFile(kLoaderResolver, "a.txt", path) != 1) std::exit(9);
        EndProgram();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytesOf(mine), "mine");
  EXPECT_EQ(RegularFilesBelow(tmp).size(), 1u);
}

TEST_F(AssetResolverTest, ProgramWithoutArchiveClearsArchiveUsableAtItsFirstMiss) {
  WriteBytesTo(Path("plain"), "just a program, no archive at its end");
  WriteBytesTo(Path("on-disk.txt"), "x");
  CreateAssetResolvers(Path("plain"));
  EXPECT_EQ(Resolved(Path("on-disk.txt").c_str()), "x");
  EXPECT_EQ(AssetResolverAt(kLoaderResolver)->archiveUsable, 1);
  EXPECT_EQ(Resolved("missing.bmp"), "<none>");
  EXPECT_EQ(AssetResolverAt(kLoaderResolver)->archiveUsable, 0);
  EXPECT_EQ(AssetResolverAt(kMediaResolver)->archiveUsable, 1);
  // Cleared for good: an archive that appears later is not looked at.
  WriteBytesTo(Path("plain"), BuildArchive("", {{"late.txt", "late"}}, true).bytes);
  EXPECT_EQ(Resolved("late.txt"), "<none>");
  EXPECT_EQ(Resolved("late.txt", kMediaResolver), "late");
  // The directory start-up used to hand over is no archive either.
  CreateAssetResolvers(root);
  EXPECT_EQ(Resolved("late.txt"), "<none>");
  EXPECT_EQ(AssetResolverAt(kLoaderResolver)->archiveUsable, 0);
}

// --- the packer ----------------------------------------------------------------------------

class PackerTest : public AssetResolverTest {
 protected:
  void SetUp() override {
    AssetResolverTest::SetUp();
    ASSERT_TRUE(Exists(kQpack)) << "build the qpack target first";
    std::filesystem::create_directories(Path("assets"));
    files = {
        {"Ship.bmp", testing_files::RandomBytes(200000, 11)},  // does not compress
        {"zeros.raw", std::string(1 << 20, '\0')},
        {"empty.txt", ""},
        {"readme.txt", std::string(300, 'r') + "\r\nend"},
    };
    for (const auto& [name, bytes] : files) WriteBytesTo(Path("assets/" + name), bytes);
  }
  std::string Inputs() const {
    std::string list;
    for (const auto& f : files) list += " '" + root + "/assets/" + f.first + "'";
    return list;
  }
  void ExpectEveryEntry(const std::string& program) {
    CreateAssetResolvers(program);
    for (const auto& [name, bytes] : files) {
      EXPECT_EQ(Resolved(("data/" + name).c_str()), bytes) << name;
    }
  }
  std::vector<std::pair<std::string, std::string>> files;
};

TEST_F(PackerTest, ArchiveAppendedToARealExecutableResolvesEveryEntryByteExact) {
  std::filesystem::copy_file(kQpack, Path("game"));
  std::string original = ReadBytesOf(Path("game"));
  ASSERT_EQ(RunCommand(kQpack + " '" + Path("game") + "'" + Inputs() + " > /dev/null"), 0);
  std::string packed = ReadBytesOf(Path("game"));
  ASSERT_GT(packed.size(), original.size());
  EXPECT_EQ(packed.substr(0, original.size()), original);
  ExpectEveryEntry(Path("game"));
  // The program still runs with its archive attached.
  EXPECT_EQ(RunCommand("'" + Path("game") + "' -l '" + Path("game") + "' > /dev/null"), 0);
}

TEST_F(PackerTest, ArchiveWrittenAloneCanBeJoinedToAProgramLater) {
  ASSERT_EQ(RunCommand(kQpack + " '" + Path("assets.pak") + "'" + Inputs() + " > /dev/null"), 0);
  WriteBytesTo(Path("game"), ReadBytesOf(kQpack) + ReadBytesOf(Path("assets.pak")));
  ExpectEveryEntry(Path("game"));
}

TEST_F(PackerTest, EveryNameThePackerTakesResolves) {
  const std::string longest = std::string(251, 'n') + ".bmp";  // 255 bytes, the most it stores
  files = {{longest, "long name"}, {"x." + std::string(200, 'e'), "long extension"}};
  for (const auto& [name, bytes] : files) WriteBytesTo(Path("assets/" + name), bytes);
  ASSERT_EQ(RunCommand(kQpack + " '" + Path("game") + "'" + Inputs() + " > /dev/null"), 0);
  ExpectEveryEntry(Path("game"));
  EXPECT_TRUE(IsPrivateTempFile(lastPath, tmp, ""));
  CreateAssetResolvers(Path("game"));
  EXPECT_EQ(Resolved(longest.c_str()), "long name");
  EXPECT_TRUE(IsPrivateTempFile(lastPath, tmp, ".bmp"));
}

TEST_F(PackerTest, RefusedRunsLeaveTheOutputAsItWas) {
  WriteBytesTo(Path("game"), "program");
  std::filesystem::create_directories(Path("other"));
  WriteBytesTo(Path("other/ship.BMP"), "same name, other case");
  auto quietly = [&](const std::string& arguments) {
    return RunCommand(kQpack + " '" + Path("game") + "' " + arguments + " > /dev/null 2>&1");
  };
  EXPECT_EQ(quietly(Inputs() + " '" + Path("other/ship.BMP") + "'"), 1);
  EXPECT_EQ(quietly(Inputs() + " '" + Path("assets/nope") + "'"), 1);
  EXPECT_EQ(quietly("'" + root + "'"), 1);
  EXPECT_EQ(ReadBytesOf(Path("game")), "program");
  EXPECT_EQ(RunCommand(kQpack + " 2>/dev/null"), 2);
  // An OUTPUT the failed run made is gone again.
  EXPECT_EQ(RunCommand(kQpack + " '" + Path("new.pak") + "'" + Inputs() + " '" +
                       Path("other/ship.BMP") + "' > /dev/null 2>&1"),
            1);
  EXPECT_FALSE(Exists(Path("new.pak")));

  ASSERT_EQ(quietly(Inputs()), 0);
  std::string once = ReadBytesOf(Path("game"));
  EXPECT_EQ(quietly(Inputs()), 1);  // it already carries an archive
  EXPECT_EQ(ReadBytesOf(Path("game")), once);
}

}  // namespace
}  // namespace quillon
