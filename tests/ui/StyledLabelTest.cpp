// StyledLabel on real statics of the program's dialogs: the About page's
// title and version lines, face lists, fitting, colours, frames, bitmaps,
// pointer and keyboard input, and the text lock under a second thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/Event.h"
#include "tests/ui/LabelHost.h"
#include "ui/StyledLabel.h"
#include "ui/TemplateFont.h"

namespace {

using labeltest::ButtonDown;
using labeltest::ButtonUp;
using labeltest::Commands;
using labeltest::LabelHost;
using labeltest::MouseMove;

std::vector<int> gEvents;
void RecordEvent(int event, int zero, void* user, StyledLabel*) {
  EXPECT_EQ(0, zero);
  EXPECT_EQ(reinterpret_cast<void*>(0x1234), user);
  gEvents.push_back(event);
}

int CommandsFor(int id) {
  int n = 0;
  for (const auto& c : Commands())
    if (c.id == id) ++n;
  return n;
}

int ColourCount(HWND window, COLORREF colour) {
  testcapture::Picture shot = testcapture::CaptureWindow(window);
  RECT all = {0, 0, shot.width, shot.height};
  return shot.Count(all, [colour](COLORREF c) { return c == colour; });
}

// Width and height DrawTextW gives the text in a font of this height.
SIZE LaidOut(HWND control, HFONT like, int height, const wchar_t* text, UINT format, LONG width) {
  LOGFONTW description = {};
  GetObjectW(like, sizeof(description), &description);
  description.lfHeight = height;
  HFONT font = CreateFontIndirectW(&description);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  RECT rect = {0, 0, width, 0};
  DrawTextW(dc, text, -1, &rect, format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  DeleteObject(font);
  return {rect.right, rect.bottom};
}

class StyledLabelTest : public ::testing::Test {
protected:
  void SetUp() override { gEvents.clear(); }
};

TEST_F(StyledLabelTest, TheAboutTitleIsDrawnInTheLargestVerdanaHeightThatFits) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND title = host.Item(IDC_ABOUT_TITLE);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(title, L"Verdana", 100, 0, 0, 0x0C000000, 0, nullptr, nullptr));
  EXPECT_EQ(0, label.Attach(title, L"Verdana", 100, 0, 0, 0x0C000000, 0, nullptr, nullptr));
  EXPECT_STREQ(L"Verdana", label.Face());  // installed or not, Verdana is the last resort
  wchar_t text[64] = {};
  GetWindowTextW(title, text, 64);
  EXPECT_STREQ(L"Pellton - Samsung EI-AN900 Viewer", text);
  EXPECT_TRUE((label.Flags() & StyledLabelNoTabStop) != 0);

  RECT client;
  GetClientRect(title, &client);
  int height = label.FontHeight();
  EXPECT_LT(height, 100);
  EXPECT_GT(height, 4);
  SIZE fits = LaidOut(title, label.Font(), height, text, DT_SINGLELINE, client.right);
  SIZE above = LaidOut(title, label.Font(), height + 1, text, DT_SINGLELINE, client.right);
  EXPECT_TRUE(fits.cx < client.right && fits.cy < client.bottom);
  EXPECT_FALSE(above.cx < client.right && above.cy < client.bottom);
  // Drawn in the device context's own colour: black on the page.
  EXPECT_GT(ColourCount(title, RGB(0, 0, 0)), 100);
}

TEST_F(StyledLabelTest, TheVersionLineUsesTheControlsFontInGrey) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND version = host.Item(IDC_ABOUT_VERSION);
  SetWindowTextW(version, L"Version 1.06");
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(version, nullptr, 0, 0x808080, 0x808080, 0x8000, 0, nullptr, nullptr));
  LOGFONTW own = {}, used = {};
  ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(version, WM_GETFONT, 0, 0)), sizeof(own), &own));
  ASSERT_TRUE(GetObjectW(label.Font(), sizeof(used), &used));
  EXPECT_STREQ(own.lfFaceName, used.lfFaceName);
  EXPECT_EQ(own.lfHeight, used.lfHeight);
  EXPECT_NE(reinterpret_cast<HFONT>(SendMessageW(version, WM_GETFONT, 0, 0)), label.Font());
  EXPECT_GT(ColourCount(version, RGB(0x80, 0x80, 0x80)), 30);
  EXPECT_EQ(0, ColourCount(version, RGB(0, 0, 0)));
}

