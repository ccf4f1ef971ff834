#include "core/ComApartment.h"

#include "core/RuntimeCalls.h"

int ComApartment::Init(DWORD flags) {
  if (initialised_) return 1;
  HRESULT hr = CoInitializeExAtRunTime(flags);
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
