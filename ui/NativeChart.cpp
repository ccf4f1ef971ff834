#include "ui/NativeChart.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "core/DateTime.h"
#include "ui/Dpi.h"
#include "ui/GdiGuard.h"

const wchar_t NativeChart::ClassName[] = L"PelltonNativeChart";
const wchar_t NativeChart::ResetText[] = L"Reset zoom";

namespace {

// The narrowest view: a handful of points stay readable.
const double kMinimumSpan = 4;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// 1, 2 or 5 times a power of ten, at least value.
double RoundUp(double value) {
  if (value <= 0) return 1;
  double power = std::pow(10.0, std::floor(std::log10(value)));
  for (double step : {1.0, 2.0, 5.0, 10.0}) {
    if (step * power >= value) return step * power;
  }
  return 10 * power;
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

}  // namespace

NativeChart::~NativeChart() { Destroy(); }

int NativeChart::Create(HWND parent, int id, const RECT& rect) {
  Destroy();
  HINSTANCE instance = ThisModule();
  WNDCLASSEXW c = {};
  c.cbSize = sizeof c;
  if (!GetClassInfoExW(instance, ClassName, &c)) {
    c.cbSize = sizeof c;
    c.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    c.lpfnWndProc = Procedure;
    c.hInstance = instance;
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = ClassName;
    if (!RegisterClassExW(&c) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
  }
  window_ = CreateWindowExW(0, ClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, rect.left,
                            rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  return window_ != nullptr;
}

void NativeChart::Destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

void NativeChart::SetData(const NativeChartData& data) {
  data_ = data;
  if (window_) SetWindowTextW(window_, data_.title.CStr());
  ResetZoom();
  Relayout();
}

void NativeChart::Relayout() {
  // The bars are computed from the plot, which follows the size and the
  // widths of the labels.
  if (!window_) return;
  WindowDc dc(window_);
  SelectedObject font(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
  RECT client;
  GetClientRect(window_, &client);
  Layout(dc, client);
}

void NativeChart::MakeFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!window_ || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return;
  metrics.lfMessageFont.lfHeight = -DpiScale(window_, 12);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  if (!font) return;  // the old font stays rather than none
  if (font_) DeleteObject(font_);
  font_ = font;
}

WideString NativeChart::ClockText(long long secondsAfterStart) const {
  long long day = (data_.startSecond + secondsAfterStart) % 86400;
  SYSTEMTIME local;
  if (data_.startUtc >= 0 && FromUnixTime(local, data_.startUtc + secondsAfterStart, 1)) {
    day = local.wHour * 3600LL + local.wMinute * 60LL;
  }
  WideString text;
  text.Format(L"%d:%02d", static_cast<int>(day / 3600), static_cast<int>(day / 60 % 60));
  return text;
}

void NativeChart::SetColours(const NativeChartColours& colours) {
  colours_ = colours;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

int NativeChart::Points() const {
  size_t points = 0;
  for (const NativeChartSeries& series : data_.series) points = std::max(points, series.values.size());
  return static_cast<int>(points);
}

void NativeChart::ResetZoom() {
  from_ = 0;
  to_ = Points();
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

bool NativeChart::Zoomed() const { return from_ > 0 || to_ < Points(); }

void NativeChart::ZoomTo(double from, double to) {
  const double points = Points();
  if (points <= 0) return;
  if (to < from) std::swap(from, to);
  const double span = std::min(points, std::max(to - from, std::min(kMinimumSpan, points)));
  const double middle = (from + to) / 2;
  from_ = std::max(0.0, std::min(points - span, middle - span / 2));
  to_ = from_ + span;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void NativeChart::ZoomAround(double x, double factor) {
  const double span = (to_ - from_) * factor;
  const double share = to_ > from_ ? (x - from_) / (to_ - from_) : 0.5;
  const double from = x - span * share;
  const double points = Points();
  const double clamped = std::min(points, std::max(span, std::min(kMinimumSpan, points)));
  double start = std::max(0.0, std::min(points - clamped, from));
  from_ = start;
  to_ = start + clamped;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void NativeChart::Pan(double points) {
  const double span = to_ - from_;
  const double all = Points();
  from_ = std::max(0.0, std::min(all - span, from_ + points));
  to_ = from_ + span;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

double NativeChart::AxisMax(int axis) const {
  if (data_.axes[axis].max > 0) return data_.axes[axis].max;
  double most = 0;
  for (const NativeChartSeries& series : data_.series) {
    if (series.axis != axis) continue;
    for (double value : series.values) most = std::max(most, value);
  }
  return RoundUp(most);
}

double NativeChart::XOfPoint(double point) const {
  if (to_ <= from_) return plot_.left;
  return plot_.left + (point - from_) * (plot_.right - plot_.left) / (to_ - from_);
}

double NativeChart::PointOfX(int x) const {
  if (plot_.right <= plot_.left) return from_;
  return from_ + (x - plot_.left) * (to_ - from_) / (plot_.right - plot_.left);
}

int NativeChart::YOfValue(int axis, double value) const {
  const double max = AxisMax(axis);
  const double share = std::max(0.0, std::min(1.0, value / max));
  return plot_.bottom - static_cast<int>(std::lround(share * (plot_.bottom - plot_.top)));
}

int NativeChart::BarRect(int series, int point, RECT& rect) const {
  if (series < 0 || series >= static_cast<int>(data_.series.size())) return 0;
  const NativeChartSeries& s = data_.series[static_cast<size_t>(series)];
  if (point < 0 || point >= static_cast<int>(s.values.size())) return 0;
  if (point + 1 <= from_ || point >= to_) return 0;
  const double left = XOfPoint(point), right = XOfPoint(point + 1);
  const int top = YOfValue(s.axis, s.values[static_cast<size_t>(point)]);
  if (data_.kind == NativeChartSteps) {
    rect = {static_cast<int>(std::lround(left)), top, static_cast<int>(std::lround(right)), top + 1};
  } else {
    // The series' columns stand side by side in the point's slot, a fifth
    // of it left free on each side.
    const int count = static_cast<int>(data_.series.size());
    const double slot = (right - left) * 0.6 / count;
    const double x = left + (right - left) * 0.2 + slot * series;
    rect = {static_cast<int>(std::lround(x)), top, static_cast<int>(std::lround(x + slot)), plot_.bottom};
    if (rect.right <= rect.left) rect.right = rect.left + 1;
  }
  IntersectRect(&rect, &rect, &plot_);
  return rect.right > rect.left;
}

void NativeChart::Layout(HDC dc, const RECT& client) {
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  textHeight_ = std::max(1, static_cast<int>(metrics.tmHeight));
  const int pad = DpiScale(window_, 8);
  SIZE size = {};
  int labelWidth = 0;
  for (int axis = 0; axis < data_.axisCount; ++axis) {
    if (!data_.axes[axis].labels) continue;
    WideString text;
    text.Format(L"%.0f", AxisMax(axis));
    GetTextExtentPoint32W(dc, text.CStr(), static_cast<int>(text.Length()), &size);
    labelWidth = std::max(labelWidth, static_cast<int>(size.cx));
  }
  // Band labels stand left of the plot, clear of the series.
  int bandWidth = 0;
  for (const NativeChartBand& band : data_.bands) {
    GetTextExtentPoint32W(dc, band.label.CStr(), static_cast<int>(band.label.Length()), &size);
    bandWidth = std::max(bandWidth, static_cast<int>(size.cx) + pad);
  }
  plot_.left = client.left + pad + (labelWidth ? labelWidth + pad : 0) + bandWidth;
  plot_.right = client.right - pad - (data_.axisCount > 1 && labelWidth ? labelWidth + pad : 0);
  // Title, then the axis titles on a line of their own.
  plot_.top = client.top + pad + textHeight_ + pad + textHeight_ + pad / 2;
  plot_.bottom = client.bottom - pad - textHeight_ - pad / 2;
  if (plot_.right < plot_.left + 1) plot_.right = plot_.left + 1;
  if (plot_.bottom < plot_.top + 1) plot_.bottom = plot_.top + 1;
  GetTextExtentPoint32W(dc, ResetText, static_cast<int>(wcslen(ResetText)), &size);
  reset_ = {plot_.right - size.cx - 2 * pad, client.top + pad / 2, plot_.right, client.top + pad / 2 + textHeight_ + pad};
}

void NativeChart::Paint(HDC dc, const RECT& client) {
  FillSolid(dc, client, colours_.background);
  SelectedObject font(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
  Layout(dc, client);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colours_.text);
  const int pad = DpiScale(window_, 8);
  const int points = Points();

  RECT title = {client.left + pad, client.top + pad, client.right - pad, client.top + pad + textHeight_};
  if (Zoomed()) title.right = reset_.left - pad;
  DrawTextW(dc, data_.title.CStr(), -1, &title, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

  // Bands first, under everything, with their labels at the left.
  for (const NativeChartBand& band : data_.bands) {
    RECT area = {plot_.left, YOfValue(0, band.to), plot_.right, YOfValue(0, band.from)};
    FillSolid(dc, area, colours_.bands[band.colour & 3]);
    if (band.label.IsEmpty()) continue;
    RECT text = {client.left, area.top, area.left - pad / 2, area.bottom};
    DrawTextW(dc, band.label.CStr(), -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

  GdiPen gridPen(CreatePen(PS_SOLID, 1, colours_.grid));
  GdiPen textPen(CreatePen(PS_SOLID, 1, colours_.text));
  {
    SelectedObject pen(dc, gridPen.Get());
    // Value axes: five steps each, labelled at the side they belong to.
    for (int axis = 0; axis < data_.axisCount; ++axis) {
      const NativeChartAxis& a = data_.axes[axis];
      RECT heading = {axis == 0 ? client.left + pad : plot_.left, plot_.top - textHeight_ - pad / 2,
                      axis == 0 ? plot_.right : client.right - pad, plot_.top - pad / 2};
      DrawTextW(dc, a.title.CStr(), -1, &heading,
                (axis == 0 ? DT_LEFT : DT_RIGHT) | DT_SINGLELINE | DT_NOPREFIX | DT_BOTTOM);
      if (!a.labels) continue;
      const double max = AxisMax(axis);
      for (int step = 0; step <= 5; ++step) {
        const double value = max * step / 5;
        const int y = YOfValue(axis, value);
        if (axis == 0 && step > 0 && data_.bands.empty()) Line(dc, plot_.left, y, plot_.right, y);
        WideString text;
        text.Format(L"%.0f", value);
        RECT label = axis == 0 ? RECT{client.left, y - textHeight_ / 2, plot_.left - pad / 2, y + textHeight_}
                               : RECT{plot_.right + pad / 2, y - textHeight_ / 2, client.right, y + textHeight_};
        DrawTextW(dc, text.CStr(), -1, &label, (axis == 0 ? DT_RIGHT : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX);
      }
    }
  }

  // The clock along x: a label every so many minutes, as many as fit.
  if (points > 0 && data_.intervalSeconds > 0) {
    SIZE size = {};
    GetTextExtentPoint32W(dc, L"00:00", 5, &size);
    const double pixelsPerSecond =
        (plot_.right - plot_.left) / ((to_ - from_) * static_cast<double>(data_.intervalSeconds));
    const int steps[] = {60, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    int step = 86400;
    for (int s : steps) {
      if (s >= data_.intervalSeconds && s * pixelsPerSecond >= size.cx * 1.6) {
        step = s;
        break;
      }
    }
    const long long first = data_.startSecond + static_cast<long long>(from_ * data_.intervalSeconds);
    const long long last = data_.startSecond + static_cast<long long>(to_ * data_.intervalSeconds);
    SelectedObject pen(dc, textPen.Get());
    for (long long t = (first + step - 1) / step * step; t <= last; t += step) {
      const double point = static_cast<double>(t - data_.startSecond) / data_.intervalSeconds;
      const int x = static_cast<int>(std::lround(XOfPoint(point)));
      Line(dc, x, plot_.bottom, x, plot_.bottom + pad / 2);
      const WideString text = ClockText(t - data_.startSecond);
      RECT label = {x - size.cx, plot_.bottom + pad / 2, x + size.cx, plot_.bottom + pad / 2 + textHeight_};
      DrawTextW(dc, text.CStr(), -1, &label, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  }

  // The series, clipped to the plot.
  {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, plot_.left, plot_.top - 1, plot_.right, plot_.bottom + 1);
    const int width = std::max(1, DpiScale(window_, 2));
    for (size_t i = 0; i < data_.series.size(); ++i) {
      const NativeChartSeries& series = data_.series[i];
      const COLORREF colour = colours_.series[series.colour & 3];
      if (data_.kind == NativeChartColumns) {
        for (size_t p = 0; p < series.values.size(); ++p) {
          RECT bar;
          if (BarRect(static_cast<int>(i), static_cast<int>(p), bar)) FillSolid(dc, bar, colour);
        }
        continue;
      }
      // A rim of the background under the line keeps it clear of every band.
      GdiPen rimPen(CreatePen(PS_SOLID, width + 2 * std::max(1, DpiScale(window_, 1)), colours_.background));
      GdiPen linePen(CreatePen(PS_SOLID, width, colour));
      for (HPEN drawn : {rimPen.Get(), linePen.Get()}) {
        SelectedObject pen(dc, drawn);
        bool started = false;
        for (size_t p = 0; p < series.values.size(); ++p) {
          if (p + 1 <= from_ || p >= to_ + 1) continue;
          const int y = YOfValue(series.axis, series.values[p]);
          const int x0 = static_cast<int>(std::lround(XOfPoint(static_cast<double>(p))));
          const int x1 = static_cast<int>(std::lround(XOfPoint(static_cast<double>(p + 1))));
          if (!started) MoveToEx(dc, x0, y, nullptr);
          LineTo(dc, x0, y);
          LineTo(dc, x1, y);
          started = true;
        }
      }
    }
    RestoreDC(dc, saved);
  }
  {
    SelectedObject pen(dc, textPen.Get());
    Line(dc, plot_.left, plot_.bottom, plot_.right, plot_.bottom);
  }

  // The range being dragged.
  if (drag_ == 1 && dragNow_ != dragStart_) {
    RECT range = {std::min(dragStart_, dragNow_), plot_.top, std::max(dragStart_, dragNow_), plot_.bottom};
    IntersectRect(&range, &range, &plot_);
    GdiBrush hatch(CreateHatchBrush(HS_BDIAGONAL, colours_.selection));
    FrameRect(dc, &range, hatch.Get());
    InflateRect(&range, -1, -1);
    FrameRect(dc, &range, hatch.Get());
  }
  if (Zoomed()) {
    GdiBrush frame(CreateSolidBrush(colours_.selection));
    FrameRect(dc, &reset_, frame.Get());
    SetTextColor(dc, colours_.text);
    RECT text = reset_;
    DrawTextW(dc, ResetText, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (GetFocus() == window_) {
    RECT focus = client;
    InflateRect(&focus, -2, -2);
    SetTextColor(dc, colours_.text);
    SetBkColor(dc, colours_.background);
    DrawFocusRect(dc, &focus);
  }
}

LRESULT CALLBACK NativeChart::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  NativeChart* chart = reinterpret_cast<NativeChart*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    chart = static_cast<NativeChart*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(chart));
    chart->window_ = window;
  }
  if (!chart) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    chart->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return chart->OnMessage(message, wParam, lParam);
}

LRESULT NativeChart::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_;
  switch (message) {
    case WM_CREATE:
      MakeFont();
      return 0;
    case WmDpiChangedAfterParent:
      MakeFont();
      Relayout();
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      // Drawn off screen first, so a drag or a zoom does not flicker.
      MemoryDc memory(dc);
      GdiBitmap bitmap(CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom)));
      if (memory && bitmap) {
        SelectedObject hold(memory, bitmap.Get());
        Paint(memory, client);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      } else {
        Paint(dc, client);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(window, &client);
      Paint(reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_SIZE:
      Relayout();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_MOUSEWHEEL: {
      POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(window, &at);
      // A touchpad turns in steps smaller than a notch: they add up, and a
      // turn the other way starts afresh.
      const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
      if ((delta > 0) != (wheel_ > 0)) wheel_ = 0;
      wheel_ += delta;
      const int clicks = wheel_ / WHEEL_DELTA;
      wheel_ -= clicks * WHEEL_DELTA;
      if (clicks != 0) ZoomAround(PointOfX(at.x), std::pow(0.8, clicks));
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      SetFocus(window);
      POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (message == WM_LBUTTONDOWN && Zoomed() && PtInRect(&reset_, at)) {
        ResetZoom();
        return 0;
      }
      const bool pan = message == WM_RBUTTONDOWN || (wParam & MK_SHIFT);
      if (pan && !Zoomed()) return 0;
      drag_ = pan ? 2 : 1;
      dragStart_ = dragNow_ = at.x;
      dragFrom_ = from_;
      SetCapture(window);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (drag_ && GetCapture() == window) {
        dragNow_ = GET_X_LPARAM(lParam);
        if (drag_ == 2) {
          const double perPixel = (to_ - from_) / std::max(1L, plot_.right - plot_.left);
          Pan(dragFrom_ - (dragNow_ - dragStart_) * perPixel - from_);
        } else {
          InvalidateRect(window, nullptr, FALSE);
        }
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      const int drag = drag_;
      drag_ = 0;
      if (GetCapture() == window) ReleaseCapture();
      dragNow_ = GET_X_LPARAM(lParam);
      // A click is no range.
      if (drag == 1 && std::abs(dragNow_ - dragStart_) >= DpiScale(window, 5)) {
        ZoomTo(PointOfX(dragStart_), PointOfX(dragNow_));
      }
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    }
    case WM_CAPTURECHANGED:
      drag_ = 0;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN: {
      const double middle = (from_ + to_) / 2, span = to_ - from_;
      switch (wParam) {
        case VK_ADD:
        case VK_OEM_PLUS:
          ZoomAround(middle, 0.5);
          return 0;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
          ZoomAround(middle, 2);
          return 0;
        case VK_LEFT:
          Pan(-span / 10);
          return 0;
        case VK_RIGHT:
          Pan(span / 10);
          return 0;
        case VK_HOME:
        case '0':
        case VK_NUMPAD0:
          ResetZoom();
          return 0;
      }
      break;
    }
    case NativeChartGetBarRect: {
      RECT* rect = reinterpret_cast<RECT*>(lParam);
      return rect && BarRect(HIWORD(wParam), LOWORD(wParam), *rect) ? TRUE : FALSE;
    }
    case NativeChartGetView: {
      double* view = reinterpret_cast<double*>(lParam);
      if (!view) return FALSE;
      view[0] = from_;
      view[1] = to_;
      return TRUE;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
