// The Trends figures of a hand-made history (TrendsHistory.h) in a real
// Pellton.sql, checked against figures worked out by hand; the summary
// tables following the runs; dated goals; locale numbers; a run's figures.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "app/data/DatabaseMerge.h"
#include "app/trends/RunFigures.h"
#include "app/trends/TrendFigures.h"
#include "app/trends/TrendTables.h"
#include "app/trends/ZoneRules.h"
#include "core/LocaleNumbers.h"
#include "tests/app/trends/TrendsHistory.h"
#include "tests/common/TempFolder.h"

using namespace trendstest;

namespace {

TrendRequest Request(TrendPeriodKind kind, int date, int today, int firstWeekday = 0) {
  TrendRequest request;
  memcpy(request.tracker, "02:50:4C:54:4E:01", 18);
  request.period = PeriodHolding(kind, date, firstWeekday);
  request.today = today;
  request.firstWeekday = firstWeekday;
  WideString problem;
  request.goals.Parse(Goals, problem);
  return request;
}

std::string Utf8(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

// A night as "night bedtime-wake asleep/awake", local times YYYYMMDD HH:MM.
std::string Night(const NightRecord& n) {
  char text[80];
  snprintf(text, sizeof text, "%d %d %02d:%02d-%d %02d:%02d %llu/%llu", n.night, n.bedtime.DateKey(), n.bedtime.hour,
           n.bedtime.minute, n.wake.DateKey(), n.wake.hour, n.wake.minute, n.asleepMinutes, n.awakeMinutes);
  return text;
}

// Days and nights as text, to compare the summary tables with the exports.
struct Collected : DayTotalsSink, NightSink {
  std::string text;
  int Day(const DayTotals& d) override {
    text += std::to_string(d.date) + ":" + std::to_string(d.steps) + "/" + std::to_string(d.metres) + " ";
    return 1;
  }
  int Night(const NightRecord& n) override {
    text += ::Night(n) + " ";
    return 1;
  }
};

// Tracker A's summaries, brought up to date, against the computation of the
// `days` and `nights` exports.
void ExpectAsExports(sqlite3* db, bool refresh = true) {
  TrendTables tables(db);
  WideString problem;
  std::vector<DayTotals> days;
  std::vector<NightRecord> nights;
  if (refresh) {
    ASSERT_EQ(1, tables.Refresh(problem)) << Utf8(problem.CStr());
  }
  ASSERT_EQ(1, tables.ReadDays("02:50:4C:54:4E:01", DateRange(), days, problem));
  ASSERT_EQ(1, tables.ReadNights("02:50:4C:54:4E:01", DateRange(), nights, problem));
  Collected summed, exported;
  for (const DayTotals& day : days) summed.Day(day);
  for (const NightRecord& night : nights) summed.Night(night);
  UnitReadTally tally;
  ASSERT_EQ(UnitsRead, ReadDailyTotals(db, "02:50:4C:54:4E:01", DateRange(), exported, nullptr, tally));
  ASSERT_EQ(UnitsRead, ReadNights(db, "02:50:4C:54:4E:01", DateRange(), exported, nullptr, tally));
  EXPECT_EQ(exported.text, summed.text);
}

class TrendsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(1, StoreHistory(folder.File(L"history.sql").c_str()));
    ASSERT_EQ(SQLITE_OK, sqlite3_open16(folder.File(L"history.sql").c_str(), &db));
  }
  void TearDown() override { sqlite3_close(db); }
  TrendFigures Figures(const TrendRequest& request) {
    TrendFigures figures;
    WideString problem;
    EXPECT_EQ(1, ReadTrendFigures(db, request, figures, problem)) << Utf8(problem.CStr());
    return figures;
  }
  TempFolder folder{L"trends"};
  sqlite3* db = nullptr;
};

}  // namespace

