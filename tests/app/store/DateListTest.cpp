// The date list fill on a real owner-drawn combo box: a tracker's runs from
// the store, oldest first, labelled, carrying their start, the latest
// selected; a tracker without runs gets an empty, disabled list.
#include <gtest/gtest.h>

#include <windows.h>


#include <cstring>

#include "app/store/ActivityStore.h"
#include "app/store/DateList.h"
#include "app/store/RunLabel.h"
#include "app/tracker/TrackerList.h"
#include "tests/app/tracker/LinkTestSupport.h"
#include "tests/common/TempFolder.h"
#include "ui/ImageCombo.h"

namespace {

struct DateListFixture : ::testing::Test {
  void SetUp() override {
    parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, parent);
    combo = CreateWindowExW(0, L"COMBOBOX", L"",
                            WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 0, 0,
                            200, 150, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, combo);
    ASSERT_EQ(1, dates.Attach(combo, GetModuleHandleW(nullptr), ImageComboComboBox, 0, 0));
    ASSERT_EQ(1, store.Open(folder.Path().c_str()));
    const unsigned char second[6] = {0xC4, 0x4F, 0x33, 0x0A, 0x1B, 0x2C};
    memcpy(channels[1].address, second, 6);
    for (ScriptedCharacteristic& channel : channels) {
      TrackerLink* link = new TrackerLink;
      link->Attach(&channel);
      ASSERT_EQ(1, trackers.Append(link));
    }
    store.SetTrackers(&trackers);
  }
  void TearDown() override {
    dates.Detach();
    if (parent) DestroyWindow(parent);
    store.SetTrackers(nullptr);
    trackers.Clear();
  }
  void Insert(int tracker, unsigned start) {
    ByteBuffer pattern;
    BufferAppend(pattern, "\xAA\x55", 2);
    ASSERT_EQ(1, store.InsertSleeping(tracker, start, pattern));
    BufferClear(pattern);
  }

  TempFolder folder;
  ActivityStore store;
  ScriptedCharacteristic channels[2];
  TrackerList trackers;
  HWND parent = nullptr;
  HWND combo = nullptr;
  ImageCombo dates;
};

}  // namespace

TEST_F(DateListFixture, RunsAreListedOldestFirstWithTheLatestSelected) {
  Insert(0, 1401667200u);
  Insert(0, 1401580800u);
  Insert(1, 1401600000u);  // another tracker's run is not listed
  dates.AddItem(L"left over", 7, DATE_LIST_ICON, nullptr);
  EnableWindow(combo, FALSE);

  EXPECT_EQ(2, FillDateList(store, 0, dates, SleepingTable));
  ASSERT_EQ(2, dates.Count());
  WideString text, expected;
  int value = 0;
  ASSERT_EQ(1, dates.Item(0, &text, &value));
  EXPECT_EQ(1401580800, value);
  ASSERT_EQ(1, FormatRunLabel(1401580800u, expected));
  EXPECT_STREQ(expected.CStr(), text.CStr());
  ASSERT_EQ(1, dates.Item(1, &text, &value));
  EXPECT_EQ(1401667200, value);
  int selected = -1;
  ASSERT_EQ(1, dates.Selection(&selected, nullptr, &value));
  EXPECT_EQ(1, selected);
  EXPECT_EQ(1401667200, value);
  EXPECT_TRUE(IsWindowEnabled(combo));
}

TEST_F(DateListFixture, ATrackerWithoutRunsGetsAnEmptyDisabledList) {
  Insert(0, 1401580800u);
  EXPECT_EQ(1, FillDateList(store, 0, dates, SleepingTable));
  EXPECT_EQ(0, FillDateList(store, 0, dates, WalkingTable));  // no walking runs
  EXPECT_EQ(0, dates.Count());
  EXPECT_FALSE(IsWindowEnabled(combo));
  EXPECT_EQ(0, FillDateList(store, -1, dates, SleepingTable));  // no tracker
  EXPECT_EQ(0, dates.Count());
  EXPECT_FALSE(IsWindowEnabled(combo));
}
