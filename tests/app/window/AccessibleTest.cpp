// The real main window as a screen reader sees it through MSAA: every
// control of the window and of each page has a name and its role, the
// owner-drawn icon buttons and image lists included, and the lists and the
// battery bar give their values.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "app/window/InfoPage.h"
#include "core/ComRef.h"
#include "resources/ResourceIds.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/window/WindowTestSupport.h"

namespace {

struct Read {
  std::wstring name;
  long role = -1;
  std::wstring value;
  std::wstring shortcut;
};

std::wstring Take(BSTR text) {
  const std::wstring taken = text ? text : L"";
  return SysFreeString(text), taken;
}

Read ReadAccessible(HWND control) {
  Read read;
  ComRef<IAccessible> object;
  // Not IID_IAccessible: MinGW's import library holds another value.
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), object.OutVoid())) ||
      !object) {
    return read;
  }
  VARIANT self = {};
  self.vt = VT_I4;  // CHILDID_SELF
  BSTR text[3] = {};
  if (SUCCEEDED(object->get_accName(self, &text[0]))) read.name = Take(text[0]);
  if (SUCCEEDED(object->get_accValue(self, &text[1]))) read.value = Take(text[1]);
  if (SUCCEEDED(object->get_accKeyboardShortcut(self, &text[2]))) read.shortcut = Take(text[2]);
  VARIANT role;
  VariantInit(&role);
  if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) read.role = role.lVal;
  return read;
}

// COM's identity rule: another interface of the object (the standard
// object's IOleWindow) answers IUnknown with the object's own, or is none.
bool KeepsIdentity(HWND control) {
  ComRef<IAccessible> object;
  ComRef<IUnknown> self, other, otherSelf;
  AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), object.OutVoid());
  if (!object || FAILED(object->QueryInterface(IID_IUnknown, self.OutVoid()))) return false;
  return FAILED(object->QueryInterface(__uuidof(IOleWindow), other.OutVoid())) ||
         (SUCCEEDED(other->QueryInterface(IID_IUnknown, otherSelf.OutVoid())) && otherSelf.Get() == self.Get());
}

// The controls a user reaches or reads state from: everything but the
// statics that only label or show a value, and group boxes.
bool IsControl(HWND child) {
  wchar_t name[64] = L"";
  GetClassNameW(child, name, 64);
  const std::wstring kind = name;
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if (kind == L"Static") return (style & WS_TABSTOP) != 0;
  if (kind == L"Button") return (style & BS_TYPEMASK) != BS_GROUPBOX;
  return kind == L"ComboBox" || kind == L"Edit" || kind == WC_LISTVIEWW || kind == PROGRESS_CLASSW ||
         kind == WC_TABCONTROLW;
}

void ClickTab(MainWindow& window, int index) {
  HWND tab = window.Tabs().Tab();
  SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  NMHDR header = {tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(window.Window(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

}  // namespace

TEST(AccessibleTest, EveryControlOfTheWindowAndItsPagesHasANameAndRoleForScreenReaders) {
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers());
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  MainWindow& window = *opened;
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }));

  struct Expected {
    int page;  // -1: the main window
    int id;
    const wchar_t* name;
    long role;
  };
  const Expected expected[] = {
      {-1, IDC_MAIN_DEVICES, L"Tracker", ROLE_SYSTEM_COMBOBOX},
      {-1, IDC_MAIN_SEARCH, L"Search again", ROLE_SYSTEM_PUSHBUTTON},
      {-1, IDC_MAIN_BLUETOOTH, L"Bluetooth settings", ROLE_SYSTEM_PUSHBUTTON},
      {-1, IDC_MAIN_DEVICE_MANAGER, L"Device Manager", ROLE_SYSTEM_PUSHBUTTON},
      {-1, IDC_MAIN_EXPORT, L"Export and backup", ROLE_SYSTEM_PUSHBUTTON},
      {-1, IDC_MAIN_TABS, L"Pages", ROLE_SYSTEM_PAGETABLIST},
      {-1, IDC_MAIN_WEB_LINK, L"www.vantrel.com", ROLE_SYSTEM_LINK},
      {-1, IDC_MAIN_CLOSE, L"Close", ROLE_SYSTEM_PUSHBUTTON},
      {0, IDC_INFO_BATTERY, L"Battery", ROLE_SYSTEM_PROGRESSBAR},
      {0, IDC_INFO_SET_TIME, L"Set Date & Time to clear history in the device", ROLE_SYSTEM_LINK},
      {1, IDC_WALKING_DATES, L"Date", ROLE_SYSTEM_COMBOBOX},
      {2, IDC_SLEEPING_DATES, L"Date", ROLE_SYSTEM_COMBOBOX},
      {3, IDC_TRENDS_PERIOD, L"Period", ROLE_SYSTEM_COMBOBOX},
      {3, IDC_TRENDS_GOAL, L"Goal (steps a day)", ROLE_SYSTEM_TEXT},
      {4, IDC_ABOUT_UPDATE_CHECK, L"Automatically check for updates", ROLE_SYSTEM_CHECKBUTTON},
  };
  for (int page = -1; page < 5; ++page) {
    if (page >= 0) ClickTab(window, page);
    HWND parent = page < 0 ? window.Window() : window.Page(page)->Window();
    ASSERT_NE(nullptr, parent);
    for (const Expected& want : expected) {
      if (want.page != page) continue;
      const Read read = ReadAccessible(GetDlgItem(parent, want.id));
      // The update box's text tells of the last check after its own words.
      EXPECT_EQ(0u, read.name.find(want.name)) << read.name << ", page " << page << ", control " << want.id;
      EXPECT_EQ(want.role, read.role) << "page " << page << ", control " << want.id;
    }
    // And every other control the page holds.
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsControl(child)) continue;
      const Read read = ReadAccessible(child);
      EXPECT_FALSE(read.name.empty()) << "page " << page << ", control " << GetDlgCtrlID(child);
      EXPECT_NE(ROLE_SYSTEM_CLIENT, read.role) << "page " << page << ", control " << GetDlgCtrlID(child);
      EXPECT_NE(-1, read.role) << "page " << page << ", control " << GetDlgCtrlID(child);
    }
  }

  // The lists read their selected item, the bar its level.
  EXPECT_EQ(twotrackers::LeftText, ReadAccessible(window.Devices().Control()).value);
  EXPECT_EQ(L"64%", ReadAccessible(GetDlgItem(window.Info()->Window(), IDC_INFO_BATTERY)).value);
  EXPECT_EQ(L"Month", ReadAccessible(GetDlgItem(window.Page(3)->Window(), IDC_TRENDS_PERIOD)).value);
  EXPECT_EQ(L"Alt+G", ReadAccessible(GetDlgItem(window.Page(3)->Window(), IDC_TRENDS_GOAL)).shortcut);
  EXPECT_TRUE(KeepsIdentity(window.Devices().Control()));
  ASSERT_TRUE(fixture.CloseWindow());
}