TEST_F(TrendsTest, AMonthOfAHandMadeHistoryGivesItsFiguresExactly) {
  TrendFigures march = Figures(Request(PeriodMonth, 20140315, 20140404));
  ASSERT_EQ(31u, march.days.size());
  const TrendDay& first = march.days[17];  // 03-18: alone in its 7 days
  EXPECT_EQ(20140318, first.date);
  EXPECT_EQ(9000u, first.steps);
  EXPECT_FALSE(first.reached);
  EXPECT_EQ(9000u, first.average);
  EXPECT_EQ(10200u, march.days[21].steps);  // the walk over midnight: 2,000 on 03-22, 4,000 on 03-23
  EXPECT_EQ(10500u, march.days[22].steps);
  // 03-24 keeps its goal of 10,000 after the change to 12,000 from 03-25.
  EXPECT_EQ(10000u, march.days[23].goal);
  EXPECT_TRUE(march.days[23].reached);
  EXPECT_EQ(10314u, march.days[23].average);  // 72,200 / 7
  EXPECT_EQ(12000u, march.days[24].goal);
  EXPECT_EQ(12000u, march.days[29].steps);  // over the change to summer time
  EXPECT_TRUE(march.days[29].reached);
  EXPECT_FALSE(march.days[30].hasData);
  EXPECT_EQ(12767u, march.days[30].average);  // 76,600 / 6
  EXPECT_EQ(13u, march.daysWithData);
  EXPECT_EQ(148800u, march.totalSteps);
  EXPECT_EQ(11446u, march.averageSteps);
  EXPECT_EQ(148800u, march.totalMetres);
  EXPECT_EQ(20140327, march.bestDay);  // tracker B's 50,000 are its own
  EXPECT_EQ(15000u, march.bestSteps);
  EXPECT_EQ(12u, march.goalDays);
  EXPECT_EQ(12u, march.bestStreak);
  EXPECT_EQ(3u, march.currentStreak);  // 04-01 to 04-03; today's 5,000 do not end it
  ASSERT_EQ(3u, march.nights.size());
  EXPECT_EQ("20140320 20140320 23:30-20140321 06:30 420/0", Night(march.nights[0]));
  EXPECT_EQ("20140321 20140322 00:30-20140322 07:50 420/20", Night(march.nights[1]));
  EXPECT_EQ("20140329 20140329 23:00-20140330 03:02 11/4", Night(march.nights[2]));  // two runs
  EXPECT_EQ(284u, march.averageAsleep);        // 851 / 3
  EXPECT_EQ(23 * 60 + 40, march.averageBedtime);  // 23:30, 00:30, 23:00
  EXPECT_EQ(5 * 60 + 47, march.averageWake);      // 06:30, 07:50, 03:02
  ASSERT_EQ(1u, march.calendar.size());
  EXPECT_EQ(5, march.calendar[0].blanks);  // 03-01 is a Saturday
  EXPECT_EQ(15000u, march.calendar[0].days[26].steps);
  EXPECT_EQ(125u, march.calendar[0].days[26].percent);
  EXPECT_EQ(110u, march.calendar[0].days[23].percent);
  EXPECT_FALSE(march.calendar[0].days[30].hasData);
}

