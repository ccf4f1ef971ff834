#include "app/window/SleepingPage.h"

#include "app/window/MainWindow.h"
#include "app/tracker/TrackerUpdate.h"
#include "resources/ResourceIds.h"

SleepingPage::SleepingPage(MainWindow& main) : ChartPage(main, SleepingTable, SLEEPING_CHART_TOP) {}

void SleepingPage::OnCreated() { main_.PostUpdate(UpdateSleeping); }

void SleepingPage::OnDateChanged() { ShowChart(); }
