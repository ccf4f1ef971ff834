// A push button that shows an icon. With common controls newer than 6.15
// the button becomes a native icon button (BS_ICON with BM_SETIMAGE) and
// nothing else is attached. Otherwise the button keeps the BS_OWNERDRAW
// style its template must give it and is drawn here: the themed push button
// (or the classic frame) with the icon centred, hot while the pointer is
// over it (a subclass with the tag 0x62696D75 tracks the pointer). The owner
// dialog registers the wrapper as a DialogControl. Icon sizes are pixels at
// 96 DPI, scaled to the button's DPI. Window thread only; the destructor
// detaches.
#pragma once

#include <windows.h>

#include "core/ThemeAccess.h"
#include "ui/DialogControl.h"
#include "ui/ImageList.h"
#include "ui/MouseLeaveTracker.h"
#include "ui/Subclass.h"

class IconButton : public DialogControl {
public:
  // Common controls above 6.15 give native icon buttons.
  static const DWORD NativeIconVersion = 0x6000F;

  IconButton() : subclass_(SubclassTagIconButton) {}
  ~IconButton() override { Detach(); }
  IconButton(const IconButton&) = delete;
  IconButton& operator=(const IconButton&) = delete;

  // Attaches with the version of the comctl32.dll in use. 1/0.
  int Attach(HWND button, HINSTANCE module, int iconWidth, int iconHeight);
  // The same for a given common-controls version (major × 65536 + minor;
  // 0: unknown), which picks the native or the owner-drawn look.
  int AttachForVersion(HWND button, HINSTANCE module, int iconWidth, int iconHeight,
                       DWORD commonControlsVersion);
  // Shows icon id of the module. 1/0; a missing icon keeps the old one.
  int SetIcon(int id);
  // The button's DPI changed (WM_DPICHANGED): the icon is loaded again at
  // the new size.
  void FollowDpi();
  void Detach();

  int OnDrawItem(const DRAWITEMSTRUCT* item) override;

  HWND Button() const { return button_; }
  bool IsNative() const { return native_; }
  bool IsHot() const { return hot_; }
  int IconWidth() const { return iconWidth_; }
  int IconHeight() const { return iconHeight_; }
  // The theme opened for the owner-drawn look; tests bind it to another file.
  ThemeAccess& Theme() { return theme_; }

private:
  static int OnButtonMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT* result, void* user);

  HWND button_ = nullptr;
  HINSTANCE module_ = nullptr;
  int iconWidth_ = 0;
  int iconHeight_ = 0;
  int iconWidth96_ = 16;  // as asked for, at 96 DPI
  int iconHeight96_ = 16;
  int iconId_ = 0;
  bool hot_ = false;
  bool native_ = false;
  DWORD version_ = 0;
  HICON icon_ = nullptr;  // native look
  ImageList images_;      // owner-drawn look: image 0
  ThemeAccess theme_;
  Subclass subclass_;
  MouseLeaveTracker leave_;
};
