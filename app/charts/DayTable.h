// A run's figures as rows, for the table view that stands in for the chart
// (screen readers, copying the numbers): read from the same stored pattern
// as the chart pages' series. A walking run gives one row per quarter-hour
// record; a sleeping run one range per stretch of minutes at the same
// level. Times are minutes from the run's start.
#pragma once

#include <cstddef>
#include <vector>

struct QuarterHourRow {
  unsigned minute = 0;  // the quarter hour's first minute
  unsigned steps = 0;
  unsigned calories = 0;
  unsigned metres = 0;
};

struct SleepRange {
  unsigned minute = 0;   // the first minute
  unsigned minutes = 0;  // how long
  unsigned level = 0;    // 0 awake, 1 asleep, 2 active, 3 undefined (as the chart's levels)
};

// Bytes after the last complete record are ignored, as in the chart.
std::vector<QuarterHourRow> WalkingRows(const unsigned char* pattern, size_t size);
std::vector<SleepRange> SleepingRanges(const unsigned char* pattern, size_t size);
// "awake", "asleep", "active" or "undefined".
const wchar_t* SleepLevelName(unsigned level);
