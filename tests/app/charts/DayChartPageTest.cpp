// The day chart pages from pattern bytes and a start time: the series, the
// start date, the title and the filling of a template.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/charts/DayChartPage.h"
#include "app/charts/WalkingTotals.h"
#include "core/DateTime.h"
#include "core/WideString.h"

namespace {

// A template as small as the real ones are large: each placeholder once, in
// script-like surroundings that hold other asterisks.
const char WalkingTemplate[] =
    "<t>'***TITLE***'</t>/* x ** y */Date.UTC(***DATE***);a=2***3;"
    "d=[***DATA_DISTANCE***];c=[***DATA_CALORIES***];";
const char SleepingTemplate[] = "Date.UTC(***DATE***) [***DATA***] '***TITLE***'";

// Local times in the test command's zone, Europe/Berlin.
const unsigned kJan5At2204 = 1388955840;  // 2014-01-05 21:04:00 UTC
const SYSTEMTIME kJan5At2204Local = {2014, 1, 0, 5, 22, 4, 0, 0};

std::wstring Between(const WideString& page, const wchar_t* before, const wchar_t* after) {
  std::wstring text = page.CStr();
  size_t from = text.find(before);
  if (from == std::wstring::npos) return L"<missing>";
  from += wcslen(before);
  size_t to = text.find(after, from);
  return to == std::wstring::npos ? L"<missing>" : text.substr(from, to - from);
}

WideString WalkingPage(const std::vector<unsigned char>& pattern, unsigned start = 1388959440) {
  WideString page;
  EXPECT_TRUE(BuildWalkingChartPage(WalkingTemplate, strlen(WalkingTemplate), pattern.data(),
                                    pattern.size(), start, page));
  return page;
}

WideString SleepingPage(const std::vector<unsigned char>& pattern, unsigned start = 1388959440) {
  WideString page;
  EXPECT_TRUE(BuildSleepingChartPage(SleepingTemplate, strlen(SleepingTemplate), pattern.data(),
                                     pattern.size(), start, page));
  return page;
}

}  // namespace