TEST_F(TrendsTest, PeriodsMoveAndStreaksCountUpToToday) {
  TrendFigures week = Figures(Request(PeriodWeek, 20140321, 20140404));
  EXPECT_EQ(20140317, week.period.first);
  EXPECT_EQ(20140323, week.period.last);
  EXPECT_EQ(0, week.averageBedtime);  // 23:30 and 00:30
  EXPECT_EQ(7 * 60 + 10, week.averageWake);
  EXPECT_EQ(5u, week.bestStreak);
  // The streak from 03-19 reaches into the next week: counted whole, as
  // the current streak counts it.
  TrendFigures next = Figures(Request(PeriodWeek, 20140324, 20140331));
  EXPECT_EQ(12u, next.bestStreak);
  EXPECT_EQ(12u, next.currentStreak);
  EXPECT_EQ(20140316, PeriodHolding(PeriodWeek, 20140321, 6).first);  // weeks from Sunday
  EXPECT_EQ(20140324, MovePeriod(week.period, 1, 0).first);
  TrendPeriod february = MovePeriod(PeriodHolding(PeriodMonth, 20140315, 0), -1, 0);
  EXPECT_EQ(20140201, february.first);
  EXPECT_EQ(20140228, february.last);
  EXPECT_EQ(20160229, PeriodHolding(PeriodMonth, 20160210, 0).last);
  EXPECT_EQ(20151231, MovePeriod(PeriodHolding(PeriodYear, 20140315, 0), 1, 0).last);
  TrendFigures all = Figures(Request(PeriodAll, 20140404, 20140404));
  EXPECT_EQ(20140318, all.period.first);
  EXPECT_EQ(20140404, all.period.last);
  EXPECT_EQ(17u, all.daysWithData);
  EXPECT_EQ(MovePeriod(all.period, -1, 0).first, all.period.first);
  const int todays[] = {20140330, 20140331, 20140401, 20140403, 20140405};
  const unsigned streaks[] = {12, 12, 1, 3, 0};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(streaks[i], Figures(Request(PeriodMonth, 20140315, todays[i])).currentStreak) << todays[i];
  }
}

