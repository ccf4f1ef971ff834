#include "app/window/RunTable.h"

#include <commctrl.h>

#include <cstring>

#include "core/DateTime.h"
#include "ui/ColourScheme.h"
#include "ui/Dpi.h"

namespace {

const wchar_t kRangeDash[] = L"\x2013";

int RangeText(unsigned start, unsigned from, unsigned to, WideString& out) {
  WideString first, last;
  if (!LocalClockText(start, from, first) || !LocalClockText(start, to, last)) return 0;
  return out.Format(L"%s%s%s", first.CStr(), kRangeDash, last.CStr());
}

int TextOfCell(HWND list, int row, int column, WideString& out) {
  out.Reset(260);
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = out.Buffer();
  item.cchTextMax = static_cast<int>(out.Capacity());
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  out.UpdateLength();
  return 1;
}

void TitleOfColumn(HWND list, int column, wchar_t* title, int size) {
  LVCOLUMNW header = {};
  header.mask = LVCF_TEXT;
  header.pszText = title;
  header.cchTextMax = size;
  SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&header));
}

}  // namespace

int LocalClockText(unsigned start, unsigned minutes, WideString& out) {
  SYSTEMTIME local;
  if (!FromUnixTime(local, static_cast<long long>(start) + 60LL * minutes, 1)) return 0;
  return FormatTime(out, TIME_NOSECONDS, &local, 0);
}

int RunTable::Create(HWND page, int id, const RECT& rect) {
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, rect.left, rect.top,
                          rect.right - rect.left, rect.bottom - rect.top, page,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (!list_) return 0;
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SendMessageW(list_, WM_SETFONT, SendMessageW(page, WM_GETFONT, 0, 0), FALSE);
  ApplyColours();
  return 1;
}

void RunTable::ApplyColours() {
  if (!list_) return;
  SendMessageW(list_, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(SchemeColour(COLOR_WINDOW)));
  SendMessageW(list_, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(SchemeColour(COLOR_WINDOW)));
  SendMessageW(list_, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(SchemeColour(COLOR_WINDOWTEXT)));
  InvalidateRect(list_, nullptr, TRUE);
}

void RunTable::FollowDpi(HFONT font) {
  if (!list_) return;
  if (font) SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (columns_ > 0) {
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    FitColumns();
  }
  InvalidateRect(list_, nullptr, TRUE);
}

void RunTable::Clear() {
  if (!list_) return;
  SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
}

int RunTable::RowCount() const { return list_ ? static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)) : 0; }

void RunTable::SetColumns(const wchar_t* const* titles, const bool* numeric, int count) {
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  Clear();
  while (columns_ > 0) SendMessageW(list_, LVM_DELETECOLUMN, static_cast<WPARAM>(--columns_), 0);
  for (int i = 0; i < count; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = numeric[i] ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(titles[i]);
    column.iSubItem = i;
    SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  columns_ = count;
}

void RunTable::AddRow(const WideString* cells, int count) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = RowCount();
  item.pszText = const_cast<wchar_t*>(cells[0].CStr());
  const int row = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  for (int i = 1; i < count; ++i) {
    LVITEMW cell = {};
    cell.iSubItem = i;
    cell.pszText = const_cast<wchar_t*>(cells[i].CStr());
    SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
  }
}

