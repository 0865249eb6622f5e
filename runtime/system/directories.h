// The current directory, directory listings and the program's command line.
#pragma once

#include "runtime/values/dim_array.h"
#include "runtime/values/string_value.h"

namespace quillon {

// The current directory with "/" separators, ending in exactly one "/" ("/" at the root); empty
// when the system cannot tell it.
// Example:
//   PrintText(StringValue("Saving in ") + CurrentDirectory(), 8, 8);
StringValue CurrentDirectory();
// 1 when the current directory became path, else 0 (a missing path changes nothing).
// Example:
//   if (ChangeDirectory("levels") == 0) ErrorLog("no levels folder");
double ChangeDirectory(const StringValue& path);
// Fills list with the current directory's directories ("." and ".." included, whatever the
// pattern), then its files matching pattern ("*" any run, "?" one character but ".", letters in
// either case), each group in directory order; returns files + 65536 * directories. A list too
// large for an array ends the program with runtime error 7.
// Example:
//   DimArray<StringValue> names;
//   double found = ListDirectory("*.map", names);
//   double folders = std::floor(found / 65536), files = found - 65536 * folders;
//   for (int i = 0; i < files; ++i) PrintText(names.At(folders + i), 8, 20 + 16 * i);  // the maps
double ListDirectory(const StringValue& pattern, DimArray<StringValue>& list);
// The arguments the program was started with, joined by blanks; one holding a blank or a quote
// is quoted again so that the text splits back into the same arguments.
// Example:
//   if (FindText(CommandLineText(), "--windowed") >= 0) SetScreen(640, 480, 0);
StringValue CommandLineText();

}  // namespace quillon
