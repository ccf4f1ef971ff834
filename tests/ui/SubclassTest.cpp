// Subclassing by window property on real windows: one subclass per tag,
// several tags chaining, detaching in any order, and a window destroyed
// while subclassed.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ui/Subclass.h"

namespace {

// What the window's own procedure saw last.
UINT lastBaseMessage = 0;
bool baseSawNcDestroy = false;

LRESULT CALLBACK BaseProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) baseSawNcDestroy = true;
  if (message >= WM_APP) {
    lastBaseMessage = message;
    return 1000;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreatePlainWindow() {
  static ATOM atom = 0;
  if (!atom) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BaseProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PelltonSubclassTest";
    atom = RegisterClassW(&wc);
  }
  return CreateWindowExW(0, L"PelltonSubclassTest", L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

// A handler that records its calls in a trace and answers one message.
struct Probe {
  std::wstring* trace;
  wchar_t mark;
  UINT answers;  // the message this handler handles itself
  LRESULT answer;
};

int ProbeHandler(HWND, UINT message, WPARAM, LPARAM, LRESULT* result, void* user) {
  Probe* probe = static_cast<Probe*>(user);
  if (message < WM_APP) return 0;
  probe->trace->push_back(probe->mark);
  if (message != probe->answers) return 0;
  *result = probe->answer;
  return 1;
}

class SubclassTest : public ::testing::Test {
protected:
  void SetUp() override {
    window_ = CreatePlainWindow();
    ASSERT_TRUE(window_ != nullptr);
    lastBaseMessage = 0;
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  HWND window_ = nullptr;
  std::wstring trace_;
};

TEST_F(SubclassTest, ThePropertyNamesTheTagInUpperCaseHexadecimal) {
  Subclass link(SubclassTagLinkLabel);
  Probe probe = {&trace_, L'a', 0, 0};
  ASSERT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &probe));
  EXPECT_EQ(&link, GetPropW(window_, L"_C_SubClassing_Property_6C696E6B"));
  EXPECT_EQ(window_, link.Window());
  ASSERT_EQ(1, link.DetachSubclass());
  EXPECT_EQ(nullptr, GetPropW(window_, L"_C_SubClassing_Property_6C696E6B"));
  EXPECT_EQ(nullptr, link.Window());
  EXPECT_EQ(0, link.DetachSubclass());
}

TEST_F(SubclassTest, AHandlerAnswersOrPassesOnToTheWindowsOwnProcedure) {
  Subclass button(SubclassTagIconButton);
  Probe probe = {&trace_, L'b', WM_APP + 1, 77};
  ASSERT_EQ(1, button.AttachSubclass(window_, ProbeHandler, &probe));
  EXPECT_EQ(77, SendMessageW(window_, WM_APP + 1, 0, 0));
  EXPECT_EQ(0u, lastBaseMessage);
  EXPECT_EQ(1000, SendMessageW(window_, WM_APP + 2, 0, 0));
  EXPECT_EQ(static_cast<UINT>(WM_APP + 2), lastBaseMessage);
  EXPECT_EQ(L"bb", trace_);
  EXPECT_EQ(1000, button.CallPrevious(window_, WM_APP + 3, 0, 0));
}

TEST_F(SubclassTest, ASecondSubclassOfTheSameTagIsRefusedAndTheFirstStays) {
  Subclass first(SubclassTagStyledLabel);
  Subclass second(SubclassTagStyledLabel);
  Probe one = {&trace_, L'1', WM_APP + 1, 11};
  Probe two = {&trace_, L'2', WM_APP + 1, 22};
  ASSERT_EQ(1, first.AttachSubclass(window_, ProbeHandler, &one));
  EXPECT_EQ(0, second.AttachSubclass(window_, ProbeHandler, &two));
  EXPECT_EQ(nullptr, second.Window());
  EXPECT_EQ(&first, GetPropW(window_, L"_C_SubClassing_Property_73746178"));
  EXPECT_EQ(11, SendMessageW(window_, WM_APP + 1, 0, 0));
  EXPECT_EQ(L"1", trace_);
}

TEST_F(SubclassTest, OneRecordCannotBeAttachedTwice) {
  HWND other = CreatePlainWindow();
  Subclass site(SubclassTagControlSite);
  Probe probe = {&trace_, L's', 0, 0};
  ASSERT_EQ(1, site.AttachSubclass(window_, ProbeHandler, &probe));
  EXPECT_EQ(0, site.AttachSubclass(other, ProbeHandler, &probe));
  EXPECT_EQ(nullptr, GetPropW(other, L"_C_SubClassing_Property_6F6C6563"));
  DestroyWindow(other);
}

TEST_F(SubclassTest, DifferentTagsChainTheLastAttachedFirst) {
  Subclass link(SubclassTagLinkLabel);
  Subclass button(SubclassTagIconButton);
  Probe a = {&trace_, L'L', WM_APP + 1, 1};
  Probe b = {&trace_, L'B', WM_APP + 2, 2};
  ASSERT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &a));
  ASSERT_EQ(1, button.AttachSubclass(window_, ProbeHandler, &b));
  EXPECT_EQ(1, SendMessageW(window_, WM_APP + 1, 0, 0));
  EXPECT_EQ(L"BL", trace_);
  trace_.clear();
  EXPECT_EQ(2, SendMessageW(window_, WM_APP + 2, 0, 0));
  EXPECT_EQ(L"B", trace_);
  trace_.clear();
  EXPECT_EQ(1000, SendMessageW(window_, WM_APP + 3, 0, 0));
  EXPECT_EQ(L"BL", trace_);
}

