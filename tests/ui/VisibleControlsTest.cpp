// The controls on one dialog that is really on the screen: the size grip of
// a maximised window and of a shrunk one, the pointer leaving an icon
// button (the system's leave tracking and the timer that stands in for
// it), and a thousand repaints of every owner-drawn control without a GDI
// object left behind. One dialog serves the whole suite, as hiding a shown
// window costs the X server a round of waiting.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>

#include "resources/ResourceIds.h"
#include "tests/ui/ControlTestSupport.h"
#include "tests/ui/WindowCapture.h"
#include "ui/GdiGuard.h"
#include "ui/IconButton.h"
#include "ui/ImageCombo.h"
#include "ui/MouseLeaveTracker.h"
#include "ui/SizeGrip.h"
#include "ui/TabHost.h"

namespace {

const int ComboId = 1010;
const int ThemedButtonId = 1014;
const int ClassicButtonId = 1015;
const int TabId = 1004;

// Counts the owner-draw requests per control id; handles none of them.
class DrawCounter : public DialogControl {
public:
  std::map<UINT, int> draws;
  int OnDrawItem(const DRAWITEMSTRUCT* item) override {
    ++draws[item->CtlID];
    return 0;
  }
};

HWND MakePage(int action, int index, HWND tab, LPARAM, void*) {
  if (action != PageCreate) return nullptr;
  return CreateWindowExW(0, L"STATIC", index == 0 ? L"first page" : L"second page", WS_CHILD, 0, 0,
                         10, 10, GetParent(tab), nullptr, GetModuleHandleW(nullptr), nullptr);
}

class VisibleControlsTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dialog_ = new controltest::HostDialog;
    counter_ = new DrawCounter;
    combo_box_ = new ImageCombo;
    themed_ = new IconButton;
    classic_ = new IconButton;
    grip_ = new SizeGrip;
    tabs_ = new TabHost;
    HWND window = dialog_->Create(420, 300, true);
    ASSERT_TRUE(window != nullptr);
    dialog_->AddControl(counter_);
    HWND combo = dialog_->AddChild(WC_COMBOBOXW,
                                   CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL,
                                   ComboId, 10, 10, 200, 150);
    combo_box_->Attach(combo, GetModuleHandleW(nullptr), ImageComboComboBox, 16, 16);
    combo_box_->AddItem(L"Tracker 00:11:22:33:44:55", 0, IDI_TRACKER, nullptr);
    combo_box_->AddItem(L"Tracker 66:77:88:99:AA:BB", 1, IDI_TRACKER, nullptr);
    combo_box_->Select(1);
    dialog_->AddControl(combo_box_);
    themed_button_ = dialog_->AddChild(L"BUTTON", BS_OWNERDRAW, ThemedButtonId, 220, 8, 27, 24);
    themed_->AttachForVersion(themed_button_, GetModuleHandleW(nullptr), 16, 16, 0x60000);
    themed_->SetIcon(IDI_SEARCH);
    dialog_->AddControl(themed_);
    classic_button_ = dialog_->AddChild(L"BUTTON", BS_OWNERDRAW, ClassicButtonId, 252, 8, 27, 24);
    classic_->Theme().SetLibraryName(L"pellton-no-such-theme-library.dll");
    classic_->AttachForVersion(classic_button_, GetModuleHandleW(nullptr), 16, 16, 0x60000);
    classic_->SetIcon(IDI_BLUETOOTH);
    dialog_->AddControl(classic_);
    HWND tab = dialog_->AddChild(WC_TABCONTROLW, TCS_OWNERDRAWFIXED | WS_CLIPSIBLINGS, TabId, 10, 40,
                                 400, 230);
    tabs_->Init(tab, TabHostKeepPages, MakePage, nullptr);
    tabs_->AddTab(0, L"Info", IDI_INFO, 0, nullptr);
    tabs_->AddTab(1, L"Walking", IDI_WALKING, 0, nullptr);
    tabs_->ShowCurrent();
    dialog_->AddControl(tabs_);
    grip_->Attach(window);
    dialog_->hook = [](UINT message, WPARAM wParam, LPARAM lParam, int* answer) {
      switch (message) {
        case WM_PAINT:
          ++paints_;
          *answer = grip_->OnPaint();
          return true;
        case WM_NCHITTEST:
          *answer = grip_->OnHitTest(wParam, lParam);
          return true;
        case WM_SIZE:
          grip_->OnSize();
          tabs_->OnSize();
          return false;
        default:
          return false;
      }
    };
    PumpWaiting();
  }
  static void TearDownTestSuite() {
    tabs_->Close();
    combo_box_->Detach();
    themed_->Detach();
    classic_->Detach();
    grip_->Detach();
    dialog_->Close(0);
    delete tabs_;
    delete grip_;
    delete classic_;
    delete themed_;
    delete combo_box_;
    delete counter_;
    delete dialog_;
  }
  void TearDown() override {
    ShowWindow(dialog_->Window(), SW_RESTORE);
    SetWindowPos(dialog_->Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PumpWaiting();
  }

  static LRESULT HitTestClient(int x, int y) {
    POINT point = {x, y};
    ClientToScreen(dialog_->Window(), &point);
    return SendMessageW(dialog_->Window(), WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  }
  static POINT CentreOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  }

  static controltest::HostDialog* dialog_;
  static DrawCounter* counter_;
  static ImageCombo* combo_box_;
  static IconButton* themed_;
  static IconButton* classic_;
  static SizeGrip* grip_;
  static TabHost* tabs_;
  static HWND themed_button_;
  static HWND classic_button_;
  static int paints_;
};