TEST_F(TrendsTest, SummariesFollowTheRunsAndRecomputeOnlyTheDaysTheyTouch) {
  TrendTables tables(db);
  TrendRefreshTally tally;
  WideString problem;
  ASSERT_EQ(1, tables.Refresh(problem, &tally));
  EXPECT_TRUE(tally.rebuilt);
  EXPECT_EQ(23u, tally.runsNew);
  // The zone's rules are taken from the year before the first run on.
  std::string from;
  sqlite3_exec(db, "SELECT value FROM trends_state WHERE name = 'zone from';",
               [](void* out, int, char** values, char**) { return *static_cast<std::string*>(out) = values[0], 0; },
               &from, nullptr);
  EXPECT_EQ("2013", from);
  EXPECT_EQ(18u, tally.daysRecomputed);  // 17 of A, 1 of B
  EXPECT_EQ(3u, tally.nightsRecomputed);
  ASSERT_EQ(1, tables.Refresh(problem, &tally));
  EXPECT_FALSE(tally.rebuilt);
  EXPECT_EQ(0u, tally.runsNew + tally.daysRecomputed + tally.nightsRecomputed);
  // Today's walk stored again, longer, as any Pellton replaces a run.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "INSERT OR REPLACE INTO walking (mac, start, pattern) VALUES "
                                        "('02:50:4C:54:4E:01', 1396598400, x'09C4007D00FA09C4007D00FA1F4001900320');",
                                    nullptr, nullptr, nullptr));
  ASSERT_EQ(1, tables.Refresh(problem, &tally));
  EXPECT_EQ(1u, tally.runsNew);
  EXPECT_EQ(1u, tally.runsGone);
  EXPECT_EQ(2u, tally.daysRecomputed);  // 04-04 and the days either side that have data
  EXPECT_EQ(0u, tally.nightsRecomputed);
  // 04-03's walk replaced by a merge of a file holding it longer.
  TempFolder other(L"trends-other");
  {
    ActivityStore theirs;
    ASSERT_EQ(1, theirs.OpenFile(other.File(L"other.sql").c_str()));
    ASSERT_EQ(1, Store(theirs, WalkingTable, A, Utc(2014, 4, 3, 8, 0), {6010, 6010, 1000}));
  }
  ConnectionSource ours(db);
  MergeTally merged;
  ASSERT_EQ(1, MergeRuns(ours, other.File(L"other.sql").c_str(), nullptr, merged, problem)) << Utf8(problem.CStr());
  ASSERT_EQ(1, tables.Refresh(problem, &tally));
  EXPECT_EQ(3u, tally.daysRecomputed);  // 04-02 to 04-04
  std::vector<DayTotals> days;
  DateRange april;
  april.from = 20140403;
  ASSERT_EQ(1, tables.ReadDays("02:50:4C:54:4E:01", april, days, problem));
  ASSERT_EQ(2u, days.size());
  EXPECT_EQ(13020u, days[0].steps);
  EXPECT_EQ(13000u, days[1].steps);
  // A read failing part way is a failure rather than fewer days.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "ALTER TABLE trends_days RENAME TO kept; CREATE VIEW trends_days AS SELECT "
                                        "mac, date, abs(steps - 13020 - 9223372036854775807 - 1) AS steps, calories, "
                                        "metres FROM kept;", nullptr, nullptr, nullptr));
  EXPECT_EQ(0, tables.ReadDays("02:50:4C:54:4E:01", april, days, problem));
  EXPECT_EQ("the daily totals could not be read (integer overflow)", Utf8(problem.CStr()));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "DROP VIEW trends_days; ALTER TABLE kept RENAME TO trends_days;", nullptr,
                                    nullptr, nullptr));
  // Dropped summaries are made again, the same.
  TrendFigures before = Figures(Request(PeriodAll, 20140404, 20140404));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "DROP TABLE trends_days;", nullptr, nullptr, nullptr));
  ASSERT_EQ(1, tables.Refresh(problem, &tally));
  EXPECT_TRUE(tally.rebuilt);
  TrendFigures after = Figures(Request(PeriodAll, 20140404, 20140404));
  EXPECT_EQ(before.totalSteps, after.totalSteps);
  EXPECT_EQ(200320u, after.totalSteps);  // 148,800 in March, 12,000 + 13,500 + 13,020 + 13,000 in April
  // A connection that cannot write reads the file's own while they are up
  // to date, else keeps them in its temporary schema, begun from the file's.
  sqlite3* reader = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(Utf8(folder.File(L"history.sql")).c_str(), &reader, SQLITE_OPEN_READONLY,
                                       nullptr));
  TrendTables readOnly(reader);
  EXPECT_EQ(1, readOnly.Refresh(problem, &tally)) << Utf8(problem.CStr());
  EXPECT_STREQ("main", readOnly.Schema());
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "INSERT INTO walking (mac, start, pattern) VALUES ('02:50:4C:54:4E:01', "
                                        "1396684800, x'03E800320064');", nullptr, nullptr, nullptr));
  EXPECT_EQ(1, readOnly.Refresh(problem, &tally)) << Utf8(problem.CStr());
  EXPECT_STREQ("temp", readOnly.Schema());
  EXPECT_FALSE(tally.rebuilt);
  EXPECT_EQ(2u, tally.daysRecomputed);  // 04-04 and 04-05
  TrendFigures read;
  EXPECT_EQ(1, ReadTrendFigures(reader, Request(PeriodAll, 20140405, 20140405), read, problem));
  EXPECT_EQ(201320u, read.totalSteps);
  sqlite3_close(reader);
  // Made again a few runs a step, with the first run stored again and
  // 04-04's walk made 1,000 steps between steps: the same as the runs.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "DROP TABLE trends_days;", nullptr, nullptr, nullptr));
  bool done = false;
  int steps = 0;
  for (; !done && steps < 20; ++steps) {
    ASSERT_EQ(1, tables.RefreshSome(problem, done, 4)) << Utf8(problem.CStr());
    if (steps == 1) {
      ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "INSERT OR REPLACE INTO walking (mac, start, pattern) SELECT mac, start, "
                                            "pattern FROM walking ORDER BY rowid LIMIT 1; INSERT OR REPLACE INTO "
                                            "walking (mac, start, pattern) VALUES ('02:50:4C:54:4E:01', 1396598400, "
                                            "x'03E800320064');", nullptr, nullptr, nullptr));
    }
  }
  EXPECT_GT(steps, 3);
  EXPECT_EQ(189320u, Figures(Request(PeriodAll, 20140405, 20140405)).totalSteps);
}

