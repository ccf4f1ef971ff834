// The size grip in the bottom-right corner of a resizable window's client
// area: drawn on WM_PAINT (the themed "status" gripper, or the classic
// one), counted as the bottom-right sizing border on WM_NCHITTEST, and
// neither while the window is maximised. The grip is as large as a
// scroll-bar corner at the window's DPI. Window thread only.
#pragma once

#include <windows.h>

#include "core/ThemeAccess.h"

class SizeGrip {
public:
  static const int GripperPart = 3;  // SP_GRIPPER

  SizeGrip() = default;
  SizeGrip(const SizeGrip&) = delete;
  SizeGrip& operator=(const SizeGrip&) = delete;

  // Opens the theme class "status" for the window. 1 when the window exists.
  int Attach(HWND window);
  void Detach();

  // WM_PAINT of the window: paints the grip. Answers 1.
  int OnPaint();
  // Draws the grip into a device context of the window's client area; 1
  // when drawn (not while maximised).
  int Draw(HDC dc);
  // WM_NCHITTEST: stores the hit code in DWLP_MSGRESULT and answers 1.
  int OnHitTest(WPARAM wParam, LPARAM lParam);
  // WM_SIZE: the old and the new grip squares are painted again.
  void OnSize();

  // The grip square in client coordinates; 0 while maximised (no grip).
  int GripRect(RECT* rect) const;
  ThemeAccess& Theme() { return theme_; }

private:
  HWND window_ = nullptr;
  RECT lastGrip_ = {};
  ThemeAccess theme_;
};
