// Whole-file commands and the replace-by-rename save the INI and record files use.
#include "runtime/files/file_utilities.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "file_test_helpers.h"
#include "runtime/files/file_utilities_internal.h"

namespace quillon {
namespace {

using testing_files::Exists;
using testing_files::FilesBelow;
using testing_files::FileTest;
using testing_files::ReadBytesOf;
using testing_files::WriteBytesTo;

using FileUtilityTest = FileTest;

// Writes past the cap fail for real (EFBIG) instead of killing the process.
void CapFileSize(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit r = {bytes, bytes};
  setrlimit(RLIMIT_FSIZE, &r);
}

TEST_F(FileUtilityTest, SizeExistenceAndDeletionOnlyForFiles) {
  WriteBytesTo(Path("five.bin"), std::string(5000, 'x'));
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(FileSize(Path("five.bin").c_str()), 5000);
  EXPECT_EQ(FileExists(Path("five.bin").c_str()), 1.0);
  EXPECT_EQ(FileSize(Path("missing").c_str()), 0);
  EXPECT_EQ(FileExists(Path("missing").c_str()), 0.0);
  EXPECT_EQ(FileExists(root.c_str()), 0.0);
  EXPECT_EQ(FileExists(Path("pipe").c_str()), 0.0);  // and it did not block
  EXPECT_NE(DeleteFile(Path("five.bin").c_str()), 0.0);
  EXPECT_EQ(DeleteFile(Path("five.bin").c_str()), 0.0);
  EXPECT_EQ(DeleteFile(root.c_str()), 0.0);
  EXPECT_TRUE(Exists(root));
}

TEST_F(FileUtilityTest, CopyIsByteExactAcrossBlockBoundaries) {
  for (size_t size : {0u, 4095u, 4096u, 12289u}) {
    std::string bytes = testing_files::RandomBytes(size, static_cast<uint32_t>(size));
    WriteBytesTo(Path("src"), bytes);
    WriteBytesTo(Path("dst"), "longer previous contents that must go away");
    CopyFile(Path("src").c_str(), Path("dst").c_str());
    EXPECT_EQ(ReadBytesOf(Path("dst")), bytes) << size;
  }
}

TEST_F(FileUtilityTest, CopyFromMissingSourceOrOntoItselfChangesNothing) {
  CopyFile(Path("missing").c_str(), Path("dst").c_str());
  EXPECT_FALSE(Exists(Path("dst")));
  WriteBytesTo(Path("same"), "precious");
  CopyFile(Path("same").c_str(), (root + "/./same").c_str());
  EXPECT_EQ(ReadBytesOf(Path("same")), "precious");
}

TEST_F(FileUtilityTest, ShortWriteDeletesTheDestination) {
  WriteBytesTo(Path("src"), testing_files::RandomBytes(20000, 1));
  EXPECT_EXIT(
      {
        CapFileSize(8192);
        CopyFile(Path("src").c_str(), Path("dst").c_str());
        std::exit(Exists(Path("dst")) ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(FileUtilityTest, ReplaceKeepsTheModeOrLeavesTheOldFileWhole) {
  WriteBytesTo(Path("doc.ini"), "old");
  chmod(Path("doc.ini").c_str(), 0640);
  ASSERT_TRUE(ReplaceFileContents(Path("doc.ini"), "new contents"));
  EXPECT_EQ(ReadBytesOf(Path("doc.ini")), "new contents");
  struct stat info;
  ASSERT_EQ(stat(Path("doc.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // A write that fails part-way (file size cap) must not touch the old contents.
  EXPECT_EXIT(
      {
        CapFileSize(4);
        std::exit(ReplaceFileContents(Path("doc.ini"), "a much longer new text") ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytesOf(Path("doc.ini")), "new contents");
  EXPECT_EQ(FilesBelow(root), (std::set<std::string>{"doc.ini", "tmp"}));
}

TEST_F(FileUtilityTest, ReplaceLeavesTheTemporaryFileOfAnotherSaverAlone) {
  WriteBytesTo(Path("doc.ini"), "old");
  // What a second program saving the same file may have half written at this moment.
  WriteBytesTo(Path("doc.ini.~save"), "the other program's half");
  ASSERT_TRUE(ReplaceFileContents(Path("doc.ini"), "mine"));
  EXPECT_EQ(ReadBytesOf(Path("doc.ini")), "mine");
  EXPECT_EQ(ReadBytesOf(Path("doc.ini.~save")), "the other program's half");
  EXPECT_EQ(FilesBelow(root), (std::set<std::string>{"doc.ini", "doc.ini.~save", "tmp"}));
}

TEST_F(FileUtilityTest, ReplaceCreatesNewFilesWithTheUsualModeUnderTheUmask) {
  mode_t previous = umask(027);
  ASSERT_TRUE(ReplaceFileContents(Path("new.ini"), "x"));
  // A bare name is saved in the current directory.
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(root.c_str()), 0);
  bool relative = ReplaceFileContents("relative.ini", "y");
  ASSERT_EQ(chdir(here), 0);
  umask(previous);
  EXPECT_TRUE(relative);
  for (const char* name : {"new.ini", "relative.ini"}) {
    struct stat info;
    ASSERT_EQ(stat(Path(name).c_str(), &info), 0) << name;
    EXPECT_EQ(info.st_mode & 07777, 0640u) << name;
  }
  EXPECT_EQ(FilesBelow(root), (std::set<std::string>{"new.ini", "relative.ini", "tmp"}));
}

}  // namespace
}  // namespace quillon
