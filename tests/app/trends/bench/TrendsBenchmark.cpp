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
//   opening the window  from making the main window (two simulated trackers
//                       holding ten years, or one week, in Pellton.sql) to the
//                       stored tab showing the first tracker's figures: the
//                       Trends tab with the summaries current (as every run of
//                       Pellton leaves them) and made the first time, and the
//                       Walking tab (date list and chart); the median and the
//                       fastest of 15 rounds each (5 for the summaries made),
//                       and each round's ten years against its week, after an
//                       opening not counted, each over a file on the disk that
//                       the store closed cleanly before, as Pellton leaves it
//                       (but for the summaries made); then the whole date list
//                       in place, or no Trends read pending (the downloads'
//                       ends read again); with what scales with the history on
//                       the window thread: opening the store (after a clean
//                       close) and listing the tracker's walks
//   window thread       the longest and the median wait of listing a
//                       tracker's walks (ListRunsOf, what a download's end
//                       or a tab change does on the window thread) while
//                       the Trends thread reads "all" on the same store with
//                       the summaries made the first time
//
// Not a test: run it and read the figures.  trends_benchmark [--window | --listing]
#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/trends/TrendTables.h"
#include "app/trends/TrendsPage.h"
#include "app/window/TrendsTabPage.h"
#include "app/window/WalkingPage.h"
#include "core/SettingsStore.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/common/TempFolder.h"

