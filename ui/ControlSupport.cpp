#include "ui/ControlSupport.h"

#include <shlwapi.h>

#include "core/RuntimeCalls.h"
#include "core/SystemApi.h"
#include "ui/Dpi.h"
#include "ui/GdiGuard.h"

DWORD CommonControlsVersion() {
  DLLVERSIONINFO info = {};
  if (FAILED(DllGetVersionOf(L"comctl32.dll", &info))) return 0;
  return (info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF);
}

bool IsWindows9xFamily() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version)) return false;
  return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

int SystemMetricForWindow(HWND window, int index) {
  int value = GetSystemMetrics(index);
  int systemDpi = 96;
  {
    WindowDc screen(nullptr);
    if (screen.Get()) systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
  }
  if (systemDpi <= 0) systemDpi = 96;
  int dpi = DpiGetForWindow(window);
  return dpi == systemDpi ? value : MulDiv(value, dpi, systemDpi);
}

HICON LoadIconSized(HINSTANCE module, int id, int width, int height) {
  HICON icon = nullptr;
  SystemApi api;
  if (SUCCEEDED(api.LoadIconWithScaleDown(module, MAKEINTRESOURCEW(id), width, height, &icon)) &&
      icon) {
    return icon;
  }
  return static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}
