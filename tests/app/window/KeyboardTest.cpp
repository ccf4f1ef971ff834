// The real main window by keyboard and by its small buttons: keys are posted
// to the focus and run through the window's dialog manager with Ctrl, Shift
// or Alt held in the thread's key state.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "app/tracker/TrackerUpdate.h"
#include "app/window/InfoPage.h"
#include "app/window/SleepingPage.h"
#include "app/window/WalkingPage.h"
#include "resources/ResourceIds.h"
#include "tests/app/window/WindowTestSupport.h"

using windowtest::ItemText;

namespace {

void Press(HWND dialog, UINT message, WPARAM key, bool control, bool shift = false, bool alt = false) {
  BYTE saved[256], held[256];
  GetKeyboardState(saved);
  std::memcpy(held, saved, sizeof(held));
  held[VK_CONTROL] = control ? 0x80 : 0, held[VK_SHIFT] = shift ? 0x80 : 0, held[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(held);
  PostMessageW(GetFocus() ? GetFocus() : dialog, message, key, alt ? 0x20000001 : 1);
  PumpWaiting(dialog);
  SetKeyboardState(saved);
}

int Selected(ImageCombo& combo) { return windowtest::SelectedIndex(combo); }

std::wstring Text(ImageCombo& combo, int index) {
  WideString text;
  combo.Item(index, &text, nullptr);
  return text.CStr();
}

// F2, and the name question answered with the name and OK once it shows.
const wchar_t* gName = L"";
std::wstring gShown;
void CALLBACK AnswerName(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindWindowW(L"#32770", L"Name this tracker");
  if (!box || !IsWindowVisible(box)) return;
  gShown = ItemText(box, IDC_RENAME_TRACKER);
  SetDlgItemTextW(box, IDC_RENAME_NAME, gName);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}
void NameWithF2(HWND dialog, const wchar_t* name) {
  gName = name;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerName);
  Press(dialog, WM_KEYDOWN, VK_F2, false);
  KillTimer(nullptr, timer);
}

class KeyboardTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(1, fixture.AddTwoTrackers()); }
  MainWindow* OpenIdle() {
    MainWindow* window = fixture.Open();
    return window && PumpUntil([&] { return window->Idle(); }, 30000, window->Window()) ? window : nullptr;
  }
  windowtest::WindowFixture fixture;
};

}  // namespace

