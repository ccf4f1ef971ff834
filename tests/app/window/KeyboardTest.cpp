// The main window by keyboard and by its small buttons, through the real
// window and its dialog manager: keys are posted to the control with the
// focus and run through the window's message loop with Ctrl, Shift or Alt
// held in the thread's key state. Moving between runs (buttons, Ctrl+Left
// and Ctrl+Right, the day picker), the date labels grouped by day, the tabs
// by Ctrl+Tab and Alt letters, Escape, and what the icon buttons say.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "app/window/InfoPage.h"
#include "app/window/WalkingPage.h"
#include "resources/ResourceIds.h"
#include "tests/app/window/WindowTestSupport.h"

using windowtest::ItemText;

namespace {

// Sends a key as the keyboard does while the modifiers are held.
void Press(HWND dialog, UINT message, WPARAM key, bool control, bool shift = false, bool alt = false) {
  BYTE saved[256], held[256];
  GetKeyboardState(saved);
  std::memcpy(held, saved, sizeof(held));
  held[VK_CONTROL] = held[VK_LCONTROL] = control ? 0x80 : 0;
  held[VK_SHIFT] = held[VK_LSHIFT] = shift ? 0x80 : 0;
  held[VK_MENU] = held[VK_LMENU] = alt ? 0x80 : 0;
  SetKeyboardState(held);
  HWND focus = GetFocus();
  PostMessageW(focus ? focus : dialog, message, key, alt ? 0x20000001 : 1);
  PumpWaiting(dialog);
  SetKeyboardState(saved);
}

int Selected(ImageCombo& combo) {
  int index = -1;
  return combo.Selection(&index, nullptr, nullptr) ? index : -1;
}

std::wstring Label(ImageCombo& combo, int index) {
  WideString text;
  combo.Item(index, &text, nullptr);
  return text.CStr();
}

// The user picks a day in the page's day picker.
void PickDay(HWND page, WORD year, WORD month, WORD day) {
  NMDATETIMECHANGE change = {};
  change.nmhdr.hwndFrom = GetDlgItem(page, IDC_RUN_DAY);
  change.nmhdr.idFrom = IDC_RUN_DAY;
  change.nmhdr.code = DTN_DATETIMECHANGE;
  change.dwFlags = GDT_VALID;
  change.st.wYear = year, change.st.wMonth = month, change.st.wDay = day;
  SendMessageW(change.nmhdr.hwndFrom, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&change.st));
  SendMessageW(page, WM_NOTIFY, IDC_RUN_DAY, reinterpret_cast<LPARAM>(&change));
}

bool Contains(const WideString& text, const wchar_t* part) { return text.Find(part) != nullptr; }

// Answers the tracker name question, once it shows, with the name typed
// and OK; what it showed of the tracker is kept.
struct NameAnswer {
  static const wchar_t* name;
  static std::wstring shown;
  static void CALLBACK Look(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"Name this tracker");
    if (!box) return;
    KillTimer(nullptr, timer);
    shown = ItemText(box, IDC_RENAME_TRACKER);
    SetDlgItemTextW(box, IDC_RENAME_NAME, name);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
};
const wchar_t* NameAnswer::name = L"";
std::wstring NameAnswer::shown;

std::wstring StoredName(const std::wstring& key, const wchar_t* address) {
  wchar_t value[100] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, (key + L"\\Names").c_str(), address, RRF_RT_REG_SZ, nullptr, value, &size)) {
    return L"<missing>";
  }
  return value;
}

class KeyboardTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(1, fixture.AddTwoTrackers()); }
  windowtest::WindowFixture fixture;
};

}  // namespace

