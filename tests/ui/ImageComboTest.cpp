// The icon combo box on real owner-drawn combo and list boxes: tagged item
// records, selection and clearing of empty boxes, nesting redraw locks seen
// from the control's side, a refused add, the long-text rule, and the item
// sizes and drawing at 96, 120 and 144 DPI.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "resources/ResourceIds.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/Dpi.h"
#include "ui/ImageCombo.h"

namespace {

const int ComboId = 1010;
const int ListId = 1011;
const COLORREF Magenta = RGB(255, 0, 255);

struct RawRecord {
  DWORD tag;
  int value;
  int image;
};

class ImageComboTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(300, 240, false) != nullptr);
    combo_ = dialog_.AddChild(WC_COMBOBOXW,
                              CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL,
                              ComboId, 10, 10, 200, 200);
    ASSERT_TRUE(combo_ != nullptr);
    ASSERT_EQ(1, combo_box_.Attach(combo_, GetModuleHandleW(nullptr), ImageComboComboBox, 16, 16));
    dialog_.AddControl(&combo_box_);
  }
  void TearDown() override {
    DpiSetOverride(0);
    combo_box_.Detach();
    dialog_.Close(0);
  }

  // Draws item index of the combo's list (or its selection field) into a
  // surface of the given size with the given state.
  void DrawItem(controltest::Surface& surface, int index, UINT state, int height) {
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = ComboId;
    item.itemID = static_cast<UINT>(index);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = combo_;
    item.hDC = surface.Dc();
    SetRect(&item.rcItem, 0, 0, surface.Width(), height);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(combo_, WM_GETFONT, 0, 0));
    HGDIOBJ previous = SelectObject(surface.Dc(), font);
    EXPECT_EQ(1, combo_box_.OnDrawItem(&item));
    SelectObject(surface.Dc(), previous);
  }

  // The height of "W" in the combo's font.
  int TextHeight() {
    HDC dc = GetDC(combo_);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(combo_, WM_GETFONT, 0, 0)));
    RECT rect = {};
    DrawTextW(dc, L"W", 1, &rect, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, previous);
    ReleaseDC(combo_, dc);
    return rect.bottom - rect.top;
  }

  controltest::HostDialog dialog_;
  HWND combo_ = nullptr;
  ImageCombo combo_box_;
};

TEST_F(ImageComboTest, EachItemCarriesATaggedRecordWithTheValueAndTheImage) {
  int index = -1;
  ASSERT_EQ(1, combo_box_.AddItem(L"Tracker one", 7, IDI_TRACKER, &index));
  EXPECT_EQ(0, index);
  ASSERT_EQ(1, combo_box_.AddItem(L"No tracker found", -1, 0, &index));
  EXPECT_EQ(1, index);
  ASSERT_EQ(1, combo_box_.AddItem(L"Tracker two", 9, IDI_TRACKER, &index));
  EXPECT_EQ(3, combo_box_.Count());

  const RawRecord* first = reinterpret_cast<const RawRecord*>(SendMessageW(combo_, CB_GETITEMDATA, 0, 0));
  const RawRecord* second = reinterpret_cast<const RawRecord*>(SendMessageW(combo_, CB_GETITEMDATA, 1, 0));
  const RawRecord* third = reinterpret_cast<const RawRecord*>(SendMessageW(combo_, CB_GETITEMDATA, 2, 0));
  EXPECT_EQ(0x636D6278u, first->tag);
  EXPECT_EQ(7, first->value);
  EXPECT_EQ(0, first->image);
  EXPECT_EQ(-1, second->value);
  EXPECT_EQ(-1, second->image);  // no icon
  EXPECT_EQ(0, third->image);  // the same icon shares its image

  WideString text;
  int value = 0;
  ASSERT_EQ(1, combo_box_.Item(1, &text, &value));
  EXPECT_STREQ(L"No tracker found", text.CStr());
  EXPECT_EQ(-1, value);

  EXPECT_EQ(1, combo_box_.Select(2));
  EXPECT_EQ(0, combo_box_.Select(5));
  ASSERT_EQ(1, combo_box_.Selection(&index, &text, &value));
  EXPECT_EQ(2, index);
  EXPECT_STREQ(L"Tracker two", text.CStr());
  EXPECT_EQ(9, value);

  ASSERT_EQ(1, combo_box_.Delete(0));
  ASSERT_EQ(1, combo_box_.Item(0, &text, &value));
  EXPECT_EQ(-1, value);
  combo_box_.Clear();
  EXPECT_EQ(0, combo_box_.Count());
}

