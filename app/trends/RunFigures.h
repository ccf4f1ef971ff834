// The figures of one chosen run, for the Walking and Sleeping pages: a
// walking run's own steps, distance, calories and duration (its quarter
// hours, from its first to its last), and the night a sleeping run belongs
// to, with the figures the `nights` export gives for it (a night split
// into several runs is the whole night).
#pragma once

#include <cstddef>

#include "app/data/NightSummary.h"
#include "core/WideString.h"

class ActivityStore;
struct sqlite3;

struct WalkingRunFigures {
  unsigned long long steps = 0;
  unsigned long long calories = 0;
  unsigned long long metres = 0;
  unsigned long long minutes = 0;
};

// The sums of the run's complete 6-byte records.
WalkingRunFigures FiguresOfWalkingRun(const unsigned char* pattern, size_t size);

// The night of the sleeping run of the tracker starting at start (UTC
// seconds) with this pattern: the night of its first asleep minute. 1 with
// the night; 0 when the run has no asleep minute or the night has none any
// more (problem empty), or the database could not be read (problem says why).
int NightOfSleepingRun(sqlite3* database, const char* tracker, unsigned start, const unsigned char* pattern,
                       size_t size, NightRecord& night, WideString& problem);
// The same for a run of the store (read with its pattern), under its lock;
// a store that stores nothing has its file left unwritten.
int NightOfSleepingRun(ActivityStore& store, const wchar_t* tracker, unsigned start, NightRecord& night,
                       WideString& problem);
