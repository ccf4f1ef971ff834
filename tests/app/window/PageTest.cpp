// The tab pages alone, each made from its row of the page table over a
// stand-in page context: every row makes its page, whose first refresh asks
// for its row's update flags; the Info page shows a DeviceInfo's fields; the
// date pages list and chart the selected tracker's runs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <memory>

#include "app/tracker/TrackerUpdate.h"
#include "app/window/InfoPage.h"
#include "app/window/PageTable.h"
#include "app/window/SleepingPage.h"
#include "app/window/TrendsTabPage.h"
#include "app/window/WalkingPage.h"
#include "core/DateTime.h"
#include "resources/ResourceIds.h"
#include "tests/app/window/StandInContext.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

using windowtest::ItemText;

namespace {

const wchar_t kTracker[] = L"00:11:22:33:44:02";

class PageTest : public ::testing::Test {
protected:
  void SetUp() override {
    OleInitialize(nullptr);
    host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 900, 400, nullptr, nullptr, nullptr, nullptr);
    context.selected.index = 1;
    context.selected.address.Assign(kTracker);
  }
  void TearDown() override {
    DestroyWindow(host);  // the pages' windows with it
    pages.clear();
    OleUninitialize();
  }
  // The page of the row, made as the main window makes it.
  TabPage& Make(int row) {
    pages.emplace_back(PageTable[row].make(context));
    EXPECT_NE(nullptr, pages.back()->CreateModeless(GetModuleHandleW(nullptr), PageTable[row].templateId, 0, host));
    return *pages.back();
  }

  StandInContext context;
  HWND host = nullptr;
  std::vector<std::unique_ptr<TabPage>> pages;
};

}  // namespace

TEST_F(PageTest, EveryRowMakesItsPageWhoseFirstRefreshAsksForItsRowsUpdates) {
  // The stored "Tab" values 0 to 3 keep naming these pages wherever their
  // rows stand; Trends, shown before About, is 4.
  ASSERT_GE(PageCount, 5);
  const wchar_t* titles[] = {L"&Info", L"&Walking", L"S&leeping", L"&About", L"T&rends"};
  for (int stored = 0; stored < 5; ++stored) {
    ASSERT_LE(0, PageOfStored(stored)) << stored;
    EXPECT_STREQ(titles[stored], PageTable[PageOfStored(stored)].title);
  }
  EXPECT_EQ(PageOfStored(4) + 1, PageOfStored(3));
  EXPECT_EQ(-1, PageOfStored(PageCount));
  for (int row = 0; row < PageCount; ++row) {
    TabPage& page = Make(row);
    ASSERT_NE(nullptr, page.Window()) << row;
    // Flags of its own row only: the Trends page asks for its own refresh
    // and never has the Walking and Sleeping pages fill their lists again.
    std::vector<std::wstring> asked = context.Take();
    const bool posted = !asked.empty() && asked.back().rfind(L"update ", 0) == 0 && iswdigit(asked.back()[7]);
    const unsigned flags = posted ? static_cast<unsigned>(std::stoul(asked.back().substr(7))) : 0;
    EXPECT_EQ(PageTable[row].updates != 0, flags != 0) << row;
    EXPECT_EQ(0u, flags & ~PageTable[row].updates) << row;
    if (PageTable[row].stored == 4) {
      EXPECT_EQ(UpdatePageMade, flags);
    }
  }
}

TEST_F(PageTest, TheInfoPageShowsADeviceInfosFieldsInLocalTimeAndClearsThemForNoTracker) {
  InfoPage& page = static_cast<InfoPage&>(Make(0));
  DeviceInfo info;
  info.battery = 64;
  info.clockKnown = true;
  info.clock = {2014, 5, 6, 31, 23, 59, 58, 0};  // UTC: 01:59:58 the next day in Berlin
  info.firmware.Assign(L"1.2.3");
  info.hardwareKnown = true;
  info.hardwareMajor = 1;
  info.hardwareMinor = 2;
  page.ShowDeviceInfo(info);
  const SYSTEMTIME local = {2014, 6, 0, 1, 1, 59, 58, 0};
  WideString date, time;
  FormatDate(date, DATE_SHORTDATE, &local, 0);
  FormatTime(time, 0, &local, 0);
  EXPECT_EQ(std::wstring(date.CStr()) + L" " + time.CStr(), ItemText(page.Window(), IDC_INFO_TIME));
  EXPECT_EQ(64, SendDlgItemMessageW(page.Window(), IDC_INFO_BATTERY, PBM_GETPOS, 0, 0));
  EXPECT_EQ(L"1.2.3", ItemText(page.Window(), IDC_INFO_FIRMWARE));
  EXPECT_EQ(L"1.2", ItemText(page.Window(), IDC_INFO_HARDWARE));
  info.clock.wMonth = 13;  // no valid time: no clock shown
  page.ShowDeviceInfo(info);
  EXPECT_EQ(L"", ItemText(page.Window(), IDC_INFO_TIME));

  context.Take();
  page.Refresh(UpdateDeviceInfo | UpdateTrackerPicked);
  EXPECT_EQ(std::vector<std::wstring>{L"device info 1 first"}, context.Take());
  context.selected = SelectedTracker();  // the searching item: cleared at once, nothing asked
  page.Refresh(UpdateDeviceInfo);
  EXPECT_TRUE(context.Take().empty());
  EXPECT_EQ(0, SendDlgItemMessageW(page.Window(), IDC_INFO_BATTERY, PBM_GETPOS, 0, 0));
  EXPECT_EQ(L"", ItemText(page.Window(), IDC_INFO_FIRMWARE));
}

