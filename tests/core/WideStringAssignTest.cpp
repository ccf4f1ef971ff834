// Assignment, appending, inserting and deleting, including texts that come
// from the string itself and requests the allocator cannot serve.
#include <gtest/gtest.h>

#include "core/WideString.h"

TEST(WideStringAssign, NoneGivesTheEmptyText) {
  WideString s(L"abc");
  EXPECT_EQ(1, s.Assign(static_cast<const wchar_t*>(nullptr)));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(0u, s.Length());
}

TEST(WideStringAssign, CountedCopyLengthFollowsTheFirstTerminator) {
  WideString s;
  EXPECT_EQ(1, s.Assign(L"abcdef", 3));
  EXPECT_STREQ(L"abc", s.CStr());
  EXPECT_EQ(3u, s.Length());
  const wchar_t withNul[] = {L'a', 0, L'b', L'c'};
  EXPECT_EQ(1, s.Assign(withNul, 4));
  EXPECT_EQ(1u, s.Length());
  EXPECT_EQ(1, s.Assign(nullptr, 5));
  EXPECT_STREQ(L"", s.CStr());
}

TEST(WideStringAssign, OtherStringOrNone) {
  WideString source(L"source");
  WideString s(10);
  EXPECT_EQ(1, s.Assign(source));
  EXPECT_STREQ(L"source", s.CStr());
  EXPECT_EQ(1, s.Assign(&s));
  EXPECT_STREQ(L"source", s.CStr());
  EXPECT_EQ(1, s.Assign(static_cast<const WideString*>(nullptr)));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(259u, s.Capacity());  // none resets to the default capacity
}

TEST(WideStringAssign, PartOfItsOwnText) {
  WideString s(L"prefix-rest");
  EXPECT_EQ(1, s.Assign(s.CStr() + 7));
  EXPECT_STREQ(L"rest", s.CStr());
  WideString t(L"abcdef");
  EXPECT_EQ(1, t.Assign(t.CStr() + 2, 3));
  EXPECT_STREQ(L"cde", t.CStr());
}

TEST(WideStringAssign, NarrowTextInTheAnsiCodePage) {
  WideString s;
  EXPECT_EQ(1, s.AssignNarrow("plain text"));
  EXPECT_STREQ(L"plain text", s.CStr());
  EXPECT_EQ(1, s.AssignNarrow(nullptr));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(1, s.AssignNarrow(""));
  EXPECT_STREQ(L"", s.CStr());
}

TEST(WideStringAppend, NoneAndEmptyChangeNothing) {
  WideString s(L"abc");
  EXPECT_EQ(1, s.Append(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(1, s.Append(L""));
  EXPECT_EQ(1, s.AppendNarrow(nullptr));
  EXPECT_STREQ(L"abc", s.CStr());
  EXPECT_EQ(3u, s.Length());
}

TEST(WideStringAppend, StringsNarrowTextAndCharacters) {
  WideString s;
  WideString other(L"-other");
  s.Append(L"wide");
  s.Append(other);
  s.AppendNarrow("-narrow");
  s.AppendChar(L'!');
  s.AppendByte(0x41);
  EXPECT_STREQ(L"wide-other-narrow!A", s.CStr());
  EXPECT_EQ(19u, s.Length());
}

TEST(WideStringAppend, ItsOwnTextWhileGrowing) {
  WideString s(4);
  s.Assign(L"abc");
  EXPECT_EQ(1, s.Append(s));  // the block moves while appending
  EXPECT_STREQ(L"abcabc", s.CStr());
  EXPECT_EQ(1, s.Append(s.CStr() + 4));
  EXPECT_STREQ(L"abcabcbc", s.CStr());
}

TEST(WideStringInsert, IndexIsClampedToTheLength) {
  WideString s(L"abc");
  s.Insert(100, L"Z");
  EXPECT_STREQ(L"abcZ", s.CStr());
  s.Insert(0, L"<");
  EXPECT_STREQ(L"<abcZ", s.CStr());
  s.InsertChar(99, L'>');
  EXPECT_STREQ(L"<abcZ>", s.CStr());
  s.InsertChar(3, L'-');
  EXPECT_STREQ(L"<ab-cZ>", s.CStr());
  EXPECT_EQ(7u, s.Length());
  EXPECT_EQ(1, s.Insert(2, nullptr));
  EXPECT_STREQ(L"<ab-cZ>", s.CStr());
}

TEST(WideStringInsert, ItsOwnText) {
  WideString s(4);
  s.Assign(L"abc");
  EXPECT_EQ(1, s.Insert(1, s.CStr()));
  EXPECT_STREQ(L"aabcbc", s.CStr());
}

TEST(WideStringDelete, ClampsTheCountAndIgnoresIndexesPastTheEnd) {
  WideString s(L"abcdef");
  s.Delete(1, 2);
  EXPECT_STREQ(L"adef", s.CStr());
  s.Delete(2, 100);
  EXPECT_STREQ(L"ad", s.CStr());
  s.Delete(2, 1);
  s.Delete(50, 1);
  EXPECT_STREQ(L"ad", s.CStr());
  EXPECT_EQ(2u, s.Length());
}

TEST(WideStringTrailing, EnsureAndRemove) {
  WideString s;
  s.EnsureTrailing(L'\\');
  EXPECT_STREQ(L"\\", s.CStr());  // an empty text gets it
  s.Assign(L"C:\\dir");
  s.EnsureTrailing(L'\\');
  s.EnsureTrailing(L'\\');
  EXPECT_STREQ(L"C:\\dir\\", s.CStr());
  s.Append(L"\\");
  EXPECT_EQ(1, s.RemoveTrailing(L'\\'));  // one occurrence only
  EXPECT_STREQ(L"C:\\dir\\", s.CStr());
  EXPECT_EQ(1, s.RemoveTrailing(L'\\'));
  EXPECT_EQ(0, s.RemoveTrailing(L'\\'));
  EXPECT_STREQ(L"C:\\dir", s.CStr());
  EXPECT_EQ(6u, s.Length());
}

// Requests beyond the largest block a string asks for fail exactly like an
// exhausted heap: the string falls back to an empty text of 260 code units
// and stays usable.
TEST(WideStringAllocationFailure, FailedResizeKeepsTheText) {
  WideString s(L"kept");
  EXPECT_EQ(0, s.Resize(WideString::MaxCapacity + 1));
  EXPECT_STREQ(L"kept", s.CStr());
  EXPECT_EQ(259u, s.Capacity());
}

TEST(WideStringAllocationFailure, AssignResetsToTheDefaultCapacity) {
  WideString s(1000);
  s.Assign(L"previous");
  EXPECT_EQ(0, s.Assign(L"x", WideString::MaxCapacity));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(0u, s.Length());
  EXPECT_EQ(259u, s.Capacity());
  EXPECT_EQ(1, s.Append(L"usable"));
  EXPECT_STREQ(L"usable", s.CStr());
}

TEST(WideStringAllocationFailure, AssignCodePageResetsToTheDefaultCapacity) {
  WideString s(L"previous");
  EXPECT_EQ(0, s.AssignCodePage("abc", WideString::MaxCapacity, 1, 0));
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(259u, s.Capacity());
  EXPECT_EQ(1, s.AssignCodePage("abc", 3, 1, 0));
  EXPECT_STREQ(L"abc", s.CStr());
}
