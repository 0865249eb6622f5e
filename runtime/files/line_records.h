// Line-record files: line n of a text file is record n (0-255). One file at a time is held in
// memory and written back when another file is named or the program ends.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Records are 0 to 255; the file named is loaded first (the one before it saved when
// changed). Records hold at most 1023 bytes.
// Writes the text or the number (as NumberToText writes it) as that line of the file; 0, or 7 (also
// recorded) when the record number is outside 0-255.
// Example:
//   WriteRecordText("scores.txt", 0, "Ada");     // line 0: the best player's name
//   WriteRecordNumber("scores.txt", 1, 12500);   // line 1: the score
double WriteRecordText(const StringValue& file, double record, const StringValue& text);
double WriteRecordNumber(const StringValue& file, double record, double value);
// text is the record, "NO_DATA" or "NO_FILE"; returns 0 or the recorded error code (7 or 3).
// Example:
//   StringValue name;
//   if (ReadRecordText("scores.txt", 0, name) != 0 || name == "NO_FILE") name = "nobody";
//   double best = ReadRecordNumber("scores.txt", 1);
double ReadRecordText(const StringValue& file, double record, StringValue& text);
double ReadRecordNumber(const StringValue& file, double record);

}  // namespace quillon
