// Whole-file commands of the language.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Size in bytes (low 32 bits) of a file that can be opened for reading, else 0.
double FileSize(const StringValue& name);
// 1 when a regular file of that name can be opened for reading, else 0.
double FileExists(const StringValue& name);
// Deletes the file; non-zero on success, 0 when it could not be deleted.
double DeleteFile(const StringValue& name);
// Copies in 4096-byte blocks; a short read or write deletes the destination.
void CopyFile(const StringValue& source, const StringValue& destination);

}  // namespace quillon
