#include "app/charts/NativeDayChart.h"

#include "app/charts/DayChartPage.h"
#include "app/store/ActivityStore.h"
#include "core/ByteBuffer.h"
#include "core/DateTime.h"

namespace {

// The title and the clock of the first point, as the page has them.
int StartOf(unsigned start, NativeChartData& chart) {
  SYSTEMTIME local;
  if (!FromUnixTime(local, start, 1)) return 0;
  chart.startSecond = local.wHour * 3600 + local.wMinute * 60 + local.wSecond;
  chart.startUtc = start;
  return ChartTitleText(local, chart.title);
}

}  // namespace

int WalkingNativeChart(const unsigned char* pattern, size_t size, unsigned start, NativeChartData& chart) {
  chart = NativeChartData();
  chart.kind = NativeChartColumns;
  chart.intervalSeconds = 15 * 60;
  chart.axisCount = 2;
  chart.axes[0].title.Assign(L"Distance");
  chart.axes[1].title.Assign(L"Calories");
  chart.series.resize(2);
  chart.series[0].axis = 0;
  chart.series[0].colour = 0;
  chart.series[1].axis = 1;
  chart.series[1].colour = 1;
  // Quarter-hour records of 6 bytes: steps, calories, distance in 10 m.
  for (size_t i = 0; pattern && i + 5 < size; i += 6) {
    chart.series[0].values.push_back(((pattern[i + 4] << 8) | pattern[i + 5]) * 10.0);
    chart.series[1].values.push_back((pattern[i + 2] << 8) | pattern[i + 3]);
  }
  return StartOf(start, chart);
}

int SleepingNativeChart(const unsigned char* pattern, size_t size, unsigned start, NativeChartData& chart) {
  chart = NativeChartData();
  chart.kind = NativeChartSteps;
  chart.intervalSeconds = 60;
  chart.axes[0].labels = false;
  chart.axes[0].max = 100;
  chart.series.resize(1);
  chart.series[0].colour = 2;
  static const double kValues[4] = {45, 15, 75, 95};
  for (size_t i = 0; pattern && i < size; ++i) {
    for (int shift = 6; shift >= 0; shift -= 2) chart.series[0].values.push_back(kValues[(pattern[i] >> shift) & 3]);
  }
  const struct {
    double from, to;
    const wchar_t* label;
  } bands[] = {{0, 30, L"Sleeping"}, {30, 60, L"Awake"}, {60, 90, L"Walking"}, {90, 100, L""}};
  for (int i = 0; i < 4; ++i) {
    NativeChartBand band;
    band.from = bands[i].from;
    band.to = bands[i].to;
    band.label.Assign(bands[i].label);
    band.colour = i == 0 ? 0 : i == 1 ? 1 : i == 2 ? 2 : 3;
    chart.bands.push_back(band);
  }
  return StartOf(start, chart);
}

int BuildNativeDayChart(ActivityStore& store, int table, const wchar_t* address, unsigned start,
                        NativeChartData& chart) {
  ByteBuffer pattern;
  if (!store.ReadPattern(table, address, start, pattern)) return 0;
  const size_t size = static_cast<size_t>(pattern.size);
  return table == WalkingTable ? WalkingNativeChart(pattern.data, size, start, chart)
                               : SleepingNativeChart(pattern.data, size, start, chart);
}