TEST_F(SubclassTest, DetachingTheInnerSubclassKeepsTheOuterChainedToTheWindow) {
  WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC));
  Subclass link(SubclassTagLinkLabel);
  Subclass button(SubclassTagIconButton);
  Probe a = {&trace_, L'L', 0, 0};
  Probe b = {&trace_, L'B', 0, 0};
  ASSERT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &a));
  ASSERT_EQ(1, button.AttachSubclass(window_, ProbeHandler, &b));
  ASSERT_EQ(1, link.DetachSubclass());
  EXPECT_EQ(1000, SendMessageW(window_, WM_APP + 5, 0, 0));
  EXPECT_EQ(L"B", trace_);
  EXPECT_EQ(static_cast<UINT>(WM_APP + 5), lastBaseMessage);
  ASSERT_EQ(1, button.DetachSubclass());
  EXPECT_EQ(original, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC)));
}

TEST_F(SubclassTest, DetachingInReverseOrderPutsTheOriginalProcedureBack) {
  WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC));
  Subclass link(SubclassTagLinkLabel);
  Subclass button(SubclassTagIconButton);
  Probe a = {&trace_, L'L', 0, 0};
  ASSERT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &a));
  ASSERT_EQ(1, button.AttachSubclass(window_, ProbeHandler, &a));
  ASSERT_EQ(1, button.DetachSubclass());
  ASSERT_EQ(1, link.DetachSubclass());
  EXPECT_EQ(original, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC)));
  SendMessageW(window_, WM_APP + 1, 0, 0);
  EXPECT_EQ(L"", trace_);
}

TEST_F(SubclassTest, ADestroyedWindowReleasesItsRecordsAndTheyCanAttachAgain) {
  Subclass link(SubclassTagLinkLabel);
  Subclass button(SubclassTagIconButton);
  Probe a = {&trace_, L'L', 0, 0};
  ASSERT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &a));
  ASSERT_EQ(1, button.AttachSubclass(window_, ProbeHandler, &a));
  ASSERT_TRUE(DestroyWindow(window_));
  EXPECT_EQ(nullptr, link.Window());
  EXPECT_EQ(nullptr, button.Window());
  EXPECT_EQ(0, link.DetachSubclass());
  window_ = CreatePlainWindow();
  EXPECT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &a));
}

TEST_F(SubclassTest, TheDestructorDetaches) {
  WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC));
  {
    Subclass report(SubclassTagReportDialog);
    ASSERT_EQ(1, report.AttachSubclass(window_, ProbeHandler, nullptr));
  }
  EXPECT_EQ(original, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC)));
  EXPECT_EQ(nullptr, GetPropW(window_, L"_C_SubClassing_Property_64697669"));
}

// Another component's subclass in the plain Windows way, on top of ours.
WNDPROC foreignPrevious = nullptr;
LRESULT CALLBACK Foreign(HWND w, UINT m, WPARAM wp, LPARAM lp) { return CallWindowProcW(foreignPrevious, w, m, wp, lp); }

TEST_F(SubclassTest, DetachingBelowAForeignSubclassKeepsTheWindowAnswering) {
  Subclass link(SubclassTagLinkLabel);
  Probe probe = {&trace_, L'L', WM_APP + 1, 5};
  ASSERT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &probe));
  foreignPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Foreign)));
  ASSERT_EQ(1, link.DetachSubclass());
  EXPECT_EQ(1000, SendMessageW(window_, WM_APP + 1, 0, 0));
  ASSERT_EQ(1, link.AttachSubclass(window_, ProbeHandler, &probe));  // back in its old place
  EXPECT_EQ(5, SendMessageW(window_, WM_APP + 1, 0, 0));
  ASSERT_EQ(1, link.DetachSubclass());
  ASSERT_TRUE(DestroyWindow(window_));
  EXPECT_TRUE(baseSawNcDestroy);
}

}  // namespace
