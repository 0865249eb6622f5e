// The eight numbered file channels of the language and the line reader the file formats share.
#pragma once

#include <cstddef>
#include <cstdio>

#include "runtime/values/string_value.h"

namespace quillon {

constexpr int kFileChannelCount = 8;

// An empty channel holds null.
struct FileChannels {
  FILE* handles[kFileChannelCount] = {};
};

extern FileChannels fileChannels;

// Channel numbers outside 0-7 end the program with error 7; short reads and writes with error 3
// (also a write the file system refuses). Written bytes reach the file before a write returns.
double OpenFile(double channel, const StringValue& name, double forReading);
void CloseFile(double channel);
double EndOfFile(double channel);

double ReadByte(double channel);
double ReadWord(double channel);
double ReadLong(double channel);
double ReadDouble(double channel);
void ReadBytes(double channel, StringValue& text, double count);
void ReadLine(double channel, StringValue& text);
double ReadNumberLine(double channel);

void WriteByte(double channel, double value);
void WriteWord(double channel, double value);
void WriteLong(double channel, double value);
void WriteDouble(double channel, double value);
void WriteBytes(double channel, const StringValue& text);
void WriteLine(double channel, const StringValue& text);
void WriteNumberLine(double channel, double value);

// Program end: every open channel is closed.
void CloseAllFileChannels();

// Reads one line piece of at most pieceSize bytes into buffer (pieceSize + 1 bytes), the way the
// language's ReadLine does: LF or CR LF removed, the file left right after the LF, the text cut
// at its first NUL. Returns false when not a single byte could be read.
bool ReadLinePiece(FILE* file, char* buffer, size_t pieceSize);

// The same pieces for a reader that goes through a whole file: read ahead in blocks, so a file
// of many short lines costs no seek per line.
constexpr size_t kLineReaderBlock = 16384;
struct LineReader {
  FILE* file = nullptr;
  char data[kLineReaderBlock];
  size_t start = 0;
  size_t end = 0;
  bool atEnd = false;
};
// pieceSize is at most kLineReaderBlock.
bool ReadLinePiece(LineReader& reader, char* buffer, size_t pieceSize);
// Reads a whole line, however long: its first keep bytes into buffer (keep + 1 bytes), the rest
// up to the line end skipped; LF or CR LF removed, the text cut at its first NUL. False when not
// a single byte could be read.
bool ReadWholeLine(LineReader& reader, char* buffer, size_t keep);

}  // namespace quillon
