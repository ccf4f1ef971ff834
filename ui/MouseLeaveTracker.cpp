#include "ui/MouseLeaveTracker.h"

namespace {

typedef BOOL(WINAPI* TrackMouseEventFn)(TRACKMOUSEEVENT*);

}  // namespace

int MouseLeaveTracker::SetLibraryName(const wchar_t* fileName) {
  user32_.Unload();
  if (fileName && *fileName) return fileName_.Assign(fileName);
  fileName_.Reset(0);
  return 1;
}

int MouseLeaveTracker::Track(HWND window) {
  if (!window || !IsWindow(window)) return 0;
  Stop();
  if (!user32_.IsLoaded()) user32_.Load(fileName_.IsEmpty() ? L"user32.dll" : fileName_.CStr());
  TrackMouseEventFn track = user32_.ResolveAs<TrackMouseEventFn>("TrackMouseEvent");
  if (track) {
    TRACKMOUSEEVENT request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = TME_LEAVE;
    request.hwndTrack = window;
    request.dwHoverTime = HOVER_DEFAULT;
    return track(&request) ? 1 : 0;
  }
  // The timer's id is this tracker, so its callback finds its way back.
  if (!SetTimer(window, reinterpret_cast<UINT_PTR>(this), TimerInterval, OnTimer)) return 0;
  timerWindow_ = window;
  return 1;
}

void MouseLeaveTracker::Stop() {
  if (!timerWindow_) return;
  KillTimer(timerWindow_, reinterpret_cast<UINT_PTR>(this));
  timerWindow_ = nullptr;
}

void CALLBACK MouseLeaveTracker::OnTimer(HWND window, UINT, UINT_PTR id, DWORD) {
  MouseLeaveTracker* tracker = reinterpret_cast<MouseLeaveTracker*>(id);
  // A tick that was queued before Stop must not touch a tracker that is
  // watching nothing (or another window) now.
  if (!tracker || tracker->timerWindow_ != window) return;
  tracker->Tick();
}

void MouseLeaveTracker::Tick() {
  HWND window = timerWindow_;
  RECT rect = {};
  POINT cursor = {};
  bool left = !GetWindowRect(window, &rect) || !GetCursorPos(&cursor) ||
              !PtInRect(&rect, cursor) || WindowFromPoint(cursor) != window;
  if (!left) return;
  Stop();
  PostMessageW(window, WM_MOUSELEAVE, 0, 0);
}
