#include "runtime/core/runtime_state.h"

namespace quillon {

RuntimeState runtimeState;

}  // namespace quillon
