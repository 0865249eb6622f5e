// System information, debugger output and functions of other libraries.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// By key, in either case: "" gives "LINUX", "DEVICE" "DESKTOP", "TIME" the local time as
// 2007-3-30 9:5:7, "ID" 8 upper-case hex digits for the machine; any other key "NO_DATA".
// Example:
//   PrintText(SystemInfo("TIME"), 8, 460);
StringValue SystemInfo(const StringValue& key);
// With a debugger attached writes "TX" and the text to standard error; otherwise nothing.
// Example:
//   double score = 1250;
//   DebugOutput(StringValue("score now ") + score);  // seen in the debugger's output
void DebugOutput(const StringValue& text);
// Lower-cases library (the argument is changed) and sets address to the named function of that
// library, loaded once per lower-cased name and kept until the program ends; null when the
// library cannot be loaded or has no such function.
// Example:
//   StringValue library = "libm.so.6";
//   void* address = nullptr;
//   BindLibraryFunction(library, "cbrt", address);
//   if (address != nullptr) {
//     auto cubeRoot = reinterpret_cast<double (*)(double)>(address);
//     std::printf("%g\n", cubeRoot(27.0));  // 3
//   }
void BindLibraryFunction(StringValue& library, const StringValue& function, void*& address);

}  // namespace quillon
