#include "ui/ImageCombo.h"

#include <commctrl.h>
#include <new>

#include "ui/ColourScheme.h"
#include "ui/ControlSupport.h"
#include "ui/Dpi.h"
#include "ui/GdiGuard.h"

int ImageCombo::Attach(HWND control, HINSTANCE iconModule, int kind, int iconWidth,
                       int iconHeight) {
  Detach();
  if (!control || !IsWindow(control)) return 0;
  control_ = control;
  kind_ = kind == ImageComboComboBox ? ImageComboComboBox : ImageComboListBox;
  iconModule_ = iconModule;
  iconWidth96_ = iconWidth;
  iconHeight96_ = iconHeight;
  SizeIcons();
  images_.Create(0, iconWidth_, iconHeight_, 10, 10);
  ApplyItemHeight();
  return 1;
}

void ImageCombo::SizeIcons() {
  iconWidth_ = iconWidth96_ > 0 ? DpiScale(control_, iconWidth96_) : SystemMetricForWindow(control_, SM_CXSMICON);
  iconHeight_ = iconHeight96_ > 0 ? DpiScale(control_, iconHeight96_) : SystemMetricForWindow(control_, SM_CYSMICON);
}

void ImageCombo::FollowDpi() {
  if (!control_) return;
  SizeIcons();
  // The icons again at the new size, each keeping its place in the list
  // (an icon that cannot be loaded now leaves its items without one).
  std::map<int, int> byImage;  // old image -> icon id
  for (const auto& icon : iconImages_) {
    if (icon.second >= 0) byImage[icon.second] = icon.first;
  }
  std::map<int, int> moved;  // old image -> new image
  images_.Create(0, iconWidth_, iconHeight_, 10, 10);
  for (const auto& image : byImage) {
    const int now = images_.AddIcon(iconModule_, image.second);
    moved[image.first] = now;
    iconImages_[image.second] = now;
  }
  for (ItemRecord* record : records_) {
    auto found = moved.find(record->image);
    if (found != moved.end()) record->image = found->second;
  }
  ApplyItemHeight();
  InvalidateRect(control_, nullptr, TRUE);
}

void ImageCombo::ApplyItemHeight() {
  itemHeight_ = MeasureItemHeight();
  if (IsCombo()) {
    SendMessageW(control_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight_);
    // A fixed-height list measured its items when it was made, before this
    // wrapper could answer: give them the height it answers now.
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_COMBOBOX;
    measure.CtlID = static_cast<UINT>(GetDlgCtrlID(control_));
    if (OnMeasureItem(&measure)) SendMessageW(control_, CB_SETITEMHEIGHT, 0, measure.itemHeight);
  }
}

void ImageCombo::Detach() {
  if (control_ && IsWindow(control_)) Clear();
  for (ItemRecord* record : records_) delete record;
  records_.clear();
  images_.Destroy();
  iconImages_.clear();
  control_ = nullptr;
  lockDepth_ = 0;
  itemHeight_ = 0;
}

int ImageCombo::MeasureItemHeight() {
  int textHeight = 0;
  WindowDc dc(control_);
  if (dc.Get()) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control_, WM_GETFONT, 0, 0));
    SelectedObject selectFont(dc, font);
    RECT rect = {0, 0, 0, 0};
    if (DrawTextW(dc, L"W", 1, &rect, DT_CALCRECT | DT_SINGLELINE)) {
      textHeight = rect.bottom - rect.top;
    }
  }
  return textHeight > iconHeight_ ? textHeight : iconHeight_;
}

ImageCombo::ItemRecord* ImageCombo::RecordOf(int index) {
  LRESULT data = SendMessageW(control_, IsCombo() ? CB_GETITEMDATA : LB_GETITEMDATA,
                              static_cast<WPARAM>(index), 0);
  if (data == CB_ERR || data == 0) return nullptr;
  ItemRecord* record = reinterpret_cast<ItemRecord*>(data);
  // Only a record of ours may be read: other item data may be any number.
  if (records_.find(record) == records_.end()) return nullptr;
  return record->tag == RecordTag ? record : nullptr;
}

int ImageCombo::TextOf(int index, WideString* text) {
  LRESULT length = SendMessageW(control_, IsCombo() ? CB_GETLBTEXTLEN : LB_GETTEXTLEN,
                                static_cast<WPARAM>(index), 0);
  if (length < 0) return 0;
  WideString read(static_cast<unsigned>(length) + 1);
  if (read.Capacity() < static_cast<unsigned>(length)) return 0;
  LRESULT copied = SendMessageW(control_, IsCombo() ? CB_GETLBTEXT : LB_GETTEXT,
                                static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(read.Buffer()));
  if (copied < 0) return 0;
  read.UpdateLength();
  return text->Assign(read);
}

