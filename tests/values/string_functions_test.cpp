#include "runtime/values/string_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace quillon {
namespace {

std::string Text(const StringValue& s) { return std::string(s.CStr(), s.length); }

TEST(TextMeasures, LengthsAndCharacterCodes) {
  EXPECT_EQ(TextLength("Gravduel"), 8);
  EXPECT_EQ(TextLength(StringValue()), 0);
  EXPECT_EQ(NumberTextLength(-1.5), 4);
  EXPECT_EQ(NumberTextLength(1.0 / 3.0), 12);  // 0.3333333333
  EXPECT_EQ(CharCode("A"), 65);
  EXPECT_EQ(CharCode("\xFF"
                     "abc"),
            -1);
  EXPECT_EQ(CharCode(""), 0);
}

TEST(CharFromCode, TakesTheLowByteOfTheTruncatedCode) {
  EXPECT_EQ(Text(CharFromCode(65)), "A");
  EXPECT_EQ(Text(CharFromCode(321)), "A");
  EXPECT_EQ(Text(CharFromCode(65.9)), "A");
  EXPECT_EQ(Text(CharFromCode(-191)), "A");  // 0xFF41
  EXPECT_EQ(CharFromCode(0).length, 0u);
  EXPECT_EQ(CharFromCode(256).length, 0u);
  EXPECT_EQ(CharFromCode(1e12).length, 0u);  // out of range reads as INT32_MIN
  EXPECT_EQ(CharFromCode(std::nan("")).length, 0u);
  EXPECT_EQ(CharCode(CharFromCode(233)), -23);
}

TEST(CaseConversion, OnlyAsciiLettersChange) {
  EXPECT_EQ(Text(UpperCase("abz AZ 09 \xE9\xFF{`")), "ABZ AZ 09 \xE9\xFF{`");
  EXPECT_EQ(Text(LowerCase("ABZ az @[ \xC9")), "abz az @[ \xC9");
  StringValue source("Mixed");
  UpperCase(source);
  EXPECT_EQ(Text(source), "Mixed");
}

TEST(MidText, CutsAndClampsLikeTheLanguage) {
  StringValue name("Gravduel");
  EXPECT_EQ(Text(MidText(name, 4, 10)), "duel");
  EXPECT_EQ(Text(MidText(name, 0, 0)), "");
  EXPECT_EQ(Text(MidText(name, 8, 1)), "");
  EXPECT_EQ(Text(MidText(name, 2, 3)), "avd");
  EXPECT_EQ(Text(MidText(name, 2.9, 3.9)), "avd");
  EXPECT_EQ(Text(MidText(name, 0, 1e300)), "Gravduel");
  EXPECT_EQ(Text(MidText(name, -1, 3)), "");
  EXPECT_EQ(Text(MidText(name, 9, -5)), "");
  EXPECT_EQ(Text(MidText(name, 7.5, 10)), "");  // count becomes 0.5, cut at 0
  EXPECT_EQ(Text(MidText(name, std::nan(""), 2)), "");
  EXPECT_EQ(Text(MidText(name, 1, std::nan(""))), "");
  EXPECT_EQ(Text(MidText(StringValue(), 0, 5)), "");
}

TEST(FindText, PlainByteSearchForEveryArgumentKind) {
  EXPECT_EQ(FindText("abcabc", "ca"), 2);
  EXPECT_EQ(FindText(StringValue("abcabc"), StringValue("ca")), 2);
  EXPECT_EQ(FindText(StringValue("abcabc"), "bc"), 1);
  EXPECT_EQ(FindText("abcabc", StringValue("cab")), 2);
  EXPECT_EQ(FindText("abc", ""), 0);
  EXPECT_EQ(FindText("", "a"), -1);
  EXPECT_EQ(FindText("abc", "C"), -1);
  EXPECT_EQ(FindText(StringValue(), StringValue()), 0);
}

TEST(ReplaceText, NeverSearchesReplacedText) {
  EXPECT_EQ(Text(ReplaceText("aaa", "a", "bb")), "bbbbbb");
  EXPECT_EQ(Text(ReplaceText("abab", "ab", "x")), "xx");
  EXPECT_EQ(Text(ReplaceText("abb", "ab", "a")), "ab");
  EXPECT_EQ(Text(ReplaceText("a-b-c", "-", "")), "abc");
  EXPECT_EQ(Text(ReplaceText("---", "-", "")), "");
  EXPECT_EQ(Text(ReplaceText("hello", "l", "L")), "heLLo");
  EXPECT_EQ(Text(ReplaceText("hello", "xyz", "q")), "hello");
  EXPECT_EQ(Text(ReplaceText("hello", "", "q")), "hello");  // must terminate: text unchanged
  EXPECT_EQ(Text(ReplaceText("", "a", "b")), "");
}

TEST(ReplaceText, FindTextHoldingNulSearchesUpToItsNul) {
  StringValue find("ab");
  find.SetCharAt(1, '\0');  // length stays 2, the text reads as "a"
  EXPECT_EQ(Text(ReplaceText("xaxa", find, "yy")), "xyyxyy");
  EXPECT_EQ(Text(ReplaceText("xab", find, "")), "xb");
  find.SetCharAt(0, '\0');  // now as empty as a needle can be
  EXPECT_EQ(Text(ReplaceText("xaxa", find, "q")), "xaxa");
}

TEST(FormatNumber, PrintsFixedPointSizedToTheOutput) {
  EXPECT_EQ(Text(FormatNumber(8, 3, 3.14159)), "   3.142");
  EXPECT_EQ(Text(FormatNumber(8.9, 3.9, 3.14159)), "   3.142");
  EXPECT_EQ(Text(FormatNumber(0, 2, -2.5)), "-2.50");
  EXPECT_EQ(Text(FormatNumber(-8, 1, 2)), "2.0     ");
  EXPECT_EQ(Text(FormatNumber(1, -1, 0.5)), "0.500000");
  // Wider than the old 512-byte buffer: the whole field comes back.
  StringValue wide = FormatNumber(2000, 3, 3.14159);
  EXPECT_EQ(wide.length, 2000u);
  EXPECT_EQ(Text(wide), std::string(1995, ' ') + "3.142");
  StringValue precise = FormatNumber(0, 600, 1.0);
  EXPECT_EQ(precise.length, 602u);
  EXPECT_EQ(FormatNumber(1e9, 0, 1).length, 0u);
  EXPECT_EQ(FormatNumber(0, 2e6, 1).length, 0u);
  EXPECT_EQ(Text(FormatNumber(0, 1e12, 1)), "1.000000");  // out of range reads as negative
}

TEST(HexFromBytes, UpperCaseHighNibbleFirst) {
  const uint8_t bytes[] = {0x00, 0xAB, 0x7F, 0x10};
  EXPECT_EQ(Text(HexFromBytes(bytes, 4)), "00AB7F10");
  EXPECT_EQ(Text(HexFromBytes(bytes, 0)), "");
  EXPECT_EQ(Text(HexFromBytes(bytes, -3)), "");
  EXPECT_EQ(Text(HexFromBytes(nullptr, 3)), "");
}

TEST(SplitText, RunsOfSeparatorsMakeNoEmptyParts) {
  DimArray<StringValue> parts;
  StringValue source("a,,b;c");
  EXPECT_EQ(SplitText(source, parts, ",;"), 3);
  ASSERT_EQ(parts.extent0, 3);
  EXPECT_EQ(Text(parts.At(0)), "a");
  EXPECT_EQ(Text(parts.At(1)), "b");
  EXPECT_EQ(Text(parts.At(2)), "c");
  EXPECT_EQ(Text(source), "a,,b;c");

  EXPECT_EQ(SplitText(",,a,", parts, ","), 1);
  EXPECT_EQ(Text(parts.At(0)), "a");
  EXPECT_EQ(SplitText("one two  three", parts, " "), 3);
  EXPECT_EQ(Text(parts.At(2)), "three");
  EXPECT_EQ(SplitText("whole", parts, ""), 1);
  EXPECT_EQ(Text(parts.At(0)), "whole");
  EXPECT_EQ(SplitText("", parts, ","), 0);
  EXPECT_EQ(parts.extent0, 0);
  EXPECT_EQ(SplitText(",;,", parts, ",;"), 0);
}

TEST(SplitText, MayTakeItsTextFromTheListItSplitsInto) {
  DimArray<StringValue> parts;
  parts.Dimension(1);
  parts.At(0) = "x y z";
  EXPECT_EQ(SplitText(parts.At(0), parts, " "), 3);
  EXPECT_EQ(Text(parts.At(1)), "y");
}

TEST(TrimTrailingControl, RemovesOnlyBytesUpTo31) {
  for (int byte = 0x80; byte <= 0xFF; ++byte) {  // letters of the code page, not controls
    StringValue line("ab");
    line += std::string(1, static_cast<char>(byte)).c_str();
    TrimTrailingControl(line);
    EXPECT_EQ(line.length, 3u) << byte;
  }
  StringValue line("a \x7F\x1F\r\n\x01");
  TrimTrailingControl(line);
  EXPECT_EQ(Text(line), "a \x7F");
  EXPECT_EQ(line.text[3], '\0');
  StringValue umlaut("M\xFC\r\n");
  TrimTrailingControl(umlaut);
  EXPECT_EQ(Text(umlaut), "M\xFC");
  StringValue all("\r\n\x1F");
  TrimTrailingControl(all);
  EXPECT_EQ(all.length, 0u);
  StringValue empty;
  TrimTrailingControl(empty);
  EXPECT_EQ(empty.length, 0u);
}

}  // namespace
}  // namespace quillon
