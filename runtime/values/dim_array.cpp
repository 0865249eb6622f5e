#include "runtime/values/dim_array.h"

#include "runtime/core/runtime_errors.h"

namespace quillon {

void RaiseArrayError(int code) { EndProgramOnError(code); }

}  // namespace quillon