TEST_F(KeyboardTest, TheWalksAreSteppedByButtonsAndCtrlArrowsPickedByDayAndLabelledByDay) {
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  HWND dialog = window.Window();
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }, 30000, dialog));
  WalkingPage& page = *window.Walking();
  ImageCombo& dates = page.Dates();
  // The walks of the chart are shown only with the live totals.
  ASSERT_TRUE(PumpUntil([&] { return !page.Document().IsEmpty(); }, 30000, dialog));
  ASSERT_EQ(2, dates.Count());
  EXPECT_EQ(1, Selected(dates));
  // Both walks began on 1 June 2014 (02:00 and 03:30 in Berlin).
  EXPECT_NE(std::wstring::npos, Label(dates, 0).find(L" \x00B7 1 of 2 \x00B7 ")) << Label(dates, 0);
  EXPECT_NE(std::wstring::npos, Label(dates, 1).find(L" \x00B7 2 of 2 \x00B7 ")) << Label(dates, 1);
  HWND previous = GetDlgItem(page.Window(), IDC_RUN_PREVIOUS), next = GetDlgItem(page.Window(), IDC_RUN_NEXT);
  WideString tip;
  ASSERT_EQ(1, page.Tips().Text(previous, tip));
  EXPECT_STREQ(L"Earlier run (Ctrl+Left)", tip.CStr());
  ASSERT_EQ(1, page.Tips().Text(next, tip));
  EXPECT_STREQ(L"Later run (Ctrl+Right)", tip.CStr());
  EXPECT_TRUE(IsWindowEnabled(previous));
  EXPECT_FALSE(IsWindowEnabled(next));
  SYSTEMTIME shown = {};
  SendDlgItemMessageW(page.Window(), IDC_RUN_DAY, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
  EXPECT_EQ(2014, shown.wYear);
  EXPECT_EQ(6, shown.wMonth);
  EXPECT_EQ(1, shown.wDay);

  // Alt+D goes to the date list; Ctrl+Left there is the earlier walk.
  Press(dialog, WM_SYSCHAR, L'd', false, false, true);
  EXPECT_EQ(dates.Control(), GetFocus());
  Press(dialog, WM_KEYDOWN, VK_LEFT, true);
  EXPECT_EQ(0, Selected(dates));
  EXPECT_TRUE(Contains(page.Document(), L"2014,5,1,2,0,0"));
  EXPECT_FALSE(IsWindowEnabled(previous));
  Press(dialog, WM_KEYDOWN, VK_LEFT, true);  // none earlier
  EXPECT_EQ(0, Selected(dates));
  SendMessageW(next, BM_CLICK, 0, 0);
  EXPECT_EQ(1, Selected(dates));
  EXPECT_TRUE(Contains(page.Document(), L"2014,5,1,3,30,0"));
  // Ctrl+Right from the tab control too, anywhere on the window.
  Press(dialog, WM_KEYDOWN, VK_LEFT, true);
  SetFocus(window.Tabs().Tab());
  Press(dialog, WM_KEYDOWN, VK_RIGHT, true);
  EXPECT_EQ(1, Selected(dates));

  // The day picker: the day's first walk, else the latest before it, else
  // the first of all.
  PickDay(page.Window(), 2014, 6, 1);
  EXPECT_EQ(0, Selected(dates));
  PickDay(page.Window(), 2014, 6, 20);
  EXPECT_EQ(1, Selected(dates));
  PickDay(page.Window(), 2014, 5, 31);
  EXPECT_EQ(0, Selected(dates));
  EXPECT_TRUE(Contains(page.Document(), L"2014,5,1,2,0,0"));
  ASSERT_TRUE(fixture.CloseWindow());
}

