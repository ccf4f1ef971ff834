// LinkLabel on real statics of the program's dialogs: text messages, the hot
// area by alignment, activation on button-up inside the hot area, Enter and
// Space, WM_COMMAND reaching the page, the Internet Explorer settings read
// from a registry key of the test's own, password display and painting.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/Registry.h"
#include "tests/common/PumpUntil.h"
#include "tests/core/RegistryTestKey.h"
#include "tests/ui/LabelHost.h"
#include "ui/LinkLabel.h"

namespace {

using labeltest::ButtonDown;
using labeltest::ButtonUp;
using labeltest::Commands;
using labeltest::LabelHost;
using labeltest::MouseMove;

const wchar_t kSetTime[] = L"Set Date && Time to clear history in the device";

struct Activation {
  int how;
  std::wstring text;
  std::wstring url;
};
std::vector<Activation> gActivations;
std::vector<std::wstring> gOpened;

void RecordActivation(int how, const wchar_t* text, const wchar_t* url, void*, LinkLabel*) {
  gActivations.push_back({how, text, url});
}
void RecordShort(int how, const wchar_t* text, const wchar_t* url) {
  gActivations.push_back({how + 100, text, url});
}
int RecordOpen(const wchar_t* url) {
  gOpened.push_back(url);
  return 1;
}

class LinkLabelTest : public RegistryTestKey {
protected:
  void SetUp() override {
    RegistryTestKey::SetUp();
    gActivations.clear();
    gOpened.clear();
    browser_ = Below(L"Internet Explorer");
  }
  // A label that reads its browser settings from the test's key.
  void Prepare(LinkLabel& label) {
    label.SetBrowserSettingsPath(browser_.c_str());
    label.SetUrlOpener(RecordOpen);
  }
  void SetBrowserValue(const wchar_t* key, const wchar_t* name, const wchar_t* value) {
    std::wstring path = browser_ + L"\\" + key;
    ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, path.c_str(), name, value));
  }
  int CountCommands(int id) {
    int n = 0;
    for (const auto& c : Commands())
      if (c.id == id) ++n;
    return n;
  }

  std::wstring browser_;
};

int ColourCount(HWND window, COLORREF colour) {
  testcapture::Picture shot = testcapture::CaptureWindow(window);
  RECT all = {0, 0, shot.width, shot.height};
  return shot.Count(all, [colour](COLORREF c) { return c == colour; });
}

TEST_F(LinkLabelTest, TheLabelTakesTheTextAndAnswersTheTextMessages) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND control = host.Item(IDC_INFO_SET_TIME);
  SetWindowLongW(control, GWL_STYLE, GetWindowLongW(control, GWL_STYLE) & ~SS_NOTIFY);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(control, kSetTime, nullptr, IDC_LINK_CURSOR, 0x802));
  EXPECT_EQ(0, label.Attach(control, kSetTime, nullptr, IDC_LINK_CURSOR, 0x802));
  EXPECT_TRUE((GetWindowLongW(control, GWL_STYLE) & SS_NOTIFY) != 0);

  EXPECT_EQ(lstrlenW(kSetTime), GetWindowTextLengthW(control));
  wchar_t text[128] = {};
  EXPECT_EQ(lstrlenW(kSetTime), GetWindowTextW(control, text, 128));
  EXPECT_STREQ(kSetTime, text);
  wchar_t small[5] = {L'x', L'x', L'x', L'x', L'x'};
  EXPECT_EQ(4, SendMessageW(control, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(small)));
  EXPECT_STREQ(L"Set ", small);

  // "&&" is drawn as one ampersand: the measured width is that of the text
  // with a single one, drawn as it is.
  EXPECT_TRUE(SetWindowTextW(control, L"Set Date && Time"));
  EXPECT_STREQ(L"Set Date && Time", label.Text());
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, label.UnderlinedFont());
  RECT single = {0, 0, 0, 0};
  DrawTextW(dc, L"Set Date & Time", -1, &single, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  EXPECT_EQ(single.right, label.TextExtent().cx);
  EXPECT_EQ(single.bottom, label.TextExtent().cy);

  // The control's own text was cleared: once detached, it has none.
  EXPECT_EQ(1, label.Detach());
  EXPECT_EQ(0, GetWindowTextLengthW(control));
  EXPECT_EQ(0, label.Detach());
}

