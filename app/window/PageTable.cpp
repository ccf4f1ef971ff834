#include "app/window/PageTable.h"

#include "app/tracker/TrackerUpdate.h"
#include "app/window/AboutPage.h"
#include "app/window/InfoPage.h"
#include "app/window/SleepingPage.h"
#include "app/window/TrendsTabPage.h"
#include "app/window/WalkingPage.h"
#include "resources/ResourceIds.h"

namespace {

template <class Page>
TabPage* Make(PageContext& context) {
  return new Page(context);
}

}  // namespace

const PageRow PageTable[] = {
    {0, L"&Info", IDI_INFO, IDD_PAGE_INFO, Make<InfoPage>, UpdateDeviceInfo, false},
    {1, L"&Walking", IDI_WALKING, IDD_PAGE_WALKING, Make<WalkingPage>,
     UpdateLiveTotals | UpdateWalking | UpdateDistanceUnit, true},
    {2, L"S&leeping", IDI_SLEEPING, IDD_PAGE_SLEEPING, Make<SleepingPage>, UpdateSleeping, false},
    {4, L"T&rends", IDI_CHART, IDD_PAGE_TRENDS, Make<TrendsTabPage>,
     UpdateWalking | UpdateSleeping | UpdatePageMade, false},
    {3, L"&About", IDI_ABOUT, IDD_PAGE_ABOUT, Make<AboutPage>, 0, false},
};

const int PageCount = sizeof(PageTable) / sizeof(PageTable[0]);

int PageOfStored(unsigned long stored) {
  for (int i = 0; i < PageCount; ++i) {
    if (static_cast<unsigned long>(PageTable[i].stored) == stored) return i;
  }
  return -1;
}
