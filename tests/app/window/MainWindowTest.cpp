// The real main window against two simulated trackers, seen through its
// real controls: the device list after the search, the date lists and
// charts after the downloads, the pages made on first show, live totals
// following the Walking tab, setting a tracker's clock through the Info
// page's link, the minimum size, and the tab and placement kept in the
// settings key from one start to the next.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <sqlite3.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/tracker/TrackerUpdate.h"
#include "app/window/AboutPage.h"
#include "app/data/CsvExport.h"
#include "app/window/InfoPage.h"
#include "app/window/PageTable.h"
#include "app/window/TrendsTabPage.h"
#include "app/window/SleepingPage.h"
#include "app/window/WalkingPage.h"
#include "core/DateTime.h"
#include "resources/ResourceIds.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/store/StoreNotices.h"
#include "tests/app/trends/TrendsHistory.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/common/FileText.h"
#include "tests/ui/WindowCapture.h"

using windowtest::ItemText;

namespace {

std::wstring ComboText(ImageCombo& combo, int index) {
  WideString text;
  if (!combo.Item(index, &text, nullptr)) return L"<none>";
  return text.CStr();
}

int ComboValue(ImageCombo& combo, int index) {
  int value = -12345;
  combo.Item(index, nullptr, &value);
  return value;
}

using windowtest::ChooseItem;
using windowtest::SelectedIndex;

// Clicks a tab as the user does: the tab control selects it and notifies
// its parent.
void ClickTab(MainWindow& window, int index) {
  HWND tab = window.Tabs().Tab();
  SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  NMHDR header = {tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(window.Window(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

bool Contains(const WideString& text, const wchar_t* part) { return text.Find(part) != nullptr; }

std::wstring LocaleText(LCTYPE what) {
  wchar_t text[8] = {};
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, text, 8);
  return text;
}

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(1, fixture.AddTwoTrackers()); }

  // The window once the search and the downloads have finished; none when
  // it could not be made or did not get there.
  MainWindow* OpenIdle() {
    MainWindow* window = fixture.Open();
    if (!window || !PumpUntil([&] { return window->Idle(); })) return nullptr;
    return window;
  }

  windowtest::WindowFixture fixture;
};

}  // namespace

TEST_F(MainWindowTest, TheSearchListsBothTrackersWithTheirIndicesAndTheInfoPageShowsTheFirst) {
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened) << "the search and the downloads did not finish";
  MainWindow& window = *opened;
  ImageCombo& devices = window.Devices();
  ASSERT_EQ(2, devices.Count());
  EXPECT_EQ(twotrackers::LeftText, ComboText(devices, 0));
  EXPECT_EQ(0, ComboValue(devices, 0));
  EXPECT_EQ(twotrackers::RightText, ComboText(devices, 1));
  EXPECT_EQ(1, ComboValue(devices, 1));
  EXPECT_EQ(0, SelectedIndex(devices));
  EXPECT_TRUE(IsWindowEnabled(devices.Control()));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.Window(), IDC_MAIN_SEARCH)));

  // Only the Info page exists: the others are made when first shown.
  EXPECT_EQ(std::vector<int>{0}, window.PagesMade());
  HWND info = window.Info()->Window();
  ASSERT_NE(nullptr, info);
  EXPECT_TRUE(IsWindowVisible(info));
  EXPECT_EQ(64, SendDlgItemMessageW(info, IDC_INFO_BATTERY, PBM_GETPOS, 0, 0));
  EXPECT_EQ(L"1.2.3", ItemText(info, IDC_INFO_FIRMWARE));
  EXPECT_EQ(L"1.2", ItemText(info, IDC_INFO_HARDWARE));
  // The tracker's clock, 2014-06-03 10:00:00 UTC, in local time (12:00 in
  // the test command's zone, Europe/Berlin).
  const SYSTEMTIME clock = {2014, 6, 2, 3, 12, 0, 0, 0};
  WideString date;
  FormatDate(date, DATE_SHORTDATE, &clock, 0);
  EXPECT_EQ(0u, ItemText(info, IDC_INFO_TIME).find(date.CStr())) << ItemText(info, IDC_INFO_TIME);

  WideString title;
  GetWindowTextW(window.Window(), title.Buffer(), static_cast<int>(title.Capacity()));
  title.UpdateLength();
  EXPECT_STREQ(L"Pellton - Samsung EI-AN900 Viewer [1.06] (simulated)", title.CStr());

  ASSERT_TRUE(fixture.CloseWindow());
  EXPECT_EQ(twotrackers::ExpectedWalkingRows(),
            twotrackers::StoredRows(fixture.DatabasePath().c_str(), L"walking"));
  EXPECT_EQ(twotrackers::ExpectedSleepingRows(),
            twotrackers::StoredRows(fixture.DatabasePath().c_str(), L"sleeping"));
}

