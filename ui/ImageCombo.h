// An owner-drawn combo box (or list box) whose items show an icon before
// their text. Each item's data is a 12-byte record that the wrapper
// allocates and frees: a tag, the caller's 32-bit value and the item's image
// index; item data that is not one of this wrapper's records (checked
// before it is read) is never taken for one. The combo
// box needs CBS_OWNERDRAWFIXED (or VARIABLE) and CBS_HASSTRINGS. Redraw
// locks nest, so a caller that holds a lock while adding many items gets one
// repaint at the end. Each icon is loaded into the image list once, the
// first time an item asks for it, and shared by every item with that icon
// for as long as the wrapper is attached, so refilling the list never grows
// it. The owner dialog registers the wrapper as a DialogControl
// (WM_DRAWITEM, WM_MEASUREITEM). Window thread only; the destructor
// detaches.
#pragma once

#include <windows.h>

#include <map>
#include <set>

#include "core/WideString.h"
#include "ui/DialogControl.h"
#include "ui/ImageList.h"

enum ImageComboKind : int {
  ImageComboListBox = 0,  // any kind but 1
  ImageComboComboBox = 1,
};

class ImageCombo : public DialogControl {
public:
  static const DWORD RecordTag = 0x636D6278;
  // Items whose text is this long or longer are listed without text.
  static const unsigned MaxDrawnText = 1040;

  ImageCombo() = default;
  ~ImageCombo() override { Detach(); }
  ImageCombo(const ImageCombo&) = delete;
  ImageCombo& operator=(const ImageCombo&) = delete;

  // Icons come from iconModule at iconWidth × iconHeight (pixels at 96 DPI,
  // scaled to the control's DPI; 0: the small icon size). Creates the image
  // list and sets the measured item height. 1/0.
  int Attach(HWND control, HINSTANCE iconModule, int kind, int iconWidth, int iconHeight);
  // Deletes the items and the image list, and frees every record (also
  // those of a control that is already gone).
  void Detach();

  // Adds an item (icon id 0: none): 1 with *index (may be none), or 0 when
  // the control refuses the text (CB_ERR, CB_ERRSPACE).
  int AddItem(const wchar_t* text, int value, int iconId, int* index);
  // The selected item: 1 with index, text (combo boxes only) and value set
  // where asked for; 0 with nothing touched when nothing is selected.
  int Selection(int* index, WideString* text, int* value);
  // One item's text and value; 1/0.
  int Item(int index, WideString* text, int* value);
  int Count();
  int Select(int index);  // 1 unless the control answers -1
  // Gives an item another text, keeping its place, value, icon and
  // selection; 1/0.
  int SetText(int index, const wchar_t* text);
  int Delete(int index);  // frees the record and deletes the string; 1/0
  // Empties the list (one message, also for long lists).
  void Clear();
  // Room for items more items with textBytes of text in all, before adding
  // many (CB_INITSTORAGE).
  void Reserve(int items, int textBytes);

  // The control's DPI changed (WM_DPICHANGED): icons, image list and item
  // height follow; the items and their images stay.
  void FollowDpi();

  void LockRedraw();
  void UnlockRedraw();
  int RedrawLockDepth() const { return lockDepth_; }

  int OnDrawItem(const DRAWITEMSTRUCT* item) override;
  int OnMeasureItem(MEASUREITEMSTRUCT* item) override;

  HWND Control() const { return control_; }
  int ItemHeight() const { return itemHeight_; }
  int IconWidth() const { return iconWidth_; }
  int IconHeight() const { return iconHeight_; }
  // Images in the list: one per distinct icon the items have asked for.
  int ImageCount() const { return images_.Count(); }

private:
  struct ItemRecord {
    DWORD tag;
    int value;
    int image;
  };
  static_assert(sizeof(ItemRecord) == 12, "an item record is 12 bytes");

  bool IsCombo() const { return kind_ == ImageComboComboBox; }
  ItemRecord* RecordOf(int index);
  int TextOf(int index, WideString* text);
  int MeasureItemHeight();
  void SizeIcons();
  void ApplyItemHeight();
  int ImageOf(int iconId);

  HWND control_ = nullptr;
  int kind_ = ImageComboComboBox;
  int lockDepth_ = 0;
  HINSTANCE iconModule_ = nullptr;
  int iconWidth_ = 0;
  int iconHeight_ = 0;
  int iconWidth96_ = 0;  // as asked for at 96 DPI; 0: the small icon size
  int iconHeight96_ = 0;
  ImageList images_;
  int itemHeight_ = 0;
  std::set<ItemRecord*> records_;  // every record this wrapper has handed out
  std::map<int, int> iconImages_;  // icon id -> image index (-1: the icon could not be added)
};