TEST(DayChartPage, WalkingRecordsGiveCaloriesAndDistanceInMetres) {
  WideString page = WalkingPage({0x00, 0x0C, 0x00, 0x2D, 0x00, 0x3F, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(Between(page, L"c=[", L"]"), L"45,0");
  EXPECT_EQ(Between(page, L"d=[", L"]"), L"630,0");
}

TEST(DayChartPage, WalkingValuesAreBigEndianAndReachTheirLargest) {
  WideString page = WalkingPage({0x12, 0x34, 0x01, 0x02, 0x03, 0x04,  // 258 cal, 7720 m
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Between(page, L"c=[", L"]"), L"258,65535");
  EXPECT_EQ(Between(page, L"d=[", L"]"), L"7720,655350");
}

TEST(DayChartPage, SevenBytesGiveOnePointAndTheTrailingByteIsIgnored) {
  WideString page = WalkingPage({0x00, 0x01, 0x00, 0x07, 0x00, 0x02, 0x99});
  EXPECT_EQ(Between(page, L"c=[", L"]"), L"7");
  EXPECT_EQ(Between(page, L"d=[", L"]"), L"20");
}

TEST(DayChartPage, AnEmptyOrShortPatternGivesEmptyLists) {
  EXPECT_EQ(Between(WalkingPage({}), L"d=[", L"]"), L"");
  EXPECT_EQ(Between(WalkingPage({1, 2, 3, 4, 5}), L"c=[", L"]"), L"");
  EXPECT_EQ(Between(SleepingPage({}), L"[", L"]"), L"");
}

TEST(DayChartPage, SleepingLevelsMapToTheirBandsHighBitsFirst) {
  EXPECT_EQ(Between(SleepingPage({0x1B}), L"[", L"]"), L"45,15,75,95");
  EXPECT_EQ(Between(SleepingPage({0xAA, 0xE4}), L"[", L"]"), L"75,75,75,75,95,75,15,45");
}

TEST(DayChartPage, TheDateIsTheLocalStartWithTheMonthCountedFromZero) {
  EXPECT_EQ(Between(WalkingPage({}, kJan5At2204), L"Date.UTC(", L")"), L"2014,0,5,22,4,0");
  EXPECT_EQ(Between(SleepingPage({}, 1451602798), L"Date.UTC(", L")"),  // 22:59:58 UTC
            L"2015,11,31,23,59,58");
}

TEST(DayChartPage, TheTitleIsTheLocalLongDateAndTimeWithoutSeconds) {
  unsigned start = kJan5At2204;
  WideString date, clock;
  ASSERT_TRUE(FormatDate(date, DATE_LONGDATE, &kJan5At2204Local, 0));
  ASSERT_TRUE(FormatTime(clock, TIME_NOSECONDS, &kJan5At2204Local, 0));
  std::wstring expected = std::wstring(date.CStr()) + L" " + clock.CStr();
  EXPECT_EQ(Between(WalkingPage({}, start), L"<t>'", L"'</t>"), expected);
  EXPECT_EQ(Between(SleepingPage({}, start), L"] '", L"'"), expected);
  EXPECT_NE(expected.find(L"2014"), std::wstring::npos);
}

TEST(DayChartPage, QuotesAndBackslashesAreEscapedForTheScriptString) {
  WideString out;
  ASSERT_TRUE(ChartScriptText(L"5 d'abril \\ 2014", out));
  EXPECT_STREQ(out.CStr(), L"5 d\\'abril \\\\ 2014");
  ASSERT_TRUE(ChartScriptText(L"", out));
  EXPECT_STREQ(out.CStr(), L"");
}

TEST(DayChartPage, LineBreaksAndMarkupInATitleCannotEndTheScript) {
  // A user's own date format may hold any text: a line break would end the
  // script string, and "</script>" the whole script block.
  WideString out;
  ASSERT_TRUE(ChartScriptText(L"a\r\nb\x2028" L"c\x2029" L"d</script><!--e", out));
  EXPECT_STREQ(out.CStr(), L"a\\r\\nb\\u2028c\\u2029d\\x3c/script>\\x3c!--e");
}

TEST(DayChartPage, EverythingButThePlaceholdersIsCopiedAsItStands) {
  WideString page = WalkingPage({0x00, 0x0C, 0x00, 0x2D, 0x00, 0x3F}, kJan5At2204);
  std::wstring text = page.CStr();
  for (const wchar_t* name : {L"***TITLE***", L"***DATE***", L"***DATA_"})
    EXPECT_EQ(text.find(name), std::wstring::npos) << name;
  EXPECT_EQ(Between(page, L"'</t>", L"Date"), L"/* x ** y */");
  EXPECT_EQ(Between(page, L");", L"d=["), L"a=2***3;");
  EXPECT_EQ(text.substr(text.size() - 15), L"d=[630];c=[45];");
}

TEST(DayChartPage, EveryOccurrenceIsReplacedAndOtherStarredNamesAreKept) {
  const char pageTemplate[] = "***A******A***-***B***-***AB***-***A";
  ChartPageField fields[2] = {{"***A***", L"1"}, {"***B***", L"two"}};
  WideString out;
  ASSERT_TRUE(FillChartPage(pageTemplate, strlen(pageTemplate), fields, 2, out));
  EXPECT_STREQ(out.CStr(), L"11-two-***AB***-***A");
  EXPECT_EQ(out.Length(), wcslen(out.CStr()));
}

TEST(DayChartPage, TemplateBytesAreReadInTheAnsiCodePage) {
  const char pageTemplate[] = "caf\xE9 ***X*** \x80";
  wchar_t expected[32];
  int n = MultiByteToWideChar(CP_ACP, 0, pageTemplate, -1, expected, 32);
  ASSERT_GT(n, 0);
  std::wstring want = expected;
  want.replace(want.find(L"***X***"), 7, L"ok");
  ChartPageField field = {"***X***", L"ok"};
  WideString out;
  ASSERT_TRUE(FillChartPage(pageTemplate, strlen(pageTemplate), &field, 1, out));
  EXPECT_EQ(std::wstring(out.CStr()), want);
}

TEST(DayChartPage, NoTemplateOrAnImpossibleStartLeavesTheOutputEmpty) {
  WideString out(L"old page");
  unsigned char record[6] = {0, 1, 0, 1, 0, 1};
  EXPECT_FALSE(BuildWalkingChartPage(nullptr, 0, record, 6, 1388959440, out));
  EXPECT_STREQ(out.CStr(), L"");
  out.Assign(L"old page");
  EXPECT_FALSE(BuildSleepingChartPage("", 0, record, 6, 1388959440, out));
  EXPECT_STREQ(out.CStr(), L"");
}

TEST(DayChartPage, ALongNightFillsEveryMinute) {
  std::vector<unsigned char> night(4000, 0x5A);  // 1,1,2,2 each 4 minutes
  WideString page = SleepingPage(night);
  std::wstring data = Between(page, L"[", L"]");
  ASSERT_EQ(data.size(), 4000u * 12 - 1);
  EXPECT_EQ(data.substr(0, 12), L"15,15,75,75,");
  EXPECT_EQ(data.substr(data.size() - 11), L"15,15,75,75");
}

TEST(DayChartPage, AScannedLayoutServesLaterPagesAndOtherTemplatesAreScannedAgain) {
  ChartPageLayout layout;
  std::vector<unsigned char> first = {0, 1, 0, 2, 0, 3}, second = {0, 1, 0, 9, 0, 8, 0, 1, 0, 7, 0, 6};
  WideString reused, fresh;
  ASSERT_TRUE(BuildWalkingChartPage(WalkingTemplate, strlen(WalkingTemplate), first.data(),
                                    first.size(), 1388959440, reused, &layout));
  EXPECT_TRUE(layout.IsFor(WalkingTemplate, strlen(WalkingTemplate), 4));
  ASSERT_TRUE(BuildWalkingChartPage(WalkingTemplate, strlen(WalkingTemplate), second.data(),
                                    second.size(), 1388959440, reused, &layout));
  fresh = WalkingPage(second);
  EXPECT_STREQ(fresh.CStr(), reused.CStr());
  EXPECT_EQ(Between(reused, L"c=[", L"]"), L"9,7");
  // The same layout handed a sleeping template finds that template's places.
  ASSERT_TRUE(BuildSleepingChartPage(SleepingTemplate, strlen(SleepingTemplate), first.data(),
                                     first.size(), 1388959440, reused, &layout));
  EXPECT_TRUE(layout.IsFor(SleepingTemplate, strlen(SleepingTemplate), 3));
  EXPECT_STREQ(SleepingPage(first).CStr(), reused.CStr());
}

TEST(WalkingTotals, DistanceSwitchesToKilometresAtOneThousandMetres) {
  WalkingTotalsText text;
  ASSERT_TRUE(FormatWalkingTotals(1234, 56, 999, text));
  EXPECT_STREQ(text.steps.CStr(), L"1234");
  EXPECT_STREQ(text.calories.CStr(), L"56 cal");
  EXPECT_STREQ(text.distance.CStr(), L"999 Meter");
  ASSERT_TRUE(FormatWalkingTotals(0, 0, 1000, text));
  EXPECT_STREQ(text.distance.CStr(), L"1.0 Kilometer");
  EXPECT_STREQ(text.steps.CStr(), L"0");
  EXPECT_STREQ(text.calories.CStr(), L"0 cal");
  ASSERT_TRUE(FormatWalkingTotals(4294967295u, 4294967295u, 12345, text));
  EXPECT_STREQ(text.distance.CStr(), L"12.3 Kilometer");
  EXPECT_STREQ(text.steps.CStr(), L"4294967295");
  EXPECT_STREQ(text.calories.CStr(), L"4294967295 cal");
}
