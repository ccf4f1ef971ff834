#include "app/trends/RunFigures.h"

#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/trends/TrendTables.h"

WalkingRunFigures FiguresOfWalkingRun(const unsigned char* pattern, size_t size) {
  WalkingRunFigures figures;
  const size_t records = pattern ? size / kWalkingRecordBytes : 0;
  for (size_t i = 0; i < records; ++i) {
    const WalkingRecord record = WalkingUnit(pattern, i);
    figures.steps += record.steps;
    figures.calories += record.calories;
    figures.metres += record.distance * 10ULL;
  }
  figures.minutes = records * (kWalkingUnitSeconds / 60);
  return figures;
}

namespace {

int NightOfRun(sqlite3* database, bool fileReadOnly, const char* tracker, unsigned start,
               const unsigned char* pattern, size_t size, NightRecord& night, WideString& problem) {
  problem.Assign(L"");
  unsigned long long minute = 0;
  const unsigned long long minutes = pattern ? size * 4ULL : 0;
  while (minute < minutes && SleepingUnit(pattern, minute) != kLevelAsleep) ++minute;
  if (minute == minutes) return 0;
  LocalClock clock;
  LocalMinute local;
  if (!clock.At(start + static_cast<long long>(minute) * kSleepingUnitSeconds, local)) {
    problem.Assign(L"a time could not be converted to local time");
    return 0;
  }
  DateRange dates;
  dates.from = dates.to = local.hour < 12 ? PreviousDateKey(local.DateKey()) : local.DateKey();
  TrendTables tables(database, fileReadOnly);
  std::vector<NightRecord> nights;
  if (!tables.Refresh(problem) || !tables.ReadNights(tracker, dates, nights, problem)) return 0;
  if (nights.empty()) return 0;
  night = nights.front();
  return 1;
}

struct NightWork {
  ActivityStore* store;
  std::string tracker;
  unsigned start;
  ByteBuffer pattern;
  NightRecord* night;
  WideString problem;
  int found = 0;
};

int OnConnection(Database& database, void* context) {
  NightWork& work = *static_cast<NightWork*>(context);
  work.found = NightOfRun(database.Handle(), work.store->IsReadOnly(), work.tracker.c_str(), work.start,
                          work.pattern.data, static_cast<size_t>(work.pattern.size), *work.night, work.problem);
  return work.problem.IsEmpty();
}

}  // namespace

int NightOfSleepingRun(sqlite3* database, const char* tracker, unsigned start, const unsigned char* pattern,
                       size_t size, NightRecord& night, WideString& problem) {
  return NightOfRun(database, false, tracker, start, pattern, size, night, problem);
}

int NightOfSleepingRun(ActivityStore& store, const wchar_t* tracker, unsigned start, NightRecord& night,
                       WideString& problem) {
  NightWork work;
  work.store = &store;
  for (const wchar_t* p = tracker; p && *p; ++p) work.tracker.push_back(static_cast<char>(*p));
  work.start = start;
  work.night = &night;
  problem.Assign(L"");
  int ok = store.ReadPattern(SleepingTable, tracker, start, work.pattern);
  if (ok && !store.WithConnection(OnConnection, &work)) {
    problem.Assign(work.problem.IsEmpty() ? L"the database is not open" : work.problem.CStr());
  }
  BufferClear(work.pattern);
  return ok && work.found;
}
