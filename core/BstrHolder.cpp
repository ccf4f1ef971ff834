#include "core/BstrHolder.h"

#include <new>

namespace {

// The empty BSTR handed out by empty holders: a zero length prefix followed
// by the terminator, the layout SysStringLen expects. It is never freed.
struct EmptyBstr {
  UINT byteLength;
  OLECHAR text[1];
};
EmptyBstr g_emptyBstr = {0, {0}};

}  // namespace

BstrHolder::BstrHolder(const wchar_t* text) {
  BSTR copy = SysAllocString(text ? text : L"");
  if (!copy) return;  // holds "" instead
  shared_ = new (std::nothrow) Shared{copy, 1};
  if (!shared_) SysFreeString(copy);
}

BstrHolder::BstrHolder(const BstrHolder& other) : shared_(other.shared_) {
  if (shared_) InterlockedIncrement(&shared_->references);
}

BstrHolder& BstrHolder::operator=(const BstrHolder& other) {
  if (shared_ != other.shared_) {
    if (other.shared_) InterlockedIncrement(&other.shared_->references);
    Release();
    shared_ = other.shared_;
  }
  return *this;
}

BstrHolder::~BstrHolder() { Release(); }

void BstrHolder::Release() {
  if (shared_ && InterlockedDecrement(&shared_->references) == 0) {
    SysFreeString(shared_->text);
    delete shared_;
  }
  shared_ = nullptr;
}

BSTR BstrHolder::Get() const { return shared_ ? shared_->text : g_emptyBstr.text; }

unsigned BstrHolder::Length() const { return SysStringLen(Get()); }
