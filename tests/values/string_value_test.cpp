#include "runtime/values/string_value.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quillon {
namespace {

TEST(StringValueStorage, NewStringIsEmptyAndShared) {
  StringValue s;
  EXPECT_EQ(s.length, 0u);
  EXPECT_EQ(s.capacity, 0u);
  EXPECT_EQ(s.text, SharedEmptyText);
  ASSERT_NE(s.CStr(), nullptr);
  EXPECT_STREQ(s.CStr(), "");
  EXPECT_EQ(s.CharAt(0), 0);
}

TEST(StringValueStorage, CapacityGrowsInSteps) {
  StringValue s;
  s += "x";
  EXPECT_EQ(s.capacity, 512u);
  StringValue a(std::string(511, 'a').c_str());
  EXPECT_EQ(a.capacity, 512u);
  StringValue b(std::string(512, 'b').c_str());
  EXPECT_EQ(b.capacity, 1024u);
  EXPECT_EQ(b.length, 512u);
  EXPECT_EQ(b.text[512], '\0');
}

TEST(StringValueStorage, BuffersNeverShrink) {
  StringValue s(std::string(600, 'z').c_str());
  ASSERT_EQ(s.capacity, 1024u);
  s = "";
  EXPECT_EQ(s.capacity, 1024u);
  EXPECT_EQ(s.length, 0u);
  EXPECT_STREQ(s.CStr(), "");
  s.TruncateAt(0);
  EXPECT_EQ(s.capacity, 1024u);
}

TEST(StringValueStorage, ReserveRoundsToNextMultipleAbove) {
  StringValue s;
  s.Reserve(0);
  EXPECT_EQ(s.capacity, 512u);
  s.Reserve(511);
  EXPECT_EQ(s.capacity, 512u);
  s.Reserve(512);
  EXPECT_EQ(s.capacity, 1024u);
  EXPECT_STREQ(s.CStr(), "");
}

TEST(StringValueStorage, DestroyLeavesNullAndFreesOnlyOwnBuffers) {
  StringValue shared;
  shared.Destroy();  // still pointed at the shared buffer: nothing to free
  EXPECT_EQ(shared.text, nullptr);
  EXPECT_EQ(shared.length, 0u);
  EXPECT_STREQ(shared.CStr(), "");
  EXPECT_EQ(SharedEmptyText[0], '\0');
  StringValue owned("abc");
  owned.Destroy();
  EXPECT_EQ(owned.text, nullptr);
  EXPECT_EQ(owned.capacity, 0u);
}

TEST(StringValueStorage, CopyAndSelfAppendKeepContents) {
  StringValue a("abc");
  StringValue b(a);
  b += b;
  EXPECT_STREQ(b.CStr(), "abcabc");
  EXPECT_STREQ(a.CStr(), "abc");
  StringValue big(std::string(400, 'q').c_str());
  big += big.text;  // the source moves when the buffer grows
  EXPECT_EQ(big.length, 800u);
  EXPECT_EQ(std::string(big.CStr()), std::string(800, 'q'));
  a = a;
  EXPECT_STREQ(a.CStr(), "abc");
}

TEST(StringValueStorage, WritableBufferAndRecount) {
  StringValue s;
  char* p = s.WritableBuffer(10);
  std::strcpy(p, "hello");
  s.RecountLength();
  EXPECT_EQ(s.length, 5u);
  p[0] = '\0';
  s.RecountLength();
  EXPECT_EQ(s.length, 0u);
}

TEST(StringValueCharacters, SignedReadsAndBoundedAccess) {
  StringValue s("\xE9xyz");
  EXPECT_EQ(s.CharAt(0), -23);
  EXPECT_EQ(s.CharAt(1), 'x');
  // Outside the buffer: reads give 0 and writes are dropped.
  EXPECT_EQ(s.CharAt(-1), 0);
  EXPECT_EQ(s.CharAt(1 << 20), 0);
  s.SetCharAt(-5, 'A');
  s.SetCharAt(1 << 20, 'A');
  s.SetCharAt(s.capacity - 1, 'A');  // the last byte stays a terminator
  EXPECT_EQ(s.text[s.capacity - 1], '\0');
  s.SetCharAt(1, 'Q');
  EXPECT_STREQ(s.CStr(), "\xE9Qyz");
  EXPECT_EQ(s.length, 4u);
  s.TruncateAt(2);
  EXPECT_STREQ(s.CStr(), "\xE9Q");
  EXPECT_EQ(s.length, 2u);
  StringValue empty;
  empty.SetCharAt(0, 'A');  // the shared buffer is never written
  EXPECT_EQ(SharedEmptyText[0], '\0');
}

TEST(StringValueConversion, NumbersToText) {
  EXPECT_STREQ(NumberToText(3).CStr(), "3");
  EXPECT_STREQ(NumberToText(2.5).CStr(), "2.5");
  EXPECT_STREQ(NumberToText(-0.25).CStr(), "-0.25");
  EXPECT_STREQ(NumberToText(1.0 / 3.0).CStr(), "0.3333333333");
  EXPECT_STREQ(NumberToText(100).CStr(), "100");
  EXPECT_STREQ(NumberToText(0).CStr(), "0");
  EXPECT_STREQ(NumberToText(-0.0).CStr(), "0");  // zero has no sign
  EXPECT_STREQ((StringValue("x") + -0.0).CStr(), "x0");
  EXPECT_STREQ(NumberToText(0.1).CStr(), "0.1");
  EXPECT_STREQ(NumberToText(1234567890).CStr(), "1234567890");
  EXPECT_STREQ(NumberToText(-9876543210.0).CStr(), "-9876543210");
  EXPECT_STREQ(NumberToText(9999999999.0).CStr(), "9999999999");
  // From 1e10 on the exponent form is used.
  std::string big = NumberToText(1e10).CStr();
  EXPECT_NE(big.find('e'), std::string::npos) << big;
  EXPECT_STREQ(StringValue(0.1f).CStr(), "0.1000000015");
  EXPECT_STREQ(IntToText(-2147483647 - 1).CStr(), "-2147483648");
  EXPECT_STREQ(IntToText(2147483647).CStr(), "2147483647");
  EXPECT_STREQ(IntToText(0).CStr(), "0");
}

TEST(StringValueConversion, NumberConstructionReserves64) {
  StringValue s(7);
  EXPECT_EQ(s.capacity, 512u);
  EXPECT_STREQ(s.CStr(), "7");
  s = 2.5;
  EXPECT_STREQ(s.CStr(), "2.5");
  EXPECT_EQ(s.length, 3u);
  s = -12;
  EXPECT_STREQ(s.CStr(), "-12");
}

TEST(StringValueConversion, TextToNumberTakesLongestPrefix) {
  EXPECT_EQ(TextToNumber("12.5x"), 12.5);
  EXPECT_EQ(TextToNumber(" 3"), 3.0);
  EXPECT_EQ(TextToNumber("abc"), 0.0);
  EXPECT_EQ(TextToNumber(""), 0.0);
  EXPECT_EQ(TextToNumber("-1e3z"), -1000.0);
  EXPECT_EQ(StringValue("  -.5").ToNumber(), -0.5);
  EXPECT_EQ(TextToNumber("+7."), 7.0);
  EXPECT_EQ(TextToNumber("\t\n2e"), 2.0);
  EXPECT_EQ(TextToNumber("1e+2x"), 100.0);
  EXPECT_EQ(TextToNumber("."), 0.0);
  EXPECT_EQ(TextToNumber("1e999"), HUGE_VAL);  // out of range, as the C conversion gives
}

TEST(StringValueConversion, OnlyDecimalNumbersAreRead) {
  EXPECT_EQ(TextToNumber("0x10"), 0.0);
  EXPECT_EQ(TextToNumber("-0X1p4"), 0.0);
  EXPECT_EQ(TextToNumber("info"), 0.0);
  EXPECT_EQ(TextToNumber("-inf"), 0.0);
  EXPECT_EQ(TextToNumber("nancy"), 0.0);
  EXPECT_EQ(TextToNumber(" NAN(1)"), 0.0);
  EXPECT_EQ(StringValue("infinity") == 0, 1.0);
}

TEST(StringValueDeathTest, TextThatCannotBeAllocatedIsError7) {
  EXPECT_EXIT(
      {
        StringValue s;
        s.Reserve(UINT32_MAX);  // no room left for the terminator
      },
      ::testing::ExitedWithCode(7), "runtime error 7");
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_EXIT(
      {
        struct rlimit cap;
        cap.rlim_cur = cap.rlim_max = rlim_t(2) << 30;  // far below what the reserve asks
        setrlimit(RLIMIT_AS, &cap);
        StringValue s("x");
        s.Reserve(3000000000u);
      },
      ::testing::ExitedWithCode(7), "runtime error 7");
#endif
}

// A locale whose decimal separator is a comma, built here when the system has none installed.
bool SelectCommaLocale() {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) return true;
  char dir[] = "/tmp/quillon-locale-XXXXXX";
  if (mkdtemp(dir) == nullptr) return false;
  std::string command =
      std::string("localedef -i de_DE -f UTF-8 ") + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  setenv("LOCPATH", dir, 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(StringValueConversion, NumberSyntaxIgnoresUserLocale) {
  if (!SelectCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma could be made";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(TextToNumber("2.5"), 2.5);
  EXPECT_EQ(TextToNumber("2,5"), 2.0);
  EXPECT_STREQ(NumberToText(2.5).CStr(), "2.5");
  StringValue s("a");
  s += 0.75;
  EXPECT_STREQ(s.CStr(), "a0.75");
  EXPECT_EQ(StringValue("1.5") == 1.5, 1.0);
  std::setlocale(LC_ALL, "C");
}

TEST(StringValueConcatenation, MixedOperands) {
  int n = 3;
  StringValue name = StringValue("explosion/explos") + n + ".bmp";
  EXPECT_STREQ(name.CStr(), "explosion/explos3.bmp");
  EXPECT_STREQ((StringValue("a") + 2.5).CStr(), "a2.5");
  EXPECT_STREQ((StringValue("x") + 0).CStr(), "x0");
  EXPECT_STREQ((2.5 + StringValue("b")).CStr(), "2.5b");
  EXPECT_STREQ((7 + StringValue("b")).CStr(), "7b");
  EXPECT_STREQ((1.5f + StringValue("c")).CStr(), "1.5c");
  EXPECT_STREQ(("pre" + StringValue("fix")).CStr(), "prefix");
  StringValue left("l");
  EXPECT_STREQ((left + StringValue("r")).CStr(), "lr");
  EXPECT_STREQ(left.CStr(), "l");
  StringValue acc;
  acc += 1;
  acc += 0.5f;
  acc += -2.0;
  acc += StringValue("!");
  EXPECT_STREQ(acc.CStr(), "10.5-2!");
}

TEST(StringValueComparison, TextWithText) {
  EXPECT_EQ(StringValue("abc") < "abd", 1.0);
  EXPECT_EQ(StringValue("B") < StringValue("a"), 1.0);
  EXPECT_EQ("a" > StringValue("B"), 1.0);
  EXPECT_EQ(StringValue("abc") == "abc", 1.0);
  EXPECT_EQ(StringValue("abc") != "abc", 0.0);
  EXPECT_EQ(StringValue("ab") == StringValue("abc"), 0.0);
  EXPECT_EQ(StringValue("") == StringValue(), 1.0);
  EXPECT_EQ(StringValue("b") >= StringValue("b"), 1.0);
  EXPECT_EQ(StringValue("a") <= StringValue("b"), 1.0);
  EXPECT_LT(CompareText(StringValue("a"), "b"), 0);
}

TEST(StringValueComparison, TextWithNumber) {
  EXPECT_EQ(StringValue("10") == 10, 1.0);
  EXPECT_EQ(StringValue("10abc") == 10, 1.0);
  EXPECT_EQ(StringValue("abc") == 0, 1.0);
  EXPECT_EQ(10.0 == StringValue("10"), 1.0);
  EXPECT_EQ(StringValue("2.5") < 3.0f, 1.0);
  EXPECT_EQ(4 > StringValue("3"), 1.0);
  EXPECT_EQ(StringValue("nan") == 0.0 / 0.0, 0.0);
  EXPECT_EQ(StringValue("nan") != 0.0 / 0.0, 1.0);
  EXPECT_EQ(CompareWithNumber(StringValue("5"), 7), -1);
  EXPECT_EQ(CompareWithNumber(StringValue("7"), 7), 0);
  EXPECT_EQ(CompareWithNumber(StringValue("9"), 7), 1);
}

}  // namespace
}  // namespace quillon
