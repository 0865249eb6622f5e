// The one current INI document: ordered sections of key/value pairs, names matched in any letter
// case, written back to its file only when something changed.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Commands.
// Makes the file the current document (a missing file starts empty); the document before it is
// saved first when it was changed.
// Example:
//   OpenIni("settings.ini");
//   double volume = TextToNumber(ReadIni("sound", "volume").CStr());
void OpenIni(const StringValue& fileName);
// "NO_DATA" when the first section of that name has no such key.
// Example:
//   OpenIni("settings.ini");
//   StringValue name = ReadIni("player", "name");
//   if (name == "NO_DATA") name = "Player";
StringValue ReadIni(const StringValue& section, const StringValue& key);
// An empty key removes the section, an empty value the entry (the last one moves into its place).
// Example:
//   OpenIni("settings.ini");
//   WriteIni("player", "name", "Ada");
//   WriteIni("sound", "volume", NumberToText(0.8));  // saved when the program ends
void WriteIni(const StringValue& section, const StringValue& key, const StringValue& value);

}  // namespace quillon