TEST_F(PageTest, TheDatePagesAskTheContextForTheSelectedTrackersRunsAndChartTheLatest) {
  context.runs[std::wstring(kTracker) + L" 1"] = {{1401580800u, L"first night"}, {1401667200u, L"second night"}};
  context.runs[std::wstring(kTracker) + L" 0"] = {{1401600000u, L"a walk"}};
  SleepingPage& sleeping = static_cast<SleepingPage&>(Make(2));
  context.Take();
  sleeping.Refresh(UpdateSleeping);
  EXPECT_EQ((std::vector<std::wstring>{L"runs 00:11:22:33:44:02 1", L"chart 1 00:11:22:33:44:02 1401667200",
                                       L"night 00:11:22:33:44:02 1401667200"}),
            context.Take());
  ASSERT_EQ(2, sleeping.Dates().Count());
  int selected = -1;
  EXPECT_EQ(1, sleeping.Dates().Selection(&selected, nullptr, nullptr));
  EXPECT_EQ(1, selected);
  EXPECT_STREQ(L"chart 1 00:11:22:33:44:02 1401667200", sleeping.Document().CStr());

  WalkingPage& walking = static_cast<WalkingPage&>(Make(1));
  context.Take();
  walking.Refresh(UpdateWalking);
  EXPECT_EQ((std::vector<std::wstring>{L"runs 00:11:22:33:44:02 0", L"totals 1",
                                       L"chart 0 00:11:22:33:44:02 1401600000",
                                       L"walk 00:11:22:33:44:02 1401600000"}),
            context.Take());
  EXPECT_NE(L"", ItemText(walking.Window(), IDC_WALKING_STEPS));
  EXPECT_EQ(L"1 h 15 min", ItemText(walking.Window(), IDC_WALKING_RUN_DURATION));  // the walk's own

  // No tracker: nothing is asked of the store, and the pages empty.
  context.selected = SelectedTracker();
  sleeping.Refresh(UpdateSleeping);
  EXPECT_TRUE(context.Take().empty());
  EXPECT_EQ(0, sleeping.Dates().Count());
  EXPECT_FALSE(IsWindowEnabled(sleeping.Dates().Control()));
  EXPECT_STREQ(L"", sleeping.Document().CStr());
}

// A settings file that cannot be replaced just now (a reader holds it)
// keeps the new goal and takes it when it is closed: the goal holds, and
// the page says when it is written.
TEST_F(PageTest, AGoalTheSettingsFileTakesOnlyWhenClosingHoldsAndIsSaidSo) {
  TempFolder temp;
  const std::wstring xml = temp.File(L"Pellton.xml");
  ASSERT_EQ(1, context.settings.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  ASSERT_EQ(1, context.settings.WriteNumber(L"Tab", 4));
  auto& page = static_cast<TrendsTabPage&>(Make(PageOfStored(4)));
  ShowWindow(page.Window(), SW_SHOW);
  HANDLE reader = CreateFileW(xml.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_EQ(1, page.SetGoal(12000));
  CloseHandle(reader);
  ASSERT_TRUE(PumpUntil([&] { return !page.Working(); }));
  EXPECT_EQ(0u, ItemText(page.Window(), IDC_TRENDS_STATUS).find(L"The goal is 12"));
  EXPECT_NE(std::wstring::npos, ItemText(page.Window(), IDC_TRENDS_STATUS).find(L"writes it again when it closes"));
  // So does a distance unit.
  reader = CreateFileW(xml.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  EXPECT_EQ(1, page.ChooseDistanceUnit(DistanceMiles));
  CloseHandle(reader);
  EXPECT_EQ(0u, ItemText(page.Window(), IDC_TRENDS_STATUS).find(L"Distances are in miles from now on. The settings"));
  // Past midnight into May, the month shown follows today.
  context.today = 20140501;
  SendMessageW(page.Window(), WM_TIMER, TrendsTabPage::MidnightTimer, 0);
  EXPECT_EQ(20140501, page.Period().first);
  ASSERT_EQ(1, context.settings.Close());
  EXPECT_NE(std::string::npos, ReadFileText(xml).find("Goals=\"2014-04-04:12000\""));
  EXPECT_NE(std::string::npos, ReadFileText(xml).find("DistanceUnit=\"2\""));
}

// The same figures asked for again while they are read (downloads ending as
// the window opens) wait for them and are asked for once more then; other
// figures are asked for at once.
TEST_F(PageTest, TheSameFiguresAskedForWhileReadAreAskedOnceMoreWhenTheyCome) {
  auto& page = static_cast<TrendsTabPage&>(Make(PageOfStored(4)));
  ShowWindow(page.Window(), SW_SHOW);
  ASSERT_TRUE(PumpUntil([&] { return !page.Working(); }));
  for (int round = 0; round < 2; ++round) {
    context.Take();
    page.Refresh(UpdateWalking);
    page.Refresh(UpdateWalking | UpdateSleeping);
    EXPECT_EQ(std::vector<std::wstring>{L"trends"}, context.Take());
    EXPECT_TRUE(page.Working());
    // Another period overtakes them, and nothing is owed after it.
    if (round) page.ChoosePeriod(PeriodYear);
    EXPECT_EQ(std::vector<std::wstring>(round, L"trends"), context.Take());
    ASSERT_TRUE(PumpUntil([&] { return !page.Working(); }));
    EXPECT_EQ(std::vector<std::wstring>(1 - round, L"trends"), context.Take()) << "round " << round;
  }
}
