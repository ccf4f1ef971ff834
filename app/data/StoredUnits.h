// The stored runs of one table read back as units, tracker by tracker and
// in time order: a walking unit is one quarter-hour record (6 bytes: steps,
// calories, distance in 10 m, each 16-bit big-endian), a sleeping unit one
// minute (a 2-bit level, four to a byte, the first in bits 7-6).
//
// Stored runs of one tracker may overlap (a run stored again after the
// tracker's clock moved, a merged copy from another PC). Every unit is
// given once: a time that several runs cover is taken from the run with the
// latest start, and the earlier run's units come back once that run has
// ended. Units are identified by their start: a unit of an earlier run is
// left out when its start lies inside a later run.
//
// Nothing is held but the run being read and the one in use: runs are read
// one at a time by a query in (tracker, start) order, and a run that comes
// back into use after a later one ended is read again.
#pragma once

#include <climits>

#include "app/tracker/WalkingRecords.h"
#include "core/WideString.h"

struct sqlite3;

const long long kWalkingUnitSeconds = WALKING_SLOT_SECONDS;
const long long kSleepingUnitSeconds = SLEEPING_SLOT_SECONDS / SLEEP_MINUTES_PER_BYTE;
const unsigned kWalkingRecordBytes = WALKING_RECORD_SIZE;

// One stretch of consecutive units of one run.
struct UnitSegment {
  const char* tracker;           // the address text as stored
  long long runStart;            // the run's start, UTC seconds
  const unsigned char* pattern;  // the run's bytes
  unsigned long long first;      // the stretch's first unit in the run
  unsigned long long count;      // its units
};

// The walking record or sleeping level of a unit of a run.
inline WalkingRecord WalkingUnit(const unsigned char* pattern, unsigned long long unit) {
  return ReadWalkingRecord(pattern + unit * kWalkingRecordBytes);
}
inline unsigned SleepingUnit(const unsigned char* pattern, unsigned long long minute) {
  return SleepLevel(pattern[minute / SLEEP_MINUTES_PER_BYTE], minute % SLEEP_MINUTES_PER_BYTE);
}

class UnitSink {
public:
  virtual ~UnitSink() {}
  // 0 stops the reading (the sink cannot go on: a write failed).
  virtual int Segment(const UnitSegment& segment) = 0;
  // Every unit of the tracker has been given.
  virtual int TrackerDone(const char* tracker) = 0;
};

// Told after every run read; answers 0 to stop (the user cancelled).
class ReadProgress {
public:
  virtual ~ReadProgress() {}
  virtual int Runs(unsigned long long done, unsigned long long total) = 0;
};

struct UnitQuery {
  int table = 0;                  // WalkingTable or SleepingTable
  const char* tracker = nullptr;  // none or empty: every tracker
  // Only runs that cover some of [from, to) UTC are read: a cheap first
  // selection, the sinks select exactly.
  long long from = LLONG_MIN;
  long long to = LLONG_MAX;
  // When set, only runs starting from it up to `to` are looked at (a
  // selection through the index, for a caller that knows no run starting
  // earlier reaches into [from, to)); the other rows, sound or not, are
  // not counted either.
  long long startFloor = LLONG_MIN;
};

enum UnitReadResult : int {
  UnitsRead,
  UnitsCancelled,  // the progress answered 0
  UnitsStopped,    // the sink answered 0
  UnitsFailed,     // the database could not be read: problem says why
};

struct UnitReadTally {
  unsigned long long runs = 0;
  // Rows that hold no run (an address, start or pattern the store never
  // writes): left out.
  unsigned long long skipped = 0;
  WideString problem;
};

UnitReadResult ReadUnits(sqlite3* database, const UnitQuery& query, UnitSink& sink, ReadProgress* progress,
                         UnitReadTally& tally);

// 1 when the text is an address as the store keys rows by it
// ("02:50:4C:54:4E:01").
int IsTrackerAddress(const char* text);