TEST_F(MainWindowTest, TabTwoAtStartMakesInfoThenSleepingWhichShowsTheLatestRunOfTheSelectedTracker) {
  fixture.WriteNumber(L"Tab", 2);
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  // Both pages are made during the start, Info first.
  EXPECT_EQ((std::vector<int>{0, 2}), window.PagesMade());
  EXPECT_EQ(2, window.Tabs().Current());
  EXPECT_FALSE(IsWindowVisible(window.Info()->Window()));
  EXPECT_TRUE(IsWindowVisible(window.Sleeping()->Window()));
  EXPECT_EQ(nullptr, window.Walking());

  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }));
  ImageCombo& dates = window.Sleeping()->Dates();
  ASSERT_EQ(1, dates.Count());
  EXPECT_EQ(1401660240, ComboValue(dates, 0));
  EXPECT_EQ(0, SelectedIndex(dates));
  EXPECT_TRUE(IsWindowEnabled(dates.Control()));
  std::vector<StoredRun> runs;
  ASSERT_EQ(1, window.Store().ListRunsOf(twotrackers::LeftAddress, SleepingTable, runs));
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(std::wstring(runs[0].label.CStr()), ComboText(dates, 0));
  // AA 55 55: four minutes walking, then eight asleep.
  EXPECT_TRUE(Contains(window.Sleeping()->Document(), L"75,75,75,75,15,15,15,15,15,15,15,15"));

  // The other tracker: its own run, 55 AA.
  ChooseItem(window.Window(), window.Devices(), 1);
  ASSERT_EQ(1, dates.Count());
  EXPECT_EQ(1401667200, ComboValue(dates, 0));
  EXPECT_TRUE(Contains(window.Sleeping()->Document(), L"15,15,15,15,75,75,75,75"));
  EXPECT_FALSE(Contains(window.Sleeping()->Document(), L"75,75,75,75,15,15,15,15,15,15,15,15"));

  // The Walking page, made now, lists the selected tracker's walking runs.
  ClickTab(window, 1);
  ASSERT_NE(nullptr, window.Walking());
  EXPECT_EQ((std::vector<int>{0, 2, 1}), window.PagesMade());
  ImageCombo& walks = window.Walking()->Dates();
  ASSERT_TRUE(PumpUntil([&] { return walks.Count() == 1; }));
  EXPECT_EQ(1401696000, ComboValue(walks, 0));
  ChooseItem(window.Window(), window.Devices(), 0);
  ASSERT_EQ(2, walks.Count());
  EXPECT_EQ(1401580800, ComboValue(walks, 0));
  EXPECT_EQ(1401586200, ComboValue(walks, 1));
  EXPECT_EQ(1, SelectedIndex(walks));
}

TEST_F(MainWindowTest, AStoredTabThatNamesNoPageStartsOnTheInfoPage) {
  fixture.WriteNumber(L"Tab", 0xFFFFFFFF);
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  EXPECT_EQ(0, window.Tabs().Current());
  ASSERT_NE(nullptr, window.Info());
  EXPECT_TRUE(IsWindowVisible(window.Info()->Window()));
  EXPECT_EQ((std::vector<int>{0}), window.PagesMade());
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }));
}

TEST_F(MainWindowTest, LiveTotalsFlowWhileTheWalkingTabIsShownAndStopWhenItIsLeft) {
  fixture.WriteNumber(L"DistanceUnit", 1);
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened) << "the search and the downloads did not finish";
  MainWindow& window = *opened;
  SimulatedTracker* left = fixture.Tracker(0);
  SimulatedTracker* right = fixture.Tracker(1);
  EXPECT_FALSE(left->IsLiveOn());

  ClickTab(window, 1);
  // A dash until the tracker has sent its totals; the first go out at once:
  // 1234 steps, 56 cal and 78 x 10 m from the scenario plus what the
  // tracker counts on top, in the locale's numbers and the stored unit.
  HWND walking = window.Walking()->Window();
  const std::wstring dash = L"\u2014";
  EXPECT_EQ((std::vector<std::wstring>{dash, dash, dash}),
            (std::vector<std::wstring>{ItemText(walking, IDC_WALKING_STEPS), ItemText(walking, IDC_WALKING_DISTANCE),
                                       ItemText(walking, IDC_WALKING_CALORIES)}));
  ASSERT_TRUE(PumpUntil([&] { return left->IsLiveOn(); })) << "live totals were not switched on";
  ASSERT_TRUE(PumpUntil([&] { return ItemText(walking, IDC_WALKING_STEPS) != dash; }));
  const std::wstring sep = LocaleText(LOCALE_STHOUSAND), mark = LocaleText(LOCALE_SDECIMAL);
  std::wstring stepsText = ItemText(walking, IDC_WALKING_STEPS);
  ASSERT_EQ(L"1" + sep, stepsText.substr(0, 1 + sep.size()));
  unsigned steps = 1000 + std::stoul(stepsText.substr(1 + sep.size()));
  EXPECT_GE(steps, 1234u);
  EXPECT_LE(steps, 1240u);
  EXPECT_EQ(L"0" + mark + L"8 km", ItemText(walking, IDC_WALKING_DISTANCE));
  EXPECT_EQ(L"56 cal", ItemText(walking, IDC_WALKING_CALORIES));
  EXPECT_FALSE(right->IsLiveOn());

  ClickTab(window, 0);
  ASSERT_TRUE(PumpUntil([&] { return !left->IsLiveOn(); })) << "live totals were not switched off";
  ClickTab(window, 1);
  ASSERT_TRUE(PumpUntil([&] { return left->IsLiveOn(); })) << "live totals were not switched on again";
  ClickTab(window, 3);
  ASSERT_TRUE(PumpUntil([&] { return !left->IsLiveOn(); }));
  // The Walking page was made once and kept.
  EXPECT_EQ((std::vector<int>{0, 1, 3}), window.PagesMade());

  // Miles chosen on the Trends tab: stored, and its figures and the
  // Walking page's distances follow at once.
  TrendsTabPage* trends = window.Trends();
  ASSERT_TRUE(trends);
  trends->ChoosePeriod(PeriodAll);
  ASSERT_TRUE(PumpUntil([&] { return !trends->Working(); }));
  ASSERT_EQ(L"Total distance", ItemText(trends->Window(), IDC_TRENDS_LABEL + 1));
  ASSERT_EQ(1, trends->ChooseDistanceUnit(DistanceMiles));
  EXPECT_EQ(2, fixture.ReadNumber(L"DistanceUnit"));
  const std::wstring total = ItemText(trends->Window(), IDC_TRENDS_VALUE + 1);
  EXPECT_EQ(L" mi", total.substr(std::max<size_t>(total.size(), 3) - 3)) << total;
  EXPECT_TRUE(Contains(trends->Document(), L"\"unit\":\"mi\"")) << "the chart page in miles";
  ASSERT_TRUE(PumpUntil([&] { return ItemText(walking, IDC_WALKING_DISTANCE) == L"0" + mark + L"5 mi"; }));
}

