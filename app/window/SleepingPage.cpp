#include "app/window/SleepingPage.h"

#include "app/tracker/TrackerUpdate.h"
#include "resources/ResourceIds.h"

SleepingPage::SleepingPage(PageContext& context) : ChartPage(context, SleepingTable, SLEEPING_CHART_TOP) {}

void SleepingPage::OnCreated() { context_.PostUpdate(UpdateSleeping); }

void SleepingPage::OnDateChanged() { ShowChart(); }

void SleepingPage::Refresh(unsigned flags) {
  if (!(flags & UpdateSleeping)) return;
  FillDates();
  ShowChart();
}
