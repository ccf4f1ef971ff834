#include "app/data/NightSummary.h"

#include <cstring>

int NightSummary::HandOnBefore(int nightKey) {
  while (!open_.empty() && open_.begin()->first < nightKey) {
    OpenNight night = open_.begin()->second;
    open_.erase(open_.begin());
    if (!night.asleepSeen) continue;
    if (!clock_.At(night.record.bedtimeUtc, night.record.bedtime) ||
        !clock_.At(night.record.wakeUtc, night.record.wake)) {
      clockFailed_ = true;
      return 0;
    }
    if (!out_.Night(night.record)) return 0;
  }
  return 1;
}

// The local day of each minute comes from the zone's offset at it (kept
// per UTC day by the clock); its date is worked out once per day, and the
// night it opened is kept while the minutes stay in it.
int NightSummary::Segment(const UnitSegment& segment) {
  for (unsigned long long i = 0; i < segment.count; ++i) {
    const unsigned long long minute = segment.first + i;
    const unsigned level = SleepingUnit(segment.pattern, minute);
    if (level != kLevelAsleep && level != kLevelAwake) continue;
    const long long utc = segment.runStart + static_cast<long long>(minute) * kSleepingUnitSeconds;
    long long offset = 0;
    if (!clock_.OffsetAt(utc, offset)) {
      clockFailed_ = true;
      return 0;
    }
    const long long local = utc + offset;
    long long day = local / 86400 - (local % 86400 < 0 ? 1 : 0);
    // Before noon a minute belongs to the night of the day before.
    if (local - day * 86400 < 43200) --day;
    if (day != day_) {
      int year = 0, month = 0, dayOfMonth = 0;
      DateOfDay(day, year, month, dayOfMonth);
      day_ = day;
      night_ = (year * 100 + month) * 100 + dayOfMonth;
      current_ = nullptr;
    }
    const int night = night_;
    if (!dates_.Holds(night)) continue;
    if (!current_) {
      if (!HandOnBefore(PreviousDateKey(night))) return 0;
      auto found = open_.find(night);
      if (found == open_.end()) {
        OpenNight fresh = {};
        memcpy(fresh.record.tracker, segment.tracker, sizeof fresh.record.tracker);
        fresh.record.night = night;
        found = open_.emplace(night, fresh).first;
      }
      current_ = &found->second;
    }
    OpenNight& open = *current_;
    if (level == kLevelAsleep) {
      if (!open.asleepSeen) {
        open.asleepSeen = true;
        open.record.bedtimeUtc = utc;
      } else {
        open.record.awakeMinutes += open.awakeSinceAsleep;
      }
      open.awakeSinceAsleep = 0;
      open.record.wakeUtc = utc + kSleepingUnitSeconds;
      ++open.record.asleepMinutes;
    } else if (open.asleepSeen) {
      ++open.awakeSinceAsleep;
    }
  }
  return 1;
}

int NightSummary::TrackerDone(const char*) {
  day_ = LLONG_MIN;
  current_ = nullptr;
  return HandOnBefore(INT_MAX);
}

UnitReadResult ReadNights(sqlite3* database, const char* tracker, const DateRange& dates, NightSink& out,
                          ReadProgress* progress, UnitReadTally& tally, long long startFloor) {
  LocalClock clock;
  NightSummary nights(clock, dates, out);
  UnitQuery query;
  query.table = 1;
  query.tracker = tracker;
  dates.UtcBounds(query.from, query.to);
  query.startFloor = startFloor;
  UnitReadResult result = ReadUnits(database, query, nights, progress, tally);
  if (result == UnitsStopped && nights.ClockFailed()) {
    tally.problem.Assign(L"a time could not be converted to local time");
    return UnitsFailed;
  }
  return result;
}
