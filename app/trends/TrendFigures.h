// The Trends figures of one tracker over a period, from its days (daily
// totals) and nights as DailyTotals and NightSummary give them:
//
// - every calendar day of the period with its steps (when it has data), its
//   goal (GoalList) and whether it reached it, and the 7-day average: the
//   mean steps of the days with data among the day and the six before it
//   (none after today, or when none of the seven has data);
// - average steps per day over the days with data, total distance, the best
//   day (the earliest of equal ones), the days that reached their goal;
// - the current streak: consecutive days up to today that reached their
//   goal; today counts once it has reached it and does not end the streak
//   before it is over. The best streak: the longest run of consecutive days
//   that reached their goal ending in the period, counted like the current
//   one with its days before the period. A day without data ends a streak;
// - the nights of the period with the average asleep time and the average
//   bedtime and wake, taken as wall-clock minutes from noon of the night's
//   date, so that 23:30 and 00:30 average to 00:00;
// - month calendars of the months the period touches (the last 12 at most),
//   each day with its steps and share of its goal.
//
// Averages are rounded to the nearest whole number (halves up).
#pragma once

#include <climits>
#include <vector>

#include "app/data/DailyTotals.h"
#include "app/data/NightSummary.h"
#include "app/trends/GoalList.h"
#include "app/trends/TrendPeriod.h"

class ActivityStore;
struct sqlite3;

struct TrendDay {
  int date = 0;
  bool hasData = false;
  unsigned long long steps = 0;
  unsigned long long calories = 0;
  unsigned long long metres = 0;
  unsigned goal = 0;
  bool reached = false;
  bool hasAverage = false;
  unsigned long long average = 0;  // 7-day average
};

struct CalendarDay {
  int date = 0;
  bool hasData = false;
  unsigned long long steps = 0;
  unsigned goal = 0;
  unsigned long long percent = 0;  // of the goal, rounded down
};

struct CalendarMonth {
  int year = 0;
  int month = 0;
  int blanks = 0;  // cells before the 1st in its first week
  std::vector<CalendarDay> days;
};

struct TrendFigures {
  char tracker[18] = {};
  TrendPeriod period;  // for all days: from the first day with data to today (or a later day with data)
  int today = 0;
  int firstWeekday = 0;
  std::vector<TrendDay> days;
  std::vector<NightRecord> nights;

  unsigned daysWithData = 0;
  unsigned long long totalSteps = 0;
  unsigned long long totalMetres = 0;
  unsigned long long averageSteps = 0;
  int bestDay = 0;  // 0: none
  unsigned long long bestSteps = 0;
  unsigned goalDays = 0;
  unsigned currentStreak = 0;
  unsigned bestStreak = 0;
  unsigned long long averageAsleep = 0;  // minutes
  int averageBedtime = -1;               // minutes after midnight; -1 without nights
  int averageWake = -1;
  std::vector<CalendarMonth> calendar;
};

struct TrendRequest {
  char tracker[18] = {};
  TrendPeriod period;
  int today = 0;
  int firstWeekday = 0;  // 0 Monday ... 6 Sunday
  GoalList goals;
};

// The figures from every day of the tracker (in date order) and the nights
// of the period.
void ComputeTrendFigures(const TrendRequest& request, const std::vector<DayTotals>& allDays,
                         const std::vector<NightRecord>& nights, TrendFigures& out);

// Brings the summary tables up to date (TrendTables) and computes the
// figures from them. 1/0 with problem.
int ReadTrendFigures(sqlite3* database, const TrendRequest& request, TrendFigures& out, WideString& problem);
// The same on the store's connection, taking its lock only in short turns:
// the summaries are brought up to date a few hundred runs a turn, the rows
// read in the last and the figures computed after it, so that the store's
// other users (a download, the date lists) wait for one turn at most. A
// store that stores nothing (IsReadOnly) has its file left unwritten
// (TrendTables).
// The check for runs changed in place or removed, which passes over every
// run, is left out when the connection would need it (its first read, or
// another connection wrote to the file) and checkLeft is given, and so is
// the comparison of the zone's rules for every year: checkLeft then tells
// that the check is owed, and CheckTrendFigures makes it. changes: the summaries'
// change count (TrendTables::Changes) the figures were read at.
int ReadTrendFigures(ActivityStore& store, const TrendRequest& request, TrendFigures& out, WideString& problem,
                     bool* checkLeft = nullptr, unsigned long long* changes = nullptr);
// The check left out by the read before, in short turns like it: changed
// tells whether it (or a write since) changed the summaries, also when
// another caller on the connection changed them after the change count
// since (ULLONG_MAX: not known), and then out holds the figures again.
// Between turns, wanted(context) returning false stops it (1, unchanged):
// the next check goes on from there. 1/0 with problem.
int CheckTrendFigures(ActivityStore& store, const TrendRequest& request, TrendFigures& out, bool& changed,
                      WideString& problem, bool (*wanted)(void* context) = nullptr, void* context = nullptr,
                      unsigned long long since = ULLONG_MAX);
