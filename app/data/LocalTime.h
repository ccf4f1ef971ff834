// Local wall-clock times of UTC instants in the PC's time zone, each by the
// zone's rules for its own date: a summer time of 2014 is judged by the
// rules of 2014, not by today's. The exports, the daily totals and the
// nights all read local times through LocalClock, which asks the system
// once per UTC day (and a few more times on a day the clock changes) and
// does the rest by arithmetic.
#pragma once

#include <windows.h>

// A local time to the minute, and its date as one number (YYYYMMDD) for
// comparisons.
struct LocalMinute {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int DateKey() const { return (year * 100 + month) * 100 + day; }
};

// The one place that asks the system (through the core's conversion): the
// local time of a UTC instant (Unix seconds) by the rules of that date. 1/0.
int LocalTimeOfUtc(long long utcSeconds, SYSTEMTIME& local);

// The date that follows or precedes a date key (20141231 -> 20150101),
// and a date key from its fields when they form a real date (else 0).
int NextDateKey(int dateKey);
int PreviousDateKey(int dateKey);
int DateKeyOf(int year, int month, int day);
// Unix seconds of 00:00 UTC on the date of a date key.
long long UtcMidnightOf(int dateKey);
// The UTC calendar fields of an instant (Unix seconds), seconds apart.
void UtcFieldsOf(long long utcSeconds, LocalMinute& out, int& second);
// The date of a day counted from 1970-01-01 (day 0).
void DateOfDay(long long day, int& year, int& month, int& day_of_month);

class LocalClock {
public:
  // 1 with the local time of the instant; 0 when the system cannot tell
  // (a time outside what it can convert).
  int At(long long utcSeconds, LocalMinute& out);
  // The local minus UTC seconds at the instant; 1/0.
  int OffsetAt(long long utcSeconds, long long& offset);

private:
  int Ask(long long utcSeconds, long long& offset);
  int LearnDay(long long day);

  bool known_ = false;
  long long day_ = 0;          // the UTC day (Unix seconds / 86400) learned
  long long change_ = 0;       // the first instant of that day with the second offset
  long long before_ = 0;       // the offset before change_
  long long after_ = 0;        // the offset from change_ on (== before_: no change that day)
};
