// Plumbing of the file channels: the channel table, and the line reader the file formats share.
#pragma once

#include <cstddef>
#include <cstdio>

#include "runtime/files/file_channels.h"

namespace quillon {

// An empty channel holds null.
struct FileChannels {
  FILE* handles[kFileChannelCount] = {};
};

extern FileChannels fileChannels;

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
