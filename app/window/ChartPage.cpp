#include "app/window/ChartPage.h"

#include <vector>

#include "app/charts/DayTable.h"
#include "app/store/DateList.h"
#include "app/trends/TrendSettings.h"
#include "resources/ResourceIds.h"
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
  view_.Create(Window(), HtmlViewPageOptions);
  view_.Move(chartRect_.left, chartRect_.top, chartRect_.right, chartRect_.bottom);
  AddAnchor(view_.Window(), AnchorGrow);
  if (runTable_.Create(Window(), IDC_CHART_TABLE, chartRect_)) {
    AddAnchor(runTable_.Control(), AnchorGrow);
    AddControl(&runTable_);
  }
  OnCreated();
  return 1;
}

int ChartPage::OnCommand(int id, WPARAM wParam, LPARAM) {
  if (id == kDatesId && HIWORD(wParam) == CBN_SELCHANGE) {
    OnDateChanged();
    return 1;
  }
  if (id == IDC_CHART_TABLE_SWITCH && HIWORD(wParam) == BN_CLICKED) {
    ShowTable(IsDlgButtonChecked(Window(), IDC_CHART_TABLE_SWITCH) == BST_CHECKED);
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
  if (message == WM_SYSCOLORCHANGE) {
    runTable_.ApplyColours();
    return 0;
  }
  if (message == WmDpiChangedAfterParent) {
    dates_.FollowDpi();
    // The page's font has followed the scale; the table made here takes it again.
    if (runTable_.Control()) SendMessageW(runTable_.Control(), WM_SETFONT, SendMessageW(Window(), WM_GETFONT, 0, 0), TRUE);
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
  RemoveControl(&runTable_);
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
  WriteDocument(page);
  return shown;
}

void ChartPage::WriteDocument(const WideString& document) {
  document_.Assign(document);
  view_.WriteDocument(document_.CStr());
  if (tableShown_) FillTable();
}

void ChartPage::ShowTable(bool table) {
  tableShown_ = table && runTable_.Control();
  CheckDlgButton(Window(), IDC_CHART_TABLE_SWITCH, tableShown_ ? BST_CHECKED : BST_UNCHECKED);
  if (tableShown_) FillTable();
  if (view_.Window()) ShowWindow(view_.Window(), tableShown_ ? SW_HIDE : SW_SHOW);
  if (runTable_.Control()) ShowWindow(runTable_.Control(), tableShown_ ? SW_SHOW : SW_HIDE);
}

void ChartPage::FillTable() {
  runTable_.Clear();
  SelectedTracker tracker;
  int start = 0;
  ByteBuffer pattern;
  // The table shows what the chart shows: nothing when it shows nothing.
  if (document_.IsEmpty() || !context_.Selected(tracker) || tracker.address.IsEmpty() ||
      !dates_.Selection(nullptr, nullptr, &start) ||
      !context_.RunPattern(table_, tracker.address.CStr(), static_cast<unsigned>(start), pattern)) {
    return;
  }
  const size_t size = static_cast<size_t>(pattern.size);
  if (table_ == WalkingTable) {
    runTable_.ShowWalking(WalkingRows(pattern.data, size), static_cast<unsigned>(start),
                          ReadDistanceUnit(context_.Settings()));
  } else {
    runTable_.ShowSleeping(SleepingRanges(pattern.data, size), static_cast<unsigned>(start));
  }
  BufferClear(pattern);
}

void ChartPage::NameControls(AccessibleNames& names) {
  names.Name(runTable_.Control(), table_ == WalkingTable ? L"Quarter hours of the walk" : L"Stretches of the night");
}
