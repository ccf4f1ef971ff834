// Format must behave as the Microsoft C runtime's wide printf, whatever
// MinGW's C99 printf would do, and grow in the documented steps.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "core/WideString.h"

namespace {
int FormatThroughList(WideString& s, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  int result = s.FormatV(format, args);
  va_end(args);
  return result;
}
}  // namespace

TEST(WideStringFormat, WideAndNarrowStringArguments) {
  WideString s;
  EXPECT_EQ(1, s.Format(L"%s|%S|%hs|%.3S", L"wide", "narrow", "half", "truncated"));
  EXPECT_STREQ(L"wide|narrow|half|tru", s.CStr());
}

TEST(WideStringFormat, SixtyFourBitIntegers) {
  WideString s;
  s.Format(L"%I64u %I64X", 18446744073709551615ULL, 0x1234ABCD5678EF00ULL);
  EXPECT_STREQ(L"18446744073709551615 1234ABCD5678EF00", s.CStr());
}

TEST(WideStringFormat, FixedPointRoundsAsTheMicrosoftRuntime) {
  WideString s;
  s.Format(L"%.1f %.1f %.1f", 2.25, 0.05, 12.0);
  // C99 printf gives "2.2 0.1 12.0" (round half to even on the binary value)
  EXPECT_STREQ(L"2.3 0.1 12.0", s.CStr());
}

TEST(WideStringFormat, IntegersAndCharacters) {
  WideString s;
  s.Format(L"%d %i %u %02u %X %02X %04X %08X %c",
           -5, 7, 4000000000u, 3u, 0xBEEFu, 0xAu, 0x1Fu, 0xC0FFEEu, L'\u00E9');
  EXPECT_STREQ(L"-5 7 4000000000 03 BEEF 0A 001F 00C0FFEE \u00E9", s.CStr());
}

TEST(WideStringFormat, SubclassPropertyName) {
  WideString s;
  s.Format(L"_C_SubClassing_Property_%08X", 0x53424C43u);
  EXPECT_STREQ(L"_C_SubClassing_Property_53424C43", s.CStr());
}

TEST(WideStringFormat, ReplacesThePreviousText) {
  WideString s(L"previous text that is long");
  EXPECT_EQ(1, FormatThroughList(s, L"%d,%i,%i,%i,%i", 1, 10, 20, 300, 400));
  EXPECT_STREQ(L"1,10,20,300,400", s.CStr());
  EXPECT_EQ(15u, s.Length());
  EXPECT_EQ(1, s.Format(L""));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(1, s.Format(L"100%%"));
  EXPECT_STREQ(L"100%", s.CStr());
}

TEST(WideStringFormat, MissingFormatChangesNothing) {
  WideString s(L"kept");
  EXPECT_EQ(0, s.Format(nullptr));
  EXPECT_STREQ(L"kept", s.CStr());
}

TEST(WideStringFormat, ThousandUnitsFromTheDefaultCapacityTakeThreeSteps) {
  WideString s;
  std::wstring text(1000, L'x');
  EXPECT_EQ(1, s.Format(L"%s", text.c_str()));
  EXPECT_EQ(1000u, s.Length());
  EXPECT_EQ(1039u, s.Capacity());  // 260 -> 520 -> 780 -> 1,040 code units
  EXPECT_EQ(text, s.CStr());
}

TEST(WideStringFormat, AResultThatExactlyFillsTheCapacityFits) {
  WideString s;
  std::wstring text(259, L'y');
  EXPECT_EQ(1, s.Format(L"%s", text.c_str()));
  EXPECT_EQ(259u, s.Capacity());
  EXPECT_EQ(259u, s.Length());
  text += L'y';
  EXPECT_EQ(1, s.Format(L"%s", text.c_str()));
  EXPECT_EQ(519u, s.Capacity());
  EXPECT_EQ(260u, s.Length());
}

TEST(WideStringFormat, LargeStepsAbove10240) {
  WideString s;
  std::wstring text(12000, L'z');
  EXPECT_EQ(1, s.Format(L"%s", text.c_str()));
  // 260-unit steps up to 10,400 code units, then one step of 10,240
  EXPECT_EQ(20639u, s.Capacity());
  EXPECT_EQ(12000u, s.Length());
}

TEST(WideStringFormat, GivesUpAboveTheLimitAndStaysUsable) {
  WideString s(0x2FFFF0);
  std::wstring text(0x310000, L'q');
  EXPECT_EQ(0, s.Format(L"%s", text.c_str()));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(259u, s.Capacity());
  EXPECT_EQ(1, s.Format(L"%s", L"again"));
  EXPECT_STREQ(L"again", s.CStr());
}

TEST(WideStringFormat, JustBelowTheLimitStillGrows) {
  WideString s(0x2FFFF0);
  std::wstring text(0x300000, L'r');  // needs one more step past the limit
  EXPECT_EQ(1, s.Format(L"%s", text.c_str()));
  EXPECT_EQ(0x300000u, s.Length());
  EXPECT_EQ(0x2FFFF0u + 10240u - 1u, s.Capacity());
}
