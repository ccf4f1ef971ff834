#include "app/SleepingPage.h"

#include "app/MainWindow.h"
#include "app/TrackerUpdate.h"
#include "resources/ResourceIds.h"

SleepingPage::SleepingPage(MainWindow& main) : ChartPage(main, SleepingTable, SLEEPING_CHART_TOP) {}

void SleepingPage::OnCreated() { main_.PostUpdate(UpdateSleeping); }

void SleepingPage::OnDateChanged() { ShowChart(); }
