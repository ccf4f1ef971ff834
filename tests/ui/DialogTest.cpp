// The Dialog base on real dialogs built from templates in memory: the
// dispatch order and answers, modal and modeless runs, Close and CanClose,
// deletion on close, start hidden, the minimum size, anchor registration,
// control reflection and the item helpers.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/ui/DialogTemplateBuilder.h"
#include "ui/Dialog.h"
#include "ui/DialogControl.h"

namespace {

const WORD ButtonClass = 0x0080;
const WORD StaticClass = 0x0082;
const int StatusId = 1020;
const int CloseId = 1003;
const int TabsId = 1004;
const int CheckId = 1006;

std::vector<BYTE> ResizableTemplate(DWORD extraStyle = 0) {
  DialogTemplateBuilder builder(true,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | extraStyle,
                                300, 200, L"Test dialog");
  builder.AddItem(StaticClass, SS_LEFT, 10, 10, 200, 120, TabsId, L"tabs");
  builder.AddItem(ButtonClass, BS_PUSHBUTTON | WS_TABSTOP, 240, 180, 50, 14, CloseId, L"Close");
  builder.AddItem(StaticClass, SS_LEFT, 10, 185, 100, 8, StatusId, L"status");
  builder.AddItem(ButtonClass, BS_AUTOCHECKBOX | WS_TABSTOP, 10, 150, 100, 10, CheckId, L"check");
  return builder.Build();
}

// A dialog that writes down what it is called for and can be told how to
// answer.
class RecordingDialog : public Dialog {
public:
  std::wstring trace;
  int initAnswer = 1;
  int refuseCloses = 0;  // CanClose answers 0 this many times
  std::vector<UINT> postOnInit;
  bool* deleted = nullptr;
  std::vector<INT_PTR> closeResults;
  HWND windowAtDestroy = nullptr;

  ~RecordingDialog() override {
    if (deleted) *deleted = true;
  }
  int OnInitDialog() override {
    trace += L"I";
    for (UINT message : postOnInit) PostMessageW(Window(), message, IDCANCEL, 0);
    return initAnswer;
  }
  int CanClose(INT_PTR result) override {
    trace += L"C";
    closeResults.push_back(result);
    if (refuseCloses > 0) {
      --refuseCloses;
      return 0;
    }
    return 1;
  }
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override {
    trace += L"M";
    return Dialog::OnCommand(id, wParam, lParam);
  }
  int OnClose() override {
    trace += L"X";
    return Dialog::OnClose();
  }
  int OnDestroy() override {
    trace += L"D";
    windowAtDestroy = Window();
    return Dialog::OnDestroy();
  }
};

TEST(DialogTest, AnInitialisationAnswering0EndsTheModalRunWithMinusOne) {
  RecordingDialog dialog;
  dialog.initAnswer = 0;
  std::vector<BYTE> bytes = ResizableTemplate();
  EXPECT_EQ(-1, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size()));
  EXPECT_EQ(L"ICD", dialog.trace);
  ASSERT_EQ(1u, dialog.closeResults.size());
  EXPECT_EQ(-1, dialog.closeResults[0]);
  EXPECT_EQ(nullptr, dialog.Window());
}

TEST(DialogTest, CancelClosesWithResult0AfterCanCloseAgrees) {
  RecordingDialog dialog;
  dialog.refuseCloses = 1;
  dialog.postOnInit = {WM_COMMAND, WM_COMMAND};  // the first is refused
  std::vector<BYTE> bytes = ResizableTemplate();
  EXPECT_EQ(0, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size()));
  EXPECT_EQ(L"IMCMCD", dialog.trace);
  // The window handle is still known while the window is destroyed.
  EXPECT_TRUE(dialog.windowAtDestroy != nullptr);
  EXPECT_EQ(nullptr, dialog.Window());
}

TEST(DialogTest, TheObjectRunsAgainAfterItsWindowHasGone) {
  RecordingDialog dialog;
  dialog.postOnInit = {WM_CLOSE};
  std::vector<BYTE> bytes = ResizableTemplate();
  EXPECT_EQ(0, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size()));
  EXPECT_EQ(0, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size()));
  EXPECT_EQ(L"IXCDIXCD", dialog.trace);
}

