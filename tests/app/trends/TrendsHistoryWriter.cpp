// Stores the hand-made history (TrendsHistory.h) in history.sql in the
// current folder and its goals in the settings key given, in kilometres,
// for trends-check.sh.
#include "app/trends/TrendSettings.h"
#include "tests/app/trends/TrendsHistory.h"
#include "core/SettingsStore.h"

int wmain(int argc, wchar_t** argv) {
  SettingsStore settings;
  GoalList goals;
  WideString problem;
  return argc == 2 && settings.Open(SettingsRegistry, HKEY_CURRENT_USER, argv[1]) &&
                 goals.Parse(trendstest::Goals, problem) && WriteGoals(settings, goals) &&
                 WriteDistanceUnit(settings, DistanceKilometres) && trendstest::StoreHistory(L"history.sql")
             ? 0
             : 1;
}
