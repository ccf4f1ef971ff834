#include "ui/TabHost.h"

#include <uxtheme.h>

#include "core/ThemeAccess.h"
#include "core/WideString.h"
#include "ui/ColourScheme.h"
#include "ui/ControlSupport.h"
#include "ui/Dpi.h"
#include "ui/GdiGuard.h"

namespace {

const unsigned kPageSlots = 8;

}  // namespace

TabHost::~TabHost() {
  // The pages are the parent's children and go with it; only forget them.
  ForgetPages();
  // The tab must not keep drawing from a list that goes with this host.
  if (tab_ && IsWindow(tab_) && images_.Handle() &&
      reinterpret_cast<HIMAGELIST>(SendMessageW(tab_, TCM_GETIMAGELIST, 0, 0)) == images_.Handle()) {
    SendMessageW(tab_, TCM_SETIMAGELIST, 0, 0);
  }
}

int TabHost::Init(HWND tab, unsigned flags, PageCallback callback, void* user) {
  if (!tab || !IsWindow(tab)) return 0;
  if (IsWindows9xFamily()) flags |= TabHostNoTooltips;
  tab_ = tab;
  flags_ = flags;
  callback_ = callback;
  user_ = user;
  page_ = nullptr;
  tooltip_ = reinterpret_cast<HWND>(SendMessageW(tab, TCM_GETTOOLTIPS, 0, 0));
  ForgetPages();
  iconIds_.clear();
  // Small icons at the tab's DPI (the system metric is the primary display's).
  if (images_.Create(0, DpiScale(tab, 16), DpiScale(tab, 16), 10, 10)) {
    SendMessageW(tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.Handle()));
  }
  return 1;
}

void TabHost::ForgetPages() {
  pages_.Init(nullptr, kPageSlots, kPageSlots,
              PointerArray::Growable | PointerArray::NoLocking | PointerArray::FillNulls);
}

int TabHost::AddTab(int index, const wchar_t* text, int iconId, LPARAM value, int* outIndex) {
  if (!tab_) return 0;
  TCITEMW item = {};
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = const_cast<wchar_t*>(text ? text : L"");
  item.lParam = value;
  if (iconId != -1) {
    int image = images_.AddIcon(GetModuleHandleW(nullptr), iconId);
    if (image >= 0) {
      iconIds_.push_back(iconId);
      item.mask |= TCIF_IMAGE;
      item.iImage = image;
    }
  }
  LRESULT inserted = SendMessageW(tab_, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                                  reinterpret_cast<LPARAM>(&item));
  if (inserted < 0) return 0;
  if (outIndex) *outIndex = static_cast<int>(inserted);
  return 1;
}

int TabHost::Select(int index, bool notify) {
  if (!tab_) return -1;
  int previous = static_cast<int>(SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0));
  // TCM_SETCURSEL answers -1 both for a failure and for "nothing was
  // selected before", so success is judged by the selection itself.
  if (Current() == index && notify) ShowCurrent();
  return previous;
}

int TabHost::Current() const {
  return tab_ ? static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)) : -1;
}

HWND TabHost::KeptPage(int index) {
  void* page = nullptr;
  if (index < 0 || !pages_.Get(static_cast<unsigned>(index), &page)) return nullptr;
  return static_cast<HWND>(page);
}

int TabHost::DisplayArea(RECT* area) const {
  if (!GetClientRect(tab_, area)) return 0;
  SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(area));
  MapWindowPoints(tab_, GetParent(tab_), reinterpret_cast<POINT*>(area), 2);
  return 1;
}

