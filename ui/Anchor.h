// One control that follows its parent's client size by an anchor code (the
// bits of AnchorMath.h). Attach takes the control's rectangle in the
// parent's client coordinates and the parent's client rectangle as the
// reference; ApplyAnchor, called by the owner on the parent's WM_SIZE,
// moves and sizes the control from those registered values, so repeated
// sizes never accumulate rounding.
#pragma once

#include <windows.h>

#include "ui/AnchorMath.h"

// A row of a window's anchor table: the control's id and its code.
struct AnchorEntry {
  int id;
  DWORD code;
};

class Anchor {
public:
  // referenceWidth and referenceHeight: when both are non-zero the
  // reference is (0, 0, width, height) in dialog units of unitsDialog,
  // mapped to pixels. 0 when the control or its parent is missing.
  int Attach(HWND control, DWORD code, int referenceWidth = 0, int referenceHeight = 0,
             HWND unitsDialog = nullptr);
  // wParam and lParam of WM_SIZE (the new client width in the low word of
  // lParam, the height in the high word). A minimised parent (SIZE_MINIMIZED)
  // moves nothing. 1 when the control was moved.
  int ApplyAnchor(WPARAM wParam, LPARAM lParam) const;

  HWND Control() const { return control_; }
  HWND Parent() const { return parent_; }
  DWORD Code() const { return code_; }
  const RECT& ControlRect() const { return controlRect_; }
  const RECT& Reference() const { return reference_; }

private:
  HWND control_ = nullptr;
  HWND parent_ = nullptr;
  DWORD code_ = 0;
  RECT controlRect_ = {};
  RECT reference_ = {};
};
