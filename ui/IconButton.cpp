#include "ui/IconButton.h"

#include <vsstyle.h>

#include "ui/ControlSupport.h"
#include "ui/Dpi.h"

int IconButton::Attach(HWND button, HINSTANCE module, int iconWidth, int iconHeight) {
  return AttachForVersion(button, module, iconWidth, iconHeight, CommonControlsVersion());
}

int IconButton::AttachForVersion(HWND button, HINSTANCE module, int iconWidth, int iconHeight,
                                 DWORD commonControlsVersion) {
  Detach();
  if (!button || !IsWindow(button)) return 0;
  button_ = button;
  module_ = module;
  iconWidth96_ = iconWidth > 0 ? iconWidth : 16;
  iconHeight96_ = iconHeight > 0 ? iconHeight : 16;
  iconWidth_ = DpiScale(button, iconWidth96_);
  iconHeight_ = DpiScale(button, iconHeight96_);
  iconId_ = 0;
  version_ = commonControlsVersion;
  hot_ = false;
  if (version_ > NativeIconVersion) {
    native_ = true;
    // An owner-drawn button (style 0x0B) becomes a plain push button.
    LONG style = GetWindowLongW(button_, GWL_STYLE);
    SetWindowLongW(button_, GWL_STYLE, (style & ~0x0BL) | BS_ICON);
    return 1;
  }
  native_ = false;
  if (!images_.Create(0, iconWidth_, iconHeight_, 10, 10) ||
      !subclass_.AttachSubclass(button_, OnButtonMessage, this)) {
    images_.Destroy();
    button_ = nullptr;
    return 0;
  }
  theme_.Open(button_, L"Button");  // without a theme the classic frame is drawn
  return 1;
}

void IconButton::Detach() {
  if (!button_) return;
  if (native_) {
    if (IsWindow(button_)) SendMessageW(button_, BM_SETIMAGE, IMAGE_ICON, 0);
    if (icon_) DestroyIcon(icon_);
    icon_ = nullptr;
  } else {
    subclass_.DetachSubclass();
    leave_.Stop();
    images_.Destroy();
    theme_.Close();
  }
  button_ = nullptr;
  native_ = false;
  hot_ = false;
}

int IconButton::SetIcon(int id) {
  if (!button_) return 0;
  if (native_) {
    HICON icon = LoadIconSized(module_, id, iconWidth_, iconHeight_);
    if (!icon) return 0;
    SendMessageW(button_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    // The button no longer shows the old icon: it can go now.
    if (icon_) DestroyIcon(icon_);
    icon_ = icon;
  } else {
    // Load first, so that a missing icon leaves the old one in place.
    HICON icon = LoadIconSized(module_, id, iconWidth_, iconHeight_);
    if (!icon) return 0;
    images_.Remove(0);
    int added = ImageList_ReplaceIcon(images_.Handle(), -1, icon);
    DestroyIcon(icon);
    if (added < 0) return 0;
  }
  iconId_ = id;
  InvalidateRect(button_, nullptr, FALSE);
  return 1;
}

void IconButton::FollowDpi() {
  if (!button_) return;
  const int width = DpiScale(button_, iconWidth96_);
  const int height = DpiScale(button_, iconHeight96_);
  if (width == iconWidth_ && height == iconHeight_) return;
  iconWidth_ = width;
  iconHeight_ = height;
  if (!native_ && !images_.Create(0, iconWidth_, iconHeight_, 10, 10)) return;
  if (iconId_) SetIcon(iconId_);
}

int IconButton::OnButtonMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT*, void* user) {
  IconButton* self = static_cast<IconButton*>(user);
  switch (message) {
    case WM_MOUSEMOVE:
      if (!self->hot_) {
        self->hot_ = true;
        self->leave_.Track(window);
        InvalidateRect(window, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
    case WM_CANCELMODE:
      self->leave_.Stop();
      if (self->hot_) {
        self->hot_ = false;
        InvalidateRect(window, nullptr, FALSE);
      }
      break;
    default:
      break;
  }
  // The button's own procedure sees these too: it needs the pointer moves
  // for its pressed look and WM_CANCELMODE to give up the mouse capture.
  return 0;
}

int IconButton::OnDrawItem(const DRAWITEMSTRUCT* item) {
  if (!item || !button_ || native_ || item->hwndItem != button_ || item->CtlType != ODT_BUTTON) {
    return 0;
  }
  HDC dc = item->hDC;
  const UINT state = item->itemState;
  const bool enabled = !(state & (ODS_INACTIVE | ODS_DISABLED | ODS_GRAYED));

  int themeState;
  UINT frameState;
  if (hot_ || (state & ODS_HOTLIGHT)) {
    themeState = PBS_HOT;
    frameState = DFCS_BUTTONPUSH | DFCS_HOT | (enabled ? 0 : DFCS_INACTIVE);
  } else {
    if (state & ODS_FOCUS) {
      themeState = PBS_DEFAULTED;
    } else if (!enabled) {
      themeState = PBS_DISABLED;
    } else if (state & ODS_DEFAULT) {
      themeState = PBS_DEFAULTED;
    } else {
      themeState = PBS_NORMAL;
    }
    frameState = DFCS_BUTTONPUSH | (enabled ? 0 : DFCS_INACTIVE);
  }
  if (state & ODS_SELECTED) {
    themeState = PBS_PRESSED;
    frameState |= 0x4000;
  }

  RECT rect = item->rcItem;
  bool themed = false;
  if (theme_.Theme()) {
    if (theme_.IsBackgroundPartiallyTransparent(BP_PUSHBUTTON, themeState)) {
      theme_.DrawParentBackground(dc, &rect);
    }
    themed = theme_.DrawBackground(dc, BP_PUSHBUTTON, themeState, &rect) != 0;
  }
  if (!themed) {
    if (state & (ODS_FOCUS | ODS_DEFAULT)) {
      FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      InflateRect(&rect, -1, -1);
    }
    DrawFrameControl(dc, &rect, DFC_BUTTON, frameState);
  }

  const RECT& whole = item->rcItem;
  int x = whole.left + (whole.right - whole.left - iconWidth_) / 2;
  int y = whole.top + (whole.bottom - whole.top - iconHeight_) / 2;
  images_.Draw(0, dc, x, y, ILD_TRANSPARENT | (enabled ? 0 : ILD_BLEND50));

  if ((state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT)) {
    InflateRect(&rect, -3, -3);
    DrawFocusRect(dc, &rect);
  }
  return 1;
}