TEST_F(KeyboardTest, CtrlTabAndAltLettersChangeTabsEscapeKeepsTheWindowAndTheIconButtonsSayWhatTheyDo) {
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  HWND dialog = window.Window();
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }, 30000, dialog));
  // Tab goes from the tabs into the page shown, on to the web link, and back.
  SetFocus(window.Tabs().Tab());
  Press(dialog, WM_KEYDOWN, VK_TAB, false);
  EXPECT_EQ(GetDlgItem(window.Info()->Window(), IDC_INFO_SET_TIME), GetFocus());
  Press(dialog, WM_KEYDOWN, VK_TAB, false);
  EXPECT_EQ(GetDlgItem(dialog, IDC_MAIN_WEB_LINK), GetFocus());
  Press(dialog, WM_KEYDOWN, VK_TAB, false, true);
  Press(dialog, WM_KEYDOWN, VK_TAB, false, true);
  EXPECT_EQ(window.Tabs().Tab(), GetFocus());
  SetFocus(window.Tabs().Tab());
  Press(dialog, WM_KEYDOWN, VK_TAB, true);
  EXPECT_EQ(1, window.Tabs().Current());
  Press(dialog, WM_KEYDOWN, VK_TAB, true, true);
  Press(dialog, WM_KEYDOWN, VK_TAB, true, true);
  EXPECT_EQ(TabCtrl_GetItemCount(window.Tabs().Tab()) - 1, window.Tabs().Current());  // round to the last
  Press(dialog, WM_SYSCHAR, L'l', false, false, true);
  EXPECT_EQ(2, window.Tabs().Current());  // S&leeping
  EXPECT_EQ(window.Tabs().Tab(), GetFocus());
  Press(dialog, WM_SYSCHAR, L'i', false, false, true);
  EXPECT_EQ(0, window.Tabs().Current());

  // Escape, also from a page's control, closes nothing.
  Press(dialog, WM_KEYDOWN, VK_ESCAPE, false);
  SetFocus(GetDlgItem(dialog, IDC_MAIN_SEARCH));
  Press(dialog, WM_KEYDOWN, VK_ESCAPE, false);
  ASSERT_TRUE(IsWindow(dialog));
  EXPECT_TRUE(IsWindowVisible(dialog));

  const int buttons[] = {IDC_MAIN_SEARCH, IDC_MAIN_BLUETOOTH, IDC_MAIN_DEVICE_MANAGER, IDC_MAIN_EXPORT};
  const wchar_t* tips[] = {L"Search for trackers again", L"Bluetooth settings (pair a tracker)", L"Device Manager",
                           L"Export and backup"};
  for (int i = 0; i < 4; ++i) {
    WideString tip;
    EXPECT_EQ(1, window.Tips().Text(GetDlgItem(dialog, buttons[i]), tip)) << i;
    EXPECT_STREQ(tips[i], tip.CStr());
  }
  // Wine's bthprops.cpl holds no panel and it has no Device Manager: the
  // status line says so instead of nothing happening.
  SendDlgItemMessageW(dialog, IDC_MAIN_BLUETOOTH, BM_CLICK, 0, 0);
  EXPECT_EQ(L"Pellton cannot open the Bluetooth settings: bthprops.cpl on this computer holds no settings panel.",
            ItemText(dialog, IDC_MAIN_STATUS));
  SendDlgItemMessageW(dialog, IDC_MAIN_DEVICE_MANAGER, BM_CLICK, 0, 0);
  EXPECT_EQ(L"Pellton cannot open the Device Manager: devmgmt.msc is not on this computer.",
            ItemText(dialog, IDC_MAIN_STATUS));
  ASSERT_TRUE(fixture.CloseWindow());
}

TEST_F(KeyboardTest, TheBatterySaysItsLevelAndATrackerNamedByF2IsKeptAndShownWithItsAddress) {
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  HWND dialog = window.Window();
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }, 30000, dialog));
  EXPECT_EQ(L"64%", ItemText(window.Info()->Window(), IDC_INFO_BATTERY_TEXT));  // "#%" in English

  SetFocus(window.Devices().Control());
  NameAnswer::name = L"  Anna's ";
  UINT_PTR timer = SetTimer(nullptr, 0, 50, NameAnswer::Look);
  Press(dialog, WM_KEYDOWN, VK_F2, false);
  KillTimer(nullptr, timer);
  EXPECT_EQ(L"EI-AN900 (left) [00:11:22:33:44:01]", NameAnswer::shown);
  EXPECT_EQ(L"Anna's", StoredName(fixture.Key(), L"00:11:22:33:44:01"));
  WideString text;
  ASSERT_EQ(1, window.Devices().Item(0, &text, nullptr));
  EXPECT_STREQ(L"Anna's [00:11:22:33:44:01]", text.CStr());
  int selected = -1;
  EXPECT_EQ(1, window.Devices().Selection(&selected, nullptr, nullptr));
  EXPECT_EQ(0, selected);

  // The next start shows the name; an empty one gives the tracker its own back.
  ASSERT_TRUE(fixture.CloseWindow());
  MainWindow* again = fixture.Open();
  ASSERT_NE(nullptr, again);
  dialog = again->Window();
  ASSERT_TRUE(PumpUntil([&] { return again->Idle(); }, 30000, dialog));
  ASSERT_EQ(1, again->Devices().Item(0, &text, nullptr));
  EXPECT_STREQ(L"Anna's [00:11:22:33:44:01]", text.CStr());
  SetFocus(again->Devices().Control());
  NameAnswer::name = L"";
  timer = SetTimer(nullptr, 0, 50, NameAnswer::Look);
  Press(dialog, WM_KEYDOWN, VK_F2, false);
  KillTimer(nullptr, timer);
  ASSERT_EQ(1, again->Devices().Item(0, &text, nullptr));
  EXPECT_STREQ(L"EI-AN900 (left) [00:11:22:33:44:01]", text.CStr());
  ASSERT_TRUE(fixture.CloseWindow());
}
