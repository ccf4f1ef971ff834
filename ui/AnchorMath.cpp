#include "ui/AnchorMath.h"

AnchorPlacement ComputeAnchor(DWORD code, const RECT& control, const RECT& reference, int width,
                              int height) {
  const int w0 = reference.right - reference.left;
  const int h0 = reference.bottom - reference.top;
  const int dx = width - w0;
  const int dy = height - h0;
  AnchorPlacement out = {control.left, control.top, control.right - control.left,
                         control.bottom - control.top};

  if (code & AnchorMoveX) {
    out.x = control.left + dx;
  } else if (code & AnchorProportionalX) {
    if (w0 != 0) out.x = static_cast<int>(static_cast<double>(control.left) / w0 * width);
  } else if (code & AnchorCentreX) {
    out.x = static_cast<int>(control.left + dx * 0.5);
  }

  if (code & AnchorMoveY) {
    out.y = control.top + dy;
  } else if (code & AnchorProportionalY) {
    if (h0 != 0) out.y = static_cast<int>(static_cast<double>(control.top) / h0 * height);
  }

  if (code & AnchorGrowWidth) {
    out.width += dx;
  } else if (code & AnchorGrowHalfWidth) {
    out.width = static_cast<int>(out.width + dx * 0.5);
  }

  if (code & AnchorGrowHeight) out.height += dy;
  return out;
}
