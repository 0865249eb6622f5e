// Opening and replacing files the way every file command of the runtime does.
#pragma once

#include <cstdio>
#include <string>

namespace quillon {

// Regular files only: a directory is not a file here, and a FIFO would block the program.
FILE* OpenForReading(const char* path);
// Creates or truncates a regular file.
FILE* OpenForWriting(const char* path);

// Writes contents to a new file beside path and renames it over path, so a crash mid-write
// leaves the old file whole. False when anything failed (the old file is then untouched).
bool ReplaceFileContents(const std::string& path, const std::string& contents);

}  // namespace quillon
