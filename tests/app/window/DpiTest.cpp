// The real main window moved to displays of 144 and 192 DPI and back to 96
// (WM_DPICHANGED, with the DPI helper's override standing in for the
// display): it takes the suggested rectangle, and the icon buttons, the
// device and date lists, the tab icons and the native chart's font and
// link follow the scale. Pictures of
// each go to out/ (PELLTON_OUT, else out/ in the test's folder).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/window/WalkingPage.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/ui/WindowCapture.h"
#include "ui/Dpi.h"

namespace {

void SavePicture(HWND window, int dpi) {
  const char* folder = getenv("PELLTON_OUT");
  std::string path = folder && *folder ? folder : "out";
  CreateDirectoryA(path.c_str(), nullptr);
  path += "\\main-window-" + std::to_string(dpi) + "dpi.png";
  const std::vector<uint8_t> png = testcapture::EncodePng(testcapture::CaptureWindow(window));
  if (FILE* file = fopen(path.c_str(), "wb")) {
    fwrite(png.data(), 1, png.size(), file);
    fclose(file);
  }
}

struct DpiOverride { ~DpiOverride() { DpiSetOverride(0); } };

}  // namespace

TEST(DpiTest, TheWindowTakesTheSuggestedRectangleAndItsIconsListsAndTabsFollowTheScale) {
  DpiOverride restore;
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers());
  fixture.WriteNumber(L"Tab", 1);
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }));
  RECT start;
  GetWindowRect(window.Window(), &start);
  const int width = start.right - start.left, height = start.bottom - start.top;
  ImageCombo& dates = window.Walking()->Dates();

  for (int dpi : {144, 192, 96}) {
    DpiSetOverride(dpi);
    // At the screen's corner, so that as much as fits shows in the picture.
    RECT suggested = {0, 0, MulDiv(width, dpi, 96), MulDiv(height, dpi, 96)};
    SendMessageW(window.Window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT now;
    GetWindowRect(window.Window(), &now);
    EXPECT_EQ(suggested.right - suggested.left, now.right - now.left) << dpi;
    EXPECT_EQ(suggested.bottom - suggested.top, now.bottom - now.top) << dpi;
    const int icon = 16 * dpi / 96;
    EXPECT_EQ(icon, window.SearchButton().IconWidth()) << dpi;
    EXPECT_EQ(icon, window.Devices().IconWidth()) << dpi;
    EXPECT_LE(icon, window.Devices().ItemHeight()) << dpi;
    EXPECT_LE(icon, static_cast<int>(SendMessageW(window.Devices().Control(), CB_GETITEMHEIGHT, 0, 0))) << dpi;
    EXPECT_EQ(icon, window.Tabs().IconSize()) << dpi;
    EXPECT_EQ(icon, dates.IconWidth()) << dpi;
    EXPECT_EQ(2, window.Devices().Count()) << dpi;
    EXPECT_EQ(1, window.Devices().ImageCount()) << dpi;
    // The native chart writes at the new scale, and its link keeps its line below it.
    HWND chart = window.Walking()->Native().Window();
    HWND link = window.Walking()->View().Window();
    ASSERT_NE(nullptr, chart);
    LOGFONTW font = {};
    ASSERT_NE(0, GetObjectW(reinterpret_cast<HFONT>(SendMessageW(chart, WM_GETFONT, 0, 0)), sizeof font, &font));
    EXPECT_EQ(-MulDiv(12, dpi, 96), font.lfHeight) << dpi;
    RECT chartRect, linkRect;
    GetWindowRect(chart, &chartRect);
    GetWindowRect(link, &linkRect);
    EXPECT_EQ(chartRect.bottom, linkRect.top) << dpi;
    EXPECT_EQ(MulDiv(HtmlView::FallbackLinkHeight, dpi, 96), linkRect.bottom - linkRect.top) << dpi;
    SavePicture(window.Window(), dpi);
  }
  ASSERT_TRUE(fixture.CloseWindow());
}
