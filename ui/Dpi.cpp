#include "ui/Dpi.h"

namespace {

volatile LONG dpiOverride = 0;

// GetDpiForWindow exists from Windows 10 1607 on; user32.dll is loaded in
// every window process, so looking it up in the loaded module is enough.
typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);

GetDpiForWindowFn GetDpiForWindowFunction() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) return nullptr;
  return reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
}

}  // namespace

int DpiGetForWindow(HWND window) {
  LONG forced = dpiOverride;
  if (forced > 0) return static_cast<int>(forced);
  static const GetDpiForWindowFn getDpiForWindow = GetDpiForWindowFunction();
  if (getDpiForWindow && window) {
    UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  if (!screen) return 96;
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int DpiScale(HWND window, int value) { return MulDiv(value, DpiGetForWindow(window), 96); }

void DpiSetOverride(int dpi) { InterlockedExchange(&dpiOverride, dpi > 0 ? dpi : 0); }
