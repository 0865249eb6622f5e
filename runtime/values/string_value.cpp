#include "runtime/values/string_value.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/core/runtime_errors.h"

namespace quillon {

char SharedEmptyText[1] = {0};

namespace {

constexpr uint32_t kGrowthStep = 512;
constexpr uint32_t kNumberReserve = 64;
constexpr double kNoMemory = 7;

bool IsShared(const char* p) { return p == SharedEmptyText || p == nullptr; }

uint32_t RawLength(const char* raw) {
  if (raw == nullptr) return 0;
  size_t n = std::strlen(raw);
  if (n >= UINT32_MAX - kGrowthStep)
    EndProgramOnError(kNoMemory, nullptr, "out of memory for a text");
  return static_cast<uint32_t>(n);
}

// atof must read "2.5" the same in every user locale.
locale_t CLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const char* SkipDigits(const char* p) {
  while (IsDigit(*p)) ++p;
  return p;
}

// Length of the decimal number at p: sign, digits, point, digits, exponent. Hexadecimal, "inf"
// and "nan" are not numbers of the language, so they give 0.
size_t DecimalPrefix(const char* p) {
  const char* q = (*p == '+' || *p == '-') ? p + 1 : p;
  const char* end = SkipDigits(q);
  bool anyDigit = end > q;
  if (*end == '.') {
    const char* fractionEnd = SkipDigits(end + 1);
    anyDigit = anyDigit || fractionEnd > end + 1;
    end = fractionEnd;
  }
  if (!anyDigit) return 0;
  if (*end == 'e' || *end == 'E') {
    const char* e = end + 1;
    if (*e == '+' || *e == '-') ++e;
    if (IsDigit(*e)) end = SkipDigits(e);
  }
  return static_cast<size_t>(end - p);
}

}  // namespace

uint32_t FormatInt(int32_t value, char* out) {
  auto r = std::to_chars(out, out + 63, value);
  *r.ptr = '\0';
  return static_cast<uint32_t>(r.ptr - out);
}

uint32_t FormatNumberText(double value, char* out) {
  if (value == 0) value = 0.0;  // negative zero prints as "0" too
  // Ten significant digits, fixed below 1e10, trailing zeros and a bare point dropped; to_chars
  // is locale-independent and already trims in its general form.
  auto r = std::to_chars(out, out + 63, value, std::chars_format::general, 10);
  *r.ptr = '\0';
  uint32_t n = static_cast<uint32_t>(r.ptr - out);
  if (n == 2 && out[0] == '.' && out[1] == '0') {
    out[0] = '0';
    out[1] = '\0';
    return 1;
  }
  if (n > 0 && out[n - 1] == '.') out[--n] = '\0';
  return n;
}

StringValue IntToText(int32_t value) { return StringValue(static_cast<int>(value)); }
StringValue NumberToText(double value) { return StringValue(value); }

double TextToNumber(const char* text) {
  if (text == nullptr) return 0.0;
  while (IsSpace(*text)) ++text;
  size_t length = DecimalPrefix(text);
  if (length == 0) return 0.0;
  // Only the decimal prefix reaches strtod, which would also read hexadecimal, inf and nan.
  char shortCopy[64];
  std::string longCopy;
  const char* number = shortCopy;
  if (length < sizeof shortCopy) {
    std::memcpy(shortCopy, text, length);
    shortCopy[length] = '\0';
  } else {
    longCopy.assign(text, length);
    number = longCopy.c_str();
  }
  return strtod_l(number, nullptr, CLocale());
}

// --- construction and storage ---------------------------------------------------------------

StringValue::StringValue(const char* raw) : StringValue() { AssignBytes(raw, RawLength(raw)); }

StringValue::StringValue(const StringValue& other) : StringValue() {
  AssignBytes(other.text, other.length);
}

StringValue::StringValue(StringValue&& other) noexcept
    : text(other.text), capacity(other.capacity), length(other.length) {
  other.text = SharedEmptyText;
  other.capacity = 0;
  other.length = 0;
}

StringValue::StringValue(int value) : StringValue() { *this = value; }
StringValue::StringValue(float value) : StringValue() { *this = value; }
StringValue::StringValue(double value) : StringValue() { *this = value; }

void StringValue::Destroy() noexcept {
  if (!IsShared(text)) std::free(text);
  text = nullptr;
  capacity = 0;
  length = 0;
}

void StringValue::Reserve(uint32_t n) {
  if (capacity > n) return;
  // A text that cannot be held or allocated ends the program, as array storage does.
  if (n > UINT32_MAX - kGrowthStep)
    EndProgramOnError(kNoMemory, nullptr, "out of memory for a text");
  uint32_t newCapacity = (n & ~(kGrowthStep - 1)) + kGrowthStep;
  // Zero-filled, so the last byte is a terminator that character writes never touch.
  char* buffer = static_cast<char*>(std::calloc(newCapacity, 1));
  if (buffer == nullptr) EndProgramOnError(kNoMemory, nullptr, "out of memory for a text");
  if (!IsShared(text)) {
    std::memcpy(buffer, text, capacity);
    std::free(text);
  }
  text = buffer;
  capacity = newCapacity;
}

char* StringValue::WritableBuffer(uint32_t n) {
  Reserve(n);
  return text;
}

void StringValue::RecountLength() {
  length = capacity == 0 ? 0 : static_cast<uint32_t>(strnlen(text, capacity - 1));
}

void StringValue::AssignBytes(const char* source, uint32_t count) {
  if (count == 0) {
    length = 0;
    if (capacity > 0) text[0] = '\0';
    return;
  }
  Reserve(count);  // a source inside our own buffer is shorter than it, so no move happens
  std::memmove(text, source, count);
  text[count] = '\0';
  length = count;
}

void StringValue::AppendBytes(const char* source, uint32_t count) {
  if (count == 0) return;
  if (length > UINT32_MAX - kGrowthStep - count)
    EndProgramOnError(kNoMemory, nullptr, "out of memory for a text");
  // Appending a string to itself: remember where the source sits before the buffer moves.
  bool inside = capacity > 0 && source >= text && source < text + capacity;
  size_t offset = inside ? static_cast<size_t>(source - text) : 0;
  Reserve(length + count);
  if (inside) source = text + offset;
  std::memmove(text + length, source, count);
  length += count;
  text[length] = '\0';
}

StringValue& StringValue::operator=(const char* raw) {
  AssignBytes(raw, RawLength(raw));
  return *this;
}

StringValue& StringValue::operator=(const StringValue& other) {
  if (this != &other) AssignBytes(other.text, other.length);
  return *this;
}

StringValue& StringValue::operator=(StringValue&& other) noexcept {
  if (this == &other) return *this;
  if (!IsShared(text)) std::free(text);
  text = other.text;
  capacity = other.capacity;
  length = other.length;
  other.text = SharedEmptyText;
  other.capacity = 0;
  other.length = 0;
  return *this;
}

StringValue& StringValue::operator=(int value) {
  Reserve(kNumberReserve);
  length = FormatInt(value, text);
  return *this;
}

StringValue& StringValue::operator=(float value) { return *this = static_cast<double>(value); }

StringValue& StringValue::operator=(double value) {
  Reserve(kNumberReserve);
  length = FormatNumberText(value, text);
  return *this;
}

StringValue& StringValue::operator+=(const char* raw) {
  AppendBytes(raw, RawLength(raw));
  return *this;
}

StringValue& StringValue::operator+=(const StringValue& other) {
  AppendBytes(other.text, other.length);
  return *this;
}

StringValue& StringValue::operator+=(int value) {
  char digits[64];
  AppendBytes(digits, FormatInt(value, digits));
  return *this;
}

StringValue& StringValue::operator+=(float value) { return *this += static_cast<double>(value); }

StringValue& StringValue::operator+=(double value) {
  char digits[64];
  AppendBytes(digits, FormatNumberText(value, digits));
  return *this;
}

int StringValue::CharAt(int64_t p) const {
  if (length == 0 || p < 0 || p >= static_cast<int64_t>(capacity)) return 0;
  return static_cast<signed char>(text[p]);
}

void StringValue::SetCharAt(int64_t p, char c) {
  if (p < 0 || p >= static_cast<int64_t>(capacity) - 1) return;
  text[p] = c;
}

void StringValue::TruncateAt(int64_t p) {
  SetCharAt(p, '\0');
  RecountLength();
}

double StringValue::ToNumber() const { return TextToNumber(CStr()); }

// --- concatenation ---------------------------------------------------------------------------

namespace {

template <typename Right>
StringValue Joined(StringValue left, const Right& right) {
  left += right;
  return left;
}

}  // namespace

StringValue operator+(const StringValue& a, const StringValue& b) { return Joined(a, b); }
StringValue operator+(const StringValue& a, const char* b) { return Joined(a, b); }
StringValue operator+(const char* a, const StringValue& b) { return Joined(StringValue(a), b); }
StringValue operator+(StringValue&& a, const StringValue& b) { return Joined(std::move(a), b); }
StringValue operator+(StringValue&& a, const char* b) { return Joined(std::move(a), b); }
StringValue operator+(int a, const StringValue& b) { return Joined(StringValue(a), b); }
StringValue operator+(float a, const StringValue& b) { return Joined(StringValue(a), b); }
StringValue operator+(double a, const StringValue& b) { return Joined(StringValue(a), b); }
StringValue operator+(const StringValue& a, int b) { return Joined(a, b); }
StringValue operator+(const StringValue& a, float b) { return Joined(a, b); }
StringValue operator+(const StringValue& a, double b) { return Joined(a, b); }
StringValue operator+(StringValue&& a, int b) { return Joined(std::move(a), b); }
StringValue operator+(StringValue&& a, float b) { return Joined(std::move(a), b); }
StringValue operator+(StringValue&& a, double b) { return Joined(std::move(a), b); }

// --- comparison ------------------------------------------------------------------------------

namespace {

double Truth(bool b) { return b ? 1.0 : 0.0; }
const char* Raw(const char* p) { return p ? p : ""; }

}  // namespace

int CompareText(const StringValue& a, const char* b) { return std::strcmp(a.CStr(), Raw(b)); }

int CompareWithNumber(const StringValue& a, double b) {
  double x = a.ToNumber();
  return x < b ? -1 : (x > b ? 1 : 0);
}

double operator==(const StringValue& a, const StringValue& b) {
  return Truth(a.length == b.length && std::strcmp(a.CStr(), b.CStr()) == 0);
}
double operator!=(const StringValue& a, const StringValue& b) { return 1.0 - (a == b); }
double operator<(const StringValue& a, const StringValue& b) {
  return Truth(CompareText(a, b.CStr()) < 0);
}
double operator>(const StringValue& a, const StringValue& b) {
  return Truth(CompareText(a, b.CStr()) > 0);
}
double operator<=(const StringValue& a, const StringValue& b) {
  return Truth(CompareText(a, b.CStr()) <= 0);
}
double operator>=(const StringValue& a, const StringValue& b) {
  return Truth(CompareText(a, b.CStr()) >= 0);
}

#define QUILLON_TEXT_WITH_RAW(Left, Right, LeftText, RightText)                               \
  double operator==(Left a, Right b) { return Truth(std::strcmp(LeftText, RightText) == 0); } \
  double operator!=(Left a, Right b) { return Truth(std::strcmp(LeftText, RightText) != 0); } \
  double operator<(Left a, Right b) { return Truth(std::strcmp(LeftText, RightText) < 0); }   \
  double operator>(Left a, Right b) { return Truth(std::strcmp(LeftText, RightText) > 0); }   \
  double operator<=(Left a, Right b) { return Truth(std::strcmp(LeftText, RightText) <= 0); } \
  double operator>=(Left a, Right b) { return Truth(std::strcmp(LeftText, RightText) >= 0); }

QUILLON_TEXT_WITH_RAW(const StringValue&, const char*, a.CStr(), Raw(b))
QUILLON_TEXT_WITH_RAW(const char*, const StringValue&, Raw(a), b.CStr())
#undef QUILLON_TEXT_WITH_RAW

// Text against a number: the text is read as a number; NaN compares unequal to everything.
#define QUILLON_TEXT_WITH_NUMBER(Left, Right, LeftValue, RightValue)                            \
  double operator==(Left a, Right b) { return Truth(double(LeftValue) == double(RightValue)); } \
  double operator!=(Left a, Right b) { return Truth(double(LeftValue) != double(RightValue)); } \
  double operator<(Left a, Right b) { return Truth(double(LeftValue) < double(RightValue)); }   \
  double operator>(Left a, Right b) { return Truth(double(LeftValue) > double(RightValue)); }   \
  double operator<=(Left a, Right b) { return Truth(double(LeftValue) <= double(RightValue)); } \
  double operator>=(Left a, Right b) { return Truth(double(LeftValue) >= double(RightValue)); }

QUILLON_TEXT_WITH_NUMBER(const StringValue&, int, a.ToNumber(), b)
QUILLON_TEXT_WITH_NUMBER(const StringValue&, float, a.ToNumber(), b)
QUILLON_TEXT_WITH_NUMBER(const StringValue&, double, a.ToNumber(), b)
QUILLON_TEXT_WITH_NUMBER(int, const StringValue&, a, b.ToNumber())
QUILLON_TEXT_WITH_NUMBER(float, const StringValue&, a, b.ToNumber())
QUILLON_TEXT_WITH_NUMBER(double, const StringValue&, a, b.ToNumber())
#undef QUILLON_TEXT_WITH_NUMBER

}  // namespace quillon
