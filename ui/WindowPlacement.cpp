#include "ui/WindowPlacement.h"

#include "core/RegistryKey.h"
#include "core/SettingsStore.h"
#include "core/WideString.h"

namespace {

typedef HMONITOR(WINAPI* MonitorFromPointFn)(POINT, DWORD);
typedef BOOL(WINAPI* GetMonitorInfoFn)(HMONITOR, MONITORINFO*);

template <class Fn>
Fn User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                : nullptr;
}

// 1 when the point lies on a monitor (on the primary screen when monitors
// cannot be asked).
int PointOnScreen(POINT point) {
  static const MonitorFromPointFn monitorFromPoint =
      User32Function<MonitorFromPointFn>("MonitorFromPoint");
  if (monitorFromPoint) return monitorFromPoint(point, MONITOR_DEFAULTTONULL) ? 1 : 0;
  return point.x >= 0 && point.y >= 0 && point.x < GetSystemMetrics(SM_CXSCREEN) &&
         point.y < GetSystemMetrics(SM_CYSCREEN);
}

// The work area of the monitor nearest the point.
RECT NearestWorkArea(POINT point) {
  static const MonitorFromPointFn monitorFromPoint =
      User32Function<MonitorFromPointFn>("MonitorFromPoint");
  static const GetMonitorInfoFn getMonitorInfo = User32Function<GetMonitorInfoFn>("GetMonitorInfoW");
  if (monitorFromPoint && getMonitorInfo) {
    HMONITOR monitor = monitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (monitor && getMonitorInfo(monitor, &info)) return info.rcWork;
  }
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

}  // namespace

void ApplyPlacementFlags(PlacementValue& value, DWORD flags, const RECT& current) {
  if (value.showState == SW_SHOWMINIMIZED && !(flags & PlacementKeepMinimised)) {
    value.showState = SW_SHOWNORMAL;
  }
  if (value.showState == SW_HIDE && !(flags & PlacementKeepHidden)) value.showState = SW_SHOWNORMAL;
  if (flags & PlacementForceHidden) value.showState = SW_HIDE;
  if (flags & PlacementForceMinimisedNoActivate) value.showState = SW_SHOWMINNOACTIVE;
  RECT& r = value.normal;
  if (flags & PlacementKeepSize) {
    r.right = r.left + (current.right - current.left);
    r.bottom = r.top + (current.bottom - current.top);
  }
  if (flags & PlacementKeepPosition) {
    OffsetRect(&r, current.left - r.left, current.top - r.top);
  }
}

void MoveIntoWorkArea(RECT& rect, const RECT& workArea) {
  OffsetRect(&rect, workArea.left + PlacementRescueMargin - rect.left,
             workArea.top + PlacementRescueMargin - rect.top);
}

int SaveWindowPlacement(HWND window, HKEY root, const wchar_t* path, const wchar_t* name,
                        const RECT* rect, DWORD flags, SettingsStore* store) {
  PlacementValue value;
  if (rect) {
    value.showState = SW_SHOW;
    value.normal = *rect;
  } else {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!window || !GetWindowPlacement(window, &placement)) return 0;
    value.showState = static_cast<int>(placement.showCmd);
    if (!(flags & PlacementSaveInvisible) && !(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE)) {
      value.showState = SW_HIDE;
    }
    value.normal = placement.rcNormalPosition;
  }
  WideString text;
  if (!FormatPlacementText(value, text)) return 0;
  if (store) return store->WriteText(name, text.CStr());
  RegistryKey key;
  if (!key.CreateKey(root, path)) return 0;
  return key.WriteString(name, text.CStr());
}

int RestoreWindowPlacement(HWND window, HKEY root, const wchar_t* path, const wchar_t* name,
                           DWORD flags, SettingsStore* store) {
  if (!window) return 0;
  WideString text;
  if (store) {
    if (!store->ReadText(name, text)) return 0;
  } else {
    RegistryKey key;
    if (!key.OpenForRead(root, path) || !key.ReadString(name, text)) return 0;
  }
  // A placement text is short: anything longer than 260 characters is not one.
  if (text.Length() > 260) return 0;
  PlacementValue value;
  if (!ParsePlacementText(text.CStr(), &value)) return 0;

  RECT current = {};
  GetWindowRect(window, &current);
  ApplyPlacementFlags(value, flags, current);

  if (!(flags & PlacementNoScreenCheck)) {
    POINT topLeft = {value.normal.left, value.normal.top};
    POINT bottomRight = {value.normal.right, value.normal.bottom};
    if (!PointOnScreen(topLeft) &&
        (!(flags & PlacementBothCornersOff) || !PointOnScreen(bottomRight))) {
      MoveIntoWorkArea(value.normal, NearestWorkArea(topLeft));
    }
  }

  // The minimised and maximised positions stay the window's own.
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  if (!GetWindowPlacement(window, &placement)) return 0;
  placement.flags = 0;
  placement.showCmd = static_cast<UINT>(value.showState);
  placement.rcNormalPosition = value.normal;
  if (!SetWindowPlacement(window, &placement)) return 0;
  if (!(flags & PlacementNoReposition) && value.showState != SW_SHOWMAXIMIZED) {
    SendMessageW(window, DM_REPOSITION, 0, 0);
  }
  return 1;
}
