// Whole-file commands of the language.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Size in bytes (low 32 bits) of a file that can be opened for reading, else 0.
// Example:
//   if (FileSize("save.dat") < 16) ErrorLog("save.dat is too short");
double FileSize(const StringValue& name);
// 1 when a regular file of that name can be opened for reading, else 0.
// Example:
//   if (FileExists("save.dat") != 0) PrintText("C: continue", 260, 280);
double FileExists(const StringValue& name);
// Deletes the file; non-zero on success, 0 when it could not be deleted.
// Example:
//   if (DeleteFile("save.dat") == 0) ErrorLog("could not delete save.dat");
double DeleteFile(const StringValue& name);
// Copies in 4096-byte blocks; a short read or write deletes the destination.
// Example:
//   CopyFile("save.dat", "save.bak");  // keep the last good save before writing a new one
void CopyFile(const StringValue& source, const StringValue& destination);

}  // namespace quillon
