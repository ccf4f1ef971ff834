// Tells a window with WM_MOUSELEAVE that the pointer has left it. Uses
// TrackMouseEvent (TME_LEAVE, looked up in user32.dll at run time); without
// it a 100 ms window timer, whose id is this tracker, watches the window
// rectangle and posts WM_MOUSELEAVE once the pointer is outside it or over
// another window. One leave is reported per Track. Window thread only; the
// tracker stops its timer when it is destroyed.
#pragma once

#include <windows.h>

#include "core/LibraryHandle.h"
#include "core/WideString.h"

class MouseLeaveTracker {
public:
  MouseLeaveTracker() = default;
  ~MouseLeaveTracker() { Stop(); }
  MouseLeaveTracker(const MouseLeaveTracker&) = delete;
  MouseLeaveTracker& operator=(const MouseLeaveTracker&) = delete;

  // Looks TrackMouseEvent up in another file (none: user32.dll); a file
  // without it makes the tracker use its timer.
  int SetLibraryName(const wchar_t* fileName);

  // 1 when the window will be told of the leave.
  int Track(HWND window);
  // Kills a running timer; nothing is posted any more.
  void Stop();
  bool TimerRunning() const { return timerWindow_ != nullptr; }

  static const UINT TimerInterval = 100;  // ms

private:
  static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
  void Tick();

  LibraryHandle user32_;
  WideString fileName_;  // empty: user32.dll
  HWND timerWindow_ = nullptr;
};
