// The nights of the stored sleeping runs: per tracker, the minutes of its
// sleeping runs grouped into nights, the night of date D holding the
// minutes that start from 12:00 local time on D up to 12:00 on D + 1 (each
// minute once, as StoredUnits gives them). A night runs from its bedtime,
// the first asleep minute, up to its wake, just after the last asleep
// minute; its asleep and awake minutes are counted in that span (active
// and unknown minutes, and times no run covers, count as neither). Nights
// without an asleep minute are left out. The CSV export of nights and
// every page showing nights use this one computation.
#pragma once

#include <map>

#include "app/data/DailyTotals.h"

struct NightRecord {
  char tracker[18];      // address text
  int night;             // local date key of the evening, YYYYMMDD
  long long bedtimeUtc;  // start of the first asleep minute
  long long wakeUtc;     // end of the last asleep minute
  LocalMinute bedtime;   // the same in local time
  LocalMinute wake;
  unsigned long long asleepMinutes;
  unsigned long long awakeMinutes;
};

class NightSink {
public:
  virtual ~NightSink() {}
  // 0 stops the computation.
  virtual int Night(const NightRecord& night) = 0;
};

const unsigned kLevelAwake = 0;
const unsigned kLevelAsleep = 1;

// Takes sleeping units and gives the nights in order of tracker and date.
class NightSummary : public UnitSink {
public:
  NightSummary(LocalClock& clock, const DateRange& dates, NightSink& out) : clock_(clock), dates_(dates), out_(out) {}
  int Segment(const UnitSegment& segment) override;
  int TrackerDone(const char* tracker) override;
  bool ClockFailed() const { return clockFailed_; }

private:
  struct OpenNight {
    NightRecord record;
    bool asleepSeen;
    unsigned long long awakeSinceAsleep;  // awake minutes after the latest asleep one
  };
  int HandOnBefore(int nightKey);

  LocalClock& clock_;
  const DateRange dates_;
  NightSink& out_;
  std::map<int, OpenNight> open_;
  bool clockFailed_ = false;
  long long day_ = LLONG_MIN;    // the local day (from 1970-01-01) of the last minute's night
  int night_ = 0;                // its date key
  OpenNight* current_ = nullptr;  // that night in open_, once opened
};

UnitReadResult ReadNights(sqlite3* database, const char* tracker, const DateRange& dates, NightSink& out,
                          ReadProgress* progress, UnitReadTally& tally, long long startFloor = LLONG_MIN);