TEST_F(StyledLabelTest, FaceListsTakeTheFirstInstalledFace) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(3000, L"faces", SS_LEFT, 0, 300, 100, 200, 20);
  // Some face the prefix has, placed after one it has not.
  std::wstring present;
  for (const wchar_t* face : {L"Tahoma", L"Arial", L"Liberation Sans", L"DejaVu Sans", L"Courier New",
                              L"Marlett", L"Wingdings", L"Symbol"}) {
    if (FontFaceInstalled(face)) {
      present = face;
      break;
    }
  }
  ASSERT_FALSE(present.empty());
  std::wstring list = L" No Such Face ; " + present + L",Another Missing";
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(control, list.c_str(), 14, 0, 0, 0, 0, nullptr, nullptr));
  EXPECT_EQ(present, std::wstring(label.Face()));
  LOGFONTW used = {};
  ASSERT_TRUE(GetObjectW(label.Font(), sizeof(used), &used));
  EXPECT_EQ(present, std::wstring(used.lfFaceName));
  EXPECT_EQ(14, used.lfHeight);
  label.SetFace(L"Nothing Here,Nor Here", true);
  EXPECT_STREQ(L"Verdana", label.Face());
  ASSERT_TRUE(GetObjectW(label.Font(), sizeof(used), &used));
  EXPECT_STREQ(L"Verdana", used.lfFaceName);
  label.SetFace(L"", false);
  const wchar_t* defaults[] = {L"Segoe UI", L"Verdana", L"MS Sans Serif"};
  std::wstring expected = L"Verdana";
  for (const wchar_t* face : defaults) {
    if (FontFaceInstalled(face)) {
      expected = face;
      break;
    }
  }
  EXPECT_EQ(expected, std::wstring(label.Face()));
}

TEST_F(StyledLabelTest, AFontThatCannotFitStopsAtHeight4) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(3001, L"a text far too long for this label", SS_LEFT, 0, 300, 100, 12, 30);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(control, L"Tahoma", 0, 0, 0, 0x200, 0, nullptr, nullptr));
  EXPECT_EQ(4, label.FontHeight());
  // Refit on a new text only with 0x80.
  HWND roomy = host.AddStatic(3002, L"x", SS_LEFT, 0, 300, 140, 200, 40);
  StyledLabel refit;
  ASSERT_EQ(1, refit.Attach(roomy, L"Tahoma", 0, 0, 0, 0x80, 0, nullptr, nullptr));
  int big = refit.FontHeight();
  EXPECT_EQ(1, refit.SetText(L"a much longer text than before, it has to shrink"));
  EXPECT_LT(refit.FontHeight(), big);
}

TEST_F(StyledLabelTest, ColoursFollowHoverAndDisabledStates) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(3003, L"Colours of a label", SS_LEFT, 0, 300, 100, 200, 24);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(control, L"Tahoma", 16, RGB(255, 0, 0), RGB(0, 0, 255), 0x1, 0, nullptr, nullptr));
  EXPECT_GT(ColourCount(control, RGB(255, 0, 0)), 30);
  MouseMove(control, 3, 8);
  EXPECT_TRUE((label.Flags() & StyledLabelHot) != 0);
  EXPECT_EQ(0, ColourCount(control, RGB(255, 0, 0)));
  EXPECT_GT(ColourCount(control, RGB(0, 0, 255)), 30);
  SendMessageW(control, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE((label.Flags() & StyledLabelHot) != 0);
  EnableWindow(control, FALSE);
  EXPECT_TRUE((label.Flags() & StyledLabelDisabled) != 0);
  EXPECT_GT(ColourCount(control, GetSysColor(COLOR_GRAYTEXT)), 30);
  EXPECT_EQ(0, ColourCount(control, RGB(255, 0, 0)));
}

