// The CSV files of the stored activity: UTF-8, comma-separated, CRLF line
// ends, one header line, rows in order of tracker address and time. Times:
// `utc` as YYYY-MM-DDTHH:MM:SSZ, `local` as YYYY-MM-DD HH:MM in the PC's
// time zone by the rules of that date; `tracker` is the address text as
// stored.
//
//   walking   tracker,utc,local,steps,calories,distance_m
//             one row per quarter-hour record (the empty ones inside a run
//             too); distance_m is the stored distance x 10
//   sleeping  tracker,utc,local,state
//             one row per minute; state awake, asleep, active or unknown
//   days      tracker,date,steps,calories,distance_m   (DailyTotals)
//   nights    tracker,night,bedtime,wake,asleep_minutes,awake_minutes
//                                                       (NightSummary)
//
// A time several stored runs of a tracker cover is written once, from the
// run with the later start (StoredUnits). The date range selects rows by
// their local date (nights by the night's date). The rows stream from the
// database into the file: nothing but the run in use is held.
#pragma once

#include "app/data/DailyTotals.h"
#include "app/data/OutputFile.h"

enum ExportKind : int {
  ExportWalking,
  ExportSleeping,
  ExportDays,
  ExportNights,
};

// "walking", "sleeping", "days", "nights"; 1/0.
int ParseExportKind(const wchar_t* text, ExportKind& kind);
const wchar_t* ExportKindName(ExportKind kind);

struct ExportRequest {
  ExportKind kind = ExportWalking;
  char tracker[18] = {};  // empty: every tracker
  DateRange dates;
};

enum ExportResult : int {
  ExportDone,
  ExportCancelled,
  ExportFailed,
};

struct ExportOutcome {
  unsigned long long rows = 0;
  unsigned long long skipped = 0;  // stored rows that hold no run, left out
  WideString problem;              // ExportFailed: why, in a few words
};

// Writes the rows into the opened file and commits it; on a failure or a
// cancel the file is abandoned (nothing is left).
ExportResult WriteExport(sqlite3* database, const ExportRequest& request, OutputFile& file, ReadProgress* progress,
                         ExportOutcome& outcome);
