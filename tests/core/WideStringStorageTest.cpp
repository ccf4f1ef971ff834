// Storage and growth of WideString: the capacities callers size system
// calls by, and the spare room appends leave.
#include <gtest/gtest.h>

#include <utility>

#include "core/WideString.h"

TEST(WideStringStorage, NewStringIsEmptyWith259UsableUnits) {
  WideString s;
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(0u, s.Length());
  EXPECT_EQ(259u, s.Capacity());
}

TEST(WideStringStorage, ExplicitCapacityIsAtLeastOne) {
  WideString s(10);
  EXPECT_EQ(9u, s.Capacity());
  WideString none(0u);
  EXPECT_EQ(0u, none.Capacity());
  EXPECT_STREQ(L"", none.CStr());
  EXPECT_EQ(1, none.Append(L"x"));
  EXPECT_STREQ(L"x", none.CStr());
}

TEST(WideStringStorage, ResizeBelowUsedCutsTheText) {
  WideString s;
  s.Assign(L"abcdef");
  EXPECT_EQ(1, s.Resize(4));
  EXPECT_EQ(3u, s.Capacity());
  EXPECT_STREQ(L"abc", s.CStr());
  EXPECT_EQ(3u, s.Length());
  EXPECT_EQ(1, s.Resize(0));  // at least one code unit: the terminator
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(0u, s.Capacity());
}

TEST(WideStringStorage, ResizeUpKeepsTheText) {
  WideString s;
  s.Assign(L"abc");
  EXPECT_EQ(1, s.Resize(1000));
  EXPECT_EQ(999u, s.Capacity());
  EXPECT_STREQ(L"abc", s.CStr());
}

TEST(WideStringStorage, ResetEmptiesAndSetsCapacity) {
  WideString s;
  s.Assign(L"abc");
  EXPECT_EQ(1, s.Reset(50));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(49u, s.Capacity());
  s.Reset();
  EXPECT_EQ(259u, s.Capacity());
}

TEST(WideStringStorage, UpdateLengthFollowsWhatAnInterfaceWrote) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"PELLTON_WIDESTRING_TEST", L"written"));
  WideString s;
  DWORD n = GetEnvironmentVariableW(L"PELLTON_WIDESTRING_TEST", s.Buffer(), s.Capacity() + 1);
  EXPECT_EQ(7u, n);
  EXPECT_EQ(0u, s.Length());  // not yet brought up to date
  EXPECT_EQ(8u, s.UpdateLength());
  EXPECT_EQ(7u, s.Length());
  EXPECT_STREQ(L"written", s.CStr());
}

TEST(WideStringStorage, UpdateLengthWithoutTerminatorStaysInsideTheBlock) {
  WideString s(4);
  wchar_t* b = s.Buffer();
  b[0] = b[1] = b[2] = b[3] = L'x';
  EXPECT_EQ(4u, s.UpdateLength());
  EXPECT_STREQ(L"xxx", s.CStr());
}

TEST(WideStringStorage, SetUsedOnlyWithinCapacity) {
  WideString s(10);
  wcscpy(s.Buffer(), L"abcdefgh");
  EXPECT_EQ(1, s.SetUsed(4));
  EXPECT_STREQ(L"abc", s.CStr());
  EXPECT_EQ(3u, s.Length());
  EXPECT_EQ(0, s.SetUsed(0));
  EXPECT_EQ(0, s.SetUsed(10));  // capacity 10: at most 9
  EXPECT_EQ(1, s.SetUsed(9));
  EXPECT_EQ(8u, s.Length());
}

TEST(WideStringStorage, CopyToAndAt) {
  WideString s(L"path");
  wchar_t target[8] = {};
  EXPECT_EQ(target, s.CopyTo(target));
  EXPECT_STREQ(L"path", target);
  EXPECT_EQ(s.CStr(), s.CopyTo(nullptr));
  EXPECT_EQ(L't', *s.At(2));
}

TEST(WideStringStorage, AssignResizesToExactlyTheText) {
  WideString s(4);
  s.Assign(L"abcdefghij");
  EXPECT_EQ(10u, s.Capacity());  // 11 code units: text and terminator
  s.Assign(L"ab");
  EXPECT_EQ(10u, s.Capacity());  // never shrinks
  EXPECT_STREQ(L"ab", s.CStr());
}

