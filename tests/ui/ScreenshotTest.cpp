// Screenshots of the main window template with each page, empty of data,
// built the way the program builds them: dialogs of the framework (font
// substitution included), the tab host with its icons, the image combo, the
// icon buttons, the size grip, the battery bar, the link labels and the
// About page's styled labels. The pictures go to the build's "screenshots"
// folder; the test checks that each page shows its controls and nothing
// overlaps the tab area.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "resources/ResourceIds.h"
#include "tests/ui/WindowCapture.h"
#include "ui/Dialog.h"
#include "ui/IconButton.h"
#include "ui/ImageCombo.h"
#include "ui/LinkLabel.h"
#include "ui/ProgressBar.h"
#include "ui/SizeGrip.h"
#include "ui/StyledLabel.h"
#include "ui/TabHost.h"

namespace {

int NoOpen(const wchar_t*) { return 1; }

// A page with the wrappers its template's controls get in the program.
class PageLook : public Dialog {
public:
  explicit PageLook(int templateId) : templateId_(templateId) {}

  int OnInitDialog() override {
    HINSTANCE module = GetModuleHandleW(nullptr);
    switch (templateId_) {
      case IDD_PAGE_INFO:
        battery_.Attach(Item(IDC_INFO_BATTERY), ProgressBarNoTaskbar);
        battery_.SetRange(0, 100, 1);
        battery_.SetPosition(0);
        link_.SetUrlOpener(NoOpen);
        link_.Attach(Item(IDC_INFO_SET_TIME), L"Set Date && Time to clear history in the device", nullptr,
                     IDC_LINK_CURSOR, 0x802);
        break;
      case IDD_PAGE_WALKING:
        dates_.Attach(Item(IDC_WALKING_DATES), module, 1, 16, 16);
        AddControl(&dates_);
        break;
      case IDD_PAGE_SLEEPING:
        dates_.Attach(Item(IDC_SLEEPING_DATES), module, 1, 16, 16);
        AddControl(&dates_);
        break;
      case IDD_PAGE_ABOUT:
        title_.Attach(Item(IDC_ABOUT_TITLE), L"Verdana", 100, 0, 0, 0x0C000000, 0, nullptr, nullptr);
        SetItemText(IDC_ABOUT_VERSION, L"Version 1.06");
        version_.Attach(Item(IDC_ABOUT_VERSION), nullptr, 0, 0x808080, 0x808080, 0x8000, 0, nullptr, nullptr);
        break;
      default:
        break;
    }
    return 1;
  }
  int CanClose(INT_PTR) override {
    link_.Detach();
    battery_.Detach();
    dates_.Detach();
    title_.Detach();
    version_.Detach();
    return 1;
  }

private:
  int templateId_;
  ProgressBar battery_;
  LinkLabel link_;
  ImageCombo dates_;
  StyledLabel title_;
  StyledLabel version_;
};

const int kPageTemplates[] = {IDD_PAGE_INFO, IDD_PAGE_WALKING, IDD_PAGE_SLEEPING, IDD_PAGE_ABOUT};

class MainLook : public Dialog {
public:
  int OnInitDialog() override {
    HINSTANCE module = GetModuleHandleW(nullptr);
    SetIcon(IDI_APPLICATION_ICON);
    SetTitle(L"Pellton - Samsung EI-AN900 Viewer [1.06]");
    devices_.Attach(Item(IDC_MAIN_DEVICES), module, 1, 16, 16);
    AddControl(&devices_);
    grip_.Attach(Window());
    const int buttons[][2] = {{IDC_MAIN_SEARCH, IDI_SEARCH},
                              {IDC_MAIN_BLUETOOTH, IDI_BLUETOOTH},
                              {IDC_MAIN_DEVICE_MANAGER, IDI_DEVICE_MANAGER}};
    for (int i = 0; i < 3; ++i) {
      buttons_[i].Attach(Item(buttons[i][0]), module, 16, 16);
      buttons_[i].SetIcon(buttons[i][1]);
      AddControl(&buttons_[i]);
    }
    SetItemText(IDC_MAIN_STATUS, L"");
    tabs_.Init(Item(IDC_MAIN_TABS), TabHostKeepPages, &MainLook::Page, this);
    AddControl(&tabs_);
    tabs_.AddTab(0, L"Info", IDI_INFO, 0, nullptr);
    tabs_.AddTab(1, L"Walking", IDI_WALKING, 0, nullptr);
    tabs_.AddTab(2, L"Sleeping", IDI_SLEEPING, 0, nullptr);
    tabs_.AddTab(3, L"About", IDI_ABOUT, 0, nullptr);
    tabs_.ShowCurrent();
    AddAnchorItem(IDC_MAIN_TABS, 12);
    AddAnchorItem(IDC_MAIN_CLOSE, 3);
    AddAnchorItem(IDC_MAIN_WEB_LINK, 2);
    AddAnchorItem(IDC_MAIN_STATUS, 4);
    web_.SetUrlOpener(NoOpen);
    web_.Attach(Item(IDC_MAIN_WEB_LINK), L"www.vantrel.com", L"http://www.vantrel.com", IDC_LINK_CURSOR, 0x2);
    return 1;
  }
  int CanClose(INT_PTR) override {
    tabs_.Close();
    web_.Detach();
    for (IconButton& button : buttons_) button.Detach();
    devices_.Detach();
    grip_.Detach();
    return 1;
  }
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_SIZE:
        grip_.OnSize();
        ApplyAnchors(wParam, lParam);
        tabs_.OnSize();
        return 1;
      case WM_PAINT:
        return grip_.OnPaint();
      case WM_NCHITTEST:
        return grip_.OnHitTest(wParam, lParam);
      default:
        return Dialog::OnMessage(message, wParam, lParam);
    }
  }

  TabHost& Tabs() { return tabs_; }
  HWND PageWindow(int index) { return tabs_.KeptPage(index); }