TEST_F(LinkLabelTest, TheHotAreaFollowsTheAlignment) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  const DWORD kinds[] = {SS_LEFT, SS_CENTER, SS_RIGHT};
  LinkLabel labels[3];
  for (int i = 0; i < 3; ++i) {
    HWND control = host.AddStatic(2000 + i, L"", kinds[i], 0, 400, 20 + 30 * i, 240, 20);
    Prepare(labels[i]);
    ASSERT_EQ(1, labels[i].Attach(control, L"Vantrel", L"http://www.vantrel.com", IDC_LINK_CURSOR, 0x2));
  }
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    LONG w = labels[i].TextExtent().cx;
    ASSERT_GT(w, 10);
    ASSERT_LT(w, 200);
    HWND control = labels[i].Control();
    LONG first = i == 0 ? 0 : i == 1 ? (240 - w) / 2 + 1 : 240 - w + 1;
    LONG last = i == 0 ? w - 1 : i == 1 ? 240 - (240 - w) / 2 - 1 : 239;
    EXPECT_EQ(1, labels[i].IsOverText({first, 10}));
    EXPECT_EQ(1, labels[i].IsOverText({last, 10}));
    EXPECT_EQ(0, labels[i].IsOverText({first - 2, 10}));
    EXPECT_EQ(0, labels[i].IsOverText({last + 2, 10}));
    EXPECT_EQ(0, labels[i].IsOverText({first, 25}));  // below the client area

    // The same by real pointer messages: hot over the text only.
    MouseMove(control, first, 10);
    EXPECT_TRUE((labels[i].Flags() & LinkLabelHot) != 0);
    MouseMove(control, i == 2 ? first - 2 : last + 2, 10);
    EXPECT_FALSE((labels[i].Flags() & LinkLabelHot) != 0);
  }
}

TEST_F(LinkLabelTest, AClickActivatesOnButtonUpOnlyWhileTheButtonIsStillOverTheText) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(2001, L"", SS_LEFT, 0, 400, 20, 240, 20);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(control, L"www.vantrel.com", L"http://www.vantrel.com", IDC_LINK_CURSOR, 0x2));

  MouseMove(control, 3, 5);
  ButtonDown(control, 3, 5);
  EXPECT_TRUE(gOpened.empty());  // not on button-down
  ButtonUp(control, 3, 5);
  ASSERT_EQ(1u, gOpened.size());
  EXPECT_EQ(L"http://www.vantrel.com", gOpened[0]);

  // Down on the link, up beside it: nothing opens.
  MouseMove(control, 3, 5);
  ButtonDown(control, 3, 5);
  MouseMove(control, 235, 5);
  ButtonUp(control, 235, 5);
  EXPECT_EQ(1u, gOpened.size());
  // Up without having been over the text at all: nothing either.
  SendMessageW(control, WM_MOUSELEAVE, 0, 0);
  ButtonUp(control, 3, 5);
  EXPECT_EQ(1u, gOpened.size());

  // Callbacks get every way of activation, button-down included, and take
  // the place of opening.
  label.SetCallbacks(nullptr, RecordActivation, nullptr);
  MouseMove(control, 3, 5);
  ButtonDown(control, 3, 5);
  ButtonUp(control, 3, 5);
  SendMessageW(control, WM_KEYUP, VK_RETURN, 0);
  SendMessageW(control, WM_KEYUP, VK_SPACE, 0);
  ASSERT_EQ(4u, gActivations.size());
  EXPECT_EQ(LinkActivatedButtonDown, gActivations[0].how);
  EXPECT_EQ(LinkActivatedButtonUp, gActivations[1].how);
  EXPECT_EQ(LinkActivatedEnter, gActivations[2].how);
  EXPECT_EQ(LinkActivatedSpace, gActivations[3].how);
  EXPECT_EQ(L"www.vantrel.com", gActivations[3].text);
  EXPECT_EQ(L"http://www.vantrel.com", gActivations[3].url);
  EXPECT_EQ(1u, gOpened.size());
  label.SetCallbacks(RecordShort, RecordActivation, nullptr);
  SendMessageW(control, WM_KEYUP, VK_RETURN, 0);
  EXPECT_EQ(100 + LinkActivatedEnter, gActivations.back().how);
}

