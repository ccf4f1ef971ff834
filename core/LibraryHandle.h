// A system library loaded at run time by file name, with its functions
// looked up by name. A missing library never raises a system message box.
#pragma once

#include <windows.h>

class LibraryHandle {
public:
  LibraryHandle() = default;
  ~LibraryHandle() { Unload(); }
  LibraryHandle(const LibraryHandle&) = delete;
  LibraryHandle& operator=(const LibraryHandle&) = delete;

  // Unloads whatever is loaded first; 1 if the library is now loaded.
  // With systemOnly the file is taken from the system folder alone, never
  // from the program's folder or the search path (a plain file name only).
  int Load(const wchar_t* fileName, int systemOnly = 0);
  int Unload();  // always 1
  // The function's address, or none when it or the library is missing.
  FARPROC Resolve(const char* functionName) const;
  // The address converted to a function pointer type.
  template <class Fn>
  Fn ResolveAs(const char* functionName) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Resolve(functionName)));
  }
  bool IsLoaded() const { return module_ != nullptr; }
  HMODULE Module() const { return module_; }

private:
  HMODULE module_ = nullptr;
};
