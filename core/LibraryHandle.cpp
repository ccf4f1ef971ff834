#include "core/LibraryHandle.h"

int LibraryHandle::Load(const wchar_t* fileName) {
  Unload();
  if (!fileName || !*fileName) return 0;
  // No "cannot find the file" or "insert a disk" box for a missing library.
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  module_ = LoadLibraryW(fileName);
  SetErrorMode(previous);
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