TEST_F(KeyboardTest, TheWalksAreSteppedByButtonsAndCtrlArrowsPickedByDayAndLabelledByDay) {
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* window = OpenIdle();
  ASSERT_NE(nullptr, window);
  HWND dialog = window->Window();
  WalkingPage& page = *window->Walking();
  ImageCombo& dates = page.Dates();
  ASSERT_TRUE(PumpUntil([&] { return !page.Document().IsEmpty(); }, 30000, dialog));  // once the totals came
  ASSERT_EQ(2, dates.Count());
  EXPECT_EQ(1, Selected(dates));
  // Both walks began on 1 June 2014 (02:00 and 03:30 in Berlin).
  EXPECT_NE(std::wstring::npos, Text(dates, 0).find(L" \x00B7 1 of 2 \x00B7 ")) << Text(dates, 0);
  EXPECT_NE(std::wstring::npos, Text(dates, 1).find(L" \x00B7 2 of 2 \x00B7 ")) << Text(dates, 1);
  HWND previous = GetDlgItem(page.Window(), IDC_RUN_PREVIOUS), next = GetDlgItem(page.Window(), IDC_RUN_NEXT);
  WideString tip;
  EXPECT_TRUE(page.Tips().Text(previous, tip) && tip == L"Earlier run (Ctrl+Left)") << tip.CStr();
  EXPECT_TRUE(page.Tips().Text(next, tip) && tip == L"Later run (Ctrl+Right)") << tip.CStr();
  EXPECT_TRUE(IsWindowEnabled(previous));
  EXPECT_FALSE(IsWindowEnabled(next));
  SYSTEMTIME shown = {};
  SendDlgItemMessageW(page.Window(), IDC_RUN_DAY, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
  EXPECT_TRUE(shown.wYear == 2014 && shown.wMonth == 6 && shown.wDay == 1);

  // Alt+D goes to the date list; Ctrl+Left is the earlier walk, then none.
  Press(dialog, WM_SYSCHAR, L'd', false, false, true);
  EXPECT_EQ(dates.Control(), GetFocus());
  Press(dialog, WM_KEYDOWN, VK_LEFT, true);
  EXPECT_EQ(0, Selected(dates));
  EXPECT_NE(nullptr, page.Document().Find(L"2014,5,1,2,0,0"));
  EXPECT_FALSE(IsWindowEnabled(previous));
  Press(dialog, WM_KEYDOWN, VK_LEFT, true);
  EXPECT_EQ(0, Selected(dates));
  SendMessageW(next, BM_CLICK, 0, 0);
  EXPECT_EQ(1, Selected(dates));
  EXPECT_NE(nullptr, page.Document().Find(L"2014,5,1,3,30,0"));
  Press(dialog, WM_KEYDOWN, VK_LEFT, true);
  SetFocus(window->Tabs().Tab());  // anywhere in the window
  Press(dialog, WM_KEYDOWN, VK_RIGHT, true);
  EXPECT_EQ(1, Selected(dates));

  // The picker by its keys (Right twice: the day field). A step onto a day
  // without walks stays there; the walk is chosen when the focus leaves.
  HWND picker = GetDlgItem(page.Window(), IDC_RUN_DAY);
  auto pickerDay = [&] { return SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)), shown; };
  SetFocus(picker);
  for (WPARAM key : {VK_RIGHT, VK_RIGHT, VK_UP, VK_UP}) Press(dialog, WM_KEYDOWN, key, false);
  EXPECT_EQ(3, pickerDay().wDay);
  for (WPARAM key : {VK_DOWN, VK_DOWN}) Press(dialog, WM_KEYDOWN, key, false);
  SetFocus(dates.Control());
  EXPECT_EQ(0, Selected(dates));  // the day's first walk
  EXPECT_NE(nullptr, page.Document().Find(L"2014,5,1,2,0,0"));
  // Or once the keys pause: the latest before the day, else the first.
  SetFocus(picker);
  for (WPARAM key : {VK_RIGHT, VK_RIGHT, VK_UP}) Press(dialog, WM_KEYDOWN, key, false);
  EXPECT_TRUE(PumpUntil([&] { return Selected(dates) == 1; }, 10000, dialog));
  EXPECT_EQ(2, pickerDay().wDay);
  SetFocus(dates.Control()), SetFocus(picker);
  for (WPARAM key : {VK_RIGHT, VK_DOWN}) Press(dialog, WM_KEYDOWN, key, false);  // the month
  page.Refresh(UpdateWalking);  // a download ended meanwhile: the day being chosen stays
  EXPECT_TRUE(PumpUntil([&] { return Selected(dates) == 0; }, 10000, dialog));
  EXPECT_EQ(5, pickerDay().wMonth);
  ASSERT_TRUE(fixture.CloseWindow());
}

