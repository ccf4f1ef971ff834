// The icon button on a real button: the native icon button of newer common
// controls with its icon handles, the owner-drawn look with its hover
// subclass (pointer in, pointer out, cancelled mode), and the owner-drawn
// picture with and without a theme at 96, 120 and 144 DPI.
#include <gtest/gtest.h>

#include <windows.h>

#include "resources/ResourceIds.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/Dpi.h"
#include "ui/IconButton.h"

namespace {

const int ButtonId = 1014;
const COLORREF Magenta = RGB(255, 0, 255);
const wchar_t* const HoverProperty = L"_C_SubClassing_Property_62696D75";

bool IconAlive(HICON icon) {
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return false;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return true;
}

class IconButtonTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(200, 100, false) != nullptr);
    button_ = dialog_.AddChild(L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, ButtonId, 10, 10, 27, 24);
    ASSERT_TRUE(button_ != nullptr);
  }
  void TearDown() override {
    DpiSetOverride(0);
    icon_button_.Detach();
    dialog_.Close(0);
  }

  void AttachClassic(bool themed) {
    if (!themed) icon_button_.Theme().SetLibraryName(L"pellton-no-such-theme-library.dll");
    ASSERT_EQ(1, icon_button_.AttachForVersion(button_, GetModuleHandleW(nullptr), 16, 16, 0x60000));
    ASSERT_EQ(1, icon_button_.SetIcon(IDI_SEARCH));
  }

  void Draw(controltest::Surface& surface, UINT state) {
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = ButtonId;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = button_;
    item.hDC = surface.Dc();
    SetRect(&item.rcItem, 0, 0, surface.Width(), surface.Height());
    EXPECT_EQ(1, icon_button_.OnDrawItem(&item));
  }

  // Where the icon was drawn: pixels other than the face colour inside the
  // frame (3 pixels in from each side).
  static RECT IconExtent(const controltest::Surface& surface) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    RECT extent = {surface.Width(), surface.Height(), 0, 0};
    for (int y = 3; y < surface.Height() - 3; ++y) {
      for (int x = 3; x < surface.Width() - 3; ++x) {
        if (surface.At(x, y) == face) continue;
        if (x < extent.left) extent.left = x;
        if (y < extent.top) extent.top = y;
        if (x + 1 > extent.right) extent.right = x + 1;
        if (y + 1 > extent.bottom) extent.bottom = y + 1;
      }
    }
    return extent;
  }

  controltest::HostDialog dialog_;
  HWND button_ = nullptr;
  IconButton icon_button_;
};

TEST_F(IconButtonTest, NewCommonControlsMakeANativeIconButtonThatOwnsOneIconAtATime) {
  ASSERT_EQ(1, icon_button_.AttachForVersion(button_, GetModuleHandleW(nullptr), 16, 16, 0x60010));
  EXPECT_TRUE(icon_button_.IsNative());
  LONG style = GetWindowLongW(button_, GWL_STYLE);
  EXPECT_EQ(BS_PUSHBUTTON, style & BS_TYPEMASK);  // no longer owner-drawn
  EXPECT_TRUE(style & BS_ICON);
  EXPECT_EQ(nullptr, GetPropW(button_, HoverProperty));

  ASSERT_EQ(1, icon_button_.SetIcon(IDI_SEARCH));
  HICON first = reinterpret_cast<HICON>(SendMessageW(button_, BM_GETIMAGE, IMAGE_ICON, 0));
  ASSERT_TRUE(first != nullptr);
  ASSERT_EQ(1, icon_button_.SetIcon(IDI_BLUETOOTH));
  HICON second = reinterpret_cast<HICON>(SendMessageW(button_, BM_GETIMAGE, IMAGE_ICON, 0));
  EXPECT_NE(first, second);
  EXPECT_FALSE(IconAlive(first));  // the replaced icon is gone
  EXPECT_TRUE(IconAlive(second));

  // A missing icon leaves the shown one alone.
  EXPECT_EQ(0, icon_button_.SetIcon(9999));
  EXPECT_EQ(second, reinterpret_cast<HICON>(SendMessageW(button_, BM_GETIMAGE, IMAGE_ICON, 0)));
  EXPECT_TRUE(IconAlive(second));

  icon_button_.Detach();
  EXPECT_FALSE(IconAlive(second));
  EXPECT_EQ(nullptr, reinterpret_cast<HICON>(SendMessageW(button_, BM_GETIMAGE, IMAGE_ICON, 0)));
}

