#include "core/TickCount.h"

#include "core/LibraryHandle.h"

unsigned long long TickCount64() { return TickCount64From(L"kernel32.dll", "GetTickCount64"); }

unsigned long long TickCount64From(const wchar_t* library, const char* function) {
  typedef ULONGLONG(WINAPI * TickFn)();
  LibraryHandle handle;
  if (handle.Load(library)) {
    if (TickFn tick = handle.ResolveAs<TickFn>(function)) return tick();
  }
  return GetTickCount();
}
