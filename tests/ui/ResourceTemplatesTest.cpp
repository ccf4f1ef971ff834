// The program's resources as the system loads them: every dialog template
// built into real windows (the main window modal and modeless, the pages as
// its children) with each control's class and style, the layout limits the
// pages' chart views rely on, the icons and the cursor at their sizes, the
// version block and the manifest.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "resources/ResourceIds.h"

namespace {

struct ControlKind {
  int id;
  const wchar_t* className;
  DWORD styleMask;   // the bits that must equal styleBits
  DWORD styleBits;
};

const DWORD kComboMask = 0x3 | CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS;
const DWORD kOwnerDrawnList = CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
const DWORD kStaticMask = SS_TYPEMASK | SS_NOTIFY;

const ControlKind kMainControls[] = {
    {IDC_MAIN_DEVICES, L"ComboBox", kComboMask | WS_TABSTOP, kOwnerDrawnList | WS_TABSTOP},
    {IDC_MAIN_SEARCH, L"Button", BS_TYPEMASK | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP},
    {IDC_MAIN_BLUETOOTH, L"Button", BS_TYPEMASK | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP},
    {IDC_MAIN_DEVICE_MANAGER, L"Button", BS_TYPEMASK | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP},
    {IDC_MAIN_EXPORT, L"Button", BS_TYPEMASK | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP},
    {IDC_MAIN_TABS, L"SysTabControl32", TCS_TOOLTIPS | WS_CLIPSIBLINGS, TCS_TOOLTIPS | WS_CLIPSIBLINGS},
    {IDC_MAIN_CLOSE, L"Button", BS_TYPEMASK & ~1u, BS_PUSHBUTTON},
    {IDC_MAIN_WEB_LINK, L"Static", kStaticMask | WS_TABSTOP, SS_LEFT | SS_NOTIFY | WS_TABSTOP},
    // Status texts such as "Setting Date && Time..." show "&&" as one "&".
    {IDC_MAIN_STATUS, L"Static", SS_TYPEMASK | SS_NOPREFIX, SS_LEFTNOWORDWRAP},
};
const ControlKind kInfoControls[] = {
    {IDC_INFO_BATTERY, L"msctls_progress32", 0, 0},
    {IDC_INFO_TIME, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_INFO_FIRMWARE, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_INFO_HARDWARE, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_INFO_SET_TIME, L"Static", kStaticMask | WS_TABSTOP, SS_LEFT | SS_NOTIFY | WS_TABSTOP},
};
const ControlKind kWalkingControls[] = {
    {IDC_WALKING_STEPS, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_WALKING_DISTANCE, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_WALKING_CALORIES, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_WALKING_DATES, L"ComboBox", kComboMask | WS_TABSTOP, kOwnerDrawnList | WS_TABSTOP},
};
const ControlKind kSleepingControls[] = {
    {IDC_SLEEPING_DATES, L"ComboBox", kComboMask | WS_TABSTOP, kOwnerDrawnList | WS_TABSTOP},
};
const ControlKind kAboutControls[] = {
    {IDC_ABOUT_TITLE, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_ABOUT_VERSION, L"Static", SS_TYPEMASK, SS_LEFT},
    {IDC_ABOUT_UPDATE_CHECK, L"Button", BS_TYPEMASK | WS_TABSTOP, BS_AUTOCHECKBOX | WS_TABSTOP},
};

struct Page {
  int templateId;
  const wchar_t* tab;
  const ControlKind* controls;
  size_t count;
};
const Page kPages[] = {
    {IDD_PAGE_INFO, L"Info", kInfoControls, sizeof(kInfoControls) / sizeof(kInfoControls[0])},
    {IDD_PAGE_WALKING, L"Walking", kWalkingControls, sizeof(kWalkingControls) / sizeof(kWalkingControls[0])},
    {IDD_PAGE_SLEEPING, L"Sleeping", kSleepingControls,
     sizeof(kSleepingControls) / sizeof(kSleepingControls[0])},
    {IDD_PAGE_ABOUT, L"About", kAboutControls, sizeof(kAboutControls) / sizeof(kAboutControls[0])},
};

// Owner-drawn lists get a readable item height, as their wrapper gives them.
INT_PTR CALLBACK PlainProcedure(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 18;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
    return TRUE;
  }
  return FALSE;
}

