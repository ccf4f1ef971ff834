// Comparison and search.
#include <gtest/gtest.h>

#include "core/WideString.h"

TEST(WideStringCompare, OrderAndCase) {
  WideString s(L"Beta");
  EXPECT_EQ(0, s.Compare(L"Beta"));
  EXPECT_LT(s.Compare(L"beta"), 0);  // upper case sorts first
  EXPECT_GT(s.Compare(L"Alpha"), 0);
  EXPECT_EQ(0, s.CompareNoCase(L"bETA"));
  EXPECT_LT(s.CompareNoCase(L"gamma"), 0);
  EXPECT_EQ(0, s.CompareNoCaseN(L"BEtamax", 4));
  EXPECT_NE(0, s.CompareNoCaseN(L"BEtamax", 5));
  EXPECT_TRUE(s == L"Beta");
  EXPECT_TRUE(s != L"beta");
}

TEST(WideStringCompare, NoneIsEqualOnlyToTheEmptyText) {
  WideString empty;
  WideString a(L"a");
  EXPECT_EQ(0, empty.Compare(nullptr));
  EXPECT_EQ(-1, a.Compare(nullptr));
  EXPECT_EQ(0, empty.CompareNoCase(nullptr));
  EXPECT_EQ(-1, a.CompareNoCase(nullptr));
  EXPECT_EQ(0, empty.CompareNoCaseN(nullptr, 3));
  EXPECT_EQ(-1, a.CompareNoCaseN(nullptr, 3));
}

TEST(WideStringFind, Characters) {
  WideString s(L"a/b/c");
  EXPECT_EQ(s.CStr() + 1, s.FindChar(L'/'));
  EXPECT_EQ(1, s.FindCharIndex(L'/'));
  EXPECT_EQ(3, s.FindLastChar(L'/'));
  EXPECT_EQ(nullptr, s.FindChar(L'x'));
  EXPECT_EQ(-1, s.FindCharIndex(L'x'));
  EXPECT_EQ(-1, s.FindLastChar(L'x'));
  EXPECT_EQ(nullptr, s.FindChar(0));
}

TEST(WideStringFind, TextCaseSensitive) {
  WideString s(L"one Two two");
  EXPECT_EQ(s.CStr() + 8, s.Find(L"two"));
  EXPECT_EQ(s.CStr() + 4, s.Find(L"Two"));
  EXPECT_EQ(nullptr, s.Find(L"three"));
  EXPECT_EQ(nullptr, s.Find(nullptr));
}

TEST(WideStringFind, NoCaseWithStartIndex) {
  WideString s(L"Content-Type: TEXT/html; text/plain");
  EXPECT_EQ(14, s.FindNoCaseIndex(L"text"));
  EXPECT_EQ(s.CStr() + 14, s.FindNoCase(L"text"));
  EXPECT_EQ(25, s.FindNoCaseIndex(L"text", 15));
  EXPECT_EQ(-1, s.FindNoCaseIndex(L"xml"));
  EXPECT_EQ(-1, s.FindNoCaseIndex(nullptr));
  EXPECT_EQ(-1, s.FindNoCaseIndex(L"plain", 31));  // only "lain" is left
  EXPECT_EQ(30, s.FindNoCaseIndex(L"PLAIN", 30));
  // start at or beyond used (length + 1) finds nothing
  EXPECT_EQ(-1, s.FindNoCaseIndex(L"", static_cast<int>(s.Length()) + 1));
  EXPECT_EQ(nullptr, s.FindNoCase(L"text", 1000));
  EXPECT_EQ(nullptr, s.FindNoCase(L"text", -1));
}

TEST(WideStringCharAt, IndexesOutsideTheTextGiveZero) {
  WideString s(L"abc");
  EXPECT_EQ(L'a', s.CharAt(0));
  EXPECT_EQ(L'c', s.CharAt(2));
  EXPECT_EQ(0, s.CharAt(3));  // the terminator
  EXPECT_EQ(0, s.CharAt(4));
  EXPECT_EQ(0, s.CharAt(-1));
}

TEST(WideStringCharAt, SetOnlyInsideTheText) {
  WideString s(L"abc");
  EXPECT_EQ(s.CStr(), s.SetCharAt(1, L'X'));
  EXPECT_STREQ(L"aXc", s.CStr());
  EXPECT_EQ(nullptr, s.SetCharAt(3, L'Y'));
  EXPECT_EQ(nullptr, s.SetCharAt(-1, L'Y'));
  EXPECT_STREQ(L"aXc", s.CStr());
  EXPECT_EQ(3u, s.Length());
  s.SetCharAt(1, 0);  // a terminator shortens the text
  EXPECT_EQ(1u, s.Length());
  EXPECT_STREQ(L"a", s.CStr());
}
