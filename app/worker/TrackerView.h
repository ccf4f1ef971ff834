// What the tracker worker tells the window while it works, as facts: an
// operation began (with the status line's text for it) and ended (with the
// text for after it), a search began and which trackers it found, a
// tracker's device information, and the WM_TRACKER_UPDATE flags that make
// the window refill its pages. The worker knows no control: the window side
// (WindowTrackerView) decides what shows each fact. The worker calls these
// on its own thread; an implementation carries them to the controls' thread.
#pragma once

#include <windows.h>

#include <vector>

#include "app/worker/DeviceInfo.h"
#include "core/WideString.h"

class TrackerView {
public:
  virtual ~TrackerView() {}

  // An operation begins; status is what the status line says while it
  // runs. No search is asked for until it ends.
  virtual void OperationBegan(const wchar_t* status) = 0;
  // It has ended; outcome is what the status line says after it (often "").
  virtual void OperationEnded(const wchar_t* outcome) = 0;

  // A search begins: the trackers of the last one are gone.
  virtual void SearchBegan() = 0;
  // The search has ended with these trackers, named in the order of their
  // indices (0, 1, ...; none found: empty); the first is the selected one.
  virtual void SearchEnded(const std::vector<WideString>& names) = 0;

  // A tracker's device information as far as it has been read.
  virtual void ShowDeviceInfo(const DeviceInfo& info) = 0;

  // Posts WM_TRACKER_UPDATE with the flags to the main window.
  virtual void PostUpdate(unsigned flags) = 0;
  // Posts the walking and sleeping flags after a download of the tracker,
  // saying whether it added runs (StoredRunsParam).
  virtual void PostRunsStored(int tracker, bool added) = 0;
  // The window the links post live totals to (none: not posted).
  virtual HWND UpdateWindow() = 0;
};
