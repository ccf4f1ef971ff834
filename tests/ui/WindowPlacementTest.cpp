// Saving and restoring a real window's placement through the Wine
// registry and a settings store: round trips, the show-state rules, the
// keep-size and keep-position flags, a rectangle left on a monitor that is
// gone, and texts that are not placements.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/Registry.h"
#include "core/SettingsStore.h"
#include "tests/core/RegistryTestKey.h"
#include "tests/ui/DialogTemplateBuilder.h"
#include "ui/Dialog.h"
#include "ui/WindowPlacement.h"

namespace {

class PlacementTest : public RegistryTestKey {
protected:
  void SetUp() override {
    RegistryTestKey::SetUp();
    DialogTemplateBuilder builder(true, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                            WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                                  200, 120, L"Placement");
    std::vector<BYTE> bytes = builder.Build();
    window_ = dialog_.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
    ASSERT_TRUE(window_ != nullptr);
    SetWindowPos(window_, nullptr, 100, 120, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void TearDown() override {
    dialog_.Close(0);
    RegistryTestKey::TearDown();
  }
  void Store(const wchar_t* text) {
    ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, Path(), L"Main", text));
  }
  int Restore(DWORD flags) {
    return dialog_.RestorePlacement(HKEY_CURRENT_USER, Path(), L"Main", flags, nullptr);
  }
  WINDOWPLACEMENT Placement() const {
    WINDOWPLACEMENT p = {};
    p.length = sizeof(p);
    GetWindowPlacement(window_, &p);
    return p;
  }
  static RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }
  void ExpectNormal(const RECT& expected) {
    RECT normal = Placement().rcNormalPosition;
    EXPECT_EQ(expected.left, normal.left);
    EXPECT_EQ(expected.top, normal.top);
    EXPECT_EQ(expected.right, normal.right);
    EXPECT_EQ(expected.bottom, normal.bottom);
  }
  WideString Stored() {
    WideString text;
    RegReadString(HKEY_CURRENT_USER, Path(), L"Main", text);
    return text;
  }

  Dialog dialog_;
  HWND window_ = nullptr;
};

TEST_F(PlacementTest, AHiddenWindowIsSavedWithShowState0UnlessAskedOtherwise) {
  ASSERT_EQ(1, dialog_.SavePlacement(HKEY_CURRENT_USER, Path(), L"Main", nullptr, 0, nullptr));
  EXPECT_STREQ(L"0,100,120,500,420", Stored().CStr());
  ASSERT_EQ(1, dialog_.SavePlacement(HKEY_CURRENT_USER, Path(), L"Main", nullptr,
                                     PlacementSaveInvisible, nullptr));
  EXPECT_STREQ(L"1,100,120,500,420", Stored().CStr());
}

TEST_F(PlacementTest, AGivenRectangleIsSavedWithShowState5) {
  RECT r = Rect(1, 2, 3, 4);
  ASSERT_EQ(1, dialog_.SavePlacement(HKEY_CURRENT_USER, Path(), L"Main", &r, 0, nullptr));
  EXPECT_STREQ(L"5,1,2,3,4", Stored().CStr());
}

TEST_F(PlacementTest, APlacementRoundTripsThroughTheRegistry) {
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  ASSERT_EQ(1, dialog_.SavePlacement(HKEY_CURRENT_USER, Path(), L"Main", nullptr, 0, nullptr));
  EXPECT_STREQ(L"1,100,120,500,420", Stored().CStr());
  SetWindowPos(window_, nullptr, 300, 200, 350, 250, SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_EQ(1, Restore(0));
  ExpectNormal(Rect(100, 120, 500, 420));
  EXPECT_TRUE(IsWindowVisible(window_));
}

TEST_F(PlacementTest, APlacementRoundTripsThroughASettingsStore) {
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsRegistry, HKEY_CURRENT_USER, Path()));
  ASSERT_EQ(1, dialog_.SavePlacement(nullptr, nullptr, L"Main", nullptr, PlacementSaveInvisible,
                                     &store));
  EXPECT_STREQ(L"1,100,120,500,420", Stored().CStr());
  SetWindowPos(window_, nullptr, 300, 200, 350, 250, SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_EQ(1, dialog_.RestorePlacement(nullptr, nullptr, L"Main", 0, &store));
  ExpectNormal(Rect(100, 120, 500, 420));
}

TEST_F(PlacementTest, AMinimisedWindowComesBackAsANormalWindow) {
  Store(L"2,150,160,550,460");
  ASSERT_EQ(1, Restore(0));
  EXPECT_FALSE(IsIconic(window_));
  EXPECT_EQ(static_cast<UINT>(SW_SHOWNORMAL), Placement().showCmd);
  ExpectNormal(Rect(150, 160, 550, 460));
}

