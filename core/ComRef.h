// Owns one COM interface reference and releases it when it goes out of
// scope. Nothing here throws: failures stay HRESULTs for the caller to test.
#pragma once

#include <windows.h>
#include <unknwn.h>

template <class T>
class ComRef {
public:
  ComRef() = default;
  explicit ComRef(T* adopted) : p_(adopted) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { Reset(); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // For functions that hand out a reference: the old one is released first.
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  // Gives up ownership without releasing.
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void Reset(T* adopted = nullptr) {
    if (p_) p_->Release();
    p_ = adopted;
  }

private:
  T* p_ = nullptr;
};