class EndingDialog : public Dialog {
public:
  int OnInitDialog() override {
    Close(42);
    Close(43);  // ignored: the dialog is already ending
    return 1;
  }
};

TEST(DialogTest, TheFirstCloseGivesTheModalResult) {
  EndingDialog dialog;
  std::vector<BYTE> bytes = ResizableTemplate();
  EXPECT_EQ(42, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size()));
}

TEST(DialogTest, AMissingTemplateGivesMinusOne) {
  RecordingDialog dialog;
  EXPECT_EQ(-1, dialog.RunModal(nullptr, 31999));
  EXPECT_EQ(L"", dialog.trace);
}

TEST(DialogTest, AModelessDialogClosesThroughOnCloseCanCloseAndOnDestroy) {
  RecordingDialog dialog;
  std::vector<BYTE> bytes = ResizableTemplate();
  HWND window = dialog.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
  ASSERT_TRUE(window != nullptr);
  EXPECT_EQ(window, dialog.Window());
  EXPECT_EQ(static_cast<DWORD>(DialogModeless), dialog.Flags() & DialogModeless);
  dialog.refuseCloses = 1;
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window));
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(L"IXCXCD", dialog.trace);
  EXPECT_EQ(window, dialog.windowAtDestroy);
  EXPECT_EQ(nullptr, dialog.Window());
}

TEST(DialogTest, DeleteOnCloseDeletesAModelessObjectWhenItsWindowGoes) {
  bool deleted = false;
  RecordingDialog* dialog = new RecordingDialog;
  dialog->deleted = &deleted;
  std::vector<BYTE> bytes = ResizableTemplate();
  HWND window =
      dialog->CreateModelessTemplate(nullptr, bytes.data(), bytes.size(), DialogDeleteOnClose);
  ASSERT_TRUE(window != nullptr);
  dialog->Close(5);
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(IsWindow(window));
}

TEST(DialogTest, DeleteOnCloseDeletesAModalObjectOnlyAfterTheDialogBoxHasEnded) {
  bool deleted = false;
  RecordingDialog* dialog = new RecordingDialog;
  dialog->deleted = &deleted;
  dialog->postOnInit = {WM_COMMAND};
  std::vector<BYTE> bytes = ResizableTemplate();
  EXPECT_EQ(0, dialog->RunModalTemplate(nullptr, bytes.data(), bytes.size(), DialogDeleteOnClose));
  EXPECT_TRUE(deleted);
}

TEST(DialogTest, ModelessPagesGoWithTheirParentWithoutClose) {
  RecordingDialog parent;
  RecordingDialog page;
  std::vector<BYTE> bytes = ResizableTemplate();
  DialogTemplateBuilder child(true, WS_CHILD | DS_CONTROL, 100, 50, L"");
  std::vector<BYTE> childBytes = child.Build();
  HWND parentWindow = parent.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
  ASSERT_TRUE(parentWindow != nullptr);
  HWND pageWindow =
      page.CreateModelessTemplate(nullptr, childBytes.data(), childBytes.size(), 0, parentWindow);
  ASSERT_TRUE(pageWindow != nullptr);
  EXPECT_EQ(parentWindow, GetParent(pageWindow));
  DestroyWindow(parentWindow);
  EXPECT_EQ(nullptr, page.Window());
  EXPECT_EQ(L"ID", page.trace);
}

TEST(DialogTest, AnObjectDestroyedBeforeItsModelessWindowTakesTheWindowWithIt) {
  HWND window = nullptr;
  std::vector<BYTE> bytes = ResizableTemplate();
  {
    RecordingDialog dialog;
    window = dialog.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
    ASSERT_TRUE(window != nullptr);
  }
  EXPECT_FALSE(IsWindow(window));
}

