// System information, debugger output and functions of other libraries.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// By key, in either case: "" gives "LINUX", "DEVICE" "DESKTOP", "TIME" the local time as
// 2007-3-30 9:5:7, "ID" 8 upper-case hex digits for the machine; any other key "NO_DATA".
StringValue SystemInfo(const StringValue& key);
// With a debugger attached writes "TX" and the text to standard error; otherwise nothing.
void DebugOutput(const StringValue& text);
// Lower-cases library (the argument is changed) and sets address to the named function of that
// library, loaded once per lower-cased name and kept until the program ends; null when the
// library cannot be loaded or has no such function.
void BindLibraryFunction(StringValue& library, const StringValue& function, void*& address);

}  // namespace quillon
