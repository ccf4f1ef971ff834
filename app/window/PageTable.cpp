#include "app/window/PageTable.h"

#include "app/tracker/TrackerUpdate.h"
#include "app/window/AboutPage.h"
#include "app/window/InfoPage.h"
#include "app/window/SleepingPage.h"
#include "app/window/WalkingPage.h"
#include "resources/ResourceIds.h"

namespace {

template <class Page>
TabPage* Make(PageContext& context) {
  return new Page(context);
}

}  // namespace

const PageRow PageTable[] = {
    {L"Info", IDI_INFO, IDD_PAGE_INFO, Make<InfoPage>, UpdateDeviceInfo, false},
    {L"Walking", IDI_WALKING, IDD_PAGE_WALKING, Make<WalkingPage>, UpdateLiveTotals | UpdateWalking, true},
    {L"Sleeping", IDI_SLEEPING, IDD_PAGE_SLEEPING, Make<SleepingPage>, UpdateSleeping, false},
    {L"About", IDI_ABOUT, IDD_PAGE_ABOUT, Make<AboutPage>, 0, false},
};

const int PageCount = sizeof(PageTable) / sizeof(PageTable[0]);
