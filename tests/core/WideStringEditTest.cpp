// Editing in place: cutting, replacing, trimming and tokenizing.
#include <gtest/gtest.h>

#include <cwctype>
#include <random>
#include <string>

#include "core/WideString.h"

TEST(WideStringCut, LeftClampsToTheText) {
  WideString s(L"abc");
  s.Left(100);
  EXPECT_STREQ(L"abc", s.CStr());
  s.Left(2);
  EXPECT_STREQ(L"ab", s.CStr());
  EXPECT_EQ(2u, s.Length());
  s.Left(-5);
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(0u, s.Length());
}

TEST(WideStringCut, MidClampsStartAndCount) {
  WideString s(L"abc");
  s.Mid(1, 100);
  EXPECT_STREQ(L"bc", s.CStr());
  s.Assign(L"abcdef");
  s.Mid(-3, 2);
  EXPECT_STREQ(L"ab", s.CStr());
  s.Assign(L"abcdef");
  s.Mid(2, -1);
  EXPECT_STREQ(L"", s.CStr());
  s.Assign(L"abcdef");
  s.Mid(10, 2);
  EXPECT_STREQ(L"", s.CStr());
  s.Assign(L"abcdef");
  s.Mid(2, 3);
  EXPECT_STREQ(L"cde", s.CStr());
  EXPECT_EQ(3u, s.Length());
}

TEST(WideStringCut, MidFrom) {
  WideString s(L"abcdef");
  s.MidFrom(4);
  EXPECT_STREQ(L"ef", s.CStr());
  s.MidFrom(-2);
  EXPECT_STREQ(L"ef", s.CStr());
  s.MidFrom(7);
  EXPECT_STREQ(L"", s.CStr());
}

TEST(WideStringReplace, EveryReplacementRestartsAtTheStart) {
  for (int inPlace = 0; inPlace <= 1; ++inPlace) {
    WideString s(L"xdddddx");
    EXPECT_EQ(s.CStr(), s.Replace(L"dddd", L"ddd", inPlace));
    EXPECT_STREQ(L"xdddx", s.CStr()) << "in place " << inPlace;
    // "ab" formed by one replacement is replaced again
    s.Assign(L"aaab");
    s.Replace(L"ab", L"b", inPlace);
    EXPECT_STREQ(L"b", s.CStr()) << "in place " << inPlace;
    EXPECT_EQ(1u, s.Length());
  }
}

TEST(WideStringReplace, NoReplacementRemovesEveryOccurrence) {
  for (int inPlace = 0; inPlace <= 1; ++inPlace) {
    WideString s(L"a-b-c-");
    s.Replace(L"-", nullptr, inPlace);
    EXPECT_STREQ(L"abc", s.CStr());
    EXPECT_EQ(3u, s.Length());
  }
}

TEST(WideStringReplace, InPlaceKeepsTheBlock) {
  WideString s(L"one, two, three");
  const wchar_t* block = s.CStr();
  s.Replace(L", ", L";", 1);
  EXPECT_STREQ(L"one;two;three", s.CStr());
  EXPECT_EQ(block, s.CStr());
  EXPECT_EQ(259u, s.Capacity());
}

TEST(WideStringReplace, ReallocatingChangesCapacityByTheDifference) {
  WideString s(L"one, two, three");  // capacity 260
  s.Replace(L", ", L";", 0);
  EXPECT_STREQ(L"one;two;three", s.CStr());
  EXPECT_EQ(257u, s.Capacity());  // two replacements, one code unit each
  s.Replace(L";", L" and ", 0);
  EXPECT_STREQ(L"one and two and three", s.CStr());
  EXPECT_EQ(265u, s.Capacity());
}

TEST(WideStringReplace, InPlaceWithALongerReplacementReallocates) {
  WideString a(L"a.b.c");
  WideString b(L"a.b.c");
  a.Replace(L".", L"::", 1);
  b.Replace(L".", L"::", 0);
  EXPECT_STREQ(L"a::b::c", a.CStr());
  EXPECT_STREQ(b.CStr(), a.CStr());
  EXPECT_EQ(b.Capacity(), a.Capacity());
  EXPECT_EQ(261u, a.Capacity());
}

