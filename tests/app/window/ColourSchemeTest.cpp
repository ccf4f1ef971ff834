// The real main window following Windows' colours: the apps' dark mode
// ("AppsUseLightTheme" 0) turns the pages, their labels and the table dark
// when Windows announces it ("ImmersiveColorSet"), and back; High Contrast
// wins over the dark mode with the system colours.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/window/InfoPage.h"
#include "app/window/SleepingPage.h"
#include "resources/ResourceIds.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/ui/WindowCapture.h"
#include "ui/ColourScheme.h"

namespace {

const wchar_t kPersonalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
const COLORREF kDarkFace = RGB(32, 32, 32);

// Sets "AppsUseLightTheme" for the test and removes it afterwards.
struct AppsTheme {
  void Set(DWORD light) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme", REG_DWORD, &light, sizeof(light));
  }
  ~AppsTheme() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme"); }
};

void Announce(HWND window) {
  SendMessageW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
}

// What the page answers for a label: the brush's colour and the text colour.
struct LabelColours {
  COLORREF background = CLR_INVALID;
  COLORREF text = CLR_INVALID;
};
LabelColours AskLabel(HWND page, int id) {
  LabelColours colours;
  HDC dc = GetDC(page);
  SetTextColor(dc, RGB(1, 2, 3));
  HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(GetDlgItem(page, id))));
  LOGBRUSH info = {};
  if (brush && GetObjectW(brush, sizeof(info), &info)) colours.background = info.lbColor;
  colours.text = GetTextColor(dc);
  ReleaseDC(page, dc);
  return colours;
}

// The page's colour in its bottom right corner, where nothing is drawn on it.
COLORREF PageCorner(HWND page) {
  testcapture::Picture picture = testcapture::CaptureWindow(page);
  return picture.At(picture.width - 3, picture.height - 3);
}

}  // namespace

TEST(ColourSchemeTest, TheWindowFollowsTheAppsDarkModeWhenWindowsAnnouncesItAndHighContrastWins) {
  AppsTheme theme;
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers());
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }));
  HWND info = window.Info()->Window();
  const COLORREF light = PageCorner(info);  // the tab's texture where there is one
  EXPECT_NE(kDarkFace, light);

  theme.Set(0);
  Announce(window.Window());
  EXPECT_EQ(kDarkFace, PageCorner(info));
  const LabelColours dark = AskLabel(info, IDC_INFO_TIME);
  EXPECT_EQ(kDarkFace, dark.background);
  EXPECT_EQ(RGB(255, 255, 255), dark.text);
  // A page made while dark is dark from the start, its table too.
  SendMessageW(window.Tabs().Tab(), TCM_SETCURSEL, 2, 0);
  NMHDR header = {window.Tabs().Tab(), IDC_MAIN_TABS, static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(window.Window(), WM_NOTIFY, IDC_MAIN_TABS, reinterpret_cast<LPARAM>(&header));
  HWND sleeping = window.Sleeping()->Window();
  EXPECT_EQ(kDarkFace, PageCorner(sleeping));
  HWND table = GetDlgItem(sleeping, IDC_CHART_TABLE);
  EXPECT_EQ(RGB(43, 43, 43), static_cast<COLORREF>(SendMessageW(table, LVM_GETBKCOLOR, 0, 0)));
  // Every colour asked for as a brush comes in its own colour.
  for (int index : {COLOR_BTNFACE, COLOR_WINDOWTEXT, COLOR_GRAYTEXT, COLOR_WINDOW, COLOR_HOTLIGHT}) {
    LOGBRUSH brush = {};
    ASSERT_NE(0, GetObjectW(SchemeBrush(index), sizeof brush, &brush)) << index;
    EXPECT_EQ(SchemeColour(index), brush.lbColor) << index;
  }

  // Light again.
  theme.Set(1);
  Announce(window.Window());
  EXPECT_EQ(light, PageCorner(sleeping));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), static_cast<COLORREF>(SendMessageW(table, LVM_GETBKCOLOR, 0, 0)));

  // High Contrast on top of the dark mode: the system colours. Wine cannot
  // switch it on (SPI_SETHIGHCONTRAST), so the scheme is told.
  theme.Set(0);
  SetHighContrastOverride(1);
  SendMessageW(window.Window(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  SetHighContrastOverride(-1);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), PageCorner(sleeping));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), AskLabel(sleeping, IDC_SLEEPING_BEDTIME).text);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), static_cast<COLORREF>(SendMessageW(table, LVM_GETBKCOLOR, 0, 0)));
  theme.Set(1);
  Announce(window.Window());
  ASSERT_TRUE(fixture.CloseWindow());
}