controltest::HostDialog* VisibleControlsTest::dialog_ = nullptr;
DrawCounter* VisibleControlsTest::counter_ = nullptr;
ImageCombo* VisibleControlsTest::combo_box_ = nullptr;
IconButton* VisibleControlsTest::themed_ = nullptr;
IconButton* VisibleControlsTest::classic_ = nullptr;
SizeGrip* VisibleControlsTest::grip_ = nullptr;
TabHost* VisibleControlsTest::tabs_ = nullptr;
HWND VisibleControlsTest::themed_button_ = nullptr;
HWND VisibleControlsTest::classic_button_ = nullptr;
int VisibleControlsTest::paints_ = 0;

TEST_F(VisibleControlsTest, AMaximisedWindowShowsNoGripAndItsCornerDoesNotSize) {
  RECT grip = {};
  ASSERT_EQ(1, grip_->GripRect(&grip));
  testcapture::Picture normal = testcapture::CaptureWindow(dialog_->Window());
  testcapture::SaveScreenshot(normal, L"controls");
  const COLORREF background = normal.At(grip.left - 3, grip.top - 3);
  auto gripPixels = [&](const testcapture::Picture& picture, RECT square) {
    return picture.Count(square, [&](COLORREF c) { return c != background; });
  };
  EXPECT_GT(gripPixels(normal, grip), 4);
  EXPECT_EQ(HTBOTTOMRIGHT, HitTestClient(grip.right - 2, grip.bottom - 2));

  // Checked at once: without a window manager the X server soon gives the
  // window its old size back, which ends the maximised state.
  ShowWindow(dialog_->Window(), SW_MAXIMIZE);
  ASSERT_TRUE(IsZoomed(dialog_->Window()));
  RECT none = {};
  EXPECT_EQ(0, grip_->GripRect(&none));
  controltest::Surface surface(64, 64);
  EXPECT_EQ(0, grip_->Draw(surface.Dc()));
  RECT client = {};
  GetClientRect(dialog_->Window(), &client);
  EXPECT_EQ(HTCLIENT, HitTestClient(client.right - 2, client.bottom - 2));
  EXPECT_EQ(HTCLIENT, HitTestClient(client.right - 10, client.bottom - 10));
}

