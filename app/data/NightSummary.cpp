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

int NightSummary::Segment(const UnitSegment& segment) {
  LocalMinute local;
  for (unsigned long long i = 0; i < segment.count; ++i) {
    const unsigned long long minute = segment.first + i;
    const unsigned level = SleepingUnit(segment.pattern, minute);
    if (level != kLevelAsleep && level != kLevelAwake) continue;
    const long long utc = segment.runStart + static_cast<long long>(minute) * kSleepingUnitSeconds;
    if (!clock_.At(utc, local)) {
      clockFailed_ = true;
      return 0;
    }
    int night = local.DateKey();
    if (local.hour < 12) night = PreviousDateKey(night);
    if (!dates_.Holds(night)) continue;
    if (!HandOnBefore(PreviousDateKey(night))) return 0;
    auto found = open_.find(night);
    if (found == open_.end()) {
      OpenNight fresh = {};
      memcpy(fresh.record.tracker, segment.tracker, sizeof fresh.record.tracker);
      fresh.record.night = night;
      found = open_.emplace(night, fresh).first;
    }
    OpenNight& open = found->second;
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

int NightSummary::TrackerDone(const char*) { return HandOnBefore(INT_MAX); }

UnitReadResult ReadNights(sqlite3* database, const char* tracker, const DateRange& dates, NightSink& out,
                          ReadProgress* progress, UnitReadTally& tally) {
  LocalClock clock;
  NightSummary nights(clock, dates, out);
  UnitQuery query;
  query.table = 1;
  query.tracker = tracker;
  dates.UtcBounds(query.from, query.to);
  UnitReadResult result = ReadUnits(database, query, nights, progress, tally);
  if (result == UnitsStopped && nights.ClockFailed()) {
    tally.problem.Assign(L"a time could not be converted to local time");
    return UnitsFailed;
  }
  return result;
}
