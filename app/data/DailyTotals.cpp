#include "app/data/DailyTotals.h"

#include <cstring>

void DateRange::UtcBounds(long long& fromUtc, long long& toUtc) const {
  // Local times lie within a day of UTC, and a night reaches to noon of the
  // next date: two days either side hold them all.
  const long long twoDays = 2 * 86400LL;
  fromUtc = from ? UtcMidnightOf(from) - twoDays : LLONG_MIN;
  toUtc = to ? UtcMidnightOf(to) + 86400 + twoDays : LLONG_MAX;
}

// Local dates only go back when a clock is put back over midnight, by a
// day at most: days two before the current one are complete.
int DailyTotals::HandOnBefore(int dateKey) {
  while (!open_.empty() && open_.begin()->first < dateKey) {
    DayTotals day = open_.begin()->second;
    open_.erase(open_.begin());
    if (!out_.Day(day)) return 0;
  }
  return 1;
}

// The local day of each quarter hour comes from the zone's offset at it
// (kept per UTC day by the clock); its date is worked out once per day.
int DailyTotals::Segment(const UnitSegment& segment) {
  for (unsigned long long i = 0; i < segment.count; ++i) {
    const unsigned long long unit = segment.first + i;
    const long long utc = segment.runStart + static_cast<long long>(unit) * kWalkingUnitSeconds;
    long long offset = 0;
    if (!clock_.OffsetAt(utc, offset)) {
      clockFailed_ = true;
      return 0;
    }
    const long long local = utc + offset;
    const long long day = local / 86400 - (local % 86400 < 0 ? 1 : 0);
    if (day != day_) {
      int year = 0, month = 0, dayOfMonth = 0;
      DateOfDay(day, year, month, dayOfMonth);
      day_ = day;
      date_ = (year * 100 + month) * 100 + dayOfMonth;
      current_ = nullptr;
    }
    const int date = date_;
    if (!dates_.Holds(date)) continue;
    if (!current_) {
      if (!HandOnBefore(PreviousDateKey(date))) return 0;
      auto found = open_.find(date);
      if (found == open_.end()) {
        DayTotals fresh = {};
        memcpy(fresh.tracker, segment.tracker, sizeof fresh.tracker);
        fresh.date = date;
        found = open_.emplace(date, fresh).first;
      }
      current_ = &found->second;
    }
    const WalkingRecord record = WalkingUnit(segment.pattern, unit);
    current_->steps += record.steps;
    current_->calories += record.calories;
    current_->metres += record.distance * 10ULL;
  }
  return 1;
}

int DailyTotals::TrackerDone(const char*) {
  day_ = LLONG_MIN;
  current_ = nullptr;
  return HandOnBefore(INT_MAX);
}

UnitReadResult ReadDailyTotals(sqlite3* database, const char* tracker, const DateRange& dates, DayTotalsSink& out,
                               ReadProgress* progress, UnitReadTally& tally, long long startFloor) {
  LocalClock clock;
  DailyTotals totals(clock, dates, out);
  UnitQuery query;
  query.table = 0;
  query.tracker = tracker;
  dates.UtcBounds(query.from, query.to);
  query.startFloor = startFloor;
  UnitReadResult result = ReadUnits(database, query, totals, progress, tally);
  if (result == UnitsStopped && totals.ClockFailed()) {
    tally.problem.Assign(L"a time could not be converted to local time");
    return UnitsFailed;
  }
  return result;
}
