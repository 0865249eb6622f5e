// The debugger breakpoint a translated program's breakpoint statement calls.
#pragma once

#include <cstdint>

namespace quillon {

// With a debugger attached: hides the window, writes "BP" and the number in hex to the debugger,
// shows the window again and resumes; without one, nothing.
// Example:
//   DebugBreakpoint(1);  // stops here when a debugger is attached
void DebugBreakpoint(int32_t number);

}  // namespace quillon