TEST(DialogTest, AnObjectWhoseWindowIsOpenMakesNoSecondWindow) {
  RecordingDialog dialog;
  std::vector<BYTE> bytes = ResizableTemplate();
  HWND first = dialog.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
  ASSERT_TRUE(first != nullptr);
  // A second window would carry the same object: whichever went first
  // would cut the object off from the other, and the object's destructor
  // could take only one of them along.
  HWND second = dialog.CreateModelessTemplate(nullptr, bytes.data(), bytes.size(), DialogStartHidden);
  EXPECT_EQ(nullptr, second);
  EXPECT_EQ(-1, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size()));
  EXPECT_EQ(-1, dialog.RunModal(nullptr, 31999));
  EXPECT_EQ(nullptr, dialog.CreateModeless(nullptr, 31999));
  EXPECT_EQ(first, dialog.Window());
  EXPECT_EQ(static_cast<DWORD>(DialogModeless), dialog.Flags());  // the open window's flags stay
  EXPECT_EQ(L"I", dialog.trace);
  if (second) DestroyWindow(second);
  EXPECT_EQ(first, dialog.Window());
  dialog.Close(0);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(nullptr, dialog.Window());
  // Once the window has gone the object runs again.
  HWND again = dialog.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
  ASSERT_TRUE(again != nullptr);
  dialog.Close(0);
  EXPECT_FALSE(IsWindow(again));
}

