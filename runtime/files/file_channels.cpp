#include "runtime/files/file_channels_internal.h"
#include "runtime/files/file_channels.h"

#include <sys/types.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/core/bytes.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/files/file_utilities.h"
#include "runtime/files/file_utilities_internal.h"
#include "runtime/values/truncate.h"

namespace quillon {

FileChannels fileChannels;

namespace {

constexpr size_t kLinePiece = 1024;
constexpr double kChannelError = 7;
constexpr double kShortTransfer = 3;
constexpr const char* kNotOpen = "no file open on the channel";
constexpr const char* kShortRead = "read past the end of the file";
// The most a text can hold, with room for the terminator and the growth step.
constexpr double kLargestText = 4294967295.0 - 1024;
// ReadBytes grows its text as bytes arrive, so a huge count costs only what the file delivers.
constexpr uint32_t kFirstReadChunk = 65536;

int ChannelIndex(double channel, const char* command) {
  double index = std::trunc(channel);
  if (!(index >= 0 && index < kFileChannelCount))
    EndProgramOnError(kChannelError, command, "file channel outside 0 to 7");
  return static_cast<int>(index);
}

FILE* ChannelFile(double channel, const char* command) {
  return fileChannels.handles[ChannelIndex(channel, command)];
}

void CloseChannel(int index) {
  if (fileChannels.handles[index] != nullptr) std::fclose(fileChannels.handles[index]);
  fileChannels.handles[index] = nullptr;
}

void ReadExactly(double channel, unsigned char* out, size_t count, const char* command) {
  FILE* file = ChannelFile(channel, command);
  if (file == nullptr) EndProgramOnError(kShortTransfer, command, kNotOpen);
  if (std::fread(out, 1, count, file) != count)
    EndProgramOnError(kShortTransfer, command, kShortRead);
}

void WriteExactly(double channel, const void* data, size_t count, const char* command) {
  FILE* file = ChannelFile(channel, command);
  if (file == nullptr) EndProgramOnError(kShortTransfer, command, kNotOpen);
  if (count > 0 && std::fwrite(data, 1, count, file) != count) {
    EndProgramOnError(kShortTransfer, command, "the file refused the write");
  }
}

void WriteLittleEndian(double channel, uint32_t value, int count, const char* command) {
  uint8_t bytes[4];
  PutLittleEndian(bytes, value, count);
  WriteExactly(channel, bytes, static_cast<size_t>(count), command);
}

void WriteWithLineEnd(double channel, const char* text, uint32_t length, const char* command) {
  WriteExactly(channel, text, length, command);
  WriteExactly(channel, "\r\n", 2, command);
}

}  // namespace

bool ReadLinePiece(FILE* file, char* buffer, size_t pieceSize) {
  std::memset(buffer, 0, pieceSize + 1);
  size_t got = std::fread(buffer, 1, pieceSize, file);
  // A later read must see bytes appended after this one met the end.
  if (got < pieceSize) std::clearerr(file);
  if (got == 0) return false;
  char* lf = static_cast<char*>(std::memchr(buffer, '\n', got));
  if (lf == nullptr) return true;
  size_t used = static_cast<size_t>(lf - buffer) + 1;
  if (used < got) ::fseeko(file, -static_cast<off_t>(got - used), SEEK_CUR);
  *lf = '\0';
  if (lf > buffer && lf[-1] == '\r') lf[-1] = '\0';
  return true;
}

namespace {

// Keeps at least wanted bytes ahead when the file still has them.
void FillLineReader(LineReader& reader, size_t wanted) {
  if (reader.end - reader.start >= wanted || reader.atEnd) return;
  std::memmove(reader.data, reader.data + reader.start, reader.end - reader.start);
  reader.end -= reader.start;
  reader.start = 0;
  while (reader.end < kLineReaderBlock && !reader.atEnd) {
    size_t n = std::fread(reader.data + reader.end, 1, kLineReaderBlock - reader.end, reader.file);
    if (n == 0) reader.atEnd = true;
    reader.end += n;
  }
}

}  // namespace

bool ReadLinePiece(LineReader& reader, char* buffer, size_t pieceSize) {
  pieceSize = std::min(pieceSize, kLineReaderBlock);
  std::memset(buffer, 0, pieceSize + 1);
  FillLineReader(reader, pieceSize);
  size_t available = std::min(reader.end - reader.start, pieceSize);
  if (available == 0) return false;
  const char* begin = reader.data + reader.start;
  const char* lf = static_cast<const char*>(std::memchr(begin, '\n', available));
  size_t used = lf != nullptr ? static_cast<size_t>(lf - begin) + 1 : available;
  std::memcpy(buffer, begin, used);
  reader.start += used;
  if (lf != nullptr) {
    buffer[used - 1] = '\0';
    if (used >= 2 && buffer[used - 2] == '\r') buffer[used - 2] = '\0';
  }
  return true;
}

bool ReadWholeLine(LineReader& reader, char* buffer, size_t keep) {
  size_t length = 0;  // bytes of the line so far, without its LF
  bool endsInCr = false;
  bool ended = false;
  while (!ended) {
    FillLineReader(reader, 1);
    size_t available = reader.end - reader.start;
    if (available == 0) break;
    const char* begin = reader.data + reader.start;
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', available));
    size_t taken = lf != nullptr ? static_cast<size_t>(lf - begin) : available;
    if (length < keep) std::memcpy(buffer + length, begin, std::min(taken, keep - length));
    if (taken > 0) endsInCr = begin[taken - 1] == '\r';
    length += taken;
    ended = lf != nullptr;
    reader.start += ended ? taken + 1 : taken;
  }
  if (length == 0 && !ended) return false;
  // The CR of a CR LF belongs to the line end; a lone CR at the end of the file is text.
  size_t text = ended && endsInCr ? length - 1 : length;
  buffer[std::min(text, keep)] = '\0';
  return true;
}

double OpenFile(double channel, const StringValue& name, double forReading) {
  int index = ChannelIndex(channel, __func__);
  CloseChannel(index);
  FILE* file = forReading != 0 ? OpenForReading(name.CStr()) : OpenForWriting(name.CStr());
  // Unbuffered: a write the file system refuses (disk full, size limit) fails in its own command,
  // and other channels and the file commands see the bytes at once.
  if (file != nullptr && forReading == 0) std::setvbuf(file, nullptr, _IONBF, 0);
  fileChannels.handles[index] = file;
  return file != nullptr ? 1.0 : 0.0;
}

void CloseFile(double channel) { CloseChannel(ChannelIndex(channel, __func__)); }

double EndOfFile(double channel) {
  double index = std::trunc(channel);
  // Not a channel at all reads as one with nothing left.
  if (!(index >= 0 && index < kFileChannelCount)) return 1.0;
  FILE* file = fileChannels.handles[static_cast<int>(index)];
  if (file == nullptr) return 1.0;
  int c = std::fgetc(file);
  if (c == EOF) {
    std::clearerr(file);
    return 1.0;
  }
  std::ungetc(c, file);
  return 0.0;
}

double ReadByte(double channel) {
  unsigned char b[1];
  ReadExactly(channel, b, 1, __func__);
  return b[0];
}

double ReadWord(double channel) {
  unsigned char b[2];
  ReadExactly(channel, b, 2, __func__);
  return ReadLittleEndian(b, 2);
}

double ReadLong(double channel) {
  unsigned char b[4];
  ReadExactly(channel, b, 4, __func__);
  return ReadLittleEndian(b, 4);
}

double ReadDouble(double channel) {
  unsigned char b[8];
  ReadExactly(channel, b, 8, __func__);
  double value;
  std::memcpy(&value, b, 8);
  return value;
}

void ReadBytes(double channel, StringValue& text, double count) {
  FILE* file = ChannelFile(channel, __func__);
  double wanted = std::trunc(count);
  if (!(wanted > 0)) {
    text = "";
    return;
  }
  if (file == nullptr) EndProgramOnError(kShortTransfer, __func__, kNotOpen);
  if (wanted > kLargestText)
    EndProgramOnError(kShortTransfer, __func__, "more bytes than a text holds");
  uint32_t want = static_cast<uint32_t>(wanted);
  uint32_t got = 0;
  while (got < want) {
    uint64_t doubled = std::max<uint64_t>(kFirstReadChunk, uint64_t{got} * 2);
    uint32_t room = static_cast<uint32_t>(std::min<uint64_t>(want, doubled));
    text.Reserve(room);
    size_t n = std::fread(text.text + got, 1, room - got, file);
    got += static_cast<uint32_t>(n);
    if (got < room) break;
  }
  if (got < want) EndProgramOnError(kShortTransfer, __func__, kShortRead);
  text.text[want] = '\0';
  text.RecountLength();
}

void ReadLine(double channel, StringValue& text) {
  FILE* file = ChannelFile(channel, __func__);
  text.Reserve(kLinePiece);
  if (file == nullptr) EndProgramOnError(kShortTransfer, __func__, kNotOpen);
  if (!ReadLinePiece(file, text.text, kLinePiece))
    EndProgramOnError(kShortTransfer, __func__, kShortRead);
  text.RecountLength();
}

double ReadNumberLine(double channel) {
  StringValue line;
  ReadLine(channel, line);
  return TextToNumber(line.CStr());
}

void WriteByte(double channel, double value) {
  WriteLittleEndian(channel, static_cast<uint32_t>(TruncateToInt32(value)), 1, __func__);
}

void WriteWord(double channel, double value) {
  WriteLittleEndian(channel, static_cast<uint32_t>(TruncateToInt32(value)), 2, __func__);
}

void WriteLong(double channel, double value) {
  WriteLittleEndian(channel, static_cast<uint32_t>(TruncateToInt32(value)), 4, __func__);
}

void WriteDouble(double channel, double value) {
  WriteExactly(channel, &value, sizeof value, __func__);
}

void WriteBytes(double channel, const StringValue& text) {
  WriteExactly(channel, text.CStr(), text.length, __func__);
}

void WriteLine(double channel, const StringValue& text) {
  WriteWithLineEnd(channel, text.CStr(), text.length, __func__);
}

void WriteNumberLine(double channel, double value) {
  char digits[64];
  uint32_t length = FormatNumberText(value, digits);
  WriteWithLineEnd(channel, digits, length, __func__);
}

void CloseAllFileChannels() {
  for (int i = 0; i < kFileChannelCount; ++i) CloseChannel(i);
}

}  // namespace quillon
