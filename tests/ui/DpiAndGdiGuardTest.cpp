// The DPI helper with its test override, and the GDI guards releasing what
// they hold.
#include <gtest/gtest.h>

#include <windows.h>

#include "ui/Dpi.h"
#include "ui/GdiGuard.h"

namespace {

TEST(DpiTest, TheOverrideScalesSizesAsAt120And144Dpi) {
  DpiSetOverride(120);
  EXPECT_EQ(120, DpiGetForWindow(nullptr));
  EXPECT_EQ(20, DpiScale(nullptr, 16));
  DpiSetOverride(144);
  EXPECT_EQ(24, DpiScale(nullptr, 16));
  EXPECT_EQ(-24, DpiScale(nullptr, -16));
  EXPECT_EQ(2, DpiScale(nullptr, 1));  // 1.5 rounds up as MulDiv rounds
  DpiSetOverride(0);
}

TEST(DpiTest, WithoutTheOverrideTheScreensDpiIsUsed) {
  DpiSetOverride(0);
  HDC screen = GetDC(nullptr);
  int expected = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_TRUE(window != nullptr);
  EXPECT_EQ(expected, DpiGetForWindow(window));
  EXPECT_EQ(MulDiv(32, expected, 96), DpiScale(window, 32));
  DestroyWindow(window);
}

TEST(GdiGuardTest, AnObjectIsDeletedWhenItsGuardGoes) {
  HBRUSH kept = nullptr;
  {
    GdiBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
    kept = brush;
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(kept));
  }
  EXPECT_EQ(0u, GetObjectType(kept));
}

TEST(GdiGuardTest, ResetDeletesTheOldObjectAndDetachKeepsIt) {
  GdiPen pen(CreatePen(PS_SOLID, 1, 0));
  HPEN first = pen;
  pen.Reset(CreatePen(PS_SOLID, 2, 0));
  EXPECT_EQ(0u, GetObjectType(first));
  HPEN second = pen.Detach();
  EXPECT_FALSE(static_cast<bool>(pen));
  EXPECT_EQ(static_cast<DWORD>(OBJ_PEN), GetObjectType(second));
  DeleteObject(second);
}

TEST(GdiGuardTest, ASelectionIsUndoneBeforeTheObjectIsDeleted) {
  WindowDc screen(nullptr);
  MemoryDc memory(screen);
  ASSERT_TRUE(memory.Get() != nullptr);
  HGDIOBJ before = GetCurrentObject(memory, OBJ_FONT);
  HFONT font = nullptr;
  {
    GdiFont guard(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                              L"Tahoma"));
    font = guard;
    SelectedObject selected(memory, guard);
    EXPECT_EQ(static_cast<HGDIOBJ>(font), GetCurrentObject(memory, OBJ_FONT));
  }
  EXPECT_EQ(before, GetCurrentObject(memory, OBJ_FONT));
  EXPECT_EQ(0u, GetObjectType(font));
}

}  // namespace