TEST_F(StyledLabelTest, FramesAndEdgesAreDrawnAroundTheInsetText) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND framed = host.AddStatic(3004, L"Framed", SS_LEFT, 0, 300, 100, 120, 30);
  StyledLabel one;
  one.SetFrameColour(RGB(0, 128, 0));
  ASSERT_EQ(1, one.Attach(framed, L"Tahoma", 14, RGB(255, 0, 0), 0, 0x200, 0, nullptr, nullptr));
  testcapture::Picture shot = testcapture::CaptureWindow(framed);
  int border = 2 * (shot.width + shot.height) - 4;
  RECT all = {0, 0, shot.width, shot.height};
  EXPECT_EQ(border, shot.Count(all, [](COLORREF c) { return c == RGB(0, 128, 0); }));
  // The text starts 3 pixels in: nothing red in the three outer rings.
  RECT inner = {3, 3, shot.width - 3, shot.height - 3};
  int red = shot.Count(all, [](COLORREF c) { return c == RGB(255, 0, 0); });
  EXPECT_GT(red, 10);
  EXPECT_EQ(red, shot.Count(inner, [](COLORREF c) { return c == RGB(255, 0, 0); }));

  HWND triple = host.AddStatic(3005, L"", SS_LEFT, 0, 300, 140, 120, 30);
  StyledLabel three;
  three.SetFrameColour(RGB(0, 128, 0));
  ASSERT_EQ(1, three.Attach(triple, L"Tahoma", 14, 0, 0, 0x4000, 0, nullptr, nullptr));
  shot = testcapture::CaptureWindow(triple);
  RECT box = {0, 0, shot.width, shot.height};
  int rings = 0;
  for (int i = 0; i < 3; ++i) rings += 2 * (shot.width - 2 * i + shot.height - 2 * i) - 4;
  EXPECT_EQ(rings, shot.Count(box, [](COLORREF c) { return c == RGB(0, 128, 0); }));

  HWND sunken = host.AddStatic(3006, L"", SS_LEFT, 0, 300, 180, 120, 30);
  StyledLabel edge;
  ASSERT_EQ(1, edge.Attach(sunken, L"Tahoma", 14, 0, 0, 0x2000, 0, nullptr, nullptr));
  shot = testcapture::CaptureWindow(sunken);
  EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), shot.At(5, 0));           // top outer edge
  EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), shot.At(5, shot.height - 1));  // bottom outer edge
}

TEST_F(StyledLabelTest, BitmapsAreDrawnOneToOneOrStretched) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(3007, L"", SS_LEFT, 0, 300, 100, 120, 60);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(control, L"Tahoma", 14, 0, 0, 0, 0, nullptr, nullptr));
  auto solid = [control](COLORREF colour) {
    HDC dc = GetDC(control);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 10, 8);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all = {0, 0, 10, 8};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(control, dc);
    return bitmap;
  };
  label.SetBitmaps(solid(RGB(0, 0, 255)), nullptr, nullptr, 1.0);
  EXPECT_EQ(80, ColourCount(control, RGB(0, 0, 255)));
  label.SetBitmaps(solid(RGB(0, 0, 255)), nullptr, nullptr, 2.0);
  EXPECT_EQ(320, ColourCount(control, RGB(0, 0, 255)));
}

