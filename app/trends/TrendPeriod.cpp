#include "app/trends/TrendPeriod.h"

#include <windows.h>

#include <cwchar>

#include "app/data/LocalTime.h"

namespace {

const wchar_t* const kNames[4] = {L"week", L"month", L"year", L"all"};

int DaysInMonth(int year, int month) {
  for (int day = 31; day > 28; --day) {
    if (DateKeyOf(year, month, day)) return day;
  }
  return 28;
}

}  // namespace

int ParsePeriodKind(const wchar_t* text, TrendPeriodKind& kind) {
  for (int i = 0; i < 4; ++i) {
    if (text && wcscmp(text, kNames[i]) == 0) {
      kind = static_cast<TrendPeriodKind>(i);
      return 1;
    }
  }
  return 0;
}

const wchar_t* PeriodKindName(TrendPeriodKind kind) {
  return kind >= PeriodWeek && kind <= PeriodAll ? kNames[kind] : L"";
}

int LocaleFirstWeekday(const wchar_t* localeName) {
  wchar_t text[4] = {};
  if (GetLocaleInfoEx(localeName ? localeName : LOCALE_NAME_USER_DEFAULT, LOCALE_IFIRSTDAYOFWEEK, text, 4) <= 0 ||
      text[0] < L'0' || text[0] > L'6')
    return 0;
  return text[0] - L'0';
}

long long DaysBetween(int from, int to) { return (UtcMidnightOf(to) - UtcMidnightOf(from)) / 86400; }

int AddDays(int dateKey, long long days) {
  int year = 0, month = 0, day = 0;
  DateOfDay(UtcMidnightOf(dateKey) / 86400 + days, year, month, day);
  return (year * 100 + month) * 100 + day;
}

// 1970-01-01 was a Thursday (3).
int WeekdayOf(int dateKey) {
  long long day = UtcMidnightOf(dateKey) / 86400;
  return static_cast<int>(((day + 3) % 7 + 7) % 7);
}

TrendPeriod PeriodHolding(TrendPeriodKind kind, int dateKey, int firstWeekday) {
  TrendPeriod period;
  period.kind = kind;
  const int year = dateKey / 10000, month = dateKey / 100 % 100;
  switch (kind) {
    case PeriodWeek:
      period.first = AddDays(dateKey, -((WeekdayOf(dateKey) - firstWeekday + 7) % 7));
      period.last = AddDays(period.first, 6);
      break;
    case PeriodMonth:
      period.first = (year * 100 + month) * 100 + 1;
      period.last = (year * 100 + month) * 100 + DaysInMonth(year, month);
      break;
    case PeriodYear:
      period.first = year * 10000 + 101;
      period.last = year * 10000 + 1231;
      break;
    default:
      period.kind = PeriodAll;
      period.first = period.last = dateKey;
      break;
  }
  return period;
}

TrendPeriod MovePeriod(const TrendPeriod& period, int direction, int firstWeekday) {
  if (period.kind == PeriodAll || direction == 0) return period;
  const int step = direction < 0 ? -1 : 1;
  int year = period.first / 10000, month = period.first / 100 % 100;
  switch (period.kind) {
    case PeriodWeek:
      return PeriodHolding(PeriodWeek, AddDays(period.first, 7 * step), firstWeekday);
    case PeriodMonth:
      month += step;
      if (month < 1) month = 12, --year;
      if (month > 12) month = 1, ++year;
      break;
    default:
      year += step;
      break;
  }
  // Years the calendar cannot hold leave the period where it is.
  if (!DateKeyOf(year, month, 1)) return period;
  return PeriodHolding(period.kind, (year * 100 + month) * 100 + 1, firstWeekday);
}
