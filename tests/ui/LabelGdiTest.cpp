// The labels own their fonts and bitmaps: a thousand repaints in every state
// and fifty attach/detach rounds leave the process's count of live GDI
// objects where it was (counted as the control tests count them).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "tests/ui/ControlTestSupport.h"
#include "tests/ui/LabelHost.h"
#include "ui/LinkLabel.h"
#include "ui/StyledLabel.h"

namespace {

using labeltest::LabelHost;
using labeltest::MouseMove;

int NoOpen(const wchar_t*) { return 1; }

TEST(LabelGdiTest, RepaintsAndReattachingLeaveNoGdiObjectBehind) {
  LabelHost host(IDD_PAGE_ABOUT);
  ASSERT_TRUE(host.Ready());
  HWND linkControl = host.AddStatic(4000, L"", SS_LEFT | WS_TABSTOP, 0, 300, 100, 200, 20);
  HWND fitControl = host.AddStatic(4001, L"", SS_CENTER, 0, 300, 130, 200, 30);
  HWND framedControl = host.AddStatic(4002, L"", SS_LEFT, 0, 300, 170, 200, 30);
  const UINT redraw = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

  auto round = [&](int repaints) {
    LinkLabel link;
    link.SetUrlOpener(NoOpen);
    link.Attach(linkControl, L"www.vantrel.com", L"http://www.vantrel.com", IDC_LINK_CURSOR, 0x20);
    StyledLabel fit;
    fit.Attach(fitControl, L"Verdana", 100, 0, 0, 0x0C000000 | 0x80, 0, nullptr, nullptr);
    StyledLabel framed;
    framed.Attach(framedControl, nullptr, 0, RGB(255, 0, 0), RGB(0, 0, 255), 0x1 | 0x200 | 0x4000 | 0x2000, 0,
                  nullptr, nullptr);
    HDC dc = GetDC(framedControl);
    framed.SetBitmaps(CreateCompatibleBitmap(dc, 8, 8), CreateCompatibleBitmap(dc, 8, 8), nullptr, 1.5);
    ReleaseDC(framedControl, dc);
    for (int i = 0; i < repaints; ++i) {
      // Hot and plain, focused and not, a new text now and then.
      MouseMove(linkControl, i % 2 ? 2 : 199, 5);
      MouseMove(framedControl, i % 2 ? 5 : 150, 5);
      if (i % 50 == 0) fit.SetText(i % 100 ? L"Pellton" : L"Pellton - Samsung EI-AN900 Viewer");
      if (i % 3 == 0) SetFocus(i % 2 ? linkControl : host.Page());
      RedrawWindow(host.Page(), nullptr, nullptr, redraw | RDW_ALLCHILDREN);
    }
  };

  round(5);
  PumpWaiting();
  int before = controltest::LiveGdiObjects();
  ASSERT_GT(before, 0) << "no way to count GDI objects here";
  for (int i = 0; i < 49; ++i) round(0);
  round(1000);
  PumpWaiting();
  int after = controltest::LiveGdiObjects();
  EXPECT_EQ(before, after);
  std::printf("GDI objects before %d, after 50 label rounds and 1000 repaints %d\n", before, after);
}

}  // namespace