TEST_F(TrendsTest, SummariesAgreeWithTheExportsWhateverChangedTheFile) {
  ExpectAsExports(db);
  // An older Pellton's merge: the patterns of 04-03's walk and the 03-29
  // night made longer in place.
  sqlite3* older = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open16(folder.File(L"history.sql").c_str(), &older));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(older, "UPDATE walking SET pattern = unhex(hex(pattern) || '0BB80096012C') WHERE "
                                        "start = 1396512000; UPDATE sleeping SET pattern = unhex(hex(pattern) || "
                                        "'5555') WHERE start = 1396140720;", nullptr, nullptr, nullptr));
  sqlite3_close(older);
  ExpectAsExports(db);
  // A quarter hour from 23:50 on 03-22 hides the 00:00 one of the walk over
  // midnight: 03-23 changes.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "INSERT INTO walking (mac, start, pattern) VALUES ('02:50:4C:54:4E:01', "
                                        "1395528600, x'01F400190032');", nullptr, nullptr, nullptr));
  ExpectAsExports(db);
  // A newer Pellton's layout and version, then a trigger refusing writes.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "DROP TABLE trends_days; CREATE TABLE trends_days (mac TEXT, kind INTEGER NOT "
                                        "NULL, date INTEGER, steps INTEGER, calories INTEGER, metres INTEGER); "
                                        "UPDATE trends_state SET value = '9' WHERE name = 'version';",
                                    nullptr, nullptr, nullptr));
  ExpectAsExports(db);
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TRIGGER refuse BEFORE INSERT ON trends_nights BEGIN SELECT "
                                        "RAISE(ABORT, 'refused'); END; INSERT INTO sleeping (mac, start, pattern) "
                                        "VALUES ('02:50:4C:54:4E:01', 1396475000, x'AA5555');",
                                    nullptr, nullptr, nullptr));
  ExpectAsExports(db);
}

TEST_F(TrendsTest, AStoreThatStoresNothingHasItsFileLeftUnwritten) {
  // Its sleeping table cannot get its run key, the name being taken.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "DROP TABLE sleeping; CREATE INDEX sleeping_start ON walking (start);",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  db = nullptr;
  ActivityStore store;
  EXPECT_EQ(0, store.OpenFile(folder.File(L"history.sql").c_str()));
  ASSERT_TRUE(store.IsReadOnly());
  TrendFigures figures;
  WideString problem;
  ASSERT_EQ(1, ReadTrendFigures(store, Request(PeriodMonth, 20140315, 20140404), figures, problem))
      << Utf8(problem.CStr());
  EXPECT_EQ(148800u, figures.totalSteps);
  store.Close();
  ASSERT_EQ(SQLITE_OK, sqlite3_open16(folder.File(L"history.sql").c_str(), &db));
  EXPECT_EQ(0, sqlite3_exec(db, "SELECT 1 FROM sqlite_master WHERE name LIKE 'trends%';",
                            [](void*, int, char**, char**) { return 1; }, nullptr, nullptr));
}

