// The arithmetic by which a control follows its parent's client size.
// Codes are bits and combine: 0x1 the left edge moves with the right side,
// 0x2 the top edge moves with the bottom, 0x4 the width grows with the
// parent, 0x8 the height grows, 0x10 the left edge is proportional (when
// 0x1 is not set), 0x20 the top edge is proportional (when 0x2 is not
// set), 0x40 the width grows by half the change (when 0x4 is not set),
// 0x80 the control is centred horizontally (when neither 0x1 nor 0x10 is
// set). Without any bit the control keeps its position and size. The
// proportional and half computations are done in floating point and
// truncated toward zero.
#pragma once

#include <windows.h>

enum AnchorCode : DWORD {
  AnchorMoveX = 0x1,
  AnchorMoveY = 0x2,
  AnchorGrowWidth = 0x4,
  AnchorGrowHeight = 0x8,
  AnchorProportionalX = 0x10,
  AnchorProportionalY = 0x20,
  AnchorGrowHalfWidth = 0x40,
  AnchorCentreX = 0x80,
  // The combinations the program uses.
  AnchorGrow = AnchorGrowWidth | AnchorGrowHeight,    // 12
  AnchorBottom = AnchorMoveY,                         // 2
  AnchorBottomRight = AnchorMoveX | AnchorMoveY,      // 3
};

struct AnchorPlacement {
  int x;
  int y;
  int width;
  int height;
};

// control: the control's rectangle in the parent's client coordinates at
// registration; reference: the parent's client rectangle then (its width
// and height are W0 and H0); width, height: the parent's new client size.
// A reference width or height of 0 makes the proportional rule keep the
// registered edge instead of dividing by zero.
AnchorPlacement ComputeAnchor(DWORD code, const RECT& control, const RECT& reference, int width,
                              int height);
