// Line-record files: selection and write-back, the sentinels and recorded error codes, the
// record size limit, and the flush at program end.
#include "runtime/files/line_records.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "file_test_helpers.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/line_records_internal.h"

namespace quillon {
namespace {

using testing_files::FileTest;
using testing_files::ReadBytesOf;
using testing_files::WriteBytesTo;

class LineRecordTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    std::memset(&lineRecordCache, 0, sizeof lineRecordCache);
    runtimeState.errorCode = 0;
  }
  void TearDown() override {
    std::memset(&lineRecordCache, 0, sizeof lineRecordCache);
    FileTest::TearDown();
  }
  StringValue File(const std::string& name) { return StringValue(Path(name).c_str()); }
  std::string Read(const std::string& name, double record) {
    StringValue text("stale");
    lastResult = ReadRecordText(File(name), record, text);
    return std::string(text.text, text.length);
  }
  double lastResult = -1;
};

TEST_F(LineRecordTest, MissingFileReadsNoFileAndWritingRecordFiveGivesSixLines) {
  EXPECT_EQ(Read("new.txt", 0), "NO_FILE");
  EXPECT_EQ(lastResult, 3);
  EXPECT_EQ(runtimeState.errorCode, 3);
  EXPECT_EQ(WriteRecordText(File("new.txt"), 5, "five"), 0);
  EXPECT_EQ(Read("new.txt", 5), "five");
  FlushLineRecords();
  EXPECT_EQ(ReadBytesOf(Path("new.txt")), "\r\n\r\n\r\n\r\n\r\nfive\r\n");
}

TEST_F(LineRecordTest, BadNumbersRecordError7AndEmptyRecordsReadNoData) {
  WriteBytesTo(Path("r.txt"), "first\nsecond\n\x01\t\r\n \r\nlast\xE9\r\n");
  EXPECT_EQ(Read("r.txt", 300), "NO_DATA");
  EXPECT_EQ(lastResult, 7);
  EXPECT_EQ(runtimeState.errorCode, 7);
  EXPECT_EQ(Read("r.txt", NAN), "NO_DATA");
  EXPECT_EQ(WriteRecordText(File("r.txt"), 256, "x"), 7);
  EXPECT_EQ(WriteRecordNumber(File("r.txt"), -1, 1), 7);
  EXPECT_EQ(Read("r.txt", 1.9), "second");
  EXPECT_EQ(lastResult, 0);
  EXPECT_EQ(Read("r.txt", 2), "NO_DATA");  // only control bytes
  EXPECT_EQ(Read("r.txt", 3), " ");
  EXPECT_EQ(Read("r.txt", 4), "last\xE9");
  EXPECT_EQ(Read("r.txt", 5), "NO_DATA");
}

TEST_F(LineRecordTest, NumbersRoundTripThroughTheFile) {
  WriteRecordNumber(File("n.txt"), 0, 2.5);
  WriteRecordNumber(File("n.txt"), 1, -1e-3);
  FlushLineRecords();
  EXPECT_EQ(ReadBytesOf(Path("n.txt")), "2.5\r\n-0.001\r\n");
  EXPECT_EQ(ReadRecordNumber(File("n.txt"), 0), 2.5);
  EXPECT_EQ(ReadRecordNumber(File("n.txt"), 1), -1e-3);
  EXPECT_EQ(ReadRecordNumber(File("gone.txt"), 0), 0);
}

