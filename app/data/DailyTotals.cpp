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

int DailyTotals::Segment(const UnitSegment& segment) {
  LocalMinute local;
  for (unsigned long long i = 0; i < segment.count; ++i) {
    const unsigned long long unit = segment.first + i;
    if (!clock_.At(segment.runStart + static_cast<long long>(unit) * kWalkingUnitSeconds, local)) {
      clockFailed_ = true;
      return 0;
    }
    const int date = local.DateKey();
    if (!dates_.Holds(date)) continue;
    if (!HandOnBefore(PreviousDateKey(date))) return 0;
    auto found = open_.find(date);
    if (found == open_.end()) {
      DayTotals fresh = {};
      memcpy(fresh.tracker, segment.tracker, sizeof fresh.tracker);
      fresh.date = date;
      found = open_.emplace(date, fresh).first;
    }
    const WalkingRecord record = WalkingUnit(segment.pattern, unit);
    found->second.steps += record.steps;
    found->second.calories += record.calories;
    found->second.metres += record.distance * 10ULL;
  }
  return 1;
}

int DailyTotals::TrackerDone(const char*) { return HandOnBefore(INT_MAX); }

UnitReadResult ReadDailyTotals(sqlite3* database, const char* tracker, const DateRange& dates, DayTotalsSink& out,
                               ReadProgress* progress, UnitReadTally& tally) {
  LocalClock clock;
  DailyTotals totals(clock, dates, out);
  UnitQuery query;
  query.table = 0;
  query.tracker = tracker;
  dates.UtcBounds(query.from, query.to);
  UnitReadResult result = ReadUnits(database, query, totals, progress, tally);
  if (result == UnitsStopped && totals.ClockFailed()) {
    tally.problem.Assign(L"a time could not be converted to local time");
    return UnitsFailed;
  }
  return result;
}
