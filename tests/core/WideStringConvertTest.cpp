// Conversions between wide text, narrow text in code pages, UTF-8 bytes held
// one per code unit, and BSTRs.
#include <gtest/gtest.h>

#include <string>

#include "core/WideString.h"

namespace {
std::wstring AnsiToWide(const char* bytes, int count) {
  wchar_t buffer[64] = {};
  int n = MultiByteToWideChar(CP_ACP, 0, bytes, count, buffer, 63);
  return std::wstring(buffer, n);
}
}  // namespace

TEST(WideStringCodePage, RawBytesBecomeCodeUnitsOfTheSameValue) {
  WideString s;
  const char bytes[] = "A\xE9\xFFz";
  EXPECT_EQ(1, s.AssignCodePage(bytes, 3, 1, CP_UTF8));  // exactly three bytes
  ASSERT_EQ(3u, s.Length());
  EXPECT_EQ(L'A', s.CharAt(0));
  EXPECT_EQ(0xE9, s.CharAt(1));
  EXPECT_EQ(0xFF, s.CharAt(2));
}

TEST(WideStringCodePage, ConvertsWithTheGivenCodePage) {
  WideString s;
  EXPECT_EQ(1, s.AssignCodePage("caf\xC3\xA9!", 6, 0, CP_UTF8));
  EXPECT_STREQ(L"caf\u00E9!", s.CStr());
  EXPECT_EQ(1, s.AssignCodePage("\xE9", 1, 0, 437));  // OEM United States
  EXPECT_STREQ(L"\u0398", s.CStr());
}

TEST(WideStringCodePage, AnUnavailableCodePageFallsBackToTheAnsiCodePage) {
  WideString s;
  const char bytes[] = "caf\xE9";
  EXPECT_EQ(1, s.AssignCodePage(bytes, 4, 0, 12345));
  EXPECT_EQ(AnsiToWide(bytes, 4), s.CStr());
  EXPECT_EQ(4u, s.Length());
}

TEST(WideStringCodePage, EmptyOrMissingText) {
  WideString s(L"old");
  EXPECT_EQ(1, s.AssignCodePage(nullptr, 5, 0, CP_UTF8));
  EXPECT_STREQ(L"", s.CStr());
  s.Assign(L"old");
  EXPECT_EQ(1, s.AssignCodePage("abc", 0, 0, CP_UTF8));
  EXPECT_STREQ(L"", s.CStr());
}

TEST(WideStringCodePage, GrowsToTheByteCount) {
  WideString s(2);
  std::string bytes(300, 'b');
  EXPECT_EQ(1, s.AssignCodePage(bytes.data(), 300, 0, CP_UTF8));
  EXPECT_EQ(300u, s.Length());
  EXPECT_EQ(300u, s.Capacity());
}

TEST(WideStringNarrow, RawTakesTheLowByteOfEveryCodeUnit) {
  WideString s(L"\u00E9A\u0141");
  const char* raw = s.ToNarrow(1);
  ASSERT_NE(nullptr, raw);
  EXPECT_EQ(3u, strlen(raw));
  EXPECT_EQ('\xE9', raw[0]);
  EXPECT_EQ('A', raw[1]);
  EXPECT_EQ('\x41', raw[2]);  // U+0141 keeps only 0x41
}

TEST(WideStringNarrow, AnsiCodePageCopyIsOwnedAndReplaced) {
  WideString s(L"narrow text");
  const char* first = s.ToNarrow();
  ASSERT_NE(nullptr, first);
  EXPECT_STREQ("narrow text", first);
  s.Assign(L"second");
  const char* second = s.ToNarrow(0);
  ASSERT_NE(nullptr, second);
  EXPECT_STREQ("second", second);
  WideString empty;
  ASSERT_NE(nullptr, empty.ToNarrow());
  EXPECT_STREQ("", empty.ToNarrow());
}

TEST(WideStringNarrow, RoundTripThroughTheAnsiCodePage) {
  WideString s;
  s.AssignNarrow("Stra\xDF" "e");
  WideString back;
  back.AssignNarrow(s.ToNarrow());
  EXPECT_STREQ(s.CStr(), back.CStr());
}

