// What the device information operation has read from a tracker: battery
// level, clock and versions. The worker reports it after each answer, with
// every field known so far; a field whose query failed stays unknown. The
// window side decides how each field is shown (the Info page).
#pragma once

#include <windows.h>

#include "core/WideString.h"

struct DeviceInfo {
  int battery = 0;             // percent, 0-100; 0 until known
  bool clockKnown = false;
  SYSTEMTIME clock = {};       // the tracker's clock as it answered: UTC, and perhaps no valid time
  WideString firmware;         // the firmware version's text; empty until known
  bool hardwareKnown = false;
  unsigned hardwareMajor = 0;  // the hardware version, major.minor
  unsigned hardwareMinor = 0;
};
