// Unix seconds, calendar times and their texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "core/DateTime.h"
#include "core/WideString.h"

namespace {

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                WORD milliseconds = 0) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  t.wMilliseconds = milliseconds;
  return t;
}

// "2014-06-01 03:25:07 0" (the last figure is the day of the week)
std::string Text(const SYSTEMTIME& t) {
  char text[40];
  _snprintf(text, sizeof text - 1, "%04u-%02u-%02u %02u:%02u:%02u.%03u %u", t.wYear, t.wMonth,
            t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
  text[sizeof text - 1] = 0;
  return text;
}

std::string FromUnix(long long seconds) {
  SYSTEMTIME t;
  return FromUnixTime(t, seconds, 0) ? Text(t) : "refused";
}

}  // namespace

TEST(UnixTime, KnownTimesBothWays) {
  EXPECT_EQ("1970-01-01 00:00:00.000 4", FromUnix(0));
  EXPECT_EQ(0, ToUnixTime(Time(1970, 1, 1, 0, 0, 0)));
  EXPECT_EQ(1401580800, ToUnixTime(Time(2014, 6, 1, 0, 0, 0)));
  EXPECT_EQ("2014-06-01 03:25:07.000 0", FromUnix(1401580800 + 3 * 3600 + 25 * 60 + 7));
  // The largest value of the tracker's 32-bit clock.
  EXPECT_EQ("2106-02-07 06:28:15.000 0", FromUnix(4294967295LL));
  EXPECT_EQ(4294967295LL, ToUnixTime(Time(2106, 2, 7, 6, 28, 15)));
}

TEST(UnixTime, MillisecondsAreDroppedBeforeTheEpochToo) {
  EXPECT_EQ(1401580800, ToUnixTime(Time(2014, 6, 1, 0, 0, 0, 999)));
  EXPECT_EQ(-1, ToUnixTime(Time(1969, 12, 31, 23, 59, 59, 500)));
  EXPECT_EQ("1969-12-31 23:59:59.000 3", FromUnix(-1));
}

TEST(UnixTime, OutOfRangeAndInvalidTimesAreRefused) {
  EXPECT_EQ("1601-01-01 00:00:00.000 1", FromUnix(-11644473600LL));
  EXPECT_EQ("refused", FromUnix(-11644473601LL));
  EXPECT_EQ("refused", FromUnix(0x7FFFFFFFFFFFFFFFLL));
  SYSTEMTIME t = Time(2000, 1, 2, 3, 4, 5);
  EXPECT_EQ(0, FromUnixTime(t, -0x7FFFFFFFFFFFFFFFLL, 1));
  EXPECT_EQ("2000-01-02 03:04:05.000 0", Text(t));  // unchanged
  int ok = 1;
  EXPECT_EQ(0, ToUnixTime(Time(2014, 2, 30, 0, 0, 0), &ok));
  EXPECT_EQ(0, ok);
}

TEST(LocalTime, CopyTimeAndFromUnixTimeAgree) {
  SYSTEMTIME utc, local, copied;
  ASSERT_EQ(1, FromUnixTime(utc, 1401580800 + 12345, 0));
  ASSERT_EQ(1, FromUnixTime(local, 1401580800 + 12345, 1));
  ASSERT_EQ(1, CopyTime(copied, &utc, 1));
  EXPECT_EQ(Text(local), Text(copied));
  // Not to local: an exact copy.
  SYSTEMTIME source = Time(2014, 6, 1, 1, 2, 3, 456);
  ASSERT_EQ(1, CopyTime(copied, &source, 0));
  EXPECT_EQ(0, memcmp(&source, &copied, sizeof source));
  // An invalid source leaves the target alone.
  SYSTEMTIME bad = Time(2014, 0, 1, 0, 0, 0);
  EXPECT_EQ(0, CopyTime(copied, &bad, 1));
  EXPECT_EQ(0, memcmp(&source, &copied, sizeof source));
}

