#include "app/window/WalkingPage.h"

#include "app/tracker/TrackerUpdate.h"
#include "app/trends/TrendSettings.h"
#include "core/LocaleNumbers.h"
#include "resources/ResourceIds.h"

WalkingPage::WalkingPage(PageContext& context) : ChartPage(context, WalkingTable, WALKING_CHART_TOP) {}

void WalkingPage::OnCreated() {
  RefreshTotals(false);
  context_.PostUpdate(UpdateLiveTotals | UpdateWalking);
}

void WalkingPage::OnDateChanged() { RefreshTotals(true); }

int WalkingPage::OnDestroy() {
  SelectedTracker tracker;
  if (context_.Selected(tracker)) context_.QueueLiveTotals(tracker, false);
  return ChartPage::OnDestroy();
}

void WalkingPage::Refresh(unsigned flags) {
  if (flags & (UpdateLiveTotals | UpdateDistanceUnit)) RefreshTotals(false);
  if ((flags & UpdateDistanceUnit) && !(flags & UpdateWalking)) ShowRunFigures();
  if (flags & UpdateWalking) {
    FillDates();
    RefreshTotals(true);
  }
}

void WalkingPage::RefreshTotals(bool chart) {
  SetItemText(IDC_WALKING_STEPS, L"");
  SetItemText(IDC_WALKING_DISTANCE, L"");
  SetItemText(IDC_WALKING_CALORIES, L"");
  SelectedTracker tracker;
  unsigned steps = 0, calories = 0, metres = 0;
  bool arrived = false;
  bool totals = context_.Selected(tracker) && context_.LiveTotals(tracker.index, steps, calories, metres, arrived);
  if (totals && !arrived) {
    // Nothing from the tracker yet: no zeros that look like a day without steps.
    const int ids[] = {IDC_WALKING_STEPS, IDC_WALKING_DISTANCE, IDC_WALKING_CALORIES};
    for (int id : ids) SetItemText(id, L"\u2014");
  } else if (totals) {
    const LocaleNumbers numbers;
    WideString text, number;
    if (numbers.Integer(steps, text)) SetItemText(IDC_WALKING_STEPS, text.CStr());
    if (numbers.Distance(metres, ReadDistanceUnit(context_.Settings()), text)) {
      SetItemText(IDC_WALKING_DISTANCE, text.CStr());
    }
    if (numbers.Integer(calories, number) && text.Format(L"%s cal", number.CStr())) {
      SetItemText(IDC_WALKING_CALORIES, text.CStr());
    }
  }
  if (!chart) return;
  if (totals) {
    ShowChart();
  } else {
    WriteDocument(WideString(L""));
  }
  ShowRunFigures();
}

void WalkingPage::ShowRunFigures() {
  const int ids[] = {IDC_WALKING_RUN_STEPS, IDC_WALKING_RUN_DISTANCE, IDC_WALKING_RUN_CALORIES,
                     IDC_WALKING_RUN_DURATION};
  for (int id : ids) SetItemText(id, L"");
  // Shown with the walk's chart only.
  if (Document().IsEmpty()) return;
  SelectedTracker tracker;
  int start = 0;
  WalkingRunFigures figures;
  if (!context_.Selected(tracker) || tracker.address.IsEmpty() || !Dates().Selection(nullptr, nullptr, &start) ||
      !context_.WalkingRun(tracker.address.CStr(), static_cast<unsigned>(start), figures)) {
    return;
  }
  const LocaleNumbers numbers;
  WideString text, number;
  if (numbers.Integer(figures.steps, text)) SetItemText(IDC_WALKING_RUN_STEPS, text.CStr());
  if (numbers.Distance(figures.metres, ReadDistanceUnit(context_.Settings()), text)) {
    SetItemText(IDC_WALKING_RUN_DISTANCE, text.CStr());
  }
  if (numbers.Integer(figures.calories, number) && text.Format(L"%s cal", number.CStr())) {
    SetItemText(IDC_WALKING_RUN_CALORIES, text.CStr());
  }
  if (LocaleNumbers::Duration(figures.minutes, text)) SetItemText(IDC_WALKING_RUN_DURATION, text.CStr());
}
