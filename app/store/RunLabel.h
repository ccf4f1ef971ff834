// The text a date list shows for a recorded run, grouped by the local day
// it began on: the user's long date with the weekday and the month
// abbreviated ("dddd" and "MMMM" of the locale's long date format become
// "ddd" and "MMM"), the run's place among that
// day's runs when the day has more than one, and the local times it began
// and ended without seconds, for example
// "Tue, Dec 8, 2026 · 3 of 4 · 09:12–10:40". About four runs a day
// make long lists; the place in the day tells them apart at a glance.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "core/WideString.h"

struct StoredRun;

// Reads the locale's long date format once, for labelling many runs.
class RunLabelFormat {
public:
  RunLabelFormat();
  // The label of a run from start to end (Unix seconds; end at or before
  // start shows the start alone), number of ofDay runs of its day (ofDay
  // below 2 shows no place). 1 with the label; 0 (label emptied) when the
  // start cannot be shown.
  int Format(unsigned start, unsigned end, int number, int ofDay, WideString& label) const;

  // The date part of a label of the local time; 1/0.
  int DateText(const SYSTEMTIME& local, WideString& date) const;
  // The whole label from its date part and its start in local time (and
  // its end, when known); 1/0.
  int Compose(const WideString& date, const SYSTEMTIME& local, unsigned end, unsigned start, int number, int ofDay,
              WideString& label, const SYSTEMTIME* endLocal = nullptr) const;

private:
  // The locale's time without seconds for the hour and minute of the time;
  // each minute of the day is formatted once. 1/0.
  int TimeText(const SYSTEMTIME& time, WideString& text) const;

  WideString picture_;  // the long date format, weekday abbreviated
  bool ready_ = false;
  mutable std::unique_ptr<WideString[]> times_;  // by minute of the day, empty until formatted
};

// One label of a run alone on its day (reads the locale's format each time).
int FormatRunLabel(unsigned start, unsigned end, WideString& label);

// The local day a run began on as YYYYMMDD; 0 when it cannot be known.
int LocalDayOf(unsigned start);

// Labels the runs (oldest first, start and end set) with their place in
// their local day.
void LabelRunsByDay(std::vector<StoredRun>& runs);
