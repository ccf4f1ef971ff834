// The contexts handed to the platform with value-changed registrations.
//
// The platform may still call a callback after BluetoothGATTUnregisterEvent
// has returned (a notification already on its way). The context it holds is
// therefore not an object's address but a number that is never used again:
// a late callback looks its number up here, finds nothing and does nothing.
// While a callback is running for a number, Remove waits for it to leave, so
// that the object behind the number may be freed once Remove returns.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "core/CriticalSection.h"
#include "core/KernelHandle.h"

class GattCallbackRegistry {
public:
  static GattCallbackRegistry& Instance();

  GattCallbackRegistry() = default;
  ~GattCallbackRegistry() = default;
  GattCallbackRegistry(const GattCallbackRegistry&) = delete;
  GattCallbackRegistry& operator=(const GattCallbackRegistry&) = delete;

  // A new number standing for the owner (never 0, never used again).
  void* Add(void* owner);
  // The owner of a number that is still registered, counted as in flight
  // on the calling thread until Leave; none for an unknown number.
  void* Enter(void* number);
  void Leave(void* number);
  // Forgets the number. Returns once no callback is running for it on
  // another thread (one running on the calling thread, which is removing
  // its own registration, is not waited for).
  void Remove(void* number);

  // Numbers currently known (for checks).
  size_t Count();

private:
  struct Entry {
    void* owner = nullptr;
    bool removed = false;
    std::vector<DWORD> threads;  // callbacks in flight
    KernelHandle quiet;          // manual-reset; set when a callback leaves
  };

  CriticalSection lock_;
  std::map<ULONG_PTR, Entry> entries_;
  ULONG_PTR next_ = 1;
};