private:
  static HWND Page(int action, int index, HWND, LPARAM, void* user) {
    MainLook* self = static_cast<MainLook*>(user);
    if (action != PageCreate || index < 0 || index > 3) return nullptr;
    self->pages_[index].reset(new PageLook(kPageTemplates[index]));
    return self->pages_[index]->CreateModeless(GetModuleHandleW(nullptr), kPageTemplates[index], 0,
                                               self->Window());
  }

  ImageCombo devices_;
  IconButton buttons_[3];
  SizeGrip grip_;
  TabHost tabs_;
  LinkLabel web_;
  std::unique_ptr<PageLook> pages_[4];
};

TEST(ScreenshotTest, TheMainWindowWithEachPageEmptyOfData) {
  MainLook main;
  HWND window = main.CreateModeless(GetModuleHandleW(nullptr), IDD_MAIN);
  ASSERT_TRUE(window != nullptr);
  SetWindowPos(window, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  const wchar_t* names[] = {L"page104-info", L"page106-walking", L"page105-sleeping", L"page107-about"};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    main.Tabs().Select(i, true);
    HWND page = main.PageWindow(i);
    ASSERT_TRUE(page != nullptr);
    EXPECT_TRUE(IsWindowVisible(page));
    testcapture::Picture shot = testcapture::CaptureWindow(window);
    EXPECT_FALSE(testcapture::SaveScreenshot(shot, names[i]).empty());

    // The page lies inside the tab control, shows its background colour
    // (the tab's body colour under a visual style) for the most part and
    // something drawn on it (its labels and controls).
    RECT tab = testcapture::ChildArea(window, main.Tabs().Tab());
    RECT inside = testcapture::ChildArea(window, page);
    RECT both;
    ASSERT_TRUE(IntersectRect(&both, &tab, &inside));
    EXPECT_TRUE(EqualRect(&both, &inside));
    int total = (inside.right - inside.left) * (inside.bottom - inside.top);
    COLORREF background = shot.At(inside.right - 3, inside.bottom - 3);
    int plain = shot.Count(inside, [background](COLORREF c) { return c == background; });
    EXPECT_GT(plain, total / 2);
    EXPECT_GT(total - plain, 200);
  }
  main.Tabs().Select(0, true);
  testcapture::Picture whole = testcapture::CaptureWindow(window);
  EXPECT_FALSE(testcapture::SaveScreenshot(whole, L"dialog102-main").empty());
  // The grip is drawn in the bottom-right corner: not all face colour there.
  RECT corner = {whole.width - 12, whole.height - 12, whole.width, whole.height};
  COLORREF face = whole.At(whole.width - 14, whole.height - 14);
  EXPECT_GT(whole.Count(corner, [face](COLORREF c) { return c != face; }), 4);

  // Wider and taller: the tab control grows, Close follows the corner.
  RECT before;
  GetWindowRect(GetDlgItem(window, IDC_MAIN_CLOSE), &before);
  RECT frame;
  GetWindowRect(window, &frame);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top + 80,
               SWP_NOMOVE | SWP_NOZORDER);
  RECT after;
  GetWindowRect(GetDlgItem(window, IDC_MAIN_CLOSE), &after);
  EXPECT_EQ(before.left + 120, after.left);
  EXPECT_EQ(before.top + 80, after.top);
  testcapture::Picture larger = testcapture::CaptureWindow(window);
  EXPECT_FALSE(testcapture::SaveScreenshot(larger, L"dialog102-main-resized").empty());
  main.Close(0);
  PumpWaiting();
}

}  // namespace
