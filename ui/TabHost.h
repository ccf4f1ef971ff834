// Drives a tab control whose pages are windows made on demand by a page
// callback: the first time a tab is shown the callback makes its page (a
// child of the tab control's parent), which is then placed over the tab's
// display area; with TabHostKeepPages a page made once is kept, hidden, and
// shown again when its tab comes back, otherwise the old page is closed with
// WM_CLOSE. After every switch the callback hears which page is shown.
// When the callback re-enters while it makes a page (it shows a page itself,
// lets a click on another tab through, or closes the host), the inner call
// wins: the page the outer call was making is closed and that call tells
// the callback nothing more.
// The owner dialog registers the host as a DialogControl (it gets
// TCN_SELCHANGE, the tooltip's TTN_GETDISPINFOW and ODT_TAB drawing) and
// calls OnSize on WM_SIZE. Window thread only.
#pragma once

#include <windows.h>

#include <vector>
#include <commctrl.h>

#include "core/PointerArray.h"
#include "ui/DialogControl.h"
#include "ui/ImageList.h"

enum TabHostFlags : unsigned {
  TabHostNoTooltips = 0x1,      // do not ask the callback for tooltip texts
  TabHostKeepPages = 0x2,       // keep each page once made
  TabHostNoPageTexture = 0x4,   // pages do not get the themed tab background
};

// What the page callback is called for.
enum PageAction : int {
  PageCreate = 0,   // make the page of tab index; data 0; answer the window or none
  PageTooltip = 1,  // data: the address of the tooltip's text pointer (wchar_t**); answer ignored
  PageShown = 2,    // the page of tab index is shown; data: the tab item's value
};

typedef HWND (*PageCallback)(int action, int index, HWND tab, LPARAM data, void* user);

class TabHost : public DialogControl {
public:
  TabHost() = default;
  ~TabHost() override;
  TabHost(const TabHost&) = delete;
  TabHost& operator=(const TabHost&) = delete;

  // On the Windows 95/98/Me family TabHostNoTooltips is added. 1/0.
  int Init(HWND tab, unsigned flags, PageCallback callback, void* user);
  // Inserts a tab with text and item value; iconId -1 for none (otherwise
  // an icon of the executable). 1 with *outIndex (may be none) set, or 0.
  int AddTab(int index, const wchar_t* text, int iconId, LPARAM value, int* outIndex);
  // Selects a tab: the previous selection, or -1 (also on failure). With
  // notify the page of the new tab is shown.
  int Select(int index, bool notify);
  // Shows the page of the selected tab, making it when needed.
  void ShowCurrent();
  int Current() const;
  // Fits the current page into the display area again.
  void OnSize();
  // The tab's DPI changed (WM_DPICHANGED): the tab icons are loaded again
  // at the new size (16 pixels at 96 DPI).
  void FollowDpi();
  int IconSize() const { return images_.Width(); }
  // The colour scheme changed (ui/ColourScheme): the shown page's
  // background follows (the tab's texture in light only).
  void FollowColourScheme();
  // Closes every page (WM_CLOSE), removes the tab images, forgets the pages.
  void Close();

  int OnNotify(const NMHDR* header, LRESULT* result) override;
  int OnDrawItem(const DRAWITEMSTRUCT* item) override;

  HWND Tab() const { return tab_; }
  HWND Page() const { return page_; }
  // The kept page of a tab (TabHostKeepPages), or none.
  HWND KeptPage(int index);
  unsigned Flags() const { return flags_; }

private:
  void ForgetPages();
  void ApplyPageTexture(HWND page);
  int DisplayArea(RECT* area) const;

  HWND tab_ = nullptr;
  HWND tooltip_ = nullptr;
  unsigned flags_ = 0;
  PageCallback callback_ = nullptr;
  void* user_ = nullptr;
  ImageList images_;
  std::vector<int> iconIds_;  // in the order of the images
  HWND page_ = nullptr;
  unsigned showCalls_ = 0;  // page requests made, to notice a callback that re-enters
  PointerArray pages_;  // by tab index, with TabHostKeepPages
};
