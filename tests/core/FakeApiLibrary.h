// Where the stand-in system library of the binding tests lives (next to the
// test program), and a scratch folder for copies of it.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring TestProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);
}

inline std::wstring FakeApiPath() { return TestProgramFolder() + L"\\pellton-fake-api.dll"; }

// A file name in the temporary folder that does not exist yet.
inline std::wstring ScratchDllPath(const wchar_t* stem) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L".dll";
  DeleteFileW(path.c_str());
  return path;
}

// The fake's own control functions, through a module reference of the test's.
class FakeApiModule {
public:
  FakeApiModule() : module_(LoadLibraryW(FakeApiPath().c_str())) {}
  ~FakeApiModule() {
    if (module_) FreeLibrary(module_);
  }
  FakeApiModule(const FakeApiModule&) = delete;
  FakeApiModule& operator=(const FakeApiModule&) = delete;
  bool Loaded() const { return module_ != nullptr; }
  template <class Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

private:
  HMODULE module_;
};
