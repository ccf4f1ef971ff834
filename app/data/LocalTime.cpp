#include "app/data/LocalTime.h"

#include "core/DateTime.h"

namespace {

const long long kSecondsPerDay = 86400;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int LocalTimeOfUtc(long long utcSeconds, SYSTEMTIME& local) {
  return LocalFromUnixTime(local, utcSeconds) ? 1 : 0;
}

int DateKeyOf(int year, int month, int day) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1) return 0;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > last) return 0;
  return (year * 100 + month) * 100 + day;
}

int NextDateKey(int dateKey) {
  int year = 0, month = 0, day = 0;
  CivilFromDays(DaysFromCivil(dateKey / 10000, dateKey / 100 % 100, dateKey % 100) + 1, year, month, day);
  return (year * 100 + month) * 100 + day;
}

void DateOfDay(long long day, int& year, int& month, int& day_of_month) { CivilFromDays(day, year, month, day_of_month); }

int PreviousDateKey(int dateKey) {
  int year = 0, month = 0, day = 0;
  CivilFromDays(DaysFromCivil(dateKey / 10000, dateKey / 100 % 100, dateKey % 100) - 1, year, month, day);
  return (year * 100 + month) * 100 + day;
}

long long UtcMidnightOf(int dateKey) {
  return DaysFromCivil(dateKey / 10000, dateKey / 100 % 100, dateKey % 100) * kSecondsPerDay;
}

void UtcFieldsOf(long long utcSeconds, LocalMinute& out, int& second) {
  long long days = FloorDiv(utcSeconds, kSecondsPerDay);
  long long rest = utcSeconds - days * kSecondsPerDay;
  CivilFromDays(days, out.year, out.month, out.day);
  out.hour = static_cast<int>(rest / 3600);
  out.minute = static_cast<int>(rest / 60 % 60);
  second = static_cast<int>(rest % 60);
}

int LocalClock::Ask(long long utcSeconds, long long& offset) {
  SYSTEMTIME local;
  if (!LocalTimeOfUtc(utcSeconds, local)) return 0;
  long long localSeconds =
      DaysFromCivil(local.wYear, local.wMonth, local.wDay) * kSecondsPerDay + local.wHour * 3600 + local.wMinute * 60 +
      local.wSecond;
  offset = localSeconds - utcSeconds;
  return 1;
}

// The offsets of one UTC day: the zone keeps one offset through a day, or
// changes it once (a summer time beginning or ending), found by halving.
int LocalClock::LearnDay(long long day) {
  long long first = day * kSecondsPerDay;
  long long last = first + kSecondsPerDay - 1;
  long long atFirst = 0, atLast = 0;
  if (!Ask(first, atFirst) || !Ask(last, atLast)) return 0;
  long long change = last + 1;
  if (atFirst != atLast) {
    long long low = first, high = last;  // offset(low) == atFirst, offset(high) != atFirst
    while (high - low > 1) {
      long long middle = low + (high - low) / 2;
      long long offset = 0;
      if (!Ask(middle, offset)) return 0;
      if (offset == atFirst) {
        low = middle;
      } else {
        high = middle;
      }
    }
    change = high;
  }
  known_ = true;
  day_ = day;
  change_ = change;
  before_ = atFirst;
  after_ = atLast;
  return 1;
}

int LocalClock::OffsetAt(long long utcSeconds, long long& offset) {
  long long day = FloorDiv(utcSeconds, kSecondsPerDay);
  if ((!known_ || day != day_) && !LearnDay(day)) return 0;
  offset = utcSeconds < change_ ? before_ : after_;
  return 1;
}

int LocalClock::At(long long utcSeconds, LocalMinute& out) {
  long long offset = 0;
  if (!OffsetAt(utcSeconds, offset)) return 0;
  long long local = utcSeconds + offset;
  long long days = FloorDiv(local, kSecondsPerDay);
  long long second = local - days * kSecondsPerDay;
  CivilFromDays(days, out.year, out.month, out.day);
  out.hour = static_cast<int>(second / 3600);
  out.minute = static_cast<int>(second / 60 % 60);
  return 1;
}
