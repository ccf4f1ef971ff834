#include "app/charts/DayTable.h"

#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/WalkingRecords.h"

std::vector<QuarterHourRow> WalkingRows(const unsigned char* pattern, size_t size) {
  std::vector<QuarterHourRow> rows;
  if (!pattern) return rows;
  unsigned minute = 0;
  for (WalkingRecordReader records(pattern, size, WalkingBytes::Pattern); records.Next(); minute += 15) {
    const WalkingRecord record = records.Record();
    QuarterHourRow row;
    row.minute = minute;
    row.steps = record.steps;
    row.calories = record.calories;
    row.metres = record.distance * DISTANCE_UNIT_METRES;
    rows.push_back(row);
  }
  return rows;
}

std::vector<SleepRange> SleepingRanges(const unsigned char* pattern, size_t size) {
  std::vector<SleepRange> ranges;
  if (!pattern) return ranges;
  unsigned minute = 0;
  for (size_t i = 0; i < size; ++i) {
    for (unsigned k = 0; k < SLEEP_MINUTES_PER_BYTE; ++k, ++minute) {
      const unsigned level = SleepLevel(pattern[i], k);
      if (!ranges.empty() && ranges.back().level == level) {
        ++ranges.back().minutes;
      } else {
        SleepRange range;
        range.minute = minute;
        range.minutes = 1;
        range.level = level;
        ranges.push_back(range);
      }
    }
  }
  return ranges;
}

const wchar_t* SleepLevelName(unsigned level) {
  static const wchar_t* const names[] = {L"awake", L"asleep", L"active", L"undefined"};
  return names[level & 3u];
}