TEST_F(IconButtonTest, Version615AndOlderKeepTheOwnerDrawnLookWithAHoverSubclass) {
  ASSERT_EQ(1, icon_button_.AttachForVersion(button_, GetModuleHandleW(nullptr), 16, 16, 0x6000F));
  EXPECT_FALSE(icon_button_.IsNative());
  EXPECT_EQ(BS_OWNERDRAW, GetWindowLongW(button_, GWL_STYLE) & BS_TYPEMASK);
  EXPECT_TRUE(GetPropW(button_, HoverProperty) != nullptr);
  WNDPROC hooked = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button_, GWLP_WNDPROC));
  icon_button_.Detach();
  EXPECT_EQ(nullptr, GetPropW(button_, HoverProperty));
  EXPECT_NE(hooked, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button_, GWLP_WNDPROC)));
}

TEST_F(IconButtonTest, APointerMoveMakesTheButtonHotAndALeaveEndsIt) {
  AttachClassic(false);
  EXPECT_FALSE(icon_button_.IsHot());
  SendMessageW(button_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(icon_button_.IsHot());
  SendMessageW(button_, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(icon_button_.IsHot());
}

TEST_F(IconButtonTest, ACancelledModeEndsHoverAndTheButtonStillGivesUpTheMouse) {
  AttachClassic(false);
  SendMessageW(button_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_EQ(button_, GetCapture());
  SendMessageW(button_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, 6));
  EXPECT_TRUE(icon_button_.IsHot());
  SendMessageW(button_, WM_CANCELMODE, 0, 0);
  EXPECT_FALSE(icon_button_.IsHot());
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(0, SendMessageW(button_, BM_GETSTATE, 0, 0) & BST_PUSHED);
}

TEST_F(IconButtonTest, TheClassicPictureCentresTheIconAtTheSizeOfTheDpi) {
  int previousWidth = 0;
  for (int dpi : {96, 120, 144}) {
    SCOPED_TRACE(dpi);
    DpiSetOverride(dpi);
    AttachClassic(false);
    const int icon = MulDiv(16, dpi, 96);
    EXPECT_EQ(icon, icon_button_.IconWidth());
    const int side = MulDiv(26, dpi, 96);
    controltest::Surface surface(side, side);
    surface.Fill(Magenta);
    Draw(surface, 0);
    EXPECT_EQ(0, surface.Count(Magenta));  // the whole button is painted
    RECT drawn = IconExtent(surface);
    const int origin = (side - icon) / 2;
    EXPECT_GE(drawn.left, origin);
    EXPECT_GE(drawn.top, origin);
    EXPECT_LE(drawn.right, origin + icon);
    EXPECT_LE(drawn.bottom, origin + icon);
    EXPECT_GT(drawn.right - drawn.left, previousWidth);
    previousWidth = drawn.right - drawn.left;
    icon_button_.Detach();
  }
}

TEST_F(IconButtonTest, FocusFramesTheButtonInBlackAndDisablingFadesTheIcon) {
  AttachClassic(false);
  controltest::Surface normal(26, 26);
  Draw(normal, 0);
  EXPECT_NE(RGB(0, 0, 0), normal.At(0, 13));

  controltest::Surface focused(26, 26);
  Draw(focused, ODS_FOCUS);
  EXPECT_EQ(RGB(0, 0, 0), focused.At(0, 13));
  EXPECT_EQ(RGB(0, 0, 0), focused.At(25, 13));
  int dots = 0;  // the focus rectangle 4 pixels in
  for (int y = 5; y < 21; ++y) dots += focused.At(4, y) != normal.At(4, y);
  EXPECT_GT(dots, 3);

  controltest::Surface disabled(26, 26);
  Draw(disabled, ODS_DISABLED);
  int changed = 0;
  for (int y = 5; y < 21; ++y)
    for (int x = 5; x < 21; ++x) changed += disabled.At(x, y) != normal.At(x, y);
  EXPECT_GT(changed, 10);
}

TEST_F(IconButtonTest, WithAThemeTheButtonBackgroundIsThemed) {
  AttachClassic(true);
  if (!icon_button_.Theme().Theme()) GTEST_SKIP() << "no visual style active";
  controltest::Surface surface(26, 26);
  surface.Fill(Magenta);
  Draw(surface, 0);
  EXPECT_LT(surface.Count(Magenta), 26 * 26 / 10);  // at most the corners show through
  RECT icon = IconExtent(surface);
  EXPECT_GT(icon.right - icon.left, 4);
}

}  // namespace
