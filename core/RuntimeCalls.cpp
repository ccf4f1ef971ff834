#include "core/RuntimeCalls.h"

#include "core/LibraryHandle.h"

int ProcessIsWow64(HANDLE process) { return ProcessIsWow64From(L"kernel32.dll", process); }

int ProcessIsWow64From(const wchar_t* library, HANDLE process) {
  typedef BOOL(WINAPI * Fn)(HANDLE, BOOL*);
  LibraryHandle handle;
  if (!handle.Load(library)) return 0;
  Fn isWow64 = handle.ResolveAs<Fn>("IsWow64Process");
  if (!isWow64) return 0;
  BOOL wow64 = FALSE;
  if (!isWow64(process ? process : GetCurrentProcess(), &wow64)) return 0;
  return wow64 ? 1 : 0;
}

HRESULT CoInitializeExAtRunTime(DWORD coInit) { return CoInitializeExFrom(L"ole32.dll", coInit); }

HRESULT CoInitializeExFrom(const wchar_t* library, DWORD coInit) {
  typedef HRESULT(WINAPI * Fn)(void*, DWORD);
  LibraryHandle handle;
  if (!handle.Load(library)) return E_NOTIMPL;
  Fn initialize = handle.ResolveAs<Fn>("CoInitializeEx");
  return initialize ? initialize(nullptr, coInit) : E_NOTIMPL;
}

BOOL SetProcessDpiAwareAtRunTime() {
  typedef BOOL(WINAPI * Fn)();
  LibraryHandle handle;
  if (!handle.Load(L"user32.dll")) return FALSE;
  Fn setAware = handle.ResolveAs<Fn>("SetProcessDPIAware");
  return setAware ? setAware() : FALSE;
}

HRESULT DllGetVersionOf(const wchar_t* library, DLLVERSIONINFO* info) {
  if (!info) return E_POINTER;
  LibraryHandle handle;
  if (!handle.Load(library)) return E_NOTIMPL;
  DLLGETVERSIONPROC getVersion = handle.ResolveAs<DLLGETVERSIONPROC>("DllGetVersion");
  if (!getVersion) return E_NOTIMPL;
  info->cbSize = sizeof(*info);
  return getVersion(info);
}
