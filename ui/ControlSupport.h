// Small facts about the running system that several control wrappers ask:
// the common-controls version, whether this is the Windows 95/98/Me family,
// a system metric at a window's DPI, and an icon loaded at a given size.
// Window thread only.
#pragma once

#include <windows.h>

// DllGetVersion of comctl32.dll (the one the activation context picks) as
// major × 65536 + minor; 0 when unknown.
DWORD CommonControlsVersion();

// True on the Windows 95/98/Me family.
bool IsWindows9xFamily();

// GetSystemMetrics(index), which the system gives for its own DPI, scaled
// to the DPI of the window (which differs under a per-monitor DPI or the
// DPI helper's override).
int SystemMetricForWindow(HWND window, int index);

// The icon resource id of module at width × height: LoadIconWithScaleDown
// (looked up at run time), else LoadImageW with LR_DEFAULTCOLOR. None when
// the icon does not exist. The caller destroys it.
HICON LoadIconSized(HINSTANCE module, int id, int width, int height);