void ImageCombo::LockRedraw() {
  if (!control_) return;
  if (lockDepth_++ == 0) SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
}

void ImageCombo::UnlockRedraw() {
  if (!control_ || lockDepth_ == 0) return;
  if (--lockDepth_ != 0) return;
  SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
  // Changes made while drawing was off have invalidated nothing.
  InvalidateRect(control_, nullptr, TRUE);
  UpdateWindow(control_);
}

void ImageCombo::Reserve(int items, int textBytes) {
  if (control_ && items > 0) {
    SendMessageW(control_, IsCombo() ? CB_INITSTORAGE : LB_INITSTORAGE, static_cast<WPARAM>(items),
                 static_cast<LPARAM>(textBytes));
  }
}

int ImageCombo::AddItem(const wchar_t* text, int value, int iconId, int* index) {
  if (!control_) return 0;
  LockRedraw();
  int result = 0;
  ItemRecord* record = new (std::nothrow) ItemRecord{RecordTag, value, -1};
  if (record) {
    if (iconId != 0) record->image = ImageOf(iconId);
    LRESULT added = SendMessageW(control_, IsCombo() ? CB_ADDSTRING : LB_ADDSTRING, 0,
                                 reinterpret_cast<LPARAM>(text ? text : L""));
    if (added == CB_ERR || added == CB_ERRSPACE) {
      delete record;
    } else {
      records_.insert(record);
      SendMessageW(control_, IsCombo() ? CB_SETITEMDATA : LB_SETITEMDATA,
                   static_cast<WPARAM>(added), reinterpret_cast<LPARAM>(record));
      if (index) *index = static_cast<int>(added);
      result = 1;
    }
  }
  UnlockRedraw();
  return result;
}

int ImageCombo::ImageOf(int iconId) {
  // Images are never removed while attached, so a stored index stays good.
  auto found = iconImages_.find(iconId);
  if (found != iconImages_.end()) return found->second;
  int image = images_.AddIcon(iconModule_, iconId);
  iconImages_[iconId] = image;
  return image;
}

