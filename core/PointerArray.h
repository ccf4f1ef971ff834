// An array of pointers guarded by a lock, in storage of its own or the
// caller's, optionally growing when a slot beyond its end is set.
#pragma once

#include "core/CriticalSection.h"

class PointerArray {
public:
  static constexpr unsigned Growable = 0x1;
  static constexpr unsigned OwnsStorage = 0x2;  // set by Init when it allocates
  static constexpr unsigned NoLocking = 0x4;
  static constexpr unsigned FillNulls = 0x8;    // slots nulled at Init, count = capacity

  PointerArray() = default;
  ~PointerArray();
  PointerArray(const PointerArray&) = delete;
  PointerArray& operator=(const PointerArray&) = delete;

  // storage: capacity slots of the caller's, used when the array does not
  // grow; otherwise (or with none) the array allocates its own. 1/0.
  int Init(void** storage, unsigned capacity, unsigned growBy, unsigned flags);
  // 1 if stored; 0 beyond the end of an array that cannot grow or when growing
  // fails (the array is then unchanged).
  int Set(unsigned index, void* pointer);
  // 1 with the slot's pointer for an index below Count, else 0.
  int Get(unsigned index, void** pointer);
  unsigned Count();
  unsigned Capacity() const { return capacity_; }
  unsigned Flags() const { return flags_; }

private:
  void Lock();
  void Unlock();

  CriticalSection lock_;
  void** items_ = nullptr;
  unsigned flags_ = 0;
  unsigned count_ = 0;
  unsigned capacity_ = 0;
  unsigned growBy_ = 0;
};
