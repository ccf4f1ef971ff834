// The program formats all its texts with the Microsoft C runtime's wide
// printf. MinGW's own C99 printf differs in exactly the places checked here,
// so these fail if the build ever links the wrong one.
#include <gtest/gtest.h>
#include <cstdarg>
#include <cwchar>
#include <windows.h>

namespace {
std::wstring Formatted(const wchar_t* format, ...) {
  wchar_t buffer[256];
  va_list args;
  va_start(args, format);
  int n = _vsnwprintf(buffer, 255, format, args);
  va_end(args);
  if (n < 0) return L"<overflow>";
  buffer[n] = 0;
  return buffer;
}
}  // namespace

TEST(CrtPrintf, WideAndNarrowStrings) {
  EXPECT_EQ(L"wide|narrow|abc", Formatted(L"%s|%S|%hs", L"wide", "narrow", "abc"));
}

TEST(CrtPrintf, SixtyFourBitIntegers) {
  EXPECT_EQ(L"18446744073709551615 FFFFFFFFFFFFFFFF",
            Formatted(L"%I64u %I64X", ~0ULL, ~0ULL));
}

TEST(CrtPrintf, FixedPointRoundsHalfAway) {
  // The Microsoft runtime rounds the decimal digits half away from zero;
  // C99 printf rounds the exact binary value 2.25 to even ("2.2").
  EXPECT_EQ(L"2.3", Formatted(L"%.1f", 2.25));
}