TEST_F(MainWindowTest, StartingOnTheWalkingTabSwitchesTheFoundTrackersTotalsOnAndTheyFollowTheSelection) {
  // The tab is shown before the search has found anything.
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  SimulatedTracker* left = fixture.Tracker(0);
  SimulatedTracker* right = fixture.Tracker(1);
  ASSERT_TRUE(PumpUntil([&] { return left->IsLiveOn(); })) << "the first tracker's totals stayed off";
  EXPECT_FALSE(right->IsLiveOn());
  ASSERT_TRUE(PumpUntil([&] { return !ItemText(window.Walking()->Window(), IDC_WALKING_STEPS).empty(); }));

  ChooseItem(window.Window(), window.Devices(), 1);
  ASSERT_TRUE(PumpUntil([&] { return right->IsLiveOn() && !left->IsLiveOn(); }))
      << "the totals did not follow the selected tracker";
  ClickTab(window, 2);
  ASSERT_TRUE(PumpUntil([&] { return !right->IsLiveOn(); }));
  EXPECT_FALSE(left->IsLiveOn());
}

TEST_F(MainWindowTest, TheInfoLinkSetsTheTrackersClockToTheComputersTimeAfterKeepingItsHistory) {
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened) << "the search and the downloads did not finish";
  MainWindow& window = *opened;
  SimulatedTracker* left = fixture.Tracker(0);
  ASSERT_EQ(1401789600LL, left->GetClock());
  LinkLabel& link = window.Info()->SetTimeLink();
  HWND control = link.Control();
  ASSERT_NE(nullptr, control);
  EXPECT_STREQ(InfoPage::SetTimeText, link.Text());

  // The link never has the first focus, nor when its tab comes back.
  EXPECT_EQ(window.Tabs().Tab(), GetFocus());
  ClickTab(window, 1);
  ClickTab(window, 0);
  EXPECT_NE(control, GetFocus());
  // Nor when the window comes back after the focused button went disabled
  // (as each operation does to the search button).
  HWND search = GetDlgItem(window.Window(), IDC_MAIN_SEARCH);
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
  SetFocus(search);
  EnableWindow(search, FALSE);
  for (HWND active : {other, window.Window()}) SetActiveWindow(active);
  EnableWindow(search, TRUE);
  DestroyWindow(other);
  EXPECT_EQ(window.Tabs().Tab(), GetFocus());

  // Point at the link text and click it.
  RECT client;
  GetClientRect(control, &client);
  POINT point = {-1, (client.top + client.bottom) / 2};
  for (int x = 0; x < client.right; ++x) {
    if (link.IsOverText(POINT{x, point.y})) {
      point.x = x + 4;
      break;
    }
  }
  ASSERT_GE(point.x, 0) << "no point of the link lies over its text";
  POINT screen = point;
  ClientToScreen(control, &screen);
  SetCursorPos(screen.x, screen.y);
  LPARAM at = MAKELPARAM(point.x, point.y);
  // Another tracker chosen while the question is shown: Yes sets no clock.
  {
    windowtest::BoxAnswer box(window.Window(), IDYES);
    box.meanwhile = [&] { ChooseItem(window.Window(), window.Devices(), 1); };
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) SendMessageW(control, message, 0, at);
    ASSERT_TRUE(box.Seen());
    EXPECT_EQ(0, window.Worker().DownloadsPending(nullptr));
    ChooseItem(window.Window(), window.Devices(), 0);
  }
  // The question names the tracker and what the PC holds; Enter keeps the
  // clock, Yes sets it.
  for (int answer : {0, IDYES}) {
    windowtest::BoxAnswer box(window.Window(), answer);
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) SendMessageW(control, message, 0, at);
    ASSERT_TRUE(box.Seen());
    EXPECT_EQ(IDNO, box.defaultId);
    EXPECT_NE(std::wstring::npos, box.text.find(twotrackers::LeftText)) << box.text;
    EXPECT_NE(std::wstring::npos, box.text.find(L"2 walking runs and 1 sleeping run")) << box.text;
    EXPECT_EQ(answer ? 1 : 0, window.Worker().DownloadsPending(nullptr));
  }

  SYSTEMTIME now;
  GetSystemTime(&now);
  long long nowSeconds = ToUnixTime(now);
  ASSERT_TRUE(PumpUntil([&] { return left->GetClock() > 1401789600LL + 3600; })) << "the clock was not set";
  EXPECT_LE(std::llabs(left->GetClock() - nowSeconds), 5);
  // The device information is read again and shows the new clock.
  HWND info = window.Info()->Window();
  SYSTEMTIME local;
  GetLocalTime(&local);  // the PC's own local time, now on the tracker
  WideString date;
  FormatDate(date, DATE_SHORTDATE, &local, 0);
  ASSERT_TRUE(PumpUntil([&] { return ItemText(info, IDC_INFO_TIME).find(date.CStr()) == 0; }))
      << ItemText(info, IDC_INFO_TIME);
  // The tracker forgot its runs; the store keeps them.
  Bytes walking, sleeping;
  left->GetHeldHistory(walking, sleeping);
  EXPECT_EQ(24u, walking.size());
  EXPECT_EQ(fixture.Tracker(1)->GetClock(), 1401793200LL);  // the other tracker is untouched
  ASSERT_TRUE(fixture.CloseWindow());
  EXPECT_EQ(twotrackers::ExpectedWalkingRows(),
            twotrackers::StoredRows(fixture.DatabasePath().c_str(), L"walking"));
}

