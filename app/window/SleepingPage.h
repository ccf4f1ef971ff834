// The Sleeping page (dialog 105): the date list of the selected tracker's
// sleeping runs and the chart of the selected run.
#pragma once

#include "app/window/ChartPage.h"

class SleepingPage : public ChartPage {
public:
  explicit SleepingPage(PageContext& context);

  // UpdateSleeping: the date list and the chart.
  void Refresh(unsigned flags) override;

protected:
  void OnCreated() override;
  void OnDateChanged() override;
};