TEST_F(StyledLabelTest, ClicksReachTheCallbackAndThePageWhileTheLabelIsHot) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(3008, L"Click me", SS_LEFT | WS_TABSTOP, 0, 300, 100, 200, 24);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(control, L"Tahoma", 16, 0, 0, 0x1 | 0x1000000 | 0x20000, IDC_LINK_CURSOR, RecordEvent,
                            reinterpret_cast<void*>(0x1234)));
  EXPECT_TRUE((GetWindowLongW(control, GWL_STYLE) & SS_NOTIFY) != 0);
  EXPECT_EQ(HTCLIENT, SendMessageW(control, WM_NCHITTEST, 0, 0));

  MouseMove(control, 150, 10);  // the whole client area counts with 0x20000
  EXPECT_TRUE((label.Flags() & StyledLabelHot) != 0);
  ButtonDown(control, 150, 10);
  EXPECT_TRUE((label.Flags() & StyledLabelButtonDown) != 0);
  ButtonUp(control, 150, 10);
  EXPECT_FALSE((label.Flags() & StyledLabelButtonDown) != 0);
  ASSERT_EQ((std::vector<int>{StyledLabelPressed, StyledLabelClicked}), gEvents);
  EXPECT_EQ(1, CommandsFor(3008));

  // Pressed, then the pointer leaves: the release is no click.
  ButtonDown(control, 150, 10);
  SendMessageW(control, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE((label.Flags() & (StyledLabelHot | StyledLabelButtonDown)) != 0);
  ButtonUp(control, 150, 10);
  EXPECT_EQ(3u, gEvents.size());
  EXPECT_EQ(1, CommandsFor(3008));

  // A move with the button held remembers it as pressed.
  MouseMove(control, 20, 10, MK_LBUTTON);
  EXPECT_TRUE((label.Flags() & StyledLabelButtonDown) != 0);
}

TEST_F(StyledLabelTest, WithoutTheWholeClientAreaOnlyTheTextIsHot) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(3009, L"Hi", SS_RIGHT, 0, 300, 100, 200, 24);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(control, L"Tahoma", 16, 0, 0, 0x1, 0, RecordEvent, reinterpret_cast<void*>(0x1234)));
  MouseMove(control, 10, 5);
  EXPECT_FALSE((label.Flags() & StyledLabelHot) != 0);
  MouseMove(control, 197, 5);
  EXPECT_TRUE((label.Flags() & StyledLabelHot) != 0);
}

TEST_F(StyledLabelTest, EnterAndSpaceActivateATabStopOnly) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND stop = host.AddStatic(3010, L"Keys", SS_LEFT | WS_TABSTOP, 0, 300, 100, 200, 24);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(stop, L"Tahoma", 16, 0, 0, 0x1000000, 0, RecordEvent, reinterpret_cast<void*>(0x1234)));
  MSG enter = {stop, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
  MSG letter = {stop, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  EXPECT_EQ(0x2024, SendMessageW(stop, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)));
  EXPECT_EQ(0x2020, SendMessageW(stop, WM_GETDLGCODE, 'A', reinterpret_cast<LPARAM>(&letter)));
  SendMessageW(stop, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(stop, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ((std::vector<int>{StyledLabelEnter, StyledLabelSpace}), gEvents);
  EXPECT_EQ(2, CommandsFor(3010));

  HWND plain = host.AddStatic(3011, L"Keys", SS_LEFT, 0, 300, 140, 200, 24);
  StyledLabel quiet;
  ASSERT_EQ(1, quiet.Attach(plain, L"Tahoma", 16, 0, 0, 0x1000000, 0, RecordEvent, reinterpret_cast<void*>(0x1234)));
  EXPECT_EQ(DLGC_STATIC, SendMessageW(plain, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)));
  SendMessageW(plain, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(2u, gEvents.size());
  EXPECT_EQ(0, CommandsFor(3011));
}

TEST_F(StyledLabelTest, TransparencyComesFromTheExtendedStyleUnlessRefused) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND see = host.AddStatic(3012, L"see", SS_CENTER | SS_NOPREFIX, WS_EX_TRANSPARENT, 300, 100, 200, 24);
  StyledLabel transparent;
  ASSERT_EQ(1, transparent.Attach(see, L"Tahoma", 16, 0, 0, 0x40 | 0x800000, 0, nullptr, nullptr));
  EXPECT_TRUE((transparent.Flags() & StyledLabelTransparent) != 0);
  EXPECT_EQ(static_cast<UINT>(DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_VCENTER), transparent.Format());
  HWND solid = host.AddStatic(3013, L"solid", SS_RIGHT, WS_EX_TRANSPARENT, 300, 140, 200, 24);
  StyledLabel opaque;
  ASSERT_EQ(1, opaque.Attach(solid, L"Tahoma", 16, 0, 0, 0x10000 | 0x40000, 0, nullptr, nullptr));
  EXPECT_FALSE((opaque.Flags() & StyledLabelTransparent) != 0);
  EXPECT_EQ(static_cast<UINT>(DT_SINGLELINE | DT_END_ELLIPSIS | DT_RIGHT), opaque.Format());
}

TEST_F(StyledLabelTest, TextSetFromAnotherThreadIsNeverSeenHalfWritten) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND control = host.AddStatic(3014, L"", SS_LEFT, 0, 300, 100, 300, 24);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(control, L"Tahoma", 12, 0, 0, 0, 0, nullptr, nullptr));
  // Two long texts of one length, each made of one letter, so that the
  // second is written over the first in place: a reader that sees anything
  // else has seen a text while it was being replaced.
  const std::wstring a(20000, L'a'), b(20000, L'b');
  std::atomic<bool> done(false);
  std::thread writer([&] {
    for (int i = 0; i < 4000; ++i) label.SetText((i % 2 ? a : b).c_str());
    label.SetText(L"last");
    done = true;
  });
  int reads = 0, torn = 0;
  std::vector<wchar_t> buffer(20001);
  while (!done) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    int n = static_cast<int>(
        SendMessageW(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())));
    std::wstring seen(buffer.data(), n);
    if (!(seen.empty() || seen == a || seen == b || seen == L"last")) ++torn;
    WideString copy;
    label.CopyText(copy);
    std::wstring copied = copy.CStr();
    if (!(copied.empty() || copied == a || copied == b || copied == L"last")) ++torn;
    ++reads;
  }
  writer.join();
  EXPECT_EQ(0, torn);
  EXPECT_GT(reads, 0);
  WideString final;
  label.CopyText(final);
  EXPECT_STREQ(L"last", final.CStr());
  EXPECT_EQ(4, GetWindowTextLengthW(control));
}