TEST(GoalListTest, GoalsKeepTheirDatesAndBadTextIsRefused) {
  GoalList goals;
  WideString problem, text;
  ASSERT_EQ(1, goals.Parse(L" 2014-03-25:12000, 2014-06-01:9000", problem));
  EXPECT_EQ(10000u, goals.GoalOf(20140324));
  EXPECT_EQ(12000u, goals.GoalOf(20140531));
  EXPECT_EQ(9000u, goals.GoalOf(20200101));
  ASSERT_EQ(1, goals.Format(text));
  EXPECT_STREQ(L"2014-03-25:12000,2014-06-01:9000", text.CStr());
  const wchar_t* const bad[] = {L"2014-02-30:12000", L"2014-03-25:50", L"2014-03-25:12000,", L"goal 12000",
                                L"2014-03-25:12000,2014-03-01:9000", L"2014-03-25:1200000"};
  for (const wchar_t* wrong : bad) {
    EXPECT_EQ(0, goals.Parse(wrong, problem)) << Utf8(wrong);
    EXPECT_EQ(9000u, goals.GoalOf(20200101)) << "the list stays as it was";
  }
  EXPECT_EQ(0, goals.Parse(bad[4], problem));
  EXPECT_STREQ(L"the goal change 2 is not after the one before it (goals are YYYY-MM-DD:steps in date order, steps "
               L"100 to 200000, at most 100)",
               problem.CStr());
  // A change holds from its day on; the same day's change replaces it.
  ASSERT_EQ(1, goals.Parse(L"2014-03-25:12000", problem));
  EXPECT_EQ(1, goals.Set(20140401, 8000));
  EXPECT_EQ(1, goals.Set(20140401, 9000));
  EXPECT_EQ(12000u, goals.GoalOf(20140331));
  EXPECT_EQ(9000u, goals.GoalOf(20140401));
  EXPECT_EQ(1, goals.Set(20140401, 12000));  // back to the goal it had: no change kept
  EXPECT_EQ(1u, goals.Changes().size());
  EXPECT_EQ(0, goals.Set(20140402, 0));
  // Past days keep their goal: the change beyond the most kept is refused.
  for (int i = 0; i < 99; ++i) ASSERT_EQ(1, goals.Set(AddDays(20150101, i), 5000 + (i % 2) * 1000));
  EXPECT_EQ(0, goals.Set(20160101, 7000, problem));
  EXPECT_STREQ(L"the goal has been changed 100 times, as often as is kept: the goals of past days stay as they are",
               problem.CStr());
  EXPECT_EQ(1, goals.Set(20160101, 5000));  // the goal it has: no change
  EXPECT_EQ(1, goals.Set(AddDays(20150101, 98), 7000));  // the last change replaced
  EXPECT_EQ(GoalList::MaxChanges, goals.Changes().size());
  EXPECT_EQ(12000u, goals.GoalOf(20140401));
}

TEST(LocaleNumbersTest, NumbersDistancesAndDurationsFollowTheLocale) {
  LocaleNumbers german(L"de-DE"), american(L"en-US");
  WideString text;
  german.Integer(1234567, text);
  EXPECT_STREQ(L"1.234.567", text.CStr());
  american.Integer(1234567, text);
  EXPECT_STREQ(L"1,234,567", text.CStr());
  german.Decimal(1234.56, 1, text);
  EXPECT_STREQ(L"1.234,6", text.CStr());
  german.Distance(148800, DistanceFromLocale, text);
  EXPECT_STREQ(L"148,8 km", text.CStr());
  american.Distance(148800, DistanceFromLocale, text);  // the U.S. system: miles
  EXPECT_STREQ(L"92.5 mi", text.CStr());
  american.Distance(148800, DistanceKilometres, text);
  EXPECT_STREQ(L"148.8 km", text.CStr());
  LocaleNumbers::Duration(284, text);
  EXPECT_STREQ(L"4 h 44 min", text.CStr());
  LocaleNumbers::Duration(45, text);
  EXPECT_STREQ(L"45 min", text.CStr());
}

TEST_F(TrendsTest, AChosenRunHasItsOwnFiguresAndItsWholeNight) {
  const unsigned char walk[] = {0x03, 0xE8, 0, 50, 0, 100, 0x07, 0xD0, 0, 100, 0, 200, 0xFF};
  WalkingRunFigures figures = FiguresOfWalkingRun(walk, sizeof walk);
  EXPECT_EQ(3000u, figures.steps);
  EXPECT_EQ(150u, figures.calories);
  EXPECT_EQ(3000u, figures.metres);
  EXPECT_EQ(30u, figures.minutes);
  sqlite3_close(db);
  db = nullptr;
  ActivityStore store;
  ASSERT_EQ(1, store.OpenFile(folder.File(L"history.sql").c_str()));
  NightRecord night;
  WideString problem;
  ASSERT_EQ(1, NightOfSleepingRun(store, A, 1396140720, night, problem)) << Utf8(problem.CStr());
  EXPECT_EQ("20140329 20140329 23:00-20140330 03:02 11/4", Night(night));  // as the nights export says
  EXPECT_EQ(0, NightOfSleepingRun(store, A, 1396140721, night, problem));
  EXPECT_STREQ(L"", problem.CStr());
}

