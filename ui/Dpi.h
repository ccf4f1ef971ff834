// The one place that knows the display's dots per inch. Owner-drawn controls
// scale their pixel sizes with DpiScale; tests set an override so that sizes
// at 120 and 144 DPI can be checked on any display.
#pragma once

#include <windows.h>

// The DPI of the window's display (the override when one is set; 96 when
// nothing can be read).
int DpiGetForWindow(HWND window);
// value × DPI ÷ 96, rounded as MulDiv rounds.
int DpiScale(HWND window, int value);
// 0 removes the override.
void DpiSetOverride(int dpi);

// Sent to child windows once their top-level window has followed a new DPI
// (Windows 8.1 on; the SDK declares it for newer targets only).
const UINT WmDpiChangedAfterParent = 0x02E3;
