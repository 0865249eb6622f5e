// The language's text commands: lengths, character codes, case, substrings, search, replacement,
// number formatting, hex text, splitting and trimming. Positions are 0-based byte offsets; a
// search that finds nothing gives -1.
#pragma once

#include <cstdint>

#include "runtime/values/dim_array.h"
#include "runtime/values/string_value.h"

namespace quillon {

// The number of bytes in the text.
// Example:
//   StringValue name = "Ada";
//   double cellWidth = 0, cellHeight = 0;
//   GetFontSize(cellWidth, cellHeight);
//   PrintText(name, 320 - TextLength(name) * cellWidth / 2, 240);  // centred
double TextLength(const StringValue& text);
// How many characters NumberToText(x) prints.
// Example:
//   double score = 1250, cellWidth = 0, cellHeight = 0;
//   GetFontSize(cellWidth, cellHeight);
//   PrintNumber(score, 632 - cellWidth * NumberTextLength(score), 8);  // right-aligned
double NumberTextLength(double x);
// The first byte as a signed 8-bit value; 0 for the empty text.
// Example:
//   StringValue typed = ReadKeyChar();
//   if (CharCode(typed) == 10) PrintText("Enter", 8, 8);  // either Enter key
double CharCode(const StringValue& text);
// The low byte of x truncated to 16 bits; a low byte of 0 gives the empty text.
// Example:
//   StringValue letter = CharFromCode(65 + RandomInteger(25));  // A to Z
StringValue CharFromCode(double x);
// The text with its ASCII letters in upper case (UpperCase) or lower case (LowerCase); bytes above
// 0x7F stay as they are.
// Example:
//   StringValue name = "Ada";
//   PrintText(UpperCase(name), 8, 8);                         // ADA
//   if (LowerCase(ReadIni("video", "mode")) == "fullscreen") SetScreen(0, 0, 1);
//   StringValue initials = MidText(name, 0, 2);                 // "Ad"
StringValue UpperCase(const StringValue& text);
StringValue LowerCase(const StringValue& text);
// count bytes of the text from position start (fewer at its end); the empty text when start is
// outside it or count is 0 or less.
// Example:
//   StringValue line = "level=3";
//   StringValue value = MidText(line, FindText(line, "=") + 1, 10);  // "3"
StringValue MidText(const StringValue& text, double start, double count);

// Plain byte search; an empty needle is found at 0.
// Example:
//   StringValue command = "/to 102 hello";
//   double blank = FindText(command, " ");
//   if (FindText(command, "/to") == 0) PrintText(MidText(command, blank + 1, 3), 8, 8);  // "102"
double FindText(const char* haystack, const char* needle);
double FindText(const StringValue& haystack, const StringValue& needle);
double FindText(const StringValue& haystack, const char* needle);
double FindText(const char* haystack, const StringValue& needle);

// Every occurrence, left to right; replaced text is never searched again. The find text counts up
// to its first NUL; an empty one leaves the text as it is.
// Example:
//   StringValue line = ReplaceText("Hello NAME!", "NAME", "Ada");  // "Hello Ada!"
StringValue ReplaceText(const StringValue& text, const StringValue& find,
                        const StringValue& replacement);

constexpr int32_t kMaxFormatField = 1 << 20;
// value printed fixed-point, right-aligned in width characters with decimals digits after the
// point (a negative width aligns left, negative decimals print the default six). Widths or
// decimals beyond kMaxFormatField give the empty text.
// Example:
//   double seconds = 83.5;
//   PrintText(StringValue("Time ") + FormatNumber(6, 1, seconds), 8, 8);  // "Time   83.5"
StringValue FormatNumber(double width, double decimals, double value);

// Two upper-case hex digits per byte, high nibble first.
// Example:
//   const unsigned char colour[3] = {255, 128, 0};
//   StringValue hex = HexFromBytes(colour, 3);  // "FF8000"
StringValue HexFromBytes(const void* bytes, int64_t count);

// Every character of delimiters separates; runs of separators never make empty parts. The list
// is dimensioned to the number of parts, which is returned.
// Example:
//   DimArray<StringValue> parts;
//   double count = SplitText("move 120 80", parts, " ");  // 3: "move", "120", "80"
//   double x = TextToNumber(parts.At(1).CStr());
double SplitText(const StringValue& text, DimArray<StringValue>& list,
                 const StringValue& delimiters);

// Removes trailing control bytes (0-31); bytes 0x80-0xFF are characters and stay.
// Example:
//   StringValue line;
//   OpenFile(0, "names.txt", 1);
//   ReadLine(0, line);
//   TrimTrailingControl(line);  // drops a stray CR or tab at the end
//   CloseFile(0);
void TrimTrailingControl(StringValue& text);

}  // namespace quillon