TEST(WideStringReplace, AReplacementContainingTheTextEnds) {
  WideString s(L"a-a");
  s.Replace(L"a", L"aa", 0);
  EXPECT_STREQ(L"aa-aa", s.CStr());
  s.Assign(L"xx");
  s.Replace(L"x", L"<x>", 1);
  EXPECT_STREQ(L"<x><x>", s.CStr());
  s.Assign(L"ab");
  s.ReplaceNoCase(L"A", L"[a]");
  EXPECT_STREQ(L"[a]b", s.CStr());
}

TEST(WideStringReplace, ALongerReplacementThatFormsTheTextAgainEnds) {
  // Restarting would find "ab" again after every replacement, for ever.
  for (int inPlace = 0; inPlace <= 1; ++inPlace) {
    WideString s(L"aab");
    ASSERT_NE(nullptr, s.Replace(L"ab", L"bbaa", inPlace));
    EXPECT_STREQ(L"abbaa", s.CStr());
  }
  WideString t(L"AdAA ");
  ASSERT_NE(nullptr, t.ReplaceNoCase(L"ada", L"daad"));
  EXPECT_STREQ(L"daadA ", t.CStr());
}

TEST(WideStringReplace, EmptyOrMissingSearchTextChangesNothing) {
  WideString s(L"abc");
  EXPECT_EQ(s.CStr(), s.Replace(L"", L"x", 0));
  EXPECT_EQ(s.CStr(), s.Replace(nullptr, L"x", 1));
  EXPECT_EQ(s.CStr(), s.ReplaceNoCase(L"", L"x"));
  EXPECT_STREQ(L"abc", s.CStr());
}

TEST(WideStringReplace, ArgumentsFromItsOwnText) {
  WideString s(L"abcabc");
  s.Replace(s.CStr() + 4, L"", 0);  // "bc"
  EXPECT_STREQ(L"aa", s.CStr());
  WideString t(L"x-y");
  t.Replace(L"-", t.CStr(), 0);  // the replacement is the whole old text
  EXPECT_STREQ(L"xx-yy", t.CStr());
}

TEST(WideStringReplace, NoCaseMatchesAnyCaseAndReallocates) {
  WideString s(L"Red red RED");
  s.ReplaceNoCase(L"red", L"blue");
  EXPECT_STREQ(L"blue blue blue", s.CStr());
  EXPECT_EQ(262u, s.Capacity());
  s.ReplaceNoCase(L"BLUE ", nullptr);
  EXPECT_STREQ(L"blue", s.CStr());
  EXPECT_EQ(252u, s.Capacity());
}

namespace {

// Replacement by the plain rule: search from the start after every
// replacement, or after the inserted text when the replacement is longer
// or contains the searched text.
std::wstring ReplacedByRule(std::wstring text, const std::wstring& find, const std::wstring& by,
                            bool noCase) {
  auto lower = [](std::wstring t) {
    for (wchar_t& c : t) c = static_cast<wchar_t>(towlower(c));
    return t;
  };
  const bool continueAfter = by.size() > find.size() ||
                             (noCase ? lower(by).find(lower(find)) : by.find(find)) != std::wstring::npos;
  size_t from = 0;
  for (;;) {
    size_t at = noCase ? lower(text).find(lower(find), from) : text.find(find, from);
    if (at == std::wstring::npos) return text;
    text.replace(at, find.size(), by);
    from = continueAfter ? at + by.size() : 0;
  }
}

}  // namespace

TEST(WideStringReplace, AgreesWithThePlainRuleOnManySmallTexts) {
  std::mt19937 random(16);
  const wchar_t letters[] = L"abAB";
  auto text = [&](size_t most) {
    std::wstring t(random() % (most + 1), L'a');
    for (wchar_t& c : t) c = letters[random() % 4];
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    std::wstring original = text(12);
    std::wstring find = text(3);
    std::wstring by = text(4);
    if (find.empty()) continue;
    int mode = static_cast<int>(random() % 3);  // 0 reallocating, 1 in place, 2 no case
    WideString s(original.c_str());
    ASSERT_NE(nullptr, mode == 2 ? s.ReplaceNoCase(find.c_str(), by.c_str())
                                 : s.Replace(find.c_str(), by.c_str(), mode));
    EXPECT_EQ(ReplacedByRule(original, find, by, mode == 2), std::wstring(s.CStr()))
        << "'" << std::string(original.begin(), original.end()) << "' '"
        << std::string(find.begin(), find.end()) << "' -> '" << std::string(by.begin(), by.end())
        << "' mode " << mode;
    EXPECT_EQ(wcslen(s.CStr()), s.Length());
  }
}

