// The cost of the Trends figures and page for ten years of history of two
// trackers (4 walks and a night a day), beside the raw read of every run of
// the tracker measured in the same run ("SELECT pattern" over its walking
// and sleeping rows):
//
//   all days, a year    figures and page from up-to-date summary tables (what
//                       the window does after the first time), median of 7
//   after a download    the summaries brought up to date for one new day
//   first time          the summaries made from all the runs
//   read-only           the same through a read-only connection (the
//                       --trends-page command), from the file's summaries
//
// Not a test: run it and read the figures.  trends_benchmark
#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/trends/TrendTables.h"
#include "app/trends/TrendsPage.h"
#include "tests/common/TempFolder.h"

namespace {

const wchar_t* const kTrackers[2] = {L"02:50:4C:54:4E:01", L"02:50:4C:54:4E:02"};
const long long kFirstDay = 1104537600LL;  // 2005-01-01 00:00 UTC
const int kDays = 3650;

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

int StoreDays(ActivityStore& store, int from, int count) {
  ByteBuffer walk, night;
  for (int i = 0; i < 24; ++i) {
    unsigned char record[6] = {0, static_cast<unsigned char>(10 + i), 0, 3, 0, static_cast<unsigned char>(i % 7)};
    BufferAppend(walk, record, 6);
  }
  for (int i = 0; i < 120; ++i) {
    unsigned char levels = static_cast<unsigned char>(i % 5 == 0 ? 0x54 : 0x55);
    BufferAppend(night, &levels, 1);
  }
  int ok = 1;
  for (const wchar_t* tracker : kTrackers) {
    store.BeginRuns();
    for (int day = from; day < from + count && ok; ++day) {
      long long midnight = kFirstDay + day * 86400LL;
      for (int walkIndex = 0; walkIndex < 4; ++walkIndex) {
        ok &= store.InsertRun(WalkingTable, tracker, static_cast<unsigned>(midnight + walkIndex * 21600), walk);
      }
      ok &= store.InsertRun(SleepingTable, tracker, static_cast<unsigned>(midnight + 22 * 3600), night);
    }
    store.EndRuns();
  }
  BufferClear(walk);
  BufferClear(night);
  return ok;
}

double RawSelect(sqlite3* db) {
  double start = Now();
  for (const char* sql : {"SELECT pattern FROM walking WHERE mac = ?1;", "SELECT pattern FROM sleeping WHERE mac = ?1;"}) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, "02:50:4C:54:4E:01", -1, SQLITE_STATIC);
    while (sqlite3_step(statement) == SQLITE_ROW) sqlite3_column_blob(statement, 0);
    sqlite3_finalize(statement);
  }
  return Now() - start;
}

// Seconds for the figures and the page; 0 when they failed.
double Build(sqlite3* db, TrendPeriodKind kind, size_t* pageLength = nullptr) {
  TrendRequest request;
  memcpy(request.tracker, "02:50:4C:54:4E:01", 18);
  request.today = 20141231;
  request.period = PeriodHolding(kind, 20140615, 0);
  TrendFigures figures;
  WideString problem, page;
  double start = Now();
  if (!ReadTrendFigures(db, request, figures, problem) || !BuildTrendsPage(figures, LocaleNumbers(), DistanceFromLocale, page)) {
    printf("the Trends page failed: %S\n", problem.CStr());
    return 0;
  }
  if (pageLength) *pageLength = page.Length();
  return Now() - start;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int, wchar_t**) {
  TempFolder folder(L"trends-benchmark");
  const std::wstring path = folder.File(L"history.sql");
  {
    ActivityStore store;
    if (!store.OpenFile(path.c_str()) || !StoreDays(store, 0, kDays)) {
      printf("the history could not be stored in %S\n", path.c_str());
      return 1;
    }
  }
  sqlite3* db = nullptr;
  sqlite3_open16(path.c_str(), &db);
  TrendTables tables(db);
  TrendRefreshTally tally;
  WideString problem;
  double start = Now();
  tables.Refresh(problem, &tally);
  printf("ten years of two trackers; the summaries made the first time: %.3f s (%llu days, %llu nights)\n",
         Now() - start, tally.daysRecomputed, tally.nightsRecomputed);

  std::vector<double> raw, all, year;
  size_t allLength = 0, yearLength = 0;
  for (int round = 0; round < 7; ++round) {
    raw.push_back(RawSelect(db));
    all.push_back(Build(db, PeriodAll, &allLength));
    year.push_back(Build(db, PeriodYear, &yearLength));
  }
  const double baseline = Median(raw);
  printf("raw SELECT pattern over the tracker's %d runs            %7.1f ms\n", kDays * 5, baseline * 1000);
  printf("Trends figures and page, all days  (%6zu KB page)       %7.1f ms  (%.2fx the raw read)\n",
         allLength * 2 / 1024, Median(all) * 1000, Median(all) / baseline);
  printf("Trends figures and page, a year    (%6zu KB page)       %7.1f ms  (%.2fx the raw read)\n",
         yearLength * 2 / 1024, Median(year) * 1000, Median(year) / baseline);

  sqlite3_close(db);
  {
    ActivityStore store;
    store.OpenFile(path.c_str());
    StoreDays(store, kDays, 1);
  }
  sqlite3_open16(path.c_str(), &db);
  TrendTables after(db);
  start = Now();
  after.Refresh(problem, &tally);
  printf("after a download of one more day: brought up to date in %.1f ms (%llu runs, %llu days, %llu nights)\n",
         (Now() - start) * 1000, tally.runsNew, tally.daysRecomputed, tally.nightsRecomputed);
  sqlite3_close(db);

  char utf8[4 * MAX_PATH];
  WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  sqlite3_open_v2(utf8, &db, SQLITE_OPEN_READONLY, nullptr);
  printf("read-only connection (the --trends-page command), a year: %.1f ms\n", Build(db, PeriodYear) * 1000);
  sqlite3_close(db);
  return 0;
}
