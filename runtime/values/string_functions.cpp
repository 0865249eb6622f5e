#include "runtime/values/string_functions.h"

#include <locale.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/core/runtime_errors.h"
#include "runtime/values/truncate.h"

namespace quillon {

namespace {

// The longest text a StringValue can hold with room to spare for its growth step.
constexpr uint64_t kMaxTextLength = UINT32_MAX - 1024;

StringValue TextFromBytes(const char* bytes, uint32_t count) {
  StringValue out;
  if (count == 0) return out;
  char* buffer = out.WritableBuffer(count);
  std::memcpy(buffer, bytes, count);
  buffer[count] = '\0';
  out.length = count;
  return out;
}

template <typename Change>
StringValue MappedCopy(const StringValue& text, Change change) {
  StringValue out(text);
  for (uint32_t i = 0; i < out.length; ++i) out.text[i] = change(out.text[i]);
  return out;
}

double Position(const char* haystack, const char* needle) {
  const char* h = haystack ? haystack : "";
  const char* found = std::strstr(h, needle ? needle : "");
  return found ? static_cast<double>(found - h) : -1.0;
}

uint64_t CountMatches(const char* text, const char* find, size_t findLength) {
  uint64_t matches = 0;
  for (const char* p = std::strstr(text, find); p; p = std::strstr(p + findLength, find)) {
    ++matches;
  }
  return matches;
}

// printf must write "3.142" whatever locale the program has switched to.
locale_t ClassicLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

}  // namespace

double TextLength(const StringValue& text) { return text.LengthAsNumber(); }

double NumberTextLength(double x) {
  char digits[64];
  return FormatNumberText(x, digits);
}

double CharCode(const StringValue& text) { return text.CharAt(0); }

StringValue CharFromCode(double x) {
  char c = static_cast<char>(static_cast<uint32_t>(TruncateToInt32(x)) & 0xFF);
  return TextFromBytes(&c, c == '\0' ? 0 : 1);
}

StringValue UpperCase(const StringValue& text) {
  return MappedCopy(text, [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; });
}

StringValue LowerCase(const StringValue& text) {
  return MappedCopy(text, [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; });
}

StringValue MidText(const StringValue& text, double start, double count) {
  double length = text.length;
  if (length < std::trunc(start + count)) count = length - start;
  // Written so that NaN arguments fall through to the empty text.
  if (!(count > 0) || !(start <= length) || !(start >= 0)) return StringValue();
  uint32_t from = static_cast<uint32_t>(start);
  uint32_t available = text.length - from;
  uint32_t taken = count >= available ? available : static_cast<uint32_t>(count);
  return TextFromBytes(text.text + from, taken);
}

double FindText(const char* haystack, const char* needle) { return Position(haystack, needle); }
double FindText(const StringValue& haystack, const StringValue& needle) {
  return Position(haystack.CStr(), needle.CStr());
}
double FindText(const StringValue& haystack, const char* needle) {
  return Position(haystack.CStr(), needle);
}
double FindText(const char* haystack, const StringValue& needle) {
  return Position(haystack, needle.CStr());
}

StringValue ReplaceText(const StringValue& text, const StringValue& find,
                        const StringValue& replacement) {
  // The find text is searched as FindText searches it: up to its first NUL, which a text can
  // hold after SetCharAt.
  const char* needle = find.CStr();
  const size_t findLength = std::strlen(needle);
  if (findLength == 0 || text.length == 0) return text;
  const char* source = text.CStr();
  uint64_t matches = CountMatches(source, needle, findLength);
  if (matches == 0) return text;
  uint64_t total = text.length - matches * findLength + matches * replacement.length;
  if (total > kMaxTextLength)
    EndProgramOnError(7, nullptr, "text longer than a text holds");  // no text can hold the result
  StringValue out;
  if (total == 0) return out;
  char* write = out.WritableBuffer(static_cast<uint32_t>(total));
  const char* read = source;
  for (const char* p = std::strstr(read, needle); p; p = std::strstr(read, needle)) {
    std::memcpy(write, read, p - read);
    write += p - read;
    std::memcpy(write, replacement.CStr(), replacement.length);
    write += replacement.length;
    read = p + findLength;
  }
  std::memcpy(write, read, source + text.length - read);
  out.length = static_cast<uint32_t>(total);
  out.text[out.length] = '\0';
  return out;
}

StringValue FormatNumber(double width, double decimals, double value) {
  int32_t w = TruncateToInt32(width);
  int32_t d = TruncateToInt32(decimals);
  if (w < -kMaxFormatField || w > kMaxFormatField || d > kMaxFormatField) return StringValue();
  locale_t previous = uselocale(ClassicLocale());
  int printed = std::snprintf(nullptr, 0, "%*.*f", w, d, value);
  StringValue out;
  if (printed > 0) {
    // Sized to what is printed: a wide field no longer overruns a fixed buffer.
    char* buffer = out.WritableBuffer(static_cast<uint32_t>(printed));
    std::snprintf(buffer, static_cast<size_t>(printed) + 1, "%*.*f", w, d, value);
    out.length = static_cast<uint32_t>(printed);
  }
  uselocale(previous);
  return out;
}

StringValue HexFromBytes(const void* bytes, int64_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  if (bytes == nullptr || count <= 0 || static_cast<uint64_t>(count) > kMaxTextLength / 2) {
    return StringValue();
  }
  const uint8_t* in = static_cast<const uint8_t*>(bytes);
  StringValue out;
  char* write = out.WritableBuffer(static_cast<uint32_t>(count * 2));
  for (int64_t i = 0; i < count; ++i) {
    *write++ = kDigits[in[i] >> 4];
    *write++ = kDigits[in[i] & 15];
  }
  *write = '\0';
  out.length = static_cast<uint32_t>(count * 2);
  return out;
}

namespace {

struct Separators {
  bool is[256] = {};
  explicit Separators(const StringValue& delimiters) {
    for (uint32_t i = 0; i < delimiters.length; ++i)
      is[static_cast<uint8_t>(delimiters.text[i])] = true;
  }
  bool operator()(char c) const { return is[static_cast<uint8_t>(c)]; }
};

// Calls take(begin, length) for every part, in order; returns the number of parts.
template <typename Take>
int32_t ForEachPart(const StringValue& text, const Separators& separator, Take take) {
  int32_t parts = 0;
  uint32_t i = 0;
  while (i < text.length) {
    while (i < text.length && separator(text.text[i])) ++i;
    if (i == text.length) break;
    uint32_t begin = i;
    while (i < text.length && !separator(text.text[i])) ++i;
    take(parts++, text.text + begin, i - begin);
  }
  return parts;
}

}  // namespace

double SplitText(const StringValue& text, DimArray<StringValue>& list,
                 const StringValue& delimiters) {
  Separators separator(delimiters);
  // The list may be the array the text lives in; split a copy so dimensioning cannot free it.
  StringValue source(text);
  int32_t parts = ForEachPart(source, separator, [](int32_t, const char*, uint32_t) {});
  list.Dimension(parts, 0, 0, 0);
  ForEachPart(source, separator, [&list](int32_t k, const char* begin, uint32_t length) {
    list.At(k, 0, 0, 0) = TextFromBytes(begin, length);
  });
  return parts;
}

void TrimTrailingControl(StringValue& text) {
  // Bytes from 0x80 up are letters of the code page, not controls.
  while (text.length > 0 && static_cast<unsigned char>(text.text[text.length - 1]) <= 31) {
    text.text[--text.length] = '\0';
  }
}

}  // namespace quillon
