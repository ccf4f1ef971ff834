// The Walking list of the real window over a history longer than what it
// lists at once: whole and in order in the end, a run chosen meanwhile kept;
// and a download that stored nothing new for the selected tracker leaves
// its list alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/tracker/TrackerUpdate.h"
#include "app/window/WalkingPage.h"
#include "resources/ResourceIds.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/trends/TrendsHistory.h"
#include "tests/app/window/WindowTestSupport.h"

namespace {

std::vector<int> Starts(ImageCombo& combo) {
  std::vector<int> starts;
  for (int i = 0, value = 0; i < combo.Count(); ++i) starts.push_back(combo.Item(i, nullptr, &value) ? value : -1);
  return starts;
}

int Selected(ImageCombo& combo) { return windowtest::SelectedIndex(combo); }

void Choose(HWND parent, ImageCombo& combo, int index) { windowtest::ChooseItem(parent, combo, index); }

LONG downloadsPosted = 0;
LRESULT CALLBACK CountDownloads(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_TRACKER_UPDATE && message->lParam) {
    ++downloadsPosted;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class DateListFillTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(1, fixture.AddTwoTrackers());
    fixture.WriteNumber(L"Tab", 1);
  }
  // Four walks a day for 100 days before the trackers' own history, and the
  // download's two walks; their starts in order.
  std::vector<int> StoreHundredDays() {
    std::vector<int> expected;
    ActivityStore store;
    EXPECT_EQ(1, store.OpenFile(fixture.DatabasePath().c_str()));
    for (WORD day = 0; day < 100; ++day) {
      for (WORD hour : {6, 10, 14, 18}) {
        const unsigned start = trendstest::Utc(2014, 1, 1, hour, 0) + day * 86400u;
        EXPECT_EQ(1, trendstest::Store(store, WalkingTable, twotrackers::LeftAddress, start, {100, 200}));
        expected.push_back(static_cast<int>(start));
      }
    }
    expected.push_back(static_cast<int>(trendstest::Utc(2014, 6, 1, 0, 0)));
    expected.push_back(static_cast<int>(trendstest::Utc(2014, 6, 1, 1, 30)));
    return expected;
  }
  windowtest::WindowFixture fixture;
};

}  // namespace

TEST_F(DateListFillTest, AHistoryLongerThanTheFirstStepEndsWholeAndKeepsARunChosenMeanwhile) {
  const std::vector<int> expected = StoreHundredDays();
  MainWindow* window = fixture.Open();
  ASSERT_TRUE(window && PumpUntil([&] { return window->Idle(); }));
  ImageCombo& dates = window->Walking()->Dates();
  EXPECT_EQ(expected, Starts(dates));
  EXPECT_EQ(401, Selected(dates));

  // Picked again, the tracker shows its newest days at once, the newest run
  // selected, and the list is read whole meanwhile.
  Choose(window->Window(), window->Devices(), 1);
  Choose(window->Window(), window->Devices(), 0);
  std::vector<int> first = Starts(dates);
  ASSERT_LT(0u, first.size());
  ASSERT_GT(expected.size(), first.size());
  EXPECT_EQ(std::vector<int>(expected.end() - static_cast<long>(first.size()), expected.end()), first);
  EXPECT_EQ(static_cast<int>(first.size()) - 1, Selected(dates));
  WideString label, whole;
  dates.Item(0, &label, nullptr);
  Choose(window->Walking()->Window(), dates, 0);
  ASSERT_TRUE(PumpUntil([&] { return window->Idle(); }));
  EXPECT_EQ(expected, Starts(dates));
  const int kept = Selected(dates);
  EXPECT_EQ(first[0], kept >= 0 ? expected[static_cast<size_t>(kept)] : -1);
  // The first step held whole days: its oldest run's place in its day is right.
  dates.Item(kept, &whole, nullptr);
  EXPECT_STREQ(whole.CStr(), label.CStr());
}

TEST_F(DateListFillTest, ADayPickedBeforeTheWholeListArrivesIsGoneToInIt) {
  StoreHundredDays();
  MainWindow* window = fixture.Open();
  ASSERT_TRUE(window && PumpUntil([&] { return window->Idle(); }));
  ImageCombo& dates = window->Walking()->Dates();
  // Only the newest days are listed when the day, long before them, is picked.
  Choose(window->Window(), window->Devices(), 1);
  Choose(window->Window(), window->Devices(), 0);
  ASSERT_GT(400, dates.Count());
  SYSTEMTIME day = {};
  day.wYear = 2014, day.wMonth = 1, day.wDay = 5;
  ASSERT_EQ(1, window->Walking()->GoToDay(day));
  ASSERT_TRUE(PumpUntil([&] { return window->Idle(); }));
  ASSERT_EQ(402, dates.Count());
  int start = 0;
  ASSERT_TRUE(dates.Selection(nullptr, nullptr, &start));
  // The run's local day, as Windows converts it.
  const unsigned long long ticks = (static_cast<unsigned long long>(static_cast<unsigned>(start)) + 11644473600ULL) * 10000000ULL;
  FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utcTime, local;
  ASSERT_TRUE(FileTimeToSystemTime(&utc, &utcTime) && SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local));
  EXPECT_EQ(5, local.wDay);
  EXPECT_EQ(1, local.wMonth);
}

TEST_F(DateListFillTest, ADownloadOfTheOtherTrackerOrOfNothingNewKeepsTheListAndANewRunRefillsIt) {
  MainWindow* window = fixture.Open();
  ASSERT_TRUE(window && PumpUntil([&] { return window->Idle(); }));
  WalkingPage& page = *window->Walking();
  ASSERT_EQ(2, page.Dates().Count());
  Choose(page.Window(), page.Dates(), 0);
  // The other tracker's download brings back a walk its file lost.
  ASSERT_EQ(1, window->Store().WithWritableConnection(
                   [](Database& database, void*) {
                     return database.Execute(L"DELETE FROM walking WHERE mac='00:11:22:33:44:02' AND start=1401580800;");
                   },
                   nullptr));
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountDownloads, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);
  downloadsPosted = 0;
  window->Worker().QueueHistory(1);
  window->Worker().QueueHistory(0);
  EXPECT_TRUE(PumpUntil([&] { return downloadsPosted == 2 && window->Idle(); }));
  EXPECT_EQ(0, Selected(page.Dates()));

  // A walk the file lost comes back with the next download: the list is read again.
  ASSERT_EQ(1, window->Store().WithWritableConnection(
                   [](Database& database, void*) {
                     return database.Execute(L"DELETE FROM walking WHERE mac='00:11:22:33:44:01' AND start=1401580800;");
                   },
                   nullptr));
  window->Worker().QueueHistory(0);
  EXPECT_TRUE(PumpUntil([&] { return downloadsPosted == 3 && window->Idle(); }));
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(2, page.Dates().Count());
  EXPECT_EQ(1, Selected(page.Dates()));
}
