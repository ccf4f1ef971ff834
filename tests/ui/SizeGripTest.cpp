// The size grip of a resizable dialog: its square at 96, 120 and 144 DPI,
// the classic and themed pictures in that square only, and the hit test
// that makes the square (and the frame beside it) the bottom-right sizing
// corner. The maximised window is covered with the visible windows.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/ui/ControlTestSupport.h"
#include "ui/Dpi.h"
#include "ui/SizeGrip.h"

namespace {

const COLORREF Magenta = RGB(255, 0, 255);

class SizeGripTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(240, 160, false) != nullptr);
    dialog_.hook = [this](UINT message, WPARAM wParam, LPARAM lParam, int* answer) {
      if (message != WM_NCHITTEST) return false;
      *answer = grip_.OnHitTest(wParam, lParam);
      return true;
    };
  }
  void TearDown() override {
    DpiSetOverride(0);
    grip_.Detach();
    dialog_.Close(0);
  }

  POINT ClientToScreenPoint(int x, int y) {
    POINT point = {x, y};
    ClientToScreen(dialog_.Window(), &point);
    return point;
  }
  LRESULT HitTest(POINT screen) {
    return SendMessageW(dialog_.Window(), WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
  }

  controltest::HostDialog dialog_;
  SizeGrip grip_;
};

TEST_F(SizeGripTest, TheGripIsAScrollBarCornerAtTheDpiAndIsDrawnThereOnly) {
  int previous = 0;
  for (int dpi : {96, 120, 144}) {
    SCOPED_TRACE(dpi);
    DpiSetOverride(dpi);
    grip_.Theme().SetLibraryName(L"pellton-no-such-theme-library.dll");
    ASSERT_EQ(1, grip_.Attach(dialog_.Window()));
    const int width = MulDiv(GetSystemMetrics(SM_CXHSCROLL), dpi, 96);
    const int height = MulDiv(GetSystemMetrics(SM_CYVSCROLL), dpi, 96);
    RECT grip = {};
    ASSERT_EQ(1, grip_.GripRect(&grip));
    EXPECT_EQ(240 - width, grip.left);
    EXPECT_EQ(160 - height, grip.top);
    EXPECT_EQ(240, grip.right);
    EXPECT_EQ(160, grip.bottom);

    controltest::Surface surface(240, 160);
    surface.Fill(Magenta);
    ASSERT_EQ(1, grip_.Draw(surface.Dc()));
    RECT drawn = surface.Extent(Magenta);
    EXPECT_EQ(grip.left, drawn.left);
    EXPECT_EQ(grip.top, drawn.top);
    EXPECT_EQ(240, drawn.right);
    EXPECT_EQ(160, drawn.bottom);
    // The gripper's ridges fill more of a larger square.
    int ridges = 0;
    for (int y = grip.top; y < grip.bottom; ++y)
      for (int x = grip.left; x < grip.right; ++x)
        ridges += surface.At(x, y) == GetSysColor(COLOR_BTNSHADOW);
    EXPECT_GT(ridges, previous);
    previous = ridges;
    grip_.Detach();
    grip_.Theme().SetLibraryName(nullptr);
  }
}

TEST_F(SizeGripTest, AThemedGripStaysInsideItsSquare) {
  ASSERT_EQ(1, grip_.Attach(dialog_.Window()));
  if (!grip_.Theme().Theme()) GTEST_SKIP() << "no visual style active";
  controltest::Surface surface(240, 160);
  surface.Fill(Magenta);
  ASSERT_EQ(1, grip_.Draw(surface.Dc()));
  RECT grip = {};
  ASSERT_EQ(1, grip_.GripRect(&grip));
  RECT drawn = surface.Extent(Magenta);
  EXPECT_FALSE(IsRectEmpty(&drawn));
  EXPECT_GE(drawn.left, grip.left);
  EXPECT_GE(drawn.top, grip.top);
}

TEST_F(SizeGripTest, TheGripSquareAndTheFrameBesideItSizeTheBottomRightCorner) {
  ASSERT_EQ(1, grip_.Attach(dialog_.Window()));
  RECT grip = {};
  ASSERT_EQ(1, grip_.GripRect(&grip));
  EXPECT_EQ(HTBOTTOMRIGHT, HitTest(ClientToScreenPoint(grip.left + 1, grip.top + 1)));
  EXPECT_EQ(HTBOTTOMRIGHT, HitTest(ClientToScreenPoint(239, 159)));
  EXPECT_EQ(HTCLIENT, HitTest(ClientToScreenPoint(grip.left - 2, grip.top + 2)));
  EXPECT_EQ(HTCLIENT, HitTest(ClientToScreenPoint(120, 80)));
  RECT frame = {};
  GetWindowRect(dialog_.Window(), &frame);
  POINT corner = {frame.right - 1, frame.bottom - 1};
  EXPECT_EQ(HTBOTTOMRIGHT, HitTest(corner));
  // Elsewhere the answers are the system's.
  POINT caption = {(frame.left + frame.right) / 2, frame.top + GetSystemMetrics(SM_CYFRAME) + 2};
  EXPECT_EQ(HTCAPTION, HitTest(caption));
}

}  // namespace