TEST_F(MainWindowTest, TheWindowIsNotSizedBelowItsMinimumClientSize) {
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened) << "the search and the downloads did not finish";
  MainWindow& window = *opened;
  HWND handle = window.Window();
  const int minimumWidth = window.DialogUnitsToPixelsX(400);
  const int minimumHeight = window.DialogUnitsToPixelsY(200);
  SetWindowPos(handle, nullptr, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER);
  RECT client;
  GetClientRect(handle, &client);
  EXPECT_EQ(minimumWidth, client.right);
  EXPECT_EQ(minimumHeight, client.bottom);

  // Larger sizes are taken as asked, and the tab control grows with them.
  RECT tabBefore;
  GetWindowRect(window.Tabs().Tab(), &tabBefore);
  RECT outer;
  GetWindowRect(handle, &outer);
  SetWindowPos(handle, nullptr, 0, 0, outer.right - outer.left + 100, outer.bottom - outer.top + 50,
               SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(handle, &client);
  EXPECT_EQ(minimumWidth + 100, client.right);
  EXPECT_EQ(minimumHeight + 50, client.bottom);
  RECT tabAfter;
  GetWindowRect(window.Tabs().Tab(), &tabAfter);
  EXPECT_EQ(tabBefore.right - tabBefore.left + 100, tabAfter.right - tabAfter.left);
  EXPECT_EQ(tabBefore.bottom - tabBefore.top + 50, tabAfter.bottom - tabAfter.top);
}

TEST_F(MainWindowTest, TheTabAndThePlacementAreWrittenAtExitAndRestoredAtTheNextStart) {
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened) << "the search and the downloads did not finish";
  MainWindow& window = *opened;
  EXPECT_EQ(-1, fixture.ReadNumber(L"Tab"));
  // About stands after Trends, and is stored as 3 as it always was.
  ClickTab(window, 4);
  SetWindowPos(window.Window(), nullptr, 40, 50, 1000, 520, SWP_NOZORDER);
  ASSERT_TRUE(fixture.CloseWindow());
  EXPECT_EQ(3, fixture.ReadNumber(L"Tab"));
  EXPECT_EQ(0, fixture.ReadNumber(L"Flags"));
  EXPECT_EQ(L"1,40,50,1040,570", fixture.ReadText(L"Main"));

  MainWindow* reopened = OpenIdle();
  ASSERT_NE(nullptr, reopened);
  MainWindow& again = *reopened;
  EXPECT_EQ(4, again.Tabs().Current());
  ASSERT_NE(nullptr, again.About());
  EXPECT_TRUE(IsWindowVisible(again.About()->Window()));
  RECT rect;
  GetWindowRect(again.Window(), &rect);
  EXPECT_EQ(40, rect.left);
  EXPECT_EQ(50, rect.top);
  EXPECT_EQ(1040, rect.right);
  EXPECT_EQ(570, rect.bottom);
}

// How the watched window is on screen once idle, just before a run that
// closes by itself closes it: maximised, and its normal rectangle.
const MainWindow* watchedWindow = nullptr;
WINDOWPLACEMENT placementAtIdle = {};
LRESULT CALLBACK WatchIdle(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && message->message == MainWindow::WM_IDLE_REACHED &&
      message->hwnd == watchedWindow->Window() && IsWindowVisible(message->hwnd)) {
    placementAtIdle.length = sizeof(placementAtIdle);
    GetWindowPlacement(message->hwnd, &placementAtIdle);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, AMaximisedWindowComesBackMaximisedAndKeepsItsNormalRectangle) {
  RegSetKeyValueW(HKEY_CURRENT_USER, fixture.Key().c_str(), L"Main", REG_SZ, L"3,40,50,1040,570", 36);
  MainWindowSetup setup = fixture.Setup();
  setup.quitWhenIdle = true;  // the program's modal run, which saves the placement as it ends
  MainWindow window(setup);
  watchedWindow = &window;
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, WatchIdle, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);
  EXPECT_EQ(0, window.RunModal(nullptr, IDD_MAIN, 0, nullptr));
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(static_cast<UINT>(SW_SHOWMAXIMIZED), placementAtIdle.showCmd);
  const RECT normal = {40, 50, 1040, 570};  // what un-maximising gives
  EXPECT_TRUE(EqualRect(&normal, &placementAtIdle.rcNormalPosition));
  EXPECT_EQ(L"3,40,50,1040,570", fixture.ReadText(L"Main"));

  // Closed before it was ever shown, it stays the maximised window it was.
  MainWindow hidden(fixture.Setup());
  ASSERT_NE(nullptr, hidden.CreateModeless(nullptr, IDD_MAIN, 0, nullptr));
  windowtest::BoxAnswer closeNow(hidden.Window(), IDNO);  // when downloads are still under way
  hidden.Close(0);
  EXPECT_EQ(nullptr, hidden.Window());
  EXPECT_EQ(L"3,40,50,1040,570", fixture.ReadText(L"Main"));
}

TEST_F(MainWindowTest, QuitWhenIdleEndsTheModalRunWithZeroAfterStoringAndShowingTheHistory) {
  MainWindowSetup setup = fixture.Setup();
  setup.quitWhenIdle = true;
  fixture.WriteNumber(L"Tab", 1);
  MainWindow window(setup);
  EXPECT_EQ(0, window.RunModal(nullptr, IDD_MAIN, 0, nullptr));
  EXPECT_TRUE(window.Idle());
  // The Walking tab was shown with the latest walk of the first tracker:
  // 7 and 8 steps over 50 and 60 metres.
  ASSERT_NE(nullptr, window.Walking());
  EXPECT_TRUE(Contains(window.Walking()->Document(), L"50,60"));
  EXPECT_EQ(1, fixture.ReadNumber(L"Tab"));
  EXPECT_NE(L"<missing>", fixture.ReadText(L"Main"));
  EXPECT_EQ(twotrackers::ExpectedSleepingRows(),
            twotrackers::StoredRows(fixture.DatabasePath().c_str(), L"sleeping"));
}