TEST(DialogTest, StartHiddenSuppressesOnlyTheFirstShow) {
  RecordingDialog dialog;
  std::vector<BYTE> bytes = ResizableTemplate(WS_VISIBLE);
  HWND window =
      dialog.CreateModelessTemplate(nullptr, bytes.data(), bytes.size(), DialogStartHidden);
  ASSERT_TRUE(window != nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(0u, dialog.Flags() & DialogStartHidden);
  dialog.Show(SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(window));
  dialog.Close(0);
}

TEST(DialogTest, WithoutStartHiddenTheTemplatesVisibleStyleShows) {
  RecordingDialog dialog;
  std::vector<BYTE> bytes = ResizableTemplate(WS_VISIBLE);
  HWND window = dialog.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
  ASSERT_TRUE(window != nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  dialog.Close(0);
}

class HiddenModalDialog : public Dialog {
public:
  bool visibleAfterFirst = true;
  bool visibleAfterSecond = false;
  int OnInitDialog() override {
    ShowWindow(Window(), SW_SHOW);
    visibleAfterFirst = IsWindowVisible(Window()) != 0;
    ShowWindow(Window(), SW_SHOW);
    visibleAfterSecond = IsWindowVisible(Window()) != 0;
    Close(3);
    return 1;
  }
};

TEST(DialogTest, AModalDialogStartingHiddenIgnoresTheFirstShowRequest) {
  HiddenModalDialog dialog;
  std::vector<BYTE> bytes = ResizableTemplate();
  EXPECT_EQ(3, dialog.RunModalTemplate(nullptr, bytes.data(), bytes.size(), DialogStartHidden));
  EXPECT_FALSE(dialog.visibleAfterFirst);
  EXPECT_TRUE(dialog.visibleAfterSecond);
}

class ModelessFixture : public ::testing::Test {
protected:
  void SetUp() override {
    std::vector<BYTE> bytes = ResizableTemplate();
    window_ = dialog_.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
    ASSERT_TRUE(window_ != nullptr);
  }
  void TearDown() override { dialog_.Close(0); }
  RECT WindowRect() const {
    RECT r;
    GetWindowRect(window_, &r);
    return r;
  }
  RECT ChildRect(int id) const {
    RECT r;
    GetWindowRect(GetDlgItem(window_, id), &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  RecordingDialog dialog_;
  HWND window_ = nullptr;
};

TEST_F(ModelessFixture, TheMinimumSizeInDialogUnitsIsAClientSizeAndRefusesSmallerWindows) {
  ASSERT_EQ(1, dialog_.SetMinimumSize(250, 150, 1));
  RECT expected = {0, 0, 250, 150};
  MapDialogRect(window_, &expected);
  AdjustWindowRectEx(&expected, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)));
  EXPECT_EQ(expected.right - expected.left, dialog_.MinimumWidth());
  EXPECT_EQ(expected.bottom - expected.top, dialog_.MinimumHeight());

  SetWindowPos(window_, nullptr, 0, 0, 100, 80, SWP_NOMOVE | SWP_NOZORDER);
  RECT r = WindowRect();
  EXPECT_EQ(dialog_.MinimumWidth(), r.right - r.left);
  EXPECT_EQ(dialog_.MinimumHeight(), r.bottom - r.top);
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(dialog_.DialogUnitsToPixelsX(250), client.right);
  EXPECT_EQ(dialog_.DialogUnitsToPixelsY(150), client.bottom);

  // Only the dimension below the minimum is raised.
  SetWindowPos(window_, nullptr, 0, 0, dialog_.MinimumWidth() + 40, 10, SWP_NOMOVE | SWP_NOZORDER);
  r = WindowRect();
  EXPECT_EQ(dialog_.MinimumWidth() + 40, r.right - r.left);
  EXPECT_EQ(dialog_.MinimumHeight(), r.bottom - r.top);
}

TEST_F(ModelessFixture, TheMinimumSizeInPixelsIsAWindowSizeAndMinusOneIsNone) {
  ASSERT_EQ(1, dialog_.SetMinimumSize(320, -1, 0));
  SetWindowPos(window_, nullptr, 0, 0, 200, 90, SWP_NOMOVE | SWP_NOZORDER);
  RECT r = WindowRect();
  EXPECT_EQ(320, r.right - r.left);
  EXPECT_EQ(90, r.bottom - r.top);
  MINMAXINFO info = {};
  SendMessageW(window_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(320, info.ptMinTrackSize.x);
}

TEST_F(ModelessFixture, AReferenceSizeInDialogUnitsReplacesTheClientRectangle) {
  ASSERT_EQ(1, dialog_.AddAnchorItem(CloseId, 3, 200, 100));
  RECT expected = {0, 0, 200, 100};
  MapDialogRect(window_, &expected);
  const Anchor& anchor = dialog_.Anchors().back();
  EXPECT_TRUE(EqualRect(&expected, &anchor.Reference()));
  EXPECT_EQ(0, dialog_.AddAnchorItem(4711, 3));
}

TEST_F(ModelessFixture, AMinimisedParentMovesNoAnchoredControl) {
  RECT close = ChildRect(CloseId);
  ASSERT_EQ(1, dialog_.AddAnchorItem(CloseId, 3));
  dialog_.ApplyAnchors(SIZE_MINIMIZED, 0);
  RECT after = ChildRect(CloseId);
  EXPECT_TRUE(EqualRect(&close, &after));
}

// A control wrapper that answers the messages of one control id.
class ProbeControl : public DialogControl {
public:
  ProbeControl(UINT id, std::wstring* trace, wchar_t mark) : id_(id), trace_(trace), mark_(mark) {}
  int OnDrawItem(const DRAWITEMSTRUCT* item) override {
    trace_->push_back(mark_);
    return item->CtlID == id_ ? 1 : 0;
  }
  int OnMeasureItem(MEASUREITEMSTRUCT* item) override {
    trace_->push_back(mark_);
    if (item->CtlID != id_) return 0;
    item->itemHeight = 33;
    return 1;
  }
  int OnNotify(const NMHDR* header, LRESULT* result) override {
    trace_->push_back(mark_);
    if (header->idFrom != id_) return 0;
    *result = 1000 + static_cast<LRESULT>(id_);
    return 1;
  }

private:
  UINT id_;
  std::wstring* trace_;
  wchar_t mark_;
};

TEST_F(ModelessFixture, RegisteredControlsAnswerDrawMeasureAndNotifyInOrder) {
  std::wstring trace;
  ProbeControl first(1, &trace, L'a');
  ProbeControl second(2, &trace, L'b');
  ProbeControl third(2, &trace, L'c');
  ASSERT_EQ(1, dialog_.AddControl(&first));
  ASSERT_EQ(1, dialog_.AddControl(&second));
  ASSERT_EQ(1, dialog_.AddControl(&third));
  EXPECT_EQ(0, dialog_.AddControl(&second));

  NMHDR header = {GetDlgItem(window_, CloseId), 2, NM_CLICK};
  EXPECT_EQ(1002, SendMessageW(window_, WM_NOTIFY, 2, reinterpret_cast<LPARAM>(&header)));
  EXPECT_EQ(L"ab", trace);

  trace.clear();
  MEASUREITEMSTRUCT measure = {ODT_BUTTON, 2, 0, 0, 0, 0};
  EXPECT_EQ(1, SendMessageW(window_, WM_MEASUREITEM, 2, reinterpret_cast<LPARAM>(&measure)));
  EXPECT_EQ(33u, measure.itemHeight);
  EXPECT_EQ(L"ab", trace);

  trace.clear();
  DRAWITEMSTRUCT draw = {};
  draw.CtlType = ODT_BUTTON;
  draw.CtlID = 9;
  SendMessageW(window_, WM_DRAWITEM, 9, reinterpret_cast<LPARAM>(&draw));
  EXPECT_EQ(L"abc", trace);

  trace.clear();
  ASSERT_EQ(1, dialog_.RemoveControl(&second));
  EXPECT_EQ(0, dialog_.RemoveControl(&second));
  SendMessageW(window_, WM_NOTIFY, 2, reinterpret_cast<LPARAM>(&header));
  EXPECT_EQ(L"ac", trace);
}

TEST_F(ModelessFixture, ItemHelpersWorkOnTheDialogsItems) {
  ASSERT_EQ(1, dialog_.SetTitle(L"Pellton"));
  wchar_t text[64];
  GetWindowTextW(window_, text, 64);
  EXPECT_STREQ(L"Pellton", text);
  ASSERT_EQ(1, dialog_.SetItemText(StatusId, L"Searching"));
  GetDlgItemTextW(window_, StatusId, text, 64);
  EXPECT_STREQ(L"Searching", text);
  ASSERT_EQ(1, dialog_.SetItemNumber(StatusId, -42));
  GetDlgItemTextW(window_, StatusId, text, 64);
  EXPECT_STREQ(L"-42", text);
  EXPECT_EQ(GetDlgItem(window_, CloseId), dialog_.Item(CloseId));

  ASSERT_EQ(1, dialog_.EnableItem(CloseId, false));
  EXPECT_FALSE(IsWindowEnabled(dialog_.Item(CloseId)));
  dialog_.EnableItem(CloseId, true);
  EXPECT_TRUE(IsWindowEnabled(dialog_.Item(CloseId)));
  EXPECT_EQ(0, dialog_.EnableItem(4711, true));

  dialog_.CheckButton(CheckId, 1);
  EXPECT_TRUE(dialog_.IsButtonChecked(CheckId));
  dialog_.CheckButton(CheckId, 2);  // only 1 checks
  EXPECT_FALSE(dialog_.IsButtonChecked(CheckId));
}

class FocusDialog : public Dialog {
public:
  int answer = 1;
  int OnInitDialog() override {
    SetFocus(Item(CheckId));
    return answer;
  }
};

TEST(DialogTest, AnInitialisationAnswering2KeepsTheFocusItSet) {
  std::vector<BYTE> bytes = ResizableTemplate(WS_VISIBLE);
  FocusDialog kept;
  kept.answer = 2;
  HWND window = kept.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
  ASSERT_TRUE(window != nullptr);
  EXPECT_EQ(GetDlgItem(window, CheckId), GetFocus());
  kept.Close(0);

  FocusDialog system;
  window = system.CreateModelessTemplate(nullptr, bytes.data(), bytes.size());
  ASSERT_TRUE(window != nullptr);
  // The system gives the focus to the first control that takes it.
  EXPECT_EQ(GetDlgItem(window, CloseId), GetFocus());
  system.Close(0);
}

TEST(DialogApartmentTest, TheWindowThreadsApartmentIsSingleThreadedAndEndsOnce) {
  Dialog dialog;
  ASSERT_EQ(1, dialog.InitComApartment());
  EXPECT_EQ(1, dialog.InitComApartment());
  // A single-threaded apartment refuses the multithreaded model.
  EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  dialog.EndComApartment();
  dialog.EndComApartment();
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_TRUE(SUCCEEDED(hr));
  if (SUCCEEDED(hr)) CoUninitialize();
}

}  // namespace
