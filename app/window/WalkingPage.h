// The Walking page (dialog 106): the selected tracker's live step, distance
// and calorie totals of today (flowing only while this tab is selected; an
// em dash until the tracker has sent them), in the locale's numbers and
// the "DistanceUnit",
// beside them the selected walk's own steps, distance, calories and
// duration, and below the date list of its walking runs and the chart of
// the selected run.
#pragma once

#include "app/window/ChartPage.h"

class WalkingPage : public ChartPage {
public:
  explicit WalkingPage(PageContext& context);

  int OnDestroy() override;

  // UpdateLiveTotals: the totals; UpdateWalking: the date list, the totals
  // and the chart; UpdateDistanceUnit: the totals and the walk's figures.
  void Refresh(unsigned flags) override;
  // Writes the live totals of the selected tracker (the fields stay empty
  // when it has none) and, with chart, the chart of the selected run, which
  // is shown only for a tracker whose totals could be read.
  void RefreshTotals(bool chart);
  // The selected walk's own figures (empty for none), with the locale's
  // separators and the "DistanceUnit".
  void ShowRunFigures();

protected:
  void OnCreated() override;
  void OnDateChanged() override;
};
