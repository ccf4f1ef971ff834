#include "app/trends/TrendFigures.h"

#include <algorithm>
#include <cstring>

#include <windows.h>

#include "app/store/ActivityStore.h"
#include "app/trends/TrendTables.h"

namespace {

unsigned long long Rounded(unsigned long long sum, unsigned long long count) {
  return count ? (2 * sum + count) / (2 * count) : 0;
}

// Wall-clock minutes of a local time counted from 12:00 of a night's date.
long long FromNoon(int night, const LocalMinute& t) {
  return DaysBetween(night, t.DateKey()) * 1440 + t.hour * 60 + t.minute - 720;
}

int MinuteOfDay(long long fromNoon) { return static_cast<int>(((720 + fromNoon) % 1440 + 1440) % 1440); }

const DayTotals* DayOf(const std::vector<DayTotals>& days, int date) {
  auto found = std::lower_bound(days.begin(), days.end(), date,
                                [](const DayTotals& day, int key) { return day.date < key; });
  return found != days.end() && found->date == date ? &*found : nullptr;
}

bool Reached(const DayTotals* day, const GoalList& goals) { return day && day->steps >= goals.GoalOf(day->date); }

// The days up to the date, one after the other, that reached their goal.
unsigned StreakUpTo(const std::vector<DayTotals>& days, const GoalList& goals, int date) {
  unsigned streak = 0;
  for (; Reached(DayOf(days, date), goals); date = PreviousDateKey(date)) ++streak;
  return streak;
}

void AddCalendar(const TrendRequest& request, const std::vector<DayTotals>& allDays, TrendFigures& out) {
  const TrendPeriod& period = out.period;
  int year = period.last / 10000, month = period.last / 100 % 100;
  const int firstMonth = period.first / 100;
  std::vector<CalendarMonth> months;
  while (months.size() < 12 && year * 100 + month >= firstMonth) {
    CalendarMonth shown;
    shown.year = year;
    shown.month = month;
    const int first = (year * 100 + month) * 100 + 1;
    shown.blanks = (WeekdayOf(first) - request.firstWeekday + 7) % 7;
    for (int date = first; date / 100 == first / 100; date = NextDateKey(date)) {
      CalendarDay day;
      day.date = date;
      day.goal = request.goals.GoalOf(date);
      if (const DayTotals* data = DayOf(allDays, date)) {
        day.hasData = true;
        day.steps = data->steps;
        day.percent = data->steps * 100 / day.goal;
      }
      shown.days.push_back(day);
    }
    months.push_back(shown);
    if (--month == 0) month = 12, --year;
  }
  out.calendar.assign(months.rbegin(), months.rend());
}

}  // namespace

