// The daily step goal, with dates: a change applies from the day it is made,
// and the days before it keep the goal they had. Days before the first
// change have the default goal of 10,000 steps.
//
// Kept in the settings as one text value, the changes in date order
// separated by commas, each the first day and the steps:
//
//   "2014-03-25:12000,2014-06-01:9000"
//
// The empty text is the default goal for every day. Parse refuses anything
// else with a clear reason and leaves the list as it was. At most MaxChanges
// changes are kept: a change beyond that is refused (dropping the oldest
// would give its days another goal).
#pragma once

#include <vector>

#include "core/WideString.h"

struct GoalChange {
  int first;       // date key YYYYMMDD from which the goal holds
  unsigned steps;
  bool operator==(const GoalChange& other) const { return first == other.first && steps == other.steps; }
};

class GoalList {
public:
  static constexpr unsigned DefaultSteps = 10000;
  static constexpr unsigned MinSteps = 100;
  static constexpr unsigned MaxSteps = 200000;
  static constexpr unsigned MaxChanges = 100;

  // 1 with the list taken from the text; 0 with problem saying what is
  // wrong ("the goal change 2 has no date"), the list unchanged.
  int Parse(const wchar_t* text, WideString& problem);
  // The settings text of the list. 1/0 (allocation).
  int Format(WideString& out) const;

  // The goal of a day (date key).
  unsigned GoalOf(int dateKey) const;
  // The goal becomes steps from the day on (later changes are dropped: the
  // new goal holds from then on). 0 for steps out of MinSteps..MaxSteps, a
  // date that is no date or a change beyond MaxChanges, with problem saying
  // which; the list is then unchanged.
  int Set(int dateKey, unsigned steps, WideString& problem);
  int Set(int dateKey, unsigned steps) {
    WideString problem;
    return Set(dateKey, steps, problem);
  }

  const std::vector<GoalChange>& Changes() const { return changes_; }

private:
  std::vector<GoalChange> changes_;  // ascending first days
};