TEST_F(PlacementTest, KeepMinimisedLeavesItMinimised) {
  Store(L"2,150,160,550,460");
  ASSERT_EQ(1, Restore(PlacementKeepMinimised));
  EXPECT_TRUE(IsIconic(window_));
  ExpectNormal(Rect(150, 160, 550, 460));
}

TEST_F(PlacementTest, AHiddenWindowComesBackShownUnlessKeptHidden) {
  Store(L"0,150,160,550,460");
  ASSERT_EQ(1, Restore(PlacementKeepHidden));
  EXPECT_FALSE(IsWindowVisible(window_));
  ASSERT_EQ(1, Restore(0));
  EXPECT_TRUE(IsWindowVisible(window_));
}

TEST_F(PlacementTest, ARectangleOnAVanishedMonitorLands10PixelsInsideTheNearestWorkArea) {
  // The screen is 1280 x 1024: nothing lies at x 3000.
  Store(L"1,3000,200,3400,500");
  ASSERT_EQ(1, Restore(0));
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  POINT point = {3000, 200};
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info));
  const RECT& work = info.rcWork;
  ExpectNormal(Rect(work.left + 10, work.top + 10, work.left + 410, work.top + 310));
}

TEST_F(PlacementTest, WithBothCornersFlagARectangleHalfOnScreenStays) {
  Store(L"1,-200,100,200,400");
  ASSERT_EQ(1, Restore(PlacementBothCornersOff | PlacementNoReposition));
  ExpectNormal(Rect(-200, 100, 200, 400));
  ASSERT_EQ(1, Restore(PlacementNoReposition));
  RECT normal = Placement().rcNormalPosition;
  EXPECT_GE(normal.left, 0);
  EXPECT_EQ(400, normal.right - normal.left);
}

TEST_F(PlacementTest, KeepSizeTakesThePositionOnlyAndKeepPositionTheSizeOnly) {
  Store(L"1,150,160,550,460");
  ASSERT_EQ(1, Restore(PlacementKeepSize));
  ExpectNormal(Rect(150, 160, 550, 460));  // the current size was 400 x 300 too
  SetWindowPos(window_, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Store(L"1,20,30,620,530");
  ASSERT_EQ(1, Restore(PlacementKeepSize));
  ExpectNormal(Rect(20, 30, 320, 230));
  Store(L"1,200,210,700,610");
  ASSERT_EQ(1, Restore(PlacementKeepPosition));
  ExpectNormal(Rect(20, 30, 520, 430));
}

TEST_F(PlacementTest, FourNumbersLeaveTheWindowWhereItIs) {
  RECT before;
  GetWindowRect(window_, &before);
  Store(L"1,10,10,300");
  EXPECT_EQ(0, Restore(0));
  RECT after;
  GetWindowRect(window_, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(PlacementTest, AMissingValueAnswers0) {
  EXPECT_EQ(0, Restore(0));
  EXPECT_FALSE(IsWindowVisible(window_));
}

TEST(PlacementRulesTest, ForcedShowStatesWinOverTheStoredOne) {
  RECT current = {0, 0, 100, 100};
  PlacementValue value = {SW_SHOWMAXIMIZED, {10, 10, 50, 50}};
  ApplyPlacementFlags(value, PlacementForceHidden, current);
  EXPECT_EQ(SW_HIDE, value.showState);
  value.showState = SW_SHOWNORMAL;
  ApplyPlacementFlags(value, PlacementForceHidden | PlacementForceMinimisedNoActivate, current);
  EXPECT_EQ(SW_SHOWMINNOACTIVE, value.showState);
  value.showState = SW_HIDE;
  ApplyPlacementFlags(value, 0, current);
  EXPECT_EQ(SW_SHOWNORMAL, value.showState);
}

TEST(PlacementRulesTest, KeepPositionShiftsTheStoredRectangleToTheCurrentCorner) {
  RECT current = {300, 400, 350, 420};
  PlacementValue value = {SW_SHOWNORMAL, {10, 20, 110, 220}};
  ApplyPlacementFlags(value, PlacementKeepPosition, current);
  EXPECT_EQ(300, value.normal.left);
  EXPECT_EQ(400, value.normal.top);
  EXPECT_EQ(400, value.normal.right);
  EXPECT_EQ(600, value.normal.bottom);
}

TEST(PlacementRulesTest, ARescuedRectangleKeepsItsSize) {
  RECT r = {-900, -800, -500, -500};
  RECT work = {1280, 30, 2560, 1000};
  MoveIntoWorkArea(r, work);
  EXPECT_EQ(1290, r.left);
  EXPECT_EQ(40, r.top);
  EXPECT_EQ(1690, r.right);
  EXPECT_EQ(340, r.bottom);
}

}  // namespace