TEST_F(LinkLabelTest, EnterAndSpaceOnTheFocusedLinkOpenItAndLeaveTheDefaultButtonAlone) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(2002, L"", SS_LEFT, 0, 400, 20, 240, 20);
  SetWindowLongW(control, GWL_STYLE, GetWindowLongW(control, GWL_STYLE) | WS_TABSTOP);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(control, L"www.vantrel.com", L"http://www.vantrel.com", IDC_LINK_CURSOR, 0x2));
  EXPECT_FALSE((label.Flags() & LinkLabelNoFocusRect) != 0);

  SetFocus(control);
  EXPECT_TRUE((label.Flags() & LinkLabelFocused) != 0);
  // Keys go through the main window's dialog manager, as in its message loop.
  for (WPARAM key : {static_cast<WPARAM>(VK_RETURN), static_cast<WPARAM>(VK_SPACE)}) {
    PostMessageW(control, WM_KEYDOWN, key, 1);
    PostMessageW(control, WM_KEYUP, key, 0xC0000001);
    PumpWaiting(host.Main());
  }
  ASSERT_EQ(2u, gOpened.size());
  EXPECT_EQ(0, CountCommands(IDC_MAIN_CLOSE));
  EXPECT_EQ(0, CountCommands(IDOK));

  SetFocus(host.Item(IDC_INFO_SET_TIME));
  EXPECT_FALSE((label.Flags() & LinkLabelFocused) != 0);
}

TEST_F(LinkLabelTest, WithOption0x800TheClickReachesThePageAsACommand) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND control = host.Item(IDC_INFO_SET_TIME);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(control, kSetTime, nullptr, IDC_LINK_CURSOR, 0x802));
  Commands().clear();
  MouseMove(control, 2, 3);
  ButtonDown(control, 2, 3);
  EXPECT_EQ(0, CountCommands(IDC_INFO_SET_TIME));
  ButtonUp(control, 2, 3);
  ASSERT_EQ(1, CountCommands(IDC_INFO_SET_TIME));
  const labeltest::Command& command = Commands().back();
  EXPECT_EQ(host.Page(), command.dialog);
  EXPECT_EQ(IDC_INFO_SET_TIME, command.id);
  EXPECT_EQ(reinterpret_cast<LPARAM>(control), command.control);
  SendMessageW(control, WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(2, CountCommands(IDC_INFO_SET_TIME));
  EXPECT_TRUE(gOpened.empty());
}

TEST_F(LinkLabelTest, WithoutBrowserSettingsTheDefaultsApply) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(host.Item(IDC_INFO_SET_TIME), kSetTime, nullptr, IDC_LINK_CURSOR, 0x802));
  EXPECT_EQ(0x00CC6600u, label.NormalColour());
  EXPECT_EQ(GetSysColor(COLOR_HOTLIGHT), label.HoverColour());
  EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), label.DisabledColour());
  EXPECT_EQ(LinkUnderlineAlways, label.UnderlineMode());
  EXPECT_TRUE((label.Flags() & LinkLabelHoverColour) != 0);
  EXPECT_EQ(static_cast<UINT>(DT_SINGLELINE), label.Format());
}

TEST_F(LinkLabelTest, AnchorColour255_0_0DrawsARedLink) {
  SetBrowserValue(L"Settings", L"Anchor Color", L"255,0,0");
  SetBrowserValue(L"Settings", L"Anchor Color Hover", L"0,128,0");
  SetBrowserValue(L"Settings", L"Use Anchor Hover Color", L"YES");
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND control = host.Item(IDC_INFO_SET_TIME);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(control, kSetTime, nullptr, IDC_LINK_CURSOR, 0x802));
  EXPECT_EQ(RGB(255, 0, 0), label.NormalColour());
  EXPECT_EQ(RGB(0, 128, 0), label.HoverColour());
  EXPECT_GT(ColourCount(control, RGB(255, 0, 0)), 50);
  EXPECT_EQ(0, ColourCount(control, RGB(0, 128, 0)));

  MouseMove(control, 2, 3);
  EXPECT_EQ(0, ColourCount(control, RGB(255, 0, 0)));
  EXPECT_GT(ColourCount(control, RGB(0, 128, 0)), 50);

  EnableWindow(control, FALSE);
  EXPECT_TRUE((label.Flags() & LinkLabelDisabled) != 0);
  EXPECT_GT(ColourCount(control, GetSysColor(COLOR_GRAYTEXT)), 50);
  EXPECT_EQ(0, ColourCount(control, RGB(0, 128, 0)));
  EnableWindow(control, TRUE);
  EXPECT_FALSE((label.Flags() & LinkLabelDisabled) != 0);
}

