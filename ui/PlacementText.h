// The stored text of a window placement: "%d,%i,%i,%i,%i", the show state
// followed by the left, top, right and bottom edges of the restored window
// in screen pixels, e.g. 1,120,80,760,560.
#pragma once

#include <windows.h>

#include "core/WideString.h"

struct PlacementValue {
  int showState;  // a Windows show command (SW_*)
  RECT normal;    // the restored (normal) window rectangle
};

// Reads the five numbers; the coordinates also take what a scanf "%i" takes
// (0x hexadecimal, leading 0 octal). A text that does not give all five
// answers 0 and leaves value unchanged.
int ParsePlacementText(const wchar_t* text, PlacementValue* value);
// Writes the five numbers in decimal.
int FormatPlacementText(const PlacementValue& value, WideString& out);
