// The span of days the Trends figures cover: a week (starting on the
// locale's first day of the week), a calendar month, a calendar year, or all
// days with data. Previous and next move a week, month or year by one; all
// days do not move. Dates are date keys (YYYYMMDD) of the local calendar.
#pragma once

#include "core/WideString.h"

enum TrendPeriodKind : int {
  PeriodWeek,
  PeriodMonth,
  PeriodYear,
  PeriodAll,
};

// "week", "month", "year", "all"; 1/0.
int ParsePeriodKind(const wchar_t* text, TrendPeriodKind& kind);
const wchar_t* PeriodKindName(TrendPeriodKind kind);

// 0 Monday ... 6 Sunday, as LOCALE_IFIRSTDAYOFWEEK counts.
int LocaleFirstWeekday(const wchar_t* localeName = nullptr);
// 0 Monday ... 6 Sunday of a date key.
int WeekdayOf(int dateKey);
// Days between two date keys (to - from).
long long DaysBetween(int from, int to);
// The date key a number of days after (or before) a date key.
int AddDays(int dateKey, long long days);

struct TrendPeriod {
  TrendPeriodKind kind = PeriodMonth;
  int first = 0;  // for PeriodAll: set once the days with data are known
  int last = 0;
  bool Holds(int dateKey) const { return dateKey >= first && dateKey <= last; }
};

// The week, month or year holding the date; for PeriodAll first and last
// are the date (the figures widen it to the days with data).
TrendPeriod PeriodHolding(TrendPeriodKind kind, int dateKey, int firstWeekday);
// The period before (direction < 0) or after it.
TrendPeriod MovePeriod(const TrendPeriod& period, int direction, int firstWeekday);