HWND CreateFromTemplate(int id, HWND parent) {
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), parent, PlainProcedure, 0);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

void ExpectControls(HWND dialog, const ControlKind* controls, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const ControlKind& c = controls[i];
    SCOPED_TRACE(c.id);
    HWND item = GetDlgItem(dialog, c.id);
    ASSERT_TRUE(item != nullptr);
    EXPECT_EQ(0, lstrcmpiW(c.className, ClassOf(item).c_str())) << ClassOf(item).c_str();
    DWORD style = static_cast<DWORD>(GetWindowLongW(item, GWL_STYLE));
    EXPECT_EQ(c.styleBits, style & c.styleMask) << std::hex << style;
    EXPECT_TRUE((style & WS_VISIBLE) != 0);
  }
}

// The dialog's children in its client coordinates.
std::vector<std::pair<HWND, RECT>> ChildRects(HWND dialog) {
  std::vector<std::pair<HWND, RECT>> out;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    out.push_back({child, rect});
  }
  return out;
}

bool IsGroupBox(HWND window) {
  return lstrcmpiW(ClassOf(window).c_str(), L"Button") == 0 &&
         (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// Every control inside the client area and no two controls on top of each
// other (a group box frames others and is left out).
void ExpectTidyLayout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  auto children = ChildRects(dialog);
  for (size_t i = 0; i < children.size(); ++i) {
    const RECT& r = children[i].second;
    SCOPED_TRACE(GetDlgCtrlID(children[i].first));
    EXPECT_GE(r.left, client.left);
    EXPECT_GE(r.top, client.top);
    EXPECT_LE(r.right, client.right);
    EXPECT_LE(r.bottom, client.bottom);
    if (IsGroupBox(children[i].first)) continue;
    for (size_t j = i + 1; j < children.size(); ++j) {
      if (IsGroupBox(children[j].first)) continue;
      RECT overlap;
      EXPECT_FALSE(IntersectRect(&overlap, &r, &children[j].second))
          << "controls " << GetDlgCtrlID(children[i].first) << " and " << GetDlgCtrlID(children[j].first);
    }
  }
}

int DialogUnitsY(HWND dialog, int units) {
  RECT rect = {0, 0, 0, units};
  MapDialogRect(dialog, &rect);
  return rect.bottom;
}

// Style and font block of a DLGTEMPLATEEX resource.
struct TemplateHeader {
  DWORD style = 0;
  WORD pointSize = 0;
  std::wstring face;
  short cx = 0, cy = 0;
};

const WORD* SkipField(const WORD* p) {
  if (*p == 0xFFFF) return p + 2;
  while (*p) ++p;
  return p + 1;
}

bool ReadTemplate(int id, TemplateHeader* out) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
  if (!found) return false;
  const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
  const WORD* words = reinterpret_cast<const WORD*>(data);
  if (words[0] != 1 || words[1] != 0xFFFF) return false;
  out->style = *reinterpret_cast<const DWORD*>(data + 12);
  out->cx = *reinterpret_cast<const short*>(data + 22);
  out->cy = *reinterpret_cast<const short*>(data + 24);
  const WORD* p = reinterpret_cast<const WORD*>(data + 26);
  p = SkipField(SkipField(SkipField(p)));  // menu, class, title
  out->pointSize = p[0];
  out->face = reinterpret_cast<const wchar_t*>(p + 3);
  return true;
}

class ResourceTemplatesTest : public ::testing::Test {
protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&init));
  }
};