TEST_F(LinkLabelTest, MalformedColoursAreIgnoredAndAnyOtherHoverSettingTurnsTheHoverColourOff) {
  SetBrowserValue(L"Settings", L"Anchor Color", L"12,13");
  SetBrowserValue(L"Settings", L"Anchor Color Hover", L"red");
  SetBrowserValue(L"Settings", L"Use Anchor Hover Color", L"no");
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(host.Item(IDC_INFO_SET_TIME), kSetTime, nullptr, IDC_LINK_CURSOR, 0x803));
  EXPECT_EQ(0x00CC6600u, label.NormalColour());
  EXPECT_EQ(GetSysColor(COLOR_HOTLIGHT), label.HoverColour());
  EXPECT_FALSE((label.Flags() & LinkLabelHoverColour) != 0);
  // Hot without the hover colour keeps the normal colour.
  MouseMove(label.Control(), 2, 3);
  EXPECT_GT(ColourCount(label.Control(), 0x00CC6600), 50);
}

TEST_F(LinkLabelTest, DialogBoxColoursTakeTheSystemsLinkAndHighlightColours) {
  SetBrowserValue(L"Settings", L"Anchor Color", L"255,0,0");
  SetBrowserValue(L"Main", L"Use_DlgBox_Colors", L"yes");
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(host.Item(IDC_INFO_SET_TIME), kSetTime, nullptr, IDC_LINK_CURSOR, 0x802));
  EXPECT_EQ(GetSysColor(COLOR_HOTLIGHT), label.NormalColour());
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), label.HoverColour());
}

TEST_F(LinkLabelTest, UnderlineOnHoverDrawsThePlainLinkAndUnderlinesItOnlyWhileHot) {
  SetBrowserValue(L"Settings", L"Anchor Color", L"255,0,0");
  SetBrowserValue(L"Settings", L"Use Anchor Hover Color", L"no");
  SetBrowserValue(L"Main", L"Anchor Underline", L"Hover");
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND control = host.Item(IDC_INFO_SET_TIME);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(control, kSetTime, nullptr, IDC_LINK_CURSOR, 0x802));
  ASSERT_EQ(LinkUnderlineHover, label.UnderlineMode());

  // An underline is a row of link-coloured pixels as wide as the text.
  auto longestRedRow = [control]() {
    testcapture::Picture shot = testcapture::CaptureWindow(control);
    int best = 0;
    for (int y = 0; y < shot.height; ++y) {
      RECT row = {0, y, shot.width, y + 1};
      int n = shot.Count(row, [](COLORREF c) { return c == RGB(255, 0, 0); });
      if (n > best) best = n;
    }
    return best;
  };
  LONG width = label.TextExtent().cx;
  EXPECT_LT(longestRedRow(), width / 2);
  MouseMove(control, 2, 3);
  EXPECT_GE(longestRedRow(), width * 9 / 10);
  SendMessageW(control, WM_MOUSELEAVE, 0, 0);
  EXPECT_LT(longestRedRow(), width / 2);

  SetBrowserValue(L"Main", L"Anchor Underline", L"no");
  LinkLabel plain;
  Prepare(plain);
  HWND other = host.AddStatic(2003, L"", SS_LEFT, 0, 400, 20, 240, 20);
  ASSERT_EQ(1, plain.Attach(other, L"plain", nullptr, IDC_LINK_CURSOR, 0x2));
  EXPECT_EQ(LinkUnderlineNever, plain.UnderlineMode());
}