TEST_F(VisibleControlsTest, AShrunkWindowPaintsItsGripInTheNewCorner) {
  RECT frame = {};
  GetWindowRect(dialog_->Window(), &frame);
  testcapture::CaptureWindow(dialog_->Window());  // nothing left to paint
  SetWindowPos(dialog_->Window(), nullptr, 0, 0, frame.right - frame.left - 60,
               frame.bottom - frame.top - 40, SWP_NOMOVE | SWP_NOZORDER);
  RECT grip = {};
  ASSERT_EQ(1, grip_->GripRect(&grip));
  GdiRegion update(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(ERROR, GetUpdateRgn(dialog_->Window(), update, FALSE));
  EXPECT_TRUE(RectInRegion(update, &grip));
  int before = paints_;
  PumpWaiting();
  EXPECT_GT(paints_, before);
  SetWindowPos(dialog_->Window(), nullptr, 0, 0, frame.right - frame.left,
               frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
}

TEST_F(VisibleControlsTest, ThePointerLeavingAnIconButtonEndsItsHover) {
  POINT centre = CentreOf(classic_button_);
  SetCursorPos(centre.x, centre.y);
  SendMessageW(classic_button_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(classic_->IsHot());
  SetCursorPos(700, 700);
  EXPECT_TRUE(PumpUntil([] { return !classic_->IsHot(); }));
}

TEST_F(VisibleControlsTest, TheStandInTimerReportsTheLeaveOnlyOnceThePointerIsOutside) {
  MouseLeaveTracker tracker;
  tracker.SetLibraryName(L"kernel32.dll");  // no TrackMouseEvent there
  controltest::MessageSpy spy(themed_button_);
  // Pointer moves are kept from the button: its own hover tracking (the
  // system's) would post a leave of its own beside the stand-in's.
  spy.answer = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = 0;
    return message == WM_MOUSEMOVE;
  };
  POINT centre = CentreOf(themed_button_);
  SetCursorPos(centre.x, centre.y);
  ASSERT_EQ(1, tracker.Track(themed_button_));
  ASSERT_TRUE(tracker.TimerRunning());

  // Three ticks with the pointer inside: no leave.
  int ticks = 0;
  MSG message;
  UINT_PTR guard = SetTimer(nullptr, 0, 5000, nullptr);
  while (ticks < 3 && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr && message.wParam == guard) break;
    if (message.message == WM_TIMER && message.hwnd == themed_button_ &&
        message.wParam == reinterpret_cast<UINT_PTR>(&tracker)) {
      ++ticks;
    }
    DispatchMessageW(&message);
  }
  KillTimer(nullptr, guard);
  EXPECT_EQ(3, ticks);
  EXPECT_TRUE(spy.Of(WM_MOUSELEAVE).empty());
  EXPECT_TRUE(tracker.TimerRunning());

  SetCursorPos(700, 700);
  EXPECT_TRUE(PumpUntil([&] { return !spy.Of(WM_MOUSELEAVE).empty(); }));
  EXPECT_FALSE(tracker.TimerRunning());
  EXPECT_EQ(1u, spy.Of(WM_MOUSELEAVE).size());

  // A window lying over the control counts as leaving it.
  SetCursorPos(centre.x, centre.y);
  ASSERT_EQ(1, tracker.Track(themed_button_));
  HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"BUTTON", L"", WS_POPUP | WS_VISIBLE,
                               centre.x - 20, centre.y - 20, 40, 40, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(cover != nullptr);
  EXPECT_TRUE(PumpUntil([&] { return spy.Of(WM_MOUSELEAVE).size() == 2; }));
  DestroyWindow(cover);
}

TEST_F(VisibleControlsTest, AThousandRepaintsLeaveNoGdiObjectBehind) {
  // The count must see one object come and go, or it measures nothing.
  int baseline = controltest::LiveGdiObjects();
  ASSERT_GT(baseline, 0) << "no way to count GDI objects here";
  {
    GdiBrush probe(CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_EQ(baseline + 1, controltest::LiveGdiObjects());
  }
  ASSERT_EQ(baseline, controltest::LiveGdiObjects());

  const UINT redraw = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW;
  for (int i = 0; i < 10; ++i) RedrawWindow(dialog_->Window(), nullptr, nullptr, redraw);
  PumpWaiting();
  counter_->draws.clear();
  int paintsBefore = paints_;
  const int before = controltest::LiveGdiObjects();
  for (int i = 0; i < 1000; ++i) RedrawWindow(dialog_->Window(), nullptr, nullptr, redraw);
  PumpWaiting();
  const int after = controltest::LiveGdiObjects();
  EXPECT_EQ(before, after);
  EXPECT_GE(counter_->draws[ComboId], 1000);
  EXPECT_GE(counter_->draws[ThemedButtonId], 1000);
  EXPECT_GE(counter_->draws[ClassicButtonId], 1000);
  EXPECT_GE(counter_->draws[TabId], 1000);
  EXPECT_GE(paints_ - paintsBefore, 1000);
  std::printf("GDI objects before %d, after 1000 repaints %d\n", before, after);
}

}  // namespace
