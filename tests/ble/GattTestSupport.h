// Helpers for the GATT tests: a recorder of value-changed calls that a test
// can wait on, a recorder of the waits between descriptor write attempts,
// and the names the tests look things up by.
#pragma once

#include <windows.h>

#include <vector>

#include "ble/GattCharacteristic.h"
#include "core/CriticalSection.h"

typedef std::vector<unsigned char> Bytes;

extern const wchar_t kVendorServiceText[];         // {FC1CFF01-...}
extern const wchar_t kVendorCharacteristicText[];  // {FC1CFF08-...}
extern const wchar_t kConfigurationName[];         // org.bluetooth.descriptor.gatt.client_characteristic_configuration

class GattDevice;

// The tracker's vendor characteristic of a device (none when the device or
// the characteristic is missing).
GattCharacteristic* VendorCharacteristic(GattDevice* device);
// Switches notifications on through the characteristic's client
// configuration descriptor; 0 when there is none or the write fails.
int SubscribeToNotifications(GattCharacteristic* characteristic);

// Collects what value-changed handlers receive, from any thread.
class ValueRecorder {
public:
  ValueRecorder();
  ~ValueRecorder();
  ValueRecorder(const ValueRecorder&) = delete;
  ValueRecorder& operator=(const ValueRecorder&) = delete;

  // The shape of a GATT characteristic's handler; context is the recorder.
  static void OnValue(GattCharacteristic* characteristic, unsigned length, const unsigned char* bytes,
                      void* context);
  // The shape of a channel handler; context is the recorder.
  static void OnChannelValue(unsigned length, const unsigned char* bytes, void* context);

  // Waits until at least count values have arrived (the time-out only
  // guards against a hang); 1 when they have.
  int WaitFor(size_t count, DWORD timeoutMs = 10000);
  std::vector<Bytes> Values() const;
  std::vector<DWORD> Threads() const;
  std::vector<GattCharacteristic*> Sources() const;
  size_t Count() const;

private:
  void Add(GattCharacteristic* source, unsigned length, const unsigned char* bytes);

  mutable CriticalSection lock_;
  std::vector<Bytes> values_;
  std::vector<DWORD> threads_;
  std::vector<GattCharacteristic*> sources_;
  HANDLE arrived_;
};

// Records the waits between descriptor write attempts instead of waiting.
struct WaitRecorder {
  std::vector<DWORD> waits;
  static void Wait(DWORD milliseconds, void* context) {
    static_cast<WaitRecorder*>(context)->waits.push_back(milliseconds);
  }
};