TEST(WideStringStorage, AppendWithinCapacityDoesNotReallocate) {
  WideString s;
  const wchar_t* before = s.CStr();
  EXPECT_EQ(1, s.Append(L"abc"));
  EXPECT_EQ(before, s.CStr());
  EXPECT_EQ(259u, s.Capacity());
}

TEST(WideStringStorage, AppendBeyondCapacityLeavesTwentySpare) {
  WideString s(6);
  s.Assign(L"abc");          // used 4, capacity 6
  s.Append(L"de");           // needs 6: fits
  EXPECT_EQ(5u, s.Capacity());
  s.Append(L"fgh");          // used 6 + 3 > 6: grows to 6 + 3 + 20
  EXPECT_EQ(28u, s.Capacity());
  EXPECT_STREQ(L"abcdefgh", s.CStr());
  EXPECT_EQ(20u, s.Capacity() + 1 - (s.Length() + 1));
}

TEST(WideStringStorage, AppendNarrowGrowsLikeAppend) {
  WideString s(3);
  s.Assign(L"ab");
  s.AppendNarrow("cdef");
  EXPECT_STREQ(L"abcdef", s.CStr());
  EXPECT_EQ(26u, s.Capacity());  // 3 + 4 + 20 code units
}

TEST(WideStringStorage, AppendCharGrowsByTwentyOne) {
  WideString s(3);
  s.Assign(L"ab");
  s.AppendChar(L'c');
  EXPECT_EQ(23u, s.Capacity());  // used 3 + 21 code units
  EXPECT_STREQ(L"abc", s.CStr());
  s.AppendByte(0xE9);
  EXPECT_EQ(L'\u00E9', s.CharAt(3));
  EXPECT_EQ(23u, s.Capacity());
}

TEST(WideStringStorage, InsertGrowsToExactlyTheNeed) {
  WideString s(4);
  s.Assign(L"abc");
  s.Insert(1, L"XY");
  EXPECT_STREQ(L"aXYbc", s.CStr());
  EXPECT_EQ(5u, s.Capacity());  // used 4 + 2
  s.InsertChar(0, L'_');
  EXPECT_STREQ(L"_aXYbc", s.CStr());
  EXPECT_EQ(6u, s.Capacity());
}

TEST(WideStringStorage, CopiesAreIndependent) {
  WideString a(L"one");
  WideString b(a);
  b.Append(L"two");
  EXPECT_STREQ(L"one", a.CStr());
  EXPECT_STREQ(L"onetwo", b.CStr());
  a = b;
  EXPECT_STREQ(L"onetwo", a.CStr());
  a = a;
  EXPECT_STREQ(L"onetwo", a.CStr());
  a = L"three";
  EXPECT_STREQ(L"three", a.CStr());
}

TEST(WideStringStorage, MovedFromStringStaysUsable) {
  WideString a(L"moving");
  const wchar_t* block = a.CStr();
  WideString b(std::move(a));
  EXPECT_EQ(block, b.CStr());
  EXPECT_STREQ(L"moving", b.CStr());
  EXPECT_STREQ(L"", a.CStr());  // NOLINT: a moved-from string is empty
  EXPECT_EQ(0u, a.Length());
  EXPECT_EQ(0u, a.Capacity());
  EXPECT_EQ(1, a.Append(L"again"));
  EXPECT_STREQ(L"again", a.CStr());

  WideString c;
  c = std::move(b);
  EXPECT_STREQ(L"moving", c.CStr());
  EXPECT_STREQ(L"", b.CStr());  // NOLINT
  EXPECT_EQ(1, b.Format(L"%d", 42));
  EXPECT_STREQ(L"42", b.CStr());
  WideString d(std::move(c));
  EXPECT_STREQ(L"moving", d.CStr());
  EXPECT_EQ(0u, c.Capacity());  // NOLINT
  wchar_t* buffer = c.Buffer();  // a writer gets a real block again
  EXPECT_EQ(259u, c.Capacity());
  wcscpy(buffer, L"written");
  c.UpdateLength();
  EXPECT_STREQ(L"written", c.CStr());
}