TEST_F(LineRecordTest, AlternatingFilesWritesBackOnlyChangedOnes) {
  const std::string original = "one\ntwo";  // LF only, no final line end
  WriteBytesTo(Path("keep.txt"), original);
  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, Path("keep.txt").c_str(), old, 0), 0);
  EXPECT_EQ(Read("keep.txt", 1), "two");
  WriteRecordText(File("a.txt"), 0, "a1");
  WriteRecordText(File("b.txt"), 0, "b1");
  EXPECT_EQ(ReadBytesOf(Path("a.txt")), "a1\r\n");
  WriteRecordText(File("a.txt"), 1, "a2");
  EXPECT_EQ(ReadBytesOf(Path("b.txt")), "b1\r\n");
  FlushLineRecords();
  EXPECT_EQ(ReadBytesOf(Path("a.txt")), "a1\r\na2\r\n");
  EXPECT_EQ(ReadBytesOf(Path("keep.txt")), original);
  struct stat info;
  ASSERT_EQ(stat(Path("keep.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(testing_files::FilesBelow(root),
            (std::set<std::string>{"a.txt", "b.txt", "keep.txt", "tmp"}));
}

TEST_F(LineRecordTest, LongTextsAreCutToARecordAndKeepLaterRecordNumbers) {
  EXPECT_EQ(WriteRecordText(File("long.txt"), 0, std::string(2000, 'x').c_str()), 0);
  WriteRecordText(File("long.txt"), 1, "next");
  FlushLineRecords();
  EXPECT_EQ(Read("long.txt", 0), std::string(1023, 'x'));
  EXPECT_EQ(Read("long.txt", 1), "next");
  // A longer line from elsewhere is one record: what exceeds a record is lost.
  std::string line(2500, 'y');
  line[1022] = 'A';
  line[1023] = 'B';
  WriteBytesTo(Path("foreign.txt"), line + "\r\nafter\r\n");
  EXPECT_EQ(Read("foreign.txt", 0), line.substr(0, 1023));
  EXPECT_EQ(Read("foreign.txt", 1), "after");
}

TEST_F(LineRecordTest, EveryLineEndsAtItsLineEndWhateverItsLength) {
  std::string text;
  for (size_t length : {1022, 1023, 1024, 1025, 40000}) {
    text += std::string(length, static_cast<char>('a' + length % 26)) + "\r\n";
  }
  text += std::string(1023, 'z') + "\n" + "last";
  WriteBytesTo(Path("lines.txt"), text);
  EXPECT_EQ(Read("lines.txt", 5), std::string(1023, 'z'));
  EXPECT_EQ(Read("lines.txt", 6), "last");
  WriteRecordText(File("lines.txt"), 6, "end");
  FlushLineRecords();
  std::string saved = ReadBytesOf(Path("lines.txt"));
  size_t at = 0;
  for (size_t length : {1022, 1023, 1024, 1025, 40000}) {
    std::string record(std::min<size_t>(length, 1023), static_cast<char>('a' + length % 26));
    EXPECT_EQ(saved.substr(at, record.size() + 2), record + "\r\n") << length;
    at += record.size() + 2;
  }
  EXPECT_EQ(saved.substr(at), std::string(1023, 'z') + "\r\nend\r\n");
}

TEST_F(LineRecordTest, OnlyTheFirst256LinesAreRecords) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i) + "\n";
  WriteBytesTo(Path("many.txt"), text);
  EXPECT_EQ(Read("many.txt", 255), "line 255");
  WriteRecordText(File("many.txt"), 0, "changed");
  FlushLineRecords();
  std::string saved = ReadBytesOf(Path("many.txt"));
  EXPECT_EQ(saved.substr(0, 9), "changed\r\n");
  EXPECT_EQ(saved.substr(saved.size() - 10), "line 255\r\n");
}

TEST_F(LineRecordTest, OverlongFileNameIsCutNeverOverrun) {
  StringValue name((root + "/" + std::string(1500, 'n')).c_str());
  EXPECT_EQ(WriteRecordText(name, 0, "kept in memory"), 0);
  EXPECT_EQ(std::strlen(lineRecordCache.currentFile), 1023u);
  StringValue text;
  EXPECT_EQ(ReadRecordText(name, 0, text), 0);  // the same cut name: still the cached file
  EXPECT_STREQ(text.CStr(), "kept in memory");
  FlushLineRecords();
  EXPECT_EQ(lineRecordCache.currentFile[0], '\0');
}

TEST_F(LineRecordTest, ChangedRecordsAreOnDiskAfterProgramEndAlsoByRuntimeError) {
  EXPECT_EXIT(
      {
        WriteRecordText(File("end.txt"), 1, "normal end");
        EndProgram();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytesOf(Path("end.txt")), "\r\nnormal end\r\n");
  EXPECT_EXIT(
      {
        WriteRecordText(File("error.txt"), 0, "error end");
        ReadByte(3);  // an empty channel: error 3 ends the program
      },
      ::testing::ExitedWithCode(3), "runtime error 3");
  EXPECT_EQ(ReadBytesOf(Path("error.txt")), "error end\r\n");
}

}  // namespace
}  // namespace quillon
