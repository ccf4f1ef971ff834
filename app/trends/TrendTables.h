// The daily totals and nights of every tracker kept as summary tables in the
// database, so that the Trends figures of years of history need no pass
// over the runs. They are derived data: every row comes from DailyTotals and
// NightSummary (the computation the `days` and `nights` exports use), and
// dropping the tables loses nothing; they are made again from the runs.
//
//   trends_days    mac, date, steps, calories, metres        one row a day
//   trends_nights  mac, night, bedtime, wake (UTC seconds), bedtime_local,
//                  wake_local (YYYYMMDDHHMM), asleep, awake   one row a night
//   trends_runs    tbl (0 walking, 1 sleeping), id (the run's row number),
//                  mac, start, units, bytes (the pattern's length)
//                                                             the runs summed up
//   trends_state   name, value: "version", "zone" (the time zone the local
//                  dates were taken in, with its rules for the years "zone
//                  from" to "zone to": ZoneRules), "walking" and "sleeping" (the
//                  highest row number summed up), "walking rows", "walking
//                  bytes" (the rows and their patterns' lengths summed up),
//                  "walking checked" (how far the check for runs changed in
//                  place has gone, while one is owed), ...
//
// Plain tables an older Pellton (and an older SQLite) opens and leaves alone.
//
// Refresh brings them up to date with the runs and recomputes only the days
// and nights that changed runs touch. A run written since (a download, a
// merge, an older Pellton) has a row number above the highest seen, since
// the run tables number their rows with AUTOINCREMENT and every insert of
// a run makes a new row; a run gone (replaced, removed) shows as fewer rows
// than trends_runs lists, and trends_runs tells which days it covered. A
// run changed in place (an older Pellton's merge updates the pattern of the
// row) shows as patterns whose lengths no longer add up: the rows whose
// mac, start or length differ from trends_runs count as gone and new.
// That check passes over every run: it is owed after a connection's first
// refresh and after another connection wrote to the file (Pellton itself
// never changes a run in place), made span by span of row numbers, and
// may be deferred so that figures need not wait for it (RefreshSome). A
// change of the time zone, tables missing or a run table numbering its rows
// without AUTOINCREMENT make everything be computed again. Tables of another
// version or layout (a newer Pellton's, after going back to this one), or
// tables that refuse a write, are dropped and made afresh.
//
// When the database cannot be written (opened read-only, a copy of another
// Pellton's file), or its owner decided not to write it (a store whose
// tables could not be made ready), the same tables are kept in the
// connection's temporary schema, begun from the file's own tables when those
// were up to date.
#pragma once

#include <vector>

#include "app/data/DailyTotals.h"
#include "app/data/NightSummary.h"
#include "core/WideString.h"

struct sqlite3;

struct TrendRefreshTally {
  bool rebuilt = false;              // everything was computed again
  unsigned long long runsNew = 0;    // rows written since the last refresh
  unsigned long long runsGone = 0;   // rows no longer there
  unsigned long long daysRecomputed = 0;    // days and nights of touched spans
  unsigned long long nightsRecomputed = 0;
  bool checkLeft = false;            // the check (runs removed or changed in place, the zone's rules) was deferred
};

class TrendTables {
public:
  // fileReadOnly: the file is not to be written even when the connection could.
  explicit TrendTables(sqlite3* database, bool fileReadOnly = false)
      : database_(database), fileReadOnly_(fileReadOnly) {}

  // Brings the tables up to date; 1, or 0 with problem (nothing changed).
  int Refresh(WideString& problem, TrendRefreshTally* tally = nullptr);
  // One step of that, its own transaction (a savepoint within the caller's)
  // summing up at most runLimit new runs of each run table (0: all): done
  // tells whether the tables are now up to date. Between steps they lack
  // the days of the runs left and may keep those of runs gone since: read
  // them only once done. A refresh, stepwise or not, goes on where the last
  // step left off, so a caller may let go of the connection between steps.
  // deferCheck: when the runs would need the pass that finds runs changed
  // in place (a connection's first refresh, or another connection wrote),
  // it is left to a later refresh without it (checkLeft): the tables hold
  // every run written since and every run a new row replaced, but a run
  // changed in place or removed by another program shows only then. So do
  // the rules of the zone's years: a deferred refresh compares only the
  // zone's name and biases. A connection that cannot write the tables
  // checks at once.
  int RefreshSome(WideString& problem, bool& done, unsigned long long runLimit, TrendRefreshTally* tally = nullptr,
                  bool deferCheck = false);
  // The tracker's days or nights within the dates (0 ends: open), in date
  // order, after a Refresh. 1/0 with problem.
  int ReadDays(const char* tracker, const DateRange& dates, std::vector<DayTotals>& days, WideString& problem);
  int ReadNights(const char* tracker, const DateRange& dates, std::vector<NightRecord>& nights,
                 WideString& problem);
  // How many refreshes on this connection have changed the tables so far.
  unsigned long long Changes() const;
  // "main", or "temp" when the database cannot be written.
  const char* Schema() const { return schema_; }

private:
  sqlite3* database_;
  bool fileReadOnly_;
  const char* schema_ = "main";
};
