#include "app/window/WalkingPage.h"

#include "app/tracker/TrackerUpdate.h"
#include "app/charts/WalkingTotals.h"
#include "resources/ResourceIds.h"

WalkingPage::WalkingPage(PageContext& context) : ChartPage(context, WalkingTable, WALKING_CHART_TOP) {}

void WalkingPage::OnCreated() {
  RefreshTotals(false);
  context_.PostUpdate(UpdateLiveTotals | UpdateWalking);
}

void WalkingPage::OnDateChanged() { RefreshTotals(true); }

int WalkingPage::OnDestroy() {
  SelectedTracker tracker;
  if (context_.Selected(tracker)) context_.QueueLiveTotals(tracker.index, false);
  return ChartPage::OnDestroy();
}

void WalkingPage::Refresh(unsigned flags) {
  if (flags & UpdateLiveTotals) RefreshTotals(false);
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
  bool totals = context_.Selected(tracker) && context_.LiveTotals(tracker.index, steps, calories, metres);
  if (totals) {
    WalkingTotalsText text;
    FormatWalkingTotals(steps, calories, metres, text);
    SetItemText(IDC_WALKING_STEPS, text.steps.CStr());
    SetItemText(IDC_WALKING_DISTANCE, text.distance.CStr());
    SetItemText(IDC_WALKING_CALORIES, text.calories.CStr());
  }
  if (!chart) return;
  if (totals) {
    ShowChart();
  } else {
    WriteDocument(WideString(L""));
  }
}