TEST_F(ImageComboTest, EachIconIsLoadedOnceAndRefillsDoNotGrowTheImageList) {
  // A date list: many items, one icon.
  combo_box_.LockRedraw();
  for (int i = 0; i < 300; ++i) ASSERT_EQ(1, combo_box_.AddItem(L"Date", i, IDI_DATE, nullptr));
  combo_box_.UnlockRedraw();
  EXPECT_EQ(300, combo_box_.Count());
  EXPECT_EQ(1, combo_box_.ImageCount());

  // Refilled item by item, and after Clear: still the one image.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 2) {
      combo_box_.Clear();
    } else {
      while (combo_box_.Count() > 0) ASSERT_EQ(1, combo_box_.Delete(0));
    }
    for (int i = 0; i < 100; ++i) ASSERT_EQ(1, combo_box_.AddItem(L"Date", i, IDI_DATE, nullptr));
    EXPECT_EQ(1, combo_box_.ImageCount());
  }

  // Another icon adds one image; items of either icon keep drawing theirs.
  ASSERT_EQ(1, combo_box_.AddItem(L"Tracker", 1, IDI_TRACKER, nullptr));
  ASSERT_EQ(1, combo_box_.AddItem(L"Date", 2, IDI_DATE, nullptr));
  EXPECT_EQ(2, combo_box_.ImageCount());
  const RawRecord* tracker = reinterpret_cast<const RawRecord*>(SendMessageW(combo_, CB_GETITEMDATA, 100, 0));
  const RawRecord* date = reinterpret_cast<const RawRecord*>(SendMessageW(combo_, CB_GETITEMDATA, 101, 0));
  EXPECT_EQ(1, tracker->image);
  EXPECT_EQ(0, date->image);

  // A missing icon gives no image, now and on the next item.
  ASSERT_EQ(1, combo_box_.AddItem(L"None", 3, 9999, nullptr));
  ASSERT_EQ(1, combo_box_.AddItem(L"None", 4, 9999, nullptr));
  EXPECT_EQ(2, combo_box_.ImageCount());
  const RawRecord* missing = reinterpret_cast<const RawRecord*>(SendMessageW(combo_, CB_GETITEMDATA, 103, 0));
  EXPECT_EQ(-1, missing->image);

  // A new attach starts a new list.
  combo_box_.Detach();
  ASSERT_EQ(1, combo_box_.Attach(combo_, GetModuleHandleW(nullptr), ImageComboComboBox, 16, 16));
  ASSERT_EQ(1, combo_box_.AddItem(L"Tracker", 1, IDI_TRACKER, nullptr));
  EXPECT_EQ(1, combo_box_.ImageCount());
  EXPECT_EQ(0, reinterpret_cast<const RawRecord*>(SendMessageW(combo_, CB_GETITEMDATA, 0, 0))->image);
}

TEST_F(ImageComboTest, AnEmptyBoxClearsToNothingAndItsSelectionLeavesTheOutputsAlone) {
  combo_box_.Clear();
  EXPECT_EQ(0, combo_box_.Count());
  int index = 55;
  WideString text(L"kept");
  int value = 99;
  EXPECT_EQ(0, combo_box_.Selection(&index, &text, &value));
  EXPECT_EQ(55, index);
  EXPECT_STREQ(L"kept", text.CStr());
  EXPECT_EQ(99, value);

  // A box with items but no selection answers the same.
  ASSERT_EQ(1, combo_box_.AddItem(L"Tracker", 3, 0, nullptr));
  EXPECT_EQ(0, combo_box_.Selection(&index, &text, &value));
  EXPECT_EQ(55, index);
  EXPECT_EQ(99, value);
}

TEST_F(ImageComboTest, NestedRedrawLocksNeedAsManyUnlocksBeforeDrawingResumes) {
  controltest::MessageSpy spy(combo_);
  combo_box_.LockRedraw();
  combo_box_.LockRedraw();
  ASSERT_EQ(1, combo_box_.AddItem(L"Tracker", 1, IDI_TRACKER, nullptr));  // its own lock nests too
  combo_box_.UnlockRedraw();
  EXPECT_EQ(1, combo_box_.RedrawLockDepth());
  ASSERT_EQ(1u, spy.Of(WM_SETREDRAW).size());
  EXPECT_EQ(static_cast<WPARAM>(FALSE), spy.Of(WM_SETREDRAW)[0]);

  combo_box_.UnlockRedraw();
  EXPECT_EQ(0, combo_box_.RedrawLockDepth());
  ASSERT_EQ(2u, spy.Of(WM_SETREDRAW).size());
  EXPECT_EQ(static_cast<WPARAM>(TRUE), spy.Of(WM_SETREDRAW)[1]);

  combo_box_.UnlockRedraw();  // at depth 0: nothing
  EXPECT_EQ(0, combo_box_.RedrawLockDepth());
  EXPECT_EQ(2u, spy.Of(WM_SETREDRAW).size());

  // An add on its own locks and unlocks once.
  ASSERT_EQ(1, combo_box_.AddItem(L"Another", 2, 0, nullptr));
  ASSERT_EQ(4u, spy.Of(WM_SETREDRAW).size());
  EXPECT_EQ(static_cast<WPARAM>(FALSE), spy.Of(WM_SETREDRAW)[2]);
  EXPECT_EQ(static_cast<WPARAM>(TRUE), spy.Of(WM_SETREDRAW)[3]);
}

