// One kernel handle (a file, mapping, event, mutex or thread), closed with
// CloseHandle when its holder goes out of scope, on every path. A handle
// of none and INVALID_HANDLE_VALUE (what CreateFileW answers on failure)
// both count as no handle and are never closed.
//
// The holder reads as the HANDLE it holds, so it is passed to system calls
// and compared with INVALID_HANDLE_VALUE as the bare handle was. It is
// moved, never copied.
#pragma once

#include <windows.h>

class KernelHandle {
public:
  KernelHandle() = default;
  explicit KernelHandle(HANDLE handle) : handle_(handle) {}
  ~KernelHandle() { Close(); }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  KernelHandle(KernelHandle&& other) noexcept : handle_(other.Release()) {}
  KernelHandle& operator=(KernelHandle&& other) noexcept;
  // Closes the handle held before and takes this one.
  KernelHandle& operator=(HANDLE handle);

  // Closes the handle now (a file's last writes are then done with); the
  // holder then holds none. CloseHandle's answer: 1, or 0 when it failed;
  // 1 when there was nothing to close.
  int Close();
  // Gives the handle up without closing it.
  HANDLE Release();
  // Closes the handle held and gives the place for a call that hands one
  // out (DuplicateHandle).
  HANDLE* Out() {
    Close();
    return &handle_;
  }

  HANDLE Get() const { return handle_; }
  operator HANDLE() const { return handle_; }  // NOLINT: reads as the handle
  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
  HANDLE handle_ = nullptr;
};
