// Whole-file commands of the language and the open and replace helpers the file code shares.
#pragma once

#include <cstdio>
#include <string>

#include "runtime/values/string_value.h"

namespace quillon {

// Size in bytes (low 32 bits) of a file that can be opened for reading, else 0.
double FileSize(const StringValue& name);
double FileExists(const StringValue& name);
// Non-zero on success.
double DeleteFile(const StringValue& name);
// Copies in 4096-byte blocks; a short read or write deletes the destination.
void CopyFile(const StringValue& source, const StringValue& destination);

// Regular files only: a directory is not a file here, and a FIFO would block the program.
FILE* OpenForReading(const char* path);
// Creates or truncates a regular file.
FILE* OpenForWriting(const char* path);

// Writes contents to a new file beside path and renames it over path, so a crash mid-write
// leaves the old file whole. False when anything failed (the old file is then untouched).
bool ReplaceFileContents(const std::string& path, const std::string& contents);

}  // namespace quillon
