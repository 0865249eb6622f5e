#include "runtime/values/dim_array.h"

#include "runtime/core/program_end.h"

namespace quillon {

void RaiseArrayError(int code) { EndProgramOnError(code); }

}  // namespace quillon