void ComputeTrendFigures(const TrendRequest& request, const std::vector<DayTotals>& allDays,
                         const std::vector<NightRecord>& nights, TrendFigures& out) {
  out = TrendFigures();
  memcpy(out.tracker, request.tracker, sizeof out.tracker);
  out.today = request.today;
  out.firstWeekday = request.firstWeekday;
  out.period = request.period;
  const GoalList& goals = request.goals;
  if (out.period.kind == PeriodAll) {
    out.period.first = out.period.last = request.today;
    if (!allDays.empty()) {
      out.period.first = std::min(out.period.first, allDays.front().date);
      out.period.last = std::max(out.period.last, allDays.back().date);
    }
    if (!nights.empty()) {
      out.period.first = std::min(out.period.first, nights.front().night);
      out.period.last = std::max(out.period.last, nights.back().night);
    }
  }
  const TrendPeriod& period = out.period;
  // A period that is no span of real dates (none is made so) gives no days.
  if (!DateKeyOf(period.first / 10000, period.first / 100 % 100, period.first % 100) ||
      !DateKeyOf(period.last / 10000, period.last / 100 % 100, period.last % 100) || period.last < period.first)
    return;

  // The days of the period, the running 7-day window and the best streak.
  auto window = std::lower_bound(allDays.begin(), allDays.end(), AddDays(period.first, -6),
                                 [](const DayTotals& day, int key) { return day.date < key; });
  auto next = window;
  unsigned long long windowSum = 0, windowCount = 0;
  // A streak reaching into the period counts its days before it too.
  unsigned streak = StreakUpTo(allDays, goals, PreviousDateKey(period.first));
  for (int date = period.first; date <= period.last; date = NextDateKey(date)) {
    TrendDay day;
    day.date = date;
    day.goal = goals.GoalOf(date);
    for (; next != allDays.end() && next->date <= date; ++next) {
      windowSum += next->steps;
      ++windowCount;
    }
    const int windowStart = AddDays(date, -6);
    for (; window != next && window->date < windowStart; ++window) {
      windowSum -= window->steps;
      --windowCount;
    }
    if (next != allDays.begin() && (next - 1)->date == date) {
      const DayTotals& data = *(next - 1);
      day.hasData = true;
      day.steps = data.steps;
      day.calories = data.calories;
      day.metres = data.metres;
      day.reached = data.steps >= day.goal;
      ++out.daysWithData;
      out.totalSteps += data.steps;
      out.totalMetres += data.metres;
      if (out.bestDay == 0 || data.steps > out.bestSteps) {
        out.bestDay = date;
        out.bestSteps = data.steps;
      }
    }
    if (windowCount && date <= request.today) {
      day.hasAverage = true;
      day.average = Rounded(windowSum, windowCount);
    }
    streak = day.reached ? streak + 1 : 0;
    out.bestStreak = std::max(out.bestStreak, streak);
    if (day.reached) ++out.goalDays;
    out.days.push_back(day);
  }
  out.averageSteps = Rounded(out.totalSteps, out.daysWithData);

  // The current streak: back from today (from yesterday while today has
  // not reached its goal).
  const int today = request.today;
  out.currentStreak = StreakUpTo(allDays, goals, Reached(DayOf(allDays, today), goals) ? today : PreviousDateKey(today));

  unsigned long long asleep = 0;
  long long bedtimes = 0, wakes = 0;
  for (const NightRecord& night : nights) {
    if (!period.Holds(night.night)) continue;
    out.nights.push_back(night);
    asleep += night.asleepMinutes;
    bedtimes += FromNoon(night.night, night.bedtime);
    wakes += FromNoon(night.night, night.wake);
  }
  if (!out.nights.empty()) {
    const long long count = static_cast<long long>(out.nights.size());
    out.averageAsleep = Rounded(asleep, out.nights.size());
    // Both sums are positive: every bedtime and wake lies after noon of the night's date.
    out.averageBedtime = MinuteOfDay(static_cast<long long>(Rounded(bedtimes, count)));
    out.averageWake = MinuteOfDay(static_cast<long long>(Rounded(wakes, count)));
  }
  AddCalendar(request, allDays, out);
}