TEST_F(KeyboardTest, TabsByKeysEscapeKeepsTheWindowAndTheIconButtonsSayWhatTheyDoAndWhatFailed) {
  MainWindow* window = OpenIdle();
  ASSERT_NE(nullptr, window);
  HWND dialog = window->Window(), tabs = window->Tabs().Tab();
  // Tab: from the tabs into the page shown, on to the web link, and back.
  SetFocus(tabs);
  Press(dialog, WM_KEYDOWN, VK_TAB, false);
  EXPECT_EQ(GetDlgItem(window->Info()->Window(), IDC_INFO_SET_TIME), GetFocus());
  Press(dialog, WM_KEYDOWN, VK_TAB, false);
  EXPECT_EQ(GetDlgItem(dialog, IDC_MAIN_WEB_LINK), GetFocus());
  Press(dialog, WM_KEYDOWN, VK_TAB, false, true);
  Press(dialog, WM_KEYDOWN, VK_TAB, false, true);
  EXPECT_EQ(tabs, GetFocus());
  Press(dialog, WM_KEYDOWN, VK_TAB, true);
  EXPECT_EQ(1, window->Tabs().Current());
  Press(dialog, WM_KEYDOWN, VK_TAB, true, true);
  Press(dialog, WM_KEYDOWN, VK_TAB, true, true);
  EXPECT_EQ(TabCtrl_GetItemCount(tabs) - 1, window->Tabs().Current());  // round to the last
  Press(dialog, WM_SYSCHAR, L'l', false, false, true);
  EXPECT_EQ(2, window->Tabs().Current());  // S&leeping
  EXPECT_EQ(tabs, GetFocus());

  // Escape, from the tabs or a button, closes nothing; nor does Enter in a
  // list, the tabs or a picker.
  Press(dialog, WM_KEYDOWN, VK_ESCAPE, false);
  Press(dialog, WM_KEYDOWN, VK_RETURN, false);
  SetFocus(window->Sleeping()->Dates().Control());
  Press(dialog, WM_KEYDOWN, VK_RETURN, false);
  SetFocus(GetDlgItem(window->Sleeping()->Window(), IDC_RUN_DAY));
  Press(dialog, WM_KEYDOWN, VK_RETURN, false);
  SetFocus(GetDlgItem(dialog, IDC_MAIN_SEARCH));
  Press(dialog, WM_KEYDOWN, VK_ESCAPE, false);
  ASSERT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));

  const int buttons[] = {IDC_MAIN_SEARCH, IDC_MAIN_BLUETOOTH, IDC_MAIN_DEVICE_MANAGER, IDC_MAIN_EXPORT};
  const wchar_t* tips[] = {L"Search for trackers again", L"Bluetooth settings (pair a tracker)", L"Device Manager",
                           L"Export and backup"};
  for (int i = 0; i < 4; ++i) {
    WideString tip;
    EXPECT_TRUE(window->Tips().Text(GetDlgItem(dialog, buttons[i]), tip) && tip == tips[i]) << tip.CStr();
  }
  // Wine's bthprops.cpl holds no panel and it has no Device Manager.
  SendDlgItemMessageW(dialog, IDC_MAIN_BLUETOOTH, BM_CLICK, 0, 0);
  EXPECT_EQ(L"Pellton cannot open the Bluetooth settings: bthprops.cpl on this computer holds no settings panel.",
            ItemText(dialog, IDC_MAIN_STATUS));
  SendDlgItemMessageW(dialog, IDC_MAIN_DEVICE_MANAGER, BM_CLICK, 0, 0);
  EXPECT_EQ(L"Pellton cannot open the Device Manager: devmgmt.msc is not on this computer.",
            ItemText(dialog, IDC_MAIN_STATUS));
  ASSERT_TRUE(fixture.CloseWindow());
}

TEST_F(KeyboardTest, TheBatterySaysItsLevelAndATrackerNamedByF2IsKeptAndShownWithItsAddress) {
  MainWindow* window = OpenIdle();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(L"64%", ItemText(window->Info()->Window(), IDC_INFO_BATTERY_TEXT));  // "#%" in English
  SetFocus(window->Devices().Control());
  NameWithF2(window->Window(), L" \tAnna's\x7F\x01 ");  // pasted with control characters
  EXPECT_EQ(L"EI-AN900 (left) [00:11:22:33:44:01]", gShown);
  wchar_t stored[100] = {};
  DWORD size = sizeof(stored);
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, (fixture.Key() + L"\\Names").c_str(), L"00:11:22:33:44:01",
                                        RRF_RT_REG_SZ, nullptr, stored, &size));
  EXPECT_STREQ(L"Anna's", stored);
  EXPECT_EQ(L"Anna's [00:11:22:33:44:01]", Text(window->Devices(), 0));
  EXPECT_EQ(0, Selected(window->Devices()));

  // The next start shows it; an empty name gives the tracker its own back.
  ASSERT_TRUE(fixture.CloseWindow());
  window = OpenIdle();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(L"Anna's [00:11:22:33:44:01]", Text(window->Devices(), 0));
  SetFocus(window->Devices().Control());
  NameWithF2(window->Window(), L"");
  EXPECT_EQ(L"EI-AN900 (left) [00:11:22:33:44:01]", Text(window->Devices(), 0));
  ASSERT_TRUE(fixture.CloseWindow());
}
