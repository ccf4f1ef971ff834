// The root of the Bluetooth LE tree: adapters, their devices, services,
// characteristics and descriptors, rebuilt by one Enumerate call over a GATT
// backend. The tree stays as it is until the next Enumerate or the
// enumerator's end; it is used by one thread at a time (value-changed
// handlers excepted, which run on a platform thread).
#pragma once

#include <windows.h>

#include "core/IntrusiveList.h"

class GattBackend;

// Waits between descriptor write attempts (milliseconds).
typedef void (*GattWaitFunction)(DWORD milliseconds, void* context);

class GattEnumerator {
public:
  // Enumerate flags.
  static constexpr unsigned ReadFromDevice = 0x1;  // values read from the device, not the platform's cache
  static constexpr unsigned DevicesOnly = 0x2;     // no service discovery

  // The backend is not owned and must outlive the enumerator.
  explicit GattEnumerator(GattBackend* backend);
  virtual ~GattEnumerator();
  GattEnumerator(const GattEnumerator&) = delete;
  GattEnumerator& operator=(const GattEnumerator&) = delete;

  // Empties the adapter list and rebuilds it from the backend's present LE
  // devices: one adapter holding them all, none when there are none.
  // 1 when the backend could be asked, 0 otherwise (the list is then empty).
  int Enumerate(unsigned flags);
  // Deletes every adapter (and everything below).
  void Clear();

  GattBackend* Backend() const { return backend_; }
  // The wait between descriptor write attempts; none: Sleep.
  void SetRetryWait(GattWaitFunction wait, void* context);
  void RetryWait(DWORD milliseconds);

  IntrusiveList adapters;  // of GattAdapter

private:
  GattBackend* backend_;
  GattWaitFunction wait_ = nullptr;
  void* waitContext_ = nullptr;
};
