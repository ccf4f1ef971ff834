#include "core/LibraryHandle.h"

#include <cwchar>

namespace {

typedef BOOL(WINAPI* SetThreadErrorModeFn)(DWORD mode, LPDWORD oldMode);

// SetThreadErrorMode where the system has it (Windows 7 and later): the
// mode then changes for the loading thread alone, so threads loading at the
// same time cannot leave the process's mode changed.
SetThreadErrorModeFn ThreadErrorModeCall() {
  static SetThreadErrorModeFn call = [] {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<SetThreadErrorModeFn>(reinterpret_cast<void*>(
                        GetProcAddress(kernel, "SetThreadErrorMode")))
                  : nullptr;
  }();
  return call;
}

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

HMODULE LoadFrom(const wchar_t* fileName, int systemOnly) {
  if (!systemOnly) return LoadLibraryW(fileName);
  if (wcschr(fileName, L'\\') || wcschr(fileName, L'/') || wcschr(fileName, L':')) return nullptr;
  HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module) return module;
  // Systems without the flag refuse it: the full path of the system folder
  // then names the file.
  wchar_t path[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + wcslen(fileName) > MAX_PATH) return nullptr;
  wcscat(path, L"\\");
  wcscat(path, fileName);
  return LoadLibraryW(path);
}

}  // namespace

int LibraryHandle::Load(const wchar_t* fileName, int systemOnly) {
  Unload();
  if (!fileName || !*fileName) return 0;
  // No "cannot find the file" or "insert a disk" box for a missing library.
  const DWORD quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  if (SetThreadErrorModeFn setThreadMode = ThreadErrorModeCall()) {
    DWORD previous = 0;
    BOOL changed = setThreadMode(quiet, &previous);
    module_ = LoadFrom(fileName, systemOnly);
    if (changed) setThreadMode(previous, nullptr);
  } else {
    UINT previous = SetErrorMode(quiet);
    module_ = LoadFrom(fileName, systemOnly);
    SetErrorMode(previous);
  }
  return module_ ? 1 : 0;
}

int LibraryHandle::Unload() {
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  return 1;
}

FARPROC LibraryHandle::Resolve(const char* functionName) const {
  if (!module_ || !functionName) return nullptr;
  return GetProcAddress(module_, functionName);
}