TEST_F(MainWindowTest, AHistoryInAFolderPelltonCannotWriteIsShownAndTheUserIsToldToMoveTheProgram) {
  ASSERT_NE(nullptr, OpenIdle());
  ASSERT_TRUE(fixture.CloseWindow());
  // Where the journal must go lies a folder (the tests run with rights that
  // ignore read-only folders): nothing can be made beside the file.
  ASSERT_TRUE(CreateDirectoryW((fixture.DatabasePath() + L"-wal").c_str(), nullptr));
  MainWindowSetup setup = fixture.Setup();
  setup.quitWhenIdle = true;
  fixture.WriteNumber(L"Tab", 1);
  MainWindow window(setup);
  // A sync that could store nothing says so in its exit code.
  EXPECT_EQ(MainWindow::QuitSomethingFailed, window.RunModal(nullptr, IDD_MAIN, 0, nullptr));
  const std::wstring notice = NoticeOf(window.Store());
  EXPECT_NE(std::wstring::npos, notice.find(L"cannot write in the folder")) << notice;
  EXPECT_NE(std::wstring::npos, notice.find(L"into a folder of your own")) << notice;
  // The latest walk of the first tracker is shown; downloaded again, no run is stored.
  EXPECT_TRUE(Contains(window.Walking()->Document(), L"50,60"));
  EXPECT_EQ(5u, window.Store().RunsFailed());
}

TEST_F(MainWindowTest, ADamagedDatabaseIsMovedAsideTheUserIsToldWhereAndTheDownloadsGoIntoANewFile) {
  const std::string junk(12000, '\x5A');
  const std::wstring path = fixture.DatabasePath();
  ASSERT_TRUE(WriteFileText(path, junk));

  windowtest::BoxAnswer watch(nullptr);
  MainWindow* window = fixture.Open();
  ASSERT_NE(nullptr, window);
  watch.owner = window->Window();
  ASSERT_TRUE(PumpUntil([&] { return watch.Seen(); })) << "no message box";
  EXPECT_NE(std::wstring::npos, watch.text.find(path + L" is not an activity database")) << watch.text;
  size_t at = watch.text.find(L"It was moved to ");
  ASSERT_NE(std::wstring::npos, at) << watch.text;
  std::wstring aside = watch.text.substr(at + 16, watch.text.find(L".sql", at) + 4 - (at + 16));

  ASSERT_TRUE(PumpUntil([&] { return window->Idle(); }));
  ASSERT_TRUE(fixture.CloseWindow());
  EXPECT_EQ(twotrackers::ExpectedWalkingRows(), twotrackers::StoredRows(path.c_str(), L"walking"));
  EXPECT_EQ(junk, ReadFileText(aside)) << aside;
}

TEST(HeldDownloadTest, TheInfoPageFillsBeforeTheDownloadsAndClosingMeanwhileAsksFirst) {
  // The trackers answer a history request only when the test moves their clock on.
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers("delay CMD_HISTORY 1000\n"));
  MainWindowSetup setup = fixture.Setup();
  setup.timings.historyPeriodMs = 600000;
  MainWindow* window = fixture.Open(&setup);
  ASSERT_NE(nullptr, window);
  HWND handle = window->Window();
  int running = -1;
  ASSERT_TRUE(PumpUntil([&] { return window->Worker().DownloadsPending(&running) == 2 && running == 0; }));
  EXPECT_TRUE(PumpUntil([&] { return ItemText(window->Info()->Window(), IDC_INFO_FIRMWARE) == L"1.2.3"; }, 10000));
  // A tracker picked meanwhile shows before the downloads still waiting.
  ChooseItem(handle, window->Devices(), 1);
  fixture.Ticks().Advance(1000);
  fixture.Tracker(0)->Wake();
  EXPECT_TRUE(PumpUntil([&] { return ItemText(window->Info()->Window(), IDC_INFO_FIRMWARE) == L"2.0.1"; }, 10000));
  ASSERT_TRUE(PumpUntil([&] { return window->Worker().DownloadsPending(&running) == 1 && running == 1; }));

  for (int answer : {IDCANCEL, 0}) {  // keep it open; then the default, close once done
    windowtest::BoxAnswer box(handle, answer);
    SendMessageW(handle, WM_COMMAND, MAKEWPARAM(IDC_MAIN_CLOSE, BN_CLICKED), 0);
    ASSERT_TRUE(box.Seen());
    EXPECT_EQ(IDYES, box.defaultId);
    EXPECT_NE(std::wstring::npos, box.text.find(L"tracker 2 of 2, " + std::wstring(twotrackers::RightText))) << box.text;
    EXPECT_TRUE(IsWindowVisible(handle));
  }
  ASSERT_TRUE(PumpUntil([&] {
    fixture.Ticks().Advance(100);
    fixture.Tracker(0)->Wake();
    fixture.Tracker(1)->Wake();
    return !IsWindow(handle);
  })) << "the window did not close once the downloads were done";
  EXPECT_EQ(twotrackers::ExpectedSleepingRows(),
            twotrackers::StoredRows(fixture.DatabasePath().c_str(), L"sleeping"));
}

namespace {

// The rows of the days or nights export of the tracker over March 2014, as
// numbers (the first two columns, tracker and date, left out).
std::vector<std::vector<unsigned long long>> ExportRows(sqlite3* db, ExportKind kind, const std::wstring& path) {
  ExportRequest request;
  request.kind = kind;
  memcpy(request.tracker, "00:11:22:33:44:01", 18);
  request.dates.from = 20140301, request.dates.to = 20140331;
  OutputFile file;
  ExportOutcome outcome;
  std::vector<std::vector<unsigned long long>> rows;
  if (!file.Open(path.c_str(), outcome.problem) || WriteExport(db, request, file, nullptr, outcome) != ExportDone) return rows;
  std::string text(4096, '\0'), line, cell;
  FILE* read = _wfopen(path.c_str(), L"rb");
  text.resize(read ? fread(&text[0], 1, text.size(), read) : 0);
  if (read) fclose(read);
  std::istringstream in(text);
  for (std::getline(in, line); std::getline(in, line);) {
    std::istringstream cells(line);
    rows.emplace_back();
    for (int column = 0; std::getline(cells, cell, ','); ++column) {
      if (column >= 2) rows.back().push_back(strtoull(cell.c_str(), nullptr, 10));
    }
  }
  return rows;
}

std::wstring TimeOfDay(WORD hour, WORD minute) {
  const SYSTEMTIME time = {2014, 3, 0, 1, hour, minute, 0, 0};
  WideString text;
  FormatTime(text, TIME_NOSECONDS, &time, 0);
  return text.CStr();
}

}  // namespace