TEST_F(ResourceTemplatesTest, EveryTemplateUsesTheShellFontAndTheRightFrame) {
  TemplateHeader main;
  ASSERT_TRUE(ReadTemplate(IDD_MAIN, &main));
  EXPECT_EQ(646, main.cx);
  EXPECT_EQ(273, main.cy);
  EXPECT_EQ(static_cast<DWORD>(DS_SHELLFONT), main.style & DS_SHELLFONT);
  EXPECT_EQ(static_cast<DWORD>(WS_THICKFRAME | WS_CAPTION | WS_POPUP),
            main.style & (WS_THICKFRAME | WS_CAPTION | WS_POPUP | WS_CHILD));
  EXPECT_EQ(8, main.pointSize);
  EXPECT_EQ(L"MS Shell Dlg", main.face);
  for (const Page& page : kPages) {
    SCOPED_TRACE(page.templateId);
    TemplateHeader header;
    ASSERT_TRUE(ReadTemplate(page.templateId, &header));
    EXPECT_EQ(static_cast<DWORD>(DS_SHELLFONT | DS_CONTROL | WS_CHILD),
              header.style & (DS_SHELLFONT | DS_CONTROL | WS_CHILD | WS_POPUP | WS_BORDER | WS_CAPTION |
                              WS_THICKFRAME | DS_MODALFRAME));
    EXPECT_EQ(8, header.pointSize);
    EXPECT_EQ(L"MS Shell Dlg", header.face);
  }
}

TEST_F(ResourceTemplatesTest, TheMainWindowHasItsControlsAndIsResizable) {
  HWND main = CreateFromTemplate(IDD_MAIN, nullptr);
  ASSERT_TRUE(main != nullptr);
  ExpectControls(main, kMainControls, sizeof(kMainControls) / sizeof(kMainControls[0]));
  DWORD style = static_cast<DWORD>(GetWindowLongW(main, GWL_STYLE));
  EXPECT_TRUE((style & WS_THICKFRAME) != 0);
  EXPECT_TRUE((style & WS_MAXIMIZEBOX) != 0);
  RECT client, expected = {0, 0, 646, 273};
  GetClientRect(main, &client);
  MapDialogRect(main, &expected);
  EXPECT_EQ(expected.right, client.right);
  EXPECT_EQ(expected.bottom, client.bottom);
  wchar_t text[32] = {};
  GetDlgItemTextW(main, IDC_MAIN_CLOSE, text, 32);
  EXPECT_STREQ(L"Close", text);
  ExpectTidyLayout(main);
  DestroyWindow(main);
}

TEST_F(ResourceTemplatesTest, TheMainWindowRunsModally) {
  struct Probe {
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM, LPARAM) {
      if (message == WM_INITDIALOG) {
        // Leave the modal loop from inside it, with the number of controls
        // the template gave as the result.
        int controls = 0;
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++controls;
        SetPropW(window, L"controls", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(controls)));
        PostMessageW(window, WM_APP, 0, 0);
        return TRUE;
      }
      if (message == WM_APP) {
        EndDialog(window, reinterpret_cast<INT_PTR>(GetPropW(window, L"controls")));
        RemovePropW(window, L"controls");
        return TRUE;
      }
      return FALSE;
    }
  };
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                   Probe::Procedure, 0);
  EXPECT_EQ(static_cast<INT_PTR>(sizeof(kMainControls) / sizeof(kMainControls[0])), result);
}

