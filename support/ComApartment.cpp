#include "support/ComApartment.h"

namespace {
// One-shot binding: load ole32.dll, call CoInitializeEx, unload. Answers
// E_NOTIMPL when the function is not there.
HRESULT CoInitializeExOnce(DWORD flags) {
  typedef HRESULT(WINAPI * CoInitializeExFn)(void*, DWORD);
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE ole32 = LoadLibraryW(L"ole32.dll");
  SetErrorMode(previousMode);
  if (!ole32) return E_NOTIMPL;
  HRESULT hr = E_NOTIMPL;
  FARPROC proc = GetProcAddress(ole32, "CoInitializeEx");
  if (proc) {
    CoInitializeExFn fn = reinterpret_cast<CoInitializeExFn>(reinterpret_cast<void*>(proc));
    hr = fn(nullptr, flags);
  }
  FreeLibrary(ole32);
  return hr;
}
}  // namespace

int ComApartment::Init(DWORD flags) {
  if (initialised_) return 1;
  HRESULT hr = CoInitializeExOnce(flags);
  if (hr == RPC_E_CHANGED_MODE) return 1;  // usable, but not ours to end
  if (FAILED(hr)) hr = CoInitialize(nullptr);
  if (FAILED(hr)) return hr == RPC_E_CHANGED_MODE ? 1 : 0;
  initialised_ = true;  // S_OK and S_FALSE both need their CoUninitialize
  return 1;
}

void ComApartment::End() {
  if (!initialised_) return;
  initialised_ = false;
  CoUninitialize();
}