TEST_F(LinkLabelTest, PasswordDisplayShowsOneMarkPerCharacterAndKeepsTheRealText) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND first = host.AddStatic(2004, L"", SS_LEFT, 0, 400, 20, 240, 20);
  LinkLabel stars;
  Prepare(stars);
  ASSERT_EQ(1, stars.Attach(first, L"secret", nullptr, IDC_LINK_CURSOR, 0x102));
  EXPECT_STREQ(L"******", stars.DisplayText());
  wchar_t text[16] = {};
  GetWindowTextW(first, text, 16);
  EXPECT_STREQ(L"secret", text);
  SetWindowTextW(first, L"abc");
  EXPECT_STREQ(L"***", stars.DisplayText());

  // With the browser's font face "Verdana" the marks are bullets.
  SetBrowserValue(L"Styles", L"IEPropFontName", L"Verdana");
  HWND second = host.AddStatic(2005, L"", SS_LEFT, 0, 400, 50, 240, 24);
  LinkLabel bullets;
  Prepare(bullets);
  ASSERT_EQ(1, bullets.Attach(second, L"pin", nullptr, IDC_LINK_CURSOR, 0x300));
  EXPECT_STREQ(L"\u2022\u2022\u2022", bullets.DisplayText());
  LOGFONTW font = {};
  ASSERT_TRUE(GetObjectW(bullets.NormalFont(), sizeof(font), &font));
  EXPECT_STREQ(L"Verdana", font.lfFaceName);
  EXPECT_FALSE(font.lfUnderline);
  ASSERT_TRUE(GetObjectW(bullets.UnderlinedFont(), sizeof(font), &font));
  EXPECT_TRUE(font.lfUnderline);
}

TEST_F(LinkLabelTest, TheBrowserFontFaceIsLookedUpByCodePageThenScriptThenStyles) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  std::wstring international = browser_ + L"\\International";
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, international.c_str(), L"Default_CodePage", 1252));
  SetBrowserValue(L"International\\1252", L"IEPropFontName", L"Courier New");
  SetBrowserValue(L"International\\Scripts\\3", L"IEPropFontName", L"Times New Roman");
  SetBrowserValue(L"Styles", L"IEPropFontName", L"Verdana");
  auto faceOf = [&](int id) {
    LinkLabel label;
    Prepare(label);
    HWND control = host.AddStatic(id, L"", SS_LEFT, 0, 400, 20, 240, 24);
    label.Attach(control, L"face", nullptr, IDC_LINK_CURSOR, 0x200);
    LOGFONTW font = {};
    GetObjectW(label.NormalFont(), sizeof(font), &font);
    std::wstring face = font.lfFaceName;
    label.Detach();
    DestroyWindow(control);
    return face;
  };
  EXPECT_EQ(L"Courier New", faceOf(2010));
  RegDeleteTreeW(HKEY_CURRENT_USER, (international + L"\\1252").c_str());
  EXPECT_EQ(L"Times New Roman", faceOf(2011));
  RegDeleteTreeW(HKEY_CURRENT_USER, international.c_str());
  EXPECT_EQ(L"Verdana", faceOf(2012));
}

TEST_F(LinkLabelTest, TheLinkFontKeepsTheVariablePitchOfTheControlsText) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(host.AddStatic(2013, L"", SS_LEFT, 0, 300, 120, 240, 24), L"link", nullptr, IDC_LINK_CURSOR, 0));
  LOGFONTW font = {};
  ASSERT_TRUE(GetObjectW(label.NormalFont(), sizeof(font), &font));
  EXPECT_EQ(VARIABLE_PITCH, font.lfPitchAndFamily & 3) << font.lfFaceName;  // no fixed-pitch stand-in
}

