#include "app/window/WalkingPage.h"

#include "app/window/MainWindow.h"
#include "app/tracker/TrackerUpdate.h"
#include "app/charts/WalkingTotals.h"
#include "resources/ResourceIds.h"

WalkingPage::WalkingPage(MainWindow& main) : ChartPage(main, WalkingTable, WALKING_CHART_TOP) {}

void WalkingPage::OnCreated() {
  RefreshTotals(false);
  main_.PostUpdate(UpdateLiveTotals | UpdateWalking);
}

void WalkingPage::OnDateChanged() { RefreshTotals(true); }

int WalkingPage::OnDestroy() {
  int tracker = -1;
  if (main_.SelectedTracker(&tracker)) main_.Worker().QueueLiveTotals(tracker, 0);
  return ChartPage::OnDestroy();
}

void WalkingPage::RefreshTotals(bool chart) {
  SetItemText(IDC_WALKING_STEPS, L"");
  SetItemText(IDC_WALKING_DISTANCE, L"");
  SetItemText(IDC_WALKING_CALORIES, L"");
  int tracker = -1;
  unsigned steps = 0, calories = 0, metres = 0;
  bool totals = main_.SelectedTracker(&tracker) &&
                main_.Worker().Trackers().GetLiveTotals(tracker, steps, calories, metres);
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
