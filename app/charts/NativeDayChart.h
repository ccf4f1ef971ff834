// The day charts as the window draws them itself (NativeChart) where no
// browser engine can show the chart pages: the same series, title and clock
// as the pages. Walking: distance in metres per quarter hour on the left
// axis "Distance" and calories on the right axis "Calories", as columns.
// Sleeping: the minute's chart value (awake 45, asleep 15, walking 75,
// undefined 95) as a stepped line over the bands "Sleeping" 0-30, "Awake"
// 30-60, "Walking" 60-90 and an unlabelled 90-100.
#pragma once

#include <cstddef>

#include "ui/NativeChart.h"

class ActivityStore;

// From a run's pattern and start (Unix seconds, shown in local time); 1/0.
int WalkingNativeChart(const unsigned char* pattern, size_t size, unsigned start, NativeChartData& chart);
int SleepingNativeChart(const unsigned char* pattern, size_t size, unsigned start, NativeChartData& chart);
// The tracker's stored run of the table starting at start; 0 when it is not
// stored.
int BuildNativeDayChart(ActivityStore& store, int table, const wchar_t* address, unsigned start,
                        NativeChartData& chart);