TEST(TimeText, SecondsShownOrLeftOut) {
  const SYSTEMTIME t = Time(2014, 6, 1, 13, 47, 59);
  WideString text;
  ASSERT_EQ(1, FormatTime(text, TIME_NOSECONDS, &t, 1));
  EXPECT_NE(nullptr, text.Find(L"47")) << text.CStr();
  EXPECT_EQ(nullptr, text.Find(L"59")) << text.CStr();
  ASSERT_EQ(1, FormatTime(text, 0, &t, 1));
  EXPECT_NE(nullptr, text.Find(L"47")) << text.CStr();
  EXPECT_NE(nullptr, text.Find(L"59")) << text.CStr();
}

TEST(TimeText, DatesAndInvalidTimes) {
  const SYSTEMTIME t = Time(2014, 6, 1, 13, 47, 59);
  WideString text;
  ASSERT_EQ(1, FormatDate(text, DATE_SHORTDATE, &t, 1));
  EXPECT_NE(nullptr, text.Find(L"2014")) << text.CStr();
  EXPECT_EQ(nullptr, text.Find(L"47")) << text.CStr();
  const SYSTEMTIME bad = Time(2014, 13, 40, 25, 61, 61);
  EXPECT_EQ(0, FormatDate(text, DATE_SHORTDATE, &bad, 1));
  EXPECT_STREQ(L"", text.CStr());
  text.Assign(L"old");
  EXPECT_EQ(0, FormatTime(text, 0, &bad, 1));
  EXPECT_STREQ(L"", text.CStr());
}

TEST(LocalTime, EachTimeFollowsTheRulesOfItsOwnDateInAnyZone) {
  // Central Europe and eastern Australia by their rules (summer time from the last Sunday of
  // March to the last of October; from the first Sunday of October to the first of April),
  // eastern Australia by name (summer time began on the last Sunday of October until 2007),
  // and none: the test command's zone, Europe/Berlin, whatever the day the test runs.
  const DYNAMIC_TIME_ZONE_INFORMATION
      berlin = {-60, {}, Time(0, 10, 5, 3, 0, 0), 0, {}, Time(0, 3, 5, 2, 0, 0), -60, {}, 0},
      sydney = {-600, {}, Time(0, 4, 1, 3, 0, 0), 0, {}, Time(0, 10, 1, 2, 0, 0), -60, {}, 0},
      named = {0, {}, {}, 0, {}, {}, 0, L"AUS Eastern Standard Time", 0};
  struct Case {
    const DYNAMIC_TIME_ZONE_INFORMATION* zone;
    long long utc;
    SYSTEMTIME local;
    bool back;  // the local time names this moment alone
  };
  const Case cases[] = {
      {&berlin, 1401580800, {2014, 6, 0, 1, 2, 0, 0, 0}, true},
      {&berlin, 1417388400, {2014, 12, 1, 1, 0, 0, 0, 0}, true},
      {&berlin, 1414283400, {2014, 10, 0, 26, 2, 30, 0, 0}, false},  // 02:30 comes twice
      {&berlin, 1414287000, {2014, 10, 0, 26, 2, 30, 0, 0}, false},
      {&sydney, 1401544800, {2014, 6, 0, 1, 0, 0, 0, 0}, true},
      {&sydney, 1417392000, {2014, 12, 1, 1, 11, 0, 0, 0}, true},
      {&named, 1192406400, {2007, 10, 1, 15, 10, 0, 0, 0}, true},
      {&named, 1413331200, {2014, 10, 3, 15, 11, 0, 0, 0}, true},
      {nullptr, 1401573600, {2014, 6, 0, 1, 0, 0, 0, 0}, true},
      {nullptr, 1417392000, {2014, 12, 1, 1, 1, 0, 0, 0}, true},
  };
  for (const Case& c : cases) {
    SYSTEMTIME local = {};
    long long seconds = 0;
    EXPECT_EQ(1, LocalFromUnixTime(local, c.utc, c.zone));
    EXPECT_EQ(Text(c.local), Text(local)) << c.utc;
    EXPECT_EQ(1, UnixTimeFromLocal(seconds, c.local, c.zone));
    if (c.back) { EXPECT_EQ(c.utc, seconds) << Text(c.local); }
  }
}