int ImageCombo::Selection(int* index, WideString* text, int* value) {
  if (!control_) return 0;
  LRESULT selected = SendMessageW(control_, IsCombo() ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  if (selected < 0) return 0;
  int item = static_cast<int>(selected);
  if (index) *index = item;
  if (text && IsCombo()) TextOf(item, text);
  if (value) {
    ItemRecord* record = RecordOf(item);
    if (record) *value = record->value;
  }
  return 1;
}

int ImageCombo::Item(int index, WideString* text, int* value) {
  if (!control_ || index < 0 || index >= Count()) return 0;
  if (text && !TextOf(index, text)) return 0;
  if (value) {
    ItemRecord* record = RecordOf(index);
    if (!record) return 0;
    *value = record->value;
  }
  return 1;
}

int ImageCombo::Count() {
  if (!control_) return 0;
  LRESULT count = SendMessageW(control_, IsCombo() ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  return count > 0 ? static_cast<int>(count) : 0;
}

int ImageCombo::Select(int index) {
  if (!control_) return 0;
  LRESULT result = SendMessageW(control_, IsCombo() ? CB_SETCURSEL : LB_SETCURSEL,
                                static_cast<WPARAM>(index), 0);
  return result == -1 ? 0 : 1;
}

int ImageCombo::SetText(int index, const wchar_t* text) {
  if (!control_ || index < 0 || index >= Count()) return 0;
  const LRESULT data = SendMessageW(control_, IsCombo() ? CB_GETITEMDATA : LB_GETITEMDATA, index, 0);
  const LRESULT selected = SendMessageW(control_, IsCombo() ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  LockRedraw();
  SendMessageW(control_, IsCombo() ? CB_DELETESTRING : LB_DELETESTRING, index, 0);
  const LRESULT at = SendMessageW(control_, IsCombo() ? CB_INSERTSTRING : LB_INSERTSTRING, index,
                                  reinterpret_cast<LPARAM>(text ? text : L""));
  const bool kept = at >= 0;
  if (kept) {
    SendMessageW(control_, IsCombo() ? CB_SETITEMDATA : LB_SETITEMDATA, static_cast<WPARAM>(at), data);
    if (selected == index) Select(index);
  } else if (ItemRecord* record = reinterpret_cast<ItemRecord*>(data); records_.erase(record)) {
    delete record;  // the item is gone with its text
  }
  UnlockRedraw();
  return kept;
}

int ImageCombo::Delete(int index) {
  if (!control_) return 0;
  ItemRecord* record = RecordOf(index);
  LRESULT left = SendMessageW(control_, IsCombo() ? CB_DELETESTRING : LB_DELETESTRING,
                              static_cast<WPARAM>(index), 0);
  if (left < 0) return 0;
  if (record) {
    records_.erase(record);
    delete record;
  }
  return 1;
}

void ImageCombo::Clear() {
  if (!control_) return;
  // One message empties the list however long it is; the records go with it.
  SendMessageW(control_, IsCombo() ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  if (Count() == 0) {
    for (ItemRecord* record : records_) delete record;
    records_.clear();
    return;
  }
  // A delete that does not shrink the list ends the loop, so a control
  // that refuses deletes cannot hold it for ever.
  for (int count = Count(); count != 0; count = Count()) {
    if (!Delete(0) || Count() >= count) break;
  }
}

int ImageCombo::OnMeasureItem(MEASUREITEMSTRUCT* item) {
  if (!item || !control_ || item->CtlType != ODT_COMBOBOX ||
      item->CtlID != static_cast<UINT>(GetDlgCtrlID(control_))) {
    return 0;
  }
  item->itemHeight = static_cast<UINT>(itemHeight_ + 4);
  return 1;
}

int ImageCombo::OnDrawItem(const DRAWITEMSTRUCT* item) {
  if (!item || !control_ || item->CtlType != ODT_COMBOBOX || item->hwndItem != control_) return 0;
  HDC dc = item->hDC;
  COLORREF oldText = GetTextColor(dc);
  COLORREF oldBack = GetBkColor(dc);
  int oldMode = GetBkMode(dc);

  const bool field = (item->itemState & ODS_COMBOBOXEDIT) != 0;
  const bool disabled = (item->itemState & ODS_DISABLED) != 0;
  const bool selected = (item->itemState & ODS_SELECTED) != 0;
  RECT rect = item->rcItem;
  if (!field) rect.left += 2;
  RECT highlight = rect;
  if (!field) {
    highlight.top += 1;
    highlight.bottom -= 1;
    highlight.right -= 2;
  }

  if (item->itemID != static_cast<UINT>(-1)) {
    FillRect(dc, &item->rcItem, SchemeBrush(COLOR_WINDOW));
    if (disabled) {
      SetTextColor(dc, SchemeColour(COLOR_GRAYTEXT));
      SetBkColor(dc, SchemeColour(COLOR_BTNFACE));
      HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(
          GetParent(control_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
          reinterpret_cast<LPARAM>(control_)));
      FillRect(dc, &highlight, brush ? brush : SchemeBrush(COLOR_BTNFACE));
    } else if (selected) {
      SetTextColor(dc, SchemeColour(COLOR_HIGHLIGHTTEXT));
      SetBkColor(dc, SchemeColour(COLOR_HIGHLIGHT));
      FillRect(dc, &highlight, SchemeBrush(COLOR_HIGHLIGHT));
    } else {
      SetTextColor(dc, SchemeColour(COLOR_WINDOWTEXT));
      SetBkColor(dc, SchemeColour(COLOR_WINDOW));
    }
    SetBkMode(dc, TRANSPARENT);

    int height = rect.bottom - rect.top;
    ItemRecord* record = RecordOf(static_cast<int>(item->itemID));
    if (record && record->image >= 0) {
      UINT style = ILD_NORMAL;
      if (disabled) {
        style = field ? ILD_BLEND50 : (ILD_BLEND50 | ILD_TRANSPARENT);
      } else if (selected) {
        style = ILD_BLEND50;
      }
      images_.DrawEx(record->image, dc, rect.left + 2, rect.top + (height - iconHeight_) / 2,
                     iconWidth_, iconHeight_, CLR_NONE, disabled ? RGB(0, 0, 0) : CLR_DEFAULT,
                     style);
    }

    LRESULT length = SendMessageW(control_, CB_GETLBTEXTLEN, item->itemID, 0);
    if (length >= 0 && static_cast<unsigned>(length) < MaxDrawnText) {
      wchar_t text[MaxDrawnText] = {};
      if (SendMessageW(control_, CB_GETLBTEXT, item->itemID, reinterpret_cast<LPARAM>(text)) >= 0) {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        RECT textRect = rect;
        textRect.left = rect.left + 2 + iconWidth_ + 2;
        textRect.right = rect.right - 2;
        textRect.top = rect.top + (height - metrics.tmHeight) / 2;
        textRect.bottom = textRect.top + metrics.tmHeight;
        DrawTextW(dc, text, -1, &textRect, DT_END_ELLIPSIS | DT_SINGLELINE);
      }
    }
  }

  if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT)) {
    DrawFocusRect(dc, &highlight);
  }
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBack);
  SetBkMode(dc, oldMode);
  return 1;
}
