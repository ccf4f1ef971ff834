#include "ui/PlacementText.h"

#include <cwchar>

int ParsePlacementText(const wchar_t* text, PlacementValue* value) {
  if (!text || !value) return 0;
  int showState = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
  if (swscanf(text, L"%d,%i,%i,%i,%i", &showState, &left, &top, &right, &bottom) != 5) return 0;
  value->showState = showState;
  value->normal.left = left;
  value->normal.top = top;
  value->normal.right = right;
  value->normal.bottom = bottom;
  return 1;
}

int FormatPlacementText(const PlacementValue& value, WideString& out) {
  return out.Format(L"%d,%i,%i,%i,%i", value.showState, static_cast<int>(value.normal.left),
                    static_cast<int>(value.normal.top), static_cast<int>(value.normal.right),
                    static_cast<int>(value.normal.bottom));
}