TEST_F(ImageComboTest, AnAddTheControlRefusesAnswersZeroAndLeavesTheBoxAsItWas) {
  ASSERT_EQ(1, combo_box_.AddItem(L"Kept", 1, 0, nullptr));
  controltest::MessageSpy spy(combo_);
  spy.answer = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != CB_ADDSTRING) return false;
    *result = CB_ERRSPACE;
    return true;
  };
  int index = 42;
  EXPECT_EQ(0, combo_box_.AddItem(L"Too much", 2, IDI_TRACKER, &index));
  EXPECT_EQ(42, index);
  EXPECT_EQ(1, combo_box_.Count());
  EXPECT_EQ(0, combo_box_.RedrawLockDepth());
  EXPECT_TRUE(spy.Of(CB_SETITEMDATA).empty());
}

TEST_F(ImageComboTest, ItemDataThatIsNoRecordOfOursIsNeverRead) {
  ASSERT_EQ(1, combo_box_.AddItem(L"Ours", 1, 0, nullptr));
  LRESULT foreign = SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Theirs"));
  ASSERT_EQ(1, foreign);
  SendMessageW(combo_, CB_SETITEMDATA, 1, 3);  // a plain number, no address
  WideString text;
  int value = 77;
  EXPECT_EQ(0, combo_box_.Item(1, &text, &value));
  EXPECT_EQ(77, value);
  controltest::Surface surface(100, 20);
  DrawItem(surface, 1, 0, 20);  // drawn without an icon
  EXPECT_EQ(1, combo_box_.Delete(1));
  EXPECT_EQ(1, combo_box_.Count());
  ASSERT_EQ(1, combo_box_.Item(0, &text, &value));
  EXPECT_EQ(1, value);
}

TEST_F(ImageComboTest, ItemsOf1040CharactersOrMoreAreListedWithoutText) {
  std::wstring drawn(1039, L'W');
  std::wstring hidden(1040, L'W');
  ASSERT_EQ(1, combo_box_.AddItem(drawn.c_str(), 1, 0, nullptr));
  ASSERT_EQ(1, combo_box_.AddItem(hidden.c_str(), 2, 0, nullptr));
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  const int textLeft = 2 + 2 + combo_box_.IconWidth() + 2;

  controltest::Surface surface(200, 24);
  surface.Fill(Magenta);
  DrawItem(surface, 0, 0, 24);
  RECT text = surface.Extent(window);
  EXPECT_FALSE(IsRectEmpty(&text));
  EXPECT_GE(text.left, textLeft);

  surface.Fill(Magenta);
  DrawItem(surface, 1, 0, 24);
  RECT none = surface.Extent(window);
  EXPECT_TRUE(IsRectEmpty(&none)) << none.left << "," << none.top;

  // The whole text stays readable through Item.
  WideString read;
  ASSERT_EQ(1, combo_box_.Item(1, &read, nullptr));
  EXPECT_EQ(1040u, read.Length());
}

TEST_F(ImageComboTest, ASelectedItemIsHighlightedAndAFocusedOneFramed) {
  ASSERT_EQ(1, combo_box_.AddItem(L"Tracker", 1, 0, nullptr));
  controltest::Surface surface(120, 20);
  surface.Fill(Magenta);
  DrawItem(surface, 0, ODS_SELECTED, 20);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  // The highlight leaves 1 pixel at the top and bottom and 2 at the right,
  // and starts 2 pixels in from the left for list items.
  EXPECT_EQ(highlight, surface.At(3, 2));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), surface.At(1, 10));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), surface.At(119, 10));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), surface.At(60, 0));
  EXPECT_EQ(highlight, surface.At(117, 18));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), surface.At(117, 19));

  surface.Fill(Magenta);
  DrawItem(surface, 0, ODS_FOCUS, 20);
  auto dotted = [&surface](int y) {
    int marks = 0;
    for (int x = 3; x < 117; ++x) marks += surface.At(x, y) != GetSysColor(COLOR_WINDOW);
    return marks;
  };
  EXPECT_GT(dotted(1), 20);  // the focus frame's top edge
  surface.Fill(Magenta);
  DrawItem(surface, 0, ODS_FOCUS | ODS_NOFOCUSRECT, 20);
  EXPECT_EQ(0, dotted(1));
}

