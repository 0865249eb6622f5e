// The error log lives in a directory of the user's own below the temporary directory, and is
// never written through a link or into a directory that others share.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "file_test_helpers.h"
#include "runtime/core/runtime_errors.h"

namespace quillon {
namespace {

using testing_files::Exists;
using testing_files::ReadBytesOf;

class ErrorLogTest : public testing_files::FileTest {
 protected:
  std::string UserDirectory() const { return tmp + "quillon-" + std::to_string(geteuid()); }
  std::string LogPath() const { return UserDirectory() + "/ErrorLog.txt"; }
};

TEST_F(ErrorLogTest, LinesGoToADirectoryOnlyThisUserCanEnter) {
  ErrorLog("first");
  ErrorLog("second");
  EXPECT_EQ(ReadBytesOf(LogPath()), "first\r\nsecond\r\n");
  EXPECT_FALSE(Exists(tmp + "ErrorLog.txt"));
  struct stat info;
  ASSERT_EQ(lstat(UserDirectory().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(info.st_uid, geteuid());
  ResetErrorLog();
  EXPECT_FALSE(Exists(LogPath()));
}

TEST_F(ErrorLogTest, PlantedLinksAndSharedDirectoriesAreNeverWrittenThrough) {
  testing_files::WriteBytesTo(Path("victim"), "precious");
  ASSERT_EQ(symlink(Path("victim").c_str(), (tmp + "ErrorLog.txt").c_str()), 0);
  ErrorLog("one");
  std::filesystem::remove(LogPath());
  ASSERT_EQ(symlink(Path("victim").c_str(), LogPath().c_str()), 0);
  ErrorLog("two");
  EXPECT_EQ(ReadBytesOf(Path("victim")), "precious");

  auto expectRefused = [&](const char* what) {
    ErrorLog("refused");
    EXPECT_FALSE(Exists(LogPath())) << what;
    std::filesystem::remove_all(UserDirectory());
  };
  std::filesystem::remove_all(UserDirectory());
  ASSERT_EQ(mkdir(UserDirectory().c_str(), 0700), 0);
  ASSERT_EQ(chmod(UserDirectory().c_str(), 0777), 0);
  expectRefused("a directory open to others");
  std::filesystem::create_directories(Path("elsewhere"));
  ASSERT_EQ(chmod(Path("elsewhere").c_str(), 0700), 0);
  ASSERT_EQ(symlink(Path("elsewhere").c_str(), UserDirectory().c_str()), 0);
  expectRefused("a link to a directory");
  if (geteuid() == 0) {  // only root can give a directory away
    ASSERT_EQ(mkdir(UserDirectory().c_str(), 0700), 0);
    ASSERT_EQ(chown(UserDirectory().c_str(), 65534, 0), 0);
    expectRefused("another user's directory");
  }
}

}  // namespace
}  // namespace quillon
