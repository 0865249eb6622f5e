// The current directory, listings with patterns and the command line's quoting.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/quillon.h"
#include "runtime/system/system_internal.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// Runs each test inside a fresh directory and goes back afterwards.
class InTempDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = fs::current_path();
    dir = testing::MakeTempDir("system");
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(dir);
  }
  static void Touch(const std::string& name) { std::ofstream(name) << "x"; }
  fs::path previous;
  std::string dir;
};

std::vector<std::string> Names(DimArray<StringValue>& list, int from, int to) {
  std::vector<std::string> names;
  for (int i = from; i < to; ++i) names.push_back(list.At(i).CStr());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(InTempDirectory, ListDirectoryPutsDirectoriesFirstAndMatchesFilesWithoutCase) {
  for (const char* name : {"ship.bmp", "ROCK.BMP", "x.Bmp", "notes.txt", "bmp"}) Touch(name);
  DimArray<StringValue> list;
  EXPECT_EQ(ListDirectory("*.BMP", list), 131075.0);  // "." and "..", three pictures
  ASSERT_EQ(list.Bound(0), 5.0);
  EXPECT_EQ(Names(list, 0, 2), (std::vector<std::string>{".", ".."}));
  EXPECT_EQ(Names(list, 2, 5), (std::vector<std::string>{"ROCK.BMP", "ship.bmp", "x.Bmp"}));

  fs::create_directory("maps");
  EXPECT_EQ(ListDirectory("nothing*", list), 3.0 * 65536);  // directories whatever the pattern
  EXPECT_EQ(Names(list, 0, 3), (std::vector<std::string>{".", "..", "maps"}));
}

TEST(FilePattern, QuestionMarkTakesOneCharacterButNeverTheDot) {
  EXPECT_TRUE(MatchesFilePattern("ship?bmp", "shipXbmp"));
  EXPECT_FALSE(MatchesFilePattern("ship?bmp", "ship.bmp"));
  EXPECT_FALSE(MatchesFilePattern("?", ""));
  EXPECT_TRUE(MatchesFilePattern("*", ""));
  EXPECT_TRUE(MatchesFilePattern("*.*", "a.b.c"));
  EXPECT_TRUE(MatchesFilePattern("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(MatchesFilePattern("a*b*c", "aXbYbZ"));
  EXPECT_TRUE(MatchesFilePattern("LEVEL?.MAP", "level7.map"));
}

TEST_F(InTempDirectory, ChangeDirectoryToAMissingPathChangesNothing) {
  StringValue before = CurrentDirectory();
  EXPECT_EQ(std::string(before.CStr()), fs::current_path().string() + "/");
  EXPECT_EQ(ChangeDirectory("no/such/place"), 0.0);
  EXPECT_EQ(ChangeDirectory(""), 0.0);
  EXPECT_STREQ(CurrentDirectory().CStr(), before.CStr());

  fs::create_directory("sub");
  EXPECT_EQ(ChangeDirectory("sub"), 1.0);
  EXPECT_EQ(std::string(CurrentDirectory().CStr()), std::string(before.CStr()) + "sub/");
  EXPECT_EQ(ChangeDirectory("/"), 1.0);
  EXPECT_STREQ(CurrentDirectory().CStr(), "/");  // one slash at the root
}

TEST(CommandLine, QuotedArgumentsSplitBackToThemselves) {
  std::vector<std::string> args = {"prog",       "plain", "two words", "say \"hi\"", "c:\\dir\\",
                                   "end\\\\\"q", "",      "tab\there", "a;b"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  KeepCommandLine(int(argv.size()), argv.data());
  std::string line = CommandLineText().CStr();
  EXPECT_EQ(line.rfind("plain \"two words\" ", 0), 0u) << line;
  EXPECT_EQ(SplitCommandLine(line), std::vector<std::string>(args.begin() + 1, args.end())) << line;
}

TEST(CommandLine, SplitsByTheQuotingRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("  a   b\t\"c d\" "), (V{"a", "b", "c d"}));
  EXPECT_EQ(SplitCommandLine("x\\y \\\\\\\"z"), (V{"x\\y", "\\\"z"}));  // \\\" gives \ and "
  EXPECT_EQ(SplitCommandLine("\"a\"\"b\" \\\\\"c d\""), (V{"ab", "\\c d"}));
  EXPECT_EQ(SplitCommandLine("tail\\\\"), (V{"tail\\\\"}));
  EXPECT_EQ(SplitCommandLine(""), V{});
}

}  // namespace
}  // namespace quillon
