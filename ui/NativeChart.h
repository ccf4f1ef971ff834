// A chart drawn with GDI in a window of its own, for where no browser engine
// can show a chart page: columns of up to four series on one or two value
// axes, or one series drawn as a stepped line over labelled value bands.
// The x axis is a clock: the first point stands at a given second of the
// day and the points follow at a fixed interval. It knows nothing of what
// the numbers mean; its owner hands it the series, the texts and the
// colours.
//
// The user can zoom along x with the mouse wheel, by dragging a range with
// the left button, and with + and -; pan a zoomed chart by dragging with
// Shift held or with the right button, and with the arrow keys; and go
// back to the whole series with the "Reset zoom" button drawn while zoomed,
// or with 0 or Home. The focus is shown as a dotted frame.
//
// NativeChartGetBarRect (wParam: MAKEWPARAM(point, series), lParam: RECT*)
// answers TRUE with where a column or line point is drawn in the client
// area, FALSE for one outside the view; NativeChartGetView (lParam: two
// doubles) gives the first point shown and the end of the view, in points.
// WM_GETFONT answers the font the chart writes with; it is made again at
// the new scale on WM_DPICHANGED_AFTERPARENT. Window thread only.
#pragma once

#include <windows.h>

#include <vector>

#include "core/WideString.h"

const UINT NativeChartGetBarRect = WM_USER + 0x210;
const UINT NativeChartGetView = WM_USER + 0x211;

enum NativeChartKind { NativeChartColumns, NativeChartSteps };

struct NativeChartAxis {
  WideString title;
  bool labels = true;
  double max = 0;  // 0: from the series on the axis, rounded up to a round number
};

struct NativeChartSeries {
  std::vector<double> values;
  int axis = 0;    // 0 left, 1 right
  int colour = 0;  // index into NativeChartColours::series
};

// A band of values on the left axis, filled across the plot.
struct NativeChartBand {
  double from = 0;
  double to = 0;
  WideString label;
  int colour = 0;  // index into NativeChartColours::bands
};

struct NativeChartData {
  NativeChartKind kind = NativeChartColumns;
  WideString title;
  int startSecond = 0;       // second of the day of the first point
  // The first point in Unix seconds, when known: the clock along x then
  // reads the local time of each tick, right across a change of the clock.
  long long startUtc = -1;
  int intervalSeconds = 60;  // between points
  NativeChartAxis axes[2];
  int axisCount = 1;
  std::vector<NativeChartSeries> series;
  std::vector<NativeChartBand> bands;
};

struct NativeChartColours {
  COLORREF background = RGB(255, 255, 255);
  COLORREF text = RGB(0, 0, 0);
  COLORREF grid = RGB(216, 216, 216);
  COLORREF selection = RGB(51, 92, 173);  // the dragged range, the button
  COLORREF series[4] = {RGB(0, 114, 178), RGB(230, 159, 0), RGB(0, 158, 115), RGB(204, 121, 167)};
  COLORREF bands[4] = {RGB(190, 220, 240), RGB(255, 255, 255), RGB(250, 220, 170), RGB(225, 225, 225)};
};

class NativeChart {
public:
  static const wchar_t ClassName[];
  static const wchar_t ResetText[];

  NativeChart() = default;
  ~NativeChart();
  NativeChart(const NativeChart&) = delete;
  NativeChart& operator=(const NativeChart&) = delete;

  // A visible, tab-stop child at the rectangle (client pixels, edges). 1/0.
  int Create(HWND parent, int id, const RECT& rect);
  void Destroy();
  HWND Window() const { return window_; }

  // Shows the series (the view goes back to all of them); an empty data
  // shows only the background.
  void SetData(const NativeChartData& data);
  void SetColours(const NativeChartColours& colours);
  const NativeChartData& Data() const { return data_; }

  // The view along x, in points: [from, to).
  void ResetZoom();
  bool Zoomed() const;
  double ViewFrom() const { return from_; }
  double ViewTo() const { return to_; }
  // Zooms by the factor (below 1: in) around the point at x.
  void ZoomAround(double x, double factor);
  void ZoomTo(double from, double to);
  // Moves the view by this many points, kept inside the series.
  void Pan(double points);

  // The clock's label for the tick that stands the seconds after the first
  // point ("3:30"): the local time then, or the second of the day.
  WideString ClockText(long long secondsAfterStart) const;

  // Where a point of a series is drawn (the column, or the line's step);
  // 0 when it lies outside the view or there is no such point.
  int BarRect(int series, int point, RECT& rect) const;

private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc, const RECT& client);
  // The plot area and the button, for the window's current size.
  void Layout(HDC dc, const RECT& client);
  void Relayout();
  // The texts' font at the window's current DPI, replacing any earlier one.
  void MakeFont();
  int Points() const;
  double AxisMax(int axis) const;
  double XOfPoint(double point) const;
  double PointOfX(int x) const;
  int YOfValue(int axis, double value) const;

  HWND window_ = nullptr;
  HFONT font_ = nullptr;  // owned
  NativeChartData data_;
  NativeChartColours colours_;
  double from_ = 0;
  double to_ = 0;
  RECT plot_ = {};
  RECT reset_ = {};
  int textHeight_ = 12;
  // A drag under way: 1 a range to zoom, 2 a pan; where it began.
  int drag_ = 0;
  int dragStart_ = 0;
  int dragNow_ = 0;
  double dragFrom_ = 0;
  int wheel_ = 0;  // wheel turns short of a notch, kept for the next
};