TEST_F(StyledLabelTest, TextSetFromAnotherThreadNeverWaitsForTheWindowThread) {
  // The window thread may be waiting for the label's lock in WM_PAINT (here
  // it waits answering nothing): the font is fitted without sending to it.
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(host.AddStatic(3015, L"first", SS_LEFT, 0, 300, 130, 300, 24), nullptr, 0, 0, 0, StyledLabelRefitOnText | StyledLabelOwnFont, 0, nullptr, nullptr));
  Event finished;
  finished.Create(1, 0);
  std::thread setter([&] { label.SetText(L"second, longer text") && finished.Set(); });
  DWORD waited = WaitForSingleObject(finished.Handle(), 10000);
  PumpWaiting();  // lets a setter that waits for an answer go on
  setter.join();
  EXPECT_EQ(WAIT_OBJECT_0, waited);
}

TEST_F(StyledLabelTest, TheHoverCursorIsTheLabelsOwnOrASystemCursor) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND own = host.AddStatic(3015, L"Own cursor", SS_LEFT, 0, 300, 100, 200, 24);
  StyledLabel label;
  ASSERT_EQ(1, label.Attach(own, L"Tahoma", 16, 0, 0, 0x1 | 0x20000, IDC_LINK_CURSOR, nullptr, nullptr));
  MouseMove(own, 100, 10);
  EXPECT_EQ(LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINK_CURSOR)), GetCursor());
  SendMessageW(own, WM_MOUSELEAVE, 0, 0);
  SendMessageW(own, WM_SETCURSOR, reinterpret_cast<WPARAM>(own), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());

  HWND system = host.AddStatic(3016, L"System cursor", SS_LEFT, 0, 300, 140, 200, 24);
  StyledLabel other;
  ASSERT_EQ(1, other.Attach(system, L"Tahoma", 16, 0, 0, 0x1 | 0x20000 | 0x400000,
                            static_cast<int>(reinterpret_cast<ULONG_PTR>(IDC_HAND)), nullptr, nullptr));
  MouseMove(system, 100, 10);
  EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
}

}  // namespace
