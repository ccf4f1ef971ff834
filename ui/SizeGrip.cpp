#include "ui/SizeGrip.h"

#include <windowsx.h>

#include "ui/ControlSupport.h"

int SizeGrip::Attach(HWND window) {
  Detach();
  if (!window || !IsWindow(window)) return 0;
  window_ = window;
  theme_.Open(window, L"status");  // without a theme the classic grip is drawn
  return 1;
}

void SizeGrip::Detach() {
  theme_.Close();
  window_ = nullptr;
  SetRectEmpty(&lastGrip_);
}

int SizeGrip::GripRect(RECT* rect) const {
  if (!window_ || IsZoomed(window_)) return 0;
  RECT client = {};
  if (!GetClientRect(window_, &client)) return 0;
  int width = SystemMetricForWindow(window_, SM_CXHSCROLL);
  int height = SystemMetricForWindow(window_, SM_CYVSCROLL);
  SetRect(rect, client.right - width, client.bottom - height, client.right, client.bottom);
  return 1;
}

int SizeGrip::Draw(HDC dc) {
  RECT grip = {};
  if (!dc || !GripRect(&grip)) return 0;
  lastGrip_ = grip;
  if (theme_.Theme() && theme_.DrawBackground(dc, GripperPart, 0, &grip)) return 1;
  return DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP) ? 1 : 0;
}

int SizeGrip::OnPaint() {
  if (!window_) return 0;
  PAINTSTRUCT paint = {};
  HDC dc = BeginPaint(window_, &paint);
  if (dc) {
    Draw(dc);
    EndPaint(window_, &paint);
  }
  return 1;
}

int SizeGrip::OnHitTest(WPARAM wParam, LPARAM lParam) {
  if (!window_) return 0;
  LRESULT hit = DefWindowProcW(window_, WM_NCHITTEST, wParam, lParam);
  RECT grip = {};
  RECT frame = {};
  if ((hit == HTCLIENT || hit == HTBORDER) && GripRect(&grip) && GetWindowRect(window_, &frame)) {
    // The square reaches from the drawn grip to the window's outer corner,
    // so the frame beside the grip sizes the window too.
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&grip), 2);
    int width = grip.right - grip.left;
    int height = grip.bottom - grip.top;
    RECT square = {frame.right - width, frame.bottom - height, frame.right, frame.bottom};
    if (grip.left < square.left) square.left = grip.left;
    if (grip.top < square.top) square.top = grip.top;
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (PtInRect(&square, point)) hit = HTBOTTOMRIGHT;
  }
  SetWindowLongPtrW(window_, DWLP_MSGRESULT, hit);
  return 1;
}

void SizeGrip::OnSize() {
  if (!window_) return;
  if (!IsRectEmpty(&lastGrip_)) InvalidateRect(window_, &lastGrip_, TRUE);
  // A window that shrank exposes no new area: the grip's new place must be
  // painted all the same.
  RECT grip = {};
  if (GripRect(&grip)) InvalidateRect(window_, &grip, TRUE);
}