// The store's reads leave the pass for runs changed in place out of the
// first figures and make it after them: a run that another program changed
// in place (while the store was closed: it locks the file) changes the
// figures in that check, which is then owed no more; a check stopped goes
// on in the next; a pass in short steps finds the change too.
TEST_F(TrendsTest, ARunChangedInPlaceByAnotherProgramChangesTheFiguresInTheCheckThatFollows) {
  const TrendRequest april = Request(PeriodMonth, 20140404, 20140404);
  const unsigned long long before = Figures(april).totalSteps;
  ActivityStore store;
  TrendFigures figures;
  WideString problem;
  bool checkLeft = false, changed = true;
  unsigned long long changes = 0;
  // 04-03's walk three thousand steps longer, then as it was.
  const char* const updates[2] = {"UPDATE walking SET pattern = unhex(hex(pattern) || '0BB80096012C') WHERE start = "
                                  "1396512000;",
                                  "UPDATE walking SET pattern = substr(pattern, 1, length(pattern) - 6) WHERE start = "
                                  "1396512000;"};
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, updates[round], nullptr, nullptr, nullptr));
    sqlite3_close(db);
    db = nullptr;
    ASSERT_EQ(1, store.OpenFile(folder.File(L"history.sql").c_str()));
    ASSERT_EQ(1, ReadTrendFigures(store, april, figures, problem, &checkLeft, &changes)) << Utf8(problem.CStr());
    EXPECT_TRUE(checkLeft);
    EXPECT_EQ(round ? before + 3000 : before, figures.totalSteps) << "the first figures come without the check";
    if (round) {
      ASSERT_EQ(1, CheckTrendFigures(store, april, figures, changed, problem, [](void*) { return false; }, nullptr));
      EXPECT_FALSE(changed);
    }
    if (!round) {
      // Another caller on the store's connection (a night's summary) makes the check first.
      ASSERT_EQ(1, store.WithConnection(
                       [](Database& database, void*) {
                         WideString said;
                         return TrendTables(database.Handle()).Refresh(said);
                       },
                       nullptr));
    }
    ASSERT_EQ(1, CheckTrendFigures(store, april, figures, changed, problem, nullptr, nullptr, changes))
        << Utf8(problem.CStr());
    EXPECT_TRUE(changed);
    EXPECT_EQ(round ? before : before + 3000, figures.totalSteps);
    ASSERT_EQ(1, ReadTrendFigures(store, april, figures, problem, &checkLeft));
    EXPECT_FALSE(checkLeft) << "nothing but the store wrote since the check";
    store.Close();
    ASSERT_EQ(SQLITE_OK, sqlite3_open16(folder.File(L"history.sql").c_str(), &db));
  }
  // A pass of a few rows a step on a connection of its own.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "UPDATE sleeping SET pattern = unhex(hex(pattern) || '5555') WHERE start = "
                                        "1396140720;", nullptr, nullptr, nullptr));
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open16(folder.File(L"history.sql").c_str(), &other));
  TrendTables tables(other);
  bool done = false;
  int steps = 0;
  for (; !done && steps < 20; ++steps) ASSERT_EQ(1, tables.RefreshSome(problem, done, 1)) << Utf8(problem.CStr());
  EXPECT_GT(steps, 2);
  ExpectAsExports(other);
  sqlite3_close(other);
}

