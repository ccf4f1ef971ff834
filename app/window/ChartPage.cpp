#include "app/window/ChartPage.h"

#include <algorithm>
#include <vector>

#include "app/charts/ChartTheme.h"
#include "app/store/DateList.h"
#include "resources/ResourceIds.h"
#include "ui/ColourScheme.h"
#include "ui/Dpi.h"

namespace {

static_assert(IDC_WALKING_DATES == IDC_SLEEPING_DATES, "the chart pages share their date list's id");
const int kDatesId = IDC_WALKING_DATES;

}  // namespace

ChartPage::ChartPage(PageContext& context, int table, int chartTop)
    : TabPage(context), table_(table), chartTop_(chartTop) {}

int ChartPage::OnInitDialog() {
  dates_.Attach(Item(kDatesId), Module(), ImageComboComboBox, 16, 16);
  AddControl(&dates_);
  // The chart fills the page below the date list, 10 dialog units in from
  // the sides, and grows with the page.
  RECT client;
  GetClientRect(Window(), &client);
  chartRect_.left = DialogUnitsToPixelsX(CHART_SIDE_MARGIN);
  chartRect_.top = DialogUnitsToPixelsY(chartTop_);
  chartRect_.right = client.right - DialogUnitsToPixelsX(CHART_SIDE_MARGIN);
  chartRect_.bottom = client.bottom;
  if (view_.Create(Window(), HtmlViewPageOptions)) {
    view_.Move(chartRect_.left, chartRect_.top, chartRect_.right, chartRect_.bottom);
    AddAnchor(view_.Window(), AnchorGrow);
  } else {
    // No browser: the page's own chart, and the link on the line below it.
    RECT chart = chartRect_;
    chart.bottom = std::max(chart.top + 1, chartRect_.bottom - DpiScale(Window(), HtmlView::FallbackLinkHeight));
    if (native_.Create(Window(), IDC_CHART_NATIVE, chart)) {
      native_.SetColours(ChartColoursFor(CurrentColourScheme()));
      AddAnchor(native_.Window(), AnchorGrow);
    }
    view_.Move(chartRect_.left, chart.bottom, chartRect_.right, chartRect_.bottom);
    if (HWND link = view_.Window()) {
      // The chart comes before its link in the tab order.
      if (native_.Window()) SetWindowPos(link, native_.Window(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      AddAnchor(link, AnchorMoveY | AnchorGrowWidth);
    }
  }
  OnCreated();
  return 1;
}

int ChartPage::OnCommand(int id, WPARAM wParam, LPARAM) {
  if (id == kDatesId && HIWORD(wParam) == CBN_SELCHANGE) {
    OnDateChanged();
    return 1;
  }
  // Escape and the like belong to the main window, never to a page.
  return 0;
}

int ChartPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    ApplyAnchors(wParam, lParam);
    return 0;
  }
  if (message == WM_SETTINGCHANGE || message == WM_SYSCOLORCHANGE) {
    if (native_.Window()) native_.SetColours(ChartColoursFor(CurrentColourScheme()));
    if (!plain_.IsEmpty()) ShowChart();
    return 0;
  }
  return Dialog::OnMessage(message, wParam, lParam);
}

int ChartPage::CanClose(INT_PTR) {
  // The browser goes while its parent is still whole.
  view_.Destroy();
  return 1;
}

int ChartPage::OnDestroy() {
  view_.Destroy();
  native_.Destroy();
  RemoveControl(&dates_);
  dates_.Detach();
  return Dialog::OnDestroy();
}

void ChartPage::FillDates() {
  SelectedTracker tracker;
  std::vector<StoredRun> runs;
  // No tracker lists nothing.
  if (context_.Selected(tracker) && !tracker.address.IsEmpty()) {
    context_.ListRuns(tracker.address.CStr(), table_, runs);
  }
  FillDateList(runs, dates_);
}

int ChartPage::ShowChart() {
  SelectedTracker tracker;
  int start = 0;
  WideString page;
  int shown = context_.Selected(tracker) && !tracker.address.IsEmpty() &&
              dates_.Selection(nullptr, nullptr, &start) &&
              context_.BuildChart(table_, tracker.address.CStr(), static_cast<unsigned>(start), page);
  if (!shown) page.Assign(L"");
  plain_.Assign(page);
  if (shown && native_.Window()) native_.SetColours(ChartColoursFor(CurrentColourScheme()));
  // In the colours of the Windows setting, as the rest of the window.
  if (shown) ApplyCurrentChartTheme(page);
  WriteDocument(page);
  if (native_.Window()) {
    NativeChartData chart;
    if (!shown || !context_.BuildNativeChart(table_, tracker.address.CStr(), static_cast<unsigned>(start), chart)) {
      chart = NativeChartData();
    }
    native_.SetData(chart);
  }
  return shown;
}

int ChartPage::ThemedDocument(ColourScheme scheme, WideString& out) const {
  out.Assign(plain_);
  return !plain_.IsEmpty() && ApplyChartTheme(scheme, ChartColoursFor(scheme), out);
}

void ChartPage::WriteDocument(const WideString& document) {
  document_.Assign(document);
  view_.WriteDocument(document_.CStr());
  // Nothing to show: the page's own chart is emptied with the document.
  if (document_.IsEmpty()) plain_.Assign(L"");
  if (document_.IsEmpty() && native_.Window()) native_.SetData(NativeChartData());
}
