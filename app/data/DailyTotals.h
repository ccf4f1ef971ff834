// The walking figures of each day: per tracker and local date, the sums of
// the walking records whose quarter hour starts on that date (each quarter
// hour once, as StoredUnits gives them). Only dates with at least one
// record are given. The CSV export of days and every page showing daily
// totals use this one computation.
#pragma once

#include <map>

#include "app/data/LocalTime.h"
#include "app/data/StoredUnits.h"

// Local dates from..to inclusive (date keys YYYYMMDD); 0 leaves that end open.
struct DateRange {
  int from = 0;
  int to = 0;
  bool Holds(int dateKey) const { return (from == 0 || dateKey >= from) && (to == 0 || dateKey <= to); }
  // A UTC span surely holding every instant whose local time (or night)
  // falls in the range, for the first selection of runs.
  void UtcBounds(long long& fromUtc, long long& toUtc) const;
};

struct DayTotals {
  char tracker[18];  // address text
  int date;          // local date key, YYYYMMDD
  unsigned long long steps;
  unsigned long long calories;
  unsigned long long metres;  // the stored distance x 10
};

class DayTotalsSink {
public:
  virtual ~DayTotalsSink() {}
  // 0 stops the computation.
  virtual int Day(const DayTotals& day) = 0;
};

// Takes walking units and gives the days in order of tracker and date.
class DailyTotals : public UnitSink {
public:
  DailyTotals(LocalClock& clock, const DateRange& dates, DayTotalsSink& out) : clock_(clock), dates_(dates), out_(out) {}
  int Segment(const UnitSegment& segment) override;
  int TrackerDone(const char* tracker) override;
  // A time the system could not convert stopped the computation.
  bool ClockFailed() const { return clockFailed_; }

private:
  int HandOnBefore(int dateKey);

  LocalClock& clock_;
  const DateRange dates_;
  DayTotalsSink& out_;
  std::map<int, DayTotals> open_;  // days that may still grow
  bool clockFailed_ = false;
  long long day_ = LLONG_MIN;     // the local day (from 1970-01-01) of the last quarter hour
  int date_ = 0;                  // its date key
  DayTotals* current_ = nullptr;  // that day in open_, once opened
};

// The days of the stored walking runs (one tracker's, or every tracker's
// when tracker is none or empty) within the dates.
// startFloor: UnitQuery's, for a caller that knows where the runs that
// matter start.
UnitReadResult ReadDailyTotals(sqlite3* database, const char* tracker, const DateRange& dates, DayTotalsSink& out,
                               ReadProgress* progress, UnitReadTally& tally, long long startFloor = LLONG_MIN);