// A hand-made history (TrendsHistory.h) stored under the left tracker
// before the start; the stored "Tab" 4 opens Trends. March 2014 with today
// 2014-04-04: the figures as worked out by hand, which the days and nights
// exports of the same history also give.
TEST_F(MainWindowTest, TheTrendsTabShowsTheFiguresOfAHandMadeHistoryAsTheExportsGiveThem) {
  const std::wstring database = fixture.DatabasePath();
  ASSERT_EQ(1, trendstest::StoreHistory(database.c_str()));
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open16(database.c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db,
                                    "UPDATE walking SET mac = '00:11:22:33:44:01' WHERE mac = '02:50:4C:54:4E:01';"
                                    "UPDATE sleeping SET mac = '00:11:22:33:44:01' WHERE mac = '02:50:4C:54:4E:01';",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  RegSetKeyValueW(HKEY_CURRENT_USER, fixture.Key().c_str(), L"Goals", REG_SZ, trendstest::Goals,
                  static_cast<DWORD>(sizeof trendstest::Goals));
  fixture.WriteNumber(L"DistanceUnit", 1);
  fixture.WriteNumber(L"Tab", 4);
  MainWindowSetup setup = fixture.Setup();
  setup.today = 20140404;
  MainWindow* window = fixture.Open(&setup);
  ASSERT_TRUE(window && PumpUntil([&] { return window->Idle(); }));
  TrendsTabPage* page = window->Trends();
  ASSERT_TRUE(page && IsWindowVisible(page->Window()));
  page->MovePeriod(-1);
  EXPECT_EQ(20140301, page->Period().first);
  ASSERT_TRUE(PumpUntil([&] { return !page->Working(); }));
  std::vector<std::wstring> shown;
  for (int i = 0; i < 9; ++i) shown.push_back(ItemText(page->Window(), IDC_TRENDS_VALUE + i));

  const std::wstring sep = LocaleText(LOCALE_STHOUSAND), mark = LocaleText(LOCALE_SDECIMAL);
  const SYSTEMTIME best = {2014, 3, 4, 27, 0, 0, 0, 0};
  WideString bestDate;
  FormatDate(bestDate, DATE_SHORTDATE, &best, 0);
  const std::vector<std::wstring> expected = {L"11" + sep + L"446", L"148" + mark + L"8 km",
                                              L"15" + sep + L"000 (" + bestDate.CStr() + L")", L"12 of 13",
                                              L"3 days", L"12 days", L"4 h 44 min", TimeOfDay(23, 40),
                                              TimeOfDay(5, 47)};
  EXPECT_EQ(expected, shown);

  // A new goal holds from today: March keeps its days at goal.
  ASSERT_EQ(1, page->SetGoal(15000));
  EXPECT_EQ(L"2014-03-25:12000,2014-04-04:15000", fixture.ReadText(L"Goals"));
  ASSERT_TRUE(PumpUntil([&] { return !page->Working(); }));
  EXPECT_EQ(L"12 of 13", ItemText(page->Window(), IDC_TRENDS_VALUE + 3));
  EXPECT_EQ(L"15000", ItemText(page->Window(), IDC_TRENDS_GOAL));

  // The Sleeping page's summary of the night of 03-29, split into two runs
  // over the change to summer time, from its second run: the whole night.
  ClickTab(*window, 2);
  SleepingPage* sleeping = window->Sleeping();
  ASSERT_TRUE(sleeping && PumpUntil([&] { return sleeping->Dates().Count() > 1; }));
  int second = sleeping->Dates().Count();
  while (--second >= 0 && ComboValue(sleeping->Dates(), second) != 1396140720) {}
  ASSERT_LE(0, second);
  ChooseItem(sleeping->Window(), sleeping->Dates(), second);
  shown.clear();
  for (int id = IDC_SLEEPING_BEDTIME; id <= IDC_SLEEPING_AWAKE; ++id) shown.push_back(ItemText(sleeping->Window(), id));
  EXPECT_EQ((std::vector<std::wstring>{TimeOfDay(23, 0), TimeOfDay(3, 2), L"11 min", L"4 min"}), shown);
  ASSERT_TRUE(fixture.CloseWindow());

  // The same figures from the exports: steps, calories, metres a day; the
  // nights' asleep minutes.
  ASSERT_EQ(SQLITE_OK, sqlite3_open16(database.c_str(), &db));
  const auto days = ExportRows(db, ExportDays, database + L".days.csv");
  const auto nights = ExportRows(db, ExportNights, database + L".nights.csv");
  sqlite3_close(db);
  unsigned long long steps = 0, metres = 0, bestSteps = 0, asleep = 0;
  for (const auto& day : days) steps += day.at(0), metres += day.at(2), bestSteps = std::max(bestSteps, day.at(0));
  for (const auto& night : nights) asleep += night.at(2);
  ASSERT_EQ(13u, days.size());
  ASSERT_EQ(3u, nights.size());
  EXPECT_EQ(11446u, (steps + 6) / 13);
  EXPECT_EQ(148800u, metres);
  EXPECT_EQ(15000u, bestSteps);
  EXPECT_EQ(284u, (asleep + 1) / 3);
}

namespace {

RECT BarOf(HWND chart, int series, int point) {
  RECT bar = {-1, -1, -1, -1};
  if (!SendMessageW(chart, NativeChartGetBarRect, MAKEWPARAM(point, series), reinterpret_cast<LPARAM>(&bar))) {
    return RECT{-1, -1, -1, -1};
  }
  return bar;
}

int NoBrowserStarts(const wchar_t*) { return 0; }

}  // namespace

TEST_F(MainWindowTest, WithoutABrowserThePagesDrawTheRunThemselvesAndTheLinkBelowSaysWhereThePageWent) {
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  ASSERT_NE(nullptr, window.Walking());
  HWND chart = window.Walking()->Native().Window();
  ASSERT_TRUE(chart) << "the test prefix has no browser engine: the page draws the chart";
  EXPECT_TRUE(IsWindowVisible(chart));
  // The latest walk: 50 and 60 metres on the left axis (0-100), 2 and 3
  // calories on the right one (0-5), side by side on one base line.
  const RECT distance[2] = {BarOf(chart, 0, 0), BarOf(chart, 0, 1)};
  const RECT calories[2] = {BarOf(chart, 1, 0), BarOf(chart, 1, 1)};
  for (const RECT& bar : {distance[0], distance[1], calories[0], calories[1]}) {
    EXPECT_GT(bar.right, bar.left);
    EXPECT_EQ(distance[0].bottom, bar.bottom);
  }
  EXPECT_LT(distance[0].right, distance[1].left);
  EXPECT_LE(distance[0].right, calories[0].left);
  const double full = (distance[0].bottom - distance[0].top) / 0.5;
  EXPECT_NEAR(0.6 * full, distance[1].bottom - distance[1].top, 1.5);
  EXPECT_NEAR(0.4 * full, calories[0].bottom - calories[0].top, 1.5);
  EXPECT_NEAR(0.6 * full, calories[1].bottom - calories[1].top, 1.5);
  EXPECT_EQ(-1, BarOf(chart, 0, 2).left);  // two quarter hours only

  // Its link stands on the line below the chart, and says where the page
  // went when no browser comes up.
  HtmlView& view = window.Walking()->View();
  HWND link = view.Window();
  ASSERT_TRUE(link);
  RECT chartPlace, linkPlace;
  GetWindowRect(chart, &chartPlace);
  GetWindowRect(link, &linkPlace);
  EXPECT_EQ(chartPlace.bottom, linkPlace.top);
  EXPECT_EQ(chartPlace.left, linkPlace.left);
  HtmlView::SetDocumentOpener(NoBrowserStarts);
  SendMessageW(link, WM_KEYDOWN, VK_RETURN, 0);
  HtmlView::SetDocumentOpener(nullptr);
  const std::wstring notice = view.OpenedNotice().CStr();
  const size_t at = notice.find(L"saved as ");
  ASSERT_NE(std::wstring::npos, at) << notice;
  const std::wstring saved = notice.substr(at + 9);
  EXPECT_NE(std::wstring::npos, saved.find(L"Pellton chart "));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(saved.c_str()));

  // The night, minute by minute (AA 55 55): walking (75) four minutes, then
  // asleep (15), zoomed and moved with the keys and back.
  ClickTab(window, 2);
  ASSERT_TRUE(PumpUntil([&] { return window.Sleeping() && window.Sleeping()->Dates().Count() == 1; }));
  HWND night = window.Sleeping()->Native().Window();
  ASSERT_TRUE(night);
  const RECT walking = BarOf(night, 0, 0), asleep = BarOf(night, 0, 4);
  EXPECT_LT(walking.top, asleep.top);
  EXPECT_EQ(walking.top, BarOf(night, 0, 3).top);
  double view2[2] = {};
  SendMessageW(night, WM_KEYDOWN, VK_ADD, 0);
  SendMessageW(night, NativeChartGetView, 0, reinterpret_cast<LPARAM>(view2));
  EXPECT_DOUBLE_EQ(3, view2[0]);  // twelve minutes, half of them around the middle
  EXPECT_DOUBLE_EQ(9, view2[1]);
  SendMessageW(night, WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageW(night, NativeChartGetView, 0, reinterpret_cast<LPARAM>(view2));
  EXPECT_DOUBLE_EQ(3.6, view2[0]);  // a tenth of the view
  EXPECT_EQ(-1, BarOf(night, 0, 0).left);  // scrolled out of the view
  SendMessageW(night, WM_KEYDOWN, VK_HOME, 0);
  SendMessageW(night, NativeChartGetView, 0, reinterpret_cast<LPARAM>(view2));
  EXPECT_DOUBLE_EQ(0, view2[0]);
  EXPECT_DOUBLE_EQ(12, view2[1]);
  // And with the mouse: a range dragged over minutes 4 to 8 is zoomed to,
  // the wheel zooms out again around the pointer, "Reset zoom" shows all.
  const RECT fifth = BarOf(night, 0, 4), ninth = BarOf(night, 0, 8);
  SendMessageW(night, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fifth.left, fifth.top));
  SendMessageW(night, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(ninth.left, fifth.top));
  SendMessageW(night, WM_LBUTTONUP, 0, MAKELPARAM(ninth.left, fifth.top));
  SendMessageW(night, NativeChartGetView, 0, reinterpret_cast<LPARAM>(view2));
  EXPECT_NEAR(4, view2[0], 0.1);
  EXPECT_NEAR(8, view2[1], 0.1);
  POINT middle = {(fifth.left + ninth.left) / 2, fifth.top};
  ClientToScreen(night, &middle);
  SendMessageW(night, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(middle.x, middle.y));
  SendMessageW(night, NativeChartGetView, 0, reinterpret_cast<LPARAM>(view2));
  EXPECT_NEAR(5, view2[1] - view2[0], 0.1);  // a fifth wider
  // A touchpad's half steps add up to one.
  for (int half = 0; half < 2; ++half) {
    SendMessageW(night, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA / 2)), MAKELPARAM(middle.x, middle.y));
  }
  SendMessageW(night, NativeChartGetView, 0, reinterpret_cast<LPARAM>(view2));
  EXPECT_NEAR(6.25, view2[1] - view2[0], 0.1);
  RECT reset = {};
  GetClientRect(night, &reset);
  for (int x = reset.right - 1; x > 0; --x) {  // the button stands at the top right
    SendMessageW(night, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 10));
    SendMessageW(night, WM_LBUTTONUP, 0, MAKELPARAM(x, 10));
    SendMessageW(night, NativeChartGetView, 0, reinterpret_cast<LPARAM>(view2));
    if (view2[1] - view2[0] == 12) break;
  }
  EXPECT_DOUBLE_EQ(12, view2[1] - view2[0]);

  // The pages saved for a browser go with the program.
  ASSERT_TRUE(fixture.CloseWindow());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(saved.c_str()));
}

