// The Dialog base on the program's own main window template (102) and a
// page template: run from the resources with the font substituted, the
// icon, the title with the version of this program's version resource,
// the minimum client size of 400 x 200 dialog units, and the main window's
// anchors after the window grows by (100, 50).
#include <gtest/gtest.h>

#include <windows.h>

#include "core/ModuleVersion.h"
#include "resources/ResourceIds.h"
#include "tests/ui/DialogTemplateBuilder.h"
#include "ui/Dialog.h"
#include "ui/TemplateFont.h"

namespace {

class MainLikeDialog : public Dialog {
public:
  INT_PTR closeWith = 0;
  int iconSet = 0;
  WideString title;
  LOGFONTW font = {};
  bool closeAtInit = true;

  int OnInitDialog() override {
    iconSet = SetIcon(IDI_APPLICATION_ICON);
    WideString text;
    TitleWithVersion(L"Pellton - Samsung EI-AN900 Viewer", nullptr, text);
    SetTitle(text.CStr());
    wchar_t buffer[128];
    GetWindowTextW(Window(), buffer, 128);
    title = buffer;
    HFONT used = reinterpret_cast<HFONT>(SendMessageW(Window(), WM_GETFONT, 0, 0));
    GetObjectW(used, sizeof(font), &font);
    SetMinimumSize(400, 200, 1);
    const AnchorEntry anchors[] = {{IDC_MAIN_TABS, 12},
                                   {IDC_MAIN_CLOSE, 3},
                                   {IDC_MAIN_WEB_LINK, 2},
                                   {IDC_MAIN_STATUS, 4}};
    AddAnchors(anchors, 4);
    if (closeAtInit) Close(closeWith);
    return 1;
  }
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SIZE) ApplyAnchors(wParam, lParam);
    return Dialog::OnMessage(message, wParam, lParam);
  }
};

TEST(MainTemplateDialogTest, RunsModallyFromTheResourceWithIconTitleAndSubstitutedFont) {
  MainLikeDialog dialog;
  dialog.closeWith = 5;
  EXPECT_EQ(5, dialog.RunModal(nullptr, IDD_MAIN));
  EXPECT_EQ(1, dialog.iconSet);
  EXPECT_STREQ(L"Pellton - Samsung EI-AN900 Viewer [1.06]", dialog.title.CStr());

  // The window's font is the one the substitution chooses on this system.
  const void* data = nullptr;
  DWORD size = 0;
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
  ASSERT_TRUE(found != nullptr);
  data = LockResource(LoadResource(nullptr, found));
  size = SizeofResource(nullptr, found);
  std::vector<BYTE> substituted;
  TemplateFontBlock block;
  if (SubstituteTemplateFont(static_cast<const BYTE*>(data), size, false, substituted)) {
    ASSERT_EQ(1, FindTemplateFont(substituted.data(), substituted.size(), &block));
  } else {
    ASSERT_EQ(1, FindTemplateFont(static_cast<const BYTE*>(data), size, &block));
  }
  EXPECT_STREQ(block.faceName.CStr(), dialog.font.lfFaceName);
}

// Sets the system's message font for one test and puts the old one back.
class MessageFontScope {
public:
  MessageFontScope(const wchar_t* face, LONG height) {
    saved_.cbSize = sizeof(saved_);
    ok_ = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(saved_), &saved_, 0) != 0;
    if (!ok_) return;
    NONCLIENTMETRICSW changed = saved_;
    wcscpy(changed.lfMessageFont.lfFaceName, face);
    changed.lfMessageFont.lfHeight = height;
    ok_ = SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof(changed), &changed, 0) != 0;
  }
  ~MessageFontScope() {
    if (ok_) SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof(saved_), &saved_, 0);
  }
  bool Ok() const { return ok_; }

private:
  NONCLIENTMETRICSW saved_ = {};
  bool ok_ = false;
};

class FontProbeDialog : public Dialog {
public:
  LOGFONTW font = {};
  int OnInitDialog() override {
    HFONT used = reinterpret_cast<HFONT>(SendMessageW(Window(), WM_GETFONT, 0, 0));
    GetObjectW(used, sizeof(font), &font);
    Close(0);
    return 1;
  }
};

TEST(MainTemplateDialogTest, ATahomaMessageFontReplacesADatedFaceInTheRunningDialog) {
  MessageFontScope scope(L"Tahoma", -16);  // 12 points at 96 dpi
  ASSERT_TRUE(scope.Ok());
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  // What this system's fonts make of it: Tahoma when installed, else a
  // shell font at 8 points; never the template's "System" at 14 points.
  FontEnvironment environment = {L"Tahoma", -16, dpi, FontFaceInstalled, nullptr};
  WideString face;
  WORD points = 0;
  ASSERT_EQ(1, ChooseTemplateFont(L"System", environment, false, face, &points));

  DialogTemplateBuilder builder(true, WS_POPUP | WS_CAPTION, 100, 50, L"Font", L"System", 14);
  std::vector<BYTE> bytes = builder.Build();
  FontProbeDialog dialog;
  EXPECT_EQ(0, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size()));
  EXPECT_STREQ(face.CStr(), dialog.font.lfFaceName);
  EXPECT_EQ(-MulDiv(points, dpi, 72), dialog.font.lfHeight);
}

