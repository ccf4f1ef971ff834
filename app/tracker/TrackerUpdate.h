// The message that tells the main window to refill its pages; wParam holds
// the update flags, lParam is 0.
#pragma once

#include <windows.h>

const UINT WM_TRACKER_UPDATE = WM_APP + 1;  // 0x8001

enum TrackerUpdateFlags : unsigned {
  UpdateDeviceInfo = 0x1,
  UpdateLiveTotals = 0x2,
  UpdateWalking = 0x4,
  UpdateSleeping = 0x8,
};