TEST_F(MainWindowTest, DarkAppsInTheWindowsSettingDarkenTheChartPageAndTheNativeChartWhenTheyChange) {
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* opened = OpenIdle();
  ASSERT_NE(nullptr, opened);
  ASSERT_NE(nullptr, opened->Walking());
  EXPECT_TRUE(Contains(opened->Walking()->Document(), L"<html class=\"pellton-light\">"));
  // A zoomed night stays zoomed through the change.
  ClickTab(*opened, 2);
  ASSERT_TRUE(PumpUntil([&] { return opened->Sleeping() && opened->Sleeping()->Dates().Count() == 1; }));
  opened->Sleeping()->Native().ZoomTo(0, 4);
  ASSERT_TRUE(opened->Sleeping()->Native().Zoomed());
  // The user switches to dark apps while the program runs.
  const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  HKEY personalize = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &personalize, nullptr));
  DWORD dark = 0;
  RegSetValueExW(personalize, L"AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dark), sizeof dark);
  SendMessageW(opened->Window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
  RegDeleteValueW(personalize, L"AppsUseLightTheme");
  RegCloseKey(personalize);
  EXPECT_TRUE(Contains(opened->Walking()->Document(), L"<html class=\"pellton-dark\">"));
  EXPECT_TRUE(Contains(opened->Walking()->Document(), L"background:'#2b2b2b'"));
  EXPECT_TRUE(opened->Sleeping()->Native().Zoomed());
  // The window stays dark until Windows announces otherwise; so do its charts.
  opened->Walking()->ShowChart();
  EXPECT_TRUE(Contains(opened->Walking()->Document(), L"<html class=\"pellton-dark\">"));
  // The native chart's own background, drawn into a bitmap.
  HWND chart = opened->Walking()->Native().Window();
  ASSERT_TRUE(chart);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 40);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageW(chart, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  // The chart and the table in its place share one background.
  EXPECT_EQ(RGB(0x2B, 0x2B, 0x2B), GetPixel(memory, 5, 5));
  EXPECT_EQ(GetPixel(memory, 5, 5), static_cast<COLORREF>(SendMessageW(opened->Walking()->Table().Control(),
                                                                       LVM_GETBKCOLOR, 0, 0)));
  // So does the link's line below it.
  UpdateWindow(opened->Walking()->View().Window());
  EXPECT_EQ(RGB(0x2B, 0x2B, 0x2B), testcapture::CaptureWindow(opened->Walking()->View().Window()).At(1, 1));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// The Trends tab made over the Walking tab leaves the walk picked there
// alone; a goal being typed survives a refresh; Enter in the goal box sets
// it (the window stays open) and the page says so; stored goals that
// cannot be read are kept until Set is pressed again; a goal out of range
// is refused with the reason.
TEST_F(MainWindowTest, TheTrendsGoalBoxTakesEnterKeepsTypingAndNeverDropsStoredGoalsUnasked) {
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* window = OpenIdle();
  ASSERT_TRUE(window && window->Walking());
  ImageCombo& walks = window->Walking()->Dates();
  ASSERT_LT(1, walks.Count());
  const int picked = SelectedIndex(walks) == 0 ? 1 : 0;
  ChooseItem(window->Walking()->Window(), walks, picked);
  ClickTab(*window, PageOfStored(4));
  TrendsTabPage* page = window->Trends();
  ASSERT_TRUE(page && PumpUntil([&] { return !page->Document().IsEmpty(); }));
  EXPECT_EQ(picked, SelectedIndex(walks));

  HWND box = GetDlgItem(page->Window(), IDC_TRENDS_GOAL);
  SetFocus(box);
  SetWindowTextW(box, L"12345");
  window->OnTrackerUpdate(UpdateWalking | UpdateSleeping);
  EXPECT_EQ(L"12345", ItemText(page->Window(), IDC_TRENDS_GOAL));
  MSG enter = {box, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
  EXPECT_TRUE(IsDialogMessageW(window->Window(), &enter));
  ASSERT_TRUE(window->Window() && IsWindowVisible(window->Window()));
  ASSERT_TRUE(PumpUntil([&] { return !page->Working(); }));
  const std::wstring goals = fixture.ReadText(L"Goals");
  EXPECT_EQ(L":12345", goals.substr(goals.size() - 6));
  const std::wstring sep = LocaleText(LOCALE_STHOUSAND);
  EXPECT_EQ(L"The goal is 12" + sep + L"345 steps a day from today on.", ItemText(page->Window(), IDC_TRENDS_STATUS));

  RegSetKeyValueW(HKEY_CURRENT_USER, fixture.Key().c_str(), L"Goals", REG_SZ, L"x", 4);
  EXPECT_EQ(0, page->SetGoal(15000));
  EXPECT_EQ(L"x", fixture.ReadText(L"Goals"));
  EXPECT_NE(std::wstring::npos, ItemText(page->Window(), IDC_TRENDS_STATUS).find(L"Set 15" + sep + L"000 again"));
  EXPECT_EQ(1, page->SetGoal(15000));
  EXPECT_EQ(L":15000", fixture.ReadText(L"Goals").substr(10));
  EXPECT_EQ(0, page->SetGoal(50));
  EXPECT_EQ(L"The goal was not changed: a goal is a number of steps from 100 to 200000 a day.",
            ItemText(page->Window(), IDC_TRENDS_STATUS));
  // Hidden, the page reads nothing; closing while it reads ends cleanly.
  ASSERT_TRUE(PumpUntil([&] { return !page->Working(); }));
  ClickTab(*window, 1);
  window->OnTrackerUpdate(UpdateWalking | UpdateSleeping);
  EXPECT_FALSE(page->Working());
  ClickTab(*window, PageOfStored(4));
  page->ChoosePeriod(PeriodAll);
  ASSERT_TRUE(page->Working());
  EXPECT_EQ(L"Working\u2026", ItemText(page->Window(), IDC_TRENDS_STATUS));
  ASSERT_TRUE(fixture.CloseWindow());
}
