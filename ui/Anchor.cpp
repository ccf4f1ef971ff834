#include "ui/Anchor.h"

int Anchor::Attach(HWND control, DWORD code, int referenceWidth, int referenceHeight,
                   HWND unitsDialog) {
  HWND parent = control ? GetParent(control) : nullptr;
  if (!parent) return 0;
  RECT rect;
  if (!GetWindowRect(control, &rect)) return 0;
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  RECT reference;
  if (!GetClientRect(parent, &reference)) return 0;
  if (referenceWidth && referenceHeight) {
    RECT units = {0, 0, referenceWidth, referenceHeight};
    if (!MapDialogRect(unitsDialog ? unitsDialog : parent, &units)) return 0;
    reference = units;
  }
  control_ = control;
  parent_ = parent;
  code_ = code;
  controlRect_ = rect;
  reference_ = reference;
  return 1;
}

int Anchor::ApplyAnchor(WPARAM wParam, LPARAM lParam) const {
  if (!control_ || wParam == SIZE_MINIMIZED) return 0;
  AnchorPlacement p = ComputeAnchor(code_, controlRect_, reference_, LOWORD(lParam), HIWORD(lParam));
  // A parent shrunk below the reference leaves no room: no negative sizes.
  if (!MoveWindow(control_, p.x, p.y, p.width > 0 ? p.width : 0, p.height > 0 ? p.height : 0,
                  TRUE)) {
    return 0;
  }
  InvalidateRect(control_, nullptr, TRUE);
  return 1;
}
