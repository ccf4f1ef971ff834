// The date list fill on a real owner-drawn combo box: a tracker's runs as
// the store lists them, oldest first, labelled, carrying their start, the
// latest selected; a tracker without runs gets an empty, disabled list.
#include <gtest/gtest.h>

#include <windows.h>


#include <cstring>

#include "app/store/ActivityStore.h"
#include "app/store/DateList.h"
#include "app/store/RunLabel.h"
#include "resources/ResourceIds.h"
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
  }
  void TearDown() override {
    dates.Detach();
    if (parent) DestroyWindow(parent);
  }
  void Insert(const wchar_t* tracker, unsigned start) {
    ByteBuffer pattern;
    BufferAppend(pattern, "\xAA\x55", 2);
    ASSERT_EQ(1, store.InsertRun(SleepingTable, tracker, start, pattern));
    BufferClear(pattern);
  }
  int Fill(const wchar_t* tracker, int table) {
    std::vector<StoredRun> runs;
    store.ListRunsOf(tracker, table, runs);  // no tracker lists nothing
    return FillDateList(runs, dates);
  }

  const wchar_t* first = L"00:1A:7D:DA:71:13";
  TempFolder folder;
  ActivityStore store;
  HWND parent = nullptr;
  HWND combo = nullptr;
  ImageCombo dates;
};

}  // namespace

TEST_F(DateListFixture, RunsAreListedOldestFirstWithTheLatestSelected) {
  Insert(first, 1401667200u);
  Insert(first, 1401580800u);
  Insert(L"C4:4F:33:0A:1B:2C", 1401600000u);  // another tracker's run is not listed
  dates.AddItem(L"left over", 7, IDI_DATE, nullptr);
  EnableWindow(combo, FALSE);

  EXPECT_EQ(2, Fill(first, SleepingTable));
  ASSERT_EQ(2, dates.Count());
  WideString text, expected;
  int value = 0;
  ASSERT_EQ(1, dates.Item(0, &text, &value));
  EXPECT_EQ(1401580800, value);
  ASSERT_EQ(1, FormatRunLabel(1401580800u, 1401580800u + 8 * 60, expected));  // AA 55: eight minutes
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
  Insert(first, 1401580800u);
  EXPECT_EQ(1, Fill(first, SleepingTable));
  EXPECT_EQ(0, Fill(first, WalkingTable));  // no walking runs
  EXPECT_EQ(0, dates.Count());
  EXPECT_FALSE(IsWindowEnabled(combo));
  EXPECT_EQ(0, Fill(L"", SleepingTable));  // no tracker
  EXPECT_EQ(0, dates.Count());
  EXPECT_FALSE(IsWindowEnabled(combo));
}
