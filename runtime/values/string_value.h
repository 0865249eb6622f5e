// The runtime's one text type: an owned, NUL-terminated 8-bit buffer that grows in 512-byte steps
// and never shrinks, plus the number/text rules every command shares.
#pragma once

#include <cstdint>

namespace quillon {

// One static empty buffer that every unallocated string points at; never written, never freed.
extern char SharedEmptyText[1];

// The text of every command: 8-bit bytes, NUL-terminated. CStr() gives them as a C string (never
// null) for printf, std::string or a C library; + joins texts and numbers (a literal first is
// written StringValue("...") + n); comparisons give 1 or 0. To see a value while debugging, print
// it to the terminal; DebugOutput writes only while a debugger is attached.
// Example:
//   double score = 1250;
//   StringValue line = StringValue("score ") + score + " at level " + 3;
//   std::printf("%s\n", line.CStr());             // score 1250 at level 3
//   std::fprintf(stderr, "x=%g\n", 12.5);         // numbers print as they are
//   std::string copy = line.CStr();
class StringValue {
 public:
  char* text;
  uint32_t capacity;
  uint32_t length;

  StringValue() noexcept : text(SharedEmptyText), capacity(0), length(0) {}
  StringValue(const char* raw);  // NOLINT: literals convert implicitly, as the translator expects
  StringValue(const StringValue& other);
  StringValue(StringValue&& other) noexcept;
  explicit StringValue(int value);
  explicit StringValue(float value);
  explicit StringValue(double value);
  ~StringValue() { Destroy(); }

  StringValue& operator=(const char* raw);
  StringValue& operator=(const StringValue& other);
  StringValue& operator=(StringValue&& other) noexcept;
  StringValue& operator=(int value);
  StringValue& operator=(float value);
  StringValue& operator=(double value);

  StringValue& operator+=(const char* raw);
  StringValue& operator+=(const StringValue& other);
  StringValue& operator+=(int value);
  StringValue& operator+=(float value);
  StringValue& operator+=(double value);

  // Makes room for n characters plus the terminator; keeps the contents. Storage that cannot be
  // allocated ends the program with runtime error 7.
  void Reserve(uint32_t n);
  // Room for a platform call to write into; RecountLength afterwards.
  char* WritableBuffer(uint32_t n);
  void RecountLength();
  const char* CStr() const { return length > 0 ? text : ""; }

  // Signed byte at p; 0 for an empty string or a position outside the buffer.
  int CharAt(int64_t p) const;
  // Writes inside the buffer only; length is not changed.
  void SetCharAt(int64_t p, char c);
  void TruncateAt(int64_t p);

  double ToNumber() const;
  double LengthAsNumber() const { return static_cast<double>(length); }

  // Frees the buffer and leaves text null (the state of a destroyed global).
  void Destroy() noexcept;

 private:
  void AssignBytes(const char* source, uint32_t count);
  void AppendBytes(const char* source, uint32_t count);
};

// The number as text: up to ten significant digits, whole numbers without a point, plain notation
// below 1e10 (IntToText: a 32-bit integer).
// Example:
//   double lives = 3;
//   StringValue text = NumberToText(lives) + " lives";  // "3 lives"
//   StringValue small = IntToText(-7);                  // "-7"
//   PrintText(NumberToText(0.25), 8, 8);                // "0.25"
StringValue IntToText(int32_t value);
StringValue NumberToText(double value);
// The decimal number at the start of text (after white space), else 0; never hex, inf or nan.
// Example:
//   double level = TextToNumber("12 rooms");  // 12
//   double none = TextToNumber("twelve");     // 0
double TextToNumber(const char* text);

// Writes the text of IntToText / NumberToText into out (at least 64 bytes); returns its length.
uint32_t FormatInt(int32_t value, char* out);
uint32_t FormatNumberText(double value, char* out);

// Concatenation: every pair in which one side is text. A literal joined with a number is
// written StringValue("...") + n, since C++ cannot overload operators on two built-in types.
StringValue operator+(const StringValue& a, const StringValue& b);
StringValue operator+(const StringValue& a, const char* b);
StringValue operator+(const char* a, const StringValue& b);
StringValue operator+(StringValue&& a, const StringValue& b);
StringValue operator+(StringValue&& a, const char* b);
StringValue operator+(int a, const StringValue& b);
StringValue operator+(float a, const StringValue& b);
StringValue operator+(double a, const StringValue& b);
StringValue operator+(const StringValue& a, int b);
StringValue operator+(const StringValue& a, float b);
StringValue operator+(const StringValue& a, double b);
StringValue operator+(StringValue&& a, int b);
StringValue operator+(StringValue&& a, float b);
StringValue operator+(StringValue&& a, double b);

// Comparisons yield 1.0 or 0.0: the language has no separate truth type.
double operator==(const StringValue& a, const StringValue& b);
double operator!=(const StringValue& a, const StringValue& b);
double operator<(const StringValue& a, const StringValue& b);
double operator>(const StringValue& a, const StringValue& b);
double operator<=(const StringValue& a, const StringValue& b);
double operator>=(const StringValue& a, const StringValue& b);

#define QUILLON_TEXT_COMPARISONS(Left, Right)  \
  double operator==(Left a, Right b);          \
  double operator!=(Left a, Right b);          \
  double operator<(Left a, Right b);           \
  double operator>(Left a, Right b);           \
  double operator<=(Left a, Right b);          \
  double operator>=(Left a, Right b);

QUILLON_TEXT_COMPARISONS(const StringValue&, const char*)
QUILLON_TEXT_COMPARISONS(const char*, const StringValue&)
QUILLON_TEXT_COMPARISONS(const StringValue&, int)
QUILLON_TEXT_COMPARISONS(const StringValue&, float)
QUILLON_TEXT_COMPARISONS(const StringValue&, double)
QUILLON_TEXT_COMPARISONS(int, const StringValue&)
QUILLON_TEXT_COMPARISONS(float, const StringValue&)
QUILLON_TEXT_COMPARISONS(double, const StringValue&)
#undef QUILLON_TEXT_COMPARISONS

// Orderings for callers that need a sign rather than a truth value.
int CompareWithNumber(const StringValue& a, double b);  // -1, 0 or 1
int CompareText(const StringValue& a, const char* b);   // strcmp's sign

}  // namespace quillon
