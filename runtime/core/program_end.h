// Runtime errors, the error log and the one way out of a running program.
#pragma once

#include <cstdint>

namespace quillon {

// Appends text and CR LF to "ErrorLog.txt" in the temporary directory; a line that cannot be
// written is dropped silently.
void ErrorLog(const char* text);
// Deletes the error log (start-up does this, so the log holds one run).
void ResetErrorLog();

// Records code and the current source line; returns code. The caller decides whether to end.
double RaiseRuntimeError(double code);
// Records a fatal error and ends the program with the code as exit status.
[[noreturn]] void EndProgramOnError(double code);
void MarkSourceLine(double module, double line);

// Never returns. The language's end statement and every other way out.
[[noreturn]] void EndProgram();

void DebugBreakpoint(int32_t number);

}  // namespace quillon
