// The day chart pages, built from a page template and one stored run.
//
// A template is a complete HTML page held as single-byte text in the
// system's ANSI code page. It names what the program fills in with
// placeholders: "***TITLE***", "***DATE***" and the data series,
// "***DATA_DISTANCE***" and "***DATA_CALORIES***" on the walking page,
// "***DATA***" on the sleeping page. Every occurrence of a placeholder is
// replaced; everything else is copied as it stands.
//
// The page is built in one pass: the template is converted straight into an
// output of its final size, the filled-in texts put in on the way. Nothing
// here touches the database or the resources: the functions work on bytes
// handed in, so they can be checked on their own.
#pragma once

#include <windows.h>

#include <cstddef>

class WideString;

// One placeholder and the text that takes its place.
struct ChartPageField {
  const char* placeholder;  // with its asterisks, e.g. "***TITLE***"
  const wchar_t* text;
};

// The template with every placeholder of the fields replaced, converted with
// the ANSI code page. 1 on success; 0 on a failed conversion or allocation,
// with out emptied.
int FillChartPage(const char* pageTemplate, size_t templateSize, const ChartPageField* fields,
                  int fieldCount, WideString& out);

// The walking series of a pattern of 6-byte quarter-hour records (step
// count, calories, distance in 10 m, each 2 bytes big-endian): calories and
// metres as decimal lists joined by "," ("" for no complete record). Bytes
// after the last complete record are ignored. 1/0 (allocation).
int WalkingSeries(const unsigned char* pattern, size_t size, WideString& distance,
                  WideString& calories);
// The sleeping series: four levels per byte (bits 7-6 first, one per
// minute), each shown as its chart value: 0 awake 45, 1 asleep 15,
// 2 walking 75, 3 undefined 95. 1/0 (allocation).
int SleepingSeries(const unsigned char* pattern, size_t size, WideString& data);

// "year,month-1,day,hour,minute,second" of a calendar time, for the charts'
// Date.UTC(...) start.
int ChartDateText(const SYSTEMTIME& time, WideString& out);
// The chart title: the long date, one space, the time without seconds, in
// the user's locale, written as ChartScriptText writes it.
int ChartTitleText(const SYSTEMTIME& time, WideString& out);
// Text as it can stand inside the page's single-quoted script strings: a
// backslash before every backslash and quote, so that a locale whose dates
// hold an apostrophe cannot end the string early and stop the chart.
int ChartScriptText(const wchar_t* text, WideString& out);

// The two pages for a run starting at `start` (Unix seconds, UTC; shown in
// local time). out is emptied first and holds the page only on success.
int BuildWalkingChartPage(const char* pageTemplate, size_t templateSize,
                          const unsigned char* pattern, size_t patternSize, unsigned start,
                          WideString& out);
int BuildSleepingChartPage(const char* pageTemplate, size_t templateSize,
                           const unsigned char* pattern, size_t patternSize, unsigned start,
                           WideString& out);
