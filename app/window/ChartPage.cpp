#include "app/window/ChartPage.h"

#include "app/store/DateList.h"
#include "app/charts/DayChart.h"
#include "app/window/MainWindow.h"
#include "resources/ResourceIds.h"

namespace {

const int DATES_ID = 1015;  // the same id on both pages

}  // namespace

ChartPage::ChartPage(MainWindow& main, int table, int chartTop)
    : main_(main), table_(table), chartTop_(chartTop) {}

int ChartPage::OnInitDialog() {
  dates_.Attach(Item(DATES_ID), Module(), ImageComboComboBox, 16, 16);
  AddControl(&dates_);
  // The chart fills the page below the date list, 10 dialog units in from
  // the sides, and grows with the page.
  RECT client;
  GetClientRect(Window(), &client);
  chartRect_.left = DialogUnitsToPixelsX(CHART_SIDE_MARGIN);
  chartRect_.top = DialogUnitsToPixelsY(chartTop_);
  chartRect_.right = client.right - DialogUnitsToPixelsX(CHART_SIDE_MARGIN);
  chartRect_.bottom = client.bottom;
  view_.Create(Window(), HtmlViewPageOptions);
  view_.Move(chartRect_.left, chartRect_.top, chartRect_.right, chartRect_.bottom);
  AddAnchor(view_.Window(), AnchorGrow);
  OnCreated();
  return 1;
}

int ChartPage::OnCommand(int id, WPARAM wParam, LPARAM) {
  if (id == DATES_ID && HIWORD(wParam) == CBN_SELCHANGE) {
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
  return Dialog::OnMessage(message, wParam, lParam);
}

int ChartPage::CanClose(INT_PTR) {
  // The browser goes while its parent is still whole.
  view_.Destroy();
  return 1;
}

int ChartPage::OnDestroy() {
  view_.Destroy();
  RemoveControl(&dates_);
  dates_.Detach();
  return Dialog::OnDestroy();
}

void ChartPage::FillDates() {
  int tracker = -1;
  if (!main_.SelectedTracker(&tracker)) tracker = -1;
  FillDateList(main_.Store(), tracker, dates_, table_);
}

int ChartPage::ShowChart() {
  int tracker = -1;
  int start = 0;
  WideString page;
  int shown = main_.SelectedTracker(&tracker) && dates_.Selection(nullptr, nullptr, &start) &&
              (table_ == WalkingTable
                   ? BuildWalkingPage(main_.Store(), tracker, static_cast<unsigned>(start), page, Module())
                   : BuildSleepingPage(main_.Store(), tracker, static_cast<unsigned>(start), page, Module()));
  if (!shown) page.Assign(L"");
  WriteDocument(page);
  return shown;
}

void ChartPage::WriteDocument(const WideString& document) {
  document_.Assign(document);
  view_.WriteDocument(document_.CStr());
}