namespace {

const wchar_t* const kTrackers[2] = {L"02:50:4C:54:4E:01", L"02:50:4C:54:4E:02"};
const long long kFirstDay = 1104537600LL;  // 2005-01-01 00:00 UTC
const int kDays = 3650;
// Rounds of each opening: the machine's other work makes single ones vary
// by a third (the summaries made, ten times slower, need fewer).
const int kRounds = 15;
const int kRoundsMaking = 5;

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

int StoreDays(ActivityStore& store, int from, int count, const wchar_t* const* trackers = kTrackers) {
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
  for (int t = 0; t < 2; ++t) {
    const wchar_t* tracker = trackers[t];
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

// Copies of the file for the rounds, on the disk before any window opens
// (a user's file was written long before Pellton starts).
std::vector<std::wstring> Copies(const std::wstring& file, int count) {
  std::vector<std::wstring> copies;
  for (int i = 0; i < count; ++i) {
    copies.push_back(file + L"." + std::to_wstring(i) + L".sql");
    CopyFileW(file.c_str(), copies.back().c_str(), FALSE);
  }
  for (const std::wstring& copy : copies) {
    HANDLE written = CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (written == INVALID_HANDLE_VALUE) continue;
    FlushFileBuffers(written);
    CloseHandle(written);
  }
  return copies;
}

// Seconds from making the main window over the days of history (the last
// ones of the ten years) to the tab stored as "Tab" (1 Walking, 4 Trends)
// showing the first tracker's figures; -1 when it did not get there.
// *later: on the Walking tab, the seconds until its date list holds at
// least walks runs (the newest days come first, the whole list after
// them); on the Trends tab, until no read is pending (the figures read
// again after the downloads' ends).
// The history is a copy made (and put on the disk) beforehand: it is moved
// into the window's folder, not written there just before it opens.
double OpenWindow(const std::wstring& history, int tab, bool closedCleanly, int walks = 0, double* later = nullptr) {
  windowtest::WindowFixture fixture;
  if (!fixture.AddTwoTrackers()) return -1;
  if (!MoveFileExW(history.c_str(), fixture.DatabasePath().c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    return -1;
  fixture.WriteNumber(L"Tab", static_cast<DWORD>(tab));
  MainWindowSetup setup = fixture.Setup();
  setup.today = 20141231;
  SettingsStore settings;  // kept open beyond the store's close
  if (closedCleanly && settings.Open(SettingsRegistry, setup.settingsRoot, setup.settingsKey.CStr())) {
    ActivityStore store;
    store.KeepCheckIn(&settings);
    store.Open(setup.databaseFolder.CStr());
  }
  const double start = Now();
  MainWindow* window = fixture.Open(&setup);
  const bool shown = window && PumpUntil(
                                   [&] {
                                     int tracker = -1;
                                     if (!window->CurrentTracker(&tracker) || tracker < 0) return false;
                                     if (tab == 1) return window->Walking() && !window->Walking()->Document().IsEmpty();
                                     // The first figures shown (a download's end may ask for them again).
                                     TrendsTabPage* trends = window->Trends();
                                     return trends && !trends->Document().IsEmpty();
                                   },
                                   120000);
  const double seconds = Now() - start;
  if (later) {
    const bool done = shown && PumpUntil(
                                   [&] {
                                     if (tab == 1) return window->Walking()->Dates().Count() >= walks;
                                     return !window->Trends()->Working();
                                   },
                                   120000);
    *later = done ? Now() - start : -1;
  }
  fixture.CloseWindow();
  return shown ? seconds : -1;
}

// Seconds to open a copy of the file as the window's store does after its
// clean close, and to list the first tracker's walks (with their labels) as
// the Walking page does.
void OpenAndList(const std::wstring& file, double& open, double& list) {
  const std::wstring copy = file + L".copy.sql";
  CopyFileW(file.c_str(), copy.c_str(), FALSE);
  SettingsStore settings;
  settings.Open(SettingsIni, nullptr, nullptr, (file + L".ini").c_str());
  ActivityStore store;
  store.KeepCheckIn(&settings);
  store.OpenFile(copy.c_str());
  store.Close();
  double start = Now();
  store.OpenFile(copy.c_str());
  open = Now() - start;
  std::vector<StoredRun> runs;
  start = Now();
  store.ListRunsOf(twotrackers::LeftAddress, WalkingTable, runs);
  list = Now() - start;
}

struct AllRead {
  ActivityStore* store;
  double seconds;
  volatile LONG done;
};

DWORD WINAPI ReadAll(void* context) {
  AllRead& read = *static_cast<AllRead*>(context);
  TrendRequest request;
  memcpy(request.tracker, "02:50:4C:54:4E:01", 18);
  request.today = 20141231;
  request.period = PeriodHolding(PeriodAll, 20140615, 0);
  TrendFigures figures;
  WideString problem;
  const double start = Now();
  if (!ReadTrendFigures(*read.store, request, figures, problem)) printf("the read failed: %S\n", problem.CStr());
  read.seconds = Now() - start;
  InterlockedExchange(&read.done, 1);
  return 0;
}

// Listing the walks on this thread while another reads the Trends figures
// of all days from a copy of the file without summaries.
void ListWhileReading(const std::wstring& fresh) {
  const std::wstring copy = fresh + L".listing.sql";
  CopyFileW(fresh.c_str(), copy.c_str(), FALSE);
  ActivityStore store;
  if (!store.OpenFile(copy.c_str())) return;
  std::vector<StoredRun> runs;
  double start = Now();
  store.ListRunsOf(kTrackers[1], WalkingTable, runs);
  const double alone = Now() - start;
  AllRead read = {&store, 0, 0};
  HANDLE thread = CreateThread(nullptr, 0, ReadAll, &read, 0, nullptr);
  std::vector<double> waits;
  while (!InterlockedCompareExchange(&read.done, 0, 0)) {
    start = Now();
    store.ListRunsOf(kTrackers[1], WalkingTable, runs);
    waits.push_back(Now() - start);
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  if (waits.empty()) return;
  printf("listing the walks on the window thread: alone %.1f ms; while the Trends thread read all days (%.3f s, "
         "summaries made) %zu listings, longest %.1f ms, median %.1f ms\n",
         alone * 1000, read.seconds, waits.size(), *std::max_element(waits.begin(), waits.end()) * 1000,
         Median(waits) * 1000);
}

void PrintBoth(const char* what, double tenYears, double week) {
  printf("%-46s ten years %7.1f ms, one week %7.1f ms  (ten years %+.0f %%)\n", what, tenYears * 1000, week * 1000,
         (tenYears / week - 1) * 100);
}

// The median of the rounds; the fastest, what the opening costs when
// nothing else on the machine took its time; and the median of each
// round's ten years against its week, opened one after the other (a
// stretch of the machine being slow falls on both).
void PrintRounds(const char* what, const std::vector<double>& tenYears, const std::vector<double>& week) {
  PrintBoth(what, Median(tenYears), Median(week));
  char fastest[80];
  snprintf(fastest, sizeof fastest, "  the fastest of %zu", tenYears.size());
  PrintBoth(fastest, *std::min_element(tenYears.begin(), tenYears.end()), *std::min_element(week.begin(), week.end()));
  std::vector<double> ratios;
  printf("  the rounds, ten years/one week (ms):");
  for (size_t i = 0; i < tenYears.size() && i < week.size(); ++i) {
    ratios.push_back(tenYears[i] / week[i]);
    printf(" %.0f/%.0f", tenYears[i] * 1000, week[i] * 1000);
  }
  printf("\n");
  printf("  each round's ten years against its week      median %+.0f %% (from %+.0f %% to %+.0f %%)\n",
         (Median(ratios) - 1) * 100, (*std::min_element(ratios.begin(), ratios.end()) - 1) * 100,
         (*std::max_element(ratios.begin(), ratios.end()) - 1) * 100);
}

// The window opened over ten years and over a week, both ways.
void CompareOpening(TempFolder& folder) {
  const wchar_t* const trackers[2] = {twotrackers::LeftAddress, twotrackers::RightAddress};
  const std::wstring fresh = folder.File(L"ten-years-fresh.sql"), tenYears = folder.File(L"ten-years.sql"),
                     week = folder.File(L"week.sql");
  {
    ActivityStore store;
    if (!store.OpenFile(fresh.c_str()) || !StoreDays(store, 0, kDays, trackers)) return;
  }
  {
    ActivityStore store;
    if (!store.OpenFile(week.c_str()) || !StoreDays(store, kDays - 7, 7, trackers)) return;
  }
  CopyFileW(fresh.c_str(), tenYears.c_str(), FALSE);
  // The summaries as a run of Pellton leaves them.
  for (const std::wstring* file : {&tenYears, &week}) {
    sqlite3* db = nullptr;
    sqlite3_open16(file->c_str(), &db);
    WideString problem;
    TrendTables(db).Refresh(problem, nullptr);
    sqlite3_close(db);
  }
  struct Case {
    const char* what;
    const std::wstring* tenYears;
    int tab;
    int rounds;
  };
  for (const Case& c : {Case{"opening the window on Trends (summaries current)", &tenYears, 4, kRounds},
                        Case{"opening the window on Trends (summaries made)", &fresh, 4, kRoundsMaking},
                        Case{"opening the window on Walking", &tenYears, 1, kRounds}}) {
    std::vector<double> ten, seven, tenListed, sevenListed;
    double listed = 0;
    const bool walking = c.tab == 1;
    const std::vector<std::wstring> tenCopies = Copies(*c.tenYears, c.rounds), weekCopies = Copies(week, c.rounds + 1);
    // Each goes first in every other round: the first window of a pair
    // pays for what the one before it left running.
    auto openWeek = [&](int round) {
      seven.push_back(OpenWindow(weekCopies[round], c.tab, c.tenYears != &fresh, 7 * 4, &listed));
      sevenListed.push_back(listed);
    };
    // The first window of the program loads what every later one finds
    // loaded: it is not counted.
    OpenWindow(weekCopies[c.rounds], c.tab, c.tenYears != &fresh);
    for (int round = 0; round < c.rounds; ++round) {
      if (round % 2) openWeek(round);
      ten.push_back(OpenWindow(tenCopies[round], c.tab, c.tenYears != &fresh, kDays * 4, &listed));
      tenListed.push_back(listed);
      if (!(round % 2)) openWeek(round);
    }
    PrintRounds(c.what, ten, seven);
    PrintBoth(walking ? "  and its whole date list in place (median)" : "  and no read pending (median)", Median(tenListed),
              Median(sevenListed));
  }
  double openTen = 0, listTen = 0, openWeek = 0, listWeek = 0;
  OpenAndList(tenYears, openTen, listTen);
  OpenAndList(week, openWeek, listWeek);
  PrintBoth("  of which opening Pellton.sql (closed cleanly)", openTen, openWeek);
  PrintBoth("  and listing the first tracker's walks", listTen, listWeek);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  TempFolder folder(L"trends-benchmark");
  // Only the window's opening.
  if (argc > 1 && wcscmp(argv[1], L"--window") == 0) {
    CompareOpening(folder);
    return 0;
  }
  const std::wstring path = folder.File(L"history.sql");
  {
    ActivityStore store;
    if (!store.OpenFile(path.c_str()) || !StoreDays(store, 0, kDays)) {
      printf("the history could not be stored in %S\n", path.c_str());
      return 1;
    }
  }
  ListWhileReading(path);
  if (argc > 1 && wcscmp(argv[1], L"--listing") == 0) return 0;
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
  CompareOpening(folder);
  return 0;
}