// The store's first figures also leave out the count of the runs (a run
// removed by another program) and the rules of the zone's years: both come
// in the check. A zone of another name is taken at once.
TEST_F(TrendsTest, ARunRemovedAndTheYearsRulesChangedShowInTheCheckAndAnotherZoneAtOnce) {
  const TrendRequest april = Request(PeriodMonth, 20140404, 20140404);
  const unsigned long long before = Figures(april).totalSteps;
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "DELETE FROM walking WHERE start = 1396512000; UPDATE trends_state SET value = "
                                        "substr(value, 1, length(value) - 16) || '0123456789abcdef' WHERE name = 'zone';",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  db = nullptr;
  ActivityStore store;
  ASSERT_EQ(1, store.OpenFile(folder.File(L"history.sql").c_str()));
  TrendFigures figures;
  WideString problem, zone;
  bool checkLeft = false, changed = false;
  unsigned long long changes = 0;
  ASSERT_EQ(1, ReadTrendFigures(store, april, figures, problem, &checkLeft, &changes)) << Utf8(problem.CStr());
  EXPECT_TRUE(checkLeft);
  EXPECT_EQ(before, figures.totalSteps) << "nothing made again before the first figures";
  ASSERT_EQ(1, store.QueryText(L"SELECT value FROM trends_state WHERE name = 'zone';", zone));
  EXPECT_NE(nullptr, wcsstr(zone.CStr(), L"0123456789abcdef"));
  ASSERT_EQ(1, CheckTrendFigures(store, april, figures, changed, problem, nullptr, nullptr, changes));
  EXPECT_TRUE(changed);
  const unsigned long long checked = figures.totalSteps;
  EXPECT_LT(checked, before);
  ASSERT_EQ(1, store.QueryText(L"SELECT value FROM trends_state WHERE name = 'zone';", zone));
  EXPECT_EQ(nullptr, wcsstr(zone.CStr(), L"0123456789abcdef")) << "the years' rules compared and noted again";
  // Another zone's name: the summaries are made again before the figures.
  store.Close();
  ASSERT_EQ(SQLITE_OK, sqlite3_open16(folder.File(L"history.sql").c_str(), &db));
  EXPECT_EQ(checked, Figures(april).totalSteps);
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "UPDATE trends_state SET value = 'Elsewhere' || value WHERE name = 'zone'; "
                                        "UPDATE trends_days SET steps = steps + 1;",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  db = nullptr;
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(1, store.OpenFile(folder.File(L"history.sql").c_str()));
    ASSERT_EQ(1, ReadTrendFigures(store, april, figures, problem, &checkLeft, &changes)) << Utf8(problem.CStr());
    EXPECT_EQ(checked, figures.totalSteps) << "round " << round;
    store.Close();
    ASSERT_EQ(SQLITE_OK, sqlite3_open16(folder.File(L"history.sql").c_str(), &db));
    if (round) break;
    // Rules of the years noted (up to 2020) changed by an update of Windows
    // are found as the years grow (the first opening of a new year), not
    // taken over: the summaries are made again.
    std::string noted = ZoneRulesText(2013, 2020, true);
    noted.replace(noted.size() - 16, 16, "0123456789abcdef");
    const std::string sql = "UPDATE trends_state SET value = '2020' WHERE name = 'zone to'; UPDATE trends_state SET "
                            "value = '" + noted + "' WHERE name = 'zone'; UPDATE trends_days SET steps = steps + 1;";
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr));
    sqlite3_close(db);
    db = nullptr;
  }
}

// Runs a download replaced are found also when their new rows are noted
// over several turns of a refresh.
TEST_F(TrendsTest, RunsReplacedByRowsNotedOverSeveralTurnsAreAllFound) {
  TrendTables tables(db);
  WideString problem;
  ASSERT_EQ(1, tables.Refresh(problem));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "INSERT OR REPLACE INTO walking (mac, start, pattern) VALUES "
                                        "('02:50:4C:54:4E:01', 1396512000, x'09C4007D00FA'), "
                                        "('02:50:4C:54:4E:01', 1396598400, x'09C4007D00FA');",
                                    nullptr, nullptr, nullptr));
  bool done = false;
  unsigned long long gone = 0;
  for (int turns = 0; !done && turns < 10; ++turns) {
    TrendRefreshTally tally;
    ASSERT_EQ(1, tables.RefreshSome(problem, done, 1, &tally, true)) << Utf8(problem.CStr());
    gone += tally.runsGone;
  }
  EXPECT_EQ(2u, gone);
  int left = -1;
  sqlite3_exec(db, "SELECT count(*) FROM trends_state WHERE name LIKE '% new from';",
               [](void* out, int, char** values, char**) { return *static_cast<int*>(out) = atoi(values[0]), 0; }, &left,
               nullptr);
  EXPECT_EQ(0, left) << "nothing left to look through once done";
  ExpectAsExports(db, false);
}
