// What the tracker worker shows while it works: the main window's status
// line (1020), search button (1014) and device list (1010), the Info page's
// battery bar (1011) and texts (1012 clock, 1013 firmware, 1015 hardware),
// and the WM_TRACKER_UPDATE messages that make the window refill its pages.
// The worker calls these on its own thread; an implementation carries the
// calls to the controls' thread (WindowTrackerView).
#pragma once

#include <windows.h>

class TrackerView {
public:
  virtual ~TrackerView() {}

  virtual void SetStatus(const wchar_t* text) = 0;
  virtual void EnableSearch(int enable) = 0;

  virtual void EnableDeviceList(int enable) = 0;
  virtual void ClearDeviceList() = 0;
  virtual void AddDevice(const wchar_t* text, int value, int iconId) = 0;
  virtual void RemoveDevice(int index) = 0;
  virtual void SelectDevice(int index) = 0;

  virtual void SetBattery(int percent) = 0;
  // controlId: one of the Info page's texts (1012, 1013, 1015).
  virtual void SetInfoText(int controlId, const wchar_t* text) = 0;

  // Posts WM_TRACKER_UPDATE with the flags to the main window.
  virtual void PostUpdate(unsigned flags) = 0;
  // The window the links post live totals to (none: not posted).
  virtual HWND UpdateWindow() = 0;
};
