// The "Table" switch of the Walking and Sleeping pages in the real window:
// the selected run as rows in place of the chart, with the values of the
// stored run, and Ctrl+C putting the rows on the clipboard.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/window/SleepingPage.h"
#include "app/window/WalkingPage.h"
#include "resources/ResourceIds.h"
#include "tests/app/window/WindowTestSupport.h"

namespace {

void ClickTab(MainWindow& window, int index) {
  HWND tab = window.Tabs().Tab();
  SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  NMHDR header = {tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(window.Window(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// The local clock time as the user's locale writes it, from the numbers.
std::wstring Clock(int hour, int minute) {
  SYSTEMTIME time = {2014, 6, 0, 1, static_cast<WORD>(hour), static_cast<WORD>(minute), 0, 0};
  wchar_t text[64] = L"";
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, text, 64);
  return text;
}

std::wstring Range(int h1, int m1, int h2, int m2) { return Clock(h1, m1) + L"\x2013" + Clock(h2, m2); }

std::wstring Decimal() {
  wchar_t mark[8] = L"";
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, mark, 8);
  return mark;
}

// Ctrl+C in the list as the keyboard gives it; the clipboard's text after.
std::wstring CopyWithKeys(HWND list) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(list, WM_KEYDOWN, 'C', 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  std::wstring text = L"<nothing>";
  if (!OpenClipboard(nullptr)) return L"<clipboard closed>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

}  // namespace

TEST(TableViewTest, TheTableShowsTheSelectedWalkAndNightAsRowsAndCtrlCCopiesThem) {
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers());
  fixture.WriteNumber(L"DistanceUnit", 1);  // kilometres
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }));
  // Some clipboard text before, which the copy must replace.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();

  // The left tracker's latest walk starts 2014-06-01 01:30 UTC (03:30 in
  // the tests' zone): 7 steps, 2 cal, 50 m, then 8 steps, 3 cal, 60 m.
  WalkingPage& walking = *window.Walking();
  HWND list = GetDlgItem(walking.Window(), IDC_CHART_TABLE);
  ASSERT_NE(nullptr, list);
  EXPECT_FALSE(IsWindowVisible(list));
  SendDlgItemMessageW(walking.Window(), IDC_CHART_TABLE_SWITCH, BM_CLICK, 0, 0);
  EXPECT_TRUE(walking.TableShown());
  EXPECT_TRUE(IsWindowVisible(list));
  EXPECT_FALSE(IsWindowVisible(walking.View().Window()));
  const std::wstring walk = L"Time\tSteps\tCalories\tDistance\r\n" + Range(3, 30, 3, 45) + L"\t7\t2\t0" + Decimal() +
                            L"05 km\r\n" + Range(3, 45, 4, 0) + L"\t8\t3\t0" + Decimal() + L"06 km\r\n";
  EXPECT_EQ(walk, CopyWithKeys(list));
  // One row selected: that row alone.
  LVITEMW state = {};
  state.stateMask = state.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  EXPECT_EQ(L"Time\tSteps\tCalories\tDistance\r\n" + Range(3, 45, 4, 0) + L"\t8\t3\t0" + Decimal() + L"06 km\r\n",
            CopyWithKeys(list));
  // The earlier walk, picked in the date list, replaces the rows: one quarter hour of 5 steps.
  SendMessageW(walking.Dates().Control(), CB_SETCURSEL, 0, 0);
  SendMessageW(walking.Window(), WM_COMMAND, MAKEWPARAM(IDC_WALKING_DATES, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(walking.Dates().Control()));
  EXPECT_EQ(1, walking.Table().RowCount());
  // Switched off, the chart is back.
  SendDlgItemMessageW(walking.Window(), IDC_CHART_TABLE_SWITCH, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowVisible(list));
  EXPECT_TRUE(IsWindowVisible(walking.View().Window()));

  // The night starts 2014-06-01 22:04 UTC (00:04): four minutes active, then eight asleep.
  ClickTab(window, 2);
  SleepingPage& sleeping = *window.Sleeping();
  ASSERT_TRUE(PumpUntil([&] { return sleeping.Dates().Count() == 1; }));
  SendDlgItemMessageW(sleeping.Window(), IDC_CHART_TABLE_SWITCH, BM_CLICK, 0, 0);
  EXPECT_EQ(L"Time\tState\tDuration\r\n" + Range(0, 4, 0, 8) + L"\tactive\t4 min\r\n" + Range(0, 8, 0, 16) +
                L"\tasleep\t8 min\r\n",
            CopyWithKeys(GetDlgItem(sleeping.Window(), IDC_CHART_TABLE)));
  ASSERT_TRUE(fixture.CloseWindow());
}