TEST(WideStringReplace, AMatchInEveryCharacterOfALongTextIsReplacedInOnePass) {
  // Searching again from the start after each of 200,000 replacements, or
  // copying the whole text each time, would take hours.
  std::wstring long_text(200000, L'x');
  WideString s(long_text.c_str());
  ASSERT_NE(nullptr, s.ReplaceNoCase(L"X", L"y"));
  EXPECT_EQ(std::wstring(200000, L'y'), std::wstring(s.CStr()));
  ASSERT_NE(nullptr, s.ReplaceNoCase(L"Y", nullptr));
  EXPECT_EQ(0u, s.Length());
  WideString t(long_text.c_str());
  ASSERT_NE(nullptr, t.Replace(L"xx", L"x", 1));  // restarts: every pair folds into one
  EXPECT_STREQ(L"x", t.CStr());
  ASSERT_NE(nullptr, t.Assign(long_text.c_str()) ? t.Replace(L"x", L"<x>", 0) : nullptr);
  EXPECT_EQ(600000u, t.Length());
}

TEST(WideStringTrim, RightAndLeft) {
  WideString s(L" \t\r\n a b \t\r\n ");
  s.TrimRight();
  EXPECT_STREQ(L" \t\r\n a b", s.CStr());
  EXPECT_EQ(8u, s.Length());
  s.TrimLeft();
  EXPECT_STREQ(L"a b", s.CStr());
  EXPECT_EQ(3u, s.Length());
  s.Assign(L"\u3000ideographic\u3000");
  s.Trim();
  EXPECT_STREQ(L"ideographic", s.CStr());
}

TEST(WideStringTrim, AllWhiteSpaceAndNone) {
  WideString s(L"  \t ");
  s.TrimRight();
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(0u, s.Length());
  s.Assign(L"   ");
  s.TrimLeft();
  EXPECT_STREQ(L"", s.CStr());
  EXPECT_EQ(0u, s.Length());
  s.Assign(L"x");
  s.Trim();
  EXPECT_STREQ(L"x", s.CStr());
}

TEST(WideStringTokenize, SplitsAtAnyDelimiterAndSkipsRuns) {
  WideString s(L",,alpha,;beta;gamma,");
  std::wstring tokens;
  for (wchar_t* t = s.Tokenize(1, L",;"); t; t = s.Tokenize(0, L",;")) {
    tokens += t;
    tokens += L'|';
  }
  EXPECT_EQ(L"alpha|beta|gamma|", tokens);
  EXPECT_EQ(nullptr, s.Tokenize(0, L",;"));  // stays at the end
}

TEST(WideStringTokenize, TheLengthFollowsTheFirstTerminator) {
  WideString s(L"key=value");
  wchar_t* key = s.Tokenize(1, L"=");
  EXPECT_STREQ(L"key", key);
  EXPECT_EQ(3u, s.Length());
  EXPECT_STREQ(L"value", s.Tokenize(0, L"="));
  EXPECT_STREQ(L"key", s.CStr());
}

TEST(WideStringTokenize, NothingButDelimitersOrNothingAtAll) {
  WideString s(L";;;");
  EXPECT_EQ(nullptr, s.Tokenize(1, L";"));
  WideString empty;
  EXPECT_EQ(nullptr, empty.Tokenize(1, L";"));
  EXPECT_EQ(nullptr, empty.Tokenize(0, L";"));
  WideString whole(L"abc");
  EXPECT_STREQ(L"abc", whole.Tokenize(1, nullptr));
  EXPECT_EQ(nullptr, whole.Tokenize(0, nullptr));
}

TEST(WideStringTokenize, ContinuingAfterTheTextShrankStaysInsideIt) {
  WideString s(L"a b c d e f");
  EXPECT_STREQ(L"a", s.Tokenize(1, L" "));
  s.Resize(2);  // the rest of the text is gone
  EXPECT_EQ(nullptr, s.Tokenize(0, L" "));
  EXPECT_STREQ(L"a", s.CStr());
}
