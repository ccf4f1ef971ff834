// The Sleeping page (dialog 105): the date list of the selected tracker's
// sleeping runs, beside it the summary of the night the selected run belongs
// to (bedtime, wake, asleep and awake time: the whole night, as the `nights`
// export gives it, also when the night is split into several runs), and the
// chart of the selected run.
#pragma once

#include "app/window/ChartPage.h"

class SleepingPage : public ChartPage {
public:
  explicit SleepingPage(PageContext& context);

  // UpdateSleeping: the date list and the chart.
  void Refresh(unsigned flags) override;
  // The night of the selected run (empty for none, or a run without sleep).
  void ShowNight();

protected:
  void OnCreated() override;
  void OnDateChanged() override;
};
