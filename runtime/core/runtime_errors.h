// Runtime errors and the error log: what every subsystem uses to report a failure.
#pragma once

#include <cstdint>

namespace quillon {

// Appends text and CR LF to "ErrorLog.txt" in the user's own directory quillon-UID (mode 0700)
// of the temporary directory; a line that cannot be written is dropped silently.
// Example:
//   if (LoadObject("ship.qmo", 1) == 0) ErrorLog("ship.qmo did not load; drawing a cube instead");
void ErrorLog(const char* text);
// Deletes the error log (start-up does this, so the log holds one run).
// Example:
//   ResetErrorLog();  // a fresh log for the level about to start
void ResetErrorLog();

// Records code and the current source line; returns code. The caller decides whether to end.
// Example:
//   double code = RaiseRuntimeError(3);  // reported as a file error at the current line
double RaiseRuntimeError(double code);
// Records a fatal error (3 file, 7 file channel or storage, 8 and 9 array) and ends the program
// through the end sequence, with the code as exit status and one line on stderr, e.g. "runtime
// error 9 at line 12: array index out of range in At". what replaces the code's usual words.
// Example:
//   if (FileExists("level1.map") == 0) EndProgramOnError(3, "LoadLevel", "level1.map is missing");
[[noreturn]] void EndProgramOnError(double code, const char* command = nullptr,
                                    const char* what = nullptr);
// The translated program marks the source position it runs; errors report it.
// Example:
//   MarkSourceLine(1, 42);  // module 1, line 42: an error from here names that line
void MarkSourceLine(double module, double line);

}  // namespace quillon