TEST_F(LinkLabelTest, TheFontIsTheLargestThatFitsTheControlAndNeverBelow4) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  const wchar_t* text = L"Pellton link text that is long";
  HWND roomy = host.AddStatic(2006, L"", SS_LEFT, 0, 300, 20, 150, 40);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(roomy, text, nullptr, IDC_LINK_CURSOR, 0x20));
  LOGFONTW font = {};
  ASSERT_TRUE(GetObjectW(label.UnderlinedFont(), sizeof(font), &font));
  int height = font.lfHeight;
  EXPECT_LT(height, 40);
  EXPECT_GT(height, 4);
  auto widthAt = [&](int h) {
    HDC dc = GetDC(roomy);
    LOGFONTW copy = font;
    copy.lfHeight = h;
    HFONT probe = CreateFontIndirectW(&copy);
    HGDIOBJ old = SelectObject(dc, probe);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, old);
    DeleteObject(probe);
    ReleaseDC(roomy, dc);
    return size;
  };
  SIZE fits = widthAt(height), above = widthAt(height + 1);
  EXPECT_TRUE(fits.cx <= 150 && fits.cy < 40);
  EXPECT_TRUE(above.cx > 150 || above.cy >= 40);

  HWND tiny = host.AddStatic(2007, L"", SS_LEFT, 0, 300, 70, 6, 30);
  LinkLabel small;
  Prepare(small);
  ASSERT_EQ(1, small.Attach(tiny, text, nullptr, IDC_LINK_CURSOR, 0x20));
  ASSERT_TRUE(GetObjectW(small.NormalFont(), sizeof(font), &font));
  EXPECT_EQ(4, font.lfHeight);
}

TEST_F(LinkLabelTest, TransparencyAndFocusRectangleFollowTheControlsStyles) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND see = host.AddStatic(2008, L"", SS_CENTER | SS_CENTERIMAGE, WS_EX_TRANSPARENT, 300, 20, 150, 20);
  LinkLabel transparent;
  Prepare(transparent);
  ASSERT_EQ(1, transparent.Attach(see, L"x", nullptr, IDC_LINK_CURSOR, 0x2 | 0x1000));
  EXPECT_TRUE((transparent.Flags() & LinkLabelTransparent) != 0);
  EXPECT_TRUE((transparent.Flags() & LinkLabelNoFocusRect) != 0);
  EXPECT_EQ(static_cast<UINT>(DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS), transparent.Format());

  HWND solid = host.AddStatic(2009, L"", SS_RIGHT | WS_TABSTOP, WS_EX_TRANSPARENT, 300, 50, 150, 20);
  LinkLabel opaque;
  Prepare(opaque);
  ASSERT_EQ(1, opaque.Attach(solid, L"x", nullptr, IDC_LINK_CURSOR, 0x2 | 0x4000 | 0x2000));
  EXPECT_FALSE((opaque.Flags() & LinkLabelTransparent) != 0);
  EXPECT_FALSE((opaque.Flags() & LinkLabelNoFocusRect) != 0);
  EXPECT_EQ(static_cast<UINT>(DT_SINGLELINE | DT_RIGHT | DT_PATH_ELLIPSIS), opaque.Format());
}

TEST_F(LinkLabelTest, TheLinkCursorShowsOnlyWhileThePointerIsOverTheText) {
  LabelHost host(IDD_PAGE_INFO);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(2013, L"", SS_LEFT, 0, 400, 20, 240, 20);
  LinkLabel label;
  Prepare(label);
  ASSERT_EQ(1, label.Attach(control, L"www.vantrel.com", L"http://www.vantrel.com", IDC_LINK_CURSOR, 0x2));
  HCURSOR link = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINK_CURSOR));
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_TRUE(link != nullptr);
  MouseMove(control, 3, 5);
  EXPECT_EQ(link, GetCursor());
  EXPECT_TRUE(SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(link, GetCursor());
  MouseMove(control, 235, 5);
  EXPECT_EQ(arrow, GetCursor());
  SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(arrow, GetCursor());

  // Enabled again while the pointer rests on the text: hot at once.
  EnableWindow(control, FALSE);
  RECT rect;
  GetWindowRect(control, &rect);
  ASSERT_TRUE(SetCursorPos(rect.left + 3, rect.top + 5));
  EXPECT_FALSE((label.Flags() & LinkLabelHot) != 0);
  EnableWindow(control, TRUE);
  EXPECT_TRUE((label.Flags() & LinkLabelHot) != 0);
  EXPECT_EQ(link, GetCursor());
  SendMessageW(control, WM_CANCELMODE, 0, 0);
  EXPECT_FALSE((label.Flags() & LinkLabelHot) != 0);
  SetCursorPos(0, 1000);  // away from every test window
}

}  // namespace