TEST_F(ImageComboTest, ItemsAreSizedAndDrawnForTheDpi) {
  const int textHeight = TextHeight();
  int previousWidth = 0;
  for (int dpi : {96, 120, 144}) {
    SCOPED_TRACE(dpi);
    DpiSetOverride(dpi);
    combo_box_.Detach();
    ASSERT_EQ(1, combo_box_.Attach(combo_, GetModuleHandleW(nullptr), ImageComboComboBox, 16, 16));
    const int icon = MulDiv(16, dpi, 96);
    EXPECT_EQ(icon, combo_box_.IconWidth());
    EXPECT_EQ(icon, combo_box_.IconHeight());
    const int itemHeight = icon > textHeight ? icon : textHeight;
    EXPECT_EQ(itemHeight, combo_box_.ItemHeight());
    // The selection field gets the item height (the control may add its
    // own margin); the list items get what OnMeasureItem answers.
    EXPECT_GE(SendMessageW(combo_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), itemHeight);
    EXPECT_LE(SendMessageW(combo_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), itemHeight + 2);
    EXPECT_EQ(itemHeight + 4, SendMessageW(combo_, CB_GETITEMHEIGHT, 0, 0));

    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_COMBOBOX;
    measure.CtlID = ComboId;
    ASSERT_EQ(1, combo_box_.OnMeasureItem(&measure));
    EXPECT_EQ(static_cast<UINT>(itemHeight + 4), measure.itemHeight);
    measure.CtlID = ComboId + 1;
    EXPECT_EQ(0, combo_box_.OnMeasureItem(&measure));

    ASSERT_EQ(1, combo_box_.AddItem(L"", 1, IDI_TRACKER, nullptr));
    controltest::Surface surface(100, itemHeight + 4);
    surface.Fill(Magenta);
    DrawItem(surface, 0, 0, itemHeight + 4);
    RECT drawn = surface.Extent(GetSysColor(COLOR_WINDOW));
    // The icon sits 4 pixels in (2 for the list, 2 before the icon),
    // centred in the item, and fills most of its icon-sized square.
    EXPECT_GE(drawn.left, 4);
    EXPECT_LE(drawn.right, 4 + icon);
    EXPECT_GE(drawn.top, (itemHeight + 4 - icon) / 2);
    EXPECT_LE(drawn.bottom, (itemHeight + 4 - icon) / 2 + icon);
    EXPECT_GT(drawn.right - drawn.left, icon / 2);
    EXPECT_GT(drawn.right - drawn.left, previousWidth);  // the picture grows with the DPI
    previousWidth = drawn.right - drawn.left;
    combo_box_.Clear();
  }
}

TEST(ImageComboListBoxTest, AListBoxKeepsRecordsAndReadsItsTexts) {
  controltest::HostDialog dialog;
  ASSERT_TRUE(dialog.Create(200, 200, false) != nullptr);
  HWND list = dialog.AddChild(WC_LISTBOXW, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY, ListId,
                              10, 10, 150, 150);
  ASSERT_TRUE(list != nullptr);
  ImageCombo box;
  ASSERT_EQ(1, box.Attach(list, GetModuleHandleW(nullptr), ImageComboListBox, 0, 0));
  ASSERT_EQ(1, box.AddItem(L"First", 10, 0, nullptr));
  ASSERT_EQ(1, box.AddItem(L"Second", 20, IDI_TRACKER, nullptr));
  EXPECT_EQ(2, SendMessageW(list, LB_GETCOUNT, 0, 0));
  WideString text;
  int value = 0;
  ASSERT_EQ(1, box.Item(1, &text, &value));
  EXPECT_STREQ(L"Second", text.CStr());
  EXPECT_EQ(20, value);
  ASSERT_EQ(1, box.Select(0));
  int index = -1;
  WideString untouched(L"untouched");
  ASSERT_EQ(1, box.Selection(&index, &untouched, &value));
  EXPECT_EQ(0, index);
  EXPECT_EQ(10, value);
  EXPECT_STREQ(L"untouched", untouched.CStr());  // texts are read for combo boxes only
  box.Detach();
  EXPECT_EQ(0, SendMessageW(list, LB_GETCOUNT, 0, 0));  // detaching deletes the items
  dialog.Close(0);
}

}  // namespace
