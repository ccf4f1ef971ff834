// The tab host on a real tab control in a dialog: pages made through the
// callback and placed over the display area, kept pages shown again
// without a second creation while the "shown" call still follows, a
// callback that makes no page, closing pages, tooltips, re-entry from the
// callback, tab selection by mouse, and the owner-drawn tab.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "resources/ResourceIds.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/TabHost.h"

namespace {

const int TabId = 1004;

// The page's own visible flag (the test dialog itself stays hidden).
bool Shown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

struct Call {
  int action;
  int index;
  LPARAM data;
};

class TabHostTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(420, 300, false) != nullptr);
    tab_ = dialog_.AddChild(WC_TABCONTROLW, TCS_TOOLTIPS | WS_CLIPSIBLINGS, TabId, 10, 10, 400, 280);
    ASSERT_TRUE(tab_ != nullptr);
  }
  void TearDown() override {
    host_.Close();
    dialog_.Close(0);
  }

  void Init(unsigned flags) {
    ASSERT_EQ(1, host_.Init(tab_, flags, Callback, this));
    ASSERT_EQ(1, dialog_.AddControl(&host_));
    static const wchar_t* const names[] = {L"Info", L"Walking", L"Sleeping", L"About"};
    for (int i = 0; i < 4; ++i) {
      int index = -1;
      ASSERT_EQ(1, host_.AddTab(i, names[i], -1, 100 + i, &index));
      EXPECT_EQ(i, index);
    }
  }

  static HWND Callback(int action, int index, HWND tab, LPARAM data, void* user) {
    TabHostTest* self = static_cast<TabHostTest*>(user);
    EXPECT_EQ(self->tab_, tab);
    self->calls_.push_back(Call{action, index, data});
    if (action == PageTooltip) {
      *reinterpret_cast<wchar_t**>(data) = const_cast<wchar_t*>(L"tip text");
      return nullptr;
    }
    if (action != PageCreate) return nullptr;
    if (index == self->refuseIndex_) return nullptr;
    if (index == self->reenterIndex_) {
      self->reenterIndex_ = -1;
      self->host_.ShowCurrent();  // makes a page of its own first
    }
    if (index == self->closeIndex_) {
      self->closeIndex_ = -1;
      self->host_.Close();  // the owner closes while the page is made
    }
    if (index == self->switchIndex_) {
      // Another tab is clicked while this page is being made (a page that
      // waits for something lets messages through).
      self->switchIndex_ = -1;
      self->host_.Select(self->switchTo_, true);
    }
    HWND page = CreateWindowExW(0, L"STATIC", L"page", WS_CHILD, 0, 0, 10, 10,
                                GetParent(tab), nullptr, GetModuleHandleW(nullptr), nullptr);
    self->made_.push_back(page);
    return page;
  }

  // The display area of the tab in the dialog's client coordinates.
  RECT DisplayArea() const {
    RECT area = {};
    GetClientRect(tab_, &area);
    SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    MapWindowPoints(tab_, dialog_.Window(), reinterpret_cast<POINT*>(&area), 2);
    return area;
  }
  RECT PageRect(HWND page) const {
    RECT rect = {};
    GetWindowRect(page, &rect);
    MapWindowPoints(nullptr, dialog_.Window(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  int CountCalls(int action, int index) const {
    int n = 0;
    for (const Call& call : calls_) n += call.action == action && call.index == index;
    return n;
  }

  controltest::HostDialog dialog_;
  HWND tab_ = nullptr;
  TabHost host_;
  std::vector<Call> calls_;
  std::vector<HWND> made_;
  int refuseIndex_ = -1;
  int reenterIndex_ = -1;
  int switchIndex_ = -1;
  int switchTo_ = -1;
  int closeIndex_ = -1;
};

TEST_F(TabHostTest, AKeptPageIsShownAgainWithoutASecondCreationAndTheShownCallFollows) {
  Init(TabHostKeepPages);
  host_.ShowCurrent();
  ASSERT_EQ(1u, made_.size());
  HWND info = made_[0];
  EXPECT_EQ(info, host_.Page());
  EXPECT_TRUE(Shown(info));

  EXPECT_EQ(0, host_.Select(1, true));
  ASSERT_EQ(2u, made_.size());
  HWND walking = made_[1];
  EXPECT_FALSE(Shown(info));
  EXPECT_TRUE(Shown(walking));

  calls_.clear();
  EXPECT_EQ(1, host_.Select(0, true));
  EXPECT_EQ(2u, made_.size());  // nothing new was made
  EXPECT_EQ(info, host_.Page());
  EXPECT_TRUE(Shown(info));
  EXPECT_FALSE(Shown(walking));
  EXPECT_TRUE(IsWindow(walking));
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ(PageShown, calls_[0].action);
  EXPECT_EQ(0, calls_[0].index);
  EXPECT_EQ(100, calls_[0].data);  // the tab item's value
  EXPECT_EQ(info, host_.KeptPage(0));
  EXPECT_EQ(walking, host_.KeptPage(1));
}

TEST_F(TabHostTest, APageCoversTheDisplayAreaAndFollowsTheTabsSize) {
  Init(TabHostKeepPages);
  host_.ShowCurrent();
  HWND page = host_.Page();
  ASSERT_TRUE(page != nullptr);
  RECT expected = DisplayArea();
  RECT actual = PageRect(page);
  EXPECT_TRUE(EqualRect(&expected, &actual));
  EXPECT_EQ(page, GetWindow(dialog_.Window(), GW_CHILD));  // above the tab (HWND_TOP)

  SetWindowPos(tab_, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  host_.OnSize();
  RECT smaller = DisplayArea();
  actual = PageRect(page);
  EXPECT_TRUE(EqualRect(&smaller, &actual));
  EXPECT_LT(smaller.right - smaller.left, expected.right - expected.left);
}

TEST_F(TabHostTest, WithoutKeepingPagesTheOldPageIsClosedAndMadeAgain) {
  Init(0);
  host_.ShowCurrent();
  host_.Select(2, true);
  ASSERT_EQ(2u, made_.size());
  EXPECT_FALSE(IsWindow(made_[0]));  // WM_CLOSE ended the static page
  host_.Select(0, true);
  ASSERT_EQ(3u, made_.size());
  EXPECT_FALSE(IsWindow(made_[1]));
  EXPECT_EQ(2, CountCalls(PageCreate, 0));
  EXPECT_EQ(nullptr, host_.KeptPage(0));
}

TEST_F(TabHostTest, ACallbackThatMakesNoPageLeavesTheTabEmptyAndSwitchingStillWorks) {
  Init(TabHostKeepPages);
  refuseIndex_ = 1;
  host_.ShowCurrent();
  HWND info = host_.Page();
  host_.Select(1, true);
  EXPECT_EQ(nullptr, host_.Page());
  EXPECT_FALSE(Shown(info));
  EXPECT_EQ(1, CountCalls(PageShown, 1));  // the shown call comes all the same

  host_.Select(2, true);
  ASSERT_TRUE(host_.Page() != nullptr);
  EXPECT_TRUE(Shown(host_.Page()));
  RECT expected = DisplayArea();
  RECT actual = PageRect(host_.Page());
  EXPECT_TRUE(EqualRect(&expected, &actual));

  // The refused tab is asked again the next time it is shown.
  refuseIndex_ = -1;
  host_.Select(1, true);
  EXPECT_EQ(2, CountCalls(PageCreate, 1));
  EXPECT_TRUE(host_.Page() != nullptr);
}

TEST_F(TabHostTest, AClickOnATabShowsItsPageThroughTheSelectionNotification) {
  Init(TabHostKeepPages);
  host_.ShowCurrent();
  RECT item = {};
  ASSERT_TRUE(SendMessageW(tab_, TCM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&item)));
  LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageW(tab_, WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageW(tab_, WM_LBUTTONUP, 0, point);
  EXPECT_EQ(3, host_.Current());
  EXPECT_EQ(1, CountCalls(PageCreate, 3));
  EXPECT_EQ(1, CountCalls(PageShown, 3));
  EXPECT_EQ(made_.back(), host_.Page());
}

TEST_F(TabHostTest, CloseSendsEveryKeptPageWmCloseAndRemovesTheImages) {
  Init(TabHostKeepPages);
  int index = -1;
  ASSERT_EQ(1, host_.AddTab(4, L"Icon", IDI_INFO, 0, &index));
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(tab_, TCM_GETIMAGELIST, 0, 0));
  ASSERT_TRUE(images != nullptr);
  EXPECT_EQ(1, ImageList_GetImageCount(images));
  TCITEMW tabItem = {};
  tabItem.mask = TCIF_IMAGE;
  ASSERT_TRUE(SendMessageW(tab_, TCM_GETITEMW, 4, reinterpret_cast<LPARAM>(&tabItem)));
  EXPECT_EQ(0, tabItem.iImage);

  host_.ShowCurrent();
  host_.Select(2, true);
  host_.Select(3, true);
  ASSERT_EQ(3u, made_.size());
  host_.Close();
  for (HWND page : made_) EXPECT_FALSE(IsWindow(page));
  EXPECT_EQ(nullptr, host_.Page());
  EXPECT_EQ(nullptr, host_.KeptPage(2));
  EXPECT_EQ(0, ImageList_GetImageCount(images));
}

TEST_F(TabHostTest, APageMadeWhileTheCallbackReenteredIsClosedAndTheFirstStays) {
  Init(TabHostKeepPages);
  reenterIndex_ = 0;
  host_.ShowCurrent();
  ASSERT_EQ(2u, made_.size());
  // The inner call made made_[0]; the outer one's page made_[1] is dropped.
  EXPECT_EQ(made_[0], host_.Page());
  EXPECT_TRUE(IsWindow(made_[0]));
  EXPECT_FALSE(IsWindow(made_[1]));
}

TEST_F(TabHostTest, ATabSwitchWhileAPageIsMadeEndsWithTheSwitchedToPageShownAndAnnounced) {
  Init(TabHostKeepPages);
  host_.ShowCurrent();  // Info
  ASSERT_EQ(1u, made_.size());
  calls_.clear();
  switchIndex_ = 1;  // making Walking, the user picks Sleeping
  switchTo_ = 2;
  host_.Select(1, true);
  // The switch comes before Walking's page is made: made_[1] is Sleeping
  // (the inner call's), made_[2] Walking.
  ASSERT_EQ(3u, made_.size());
  EXPECT_EQ(2, host_.Current());
  EXPECT_EQ(made_[1], host_.Page());
  EXPECT_EQ(made_[1], host_.KeptPage(2));
  EXPECT_TRUE(Shown(made_[1]));
  EXPECT_FALSE(IsWindow(made_[2]));  // the page of the tab left meanwhile is dropped
  EXPECT_EQ(nullptr, host_.KeptPage(1));
  // The last word to the owner is the page that is shown: the owner must
  // not hear that Walking is shown after Sleeping.
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(PageShown, calls_.back().action);
  EXPECT_EQ(2, calls_.back().index);
  EXPECT_EQ(0, CountCalls(PageShown, 1));
  EXPECT_EQ(1, CountCalls(PageShown, 2));

  // Walking is made again when its tab comes back.
  host_.Select(1, true);
  ASSERT_EQ(4u, made_.size());
  EXPECT_EQ(made_[3], host_.Page());
  EXPECT_EQ(PageShown, calls_.back().action);
  EXPECT_EQ(1, calls_.back().index);
}

TEST_F(TabHostTest, AHostClosedWhileAPageIsMadeKeepsNoPage) {
  Init(TabHostKeepPages);
  host_.ShowCurrent();
  calls_.clear();
  closeIndex_ = 1;
  host_.Select(1, true);
  ASSERT_EQ(2u, made_.size());
  EXPECT_FALSE(IsWindow(made_[0]));  // closed by Close
  EXPECT_FALSE(IsWindow(made_[1]));  // made after Close began: dropped
  EXPECT_EQ(nullptr, host_.Page());
  EXPECT_EQ(nullptr, host_.KeptPage(1));
  EXPECT_EQ(0, CountCalls(PageShown, 1));
}

TEST_F(TabHostTest, TooltipTextsComeFromTheCallbackUnlessSwitchedOff) {
  Init(TabHostKeepPages);
  HWND tooltip = reinterpret_cast<HWND>(SendMessageW(tab_, TCM_GETTOOLTIPS, 0, 0));
  ASSERT_TRUE(tooltip != nullptr);
  NMTTDISPINFOW info = {};
  info.hdr.hwndFrom = tooltip;
  info.hdr.idFrom = 2;
  info.hdr.code = TTN_GETDISPINFOW;
  SendMessageW(dialog_.Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  ASSERT_EQ(1, CountCalls(PageTooltip, 2));
  EXPECT_STREQ(L"tip text", info.lpszText);

  TabHost quiet;
  ASSERT_EQ(1, quiet.Init(tab_, TabHostNoTooltips, Callback, this));
  info.lpszText = nullptr;
  LRESULT result = 0;
  EXPECT_EQ(0, quiet.OnNotify(&info.hdr, &result));
  EXPECT_EQ(nullptr, info.lpszText);
  EXPECT_EQ(1, CountCalls(PageTooltip, 2));
}

TEST_F(TabHostTest, AnOwnerDrawnTabIsFilledWithTheFaceColourAndShowsItsText) {
  Init(TabHostKeepPages);
  controltest::Surface surface(80, 24);
  surface.Fill(RGB(255, 0, 255));
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_TAB;
  item.CtlID = TabId;
  item.itemID = 1;
  item.hwndItem = tab_;
  item.hDC = surface.Dc();
  SetRect(&item.rcItem, 0, 0, 80, 24);
  EXPECT_EQ(1, host_.OnDrawItem(&item));
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(face, surface.At(0, 0));
  EXPECT_EQ(face, surface.At(79, 23));
  RECT text = surface.Extent(face);
  EXPECT_FALSE(IsRectEmpty(&text));
  // Centred: as much room on the left as on the right, give or take a pixel.
  EXPECT_NEAR(text.left, 80 - text.right, 2);

  item.CtlType = ODT_BUTTON;
  EXPECT_EQ(0, host_.OnDrawItem(&item));
}

}  // namespace
