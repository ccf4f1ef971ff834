#include "core/KernelHandle.h"

KernelHandle& KernelHandle::operator=(KernelHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.Release();
  }
  return *this;
}

KernelHandle& KernelHandle::operator=(HANDLE handle) {
  if (handle != handle_) {
    Close();
    handle_ = handle;
  }
  return *this;
}

int KernelHandle::Close() {
  HANDLE held = handle_;
  handle_ = nullptr;
  if (held == nullptr || held == INVALID_HANDLE_VALUE) return 1;
  return CloseHandle(held) ? 1 : 0;
}

HANDLE KernelHandle::Release() {
  HANDLE held = handle_;
  handle_ = nullptr;
  return held;
}