class MainTemplateFixture : public ::testing::Test {
protected:
  void SetUp() override {
    dialog_.closeAtInit = false;
    window_ = dialog_.CreateModeless(nullptr, IDD_MAIN);
    ASSERT_TRUE(window_ != nullptr);
  }
  void TearDown() override { dialog_.Close(0); }
  RECT ChildRect(int id) const {
    RECT r;
    GetWindowRect(GetDlgItem(window_, id), &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  MainLikeDialog dialog_;
  HWND window_ = nullptr;
};

TEST_F(MainTemplateFixture, ShrinkingBelow400By200DialogUnitsIsRefused) {
  SetWindowPos(window_, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(window_, &client);
  RECT minimum = {0, 0, 400, 200};
  MapDialogRect(window_, &minimum);
  EXPECT_EQ(minimum.right, client.right);
  EXPECT_EQ(minimum.bottom, client.bottom);
  // The template's own size is larger and is accepted.
  RECT full = {0, 0, 646, 273};
  MapDialogRect(window_, &full);
  AdjustWindowRectEx(&full, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)));
  SetWindowPos(window_, nullptr, 0, 0, full.right - full.left, full.bottom - full.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetClientRect(window_, &client);
  EXPECT_EQ(dialog_.DialogUnitsToPixelsX(646), client.right);
}

TEST_F(MainTemplateFixture, TheMainWindowsAnchorsFollowAGrowthBy100And50) {
  RECT tabs = ChildRect(IDC_MAIN_TABS);
  RECT close = ChildRect(IDC_MAIN_CLOSE);
  RECT link = ChildRect(IDC_MAIN_WEB_LINK);
  RECT status = ChildRect(IDC_MAIN_STATUS);
  RECT devices = ChildRect(IDC_MAIN_DEVICES);
  RECT r;
  GetWindowRect(window_, &r);
  SetWindowPos(window_, nullptr, 0, 0, r.right - r.left + 100, r.bottom - r.top + 50,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT t = ChildRect(IDC_MAIN_TABS);
  EXPECT_EQ(tabs.left, t.left);
  EXPECT_EQ(tabs.top, t.top);
  EXPECT_EQ(tabs.right + 100, t.right);
  EXPECT_EQ(tabs.bottom + 50, t.bottom);
  RECT c = ChildRect(IDC_MAIN_CLOSE);
  EXPECT_EQ(close.left + 100, c.left);
  EXPECT_EQ(close.top + 50, c.top);
  EXPECT_EQ(close.right + 100, c.right);
  EXPECT_EQ(close.bottom + 50, c.bottom);
  RECT l = ChildRect(IDC_MAIN_WEB_LINK);
  EXPECT_EQ(link.left, l.left);
  EXPECT_EQ(link.top + 50, l.top);
  RECT s = ChildRect(IDC_MAIN_STATUS);
  EXPECT_EQ(status.top, s.top);
  EXPECT_EQ(status.right + 100, s.right);
  RECT device = ChildRect(IDC_MAIN_DEVICES);
  EXPECT_TRUE(EqualRect(&devices, &device));  // not anchored

  // Back to the first size: everything where it was registered.
  SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT back = ChildRect(IDC_MAIN_CLOSE);
  EXPECT_TRUE(EqualRect(&close, &back));
  back = ChildRect(IDC_MAIN_TABS);
  EXPECT_TRUE(EqualRect(&tabs, &back));
}

int IconWidth(HICON icon) {
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap = {};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

TEST_F(MainTemplateFixture, TheWindowCarriesTheSmallAndTheBigIcon) {
  ASSERT_EQ(1, dialog_.SetIcon(IDI_APPLICATION_ICON));
  HICON small = reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_SMALL, 0));
  HICON big = reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_BIG, 0));
  EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), IconWidth(small));
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), IconWidth(big));
  // Setting them again replaces both; the old ones are gone.
  ASSERT_EQ(1, dialog_.SetIcon(IDI_APPLICATION_ICON));
  EXPECT_NE(small, reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_SMALL, 0)));
  EXPECT_EQ(0, IconWidth(small));
  EXPECT_EQ(0, dialog_.SetIcon(31999));
}

TEST_F(MainTemplateFixture, PagesAreModelessChildrenOfTheMainWindow) {
  Dialog page;
  HWND pageWindow = page.CreateModeless(nullptr, IDD_PAGE_ABOUT, 0, window_);
  ASSERT_TRUE(pageWindow != nullptr);
  EXPECT_EQ(window_, GetParent(pageWindow));
  EXPECT_TRUE(GetDlgItem(pageWindow, IDC_ABOUT_UPDATE_CHECK) != nullptr);
  SendMessageW(pageWindow, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(pageWindow));
  EXPECT_EQ(nullptr, page.Window());
}

}  // namespace