TEST_F(ResourceTemplatesTest, EachPageIsAChildWithItsControlsInsideTheTabArea) {
  HWND main = CreateFromTemplate(IDD_MAIN, nullptr);
  ASSERT_TRUE(main != nullptr);
  HWND tabs = GetDlgItem(main, IDC_MAIN_TABS);
  for (int i = 0; i < 4; ++i) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(kPages[i].tab);
    SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  RECT area;
  GetClientRect(tabs, &area);
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  MapWindowPoints(tabs, main, reinterpret_cast<POINT*>(&area), 2);

  for (const Page& page : kPages) {
    SCOPED_TRACE(page.templateId);
    HWND child = CreateFromTemplate(page.templateId, main);
    ASSERT_TRUE(child != nullptr);
    EXPECT_EQ(main, GetParent(child));
    DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    EXPECT_EQ(static_cast<DWORD>(WS_CHILD), style & (WS_CHILD | WS_POPUP | WS_CAPTION | WS_BORDER));
    EXPECT_TRUE((GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0);
    ExpectControls(child, page.controls, page.count);
    SetWindowPos(child, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_SHOWWINDOW);
    ExpectTidyLayout(child);

    // The chart view of the date pages starts below every control.
    int chartTop = page.templateId == IDD_PAGE_WALKING    ? WALKING_CHART_TOP
                   : page.templateId == IDD_PAGE_SLEEPING ? SLEEPING_CHART_TOP
                                                          : 0;
    if (chartTop) {
      int limit = DialogUnitsY(child, chartTop);
      for (const auto& c : ChildRects(child)) EXPECT_LE(c.second.bottom, limit) << GetDlgCtrlID(c.first);
    }
    DestroyWindow(child);
  }
  DestroyWindow(main);
}

TEST_F(ResourceTemplatesTest, IconsAndTheCursorLoadAtTheirSizes) {
  HINSTANCE module = GetModuleHandleW(nullptr);
  std::vector<int> icons = {IDI_APPLICATION_ICON};
  for (int id = IDI_SEARCH; id <= IDI_EXPORT; ++id) icons.push_back(id);
  for (int id : icons) {
    for (int size : {16, 32, id == IDI_APPLICATION_ICON ? 48 : 24}) {
      SCOPED_TRACE(id * 100 + size);
      HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
      ASSERT_TRUE(icon != nullptr);
      ICONINFO info = {};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      BITMAP bitmap = {};
      GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
      EXPECT_EQ(size, bitmap.bmWidth);
      EXPECT_EQ(size, bitmap.bmHeight);
      EXPECT_EQ(32, bitmap.bmBitsPixel);
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      DestroyIcon(icon);
    }
  }
  HCURSOR cursor = LoadCursorW(module, MAKEINTRESOURCEW(IDC_LINK_CURSOR));
  ASSERT_TRUE(cursor != nullptr);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(11u, info.xHotspot);  // the tip of the pointing finger
  EXPECT_EQ(1u, info.yHotspot);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

std::wstring VersionValue(const std::vector<BYTE>& block, const wchar_t* path) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), path, &value, &length) || !value) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST_F(ResourceTemplatesTest, TheVersionBlockNamesVersion106InBothLanguages) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0x00010006u, fixed->dwFileVersionMS);
  EXPECT_EQ(0u, fixed->dwFileVersionLS);

  for (const wchar_t* language : {L"040704B0", L"040904B0"}) {
    SCOPED_TRACE(language);
    std::wstring base = std::wstring(L"\\StringFileInfo\\") + language + L"\\";
    EXPECT_EQ(L"1.06", VersionValue(block, (base + L"FileVersion").c_str()));
    EXPECT_EQ(L"Pellton", VersionValue(block, (base + L"ProductName").c_str()));
    EXPECT_EQ(L"Vantrel", VersionValue(block, (base + L"CompanyName").c_str()));
    EXPECT_EQ(L"Pellton", VersionValue(block, (base + L"InternalName").c_str()));
    std::wstring comments = VersionValue(block, (base + L"Comments").c_str());
    EXPECT_NE(std::wstring::npos, comments.find(L"[http://www.vantrel.com/]")) << comments;
  }
  std::wstring german = VersionValue(block, L"\\StringFileInfo\\040704B0\\Comments");
  EXPECT_NE(std::wstring::npos, german.find(L"f\u00FCr")) << german;

  DWORD* translations = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translations), &length));
  ASSERT_EQ(8u, length);
  EXPECT_EQ(MAKELONG(0x0407, 1200), translations[0]);
  EXPECT_EQ(MAKELONG(0x0409, 1200), translations[1]);
}

TEST_F(ResourceTemplatesTest, TheManifestAsksForCommonControls6AndDeclaresDpiAwareness) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_TRUE(found != nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  std::string manifest(text, SizeofResource(nullptr, found));
  EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
  // Per monitor (v2 where Windows has it, v1 before, per monitor on 8.1).
  EXPECT_NE(std::string::npos, manifest.find(">true/pm</dpiAware>"));
  EXPECT_NE(std::string::npos, manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"));

  // The loader honoured it: the process's activation context sends
  // comctl32.dll to the side-by-side version 6 assembly.
  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof(data);
  EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                       L"comctl32.dll", &data));
}

}  // namespace
