// The control wrappers on the program's own templates, wired the way the
// main window wires them: the device list, the three icon buttons, the tab
// host making the four page dialogs on demand and keeping them, the size
// grip of the window corner and the Info page's battery bar.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/IconButton.h"
#include "ui/ImageCombo.h"
#include "ui/ProgressBar.h"
#include "ui/SizeGrip.h"
#include "ui/TabHost.h"

namespace {

const int PageTemplates[] = {IDD_PAGE_INFO, IDD_PAGE_WALKING, IDD_PAGE_SLEEPING, IDD_PAGE_ABOUT};

class MainWindowLike : public Dialog {
public:
  ImageCombo devices;
  IconButton buttons[3];
  TabHost tabs;
  SizeGrip grip;
  Dialog pages[4];
  int made[4] = {};
  int shown = -1;
  int hits = 0;

  int OnInitDialog() override {
    devices.Attach(Item(IDC_MAIN_DEVICES), Module(), ImageComboComboBox, 0, 0);
    AddControl(&devices);
    const int ids[3] = {IDC_MAIN_SEARCH, IDC_MAIN_BLUETOOTH, IDC_MAIN_DEVICE_MANAGER};
    const int icons[3] = {IDI_SEARCH, IDI_BLUETOOTH, IDI_DEVICE_MANAGER};
    for (int i = 0; i < 3; ++i) {
      buttons[i].Attach(Item(ids[i]), Module(), 16, 16);
      buttons[i].SetIcon(icons[i]);
      AddControl(&buttons[i]);
    }
    grip.Attach(Window());
    tabs.Init(Item(IDC_MAIN_TABS), TabHostKeepPages, Callback, this);
    AddControl(&tabs);
    tabs.AddTab(0, L"Info", IDI_INFO, 0, nullptr);
    tabs.AddTab(1, L"Walking", IDI_WALKING, 0, nullptr);
    tabs.AddTab(2, L"Sleeping", IDI_SLEEPING, 0, nullptr);
    tabs.AddTab(3, L"About", IDI_ABOUT, 0, nullptr);
    tabs.ShowCurrent();
    tabs.Select(2, true);
    return 1;
  }
  int CanClose(INT_PTR) override {
    tabs.Close();
    for (IconButton& button : buttons) button.Detach();
    devices.Clear();
    return 1;
  }
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_PAINT:
        return grip.OnPaint();
      case WM_NCHITTEST:
        ++hits;
        return grip.OnHitTest(wParam, lParam);
      case WM_SIZE:
        grip.OnSize();
        tabs.OnSize();
        break;
      default:
        break;
    }
    return Dialog::OnMessage(message, wParam, lParam);
  }

  static HWND Callback(int action, int index, HWND, LPARAM, void* user) {
    MainWindowLike* self = static_cast<MainWindowLike*>(user);
    if (action == PageShown) self->shown = index;
    if (action != PageCreate || index < 0 || index > 3) return nullptr;
    ++self->made[index];
    return self->pages[index].CreateModeless(self->Module(), PageTemplates[index], 0, self->Window());
  }
};

TEST(MainTemplateControlsTest, TheMainWindowsControlsFitItsTemplates) {
  MainWindowLike window;
  ASSERT_TRUE(window.CreateModeless(GetModuleHandleW(nullptr), IDD_MAIN) != nullptr);
  // The Info page (the tab control's first) and the selected Sleeping page
  // were made, once each.
  EXPECT_EQ(1, window.made[0]);
  EXPECT_EQ(0, window.made[1]);
  EXPECT_EQ(1, window.made[2]);
  EXPECT_EQ(2, window.shown);
  EXPECT_EQ(2, window.tabs.Current());
  EXPECT_EQ(window.pages[2].Window(), window.tabs.Page());
  EXPECT_EQ(window.pages[0].Window(), window.tabs.KeptPage(0));
  EXPECT_FALSE(GetWindowLongW(window.pages[0].Window(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongW(window.pages[2].Window(), GWL_STYLE) & WS_VISIBLE);

  // The page fills the tab's display area.
  HWND tab = window.Item(IDC_MAIN_TABS);
  RECT area = {};
  GetClientRect(tab, &area);
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  MapWindowPoints(tab, window.Window(), reinterpret_cast<POINT*>(&area), 2);
  RECT page = {};
  GetWindowRect(window.pages[2].Window(), &page);
  MapWindowPoints(nullptr, window.Window(), reinterpret_cast<POINT*>(&page), 2);
  EXPECT_TRUE(EqualRect(&area, &page));

  // The device list takes the status items the worker writes.
  ASSERT_EQ(1, window.devices.AddItem(L"Searching for Samsung EI-AN900 devices", -1, IDI_TRACKER, nullptr));
  ASSERT_EQ(1, window.devices.Select(0));
  int value = 0;
  ASSERT_EQ(1, window.devices.Selection(nullptr, nullptr, &value));
  EXPECT_EQ(-1, value);
  EXPECT_EQ(window.devices.ItemHeight() + 4,
            SendMessageW(window.Item(IDC_MAIN_DEVICES), CB_GETITEMHEIGHT, 0, 0));

  // Whichever look this system's common controls give, the buttons show
  // their icons.
  for (IconButton& button : window.buttons) {
    if (button.IsNative()) {
      EXPECT_TRUE(SendMessageW(button.Button(), BM_GETIMAGE, IMAGE_ICON, 0) != 0);
    } else {
      EXPECT_EQ(BS_OWNERDRAW, GetWindowLongW(button.Button(), GWL_STYLE) & BS_TYPEMASK);
    }
  }

  // The Info page's battery bar, as the page sets it up.
  ProgressBar battery;
  ASSERT_EQ(1, battery.Attach(window.pages[0].Item(IDC_INFO_BATTERY), ProgressBarNoTaskbar));
  battery.SetRange(0, 100, 1);
  battery.SetPosition(0);
  battery.SetPosition(87);
  EXPECT_EQ(87, SendMessageW(window.pages[0].Item(IDC_INFO_BATTERY), PBM_GETPOS, 0, 0));
  battery.Detach();

  // The window's bottom-right corner sizes it.
  RECT client = {};
  GetClientRect(window.Window(), &client);
  POINT corner = {client.right - 3, client.bottom - 3};
  ClientToScreen(window.Window(), &corner);
  EXPECT_EQ(HTBOTTOMRIGHT,
            SendMessageW(window.Window(), WM_NCHITTEST, 0, MAKELPARAM(corner.x, corner.y)));

  HWND pageWindows[2] = {window.pages[0].Window(), window.pages[2].Window()};
  window.Close(0);
  EXPECT_EQ(nullptr, window.Window());
  EXPECT_FALSE(IsWindow(pageWindows[0]));
  EXPECT_FALSE(IsWindow(pageWindows[1]));
  EXPECT_EQ(0, window.devices.Count());
}

}  // namespace
