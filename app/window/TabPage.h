// A page of the main window's tab control: a modeless child dialog made
// from its row of the page table, which works through its PageContext.
#pragma once

#include "app/tracker/TrackerUpdate.h"
#include "app/window/PageContext.h"
#include "app/worker/DeviceInfo.h"
#include "ui/AccessibleName.h"
#include "ui/Dialog.h"

// With the update flags of a refresh: the user has just picked the tracker,
// so the work a page asks for goes before the work already queued.
const unsigned UpdateTrackerPicked = 0x100;
// The user chose another "DistanceUnit": pages showing distances write them
// again.
const unsigned UpdateDistanceUnit = 0x400;

class TabPage : public Dialog {
public:
  explicit TabPage(PageContext& context) : context_(context) {}

  // Refreshes what the flags name for the selected tracker: those of its
  // row's update flags that came with WM_TRACKER_UPDATE or with a new
  // selection in the device list (then with UpdateTrackerPicked). Only a
  // page that has been made is refreshed; making it does the first refresh.
  virtual void Refresh(unsigned flags) = 0;
  // The same after a tracker's download (WM_TRACKER_UPDATE with a
  // StoredRuns lParam): a page may keep what shows another tracker, or
  // what the download did not change.
  virtual void RefreshStored(unsigned flags, const StoredRuns& stored) {
    static_cast<void>(stored);
    Refresh(flags);
  }
  // The device information the worker has read, for pages that show it.
  virtual void ShowDeviceInfo(const DeviceInfo&) {}
  // Names for screen readers the controls that have no label before them
  // (the labelled ones the window names itself).
  virtual void NameControls(AccessibleNames&) {}

protected:
  PageContext& context_;
};
