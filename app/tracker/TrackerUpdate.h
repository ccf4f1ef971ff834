// The message that tells the main window to refill its pages; wParam holds
// the update flags. lParam is 0 ("refill"), but for the walking and
// sleeping flags posted after a tracker's download: then it says which
// tracker's runs were stored and whether the download added or changed any
// (StoredRunsParam), so that pages showing another tracker, or nothing new,
// keep their lists.
#pragma once

#include <windows.h>

const UINT WM_TRACKER_UPDATE = WM_APP + 1;  // 0x8001

enum TrackerUpdateFlags : unsigned {
  UpdateDeviceInfo = 0x1,
  UpdateLiveTotals = 0x2,
  UpdateWalking = 0x4,
  UpdateSleeping = 0x8,
};

// What a download's post tells in lParam.
struct StoredRuns {
  int tracker = -1;    // the tracker index whose runs were stored (-1: none)
  bool added = false;  // a run was new, or had grown
};

inline LPARAM StoredRunsParam(const StoredRuns& stored) {
  // Bit 0 tells it from a plain refill (0).
  return (static_cast<LPARAM>(stored.tracker + 1) << 2) | (stored.added ? 2 : 0) | 1;
}

// 1 with what a download's post tells; 0 for a plain refill.
inline int ReadStoredRuns(LPARAM value, StoredRuns& stored) {
  if (!(value & 1)) return 0;
  stored.tracker = static_cast<int>(value >> 2) - 1;
  stored.added = (value & 2) != 0;
  return 1;
}
