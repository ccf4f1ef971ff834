#include "app/trends/TrendSettings.h"

#include "core/SettingsStore.h"

const wchar_t GoalsSetting[] = L"Goals";
const wchar_t DistanceUnitSetting[] = L"DistanceUnit";

int ReadGoals(SettingsStore& settings, GoalList& goals, WideString& problem) {
  goals = GoalList();
  problem.Assign(L"");
  WideString text;
  if (!settings.ReadText(GoalsSetting, text, L"")) return 1;
  return goals.Parse(text.CStr(), problem);
}

int WriteGoals(SettingsStore& settings, const GoalList& goals) {
  WideString text;
  return goals.Format(text) && settings.WriteText(GoalsSetting, text.CStr());
}

DistanceUnit ReadDistanceUnit(SettingsStore& settings) {
  DWORD unit = settings.ReadNumber(DistanceUnitSetting, DistanceFromLocale);
  return unit == DistanceKilometres || unit == DistanceMiles ? static_cast<DistanceUnit>(unit) : DistanceFromLocale;
}

int WriteDistanceUnit(SettingsStore& settings, DistanceUnit unit) {
  return settings.WriteNumber(DistanceUnitSetting, static_cast<DWORD>(unit));
}