namespace {

int ReadFigures(sqlite3* database, bool fileReadOnly, const TrendRequest& request, TrendFigures& out,
                WideString& problem) {
  TrendTables tables(database, fileReadOnly);
  std::vector<DayTotals> days;
  std::vector<NightRecord> nights;
  DateRange period;
  if (request.period.kind != PeriodAll) {
    period.from = request.period.first;
    period.to = request.period.last;
  }
  if (!tables.Refresh(problem) || !tables.ReadDays(request.tracker, DateRange(), days, problem) ||
      !tables.ReadNights(request.tracker, period, nights, problem))
    return 0;
  ComputeTrendFigures(request, days, nights, out);
  return 1;
}

// New runs summed up per turn on the store's connection: a few tens of
// milliseconds, so that a download or a date list waits no longer than that.
const unsigned long long kRunsPerTurn = 500;

struct StoreWork {
  StoreWork(ActivityStore& s, const TrendRequest& r, bool defer) : store(&s), request(&r), deferCheck(defer) {}
  ActivityStore* store;
  const TrendRequest* request;
  bool deferCheck;  // the check for runs changed in place is left for later
  bool done = false;
  bool checkLeft = false;
  bool changed = false;  // the summaries changed (read the rows only then)
  unsigned long long changes = 0;  // the tables' change count when read
  bool since = false;              // changed also when the count is no longer changes
  std::vector<DayTotals> days;
  std::vector<NightRecord> nights;
  WideString problem;
};

// One turn under the store's lock: one step of the summaries' refresh and,
// once they are up to date, the rows of the figures (computed after the
// lock is let go).
int OnConnection(Database& database, void* context) {
  StoreWork& work = *static_cast<StoreWork*>(context);
  // A store that decided not to write its file (its tables could not be
  // made ready) has it kept unwritten here too.
  TrendTables tables(database.Handle(), work.store->IsReadOnly());
  TrendRefreshTally tally;
  if (!tables.RefreshSome(work.problem, work.done, kRunsPerTurn, &tally, work.deferCheck)) return 0;
  work.checkLeft = tally.checkLeft;
  work.changed = work.changed || tally.rebuilt || tally.runsNew || tally.runsGone || tally.daysRecomputed ||
                 tally.nightsRecomputed;
  if (!work.done) return 1;
  // Another caller on the connection (a night's summary) may have made the
  // check and changed the tables since the figures were read.
  work.changed = work.changed || (work.since && tables.Changes() != work.changes);
  work.changes = tables.Changes();
  if (!work.deferCheck && !work.changed) return 1;
  DateRange period;
  if (work.request->period.kind != PeriodAll) {
    period.from = work.request->period.first;
    period.to = work.request->period.last;
  }
  return tables.ReadDays(work.request->tracker, DateRange(), work.days, work.problem) &&
         tables.ReadNights(work.request->tracker, period, work.nights, work.problem);
}

// Turns on the store's connection until the summaries are up to date (or
// wanted says to stop); 1/0 with problem.
int RunTurns(StoreWork& work, WideString& problem, bool (*wanted)(void*) = nullptr, void* context = nullptr) {
  while (!work.done) {
    if (wanted && !wanted(context)) {
      work.changed = false;
      return 1;
    }
    const int turn = work.store->WithConnection(OnConnection, &work);
    // A thread waiting for the lock gets it before the next turn takes it again.
    if (!work.done) SwitchToThread();
    if (!turn) {
      problem.Assign(work.problem.IsEmpty() ? L"the database is not open" : work.problem.CStr());
      return 0;
    }
  }
  return 1;
}

}  // namespace

int ReadTrendFigures(sqlite3* database, const TrendRequest& request, TrendFigures& out, WideString& problem) {
  return ReadFigures(database, false, request, out, problem);
}

int ReadTrendFigures(ActivityStore& store, const TrendRequest& request, TrendFigures& out, WideString& problem,
                     bool* checkLeft, unsigned long long* changes) {
  // Without anybody to make the check later it is made now.
  StoreWork work(store, request, checkLeft != nullptr);
  if (!RunTurns(work, problem)) return 0;
  if (checkLeft) *checkLeft = work.checkLeft;
  if (changes) *changes = work.changes;
  ComputeTrendFigures(request, work.days, work.nights, out);
  return 1;
}

int CheckTrendFigures(ActivityStore& store, const TrendRequest& request, TrendFigures& out, bool& changed,
                      WideString& problem, bool (*wanted)(void* context), void* context, unsigned long long since) {
  StoreWork work(store, request, false);
  work.changes = since;
  work.since = since != ULLONG_MAX;
  changed = false;
  if (!RunTurns(work, problem, wanted, context)) return 0;
  changed = work.changed;
  if (changed) ComputeTrendFigures(request, work.days, work.nights, out);
  return 1;
}
