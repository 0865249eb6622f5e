// Starting other programs.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Splits commandLine into arguments (blanks separate, double quotes group, a backslash escapes
// only a quote) and starts the first as a program with the rest as its arguments, never through
// a shell. exitCode is set to 0; with wait non-zero, blocks until the program ends (the window
// kept alive) and stores its exit status, 128 + the signal when a signal ended it. show has no
// effect here. 1 when the program was started, 0 when not (missing, empty line).
// Example:
//   double exitCode = 0;
//   if (RunProgram("xdg-open https://example.org/manual.html", 0, 1, exitCode) == 0)
//     ErrorLog("no browser to show the manual");
double RunProgram(const StringValue& commandLine, double wait, double show, double& exitCode);

}  // namespace quillon
