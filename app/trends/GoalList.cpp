#include "app/trends/GoalList.h"

#include "app/data/LocalTime.h"

namespace {

// Reads n digits at p; -1 when one is not a digit.
int Digits(const wchar_t* p, int n) {
  int value = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < L'0' || p[i] > L'9') return -1;
    value = value * 10 + (p[i] - L'0');
  }
  return value;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

// One "YYYY-MM-DD:steps" between begin and end (spaces around it allowed).
const wchar_t* ParseChange(const wchar_t* p, const wchar_t* end, GoalChange& change) {
  while (p < end && IsSpace(*p)) ++p;
  while (end > p && IsSpace(end[-1])) --end;
  if (end - p < 12 || p[4] != L'-' || p[7] != L'-' || p[10] != L':') return L"is not YYYY-MM-DD:steps";
  int year = Digits(p, 4), month = Digits(p + 5, 2), day = Digits(p + 8, 2);
  change.first = year < 0 || month < 0 || day < 0 ? 0 : DateKeyOf(year, month, day);
  if (!change.first) return L"has no real date";
  const wchar_t* digits = p + 11;
  const int count = static_cast<int>(end - digits);
  if (count > 9 || Digits(digits, count) < 0) return L"has no number of steps";
  change.steps = static_cast<unsigned>(Digits(digits, count));
  if (change.steps < GoalList::MinSteps || change.steps > GoalList::MaxSteps) return L"has a goal out of range";
  return nullptr;
}

}  // namespace

int GoalList::Parse(const wchar_t* text, WideString& problem) {
  std::vector<GoalChange> parsed;
  const wchar_t* p = text ? text : L"";
  while (IsSpace(*p)) ++p;
  for (unsigned index = 1; *p; ++index) {
    const wchar_t* end = p;
    while (*end && *end != L',') ++end;
    GoalChange change = {};
    const wchar_t* wrong = ParseChange(p, end, change);
    if (!wrong && !parsed.empty() && change.first <= parsed.back().first) wrong = L"is not after the one before it";
    if (!wrong && index > MaxChanges) wrong = L"is one too many";
    if (wrong) {
      problem.Format(L"the goal change %u %s (goals are YYYY-MM-DD:steps in date order, steps %u to %u, at most %u)",
                     index, wrong, MinSteps, MaxSteps, MaxChanges);
      return 0;
    }
    parsed.push_back(change);
    p = *end ? end + 1 : end;
    if (*end && !*p) {
      problem.Assign(L"the goals end with a comma");
      return 0;
    }
  }
  changes_.swap(parsed);
  problem.Assign(L"");
  return 1;
}

int GoalList::Format(WideString& out) const {
  if (!out.Assign(L"")) return 0;
  WideString one;
  for (const GoalChange& change : changes_) {
    if (!one.Format(L"%s%04d-%02d-%02d:%u", out.IsEmpty() ? L"" : L",", change.first / 10000,
                    change.first / 100 % 100, change.first % 100, change.steps) ||
        !out.Append(one))
      return 0;
  }
  return 1;
}

unsigned GoalList::GoalOf(int dateKey) const {
  unsigned goal = DefaultSteps;
  for (const GoalChange& change : changes_) {
    if (change.first > dateKey) break;
    goal = change.steps;
  }
  return goal;
}

int GoalList::Set(int dateKey, unsigned steps, WideString& problem) {
  problem.Assign(L"");
  if (steps < MinSteps || steps > MaxSteps) {
    problem.Format(L"a goal is a number of steps from %u to %u a day", MinSteps, MaxSteps);
    return 0;
  }
  if (!DateKeyOf(dateKey / 10000, dateKey / 100 % 100, dateKey % 100)) {
    problem.Assign(L"the goal's first day is no date");
    return 0;
  }
  size_t kept = changes_.size();
  while (kept > 0 && changes_[kept - 1].first >= dateKey) --kept;
  // No change needed when the day already has that goal.
  const unsigned before = kept ? changes_[kept - 1].steps : DefaultSteps;
  if (before != steps && kept >= MaxChanges) {
    problem.Format(L"the goal has been changed %u times, as often as is kept: the goals of past days stay as they "
                   L"are", MaxChanges);
    return 0;
  }
  changes_.resize(kept);
  if (before != steps) changes_.push_back(GoalChange{dateKey, steps});
  return 1;
}