TEST(WideStringUtf8, DecodesBytesHeldOnePerCodeUnit) {
  WideString bytes;
  bytes.AssignCodePage("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", 11, 1, 0);
  ASSERT_EQ(11u, bytes.Length());
  WideString target(L"old");
  EXPECT_EQ(1, bytes.DecodeUtf8(target));
  EXPECT_STREQ(L"Gr\u00FC\u00DFe \u20AC", target.CStr());
  EXPECT_EQ(7u, target.Length());
  EXPECT_EQ(259u, target.Capacity());
  EXPECT_EQ(11u, bytes.Length());  // the source is unchanged
}

TEST(WideStringUtf8, TargetCapacityFollowsALongSource) {
  WideString bytes(std::wstring(400, L'a').c_str());
  WideString target;
  EXPECT_EQ(1, bytes.DecodeUtf8(target));
  EXPECT_EQ(400u, target.Length());
  EXPECT_EQ(401u, target.Capacity());  // used + 1 code units
}

TEST(WideStringUtf8, CanDecodeIntoItself) {
  WideString s;
  s.AssignCodePage("\xC3\xA9t\xC3\xA9", 6, 1, 0);
  EXPECT_EQ(1, s.DecodeUtf8(s));
  EXPECT_STREQ(L"\u00E9t\u00E9", s.CStr());
}

TEST(WideStringUtf8, EmptySourceGivesNoCodeUnits) {
  WideString empty;
  WideString target(L"old");
  EXPECT_EQ(1, empty.DecodeUtf8(target));  // the terminator alone is converted
  EXPECT_STREQ(L"", target.CStr());
}

TEST(WideStringUtf8, CutOffSequenceEndsAtTheConvertedText) {
  WideString bytes;
  bytes.AssignCodePage("A\xE8", 2, 1, 0);
  WideString target(L"OLD-TEXT-OLD-TEXT");
  EXPECT_EQ(1, bytes.DecodeUtf8(target));
  EXPECT_STREQ(L"A\uFFFD", target.CStr());
  EXPECT_EQ(2u, target.Length());
}

TEST(WideStringBstr, OutArgumentBelongsToTheCaller) {
  WideString s(L"caller's copy");
  BSTR copy = nullptr;
  BSTR returned = s.ToBstr(&copy);
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(copy, returned);
  EXPECT_NE(static_cast<const wchar_t*>(copy), s.CStr());
  EXPECT_EQ(13u, SysStringLen(copy));
  s.Assign(L"changed");
  s.ToBstr();  // must not touch the caller's copy
  EXPECT_STREQ(L"caller's copy", copy);
  SysFreeString(copy);
}

TEST(WideStringBstr, OwnCopyIsReplacedByTheNextOne) {
  WideString s(L"first");
  BSTR first = s.ToBstr();
  ASSERT_NE(nullptr, first);
  EXPECT_STREQ(L"first", first);
  s.Assign(L"second one");
  BSTR second = s.ToBstr(nullptr);
  ASSERT_NE(nullptr, second);
  EXPECT_STREQ(L"second one", second);
  EXPECT_EQ(10u, SysStringLen(second));
}

TEST(BstrHolderTest, CopiesShareOneString) {
  BstrHolder copy;
  {
    WideString s(L"shared");
    BstrHolder original = s.ToBstrHolder();
    copy = original;
    EXPECT_EQ(original.Get(), copy.Get());
    BstrHolder third(copy);
    EXPECT_EQ(original.Get(), third.Get());
  }
  EXPECT_STREQ(L"shared", copy.Get());  // the last holder keeps it alive
  EXPECT_EQ(6u, copy.Length());
  EXPECT_EQ(6u, SysStringLen(copy.Get()));
  copy = copy;
  EXPECT_STREQ(L"shared", copy.Get());
}

TEST(BstrHolderTest, EmptyHoldersGiveTheEmptyString) {
  BstrHolder none;
  ASSERT_NE(nullptr, none.Get());
  EXPECT_STREQ(L"", none.Get());
  EXPECT_EQ(0u, none.Length());
  EXPECT_EQ(0u, SysStringByteLen(none.Get()));
  BstrHolder fromNone(nullptr);
  EXPECT_STREQ(L"", fromNone.Get());
  EXPECT_EQ(0u, fromNone.Length());
  BstrHolder text(L"x");
  text = none;
  EXPECT_STREQ(L"", text.Get());
}
