// The Trends chart page: the page template (resource 130, RCDATA, built like
// the day chart pages with the same inlined chart library, so it loads
// nothing from anywhere) with its one placeholder "***TRENDS***" replaced by
// a script object literal of the figures:
//
//   title, tracker, lang {thousandsSep, decimalPoint}, unit ("km", "mi"),
//   metresPerUnit, first [year, month - 1, day], today (index of today among
//   the days, -1 when outside), steps, goals, average, metres (one entry a
//   day of the period, null for none), nights [[day index, asleep, awake]],
//   figures [[label, text]], weekdays (short names from the first weekday),
//   calendar [{title, blanks, days [[steps, percent, goal] or null]}]
//
// The page draws the daily steps as columns with the goal and the 7-day
// average as lines, each night's asleep and awake minutes as stacked
// columns, and the month calendars, each day coloured by the share of its
// goal reached and showing its steps and that share as numbers.
#pragma once

#include <windows.h>

#include <vector>

#include "app/trends/TrendFigures.h"
#include "core/LocaleNumbers.h"
#include "core/WideString.h"

const WORD TrendsChartTemplate = 130;

// The figures as the page and the window show them.
struct TrendFigureText {
  const wchar_t* label;
  WideString value;
};
void TrendFigureTexts(const TrendFigures& figures, const LocaleNumbers& numbers, DistanceUnit unit,
                      std::vector<TrendFigureText>& out);
// "March 2014", "2014", or the first and last day ("24.03.2014 - 30.03.2014").
int TrendPeriodTitle(const TrendPeriod& period, WideString& out);

// The script object literal the page is given (a text that can stand in a
// script block as it is). 1/0 (allocation).
int TrendsPageData(const TrendFigures& figures, const LocaleNumbers& numbers, DistanceUnit unit, WideString& out);

// The page from a template's bytes, or from the program's resource (none:
// the program file). out holds the page only on success.
int BuildTrendsPage(const char* pageTemplate, size_t templateSize, const TrendFigures& figures,
                    const LocaleNumbers& numbers, DistanceUnit unit, WideString& out);
int BuildTrendsPage(const TrendFigures& figures, const LocaleNumbers& numbers, DistanceUnit unit, WideString& out,
                    HMODULE module = nullptr);
