// The eight file channels: widths, truncations, lines and the errors that end the program.
#include "runtime/files/file_channels.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "file_test_helpers.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/files/file_channels_internal.h"
#include "runtime/files/file_utilities.h"

namespace quillon {
namespace {

using ::testing::ExitedWithCode;
using testing_files::FileTest;
using testing_files::ReadBytesOf;
using testing_files::WriteBytesTo;

class FileChannelTest : public FileTest {
 protected:
  // Opens channel 0 on a file holding exactly these bytes.
  void OpenWith(const std::string& bytes) {
    WriteBytesTo(Path("in.bin"), bytes);
    ASSERT_EQ(OpenFile(0, Path("in.bin").c_str(), 1), 1.0);
  }
  // Writes through channel 1 and hands back what reached the disk.
  template <typename Write>
  std::string Written(Write write) {
    EXPECT_EQ(OpenFile(1, Path("out.bin").c_str(), 0), 1.0);
    write();
    CloseFile(1);
    return ReadBytesOf(Path("out.bin"));
  }
};

TEST_F(FileChannelTest, ChannelNumbersOutsideZeroToSevenEndWithError7) {
  EXPECT_EXIT(OpenFile(8, Path("x").c_str(), 0), ExitedWithCode(7), "runtime error 7");
  EXPECT_EXIT(CloseFile(-1), ExitedWithCode(7), "runtime error 7");
  EXPECT_EXIT(ReadByte(NAN), ExitedWithCode(7), "runtime error 7");
  EXPECT_EXIT(WriteLong(1e300, 1), ExitedWithCode(7), "runtime error 7");
  EXPECT_FALSE(testing_files::Exists(Path("x")));
  // Truncated toward zero: 7.9 is channel 7 and -0.5 channel 0; EndOfFile never ends.
  ASSERT_EQ(OpenFile(7.9, Path("seven").c_str(), 0), 1.0);
  WriteByte(7, 'a');
  CloseFile(7.2);
  ASSERT_EQ(OpenFile(-0.5, Path("seven").c_str(), 1), 1.0);
  EXPECT_EQ(ReadByte(0), 'a');
  EXPECT_EQ(EndOfFile(99), 1.0);
  EXPECT_EQ(EndOfFile(3), 1.0);
}

TEST_F(FileChannelTest, LinesEndInLfOrCrLfThenEndOfFileThenError3) {
  OpenWith("\x41\x42\x0D\x0A\x5A");
  StringValue line;
  EXPECT_EQ(EndOfFile(0), 0.0);  // the probe gives its byte back
  ReadLine(0, line);
  EXPECT_STREQ(line.CStr(), "AB");
  ReadLine(0, line);
  EXPECT_STREQ(line.CStr(), "Z");
  EXPECT_EQ(EndOfFile(0), 1.0);
  EXPECT_EXIT(ReadLine(0, line), ExitedWithCode(3), "runtime error 3");
}

TEST_F(FileChannelTest, LongLineComesInPiecesOf1024AndNulEndsTheText) {
  std::string longLine(3000, 'a');
  longLine[1023] = 'b';
  longLine[1024] = 'c';
  OpenWith(longLine + "\r\nx" + std::string(1, '\0') + "y\nlast");
  StringValue line;
  ReadLine(0, line);
  EXPECT_EQ(std::string(line.CStr()), longLine.substr(0, 1024));
  ReadLine(0, line);
  EXPECT_EQ(std::string(line.CStr()), longLine.substr(1024, 1024));
  ReadLine(0, line);
  EXPECT_EQ(std::string(line.CStr()), longLine.substr(2048));
  ReadLine(0, line);
  EXPECT_STREQ(line.CStr(), "x");  // cut at the NUL; the file still moves past the line
  EXPECT_EQ(ReadNumberLine(0), 0);
}

TEST_F(FileChannelTest, NumbersReadBackAsWrittenAndUnsigned) {
  std::string bytes = Written([] {
    WriteLong(1, 70000);
    WriteWord(1, 65535);
    WriteDouble(1, -2.5e-7);
    WriteNumberLine(1, 2.5);
  });
  OpenWith(bytes + std::string("\xFF\xFF\xFF\xFF\xFE", 5));
  EXPECT_EQ(ReadLong(0), 70000);
  EXPECT_EQ(ReadWord(0), 65535);
  EXPECT_EQ(ReadDouble(0), -2.5e-7);
  EXPECT_EQ(ReadNumberLine(0), 2.5);
  EXPECT_EQ(ReadLong(0), 4294967295.0);
  EXPECT_EQ(ReadByte(0), 254);
}

TEST_F(FileChannelTest, WritesKeepOnlyTheLowBitsOfTheTruncatedValue) {
  EXPECT_EQ(Written([] { WriteWord(1, 65537); }), std::string("\x01\x00", 2));
  EXPECT_EQ(Written([] { WriteByte(1, 321.9); }), "A");
  EXPECT_EQ(Written([] { WriteWord(1, -2.7); }), "\xFE\xFF");
  // Beyond 32 bits the conversion gives 0x80000000, as the x86 instruction does.
  EXPECT_EQ(Written([] { WriteLong(1, 1e10); }), std::string("\x00\x00\x00\x80", 4));
  EXPECT_EQ(Written([] {
              WriteLine(1, "one");
              WriteBytes(1, StringValue("raw"));
            }),
            "one\r\nraw");
}

TEST_F(FileChannelTest, ReadBytesTakesExactlyCountAndStopsTheTextAtNul) {
  std::string big(300000, 'z');  // more than one read chunk
  OpenWith(std::string("abc\0def", 7) + big);
  StringValue text("old contents");
  ReadBytes(0, text, 0);
  EXPECT_EQ(text.length, 0u);
  EXPECT_EQ(ReadByte(0), 'a');  // count 0 read nothing
  ReadBytes(0, text, 2.9);
  EXPECT_STREQ(text.CStr(), "bc");
  ReadBytes(0, text, 4);
  EXPECT_EQ(text.length, 0u);  // the NUL came first
  ReadBytes(0, text, 300000);
  EXPECT_EQ(std::string(text.text, text.length), big);
  EXPECT_EQ(EndOfFile(0), 1.0);
}

TEST_F(FileChannelTest, ShortReadsAndWritesEndWithError3) {
  OpenWith("x");
  StringValue text;
  EXPECT_EXIT(ReadWord(0), ExitedWithCode(3), "runtime error 3");
  EXPECT_EXIT(ReadLong(2), ExitedWithCode(3), "runtime error 3");  // never opened
  EXPECT_EXIT(WriteBytes(4, StringValue("")), ExitedWithCode(3), "runtime error 3");
  EXPECT_EXIT(WriteLine(0, "no"), ExitedWithCode(3), "runtime error 3");  // opened for reading
  // A huge count must fail by what the file delivers, not by allocating the count first:
  // under a capped address space that allocation would abort instead.
  EXPECT_EXIT(
      {
        testing_files::LimitAddressSpace();
        ReadBytes(0, text, 3.5e9);
      },
      ExitedWithCode(3), "runtime error 3");
  EXPECT_EXIT(ReadBytes(0, text, 1e15), ExitedWithCode(3), "runtime error 3");
}

TEST_F(FileChannelTest, WriteTheFileSystemRefusesIsError3) {
  EXPECT_EXIT(
      {
        signal(SIGXFSZ, SIG_IGN);  // a write past the cap then fails with EFBIG
        struct rlimit cap;
        cap.rlim_cur = cap.rlim_max = 1024;
        setrlimit(RLIMIT_FSIZE, &cap);
        OpenFile(0, Path("capped").c_str(), 0);
        WriteBytes(0, StringValue(std::string(3000, 'x').c_str()));
        EndProgram();
      },
      ExitedWithCode(3), "runtime error 3");
}

TEST_F(FileChannelTest, WrittenBytesAreInTheFileAtOnce) {
  ASSERT_EQ(OpenFile(1, Path("live").c_str(), 0), 1.0);
  ASSERT_EQ(OpenFile(2, Path("live").c_str(), 1), 1.0);
  EXPECT_EQ(EndOfFile(2), 1.0);
  WriteLong(1, 7);
  EXPECT_EQ(FileSize(Path("live").c_str()), 4);
  ASSERT_EQ(EndOfFile(2), 0.0);  // else the read below would end the test program
  EXPECT_EQ(ReadLong(2), 7);
  WriteLine(1, "more");
  CopyFile(Path("live").c_str(), Path("copy").c_str());
  EXPECT_EQ(ReadBytesOf(Path("copy")), std::string("\x07\0\0\0more\r\n", 10));
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(FileChannelTest, ReadBytesBeyondWhatMemoryHoldsIsError7) {
  WriteBytesTo(Path("sparse"), "");
  ASSERT_EQ(truncate(Path("sparse").c_str(), off_t{1} << 30), 0);  // 1 GiB, no blocks on disk
  ASSERT_EQ(OpenFile(0, Path("sparse").c_str(), 1), 1.0);
  EXPECT_EXIT(
      {
        testing_files::LimitAddressSpace();
        StringValue text;
        ReadBytes(0, text, 1 << 30);
      },
      ExitedWithCode(7), "runtime error 7");
}
#endif

TEST_F(FileChannelTest, OpeningTruncatesReopeningClosesAndFailuresLeaveTheChannelEmpty) {
  WriteBytesTo(Path("old"), "previous contents");
  ASSERT_EQ(OpenFile(2, Path("old").c_str(), 0), 1.0);
  WriteLine(2, "kept");
  ASSERT_EQ(OpenFile(2, Path("second").c_str(), 0), 1.0);
  EXPECT_EQ(ReadBytesOf(Path("old")), "kept\r\n");
  EXPECT_EQ(OpenFile(2, Path("missing").c_str(), 1), 0.0);
  EXPECT_EQ(OpenFile(3, root.c_str(), 1), 0.0);  // a directory is not a file
  EXPECT_EQ(EndOfFile(2), 1.0);
  EXPECT_EXIT(ReadByte(2), ExitedWithCode(3), "runtime error 3");

  ASSERT_EQ(OpenFile(5, Path("ch5").c_str(), 0), 1.0);
  WriteLong(5, 1234);
  CloseAllFileChannels();
  EXPECT_EQ(ReadBytesOf(Path("ch5")), std::string("\xD2\x04\x00\x00", 4));
  EXPECT_EQ(EndOfFile(5), 1.0);
}

}  // namespace
}  // namespace quillon
