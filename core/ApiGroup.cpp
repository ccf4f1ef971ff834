#include "core/ApiGroup.h"

#include <cstdlib>

ApiGroup::ApiGroup(const wchar_t* libraryName, const ApiFunction* functions, unsigned count)
    : libraryName_(libraryName),
      functions_(functions),
      count_(count),
      addresses_(count ? static_cast<void**>(calloc(count, sizeof(void*))) : nullptr) {}

ApiGroup::~ApiGroup() {
  Forget();
  free(addresses_);
}

void ApiGroup::Forget() {
  if (addresses_) {
    for (unsigned i = 0; i < count_; ++i) addresses_[i] = nullptr;
  }
  library_.Unload();
}

int ApiGroup::Bind() {
  // Under the lock a second user cannot see the group bound before the first
  // has finished looking the functions up.
  SectionLock hold(lock_);
  if (InterlockedIncrement(&uses_) > 1) return 1;
  bool bound = (addresses_ || !count_) && library_.Load(libraryName_);
  for (unsigned i = 0; bound && i < count_; ++i) {
    addresses_[i] = reinterpret_cast<void*>(library_.Resolve(functions_[i].name));
    if (!addresses_[i] && functions_[i].required) bound = false;
  }
  if (bound) return 1;
  InterlockedDecrement(&uses_);
  Forget();
  return 0;
}

int ApiGroup::Unbind() {
  SectionLock hold(lock_);
  if (uses_ <= 0) return 0;
  if (InterlockedDecrement(&uses_) == 0) Forget();
  return 1;
}

LONG ApiGroup::UseCount() const { return InterlockedCompareExchange(const_cast<volatile LONG*>(&uses_), 0, 0); }

void* ApiGroup::Address(unsigned index) const {
  if (!addresses_ || index >= count_) return nullptr;
  return addresses_[index];
}
