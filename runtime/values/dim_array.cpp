#include "runtime/values/dim_array.h"

#include "runtime/core/runtime_errors.h"

namespace quillon {

void RaiseArrayError(int code, const char* command) { EndProgramOnError(code, command); }

}  // namespace quillon
