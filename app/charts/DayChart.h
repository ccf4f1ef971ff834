// The chart page of one stored run, as the Walking and Sleeping pages show
// it: the run's pattern read from the activity store, the page template
// (resource 119 walking, 116 sleeping, type RCDATA, single-byte text) from
// the program file, filled in by the page builder (app/DayChartPage).
//
// out is set to "" first and holds the finished page only when every step
// succeeded: no tracker (address), a run that is not stored or a missing
// template leave it empty, and the page then shows an empty document.
#pragma once

#include <windows.h>

#include <cstddef>

#include "resources/ResourceIds.h"

class ActivityStore;
class WideString;

// Resource type of the chart page templates.
const WORD ChartTemplateType = 10;  // RT_RCDATA
const WORD WalkingChartTemplate = IDR_WALKING_PAGE;
const WORD SleepingChartTemplate = IDR_SLEEPING_PAGE;

// The template's bytes in the module (none: the program file); 1/0.
int LoadChartTemplate(WORD id, const char** text, size_t* size, HMODULE module = nullptr);

// The run of the tracker with the address text that starts at start.
int BuildWalkingPage(ActivityStore& store, const wchar_t* address, unsigned start, WideString& out,
                     HMODULE module = nullptr);
int BuildSleepingPage(ActivityStore& store, const wchar_t* address, unsigned start, WideString& out,
                      HMODULE module = nullptr);
