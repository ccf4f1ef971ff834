// Saving a window's placement as text ("%d,%i,%i,%i,%i", PlacementText.h)
// in the registry or a settings store, and restoring it with rules for
// states that should not come back, for sizes or positions the caller
// wants to keep, and for rectangles left on a monitor that is gone.
#pragma once

#include <windows.h>

#include "ui/PlacementText.h"

class SettingsStore;

enum PlacementFlags : DWORD {
  PlacementKeepSize = 0x1,         // restore: the stored position, the current size
  PlacementKeepMinimised = 0x2,    // restore: a minimised window stays minimised
  PlacementNoReposition = 0x4,     // restore: no DM_REPOSITION afterwards
  PlacementKeepPosition = 0x8,     // restore: the current position, the stored size
  PlacementKeepHidden = 0x10,      // restore: a hidden window stays hidden
  PlacementForceHidden = 0x20,     // restore: show state 0
  PlacementSaveInvisible = 0x40,   // save: an invisible window keeps its show state
  PlacementForceMinimisedNoActivate = 0x80,  // restore: show state 7
  PlacementBothCornersOff = 0x100,  // restore: off screen only when both corners are
  PlacementNoScreenCheck = 0x200,   // restore: no off-screen rule
};

// Distance of a rescued window from its work area's top-left corner.
const int PlacementRescueMargin = 10;

// Steps 1 to 5 of the restore rules on a parsed value: the show states and
// the keep-size and keep-position flags against the window's current
// rectangle.
void ApplyPlacementFlags(PlacementValue& value, DWORD flags, const RECT& current);
// Moves the rectangle, keeping its size, so that its top-left corner is
// PlacementRescueMargin pixels inside the work area's top-left corner.
void MoveIntoWorkArea(RECT& rect, const RECT& workArea);

// rect: when given, show state 5 with it; otherwise the window's own
// placement (a window without WS_VISIBLE is stored with show state 0
// unless PlacementSaveInvisible). Through the store (WriteText of name) when
// given, else the registry value name under root\path.
int SaveWindowPlacement(HWND window, HKEY root, const wchar_t* path, const wchar_t* name,
                        const RECT* rect, DWORD flags, SettingsStore* store);
// 0 and the window untouched when the text is missing or does not give
// five numbers.
int RestoreWindowPlacement(HWND window, HKEY root, const wchar_t* path, const wchar_t* name,
                           DWORD flags, SettingsStore* store);
