// Where the Trends settings live among the program's settings (the
// SettingsStore of the main window, by default the registry key
// Software\Vantrel\Pellton):
//
//   "Goals"         text    the dated goals, GoalList's text; none: 10,000 a day
//   "DistanceUnit"  32-bit  0 the locale's measurement system, 1 kilometres, 2 miles
#pragma once

#include "app/trends/GoalList.h"
#include "core/LocaleNumbers.h"

class SettingsStore;

extern const wchar_t GoalsSetting[];
extern const wchar_t DistanceUnitSetting[];

// The stored goals; 0 with problem when the stored text is refused (goals
// then keeps the default of every day).
int ReadGoals(SettingsStore& settings, GoalList& goals, WideString& problem);
int WriteGoals(SettingsStore& settings, const GoalList& goals);
// The stored unit; DistanceFromLocale for none or a number out of range.
DistanceUnit ReadDistanceUnit(SettingsStore& settings);
int WriteDistanceUnit(SettingsStore& settings, DistanceUnit unit);