void RunTable::FitColumns() {
  // Each column as wide as its widest text or title, and a margin.
  WideString text;
  for (int i = 0; i < columns_; ++i) {
    wchar_t title[64] = L"";
    TitleOfColumn(list_, i, title, 64);
    LRESULT width = SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title));
    for (int row = 0, rows = RowCount(); row < rows; ++row) {
      TextOfCell(list_, row, i, text);
      const LRESULT cell = SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.CStr()));
      if (cell > width) width = cell;
    }
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MAKELPARAM(static_cast<int>(width) + DpiScale(list_, 24), 0));
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void RunTable::ShowWalking(const std::vector<QuarterHourRow>& rows, unsigned start, DistanceUnit unit) {
  if (!list_) return;
  static const wchar_t* const titles[] = {L"Time", L"Steps", L"Calories", L"Distance"};
  static const bool numeric[] = {false, true, true, true};
  SetColumns(titles, numeric, 4);
  const LocaleNumbers numbers;
  // A quarter hour covers a short way: two decimals, so that 50 m do not read as 0.1 km.
  const DistanceUnit shown = numbers.Resolve(unit);
  const wchar_t* symbol = shown == DistanceMiles ? L"mi" : L"km";
  WideString cells[4], number;
  for (const QuarterHourRow& row : rows) {
    RangeText(start, row.minute, row.minute + 15, cells[0]);
    numbers.Integer(row.steps, cells[1]);
    numbers.Integer(row.calories, cells[2]);
    numbers.Decimal(LocaleNumbers::InUnit(row.metres, shown), 2, number);
    cells[3].Format(L"%s %s", number.CStr(), symbol);
    AddRow(cells, 4);
  }
  FitColumns();
}

void RunTable::ShowSleeping(const std::vector<SleepRange>& ranges, unsigned start) {
  if (!list_) return;
  static const wchar_t* const titles[] = {L"Time", L"State", L"Duration"};
  static const bool numeric[] = {false, false, true};
  SetColumns(titles, numeric, 3);
  WideString cells[3];
  for (const SleepRange& range : ranges) {
    RangeText(start, range.minute, range.minute + range.minutes, cells[0]);
    cells[1].Assign(SleepLevelName(range.level));
    LocaleNumbers::Duration(range.minutes, cells[2]);
    AddRow(cells, 3);
  }
  FitColumns();
}

int RunTable::Text(WideString& out) const {
  out.Assign(L"");
  if (!list_ || columns_ == 0) return 0;
  WideString cell;
  for (int i = 0; i < columns_; ++i) {
    wchar_t title[64] = L"";
    TitleOfColumn(list_, i, title, 64);
    if (i) out.Append(L"\t");
    out.Append(title);
  }
  out.Append(L"\r\n");
  const bool selectedOnly = SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
  for (int row = 0, rows = RowCount(); row < rows; ++row) {
    if (selectedOnly && !SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED)) continue;
    for (int i = 0; i < columns_; ++i) {
      TextOfCell(list_, row, i, cell);
      if (i) out.Append(L"\t");
      if (!out.Append(cell)) return 0;
    }
    out.Append(L"\r\n");
  }
  return 1;
}

int RunTable::Copy() const {
  WideString text;
  if (!Text(text)) return 0;
  // The text is made ready first: the clipboard is emptied only to take
  // it, never lost for a copy that could not be made.
  const size_t bytes = (text.Length() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  void* target = memory ? GlobalLock(memory) : nullptr;
  int copied = 0;
  if (target) {
    memcpy(target, text.CStr(), bytes);
    GlobalUnlock(memory);
    if (OpenClipboard(list_)) {
      // The clipboard owns the memory once it has taken it.
      copied = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
      CloseClipboard();
    }
  }
  if (!copied) {
    if (memory) GlobalFree(memory);
    MessageBeep(MB_ICONWARNING);
  }
  return copied;
}

int RunTable::OnNotify(const NMHDR* header, LRESULT* result) {
  if (!list_ || !header || header->hwndFrom != list_ || header->code != LVN_KEYDOWN) return 0;
  const NMLVKEYDOWN* key = reinterpret_cast<const NMLVKEYDOWN*>(header);
  if (!(GetKeyState(VK_CONTROL) & 0x8000)) return 0;
  if (key->wVKey == 'C' || key->wVKey == VK_INSERT) {
    Copy();
  } else if (key->wVKey == 'A') {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  } else {
    return 0;
  }
  *result = 0;
  return 1;
}