void TabHost::ShowCurrent() {
  if (!tab_) return;
  const unsigned call = ++showCalls_;
  int index = Current();
  bool kept = false;
  if (flags_ & TabHostKeepPages) {
    if (page_) ShowWindow(page_, SW_HIDE);
    HWND keptPage = KeptPage(index);
    if (keptPage && IsWindow(keptPage)) {
      page_ = keptPage;
      ShowWindow(page_, SW_SHOW);
      kept = true;
    }
  } else if (page_) {
    SendMessageW(page_, WM_CLOSE, 0, 0);
  }

  if (!kept) {
    page_ = nullptr;
    HWND page = callback_ ? callback_(PageCreate, index, tab_, 0, user_) : nullptr;
    if (showCalls_ != call) {
      // The callback showed a page itself meanwhile (it switched tabs, or
      // let a click on another tab through): the call that did so has
      // placed its page and told the callback. This call's page is dropped,
      // and announcing its index now would tell the owner that a page is
      // shown that is not.
      if (page && page != page_) SendMessageW(page, WM_CLOSE, 0, 0);
      return;
    }
    if (page) {
      page_ = page;
      ApplyPageTexture(page);
      if ((flags_ & TabHostKeepPages) && index >= 0) {
        pages_.Set(static_cast<unsigned>(index), page);
      }
    }
  }

  RECT area = {};
  if (page_ && DisplayArea(&area)) {
    SetWindowPos(page_, HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOCOPYBITS | SWP_SHOWWINDOW);
  }

  if (callback_) {
    TCITEMW item = {};
    item.mask = TCIF_PARAM;
    if (index < 0 ||
        !SendMessageW(tab_, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) {
      item.lParam = 0;
    }
    callback_(PageShown, index, tab_, item.lParam, user_);
  }
}

void TabHost::OnSize() {
  if (!tab_ || !page_) return;
  RECT area = {};
  if (!DisplayArea(&area)) return;
  SetWindowPos(page_, nullptr, 0, 0, area.right - area.left, area.bottom - area.top,
               SWP_NOCOPYBITS | SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOMOVE);
}

void TabHost::Close() {
  ++showCalls_;  // a page being made right now is not wanted any more
  if (flags_ & TabHostKeepPages) {
    unsigned count = pages_.Count();
    for (unsigned i = 0; i < count; ++i) {
      void* page = nullptr;
      if (pages_.Get(i, &page) && page && IsWindow(static_cast<HWND>(page))) {
        SendMessageW(static_cast<HWND>(page), WM_CLOSE, 0, 0);
      }
    }
  } else if (page_ && IsWindow(page_)) {
    SendMessageW(page_, WM_CLOSE, 0, 0);
  }
  if (tab_ && images_.Handle()) images_.Remove(-1);
  page_ = nullptr;
  ForgetPages();
}

int TabHost::OnNotify(const NMHDR* header, LRESULT* result) {
  if (!header || !tab_) return 0;
  if (header->hwndFrom == tab_ && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
    ShowCurrent();
    if (result) *result = 0;
    return 1;
  }
  if (tooltip_ && header->hwndFrom == tooltip_ &&
      header->code == static_cast<UINT>(TTN_GETDISPINFOW)) {
    if (flags_ & TabHostNoTooltips) return 0;
    NMTTDISPINFOW* info = const_cast<NMTTDISPINFOW*>(reinterpret_cast<const NMTTDISPINFOW*>(header));
    if (callback_) {
      callback_(PageTooltip, static_cast<int>(header->idFrom), tab_,
                reinterpret_cast<LPARAM>(&info->lpszText), user_);
    }
    if (result) *result = 0;
    return 1;
  }
  return 0;
}

int TabHost::OnDrawItem(const DRAWITEMSTRUCT* item) {
  if (!item || !tab_ || item->CtlType != ODT_TAB || item->hwndItem != tab_) return 0;
  FillRect(item->hDC, &item->rcItem, SchemeBrush(COLOR_BTNFACE));
  wchar_t text[260] = {};
  TCITEMW tabItem = {};
  tabItem.mask = TCIF_TEXT;
  tabItem.pszText = text;
  tabItem.cchTextMax = 260;
  if (SendMessageW(tab_, TCM_GETITEMW, item->itemID, reinterpret_cast<LPARAM>(&tabItem))) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(tab_, WM_GETFONT, 0, 0));
    SelectedObject selectFont(item->hDC, font);
    RECT rect = item->rcItem;
    int mode = SetBkMode(item->hDC, TRANSPARENT);
    COLORREF colour = SetTextColor(item->hDC, SchemeColour(COLOR_BTNTEXT));
    DrawTextW(item->hDC, tabItem.pszText, -1, &rect, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    SetTextColor(item->hDC, colour);
    SetBkMode(item->hDC, mode);
  }
  return 1;
}

void TabHost::ApplyPageTexture(HWND page) {
  if ((flags_ & TabHostNoPageTexture) || !page) return;
  ThemeAccess tabTheme;
  if (tabTheme.Open(tab_, nullptr) && tabTheme.HasWindowTheme()) {
    ThemeAccess pageTheme;
    // The tab's light texture would cover the dark and High Contrast backgrounds.
    if (pageTheme.Open(page, nullptr)) {
      pageTheme.EnableDialogTexture(SchemeMode() == ColourMode::Light ? ETDT_ENABLETAB : ETDT_DISABLE);
    }
  }
}

void TabHost::FollowColourScheme() { ApplyPageTexture(page_); }

void TabHost::FollowDpi() {
  if (!tab_) return;
  const int size = DpiScale(tab_, 16);
  if (size == images_.Width()) return;
  // The old list stays with the tab until the new one replaces it.
  ImageList resized;
  if (!resized.Create(0, size, size, 10, 10)) return;
  for (int id : iconIds_) resized.AddIcon(GetModuleHandleW(nullptr), id);
  SendMessageW(tab_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(resized.Handle()));
  images_.Swap(resized);
  InvalidateRect(tab_, nullptr, TRUE);
}
