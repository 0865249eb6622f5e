// The language's text commands: lengths, character codes, case, substrings, search, replacement,
// number formatting, hex text, splitting and trimming. Positions are 0-based byte offsets; a
// search that finds nothing gives -1.
#pragma once

#include <cstdint>

#include "runtime/values/dim_array.h"
#include "runtime/values/string_value.h"

namespace quillon {

double TextLength(const StringValue& text);
// How many characters NumberToText(x) prints.
double NumberTextLength(double x);
// The first byte as a signed 8-bit value; 0 for the empty text.
double CharCode(const StringValue& text);
// The low byte of x truncated to 16 bits; a low byte of 0 gives the empty text.
StringValue CharFromCode(double x);
// ASCII letters only; bytes above 0x7F stay as they are.
StringValue UpperCase(const StringValue& text);
StringValue LowerCase(const StringValue& text);
StringValue MidText(const StringValue& text, double start, double count);

// Plain byte search; an empty needle is found at 0.
double FindText(const char* haystack, const char* needle);
double FindText(const StringValue& haystack, const StringValue& needle);
double FindText(const StringValue& haystack, const char* needle);
double FindText(const char* haystack, const StringValue& needle);

// Every occurrence, left to right; replaced text is never searched again. The find text counts up
// to its first NUL; an empty one leaves the text as it is.
StringValue ReplaceText(const StringValue& text, const StringValue& find,
                        const StringValue& replacement);

// value printed fixed-point, right-aligned in width characters with decimals digits after the
// point (a negative width aligns left, negative decimals print the default six). Widths or
// decimals beyond kMaxFormatField give the empty text.
constexpr int32_t kMaxFormatField = 1 << 20;
StringValue FormatNumber(double width, double decimals, double value);

// Two upper-case hex digits per byte, high nibble first.
StringValue HexFromBytes(const void* bytes, int64_t count);

// Every character of delimiters separates; runs of separators never make empty parts. The list
// is dimensioned to the number of parts, which is returned.
double SplitText(const StringValue& text, DimArray<StringValue>& list,
                 const StringValue& delimiters);

// Removes trailing control bytes (0-31); bytes 0x80-0xFF are characters and stay.
void TrimTrailingControl(StringValue& text);

}  // namespace quillon
