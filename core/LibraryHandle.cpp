#include "core/LibraryHandle.h"

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

}  // namespace

int LibraryHandle::Load(const wchar_t* fileName) {
  Unload();
  if (!fileName || !*fileName) return 0;
  // No "cannot find the file" or "insert a disk" box for a missing library.
  const DWORD quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  if (SetThreadErrorModeFn setThreadMode = ThreadErrorModeCall()) {
    DWORD previous = 0;
    BOOL changed = setThreadMode(quiet, &previous);
    module_ = LoadLibraryW(fileName);
    if (changed) setThreadMode(previous, nullptr);
  } else {
    UINT previous = SetErrorMode(quiet);
    module_ = LoadLibraryW(fileName);
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
