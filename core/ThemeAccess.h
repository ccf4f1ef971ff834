// Visual-style drawing through uxtheme.dll functions looked up at run time.
// Without the library every drawing call answers 0 and the caller draws the
// classic look. Used by the thread that owns the window.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include "core/LibraryHandle.h"
#include "core/WideString.h"

class ThemeAccess {
public:
  ThemeAccess() = default;
  ~ThemeAccess() { Close(); }
  ThemeAccess(const ThemeAccess&) = delete;
  ThemeAccess& operator=(const ThemeAccess&) = delete;

  // Binds the theme functions from another file (none: uxtheme.dll); closes
  // the theme first.
  int SetLibraryName(const wchar_t* fileName);

  // Loads the library (OpenThemeData, CloseThemeData and IsThemeActive are
  // required) and opens the theme of the class list for the window. With no
  // class list only the library is bound; 1.
  int Open(HWND window, const wchar_t* classList);
  int Close();  // always 1
  // Draws a part; a stale theme handle is recovered once by opening the theme
  // again while themes are active. 1 on S_OK.
  int DrawBackground(HDC dc, int part, int state, const RECT* rect);
  int EnableDialogTexture(DWORD flags);                 // 1 on S_OK
  int IsBackgroundPartiallyTransparent(int part, int state);
  int DrawParentBackground(HDC dc, const RECT* rect);   // 1 on S_OK (callers may ignore it)
  int HasWindowTheme();                                 // GetWindowTheme gives a theme

  HTHEME Theme() const { return theme_; }
  HWND Window() const { return window_; }

private:
  enum Slot {
    SlotOpen, SlotClose, SlotIsActive, SlotDrawBackground, SlotEnableTexture,
    SlotPartiallyTransparent, SlotDrawParent, SlotGetWindowTheme, SlotCount
  };
  void* Function(int slot);
  const wchar_t* FileName() const;

  LibraryHandle library_;
  WideString fileName_;  // empty: uxtheme.dll
  WideString classList_;
  HWND window_ = nullptr;
  HTHEME theme_ = nullptr;
  void* functions_[SlotCount] = {};
};
