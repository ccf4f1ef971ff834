#include "core/PointerArray.h"

#include <cstdint>
#include <cstdlib>

namespace {

const size_t kMaxSlots = SIZE_MAX / sizeof(void*);

}  // namespace

PointerArray::~PointerArray() {
  if (flags_ & OwnsStorage) free(items_);
  items_ = nullptr;
  lock_.Delete();
}

void PointerArray::Lock() {
  if (!(flags_ & NoLocking)) lock_.Enter();
}

void PointerArray::Unlock() {
  if (!(flags_ & NoLocking)) lock_.Leave();
}

int PointerArray::Init(void** storage, unsigned capacity, unsigned growBy, unsigned flags) {
  // The lock is taken under the old flags and released under the same ones.
  const bool locked = !(flags_ & NoLocking);
  if (locked) lock_.Enter();
  if (flags_ & OwnsStorage) free(items_);
  items_ = nullptr;
  flags_ = flags & ~OwnsStorage;
  count_ = 0;
  capacity_ = 0;
  growBy_ = growBy;
  int result = 1;
  if ((flags & Growable) || !storage) {
    if (capacity > kMaxSlots) {
      result = 0;
    } else if (capacity) {
      items_ = static_cast<void**>(malloc(capacity * sizeof(void*)));
      if (!items_) result = 0;
    }
    if (result) flags_ |= OwnsStorage;
  } else {
    items_ = storage;
  }
  if (result) {
    capacity_ = capacity;
    if (flags & FillNulls) {
      for (unsigned i = 0; i < capacity; ++i) items_[i] = nullptr;
      count_ = capacity;
    }
  }
  if (locked) lock_.Leave();
  return result;
}

int PointerArray::Set(unsigned index, void* pointer) {
  Lock();
  if (index >= capacity_ || !items_) {
    if (!(flags_ & Growable)) {
      Unlock();
      return 0;
    }
    // At least one slot past the index, whatever the growth step.
    unsigned long long wanted = static_cast<unsigned long long>(index) + (growBy_ ? growBy_ : 1);
    if (wanted > 0xFFFFFFFFull || wanted > kMaxSlots || wanted <= capacity_) {
      Unlock();
      return 0;
    }
    void** grown = static_cast<void**>(realloc(items_, static_cast<size_t>(wanted) * sizeof(void*)));
    if (!grown) {  // the old block and capacity still agree
      Unlock();
      return 0;
    }
    for (unsigned long long i = capacity_; i < wanted; ++i) grown[i] = nullptr;
    items_ = grown;
    capacity_ = static_cast<unsigned>(wanted);
    flags_ |= OwnsStorage;
  }
  if (index >= count_) count_ = index + 1;
  items_[index] = pointer;
  Unlock();
  return 1;
}

int PointerArray::Get(unsigned index, void** pointer) {
  Lock();
  int found = (index < count_ && items_) ? 1 : 0;
  if (found && pointer) *pointer = items_[index];
  Unlock();
  return found;
}

unsigned PointerArray::Count() {
  Lock();
  unsigned count = count_;
  Unlock();
  return count;
}
